// A link's target read from its bytes: the item-ID list when it names a path
// by drive, the LinkInfo structure otherwise. Checked against real shortcut
// files cut short (the paths they give whole are checked through the link
// object, against a third-party reading) and against hand-made structures,
// malformed ones included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shell/posix/lnk/bytes.h"
#include "shell/posix/lnk/link_target.h"
#include "support/process.h"
#include "support/samples.h"

namespace {

using corvane::posix::AppendGuid;
using corvane::posix::AppendU16;
using corvane::posix::AppendU32;
using corvane::posix::AppendUtf16;
using corvane::posix::Bytes;
using corvane::posix::TargetFromIdList;
using corvane::posix::TargetFromLinkInfo;
using corvane::posix::WriteU32;
using corvane::testing::SampleBytes;
using corvane::testing::SampleNames;
using Buffer = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Real shortcut files.

// The two structures of a shortcut file, found the simple way: after the
// 0x4C-byte header come the LinkTargetIDList (IDListSize, then the IDList)
// and the LinkInfo, each present when its LinkFlags bit is set.
struct SampleParts {
  std::optional<Buffer> idList;
  std::optional<Buffer> linkInfo;
};

SampleParts ReadSample(const std::string& name) {
  const std::string text = SampleBytes(name);
  const Buffer file(text.begin(), text.end());
  SampleParts parts;
  std::uint32_t flags = 0;
  EXPECT_TRUE(corvane::posix::ReadU32(file, 0x14, flags)) << name;
  std::size_t offset = 0x4C;
  if (flags & 0x1) {
    std::uint16_t size = 0;
    EXPECT_TRUE(corvane::posix::ReadU16(file, offset, size)) << name;
    EXPECT_LE(offset + 2 + size, file.size()) << name;
    parts.idList = Buffer(file.begin() + offset + 2, file.begin() + offset + 2 + size);
    offset += 2 + size;
  }
  if (flags & 0x2) {
    std::uint32_t size = 0;
    EXPECT_TRUE(corvane::posix::ReadU32(file, offset, size)) << name;
    EXPECT_LE(offset + size, file.size()) << name;
    parts.linkInfo = Buffer(file.begin() + offset, file.begin() + offset + size);
  }
  return parts;
}

// Both samples hold a local path and a network share for the same place;
// without the local path the share gives the path.
TEST(PosixLinkTargetSamples, NetworkShareGivesThePathWithoutALocalOne) {
  struct {
    const char* file;
    std::wstring expected;
  } const cases[] = {
      {"sample17.lnk", L"\\\\ASUS\\Users\\Asus-PC\\Downloads"},
      {"decoding_error3.lnk",
       L"\\\\DESKTOP-9AI08QD\\Users\\\u00C4\u00E8\u00EC\u00E0\\Desktop"
       L"\\PixelMod\\Mod for Pixelmon\\Error Fix.bat"},
  };
  for (const auto& c : cases) {
    Buffer info = *ReadSample(c.file).linkInfo;
    info[8] &= ~0x1;  // LinkInfoFlags: no VolumeIDAndLocalBasePath
    EXPECT_EQ(TargetFromLinkInfo(info), c.expected) << c.file;
  }
}

// Every prefix of a real structure, in a buffer of exactly that size (so a
// read past the end is a fault the sanitizers and valgrind see), gives no
// path: the item list lacks its terminator, the LinkInfo its declared size.
TEST(PosixLinkTargetSamples, TruncatedStructuresGiveNothing) {
  for (const std::string& sample : SampleNames()) {
    const SampleParts parts = ReadSample(sample);
    if (parts.idList) {
      for (std::size_t length = 0; length + 1 < parts.idList->size(); ++length) {
        const Buffer prefix(parts.idList->begin(), parts.idList->begin() + length);
        EXPECT_EQ(TargetFromIdList(prefix), L"") << sample << " cut at " << length;
      }
    }
    if (parts.linkInfo) {
      for (std::size_t length = 0; length < parts.linkInfo->size(); ++length) {
        const Buffer prefix(parts.linkInfo->begin(), parts.linkInfo->begin() + length);
        EXPECT_EQ(TargetFromLinkInfo(prefix), L"") << sample << " cut at " << length;
      }
    }
  }
}

// A LinkInfo cut short but declaring its new size: its offsets now point
// outside it, or its strings run to its end unterminated.
TEST(PosixLinkTargetSamples, ShrunkLinkInfoNeverReadsOutsideItself) {
  for (const std::string& sample : SampleNames()) {
    const SampleParts parts = ReadSample(sample);
    if (!parts.linkInfo) continue;
    for (std::size_t length = 4; length < parts.linkInfo->size(); ++length) {
      Buffer shrunk(parts.linkInfo->begin(), parts.linkInfo->begin() + length);
      WriteU32(shrunk, 0, static_cast<std::uint32_t>(length));
      // Every string ends with the structure, so a shorter one holds none whole.
      EXPECT_EQ(TargetFromLinkInfo(shrunk), L"") << sample << " shrunk to " << length;
    }
  }
}

// ---------------------------------------------------------------------------
// Hand-made item lists.

constexpr GUID kMyComputer = {
    0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};
constexpr GUID kUsersFolder = {
    0x59031A47, 0x3F72, 0x44A7, {0x89, 0xC5, 0x55, 0x95, 0xFE, 0x6B, 0x30, 0xEE}};
constexpr GUID kDesktop = {
    0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};

void SetSize(Buffer& item) {
  item[0] = static_cast<std::uint8_t>(item.size());
  item[1] = static_cast<std::uint8_t>(item.size() >> 8);
}

Buffer RootItem(const GUID& folder) {
  Buffer item{0, 0, 0x1F, 0x50};
  AppendGuid(item, folder);
  SetSize(item);
  return item;
}

Buffer VolumeItem(const std::string& name) {
  Buffer item{0, 0, 0x2F};
  Buffer field(20, 0);
  std::copy(name.begin(), name.end(), field.begin());
  item.insert(item.end(), field.begin(), field.end());
  AppendU16(item, 0);
  SetSize(item);
  return item;
}

// A volume item that names its volume by GUID instead of a drive letter.
Buffer VolumeGuidItem(const GUID& volume) {
  Buffer item{0, 0, 0x2E, 0x80};
  AppendGuid(item, volume);
  SetSize(item);
  return item;
}

struct FileEntry {
  std::uint8_t type = 0x32;
  Buffer primary;                        // the primary name's bytes, terminator excluded
  std::optional<std::wstring> longName;  // the extension block's; none: no block
  std::uint16_t version = 9;
};

Buffer Ansi(const std::string& text) { return Buffer(text.begin(), text.end()); }

Buffer FileEntryItem(const FileEntry& entry) {
  Buffer item{0, 0, entry.type, 0};
  AppendU32(item, 1234);        // file size
  AppendU32(item, 0x5A5A5A5A);  // modification time
  AppendU16(item, 0x20);        // attributes
  item.insert(item.end(), entry.primary.begin(), entry.primary.end());
  item.push_back(0);
  if (entry.type & 0x04) item.push_back(0);
  if (item.size() % 2) item.push_back(0);
  const auto extension = static_cast<std::uint16_t>(item.size());
  if (entry.longName) {
    Buffer block{0, 0};
    AppendU16(block, entry.version);
    AppendU32(block, 0xBEEF0004);
    AppendU32(block, 0);  // created
    AppendU32(block, 0);  // accessed
    AppendU16(block, 0x2E);
    if (entry.version >= 7) block.insert(block.end(), 18, 0);
    AppendU16(block, 0);  // long string size
    if (entry.version >= 9) AppendU32(block, 0);
    if (entry.version >= 8) AppendU32(block, 0);
    AppendUtf16(block, *entry.longName);
    AppendU16(block, 0);
    AppendU16(block, extension);  // the first extension block's offset
    SetSize(block);
    item.insert(item.end(), block.begin(), block.end());
  } else {
    AppendU16(item, 0);
  }
  SetSize(item);
  return item;
}

Buffer List(const std::vector<Buffer>& items) {
  Buffer list;
  for (const Buffer& item : items) list.insert(list.end(), item.begin(), item.end());
  AppendU16(list, 0);
  return list;
}

TEST(PosixLinkTargetIdList, DriveAndFileEntriesJoinWithBackslashes) {
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("D:\\"),
                                   FileEntryItem({0x31, Ansi("TOOLS"), L"Tools"}),
                                   FileEntryItem({0x32, Ansi("RUN.EXE"), L"Run.exe"})})),
            L"D:\\Tools\\Run.exe");
  // The drive alone is its root folder.
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\")})), L"C:\\");
}

