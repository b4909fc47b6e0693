// corv's g and s commands on real shortcut files: the exact lines and exit
// statuses, the identifier as it lands in the file, and what a save leaves
// of the rest of the shortcut. The tests walk the .lnk layout themselves to
// see where the property store block lies and what it holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/corv_test.h"

namespace {

using namespace corvane::e2e;

constexpr std::string_view kLoadFailed = "Failed to load shortcut file: ";
constexpr std::string_view kFileCorrupt = "80070570";
constexpr std::string_view kFileNotFound = "80070002";
constexpr std::string_view kPathNotFound = "80070003";
constexpr std::string_view kAccessDenied = "80070005";

constexpr std::string_view kMyAppId = "My.App.Id";

// --- Text ----------------------------------------------------------------------

// UTF-16 text as the command line takes it.
std::string Utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-16 text as a shortcut file stores it.
std::string Utf16Le(std::u16string_view text) {
  std::string out;
  for (const char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

// The console's bytes for text: one byte per character below U+0100; the
// first character above that ends the output for good.
struct ConsoleText {
  std::string bytes;
  bool cut = false;
};

ConsoleText OnConsole(std::u16string_view text) {
  ConsoleText console;
  for (const char16_t unit : text) {
    if (unit > 0xFF) {
      console.cut = true;
      break;
    }
    console.bytes += static_cast<char>(unit);
  }
  return console;
}

// A line of pieces on one stream: the bytes up to the first character the
// console cannot write, and the line end only when none was met.
std::string ConsoleLine(std::initializer_list<std::u16string_view> pieces) {
  std::string line;
  for (const std::u16string_view piece : pieces) {
    const ConsoleText console = OnConsole(piece);
    line += console.bytes;
    if (console.cut) return line;
  }
  return line + "\r\n";
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string GotLine(std::u16string_view appId) { return ConsoleLine({u"AppUserModelID: ", appId}); }

std::string SetLine(std::u16string_view appId, std::string_view path) {
  return ConsoleLine(
      {u"Successfully set AppUserModelID '", appId, u"' for shortcut: ", Widen(path)});
}

std::string NoAppIdLine(std::string_view path) {
  return "No AppUserModelID set for shortcut: " + std::string(path) + "\r\n";
}

// What a failed save leaves on stderr: its line, then the dispatcher's.
std::string SaveFailedErr(std::string_view code) {
  return "Failed to save shortcut file. HRESULT: 0x" + std::string(code) + "\r\n" +
         std::string(kSetAppIdFailed);
}

std::string LoadFailedLine(std::string_view path, std::string_view code) {
  return std::string(kLoadFailed) + std::string(path) + ". HRESULT: 0x" + std::string(code) +
         "\r\n";
}

// --- The .lnk layout ----------------------------------------------------------

constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::uint32_t kPropertyStoreSignature = 0xA0000009;
constexpr std::uint32_t kStorageVersion = 0x53505331;  // "1SPS"
constexpr std::uint16_t VT_I4 = 3;
constexpr std::uint16_t VT_BSTR = 8;
constexpr std::uint16_t VT_UI4 = 19;
constexpr std::uint16_t VT_LPWSTR = 31;
constexpr std::uint16_t VT_FILETIME = 64;

// {9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3} as it is stored.
const std::string kAppIdFormat("\x55\x28\x4C\x9F\x79\x9F\x39\x4B\xA8\xD0\xE1\xD4\x2D\xE1\xD5\xF3",
                               16);
constexpr std::uint32_t kAppIdProperty = 5;

std::optional<std::uint32_t> U32(std::string_view bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::optional<std::uint16_t> U16(std::string_view bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return std::nullopt;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::string LeU32(std::uint32_t value) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string LeU16(std::uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

bool Fits(std::string_view bytes, std::size_t at, std::size_t size) {
  return at <= bytes.size() && size <= bytes.size() - at;
}

// Where the structures of a shortcut file lie.
struct LinkLayout {
  std::size_t extraData = 0;  // the first extra data block
  // The first property store block, size and signature included.
  std::optional<std::size_t> storeOffset;
  std::size_t storeSize = 0;
  std::size_t terminal = 0;  // the terminal block (a size below 4)
  // Where each structure after the header starts, the terminal block last.
  std::vector<std::size_t> starts;

  std::size_t End() const { return terminal + 4; }
};

// Walks header, target IDList, LinkInfo, StringData and the extra blocks by
// their sizes. Nothing when a size runs past the end of the bytes.
std::optional<LinkLayout> WalkLink(std::string_view bytes) {
  const auto headerSize = U32(bytes, 0);
  const auto flags = U32(bytes, 0x14);
  if (!headerSize || *headerSize != kHeaderSize || !flags || bytes.size() < kHeaderSize) {
    return std::nullopt;
  }
  LinkLayout layout;
  std::size_t at = kHeaderSize;
  if (*flags & 0x1) {  // HasLinkTargetIDList
    const auto size = U16(bytes, at);
    if (!size || !Fits(bytes, at + 2, *size)) return std::nullopt;
    layout.starts.push_back(at);
    at += 2 + *size;
  }
  if (*flags & 0x2) {  // HasLinkInfo
    const auto size = U32(bytes, at);
    if (!size || !Fits(bytes, at, *size)) return std::nullopt;
    layout.starts.push_back(at);
    at += *size;
  }
  const std::size_t charSize = (*flags & 0x80) ? 2 : 1;  // IsUnicode
  for (const std::uint32_t flag : {0x4u, 0x8u, 0x10u, 0x20u, 0x40u}) {
    if ((*flags & flag) == 0) continue;
    const auto count = U16(bytes, at);
    if (!count || !Fits(bytes, at + 2, *count * charSize)) return std::nullopt;
    layout.starts.push_back(at);
    at += 2 + *count * charSize;
  }
  layout.extraData = at;
  for (;;) {
    const auto size = U32(bytes, at);
    if (!size) return std::nullopt;
    layout.starts.push_back(at);
    if (*size < 4) {
      layout.terminal = at;
      return layout;
    }
    const auto signature = U32(bytes, at + 4);
    if (*size < 8 || !Fits(bytes, at, *size) || !signature) return std::nullopt;
    if (*signature == kPropertyStoreSignature && !layout.storeOffset) {
      layout.storeOffset = at;
      layout.storeSize = *size;
    }
    at += *size;
  }
}

// One serialized property: its bytes from the size field on, and its id
// (the name's size in a storage of named properties).
struct Record {
  std::string bytes;
  std::uint32_t id = 0;

  std::uint16_t Type() const { return *U16(bytes, 9); }
};

struct Storage {
  std::string formatId;
  std::vector<Record> records;
};

// The storages of a property store block (its size and signature included).
std::optional<std::vector<Storage>> ReadStore(std::string_view block) {
  std::vector<Storage> storages;
  std::size_t at = 8;
  for (;;) {
    const auto storageSize = U32(block, at);
    if (!storageSize) return std::nullopt;
    if (*storageSize == 0) {
      if (at + 4 != block.size()) return std::nullopt;
      return storages;
    }
    if (*storageSize < 28 || !Fits(block, at, *storageSize) ||
        U32(block, at + 4) != kStorageVersion) {
      return std::nullopt;
    }
    const std::string_view storageBytes = block.substr(at, *storageSize);
    Storage storage;
    storage.formatId = std::string(storageBytes.substr(8, 16));
    std::size_t recordAt = 24;
    for (;;) {
      const auto recordSize = U32(storageBytes, recordAt);
      if (!recordSize) return std::nullopt;
      if (*recordSize == 0) break;
      if (*recordSize < 13 || !Fits(storageBytes, recordAt, *recordSize)) return std::nullopt;
      Record record;
      record.bytes = std::string(storageBytes.substr(recordAt, *recordSize));
      record.id = *U32(record.bytes, 4);
      storage.records.push_back(record);
      recordAt += *recordSize;
    }
    if (recordAt + 4 != storageBytes.size()) return std::nullopt;
    storages.push_back(storage);
    at += *storageSize;
  }
}

bool IsAppId(const Storage& storage, const Record& record) {
  return storage.formatId == kAppIdFormat && record.id == kAppIdProperty;
}

// The property store of a shortcut: empty when it has no block.
std::optional<std::vector<Storage>> StoreOf(std::string_view lnk) {
  const auto layout = WalkLink(lnk);
  if (!layout) return std::nullopt;
  if (!layout->storeOffset) return std::vector<Storage>{};
  return ReadStore(lnk.substr(*layout->storeOffset, layout->storeSize));
}

std::vector<const Record*> AppIdRecords(const std::vector<Storage>& storages) {
  std::vector<const Record*> found;
  for (const Storage& storage : storages) {
    for (const Record& record : storage.records) {
      if (IsAppId(storage, record)) found.push_back(&record);
    }
  }
  return found;
}

// The text of a VT_LPWSTR (count in characters) or VT_BSTR (count in bytes)
// value, up to its first NUL.
std::optional<std::u16string> TextOf(const Record& record) {
  const auto count = U32(record.bytes, 13);
  if (!count) return std::nullopt;
  const std::size_t units = record.Type() == VT_LPWSTR ? *count : *count / 2;
  if (!Fits(record.bytes, 17, units * 2)) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = *U16(record.bytes, 17 + 2 * i);
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

// A serialized value of the given type: type, padding, data, padded to four.
std::string TypedValue(std::uint16_t type, const std::string& data) {
  std::string value = LeU16(type) + LeU16(0) + data;
  while (value.size() % 4 != 0) value += '\0';
  return value;
}

std::string StringValue(std::uint16_t type, std::u16string_view text) {
  const std::uint32_t units = static_cast<std::uint32_t>(text.size() + 1);
  return TypedValue(type, LeU32(type == VT_BSTR ? units * 2 : units) + Utf16Le(text) + LeU16(0));
}

// The shortcut with its AppUserModelID record's value replaced by
// typedValue, and every size around it fixed.
std::string WithAppIdValue(const std::string& lnk, const std::string& typedValue) {
  const auto layout = WalkLink(lnk);
  const auto storages = StoreOf(lnk);
  if (!layout || !layout->storeOffset || !storages || AppIdRecords(*storages).size() != 1) {
    ADD_FAILURE() << "no single AppUserModelID record to replace";
    return lnk;
  }
  std::string block;
  for (const Storage& storage : *storages) {
    std::string records;
    for (const Record& record : storage.records) {
      records += IsAppId(storage, record)
                     ? LeU32(static_cast<std::uint32_t>(9 + typedValue.size())) +
                           LeU32(kAppIdProperty) + '\0' + typedValue
                     : record.bytes;
    }
    block += LeU32(static_cast<std::uint32_t>(24 + records.size() + 4)) + LeU32(kStorageVersion) +
             storage.formatId + records + LeU32(0);
  }
  block = LeU32(static_cast<std::uint32_t>(8 + block.size() + 4)) + LeU32(kPropertyStoreSignature) +
          block + LeU32(0);
  return lnk.substr(0, *layout->storeOffset) + block +
         lnk.substr(*layout->storeOffset + layout->storeSize);
}

// --- What a save may change -----------------------------------------------------

// The saved file is the original but for its property store block; a file
// without one gains a block just before the terminal block.
::testing::AssertionResult ChangedOnlyInPropertyStore(const std::string& original,
                                                      const std::string& saved) {
  const auto before = WalkLink(original);
  const auto after = WalkLink(saved);
  if (!before) return ::testing::AssertionFailure() << "the original does not walk";
  if (!after) return ::testing::AssertionFailure() << "the saved file does not walk";
  if (!after->storeOffset) return ::testing::AssertionFailure() << "no property store block";
  const std::size_t start = before->storeOffset.value_or(before->terminal);
  const std::size_t oldSize = before->storeOffset ? before->storeSize : 0;
  if (*after->storeOffset != start) {
    return ::testing::AssertionFailure()
           << "property store block at " << *after->storeOffset << ", expected at " << start;
  }
  if (saved.compare(0, start, original, 0, start) != 0) {
    return ::testing::AssertionFailure() << "bytes before the property store block changed";
  }
  const std::string_view oldTail = std::string_view(original).substr(start + oldSize);
  const std::string_view newTail = std::string_view(saved).substr(start + after->storeSize);
  if (oldTail != newTail) {
    return ::testing::AssertionFailure() << "bytes after the property store block changed";
  }
  return ::testing::AssertionSuccess();
}

// Every property of the original store other than the AppUserModelID is in
// the saved store byte for byte, in a storage of the same format, and the
// saved store holds nothing else but one AppUserModelID record of
// VT_LPWSTR with appId and its NUL.
::testing::AssertionResult KeptPropertiesAndStored(const std::string& original,
                                                   const std::string& saved,
                                                   std::u16string_view appId) {
  const auto before = StoreOf(original);
  const auto after = StoreOf(saved);
  if (!before) return ::testing::AssertionFailure() << "the original store does not read";
  if (!after) return ::testing::AssertionFailure() << "the saved store does not read";
  std::multiset<std::string> kept;
  std::size_t others = 0;
  for (const Storage& storage : *after) {
    for (const Record& record : storage.records) {
      if (IsAppId(storage, record)) continue;
      kept.insert(storage.formatId + record.bytes);
      ++others;
    }
  }
  std::size_t originals = 0;
  for (const Storage& storage : *before) {
    for (const Record& record : storage.records) {
      if (IsAppId(storage, record)) continue;
      ++originals;
      const auto found = kept.find(storage.formatId + record.bytes);
      if (found == kept.end()) {
        return ::testing::AssertionFailure()
               << "lost property " << record.id << ": " << Visible(record.bytes);
      }
      kept.erase(found);
    }
  }
  if (others != originals) {
    return ::testing::AssertionFailure() << others - originals << " properties appeared";
  }
  const std::vector<const Record*> appIds = AppIdRecords(*after);
  if (appIds.size() != 1) {
    return ::testing::AssertionFailure() << appIds.size() << " AppUserModelID records";
  }
  const Record& record = *appIds.front();
  const std::string expected =
      LeU32(static_cast<std::uint32_t>(9 + StringValue(VT_LPWSTR, appId).size())) +
      LeU32(kAppIdProperty) + '\0' + StringValue(VT_LPWSTR, appId);
  if (record.bytes != expected) {
    return ::testing::AssertionFailure() << "AppUserModelID record\n  " << Visible(record.bytes)
                                         << "\nexpected\n  " << Visible(expected);
  }
  return ::testing::AssertionSuccess();
}

// --- Fixture ------------------------------------------------------------------------

class AppIdTest : public CorvTest {
 protected:
  ProcessResult Get(const std::string& path) { return Run(path, "g"); }
  ProcessResult Set(const std::string& path, std::string_view appId) {
    return Run(path, "s", std::string(appId));
  }

  // A sample shortcut copied into the work folder under its own name.
  std::string CopySample(const std::string& name) {
    WriteWorkFile(name, SampleBytes(name));
    return name;
  }

  ::testing::AssertionResult GetFailed(const ProcessResult& result, std::string_view path,
                                       std::string_view code) {
    return Produced(result, "", LoadFailedLine(path, code) + std::string(kGetAppIdFailed),
                    kGetAppIdFailedStatus);
  }
  ::testing::AssertionResult SetFailed(const ProcessResult& result, std::string_view path,
                                       std::string_view code) {
    return Produced(result, "", LoadFailedLine(path, code) + std::string(kSetAppIdFailed),
                    kSetAppIdFailedStatus);
  }

  // s with appId, then g: the lines both print, and the file as s left it.
  std::string SetAndGet(const std::string& path, std::u16string_view appId) {
    EXPECT_TRUE(Produced(Set(path, Utf8(appId)), SetLine(appId, path), "", 0));
    EXPECT_TRUE(Produced(Get(path), GotLine(appId), "", 0));
    return ReadFileBytes(WorkPath(path));
  }

  std::vector<std::string> WorkFiles() { return ListFolder(WorkPath("")); }
};

// --- g on every sample -----------------------------------------------------------

using E2eAppIdGetSamples = AppIdTest;

// A sample whose structures hold together prints its AppUserModelID or says
// it has none; one whose sizes run past its end is refused as corrupt.
TEST_F(E2eAppIdGetSamples, EverySampleIsReadOrRefusedAsCorrupt) {
  const std::vector<std::string> names = SampleNames();
  ASSERT_FALSE(names.empty());
  std::size_t read = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    CopySample(name);
    const std::string bytes = SampleBytes(name);
    const ProcessResult result = Get(name);
    if (!WalkLink(bytes)) {
      EXPECT_TRUE(GetFailed(result, name, kFileCorrupt));
    } else {
      const auto store = StoreOf(bytes);
      ASSERT_TRUE(store);
      const std::vector<const Record*> appIds = AppIdRecords(*store);
      if (appIds.empty()) {
        EXPECT_TRUE(Produced(result, NoAppIdLine(name), "", 0));
      } else {
        const auto text = TextOf(*appIds.front());
        ASSERT_TRUE(text);
        EXPECT_TRUE(Produced(result, GotLine(*text), "", 0));
      }
      ++read;
    }
    EXPECT_EQ(ReadFileBytes(WorkPath(name)), bytes);
  }
  EXPECT_GT(read, names.size() / 2);
}

// What g prints for sample3.lnk, whose identifier Windows stored.
const std::string kSample3Line =
    "AppUserModelID: ::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\\\\\?\\usb#vid_12d1&pid_107e&mi_00#"
    "6&166135c4&0&0000#{6ac27878-a6fa-4155-ba85-f98f491d4f33}\\SID-{10001,,116775714816}\\"
    "{00000015-0001-0001-0000-000000000000}\r\n";

TEST_F(E2eAppIdGetSamples, IdentifierStoredByWindowsComesOutAsStored) {
  CopySample("sample3.lnk");
  EXPECT_TRUE(Produced(Get("sample3.lnk"), kSample3Line, "", 0));
}

// Its last block claims 16 bytes where only 4 are left.
TEST_F(E2eAppIdGetSamples, BlockPastTheEndOfFileIsCorrupt) {
  CopySample("extra_data.lnk");
  EXPECT_TRUE(Produced(Get("extra_data.lnk"), "",
                       "Failed to load shortcut file: extra_data.lnk. HRESULT: 0x80070570\r\n"
                       "GetShortcutAppID failed.\r\n",
                       kGetAppIdFailedStatus));
  EXPECT_TRUE(SetFailed(Set("extra_data.lnk", kMyAppId), "extra_data.lnk", kFileCorrupt));
  EXPECT_EQ(ReadFileBytes(WorkPath("extra_data.lnk")), SampleBytes("extra_data.lnk"));
}

TEST_F(E2eAppIdGetSamples, PathIsPrintedAsTyped) {
  CopySample("sample.lnk");
  std::filesystem::create_directories(WorkPath("sub"));
  EXPECT_TRUE(Produced(Get("./sample.lnk"), NoAppIdLine("./sample.lnk"), "", 0));
  EXPECT_TRUE(Produced(Get("sub/../sample.lnk"), NoAppIdLine("sub/../sample.lnk"), "", 0));
  EXPECT_TRUE(Produced(Get("sub\\..\\sample.lnk"), NoAppIdLine("sub\\..\\sample.lnk"), "", 0));
  EXPECT_TRUE(Produced(Get(WorkPath("sample.lnk")), NoAppIdLine(WorkPath("sample.lnk")), "", 0));
}

// --- s, then g, on every sample ------------------------------------------------------

using E2eAppIdSetSamples = AppIdTest;

TEST_F(E2eAppIdSetSamples, EveryReadableSampleTakesTheIdentifierAndKeepsTheRest) {
  std::size_t set = 0;
  for (const std::string& name : SampleNames()) {
    SCOPED_TRACE(name);
    CopySample(name);
    const std::string original = SampleBytes(name);
    if (!WalkLink(original)) {
      EXPECT_TRUE(SetFailed(Set(name, kMyAppId), name, kFileCorrupt));
      EXPECT_EQ(ReadFileBytes(WorkPath(name)), original);
      continue;
    }
    const std::string saved = SetAndGet(name, u"My.App.Id");
    EXPECT_TRUE(ChangedOnlyInPropertyStore(original, saved));
    EXPECT_TRUE(KeptPropertiesAndStored(original, saved, u"My.App.Id"));
    ++set;
  }
  EXPECT_GT(set, 0u);
  EXPECT_TRUE(HasNoHiddenEntries(WorkPath("")));
}

// A second s replaces the value of the first, longer or shorter, and still
// leaves one record.
TEST_F(E2eAppIdSetSamples, SettingAgainReplacesTheValue) {
  for (const std::string name : {"sample3.lnk", "microsoft_example.lnk", "sample5.lnk"}) {
    SCOPED_TRACE(name);
    CopySample(name);
    const std::string original = SampleBytes(name);
    SetAndGet(name, u"A.Much.Longer.Identifier.Than.Before");
    std::string saved = SetAndGet(name, u"B");
    EXPECT_TRUE(ChangedOnlyInPropertyStore(original, saved));
    EXPECT_TRUE(KeptPropertiesAndStored(original, saved, u"B"));
    saved = SetAndGet(name, u"B");
    EXPECT_TRUE(KeptPropertiesAndStored(original, saved, u"B"));
  }
}

// A shortcut with a second property store block (an AppUserModelID alone,
// just before the terminal block): g reads the first block, s writes it, and
// the second stays as it was.
TEST_F(E2eAppIdSetSamples, TheFirstOfTwoPropertyStoreBlocksIsReadAndWritten) {
  const std::string sample = SampleBytes("sample3.lnk");
  const auto layout = WalkLink(sample);
  ASSERT_TRUE(layout);
  const std::string value = StringValue(VT_LPWSTR, u"Second.Block");
  const std::string record =
      LeU32(static_cast<std::uint32_t>(9 + value.size())) + LeU32(kAppIdProperty) + '\0' + value;
  const std::string storage = LeU32(static_cast<std::uint32_t>(24 + record.size() + 4)) +
                              LeU32(kStorageVersion) + kAppIdFormat + record + LeU32(0);
  const std::string rest = LeU32(static_cast<std::uint32_t>(8 + storage.size() + 4)) +
                           LeU32(kPropertyStoreSignature) + storage + LeU32(0) +
                           sample.substr(layout->terminal);
  const std::string twoBlocks = sample.substr(0, layout->terminal) + rest;
  WriteWorkFile("Two.lnk", twoBlocks);
  EXPECT_TRUE(Produced(Get("Two.lnk"), kSample3Line, "", 0));
  const std::string saved = SetAndGet("Two.lnk", u"First.Block");
  EXPECT_TRUE(ChangedOnlyInPropertyStore(twoBlocks, saved));
  EXPECT_TRUE(saved.ends_with(rest));
}

// Bytes after the terminal block stay where they were.
TEST_F(E2eAppIdSetSamples, DataAfterTheTerminalBlockIsKept) {
  const std::string original = example_ + std::string("trailing\0data", 13);
  WriteWorkFile("App.lnk", original);
  EXPECT_TRUE(Produced(Get("App.lnk"), NoAppIdLine("App.lnk"), "", 0));
  const std::string saved = SetAndGet("App.lnk", u"My.App.Id");
  EXPECT_TRUE(ChangedOnlyInPropertyStore(original, saved));
  EXPECT_TRUE(KeptPropertiesAndStored(original, saved, u"My.App.Id"));
  EXPECT_EQ(saved.substr(saved.size() - 13), std::string("trailing\0data", 13));
}

// --- Identifiers and the console -----------------------------------------------------

using E2eAppIdText = AppIdTest;

TEST_F(E2eAppIdText, EmptyIdentifierIsStoredAndPrinted) {
  for (const std::string name : {"sample3.lnk", "microsoft_example.lnk"}) {
    SCOPED_TRACE(name);
    CopySample(name);
    EXPECT_TRUE(Produced(
        Set(name, ""), "Successfully set AppUserModelID '' for shortcut: " + name + "\r\n", "", 0));
    EXPECT_TRUE(Produced(Get(name), "AppUserModelID: \r\n", "", 0));
    const std::string saved = ReadFileBytes(WorkPath(name));
    EXPECT_TRUE(ChangedOnlyInPropertyStore(SampleBytes(name), saved));
    EXPECT_TRUE(KeptPropertiesAndStored(SampleBytes(name), saved, u""));
  }
}

TEST_F(E2eAppIdText, LatinCharactersComeOutAsSingleBytes) {
  CopySample("sample3.lnk");
  const std::u16string appId = u"Caf\u00e9.\u00ff.App";
  EXPECT_TRUE(Produced(Set("sample3.lnk", Utf8(appId)),
                       "Successfully set AppUserModelID 'Caf\xe9.\xff.App' for shortcut: "
                       "sample3.lnk\r\n",
                       "", 0));
  EXPECT_TRUE(Produced(Get("sample3.lnk"), "AppUserModelID: Caf\xe9.\xff.App\r\n", "", 0));
  EXPECT_TRUE(KeptPropertiesAndStored(SampleBytes("sample3.lnk"),
                                      ReadFileBytes(WorkPath("sample3.lnk")), appId));
}

// The file gets the whole identifier; the console line stops before the
// first character it cannot write, with no line end, and the run succeeds.
TEST_F(E2eAppIdText, CharactersAboveLatin1AreStoredWholeButCutOnTheConsole) {
  for (const std::u16string& appId :
       {std::u16string(u"App.\u0100.x"), std::u16string(u"Smile.\U0001F600.App"),
        std::u16string(u"\u4e2d\u6587"), std::u16string(u"\U00010000")}) {
    SCOPED_TRACE(Visible(Utf8(appId)));
    CopySample("microsoft_example.lnk");
    const ProcessResult set = Set("microsoft_example.lnk", Utf8(appId));
    const std::string prefix(OnConsole(appId).bytes);
    EXPECT_TRUE(Produced(set, "Successfully set AppUserModelID '" + prefix, "", 0));
    EXPECT_TRUE(Produced(Get("microsoft_example.lnk"), "AppUserModelID: " + prefix, "", 0));

    const std::string saved = ReadFileBytes(WorkPath("microsoft_example.lnk"));
    EXPECT_NE(saved.find(Utf16Le(appId) + std::string(2, '\0')), std::string::npos);
    EXPECT_TRUE(ChangedOnlyInPropertyStore(SampleBytes("microsoft_example.lnk"), saved));
    EXPECT_TRUE(KeptPropertiesAndStored(SampleBytes("microsoft_example.lnk"), saved, appId));
  }
}

TEST_F(E2eAppIdText, ShortcutPathWithLatinCharacters) {
  const std::string path = "caf\xc3\xa9/\xc3\xa9t\xc3\xa9.lnk";
  WriteWorkFile(path, example_);
  EXPECT_TRUE(
      Produced(Get(path), "No AppUserModelID set for shortcut: caf\xe9/\xe9t\xe9.lnk\r\n", "", 0));
  EXPECT_TRUE(Produced(Set(path, kMyAppId),
                       "Successfully set AppUserModelID 'My.App.Id' for shortcut: "
                       "caf\xe9/\xe9t\xe9.lnk\r\n",
                       "", 0));
  EXPECT_TRUE(Produced(Get(path), "AppUserModelID: My.App.Id\r\n", "", 0));
}

// The path is cut on the console; the command still does its work, and the
// closing failure line still comes out.
TEST_F(E2eAppIdText, ShortcutPathAboveLatin1) {
  const std::string path = "App\xc4\x80.lnk";  // U+0100
  WriteWorkFile(path, example_);
  EXPECT_TRUE(Produced(Get(path), "No AppUserModelID set for shortcut: App", "", 0));
  EXPECT_TRUE(Produced(Set(path, kMyAppId),
                       "Successfully set AppUserModelID 'My.App.Id' for shortcut: App", "", 0));
  EXPECT_TRUE(Produced(Get(path), "AppUserModelID: My.App.Id\r\n", "", 0));
  EXPECT_TRUE(KeptPropertiesAndStored(example_, ReadFileBytes(WorkPath(path)), u"My.App.Id"));

  EXPECT_TRUE(Produced(Get("Missing\xc4\x80.lnk"), "",
                       "Failed to load shortcut file: MissingGetShortcutAppID failed.\r\n",
                       kGetAppIdFailedStatus));
  EXPECT_TRUE(Produced(Set("Missing\xc4\x80.lnk", kMyAppId), "",
                       "Failed to load shortcut file: MissingSetShortcutAppID failed.\r\n",
                       kSetAppIdFailedStatus));
}

// --- Values stored with other types ----------------------------------------------------

using E2eAppIdStoredType = AppIdTest;

TEST_F(E2eAppIdStoredType, NonStringTypeIsRefusedWithItsDecimalNumber) {
  const std::string sample = SampleBytes("sample3.lnk");
  const std::pair<std::uint16_t, std::string> values[] = {
      {VT_I4, TypedValue(VT_I4, LeU32(42))},
      {VT_UI4, TypedValue(VT_UI4, LeU32(7))},
      {VT_FILETIME, TypedValue(VT_FILETIME, LeU32(1) + LeU32(2))},
  };
  for (const auto& [type, value] : values) {
    SCOPED_TRACE(type);
    const std::string edited = WithAppIdValue(sample, value);
    WriteWorkFile("App.lnk", edited);
    EXPECT_TRUE(Produced(Get("App.lnk"), "",
                         "Unexpected property variant type: " + std::to_string(type) +
                             "\r\nGetShortcutAppID failed.\r\n",
                         kGetAppIdFailedStatus));
    EXPECT_EQ(ReadFileBytes(WorkPath("App.lnk")), edited);

    // s writes a string over it.
    const std::string saved = SetAndGet("App.lnk", u"My.App.Id");
    EXPECT_TRUE(ChangedOnlyInPropertyStore(edited, saved));
    EXPECT_TRUE(KeptPropertiesAndStored(edited, saved, u"My.App.Id"));
  }
}

TEST_F(E2eAppIdStoredType, BstrIsReadLikeAString) {
  WriteWorkFile("App.lnk",
                WithAppIdValue(SampleBytes("sample3.lnk"), StringValue(VT_BSTR, u"Bstr.App.Id")));
  EXPECT_TRUE(Produced(Get("App.lnk"), "AppUserModelID: Bstr.App.Id\r\n", "", 0));
}

// Both string types end at their first NUL, whatever their stored length.
TEST_F(E2eAppIdStoredType, StringsEndAtTheirFirstNul) {
  const std::u16string text(u"Head\0Tail", 9);
  for (const std::uint16_t type : {VT_BSTR, VT_LPWSTR}) {
    SCOPED_TRACE(type);
    WriteWorkFile("App.lnk", WithAppIdValue(SampleBytes("sample3.lnk"), StringValue(type, text)));
    EXPECT_TRUE(Produced(Get("App.lnk"), "AppUserModelID: Head\r\n", "", 0));
  }
}

// --- liblnk reads the saved files ------------------------------------------------------

std::optional<std::string> FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// lnkinfo's lines for the target path, arguments and working directory;
// nothing when it could not read the file.
std::optional<std::vector<std::string>> LnkinfoFields(const std::string& lnkinfo,
                                                      const std::string& file) {
  ProcessOptions options;
  options.mergeStderrIntoStdout = true;
  const ProcessResult result = RunProcess(lnkinfo, {file}, options);
  if (result.exitStatus != 0 || result.out.find("Unable to open") != std::string::npos) {
    return std::nullopt;
  }
  std::vector<std::string> fields;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    for (const char* field : {"\tLocal path", "\tCommand line arguments", "\tWorking directory"}) {
      if (line.rfind(field, 0) == 0) fields.push_back(line);
    }
  }
  return fields;
}

using E2eAppIdLnkinfo = AppIdTest;

TEST_F(E2eAppIdLnkinfo, SavedFilesReadAsTheOriginals) {
  const std::optional<std::string> lnkinfo = FindProgram("lnkinfo");
  if (!lnkinfo) GTEST_SKIP() << "lnkinfo (Debian package liblnk-utils) is not installed";
  std::size_t compared = 0;
  for (const std::string& name : SampleNames()) {
    SCOPED_TRACE(name);
    const auto before = LnkinfoFields(*lnkinfo, std::string(CORVANE_SAMPLES_DIR) + "/" + name);
    if (!before) continue;
    CopySample(name);
    ASSERT_TRUE(Produced(Set(name, kMyAppId), SetLine(u"My.App.Id", name), "", 0));
    const auto after = LnkinfoFields(*lnkinfo, WorkPath(name));
    ASSERT_TRUE(after) << "lnkinfo cannot read the saved file";
    EXPECT_EQ(*after, *before);
    ++compared;
  }
  EXPECT_GT(compared, 0u);
}

// --- Corrupt shortcuts ------------------------------------------------------------

using E2eAppIdCorrupt = AppIdTest;

// A file cut before its terminal block ends is refused by both commands and
// left as it was: cut in the header, and a byte before, at and after the
// start of each structure. (The link object is checked at every length in
// process.) Two samples of different shapes: one with LinkInfo, string data
// and a tracker block but no property store, one with a property store as
// its only block.
TEST_F(E2eAppIdCorrupt, TruncatedFilesAreRefusedAndLeftAlone) {
  for (const std::string name : {"microsoft_example.lnk", "sample5.lnk"}) {
    SCOPED_TRACE(name);
    const std::string bytes = SampleBytes(name);
    const auto layout = WalkLink(bytes);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->End(), bytes.size());
    std::set<std::size_t> lengths = {0, 0x14, kHeaderSize - 1, bytes.size() - 1};
    for (const std::size_t start : layout->starts) lengths.insert({start - 1, start, start + 1});
    for (const std::size_t length : lengths) {
      SCOPED_TRACE(length);
      const std::string cut = bytes.substr(0, length);
      WriteWorkFile("cut.lnk", cut);
      ASSERT_TRUE(GetFailed(Get("cut.lnk"), "cut.lnk", kFileCorrupt));
      ASSERT_TRUE(SetFailed(Set("cut.lnk", kMyAppId), "cut.lnk", kFileCorrupt));
      ASSERT_EQ(ReadFileBytes(WorkPath("cut.lnk")), cut);
    }
  }
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"cut.lnk"});
}

// Bytes after the terminal block are not part of the link: losing some of
// them changes nothing, losing part of the terminal block does.
TEST_F(E2eAppIdCorrupt, TruncatedTrailingDataStillLoads) {
  const std::string bytes = example_ + "trailing data";
  const auto layout = WalkLink(bytes);
  ASSERT_TRUE(layout);
  for (std::size_t length = layout->End() - 4; length < bytes.size(); ++length) {
    SCOPED_TRACE(length);
    WriteWorkFile("cut.lnk", bytes.substr(0, length));
    if (length < layout->End()) {
      EXPECT_TRUE(GetFailed(Get("cut.lnk"), "cut.lnk", kFileCorrupt));
    } else {
      EXPECT_TRUE(Produced(Get("cut.lnk"), NoAppIdLine("cut.lnk"), "", 0));
    }
  }
}

// Flipped bytes, half of them in the extra data: each command either works
// or fails with its own exit status, a failed s leaves the file alone, and a
// good s changes only the property store and is read back by g. A few cases
// a sample: the fuzzers flip bytes far more closely.
TEST_F(E2eAppIdCorrupt, FlippedBytesNeverCrashAndFailedSetsChangeNothing) {
  constexpr int kCasesPerSample = 16;
  std::size_t loaded = 0, refused = 0;
  for (const std::string name :
       {"sample3.lnk", "console_properties_block.lnk", "microsoft_example.lnk"}) {
    const std::string original = SampleBytes(name);
    const auto layout = WalkLink(original);
    ASSERT_TRUE(layout);
    std::mt19937 random(static_cast<std::uint32_t>(original.size()));
    std::uniform_int_distribution<std::size_t> anywhere(0, original.size() - 1);
    std::uniform_int_distribution<std::size_t> inExtraData(layout->extraData, original.size() - 1);
    std::uniform_int_distribution<int> flips(1, 3), mask(1, 255);
    for (int i = 0; i < kCasesPerSample; ++i) {
      std::string bytes = original;
      std::string where;
      for (int n = flips(random); n > 0; --n) {
        const std::size_t at = i % 2 == 0 ? anywhere(random) : inExtraData(random);
        bytes[at] = static_cast<char>(bytes[at] ^ mask(random));
        where += " " + std::to_string(at);
      }
      SCOPED_TRACE(name + " flipped at" + where);
      WriteWorkFile("App.lnk", bytes);

      const ProcessResult get = Get("App.lnk");
      ASSERT_TRUE(get.exitStatus == 0 || get.exitStatus == kGetAppIdFailedStatus)
          << "exit status " << get.exitStatus << ", stderr " << Visible(get.err);
      if (get.exitStatus != 0) {
        EXPECT_TRUE(get.out.empty());
        EXPECT_TRUE(get.err.size() >= kGetAppIdFailed.size() &&
                    get.err.substr(get.err.size() - kGetAppIdFailed.size()) == kGetAppIdFailed)
            << Visible(get.err);
      }

      const ProcessResult set = Set("App.lnk", kMyAppId);
      ASSERT_TRUE(set.exitStatus == 0 || set.exitStatus == kSetAppIdFailedStatus)
          << "exit status " << set.exitStatus << ", stderr " << Visible(set.err);
      if (set.exitStatus != 0) {
        ++refused;
        EXPECT_TRUE(set.out.empty());
        EXPECT_TRUE(set.err.size() >= kSetAppIdFailed.size() &&
                    set.err.substr(set.err.size() - kSetAppIdFailed.size()) == kSetAppIdFailed)
            << Visible(set.err);
        EXPECT_EQ(ReadFileBytes(WorkPath("App.lnk")), bytes);
      } else {
        ++loaded;
        EXPECT_TRUE(Produced(set, SetLine(u"My.App.Id", "App.lnk"), "", 0));
        EXPECT_TRUE(Produced(Get("App.lnk"), "AppUserModelID: My.App.Id\r\n", "", 0));
        EXPECT_TRUE(ChangedOnlyInPropertyStore(bytes, ReadFileBytes(WorkPath("App.lnk"))));
      }
    }
  }
  // Both ways were taken.
  EXPECT_GT(loaded, 0u);
  EXPECT_GT(refused, 0u);
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"App.lnk"});
}

// --- Files that cannot be loaded or saved -------------------------------------------

using E2eAppIdFileErrors = AppIdTest;

TEST_F(E2eAppIdFileErrors, MissingShortcut) {
  EXPECT_TRUE(GetFailed(Get("missing.lnk"), "missing.lnk", kFileNotFound));
  EXPECT_TRUE(SetFailed(Set("missing.lnk", kMyAppId), "missing.lnk", kFileNotFound));
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(E2eAppIdFileErrors, MissingFolderOnTheWay) {
  const std::string path = "no/such/App.lnk";
  EXPECT_TRUE(GetFailed(Get(path), path, kPathNotFound));
  EXPECT_TRUE(SetFailed(Set(path, kMyAppId), path, kPathNotFound));
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(E2eAppIdFileErrors, FileInThePlaceOfAFolderOnTheWay) {
  WriteWorkFile("App.lnk", example_);
  EXPECT_TRUE(GetFailed(Get("App.lnk/x.lnk"), "App.lnk/x.lnk", kPathNotFound));
  EXPECT_TRUE(SetFailed(Set("App.lnk/x.lnk", kMyAppId), "App.lnk/x.lnk", kPathNotFound));
  EXPECT_EQ(ReadFileBytes(WorkPath("App.lnk")), example_);
}

TEST_F(E2eAppIdFileErrors, FolderNamedLikeAShortcutIsAccessDenied) {
  std::filesystem::create_directories(WorkPath("x.lnk"));
  EXPECT_TRUE(GetFailed(Get("x.lnk"), "x.lnk", kAccessDenied));
  EXPECT_TRUE(SetFailed(Set("x.lnk", kMyAppId), "x.lnk", kAccessDenied));
  EXPECT_TRUE(std::filesystem::is_directory(WorkPath("x.lnk")));
  EXPECT_TRUE(ListFolder(WorkPath("x.lnk")).empty());
}

TEST_F(E2eAppIdFileErrors, ReadOnlyShortcutIsReadButNotWritten) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  ASSERT_EQ(chmod(shortcut.c_str(), 0444), 0);
  EXPECT_TRUE(Produced(Get("App.lnk"), NoAppIdLine("App.lnk"), "", 0));
  EXPECT_TRUE(
      Produced(Set("App.lnk", kMyAppId), "", SaveFailedErr("80070005"), kSetAppIdFailedStatus));
  EXPECT_EQ(ReadFileBytes(shortcut), example_);
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"App.lnk"});
}

