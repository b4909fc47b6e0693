// The stand-in's shell namespace: the desktop folder, SHParseDisplayName,
// binding to a folder, enumerating it, display names and StrRetToBufW, used
// the way a caller walks a folder. Every item-ID list and STRRET text is
// freed by an owner here, so a leak or a wrong allocator shows under the
// sanitizers or valgrind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "shell/owners.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/objects/path_id_list.h"
#include "shell/shell_folder.h"
#include "support/process.h"

namespace {

using corvane::com_ptr;
using corvane::unique_cotaskmem;
using corvane::unique_idlist;
using corvane::posix::DecodeNativeText;
using corvane::posix::NativePath;
using corvane::posix::NativePathFromIdList;
using corvane::testing::RealPath;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

constexpr HRESULT kFileNotFound = HResultFromBits(0x80070002);
constexpr DWORD kFilesAndFolders = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;

// The text of a STRRET, through StrRetToBufW and a MAX_PATH buffer.
std::optional<std::wstring> ReadStrRet(STRRET& name, PCUITEMID_CHILD item) {
  wchar_t buffer[MAX_PATH];
  if (FAILED(StrRetToBufW(&name, item, buffer, MAX_PATH))) return std::nullopt;
  return std::wstring(buffer);
}

std::optional<std::wstring> DisplayName(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags) {
  STRRET name{};
  if (FAILED(folder->GetDisplayNameOf(item, flags, &name))) return std::nullopt;
  return ReadStrRet(name, item);
}

// A folder holding files, a subfolder and hidden entries of both kinds.
class PosixShellFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = RealPath(folder_.path());
    ASSERT_FALSE(root_.empty());
    WriteFileBytes(root_ + "/b.lnk", "b");
    WriteFileBytes(root_ + "/a.lnk", "a");
    WriteFileBytes(root_ + "/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk", "c");
    WriteFileBytes(root_ + "/.hidden.lnk", "h");
    ASSERT_EQ(mkdir((root_ + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/.hiddenfolder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/empty").c_str(), 0755), 0);
    WriteFileBytes(root_ + "/sub/inner.lnk", "i");
  }

  std::wstring Wide(const std::string& relative = "") const {
    return DecodeNativeText(root_ + relative);
  }

  // The folder object for a path, bound the way a caller does it: parse the
  // path from the desktop, bind, free the list.
  com_ptr<IShellFolder> Bind(const std::wstring& path) {
    com_ptr<IShellFolder> desktop;
    EXPECT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
    unique_idlist list;
    EXPECT_EQ(SHParseDisplayName(path.c_str(), nullptr, list.put(), 0, nullptr), S_OK);
    com_ptr<IShellFolder> folder;
    EXPECT_EQ(desktop->BindToObject(list.get(), nullptr, IID_IShellFolder, folder.put_void()),
              S_OK);
    return folder;
  }

  // The parsing names of a folder's items, in the order the walk gives them.
  std::vector<std::wstring> Walk(IShellFolder* folder, SHCONTF flags) {
    std::vector<std::wstring> names;
    com_ptr<IEnumIDList> items;
    EXPECT_EQ(folder->EnumObjects(nullptr, flags, items.put()), S_OK);
    if (!items) return names;
    for (;;) {
      PITEMID_CHILD raw = nullptr;
      const HRESULT hr = items->Next(1, &raw, nullptr);
      unique_cotaskmem<ITEMIDLIST> item(raw);
      if (hr != S_OK) {
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_EQ(raw, nullptr);
        break;
      }
      const auto name = DisplayName(folder, item.get(), SHGDN_FORPARSING);
      EXPECT_TRUE(name.has_value());
      if (name) names.push_back(*name);
    }
    return names;
  }

  TemporaryFolder folder_;
  std::string root_;
};

TEST_F(PosixShellFolder, WalkGivesFilesAndFoldersButNoHiddenOnes) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  EXPECT_EQ(Walk(folder.get(), kFilesAndFolders),
            (std::vector<std::wstring>{Wide("/a.lnk"), Wide("/b.lnk"),
                                       Wide("/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk"), Wide("/empty"),
                                       Wide("/sub")}));
}

// The order NTFS keeps: by upper-case form, ties by the text itself.
TEST_F(PosixShellFolder, WalkGivesTheOrderNtfsKeeps) {
  for (const char* name : {"Z", "_u", "B", "\xc3\xa9t\xc3\xa9", "A"}) {
    WriteFileBytes(root_ + "/sub/" + name, "x");
  }
  const auto folder = Bind(Wide("/sub"));
  ASSERT_TRUE(folder);
  EXPECT_EQ(
      Walk(folder.get(), kFilesAndFolders),
      (std::vector<std::wstring>{Wide("/sub/A"), Wide("/sub/B"), Wide("/sub/inner.lnk"),
                                 Wide("/sub/Z"), Wide("/sub/_u"), Wide("/sub/\xc3\xa9t\xc3\xa9")}));
}

TEST_F(PosixShellFolder, FlagsChooseFoldersFilesAndHiddenEntries) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  EXPECT_EQ(Walk(folder.get(), SHCONTF_FOLDERS),
            (std::vector<std::wstring>{Wide("/empty"), Wide("/sub")}));
  EXPECT_EQ(Walk(folder.get(), SHCONTF_NONFOLDERS),
            (std::vector<std::wstring>{Wide("/a.lnk"), Wide("/b.lnk"),
                                       Wide("/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk")}));
  EXPECT_EQ(Walk(folder.get(), SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN),
            (std::vector<std::wstring>{Wide("/.hiddenfolder"), Wide("/empty"), Wide("/sub")}));
  EXPECT_EQ(Walk(folder.get(), SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN),
            (std::vector<std::wstring>{Wide("/.hidden.lnk"), Wide("/a.lnk"), Wide("/b.lnk"),
                                       Wide("/caf\xc3\xa9 \xf0\x9f\x98\x80.lnk")}));
  EXPECT_EQ(Walk(folder.get(), 0), std::vector<std::wstring>{});
}

