// The stand-in's shell link object over real .lnk files: loading with every
// size checked, the property store as IPropertyStore, and saving that
// changes nothing but the property store block.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "shell/owners.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"
#include "support/process.h"
#include "support/sample_readings.h"
#include "support/samples.h"

namespace {

using corvane::com_ptr;
using corvane::unique_prop_variant;
using corvane::posix::Bytes;
using corvane::posix::DecodeNativeText;
using corvane::posix::LinkFile;
using corvane::posix::ParseLinkFile;
using corvane::posix::ParsePropertyStoreBlock;
using corvane::posix::PropertyStorage;
using corvane::posix::Refusal;
using corvane::testing::AsBytes;
using corvane::testing::ListFolder;
using corvane::testing::ReadFileBytes;
using corvane::testing::ReadingOf;
using corvane::testing::RefusedAsCorrupt;
using corvane::testing::SampleBytes;
using corvane::testing::SampleNames;
using corvane::testing::SampleReading;
using corvane::testing::TargetByWindowsRules;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

const HRESULT kCorrupt = HResultFromBits(0x80070570);
const HRESULT kFileNotFound = HResultFromBits(0x80070002);
const HRESULT kPathNotFound = HResultFromBits(0x80070003);
const HRESULT kSharingViolation = HResultFromBits(0x80070020);

// {9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 9: another property of the same
// storage as the AppUserModelID.
const PROPERTYKEY kSameStorageKey = {PKEY_AppUserModel_ID.fmtid, 9};
// A key of a storage no sample has.
const PROPERTYKEY kNewStorageKey = {
    {0x12345678, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}}, 2};

// One link object with the interfaces the program uses.
struct Link {
  com_ptr<IShellLinkW> link;
  com_ptr<IPersistFile> file;
  com_ptr<IPropertyStore> store;

  Link() {
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               link.put_void()),
              S_OK);
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
    EXPECT_EQ(link->QueryInterface(IID_IPropertyStore, store.put_void()), S_OK);
  }
  HRESULT Load(const std::string& path, DWORD mode = STGM_READ) {
    return file->Load(DecodeNativeText(path).c_str(), mode);
  }
  HRESULT SetText(REFPROPERTYKEY key, const std::wstring& text, VARTYPE type = VT_LPWSTR) {
    PROPVARIANT value{};
    value.vt = type;
    if (type == VT_BSTR) {
      value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } else {
      value.pwszVal = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
      std::memcpy(value.pwszVal, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    const HRESULT hr = store->SetValue(key, value);
    PropVariantClear(&value);
    return hr;
  }
  // Loads the file for writing and commits appId as its AppUserModelID.
  void Stage(const std::string& path, const std::wstring& appId) {
    ASSERT_EQ(Load(path, STGM_READWRITE), S_OK);
    ASSERT_EQ(SetText(PKEY_AppUserModel_ID, appId), S_OK);
    ASSERT_EQ(store->Commit(), S_OK);
  }
  // The value's type and, for text, the text.
  std::pair<VARTYPE, std::wstring> Get(REFPROPERTYKEY key) {
    unique_prop_variant value;
    EXPECT_EQ(store->GetValue(key, value.put()), S_OK);
    std::wstring text;
    if (value->vt == VT_LPWSTR && value->pwszVal != nullptr) text = value->pwszVal;
    if (value->vt == VT_BSTR && value->bstrVal != nullptr) text = value->bstrVal;
    return {value->vt, text};
  }
};

// GetPath as the program calls it: a zeroed buffer of 260 units.
std::pair<HRESULT, std::wstring> PathOf(Link& link) {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT hr = link.link->GetPath(buffer, MAX_PATH, nullptr, 0);
  return {hr, buffer};
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(CoInitialize(nullptr), 0); }
  void TearDown() override { CoUninitialize(); }

  std::string Copy(const std::string& sample) {
    const std::string path = folder_.path() + "/" + sample;
    WriteFileBytes(path, SampleBytes(sample));
    return path;
  }
  std::string Path(const std::string& name) { return folder_.path() + "/" + name; }

  TemporaryFolder folder_;
};