// The file is replaced, not rewritten: where the folder takes no new file,
// s fails with the save line, and the folder holds only the shortcut, as it
// was.
TEST_F(E2eAppIdFileErrors, ReadOnlyFolderGainsNoFile) {
  const std::string shortcut = CopyExample("Example.lnk", "ro/App.lnk");
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  ASSERT_EQ(chmod(WorkPath("ro").c_str(), 0555), 0);
  EXPECT_TRUE(
      Produced(Set("ro/App.lnk", kMyAppId), "", SaveFailedErr("80070005"), kSetAppIdFailedStatus));
  EXPECT_EQ(ReadFileBytes(shortcut), example_);
  EXPECT_EQ(ListFolder(WorkPath("ro")), std::vector<std::string>{"App.lnk"});
}

TEST_F(E2eAppIdFileErrors, SaveKeepsThePermissionBits) {
  // Group write alone (060) is not read-only: someone may write the file.
  for (const mode_t mode : {0640, 0600, 0755, 0604, 060}) {
    SCOPED_TRACE(mode);
    const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
    ASSERT_EQ(chmod(shortcut.c_str(), mode), 0);
    ASSERT_TRUE(Produced(Set("App.lnk", kMyAppId), SetLine(u"My.App.Id", "App.lnk"), "", 0));
    struct stat status {};
    ASSERT_EQ(stat(shortcut.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode);
  }
}

// The file is replaced in one step: no temporary file is left beside it,
// whether s succeeded or failed.
TEST_F(E2eAppIdFileErrors, NoTemporaryFileIsLeftBehind) {
  CopyExample("Example.lnk", "App.lnk");
  WriteWorkFile("Bad.lnk", example_.substr(0, 100));
  ASSERT_TRUE(Produced(Set("App.lnk", kMyAppId), SetLine(u"My.App.Id", "App.lnk"), "", 0));
  ASSERT_TRUE(SetFailed(Set("Bad.lnk", kMyAppId), "Bad.lnk", kFileCorrupt));
  ASSERT_TRUE(SetFailed(Set("Missing.lnk", kMyAppId), "Missing.lnk", kFileNotFound));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"App.lnk", "Bad.lnk"}));
}

