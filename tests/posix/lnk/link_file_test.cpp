// What Load leaves for later: StringData is only located when the file is
// checked and decoded when asked for, and the property store block is
// checked without being listed. Each must give what a full parse gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "shell/owners.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/lnk/bytes.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"
#include "support/process.h"
#include "support/samples.h"

namespace {

using corvane::com_ptr;
using corvane::posix::AppendGuid;
using corvane::posix::AppendU16;
using corvane::posix::AppendU32;
using corvane::posix::CheckPropertyStoreBlock;
using corvane::posix::DecodeNativeText;
using corvane::posix::LinkFile;
using corvane::posix::ParseLinkFile;
using corvane::posix::ParsePropertyStoreBlock;
using corvane::posix::PropertyStorage;
using corvane::posix::Refusal;
using corvane::testing::AsBytes;
using corvane::testing::SampleBytes;
using corvane::testing::SampleNames;
using corvane::testing::TemporaryFolder;
using corvane::testing::WriteFileBytes;

constexpr GUID kLinkClassId = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr std::uint32_t kStringFlags = 0x04 | 0x08 | 0x10 | 0x20 | 0x40;  // all five
constexpr std::uint32_t kIsUnicode = 0x80;

// A link with only a header, the five StringData entries and the terminal
// block. Each text is given as the code units the file stores.
std::vector<std::uint8_t> LinkWithStrings(bool unicode, const std::vector<std::u16string>& texts) {
  std::vector<std::uint8_t> bytes;
  AppendU32(bytes, 0x4C);
  AppendGuid(bytes, kLinkClassId);
  AppendU32(bytes, kStringFlags | (unicode ? kIsUnicode : 0));
  bytes.resize(0x4C, 0);
  for (const std::u16string& text : texts) {
    AppendU16(bytes, static_cast<std::uint16_t>(text.size()));
    for (char16_t unit : text) {
      if (unicode) {
        AppendU16(bytes, unit);
      } else {
        bytes.push_back(static_cast<std::uint8_t>(unit));
      }
    }
  }
  AppendU32(bytes, 0);
  return bytes;
}

// A link with only a header, a LinkInfo (a header of 0x1C bytes, then
// "C:\\" and its NUL, 0x20 bytes in all) with the given offsets, and the
// terminal block.
std::vector<std::uint8_t> LinkWithLinkInfo(std::uint32_t localBasePath, std::uint32_t pathSuffix) {
  std::vector<std::uint8_t> bytes;
  AppendU32(bytes, 0x4C);
  AppendGuid(bytes, kLinkClassId);
  AppendU32(bytes, 0x02);  // HasLinkInfo
  bytes.resize(0x4C, 0);
  for (std::uint32_t field : {0x20u, 0x1Cu, 0x01u, 0x1Cu, localBasePath, 0u, pathSuffix}) {
    AppendU32(bytes, field);
  }
  for (char c : {'C', ':', '\\', '\0'}) bytes.push_back(static_cast<std::uint8_t>(c));
  AppendU32(bytes, 0);
  return bytes;
}

TEST(LinkInfoOffsets, EachOffsetPointsPastTheHeaderAndInsideTheStructure) {
  LinkFile link;
  EXPECT_EQ(ParseLinkFile(LinkWithLinkInfo(0x1C, 0x1F), link), Refusal::None);
  EXPECT_EQ(ParseLinkFile(LinkWithLinkInfo(0x20, 0x1F), link),
            Refusal::LinkInfoOffset);  // at its end
  EXPECT_EQ(ParseLinkFile(LinkWithLinkInfo(0x1C, 0x20), link), Refusal::LinkInfoOffset);
  EXPECT_EQ(ParseLinkFile(LinkWithLinkInfo(0x1B, 0x1F), link),
            Refusal::LinkInfoOffset);  // in its header
}

class LinkFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(CoInitialize(nullptr), 0); }
  void TearDown() override { CoUninitialize(); }

  // The five strings through the link object's getters, in file order.
  std::vector<std::wstring> GettersOf(const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder_.path() + "/strings.lnk";
    WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
    com_ptr<IShellLinkW> link;
    com_ptr<IPersistFile> file;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               link.put_void()),
              S_OK);
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
    EXPECT_EQ(file->Load(DecodeNativeText(path).c_str(), STGM_READ), S_OK);
    wchar_t buffer[MAX_PATH];
    std::vector<std::wstring> texts;
    EXPECT_EQ(link->GetDescription(buffer, MAX_PATH), S_OK);
    texts.push_back(buffer);
    texts.push_back(L"");  // no getter for the relative path
    EXPECT_EQ(link->GetWorkingDirectory(buffer, MAX_PATH), S_OK);
    texts.push_back(buffer);
    EXPECT_EQ(link->GetArguments(buffer, MAX_PATH), S_OK);
    texts.push_back(buffer);
    int icon = -1;
    EXPECT_EQ(link->GetIconLocation(buffer, MAX_PATH, &icon), S_OK);
    texts.push_back(buffer);
    return texts;
  }

  TemporaryFolder folder_;
};