TEST(PosixLinkTargetIdList, LongNamesComeFromTheExtensionBlockInEveryVersion) {
  for (std::uint16_t version : {3, 7, 8, 9}) {
    const Buffer list =
        List({RootItem(kMyComputer), VolumeItem("C:\\"),
              FileEntryItem({0x31, Ansi("PROGRA~1"), L"Program Files", version}),
              FileEntryItem({0x32, Ansi("LONGNA~1.EXE"), L"Long name.exe", version})});
    EXPECT_EQ(TargetFromIdList(list), L"C:\\Program Files\\Long name.exe") << "version " << version;
  }
}

TEST(PosixLinkTargetIdList, NonAsciiLongNamesComeOutWhole) {
  const std::wstring folder = L"\u0414\u0438\u043C\u0430";             // Cyrillic
  const std::wstring file = L"caf\u00E9 \u65E5\u672C \U0001F600.txt";  // beyond the BMP too
  const Buffer list = List({RootItem(kMyComputer), VolumeItem("C:\\"),
                            FileEntryItem({0x31, Ansi("4436~1"), folder}),
                            FileEntryItem({0x32, Ansi("CAF~1.TXT"), file})});
  EXPECT_EQ(TargetFromIdList(list), L"C:\\" + folder + L"\\" + file);
}