// What a file is besides its bytes: owner, group, permission bits and its
// extended attributes (an ACL is one), read here without corv's help.
std::string IdentityOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  std::ostringstream identity;
  identity << status.st_uid << ':' << status.st_gid << ' ' << std::oct << (status.st_mode & 07777);
  std::string names(4096, '\0'), value(4096, '\0');
  names.resize(std::max<ssize_t>(listxattr(path.c_str(), names.data(), names.size()), 0));
  for (const char* name = names.data(); name < names.data() + names.size();
       name += std::strlen(name) + 1) {
    const ssize_t length = getxattr(path.c_str(), name, value.data(), value.size());
    identity << ' ' << name << '=' << value.substr(0, std::max<ssize_t>(length, 0));
  }
  return identity.str();
}

using E2eAppIdSaveKeepsTheFile = AppIdTest;

// Run by root on another user's set-user-ID shortcut with an attribute and
// an ACL: the new bytes come with everything else the file was.
TEST_F(E2eAppIdSaveKeepsTheFile, OwnerBitsAttributesAndAclSurviveASaveByRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a shortcut to another user";
  // Only the group differs from that of a new file of root's.
  const std::string groupOnly = CopyExample("Example.lnk", "Group.lnk");
  ASSERT_EQ(chown(groupOnly.c_str(), 0, 65534), 0);
  ASSERT_EQ(chmod(groupOnly.c_str(), 0640), 0);
  ASSERT_EQ(Set("Group.lnk", kMyAppId).exitStatus, 0);
  EXPECT_TRUE(IdentityOf(groupOnly).starts_with("0:65534 640")) << IdentityOf(groupOnly);

  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ASSERT_EQ(chown(shortcut.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(shortcut.c_str(), 04755), 0);
  // Version 2; the owner rwx, user 4242 r-x, the group r--, mask r-x, others
  // r--: with the set-user-ID bit, mode 4754.
  const std::string acl(
      "\2\0\0\0"
      "\1\0\7\0\xff\xff\xff\xff"
      "\2\0\5\0\x92\x10\0\0"
      "\4\0\4\0\xff\xff\xff\xff"
      "\x10\0\5\0\xff\xff\xff\xff"
      "\x20\0\4\0\xff\xff\xff\xff",
      44);
  if (setxattr(shortcut.c_str(), "user.corvane.origin", "kept", 4, 0) != 0 ||
      setxattr(shortcut.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "the file system here keeps no extended attributes or ACLs";
  }
  const std::string before = IdentityOf(shortcut);
  ASSERT_TRUE(before.starts_with("65534:65534 4754 ")) << ::testing::PrintToString(before);

  ASSERT_TRUE(Produced(Set("App.lnk", kMyAppId), SetLine(u"My.App.Id", "App.lnk"), "", 0));
  EXPECT_EQ(IdentityOf(shortcut), before);
  EXPECT_TRUE(Produced(Get("App.lnk"), "AppUserModelID: My.App.Id\r\n", "", 0));

  // A folder's default ACL, which a new file takes, does not come with a
  // save: a shortcut without an ACL has none after it.
  const std::string plain = CopyExample("Example.lnk", "acl/Plain.lnk");
  const std::string plainBefore = IdentityOf(plain);
  ASSERT_EQ(
      setxattr(WorkPath("acl").c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0), 0);
  ASSERT_EQ(Set("acl/Plain.lnk", kMyAppId).exitStatus, 0);
  EXPECT_EQ(IdentityOf(plain), plainBefore);
}

// The inode flags of a file (the file system's own flags, set here without
// corv's help), or 0 where there are none.
int FlagsOf(const std::string& path) {
  int flags = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) flags = 0;
  if (fd >= 0) close(fd);
  return flags;
}

// Sets and clears inode flags of a file or folder: false where that fails.
bool ChangeFlags(const std::string& path, int added, int removed) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  const bool changed =
      fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags = (flags | added) & ~removed, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (fd >= 0) close(fd);
  return changed;
}