TEST_F(LinkFileTest, UnicodeStringsDecodeWithSurrogatePairsJoined) {
  const std::vector<std::u16string> texts = {u"Description", u"..\\rel", u"C:\\Work",
                                             u"--flag \u00e9\u0100", u"C:\\icon.ico,\xD83D\xDE00"};
  LinkFile link;
  ASSERT_EQ(ParseLinkFile(LinkWithStrings(true, texts), link), Refusal::None);
  EXPECT_EQ(link.Text(link.name), L"Description");
  EXPECT_EQ(link.Text(link.relativePath), L"..\\rel");
  EXPECT_EQ(link.Text(link.workingDir), L"C:\\Work");
  EXPECT_EQ(link.Text(link.arguments), L"--flag \u00e9\u0100");
  EXPECT_EQ(link.Text(link.iconLocation), L"C:\\icon.ico,\U0001F600");

  const std::vector<std::wstring> got = GettersOf(LinkWithStrings(true, texts));
  EXPECT_EQ(got[0], L"Description");
  EXPECT_EQ(got[2], L"C:\\Work");
  EXPECT_EQ(got[3], L"--flag \u00e9\u0100");
  EXPECT_EQ(got[4], L"C:\\icon.ico,\U0001F600");
}

TEST_F(LinkFileTest, AnsiStringsDecodeAsWindows1252) {
  // 0x80..0x9F, where Windows-1252 parts from Latin-1, each byte as its
  // character: 0x80 the euro sign ... 0x9F Y diaeresis. The five bytes the
  // code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) come through as
  // the C1 control of the same value, as Windows' own conversion gives them.
  // 0xE9 is e acute.
  std::u16string high;
  for (char16_t byte = 0x80; byte <= 0x9F; ++byte) high += byte;
  const std::wstring decoded =
      L"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D"
      L"\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D"
      L"\u017E\u0178";
  const std::vector<std::u16string> texts = {u"Desc" + high, u"", u"C:\\Caf\xE9", u"-x", u"i.ico"};
  LinkFile link;
  ASSERT_EQ(ParseLinkFile(LinkWithStrings(false, texts), link), Refusal::None);
  EXPECT_EQ(link.Text(link.name), L"Desc" + decoded);
  EXPECT_EQ(link.Text(link.relativePath), L"");
  EXPECT_EQ(link.Text(link.workingDir), L"C:\\Caf\u00E9");

  const std::vector<std::wstring> got = GettersOf(LinkWithStrings(false, texts));
  EXPECT_EQ(got[0], L"Desc" + decoded);
  EXPECT_EQ(got[2], L"C:\\Caf\u00E9");
  EXPECT_EQ(got[3], L"-x");
  EXPECT_EQ(got[4], L"i.ico");
}

TEST_F(LinkFileTest, StringThatPassesTheEndIsRefusedAtParse) {
  for (const bool unicode : {true, false}) {
    std::vector<std::uint8_t> bytes = LinkWithStrings(unicode, {u"a", u"b", u"c", u"d", u"eeee"});
    // The last count claims more characters than the file holds.
    const std::size_t lastCount = bytes.size() - 4 - (unicode ? 8 : 4) - 2;
    bytes[lastCount] = 200;
    LinkFile link;
    EXPECT_EQ(ParseLinkFile(bytes, link), Refusal::StringDataTruncated) << unicode;
  }
}