TEST_F(PosixShellFolder, ParsingNamesRoundTrip) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  com_ptr<IShellFolder> desktop;
  ASSERT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
  for (const std::wstring& name : Walk(folder.get(), kFilesAndFolders | SHCONTF_INCLUDEHIDDEN)) {
    // The name is the path of an existing entry of the folder...
    const std::string native = NativePath(name);
    struct stat status;
    EXPECT_EQ(stat(native.c_str(), &status), 0) << native;
    EXPECT_EQ(native.rfind(root_ + "/", 0), 0u) << native;
    // ...and parses back to a list naming that same entry, whose parsing
    // name from the desktop is the name again.
    unique_idlist list;
    ASSERT_EQ(SHParseDisplayName(name.c_str(), nullptr, list.put(), 0, nullptr), S_OK);
    EXPECT_EQ(NativePathFromIdList(list.get()), native);
    EXPECT_EQ(DisplayName(desktop.get(), list.get(), SHGDN_FORPARSING), name);
  }
}

TEST_F(PosixShellFolder, InFolderNamesAreTheEntryNames) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  com_ptr<IEnumIDList> items;
  ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.put()), S_OK);
  PITEMID_CHILD raw = nullptr;
  ASSERT_EQ(items->Next(1, &raw, nullptr), S_OK);
  unique_cotaskmem<ITEMIDLIST> item(raw);
  EXPECT_EQ(DisplayName(folder.get(), item.get(), SHGDN_FORPARSING | SHGDN_INFOLDER), L"a.lnk");
  EXPECT_EQ(DisplayName(folder.get(), item.get(), SHGDN_NORMAL), L"a.lnk");
  EXPECT_EQ(DisplayName(folder.get(), item.get(), SHGDN_FORPARSING), Wide("/a.lnk"));
}

TEST_F(PosixShellFolder, NestedFoldersBindFromTheirParent) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  com_ptr<IEnumIDList> items;
  ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, items.put()), S_OK);
  ASSERT_EQ(items->Skip(1), S_OK);  // past "empty"
  PITEMID_CHILD raw = nullptr;
  ASSERT_EQ(items->Next(1, &raw, nullptr), S_OK);
  unique_cotaskmem<ITEMIDLIST> sub(raw);
  com_ptr<IShellFolder> child;
  ASSERT_EQ(folder->BindToObject(sub.get(), nullptr, IID_IShellFolder, child.put_void()), S_OK);
  EXPECT_EQ(Walk(child.get(), kFilesAndFolders), std::vector<std::wstring>{Wide("/sub/inner.lnk")});
}