TEST(PosixLinkTargetIdList, PrimaryNameServesWithoutALongName) {
  // ANSI in Windows-1252 (0xE9 is e-acute, 0x80 the euro sign).
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\"),
                                   FileEntryItem({0x31, Ansi("Caf\xE9"), std::nullopt}),
                                   FileEntryItem({0x32, Ansi("\x80.txt"), std::nullopt})})),
            L"C:\\Caf\u00E9\\\u20AC.txt");
  // Unicode primary names (the item's type has 0x04).
  Buffer unicodeName;
  AppendUtf16(unicodeName, L"\u0416\u0443\u043A");
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\"),
                                   FileEntryItem({0x36, unicodeName, std::nullopt})})),
            L"C:\\\u0416\u0443\u043A");
  // An extension block without a long name (before version 3), or an empty one.
  EXPECT_EQ(TargetFromIdList(List({
                RootItem(kMyComputer),
                VolumeItem("C:\\"),
                FileEntryItem({0x32, Ansi("OLD.TXT"), L"ignored", 2}),
            })),
            L"C:\\OLD.TXT");
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\"),
                                   FileEntryItem({0x32, Ansi("EMPTY.TXT"), L""})})),
            L"C:\\EMPTY.TXT");
}

TEST(PosixLinkTargetIdList, ListsNotStartingAtADriveNameNoPath) {
  const Buffer file = FileEntryItem({0x32, Ansi("A.TXT"), L"a.txt"});
  // The empty list is the desktop.
  EXPECT_EQ(TargetFromIdList(List({})), L"");
  // My Computer itself.
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer)})), L"");
  // A known folder by GUID at the root, or below My Computer.
  EXPECT_EQ(TargetFromIdList(List({RootItem(kUsersFolder), file})), L"");
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeGuidItem(kDesktop), file})), L"");
  // A file entry straight at the root, or a drive without My Computer.
  EXPECT_EQ(TargetFromIdList(List({file})), L"");
  EXPECT_EQ(TargetFromIdList(List({VolumeItem("C:\\"), file})), L"");
  // A volume item whose name is no drive.
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("Backup"), file})), L"");
  // Something other than a file entry below the drive (a network place here).
  Buffer network{0, 0, 0x41, 0, 'x', 0};
  SetSize(network);
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\"), network})), L"");
}