TEST_F(ShellLinkTest, EverySampleLoadsOrIsRefusedAsCorrupt) {
  int loaded = 0;
  for (const std::string& sample : SampleNames()) {
    Link link;
    const HRESULT hr = link.Load(Copy(sample));
    EXPECT_TRUE(hr == S_OK || hr == kCorrupt) << sample << " gave " << std::hex << hr;
    loaded += hr == S_OK;
  }
  EXPECT_GE(loaded, 20);
}

TEST_F(ShellLinkTest, AnAppIdStoredByWindowsIsReadBack) {
  Link link;
  ASSERT_EQ(link.Load(Copy("sample3.lnk")), S_OK);
  const auto [type, text] = link.Get(PKEY_AppUserModel_ID);
  EXPECT_EQ(type, VT_LPWSTR);
  EXPECT_EQ(text,
            L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\\\\\?\\usb#vid_12d1&pid_107e&mi_00#6&"
            L"166135c4&0&0000#{6ac27878-a6fa-4155-ba85-f98f491d4f33}\\SID-{10001,,116775714816}\\"
            L"{00000015-0001-0001-0000-000000000000}");
  // Its neighbours keep their own types.
  EXPECT_EQ(link.Get(kSameStorageKey).first, VT_BOOL);
}

TEST_F(ShellLinkTest, AbsentKeyIsEmpty) {
  Link link;
  ASSERT_EQ(link.Load(Copy("microsoft_example.lnk")), S_OK);
  EXPECT_EQ(link.Get(PKEY_AppUserModel_ID).first, VT_EMPTY);
}

TEST_F(ShellLinkTest, LoadFailuresNameTheirCause) {
  Link link;
  EXPECT_EQ(link.Load(Path("missing.lnk")), kFileNotFound);
  EXPECT_EQ(link.Load(Path("missing/x.lnk")), kPathNotFound);
  std::filesystem::create_directory(Path("folder.lnk"));
  EXPECT_EQ(link.Load(Path("folder.lnk")), E_ACCESSDENIED);
  WriteFileBytes(Path("empty.lnk"), "");
  EXPECT_EQ(link.Load(Path("empty.lnk")), kCorrupt);
  WriteFileBytes(Path("text.lnk"), "not a shortcut at all, but long enough to hold a header......");
  EXPECT_EQ(link.Load(Path("text.lnk")), kCorrupt);
}

TEST_F(ShellLinkTest, EveryTruncationIsRefused) {
  for (const std::string& sample : SampleNames()) {
    const std::string bytes = SampleBytes(sample);
    LinkFile whole;
    if (ParseLinkFile(AsBytes(bytes), whole) != Refusal::None) continue;
    // Bytes after the terminal block are not part of the link.
    const std::size_t end = whole.terminalBlock + 4;
    for (std::size_t length = 0; length < end; ++length) {
      LinkFile cut;
      ASSERT_NE(ParseLinkFile(AsBytes(bytes.substr(0, length)), cut), Refusal::None)
          << sample << " cut to " << length;
    }
  }
}