// The flags that stand for Windows' file attributes (no-dump, no-atime,
// synchronous) survive a save. A folder that refuses removals
// (append-only) would keep the save's hidden file for good: the save is
// refused before anything is written.
TEST_F(E2eAppIdSaveKeepsTheFile, InodeFlagsSurviveAndAnAppendOnlyFolderRefusesTheSave) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can make a folder append-only";
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  const std::string locked = CopyExample("Example.lnk", "locked/App.lnk");
  constexpr int kAttributes = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL;
  if (!ChangeFlags(shortcut, kAttributes, 0) || !ChangeFlags(WorkPath("locked"), FS_APPEND_FL, 0)) {
    GTEST_SKIP() << "the file system here keeps no inode flags";
  }
  struct Unlock {
    std::string folder;
    ~Unlock() { ChangeFlags(folder, 0, FS_APPEND_FL); }
  } unlock{WorkPath("locked")};

  ASSERT_EQ(Set("App.lnk", kMyAppId).exitStatus, 0);
  EXPECT_EQ(FlagsOf(shortcut) & kAttributes, kAttributes);
  EXPECT_TRUE(Produced(Set("locked/App.lnk", kMyAppId), "", SaveFailedErr("80070005"),
                       kSetAppIdFailedStatus));
  // So too for a user who may write the folder but not read it.
  ASSERT_TRUE(ChangeFlags(WorkPath("locked"), 0, FS_APPEND_FL));
  ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
  ASSERT_EQ(chmod(WorkPath("locked").c_str(), 0300), 0);
  ASSERT_TRUE(ChangeFlags(WorkPath("locked"), FS_APPEND_FL, 0));
  EXPECT_TRUE(Produced(Set("locked/App.lnk", kMyAppId), "", SaveFailedErr("80070005"),
                       kSetAppIdFailedStatus));
  EXPECT_EQ(ReadFileBytes(locked), example_);
  EXPECT_EQ(ListFolder(WorkPath("locked")), std::vector<std::string>{"App.lnk"});
}