TEST(PosixLinkTargetIdList, MalformedItemsNameNoPath) {
  const Buffer root = RootItem(kMyComputer);
  const Buffer volume = VolumeItem("C:\\");
  const Buffer good = FileEntryItem({0x32, Ansi("A.TXT"), L"a.txt"});
  ASSERT_EQ(TargetFromIdList(List({root, volume, good})), L"C:\\a.txt");

  // An item whose size runs past the list.
  Buffer overlong = List({root, volume, good});
  overlong[root.size() + volume.size()] += 4;
  EXPECT_EQ(TargetFromIdList(overlong), L"");
  // Items too small to hold their class byte.
  for (std::uint8_t size : {1, 2}) {
    Buffer tiny = List({root, volume});
    tiny.insert(tiny.end() - 2, {size, 0});
    tiny.resize(tiny.size() + size);  // room for whatever follows
    EXPECT_EQ(TargetFromIdList(tiny), L"") << "size " << int(size);
  }
  // No terminator.
  Buffer unterminated = List({root, volume, good});
  unterminated.resize(unterminated.size() - 2);
  EXPECT_EQ(TargetFromIdList(unterminated), L"");
  // A root item too short for its GUID.
  Buffer shortRoot(root.begin(), root.begin() + 12);
  SetSize(shortRoot);
  EXPECT_EQ(TargetFromIdList(List({shortRoot, volume, good})), L"");

  // A primary name without its terminator.
  Buffer noTerminator{0, 0, 0x32, 0};
  noTerminator.insert(noTerminator.end(), 10, 0x11);
  noTerminator.insert(noTerminator.end(), {'A', 'B', 'C'});
  SetSize(noTerminator);
  EXPECT_EQ(TargetFromIdList(List({root, volume, noTerminator})), L"");
  // An item that ends before its primary name.
  Buffer headerOnly{0, 0, 0x32, 0, 1, 2, 3, 4};
  SetSize(headerOnly);
  EXPECT_EQ(TargetFromIdList(List({root, volume, headerOnly})), L"");

  // An extension block that claims more than the item holds.
  Buffer bigBlock = good;
  const std::uint16_t blockAt = bigBlock[bigBlock.size() - 2] | bigBlock[bigBlock.size() - 1] << 8;
  bigBlock[blockAt] += 2;
  EXPECT_EQ(TargetFromIdList(List({root, volume, bigBlock})), L"");
  // A long name that runs to the end of its block unterminated.
  Buffer openName = FileEntryItem({0x32, Ansi("A.TXT"), L"a.txt"});
  for (std::size_t i = blockAt + 46; i + 2 < openName.size(); ++i) openName[i] = 'x';
  EXPECT_EQ(TargetFromIdList(List({root, volume, openName})), L"");
}

TEST(PosixLinkTargetIdList, NamesThatCannotBePathComponentsNameNoPath) {
  for (const std::wstring& name :
       {std::wstring(L"a\\b"), std::wstring(L"a/b"), std::wstring(L".."), std::wstring(L".")}) {
    const Buffer list =
        List({RootItem(kMyComputer), VolumeItem("C:\\"), FileEntryItem({0x32, Ansi("X"), name})});
    EXPECT_EQ(TargetFromIdList(list), L"");
  }
  EXPECT_EQ(TargetFromIdList(List({RootItem(kMyComputer), VolumeItem("C:\\"),
                                   FileEntryItem({0x32, Ansi(""), std::nullopt})})),
            L"");
}

// ---------------------------------------------------------------------------
// Hand-made LinkInfo structures.

struct LinkInfoParts {
  std::optional<std::string> localBasePath;
  std::optional<std::wstring> localBasePathUnicode;
  std::string suffix;
  std::optional<std::wstring> suffixUnicode;
  bool unicodeHeader = false;
  // Network link: share and device, ANSI or Unicode.
  std::optional<std::string> netName;
  std::optional<std::string> deviceName;
  std::optional<std::wstring> netNameUnicode;
  std::optional<std::wstring> deviceNameUnicode;
};

LinkInfoParts Local(const std::string& base, const std::string& suffix) {
  LinkInfoParts parts;
  parts.localBasePath = base;
  parts.suffix = suffix;
  return parts;
}