// Flipped bits anywhere: Load takes the file or calls it corrupt, and a file
// it takes answers every getter and gives every property it lists (a value
// whose own sizes are broken is corrupt). A flip in the header's times or
// file size, which nothing reads, changes nothing. With the sanitizers on,
// a read past the file fails the run too.
TEST_F(ShellLinkTest, FlippedBytesLoadOrAreCorruptAndWhatLoadsAnswers) {
  std::mt19937 random(20261207);
  int loaded = 0, refused = 0;
  for (const std::string& sample : SampleNames()) {
    const std::string bytes = SampleBytes(sample);
    std::wstring target;
    if (Link original; original.Load(Copy(sample)) == S_OK) target = PathOf(original).second;
    for (int round = 0; round < 300; ++round) {
      std::string flipped = bytes;
      // Every fourth round in the header's times and file size (0x1C..0x37).
      const std::size_t at = round % 4 == 0 ? 0x1C + random() % 0x1C : random() % flipped.size();
      flipped[at] = static_cast<char>(flipped[at] ^ (1u << (random() % 8)));
      // A new file each time: rewriting one in place makes ext4 flush it.
      std::filesystem::remove(Path("flipped.lnk"));
      WriteFileBytes(Path("flipped.lnk"), flipped);
      Link link;
      const HRESULT hr = link.Load(Path("flipped.lnk"));
      ASSERT_TRUE(hr == S_OK || hr == kCorrupt) << sample << " flipped at " << at << ": " << hr;
      if (round % 4 == 0 && !RefusedAsCorrupt(sample)) {
        EXPECT_EQ(hr, S_OK) << sample << " flipped at " << at;
        EXPECT_EQ(PathOf(link).second, target) << sample << " flipped at " << at;
      }
      if (hr != S_OK) {
        ++refused;
        continue;
      }
      ++loaded;
      wchar_t buffer[MAX_PATH];
      int icon = 0;
      const HRESULT path = PathOf(link).first;
      EXPECT_TRUE(path == S_OK || path == S_FALSE) << sample << " flipped at " << at;
      EXPECT_EQ(link.link->GetArguments(buffer, MAX_PATH), S_OK);
      EXPECT_EQ(link.link->GetIconLocation(buffer, MAX_PATH, &icon), S_OK);
      DWORD count = 0;
      ASSERT_EQ(link.store->GetCount(&count), S_OK);
      for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key;
        ASSERT_EQ(link.store->GetAt(i, &key), S_OK);
        unique_prop_variant value;
        const HRESULT got = link.store->GetValue(key, value.put());
        EXPECT_TRUE(got == S_OK || got == kCorrupt) << sample << " flipped at " << at;
      }
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

// Where each part of a saved link lies, for comparing it with the original.
struct Layout {
  std::string before;  // everything before the property store block
  std::string block;   // the block, empty when there is none
  std::string after;   // everything after it
};

Layout LayoutOf(const std::string& bytes) {
  LinkFile link;
  EXPECT_EQ(ParseLinkFile(AsBytes(bytes), link), Refusal::None);
  const std::size_t start =
      link.propertyStoreBlock.size != 0 ? link.propertyStoreBlock.offset : link.terminalBlock;
  return {bytes.substr(0, start), bytes.substr(start, link.propertyStoreBlock.size),
          bytes.substr(start + link.propertyStoreBlock.size)};
}

// The records of a block other than the given key's, as bytes.
std::vector<std::string> OtherRecords(const std::string& block, REFPROPERTYKEY key) {
  std::vector<std::string> records;
  if (block.empty()) return records;
  const std::vector<std::uint8_t> bytes = AsBytes(block);
  std::vector<PropertyStorage> storages;
  EXPECT_EQ(ParsePropertyStoreBlock(bytes, storages), Refusal::None);
  for (const PropertyStorage& storage : storages) {
    for (const auto& record : storage.records) {
      if (!record.named && storage.formatId == key.fmtid && record.id == key.pid) continue;
      records.push_back(block.substr(record.extent.offset, record.extent.size));
    }
  }
  return records;
}

TEST_F(ShellLinkTest, SavingChangesOnlyThePropertyStoreBlock) {
  for (const std::wstring& appId : {std::wstring(L"My.App.Id"), std::wstring(),
                                    std::wstring(L"Caf\u00e9.\u0100.\U0001F600.\U00010000")}) {
    for (const std::string& sample : SampleNames()) {
      const std::string path = Copy(sample);
      const std::string original = ReadFileBytes(path);
      {
        Link link;
        if (link.Load(path, STGM_READWRITE) != S_OK) continue;
        ASSERT_EQ(link.SetText(PKEY_AppUserModel_ID, appId), S_OK);
        ASSERT_EQ(link.store->Commit(), S_OK);
        ASSERT_EQ(link.file->Save(DecodeNativeText(path).c_str(), TRUE), S_OK);
      }
      const std::string saved = ReadFileBytes(path);
      const Layout before = LayoutOf(original);
      const Layout after = LayoutOf(saved);
      EXPECT_EQ(after.before, before.before) << sample;
      EXPECT_EQ(after.after, before.after) << sample;
      EXPECT_EQ(OtherRecords(after.block, PKEY_AppUserModel_ID),
                OtherRecords(before.block, PKEY_AppUserModel_ID))
          << sample;

      Link reread;
      ASSERT_EQ(reread.Load(path), S_OK) << sample;
      EXPECT_EQ(reread.Get(PKEY_AppUserModel_ID), std::make_pair(VARTYPE{VT_LPWSTR}, appId))
          << sample;
    }
  }
}

TEST_F(ShellLinkTest, ValueIsReplacedInPlaceOrAddedToItsStorage) {
  const std::string path = Copy("sample3.lnk");
  const std::string original = ReadFileBytes(path);
  auto storageCount = [](const std::string& bytes) {
    std::vector<PropertyStorage> storages;
    ParsePropertyStoreBlock(AsBytes(LayoutOf(bytes).block), storages);
    return storages.size();
  };
  {
    Link link;
    ASSERT_EQ(link.Load(path, STGM_READWRITE), S_OK);
    // Removing the value and setting it again puts it back in the same
    // storage; a key of a new format identifier gets a storage of its own.
    PROPVARIANT empty{};
    ASSERT_EQ(link.store->SetValue(PKEY_AppUserModel_ID, empty), S_OK);
    ASSERT_EQ(link.store->Commit(), S_OK);
    EXPECT_EQ(link.Get(PKEY_AppUserModel_ID).first, VT_EMPTY);
    ASSERT_EQ(link.SetText(PKEY_AppUserModel_ID, L"Back.Again"), S_OK);
    ASSERT_EQ(link.SetText(kNewStorageKey, L"Elsewhere", VT_BSTR), S_OK);
    ASSERT_EQ(link.store->Commit(), S_OK);
    ASSERT_EQ(link.file->Save(nullptr, TRUE), S_OK);
  }
  const std::string saved = ReadFileBytes(path);
  EXPECT_EQ(storageCount(saved), storageCount(original) + 1);
  Link reread;
  ASSERT_EQ(reread.Load(path), S_OK);
  EXPECT_EQ(reread.Get(PKEY_AppUserModel_ID),
            std::make_pair(VARTYPE{VT_LPWSTR}, std::wstring(L"Back.Again")));
  EXPECT_EQ(reread.Get(kNewStorageKey),
            std::make_pair(VARTYPE{VT_BSTR}, std::wstring(L"Elsewhere")));
  EXPECT_EQ(reread.Get(kSameStorageKey).first, VT_BOOL);
}

TEST_F(ShellLinkTest, OtherStoredTypesComeBackWithTheirType) {
  const std::string path = Copy("sample.lnk");
  {
    Link link;
    ASSERT_EQ(link.Load(path, STGM_READWRITE), S_OK);
    PROPVARIANT number{};
    number.vt = VT_I4;
    number.lVal = -42;
    ASSERT_EQ(link.store->SetValue(PKEY_AppUserModel_ID, number), S_OK);
    ASSERT_EQ(link.store->Commit(), S_OK);
    ASSERT_EQ(link.file->Save(nullptr, TRUE), S_OK);
  }
  Link reread;
  ASSERT_EQ(reread.Load(path), S_OK);
  unique_prop_variant value;
  ASSERT_EQ(reread.store->GetValue(PKEY_AppUserModel_ID, value.put()), S_OK);
  EXPECT_EQ(value->vt, VT_I4);
  EXPECT_EQ(value->lVal, -42);
}

TEST_F(ShellLinkTest, NothingChangesUntilCommitAndSave) {
  const std::string path = Copy("sample3.lnk");
  const std::string original = ReadFileBytes(path);
  {
    Link link;
    ASSERT_EQ(link.Load(path, STGM_READWRITE), S_OK);
    ASSERT_EQ(link.SetText(PKEY_AppUserModel_ID, L"Staged.Only"), S_OK);
    // A staged value is what the store answers, but the file is untouched.
    EXPECT_EQ(link.Get(PKEY_AppUserModel_ID).second, L"Staged.Only");
  }
  EXPECT_EQ(ReadFileBytes(path), original);
  {
    Link link;
    ASSERT_NO_FATAL_FAILURE(link.Stage(path, L"Committed.Only"));
  }
  EXPECT_EQ(ReadFileBytes(path), original);
}

TEST_F(ShellLinkTest, SaveKeepsPermissionsAndLeavesNoTemporaryFile) {
  const std::string path = Copy("sample.lnk");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  Link link;
  ASSERT_NO_FATAL_FAILURE(link.Stage(path, L"Kept.Mode"));
  ASSERT_EQ(link.file->Save(DecodeNativeText(path).c_str(), TRUE), S_OK);
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(ListFolder(folder_.path()), std::vector<std::string>{"sample.lnk"});
}

TEST_F(ShellLinkTest, SaveThroughASymbolicLinkWritesTheFileItNames) {
  const std::string real = Copy("sample.lnk");
  const std::string link = Path("alias.lnk");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  Link shortcut;
  ASSERT_NO_FATAL_FAILURE(shortcut.Stage(link, L"Through.Link"));
  ASSERT_EQ(shortcut.file->Save(DecodeNativeText(link).c_str(), TRUE), S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  Link reread;
  ASSERT_EQ(reread.Load(real), S_OK);
  EXPECT_EQ(reread.Get(PKEY_AppUserModel_ID).second, L"Through.Link");
}

TEST_F(ShellLinkTest, FailedSaveLeavesTheOriginalAlone) {
  const std::string path = Copy("sample.lnk");
  const std::string original = ReadFileBytes(path);
  Link link;
  ASSERT_NO_FATAL_FAILURE(link.Stage(path, L"Never.Written"));
  // The shortcut was replaced by a folder meanwhile: it is no longer the
  // file that was loaded. Then its folder went.
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_EQ(link.file->Save(DecodeNativeText(path).c_str(), TRUE), kSharingViolation);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(link.file->Save(DecodeNativeText(Path("gone/x.lnk")).c_str(), TRUE), kPathNotFound);
  // A file with no write bit is read-only for root too.
  std::filesystem::remove(path);
  WriteFileBytes(path, original);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  Link readOnly;
  ASSERT_NO_FATAL_FAILURE(readOnly.Stage(path, L"Never.Written"));
  EXPECT_EQ(readOnly.file->Save(DecodeNativeText(path).c_str(), TRUE), E_ACCESSDENIED);
  EXPECT_EQ(ReadFileBytes(path), original);
  std::vector<std::string> left = ListFolder(folder_.path());
  EXPECT_EQ(left, std::vector<std::string>{"sample.lnk"});
}

TEST_F(ShellLinkTest, GetPathGivesTheTargetOrSFalse) {
  struct Case {
    const char* sample;
    HRESULT result;
    const wchar_t* path;
  };
  const Case cases[] = {
      {"microsoft_example.lnk", S_OK, L"C:\\test\\a.txt"},
      // Advertised by Windows Installer: no path, though its item list names
      // the product's icon.
      {"darwin_block.lnk", S_FALSE, L""},
      // A device, reached through the shell namespace only.
      {"sample3.lnk", S_FALSE, L""},
  };
  for (const Case& c : cases) {
    Link link;
    ASSERT_EQ(link.Load(Copy(c.sample)), S_OK);
    EXPECT_EQ(PathOf(link), std::make_pair(c.result, std::wstring(c.path))) << c.sample;
  }
  Link unloaded;
  EXPECT_EQ(PathOf(unloaded), std::make_pair(S_FALSE, std::wstring()));
}

GUID GuidOf(const std::string& text) {
  GUID guid{};
  unsigned data4[8] = {};
  std::sscanf(text.c_str(), "%8x-%4hx-%4hx-%2x%2x-%2x%2x%2x%2x%2x%2x", &guid.Data1, &guid.Data2,
              &guid.Data3, &data4[0], &data4[1], &data4[2], &data4[3], &data4[4], &data4[5],
              &data4[6], &data4[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(data4[i]);
  return guid;
}

// What the link object reports of each sample against the third-party
// reading beside it: the target path, the icon index, the show command, the
// hot key, and every property the reading lists (the AppUserModelID among
// them), with its type and, for text, its value.
TEST_F(ShellLinkTest, EverySampleReportsWhatItsReadingFound) {
  const std::map<std::string, VARTYPE> types = {{"VT_BOOL", 11},     {"VT_UI4", 19},
                                                {"VT_UI8", 21},      {"VT_LPWSTR", 31},
                                                {"VT_FILETIME", 64}, {"VT_CLSID", 72}};
  std::vector<std::string> differing;
  for (const std::string& sample : SampleNames()) {
    SCOPED_TRACE(sample);
    const SampleReading reading = ReadingOf(sample);
    Link link;
    const HRESULT loaded = link.Load(Copy(sample));
    if (RefusedAsCorrupt(sample)) {
      EXPECT_EQ(loaded, kCorrupt);
      continue;
    }
    ASSERT_EQ(loaded, S_OK);
    const std::optional<std::wstring> target = TargetByWindowsRules(sample);
    if (target != reading.target) differing.push_back(sample);
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_EQ(link.link->GetPath(buffer, MAX_PATH, nullptr, 0), target ? S_OK : S_FALSE);
    EXPECT_EQ(buffer, target.value_or(L""));
    int icon = -1, show = -1;
    WORD hotKey = 0xFFFF;
    EXPECT_EQ(link.link->GetIconLocation(buffer, MAX_PATH, &icon), S_OK);
    EXPECT_EQ(icon, reading.iconIndex);
    EXPECT_EQ(link.link->GetShowCmd(&show), S_OK);
    EXPECT_EQ(show, reading.showCommand);
    EXPECT_EQ(link.link->GetHotkey(&hotKey), S_OK);
    EXPECT_EQ(hotKey, reading.hotKey);

    bool hasAppId = false;
    for (const SampleReading::Property& property : reading.properties) {
      SCOPED_TRACE(property.formatId + " " + std::to_string(property.id));
      const PROPERTYKEY key = {GuidOf(property.formatId), property.id};
      hasAppId = hasAppId || (key.fmtid == PKEY_AppUserModel_ID.fmtid && key.pid == 5);
      unique_prop_variant value;
      ASSERT_EQ(link.store->GetValue(key, value.put()), S_OK);
      EXPECT_EQ(value->vt, types.at(property.type));
      if (property.text) {
        EXPECT_EQ(link.Get(key).second, *property.text);
      }
    }
    if (!hasAppId) {
      EXPECT_EQ(link.Get(PKEY_AppUserModel_ID).first, VT_EMPTY);
    }
  }
  // Where Windows' rules and the reading part ways (see sample_readings.cpp).
  EXPECT_EQ(differing, (std::vector<std::string>{"broken_link_info.lnk", "darwin_block.lnk",
                                                 "darwin_block_modified.lnk"}));
}

TEST_F(ShellLinkTest, PropVariantClearFreesAndEmpties) {
  PROPVARIANT text{};
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(L"owned");
  EXPECT_EQ(SysStringLen(text.bstrVal), 5u);
  EXPECT_EQ(PropVariantClear(&text), S_OK);
  EXPECT_EQ(text.vt, VT_EMPTY);
  EXPECT_EQ(text.bstrVal, nullptr);
}

}  // namespace