TEST_F(PosixShellFolder, EmptyFolderEndsAtOnce) {
  const auto folder = Bind(Wide("/empty"));
  ASSERT_TRUE(folder);
  com_ptr<IEnumIDList> items;
  ASSERT_EQ(folder->EnumObjects(nullptr, kFilesAndFolders, items.put()), S_OK);
  ASSERT_TRUE(items);
  PITEMID_CHILD raw = reinterpret_cast<PITEMID_CHILD>(&raw);  // not null before the call
  ULONG fetched = 7;
  EXPECT_EQ(items->Next(1, &raw, &fetched), S_FALSE);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(fetched, 0u);
}

TEST_F(PosixShellFolder, NextCountsSkipResetAndClone) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  com_ptr<IEnumIDList> items;
  ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.put()), S_OK);  // 3 files

  PITEMID_CHILD batch[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(items->Next(2, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  unique_cotaskmem<ITEMIDLIST> first(batch[0]), second(batch[1]);
  EXPECT_EQ(DisplayName(folder.get(), first.get(), SHGDN_INFOLDER), L"a.lnk");
  EXPECT_EQ(DisplayName(folder.get(), second.get(), SHGDN_INFOLDER), L"b.lnk");

  com_ptr<IEnumIDList> copy;
  ASSERT_EQ(items->Clone(copy.put()), S_OK);
  // Asking for more than is left gives what is left and S_FALSE.
  EXPECT_EQ(items->Next(4, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  unique_cotaskmem<ITEMIDLIST> third(batch[0]);
  EXPECT_EQ(batch[1], nullptr);
  // More than one item needs the count.
  EXPECT_EQ(items->Next(2, batch, nullptr), E_INVALIDARG);

  // The clone goes on from where the original was when it was made.
  PITEMID_CHILD raw = nullptr;
  ASSERT_EQ(copy->Next(1, &raw, nullptr), S_OK);
  unique_cotaskmem<ITEMIDLIST> fromCopy(raw);
  EXPECT_EQ(DisplayName(folder.get(), fromCopy.get(), SHGDN_INFOLDER),
            DisplayName(folder.get(), third.get(), SHGDN_INFOLDER));

  EXPECT_EQ(items->Reset(), S_OK);
  EXPECT_EQ(items->Skip(2), S_OK);
  EXPECT_EQ(items->Skip(2), S_FALSE);
  EXPECT_EQ(items->Next(1, &raw, nullptr), S_FALSE);
}

TEST_F(PosixShellFolder, MissingPathsDoNotParse) {
  PIDLIST_ABSOLUTE list = reinterpret_cast<PIDLIST_ABSOLUTE>(&list);
  SFGAOF attributes = 0xFFFF;
  EXPECT_EQ(SHParseDisplayName((Wide() + L"\\missing").c_str(), nullptr, &list, 0, &attributes),
            kFileNotFound);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(attributes, 0u);
  EXPECT_EQ(SHParseDisplayName((Wide() + L"\\missing\\deeper").c_str(), nullptr, &list, 0, nullptr),
            kFileNotFound);
  EXPECT_EQ(SHParseDisplayName(nullptr, nullptr, &list, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(SHParseDisplayName(Wide().c_str(), nullptr, nullptr, 0, nullptr), E_INVALIDARG);
}

TEST_F(PosixShellFolder, ParsingTakesWindowsStylePaths) {
  unique_idlist list;
  ASSERT_EQ(SHParseDisplayName((Wide() + L"\\sub\\..\\sub\\inner.lnk").c_str(), nullptr, list.put(),
                               0, nullptr),
            S_OK);
  EXPECT_EQ(NativePathFromIdList(list.get()), root_ + "/sub/inner.lnk");
}

TEST_F(PosixShellFolder, BindingNeedsAFolder) {
  com_ptr<IShellFolder> desktop;
  ASSERT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
  com_ptr<IShellFolder> bound;
  // A file.
  unique_idlist file;
  ASSERT_EQ(SHParseDisplayName((Wide() + L"\\a.lnk").c_str(), nullptr, file.put(), 0, nullptr),
            S_OK);
  EXPECT_TRUE(
      FAILED(desktop->BindToObject(file.get(), nullptr, IID_IShellFolder, bound.put_void())));
  EXPECT_FALSE(bound);
  // No list, or the folder itself.
  EXPECT_EQ(desktop->BindToObject(nullptr, nullptr, IID_IShellFolder, bound.put_void()),
            E_INVALIDARG);
  const USHORT empty = 0;
  EXPECT_EQ(desktop->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(&empty), nullptr,
                                  IID_IShellFolder, bound.put_void()),
            E_INVALIDARG);
  // A folder that went away after it was parsed.
  unique_idlist gone;
  ASSERT_EQ(SHParseDisplayName((Wide() + L"\\empty").c_str(), nullptr, gone.put(), 0, nullptr),
            S_OK);
  ASSERT_EQ(rmdir((root_ + "/empty").c_str()), 0);
  EXPECT_EQ(desktop->BindToObject(gone.get(), nullptr, IID_IShellFolder, bound.put_void()),
            kFileNotFound);
  // Another interface than a folder's.
  unique_idlist sub;
  ASSERT_EQ(SHParseDisplayName((Wide() + L"\\sub").c_str(), nullptr, sub.put(), 0, nullptr), S_OK);
  EXPECT_EQ(desktop->BindToObject(sub.get(), nullptr, IID_IEnumIDList, bound.put_void()),
            E_NOINTERFACE);
  EXPECT_FALSE(bound);
}

TEST_F(PosixShellFolder, EnumeratingAFolderThatWentAwayFails) {
  const auto folder = Bind(Wide("/empty"));
  ASSERT_TRUE(folder);
  ASSERT_EQ(rmdir((root_ + "/empty").c_str()), 0);
  com_ptr<IEnumIDList> items;
  EXPECT_EQ(folder->EnumObjects(nullptr, kFilesAndFolders, items.put()), kFileNotFound);
  EXPECT_FALSE(items);
}

TEST_F(PosixShellFolder, OtherSlotsAreNotImplemented) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  void* object = &object;
  EXPECT_EQ(folder->BindToStorage(nullptr, nullptr, IID_IUnknown, &object), E_NOTIMPL);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(folder->CompareIDs(0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(folder->CreateViewObject(nullptr, IID_IUnknown, &object), E_NOTIMPL);
  EXPECT_EQ(folder->GetAttributesOf(0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(folder->GetUIObjectOf(nullptr, 0, nullptr, IID_IUnknown, nullptr, &object), E_NOTIMPL);
  PIDLIST_RELATIVE list = nullptr;
  EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, nullptr, nullptr, &list, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(folder->SetNameOf(nullptr, nullptr, L"x", 0, &list), E_NOTIMPL);
}

TEST_F(PosixShellFolder, ObjectsAnswerForTheirOwnInterfaceOnly) {
  const auto folder = Bind(Wide());
  ASSERT_TRUE(folder);
  com_ptr<IUnknown> unknown;
  EXPECT_EQ(folder->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
  com_ptr<IEnumIDList> wrong;
  EXPECT_EQ(folder->QueryInterface(IID_IEnumIDList, wrong.put_void()), E_NOINTERFACE);
  com_ptr<IEnumIDList> items;
  ASSERT_EQ(folder->EnumObjects(nullptr, kFilesAndFolders, items.put()), S_OK);
  com_ptr<IEnumIDList> same;
  EXPECT_EQ(items->QueryInterface(IID_IEnumIDList, same.put_void()), S_OK);
  com_ptr<IShellFolder> notAFolder;
  EXPECT_EQ(items->QueryInterface(IID_IShellFolder, notAFolder.put_void()), E_NOINTERFACE);
}

// ---------------------------------------------------------------------------
// StrRetToBufW.

// A one-item list whose item holds ANSI text at offset 4.
struct ItemWithText {
  unsigned char bytes[16] = {14, 0, 0x32, 0, 'C', 'a', 'f', 0xE9, '.', 't', 'x', 't', 0, 0, 0, 0};
  PCUITEMID_CHILD get() const { return reinterpret_cast<PCUITEMID_CHILD>(bytes); }
};

STRRET TaskMemoryText(const std::wstring& text) {
  STRRET value{};
  value.uType = STRRET_WSTR;
  value.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  std::copy(text.begin(), text.end(), value.pOleStr);
  value.pOleStr[text.size()] = L'\0';
  return value;
}

TEST(PosixStrRetToBuf, WideTextIsCopiedAndItsMemoryFreed) {
  STRRET value = TaskMemoryText(L"\u0414\u0438\u043C\u0430 \U0001F600");
  wchar_t buffer[MAX_PATH];
  EXPECT_EQ(StrRetToBufW(&value, nullptr, buffer, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"\u0414\u0438\u043C\u0430 \U0001F600");
  EXPECT_EQ(value.pOleStr, nullptr);  // freed and forgotten: no second free possible
}

TEST(PosixStrRetToBuf, TextIsCutToTheBufferInUtf16Units) {
  wchar_t buffer[8];
  STRRET value = TaskMemoryText(L"abcdefghij");
  EXPECT_EQ(StrRetToBufW(&value, nullptr, buffer, 4), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  // A character beyond the BMP takes two units and is never cut in half.
  value = TaskMemoryText(L"ab\U0001F600c");
  EXPECT_EQ(StrRetToBufW(&value, nullptr, buffer, 4), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"ab");
  value = TaskMemoryText(L"ab\U0001F600c");
  EXPECT_EQ(StrRetToBufW(&value, nullptr, buffer, 5), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"ab\U0001F600");
  value = TaskMemoryText(L"abc");
  EXPECT_EQ(StrRetToBufW(&value, nullptr, buffer, 1), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"");
}

TEST(PosixStrRetToBuf, AnsiTextInPlaceAndInTheItem) {
  wchar_t buffer[MAX_PATH];
  STRRET inPlace{};
  inPlace.uType = STRRET_CSTR;
  std::strcpy(inPlace.cStr, "Caf\xE9 \x80");
  EXPECT_EQ(StrRetToBufW(&inPlace, nullptr, buffer, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"Caf\u00E9 \u20AC");
  // All 260 bytes used, no terminator: the text stops at the field's end.
  std::memset(inPlace.cStr, 'x', MAX_PATH);
  EXPECT_EQ(StrRetToBufW(&inPlace, nullptr, buffer, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(buffer), std::wstring(MAX_PATH - 1, L'x'));

  const ItemWithText item;
  STRRET offset{};
  offset.uType = STRRET_OFFSET;
  offset.uOffset = 4;
  EXPECT_EQ(StrRetToBufW(&offset, item.get(), buffer, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(buffer), L"Caf\u00E9.txt");
  // An offset outside the item, or no item at all.
  offset.uOffset = 14;
  EXPECT_TRUE(FAILED(StrRetToBufW(&offset, item.get(), buffer, MAX_PATH)));
  offset.uOffset = 4;
  EXPECT_TRUE(FAILED(StrRetToBufW(&offset, nullptr, buffer, MAX_PATH)));
}

TEST(PosixStrRetToBuf, BadArgumentsFailButStillFreeTheText) {
  wchar_t buffer[4];
  STRRET value = TaskMemoryText(L"abc");
  EXPECT_TRUE(FAILED(StrRetToBufW(&value, nullptr, buffer, 0)));
  EXPECT_EQ(value.pOleStr, nullptr);
  value = TaskMemoryText(L"abc");
  EXPECT_TRUE(FAILED(StrRetToBufW(&value, nullptr, nullptr, 4)));
  EXPECT_EQ(value.pOleStr, nullptr);
  EXPECT_TRUE(FAILED(StrRetToBufW(nullptr, nullptr, buffer, 4)));
  STRRET unknown{};
  unknown.uType = 7;
  EXPECT_TRUE(FAILED(StrRetToBufW(&unknown, nullptr, buffer, 4)));
  EXPECT_EQ(std::wstring(buffer), L"");
}

}  // namespace