Buffer NetworkLink(const LinkInfoParts& parts) {
  const bool unicode = parts.netNameUnicode.has_value();
  Buffer link(unicode ? 0x1C : 0x14, 0);
  std::uint32_t flags = parts.deviceName ? 1 : 0;
  WriteU32(link, 4, flags);
  auto place = [&](std::size_t field, const Buffer& text) {
    WriteU32(link, field, static_cast<std::uint32_t>(link.size()));
    link.insert(link.end(), text.begin(), text.end());
  };
  place(8, Ansi(parts.netName.value_or("") + '\0'));
  if (parts.deviceName) place(12, Ansi(*parts.deviceName + '\0'));
  if (unicode) {
    Buffer text;
    AppendUtf16(text, *parts.netNameUnicode + L'\0');
    place(0x14, text);
    if (parts.deviceNameUnicode) {
      text.clear();
      AppendUtf16(text, *parts.deviceNameUnicode + L'\0');
      place(0x18, text);
    }
  }
  WriteU32(link, 0, static_cast<std::uint32_t>(link.size()));
  return link;
}

Buffer LinkInfo(const LinkInfoParts& parts) {
  Buffer info(parts.unicodeHeader ? 0x24 : 0x1C, 0);
  WriteU32(info, 4, static_cast<std::uint32_t>(info.size()));
  const bool network = parts.netName || parts.netNameUnicode;
  WriteU32(info, 8, (parts.localBasePath ? 1u : 0u) | (network ? 2u : 0u));
  auto place = [&](std::size_t field, const Buffer& bytes) {
    WriteU32(info, field, static_cast<std::uint32_t>(info.size()));
    info.insert(info.end(), bytes.begin(), bytes.end());
  };
  if (parts.localBasePath) {
    Buffer volume;
    AppendU32(volume, 17);
    AppendU32(volume, 3);
    AppendU32(volume, 0x12345678);
    AppendU32(volume, 16);
    volume.push_back(0);
    place(12, volume);
    place(16, Ansi(*parts.localBasePath + '\0'));
  }
  if (network) place(20, NetworkLink(parts));
  place(24, Ansi(parts.suffix + '\0'));
  if (parts.unicodeHeader) {
    Buffer text;
    if (parts.localBasePathUnicode) {
      AppendUtf16(text, *parts.localBasePathUnicode + L'\0');
      place(28, text);
    }
    if (parts.suffixUnicode) {
      text.clear();
      AppendUtf16(text, *parts.suffixUnicode + L'\0');
      place(32, text);
    }
  }
  WriteU32(info, 0, static_cast<std::uint32_t>(info.size()));
  return info;
}

TEST(PosixLinkTargetLinkInfo, LocalBasePathThenSuffix) {
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(Local("C:\\Users\\", "Ann\\x.txt"))),
            L"C:\\Users\\Ann\\x.txt");
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(Local("C:\\x.txt", ""))), L"C:\\x.txt");
}

TEST(PosixLinkTargetLinkInfo, UnicodePathsWinOverTheirAnsiForms) {
  LinkInfoParts parts;
  parts.localBasePath = "C:\\Users\\????";
  parts.localBasePathUnicode = L"C:\\Users\\\u0414\u0438\u043C\u0430";
  parts.suffix = "?.txt";
  parts.suffixUnicode = L"\\\u65E5\u672C \U0001F600.txt";
  parts.unicodeHeader = true;
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)),
            L"C:\\Users\\\u0414\u0438\u043C\u0430\\\u65E5\u672C \U0001F600.txt");
  // A Unicode header without Unicode strings: the ANSI ones serve.
  parts.localBasePathUnicode.reset();
  parts.suffixUnicode.reset();
  parts.localBasePath = "C:\\Caf\xE9\\";
  parts.suffix = "\x80.txt";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"C:\\Caf\u00E9\\\u20AC.txt");
}

TEST(PosixLinkTargetLinkInfo, NetworkLinkGivesShareBackslashSuffix) {
  LinkInfoParts parts;
  parts.netName = "\\\\server\\share";
  parts.suffix = "dir\\file.txt";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"\\\\server\\share\\dir\\file.txt");
  // A share that ends in a backslash gets no second one; no suffix, no separator.
  parts.netName = "\\\\server\\share\\";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"\\\\server\\share\\dir\\file.txt");
  parts.netName = "\\\\server\\share";
  parts.suffix = "";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"\\\\server\\share");
  // The Unicode share name.
  parts.netNameUnicode = L"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\\share";
  parts.suffix = "a.txt";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)),
            L"\\\\\u0441\u0435\u0440\u0432\u0435\u0440\\share\\a.txt");
}

