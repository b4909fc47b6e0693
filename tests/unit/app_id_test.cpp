#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "double/shell_double.h"
#include "shortcut/app_id.h"

namespace corvane {
namespace {

using testing::ShellDouble;
using Log = std::vector<std::string>;

const std::wstring kShortcut = L"C:\\Links\\App.lnk";
constexpr char kCreate[] = "CoCreateInstance(CLSID_ShellLink, null, 0x1, IID_IShellLinkW)";
constexpr char kQueryFile[] = "IShellLinkW::QueryInterface(IID_IPersistFile)";
constexpr char kLoadForRead[] = "IPersistFile::Load(C:\\Links\\App.lnk, 0)";
constexpr char kLoadForWrite[] = "IPersistFile::Load(C:\\Links\\App.lnk, 2)";
constexpr char kQueryStore[] = "IShellLinkW::QueryInterface(IID_IPropertyStore)";
constexpr char kGetValue[] = "IPropertyStore::GetValue(PKEY_AppUserModel_ID, zeroed variant)";
constexpr char kReleaseStore[] = "IPropertyStore::Release -> 2";
constexpr char kReleaseFile[] = "IPersistFile::Release -> 1";
constexpr char kReleaseLink[] = "IShellLinkW::Release -> 0";

// Everything is given back, whatever the path taken.
void ExpectNothingLeft(const ShellDouble& shell) {
  EXPECT_EQ(shell.liveObjects(), 0);
  EXPECT_EQ(shell.liveTaskMemory(), 0);
  EXPECT_EQ(shell.liveStrings(), 0);
}

bool Get(std::wstring& appId) { return GetShortcutAppID(kShortcut, appId); }

TEST(GetShortcutAppID, PrintsAStoredIdentifierOfEitherStringType) {
  for (VARTYPE type : {VT_LPWSTR, VT_BSTR}) {
    ShellDouble shell;
    shell.script.link.valueType = type;
    shell.script.link.valueText = L"Contoso.App";
    std::wstring appId = L"old";
    EXPECT_TRUE(Get(appId));
    EXPECT_EQ(appId, L"Contoso.App");
    EXPECT_EQ(shell.log(), (Log{kCreate, kQueryFile, kLoadForRead, kQueryStore, kGetValue,
                                "wcout: AppUserModelID: Contoso.App\n",
                                "PropVariantClear(vt " + std::to_string(type) + " \"Contoso.App\")",
                                kReleaseStore, kReleaseFile, kReleaseLink}));
    ExpectNothingLeft(shell);
  }
}

TEST(GetShortcutAppID, TextIsTakenUpToItsFirstNul) {
  ShellDouble shell;
  shell.script.link.valueType = VT_BSTR;
  shell.script.link.valueText = std::wstring(L"Head\0Tail", 9);
  std::wstring appId;
  EXPECT_TRUE(Get(appId));
  EXPECT_EQ(appId, L"Head");
  EXPECT_EQ(shell.out(), L"AppUserModelID: Head\n");
}

TEST(GetShortcutAppID, EmptyIdentifierIsPrintedAsEmpty) {
  ShellDouble shell;
  shell.script.link.valueType = VT_LPWSTR;
  std::wstring appId = L"old";
  EXPECT_TRUE(Get(appId));
  EXPECT_EQ(appId, L"");
  EXPECT_EQ(shell.out(), L"AppUserModelID: \n");
}

TEST(GetShortcutAppID, NoIdentifierNamesTheShortcutAsGiven) {
  ShellDouble shell;
  std::wstring appId = L"old";
  EXPECT_TRUE(Get(appId));
  EXPECT_EQ(appId, L"");
  EXPECT_EQ(shell.out(), L"No AppUserModelID set for shortcut: C:\\Links\\App.lnk\n");
  EXPECT_EQ(shell.LogOf({"PropVariantClear"}), Log{"PropVariantClear(vt 0)"});
  ExpectNothingLeft(shell);
}

TEST(GetShortcutAppID, OtherTypesAndNullStringsAreRefusedInDecimal) {
  struct Case {
    VARTYPE type;
    bool nullText;
    const wchar_t* line;
  };
  for (const Case& c : {Case{VT_I4, false, L"Unexpected property variant type: 3\n"},
                        Case{VT_LPWSTR, true, L"Unexpected property variant type: 31\n"},
                        Case{VT_BSTR, true, L"Unexpected property variant type: 8\n"},
                        Case{VT_CLSID, false, L"Unexpected property variant type: 72\n"}}) {
    ShellDouble shell;
    shell.script.link.valueType = c.type;
    shell.script.link.nullText = c.nullText;
    std::wstring appId = L"kept";
    EXPECT_FALSE(Get(appId));
    EXPECT_EQ(appId, L"kept");
    EXPECT_EQ(shell.err(), c.line);
    EXPECT_TRUE(shell.out().empty());
    const Log tail = shell.LogOf({"wcerr", "PropVariantClear", "IPropertyStore::Release"});
    ASSERT_EQ(tail.size(), 3u);
    EXPECT_EQ(tail[1].rfind("PropVariantClear", 0), 0u) << "cleared after the line";
    ExpectNothingLeft(shell);
  }
}

TEST(GetShortcutAppID, FailedGetValueStillClearsTheVariant) {
  ShellDouble shell;
  shell.script.link.getValue = E_FAIL;
  shell.script.link.valueType = VT_LPWSTR;
  shell.script.link.valueText = L"half";
  std::wstring appId = L"kept";
  EXPECT_FALSE(Get(appId));
  EXPECT_EQ(appId, L"kept");
  EXPECT_EQ(shell.LogOf({"wcerr", "PropVariantClear", "IPropertyStore::Release"}),
            (Log{"wcerr: Failed to get AppUserModelID property. HRESULT: 0x80004005\n",
                 "PropVariantClear(vt 31 \"half\")", kReleaseStore}));
  ExpectNothingLeft(shell);
}

// The opening steps fail the same way in both operations.
struct OpeningCase {
  const char* name;
  void (*script)(ShellDouble&);
  const wchar_t* line;
  Log releases;
};

void PrintTo(const OpeningCase& c, std::ostream* out) { *out << c.name; }

class OpeningFailure : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(OpeningFailure, OneLineReleasesWhatWasObtained) {
  for (bool setting : {false, true}) {
    ShellDouble shell;
    GetParam().script(shell);
    std::wstring appId = L"kept";
    const bool result =
        setting ? SetShortcutAppID(kShortcut, L"New.Id") : GetShortcutAppID(kShortcut, appId);
    EXPECT_FALSE(result);
    EXPECT_EQ(appId, L"kept");
    EXPECT_EQ(shell.err(), GetParam().line);
    EXPECT_TRUE(shell.out().empty());
    EXPECT_EQ(
        shell.LogOf({"IShellLinkW::Release", "IPersistFile::Release", "IPropertyStore::Release"}),
        GetParam().releases);
    EXPECT_TRUE(shell
                    .LogOf({"IPropertyStore::G", "IPropertyStore::S", "PropVariantClear",
                            "IPersistFile::Save"})
                    .empty());
    ExpectNothingLeft(shell);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AppId, OpeningFailure,
    ::testing::Values(
        OpeningCase{"create",
                    [](ShellDouble& shell) { shell.script.createShellLink = REGDB_E_CLASSNOTREG; },
                    L"Failed to create shell link instance. HRESULT: 0x80040154\n",
                    {}},
        OpeningCase{"queryFile",
                    [](ShellDouble& shell) { shell.script.queryPersistFile = E_NOINTERFACE; },
                    L"Failed to query IPersistFile interface. HRESULT: 0x80004002\n",
                    {kReleaseLink}},
        OpeningCase{
            "load",
            [](ShellDouble& shell) { shell.script.link.load = HResultFromBits(0x80070002); },
            L"Failed to load shortcut file: C:\\Links\\App.lnk. HRESULT: 0x80070002\n",
            {kReleaseFile, kReleaseLink}},
        OpeningCase{
            "queryStore",
            [](ShellDouble& shell) { shell.script.link.queryPropertyStore = E_NOINTERFACE; },
            L"Failed to query IPropertyStore interface. HRESULT: 0x80004002\n",
            {kReleaseFile, kReleaseLink}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppIdOperations, CreationWithoutAnObjectFailsInsteadOfCallingThroughNull) {
  for (bool setting : {false, true}) {
    ShellDouble shell;
    shell.script.createShellLinkWithoutObject = true;
    std::wstring appId;
    EXPECT_FALSE(setting ? SetShortcutAppID(kShortcut, L"New.Id")
                         : GetShortcutAppID(kShortcut, appId));
    EXPECT_EQ(shell.err(), L"Failed to create shell link instance. HRESULT: 0x80004003\n");
  }
}

TEST(GetShortcutAppID, LoadsForReading) {
  ShellDouble shell;
  std::wstring appId;
  Get(appId);
  EXPECT_EQ(shell.LogOf({"IPersistFile::Load"}), Log{kLoadForRead});
}

TEST(SetShortcutAppID, StoresACopyCommitsSavesAndReports) {
  ShellDouble shell;
  EXPECT_TRUE(SetShortcutAppID(kShortcut, L"Contoso.App"));
  EXPECT_EQ(
      shell.log(),
      (Log{kCreate, kQueryFile, kLoadForWrite, kQueryStore,
           "IPropertyStore::SetValue(PKEY_AppUserModel_ID, vt 31 \"Contoso.App\")",
           "IPropertyStore::Commit", "PropVariantClear(vt 31 \"Contoso.App\")",
           "IPersistFile::Save(C:\\Links\\App.lnk, 1)",
           // Read back through a link object of its own.
           kCreate, kQueryFile, kLoadForRead, kQueryStore, kGetValue,
           "PropVariantClear(vt 31 \"Contoso.App\")", kReleaseStore, kReleaseFile, kReleaseLink,
           "wcout: Successfully set AppUserModelID 'Contoso.App' for shortcut: "
           "C:\\Links\\App.lnk\n",
           kReleaseStore, kReleaseFile, kReleaseLink}));
  EXPECT_TRUE(shell.err().empty());
  ExpectNothingLeft(shell);
}

TEST(SetShortcutAppID, EmptyIdentifierIsStoredAsItIs) {
  ShellDouble shell;
  EXPECT_TRUE(SetShortcutAppID(kShortcut, L""));
  EXPECT_EQ(shell.LogOf({"IPropertyStore::SetValue"}),
            Log{"IPropertyStore::SetValue(PKEY_AppUserModel_ID, vt 31 \"\")"});
  EXPECT_EQ(shell.out(), L"Successfully set AppUserModelID '' for shortcut: C:\\Links\\App.lnk\n");
}

TEST(SetShortcutAppID, FailedAllocationReportsOutOfMemoryAndSetsNothing) {
  ShellDouble shell;
  shell.script.taskMemoryExhausted = true;
  EXPECT_FALSE(SetShortcutAppID(kShortcut, L"Contoso.App"));
  EXPECT_EQ(shell.err(), L"Failed to initialize PROPVARIANT. HRESULT: 0x8007000e\n");
  EXPECT_TRUE(
      shell.LogOf({"IPropertyStore::SetValue", "IPropertyStore::Commit", "IPersistFile::Save"})
          .empty());
  EXPECT_EQ(
      shell.LogOf({"IPropertyStore::Release", "IPersistFile::Release", "IShellLinkW::Release"}),
      (Log{kReleaseStore, kReleaseFile, kReleaseLink}));
  ExpectNothingLeft(shell);
}

TEST(SetShortcutAppID, FailedSetValueSkipsCommitAndReportsItsCodeAfterClearing) {
  ShellDouble shell;
  shell.script.link.setValue = E_INVALIDARG;
  EXPECT_FALSE(SetShortcutAppID(kShortcut, L"Contoso.App"));
  EXPECT_EQ(
      shell.LogOf({"IPropertyStore::", "PropVariantClear", "wcerr", "IPersistFile::Save"}),
      (Log{"IPropertyStore::SetValue(PKEY_AppUserModel_ID, vt 31 \"Contoso.App\")",
           "PropVariantClear(vt 31 \"Contoso.App\")",
           "wcerr: Failed to set AppUserModelID property. HRESULT: 0x80070057\n", kReleaseStore}));
  ExpectNothingLeft(shell);
}

TEST(SetShortcutAppID, FailedCommitIsReportedWithItsOwnCode) {
  ShellDouble shell;
  shell.script.link.commit = E_ACCESSDENIED;
  EXPECT_FALSE(SetShortcutAppID(kShortcut, L"Contoso.App"));
  EXPECT_EQ(
      shell.LogOf({"IPropertyStore::Commit", "PropVariantClear", "wcerr", "IPersistFile::Save"}),
      (Log{"IPropertyStore::Commit", "PropVariantClear(vt 31 \"Contoso.App\")",
           "wcerr: Failed to set AppUserModelID property. HRESULT: 0x80070005\n"}));
  ExpectNothingLeft(shell);
}

TEST(SetShortcutAppID, FailedSaveGivesNoSuccessLine) {
  ShellDouble shell;
  shell.script.link.save = HResultFromBits(0x80070070);
  EXPECT_FALSE(SetShortcutAppID(kShortcut, L"Contoso.App"));
  EXPECT_TRUE(shell.out().empty());
  EXPECT_EQ(shell.err(), L"Failed to save shortcut file. HRESULT: 0x80070070\n");
  EXPECT_EQ(shell.LogOf({"wcerr", "IPropertyStore::Release", "IPersistFile::Release",
                         "IShellLinkW::Release"}),
            (Log{"wcerr: Failed to save shortcut file. HRESULT: 0x80070070\n", kReleaseStore,
                 kReleaseFile, kReleaseLink}));
  ExpectNothingLeft(shell);
}

// A link object may save and keep no identifier (Wine's does, and its
// GetValue is not implemented): the read-back is the step that fails.
TEST(SetShortcutAppID, SavedFileWithoutTheIdentifierFailsTheReadBack) {
  struct Case {
    const char* name;
    void (*script)(ShellDouble&);
    const wchar_t* line;
  };
  const Case cases[] = {
      {"dropped", [](ShellDouble& s) { s.script.saveKeepsAppId = false; },
       L"Failed to read back AppUserModelID property. HRESULT: 0x80004005\n"},
      {"unreadable", [](ShellDouble& s) { s.script.link.getValue = E_NOTIMPL; },
       L"Failed to read back AppUserModelID property. HRESULT: 0x80004001\n"},
  };
  for (const Case& c : cases) {
    ShellDouble shell;
    c.script(shell);
    EXPECT_FALSE(SetShortcutAppID(kShortcut, L"Contoso.App")) << c.name;
    EXPECT_EQ(shell.err(), c.line) << c.name;
    EXPECT_TRUE(shell.out().empty()) << c.name;
    EXPECT_EQ(shell.LogOf({"IPersistFile::Load"}), (Log{kLoadForWrite, kLoadForRead})) << c.name;
    ExpectNothingLeft(shell);
  }
}

TEST(SetShortcutAppID, IdentifierOutsideTheConsoleRangeStillSucceeds) {
  ShellDouble shell;
  const std::wstring appId = L"App.\u0100.\U0001F600";
  EXPECT_TRUE(SetShortcutAppID(kShortcut, appId));
  EXPECT_EQ(shell.LogOf({"IPropertyStore::SetValue"}),
            Log{"IPropertyStore::SetValue(PKEY_AppUserModel_ID, vt 31 \"" + testing::Utf8(appId) +
                "\")"});
}

}  // namespace
}  // namespace corvane