// A save that would not leave the file what it was is refused, and the
// file stays as it was: one with no write bit for anyone (Windows'
// read-only attribute) even for root, and, for an ordinary user, root's
// shortcut that the user may write but could not keep root's.
TEST_F(E2eAppIdSaveKeepsTheFile, SaveThatCannotKeepTheFileIsRefused) {
  const std::string readOnly = CopyExample("Example.lnk", "ReadOnly.lnk");
  const std::string rootOwned = CopyExample("Example.lnk", "Root.lnk");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  EXPECT_TRUE(Produced(Set("ReadOnly.lnk", kMyAppId), "", SaveFailedErr("80070005"),
                       kSetAppIdFailedStatus));
  if (geteuid() == 0) {
    ASSERT_NO_FATAL_FAILURE(RunAsOrdinaryUser());
    ASSERT_EQ(chown(rootOwned.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(rootOwned.c_str(), 0666), 0);
    const std::string before = IdentityOf(rootOwned);
    EXPECT_TRUE(
        Produced(Set("Root.lnk", kMyAppId), "", SaveFailedErr("80070005"), kSetAppIdFailedStatus));
    EXPECT_EQ(IdentityOf(rootOwned), before);
  }
  EXPECT_EQ(ReadFileBytes(readOnly), example_);
  EXPECT_EQ(ReadFileBytes(rootOwned), example_);
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"ReadOnly.lnk", "Root.lnk"}));
}