TEST(PosixLinkTargetLinkInfo, DeviceNameServesOnlyWithoutAShareName) {
  LinkInfoParts parts;
  parts.netName = "";
  parts.deviceName = "Z:";
  parts.suffix = "a.txt";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"Z:\\a.txt");
  parts.netName = "\\\\server\\share";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"\\\\server\\share\\a.txt");
  // Without a share and without the ValidDevice flag there is no path.
  parts.netName = "";
  parts.deviceName.reset();
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"");
}

TEST(PosixLinkTargetLinkInfo, LocalPathWinsOverTheShare) {
  LinkInfoParts parts;
  parts.localBasePath = "C:\\Users\\";
  parts.netName = "\\\\pc\\Users";
  parts.suffix = "a.txt";
  EXPECT_EQ(TargetFromLinkInfo(LinkInfo(parts)), L"C:\\Users\\a.txt");
}

TEST(PosixLinkTargetLinkInfo, NoPathWithoutEitherFlag) {
  Buffer info = LinkInfo(Local("C:\\x.txt", ""));
  WriteU32(info, 8, 0);
  EXPECT_EQ(TargetFromLinkInfo(info), L"");
  EXPECT_EQ(TargetFromLinkInfo(Buffer{}), L"");
}

TEST(PosixLinkTargetLinkInfo, OffsetsOutsideTheStructureGiveNothing) {
  const Buffer good = LinkInfo(Local("C:\\x\\", "y.txt"));
  ASSERT_EQ(TargetFromLinkInfo(good), L"C:\\x\\y.txt");
  const auto size = static_cast<std::uint32_t>(good.size());
  // LocalBasePathOffset, CommonPathSuffixOffset: past the end, far past it,
  // inside the header.
  for (std::size_t field : {16, 24}) {
    for (std::uint32_t offset : {size, size + 100, 0xFFFFFFFFu, 4u}) {
      Buffer bad = good;
      WriteU32(bad, field, offset);
      EXPECT_EQ(TargetFromLinkInfo(bad), L"") << "field " << field << " offset " << offset;
    }
  }
  // LinkInfoSize beyond the bytes given; a header size beyond LinkInfoSize
  // or below the minimum.
  Buffer bad = good;
  WriteU32(bad, 0, size + 1);
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, 4, size + 1);
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, 4, 0x10);
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  // A LinkInfoSize smaller than the bytes given: the strings past it are not read.
  bad = good;
  WriteU32(bad, 0, size - 3);
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");

  // Unicode offsets outside the structure.
  LinkInfoParts unicode;
  unicode.localBasePath = "C:\\";
  unicode.localBasePathUnicode = L"C:\\";
  unicode.suffix = "a";
  unicode.suffixUnicode = L"a";
  unicode.unicodeHeader = true;
  const Buffer goodUnicode = LinkInfo(unicode);
  ASSERT_EQ(TargetFromLinkInfo(goodUnicode), L"C:\\a");
  for (std::size_t field : {28, 32}) {
    Buffer badUnicode = goodUnicode;
    WriteU32(badUnicode, field, static_cast<std::uint32_t>(goodUnicode.size()) - 1);
    EXPECT_EQ(TargetFromLinkInfo(badUnicode), L"") << "field " << field;
  }
}

TEST(PosixLinkTargetLinkInfo, NetworkLinkOutsideItsBoundsGivesNothing) {
  LinkInfoParts parts;
  parts.netName = "\\\\server\\share";
  parts.suffix = "a.txt";
  const Buffer good = LinkInfo(parts);
  ASSERT_EQ(TargetFromLinkInfo(good), L"\\\\server\\share\\a.txt");
  std::uint32_t linkAt = 0;
  corvane::posix::ReadU32(good, 20, linkAt);

  Buffer bad = good;
  WriteU32(bad, 20, static_cast<std::uint32_t>(good.size()) - 4);  // the link overruns
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, linkAt, 0x10);  // smaller than its header
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, linkAt, static_cast<std::uint32_t>(good.size()));  // larger than the LinkInfo
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, linkAt + 8, 0x1000);  // NetNameOffset past the link (and a Unicode-sized header)
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
  bad = good;
  WriteU32(bad, linkAt + 8, 0x14 + 0x7FFF);
  EXPECT_EQ(TargetFromLinkInfo(bad), L"");
}

}  // namespace