// Each rule of a property store block broken in sample3's block, whose one
// storage starts at 8 (StorageSize, then Version at 12 and FormatID at 16)
// with its first record at 32 (ValueSize, then Id at 36); the storage's
// terminator and the block's end it. Checking and listing the block both
// refuse it for that rule.
TEST_F(LinkFileTest, CheckingAndListingRefuseEachBrokenRule) {
  LinkFile link;
  ASSERT_EQ(ParseLinkFile(AsBytes(SampleBytes("sample3.lnk")), link), Refusal::None);
  const auto view = link.View(link.propertyStoreBlock);
  const std::vector<std::uint8_t> block(view.begin(), view.end());
  const auto storageSize = static_cast<std::uint32_t>(block.size() - 12);
  using corvane::posix::WriteU32;
  using Damage = std::function<void(std::vector<std::uint8_t>&)>;
  const std::tuple<const char*, Damage, Refusal> cases[] = {
      {"nothing broken", [](auto&) {}, Refusal::None},
      {"a storage past the block", [&](auto& b) { WriteU32(b, 8, storageSize + 5); },
       Refusal::PropertyStorageSize},
      {"a storage too small for its header and terminator", [](auto& b) { WriteU32(b, 8, 27); },
       Refusal::PropertyStorageSize},
      {"a version other than 1SPS", [](auto& b) { b[12] ^= 0x01; },
       Refusal::PropertyStorageVersion},
      {"a record past its storage", [&](auto& b) { WriteU32(b, 32, storageSize); },
       Refusal::PropertyRecordSize},
      {"a record too small for its header", [](auto& b) { WriteU32(b, 32, 12); },
       Refusal::PropertyRecordSize},
      {"a named record whose name leaves no room for its value",
       [](auto& b) {
         // {D5CDD505-2E9C-101B-9397-08002B2CF9AE}, the storage of named properties.
         const char named[] = "\x05\xD5\xCD\xD5\x9C\x2E\x1B\x10\x93\x97\x08\x00\x2B\x2C\xF9\xAE";
         std::copy(named, named + 16, b.begin() + 16);
         WriteU32(b, 36, 0xFFFF);
       },
       Refusal::PropertyNameSize},
      {"a storage that ends before its terminator",
       [&](auto& b) { WriteU32(b, 8, storageSize - 4); }, Refusal::PropertyStorageEnd},
      {"bytes between a storage's terminator and its end",
       [&](auto& b) {
         WriteU32(b, 8, storageSize + 4);
         b.insert(b.begin() + 8 + storageSize, 4, 0);
       },
       Refusal::PropertyStorageEnd},
      {"no terminator after the storages", [](auto& b) { b.resize(b.size() - 4); },
       Refusal::PropertyStoreEnd},
      {"bytes between the terminator and the block's end",
       [](auto& b) { b.insert(b.end() - 4, 4, 0); }, Refusal::PropertyStoreEnd},
  };
  for (const auto& [rule, damage, refusal] : cases) {
    std::vector<std::uint8_t> damaged = block;
    damage(damaged);
    std::vector<PropertyStorage> storages;
    EXPECT_EQ(CheckPropertyStoreBlock(damaged), refusal) << rule;
    EXPECT_EQ(ParsePropertyStoreBlock(damaged, storages), refusal) << rule;
  }
}

TEST_F(LinkFileTest, ListingABrokenBlockKeepsOnlyTheWholeStoragesBeforeTheFault) {
  LinkFile link;
  ASSERT_EQ(ParseLinkFile(AsBytes(SampleBytes("sample3.lnk")), link), Refusal::None);
  const auto view = link.View(link.propertyStoreBlock);
  std::vector<PropertyStorage> one;
  ASSERT_EQ(ParsePropertyStoreBlock(view, one), Refusal::None);
  ASSERT_EQ(one.size(), 1u);
  // The block with its storage twice, the second with a broken version.
  const auto storage = view.subspan(one[0].extent.offset, one[0].extent.size);
  std::vector<std::uint8_t> block(view.begin(), view.begin() + 8);
  block.insert(block.end(), storage.begin(), storage.end());
  const std::size_t second = block.size();
  block.insert(block.end(), storage.begin(), storage.end());
  AppendU32(block, 0);
  corvane::posix::WriteU32(block, 0, static_cast<std::uint32_t>(block.size()));

  std::vector<PropertyStorage> storages;
  ASSERT_EQ(ParsePropertyStoreBlock(block, storages), Refusal::None);
  ASSERT_EQ(storages.size(), 2u);
  block[second + 4] ^= 0xFF;
  EXPECT_EQ(ParsePropertyStoreBlock(block, storages), Refusal::PropertyStorageVersion);
  EXPECT_EQ(CheckPropertyStoreBlock(block), Refusal::PropertyStorageVersion);
  ASSERT_EQ(storages.size(), 1u);
  EXPECT_EQ(storages[0].records.size(), one[0].records.size());
  // A record cut short in the second storage: still only the first.
  block[second + 4] ^= 0xFF;
  corvane::posix::WriteU32(block, second + 24, 0xFFFF);
  EXPECT_EQ(ParsePropertyStoreBlock(block, storages), Refusal::PropertyRecordSize);
  EXPECT_EQ(CheckPropertyStoreBlock(block), Refusal::PropertyRecordSize);
  EXPECT_EQ(storages.size(), 1u);
}

}  // namespace