// The file is replaced, not rewritten: another hard link to it keeps the
// old bytes.
TEST_F(E2eAppIdSaveKeepsTheFile, AnotherHardLinkKeepsTheOldBytes) {
  const std::string shortcut = CopyExample("Example.lnk", "App.lnk");
  ASSERT_EQ(link(shortcut.c_str(), WorkPath("Other.lnk").c_str()), 0);
  ASSERT_TRUE(Produced(Set("App.lnk", kMyAppId), SetLine(u"My.App.Id", "App.lnk"), "", 0));
  EXPECT_TRUE(Produced(Get("App.lnk"), "AppUserModelID: My.App.Id\r\n", "", 0));
  EXPECT_EQ(ReadFileBytes(WorkPath("Other.lnk")), example_);
}

// A shortcut right at the largest size a load takes: s would write it past
// that size, where no later command could read it, so it refuses. A byte
// more, and the file is too large to load at all.
TEST_F(E2eAppIdSaveKeepsTheFile, NothingPastTheLargestSizeIsSavedOrLoaded) {
  constexpr std::uint32_t kLargest = 64u << 20;
  const std::string shortcut = WriteLargeShortcut("Full.lnk", kLargest);
  ASSERT_TRUE(Produced(Get("Full.lnk"), NoAppIdLine("Full.lnk"), "", 0));

  EXPECT_TRUE(
      Produced(Set("Full.lnk", kMyAppId), "", SaveFailedErr("800700df"), kSetAppIdFailedStatus));
  EXPECT_EQ(std::filesystem::file_size(shortcut), kLargest);
  EXPECT_TRUE(Produced(Get("Full.lnk"), NoAppIdLine("Full.lnk"), "", 0));
  EXPECT_EQ(WorkFiles(), std::vector<std::string>{"Full.lnk"});

  std::filesystem::resize_file(shortcut, kLargest + 1);
  EXPECT_TRUE(GetFailed(Get("Full.lnk"), "Full.lnk", "800700df"));
  EXPECT_TRUE(SetFailed(Set("Full.lnk", kMyAppId), "Full.lnk", "800700df"));
}

}  // namespace
