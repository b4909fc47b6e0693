#include "shell/posix/lnk/link_target.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/posix/host/native_text.h"

namespace corvane::posix {
namespace {

// {20D04FE0-3AEA-1069-A2D8-08002B30309D}: My Computer, the root of the drives.
constexpr GUID kMyComputer = {0x20D04FE0, 0x3AEA, 0x1069,
                              {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};

constexpr std::uint8_t kRootFolderClass = 0x1F;
constexpr std::uint8_t kClassTypeMask = 0x70;
constexpr std::uint8_t kVolumeType = 0x20;
constexpr std::uint8_t kVolumeHasName = 0x01;
constexpr std::uint8_t kFileEntryUnicode = 0x04;
constexpr std::size_t kVolumeNameOffset = 3;
constexpr std::size_t kVolumeNameSize = 20;
constexpr std::size_t kPrimaryNameOffset = 14;
constexpr std::uint32_t kFileEntryExtension = 0xBEEF0004;
constexpr std::size_t kExtensionHeaderSize = 8;

// LinkInfo and CommonNetworkRelativeLink.
constexpr std::uint32_t kLinkInfoMinimumHeader = 0x1C;
constexpr std::uint32_t kLinkInfoUnicodeHeader = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
constexpr std::uint32_t kNetworkLinkMinimumSize = 0x14;
constexpr std::uint32_t kNetworkLinkUnicodeSize = 0x1C;
constexpr std::uint32_t kValidDevice = 0x1;

// How many items an IDList holds; nothing when an item does not fit or the
// terminator is missing.
std::optional<std::size_t> CountItems(Bytes idList) {
  std::size_t count = 0;
  std::size_t offset = 0;
  for (;;) {
    std::uint16_t size = 0;
    if (!ReadU16(idList, offset, size)) return std::nullopt;
    if (size == 0) return count;
    // An item holds at least its size and its class byte.
    if (size < 3 || !Fits(idList.size(), offset, size)) return std::nullopt;
    ++count;
    offset += size;
  }
}

// The item at offset of a list CountItems accepted, with its size field;
// offset moves on to the next one.
Bytes NextItem(Bytes idList, std::size_t& offset) {
  std::uint16_t size = 0;
  ReadU16(idList, offset, size);
  const Bytes item = idList.subspan(offset, size);
  offset += size;
  return item;
}

// NUL-terminated 8-bit text starting at offset and ending before limit.
std::optional<std::string_view> ReadAnsiZ(Bytes bytes, std::size_t offset, std::size_t limit) {
  if (limit > bytes.size()) limit = bytes.size();
  for (std::size_t end = offset; end < limit; ++end) {
    if (bytes[end] == 0) {
      return std::string_view(reinterpret_cast<const char*>(bytes.data() + offset), end - offset);
    }
  }
  return std::nullopt;
}

// Where NUL-terminated UTF-16 text that starts at offset and ends before
// limit ends: the number of units before the terminator, or nothing when no
// terminator comes before the limit.
std::optional<std::size_t> Utf16ZUnits(Bytes bytes, std::size_t offset, std::size_t limit) {
  if (limit > bytes.size()) limit = bytes.size();
  for (std::size_t end = offset; end + 2 <= limit; end += 2) {
    if (bytes[end] == 0 && bytes[end + 1] == 0) return (end - offset) / 2;
  }
  return std::nullopt;
}

// NUL-terminated UTF-16 text starting at offset and ending before limit.
std::optional<std::wstring> ReadUtf16Z(Bytes bytes, std::size_t offset, std::size_t limit) {
  const auto units = Utf16ZUnits(bytes, offset, limit);
  if (!units) return std::nullopt;
  std::wstring text;
  if (!ReadUtf16(bytes, offset, *units, text)) return std::nullopt;
  return text;
}

bool IsMyComputer(Bytes item) {
  GUID folder{};
  return item[2] == kRootFolderClass && ReadGuid(item, 4, folder) && folder == kMyComputer;
}

// Appends "C:\" for a volume item that names a drive; false for any other.
bool AppendDriveOfVolumeItem(Bytes item, std::wstring& path) {
  const std::uint8_t type = item[2];
  if ((type & kClassTypeMask) != kVolumeType || (type & kVolumeHasName) == 0) return false;
  const auto name = ReadAnsiZ(item, kVolumeNameOffset, kVolumeNameOffset + kVolumeNameSize);
  if (!name || name->size() < 2 || name->size() > 3) return false;
  const char letter = (*name)[0];
  const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
  if (!isLetter || (*name)[1] != ':' || (name->size() == 3 && (*name)[2] != '\\')) {
    return false;
  }
  path += static_cast<wchar_t>(letter);
  path += L":\\";
  return true;
}

// A name that can be a component of a Windows path.
bool IsComponentName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c == L'\\' || c == L'/') return false;
  }
  return true;
}

// Where the long name of a file entry extension block at offset lies: its
// first UTF-16 unit and how many units it has before its terminator (none
// when the block holds no long name). False when the block is malformed.
bool LocateLongName(Bytes item, std::size_t offset, std::size_t& nameOffset, std::size_t& units) {
  std::uint16_t size = 0, version = 0;
  ReadU16(item, offset, size);
  ReadU16(item, offset + 2, version);
  if (size < kExtensionHeaderSize || !Fits(item.size(), offset, size)) return false;
  units = 0;
  // Version 3 (Windows XP) was the first with the long name; later versions
  // put more fields before it.
  if (version < 3) return true;
  nameOffset = version >= 7 ? 38 : 20;
  if (version >= 8) nameOffset += 4;
  if (version >= 9) nameOffset += 4;
  if (nameOffset >= size) return false;
  nameOffset += offset;
  const auto found = Utf16ZUnits(item, nameOffset, offset + size);
  if (!found) return false;
  units = *found;
  return true;
}

// Appends the long name of a file entry item to path: the Unicode name in
// its extension block, else its primary name. False when the item is no
// file entry, is malformed, or its name cannot be a path component.
bool AppendNameOfFileEntry(Bytes item, std::wstring& path) {
  const std::uint8_t type = item[2];
  if ((type & 0xF0) != 0x30) return false;
  const bool unicodePrimary = (type & kFileEntryUnicode) != 0;
  std::size_t primaryUnits = 0;
  std::string_view primaryAnsi;
  std::size_t primaryEnd = 0;
  if (unicodePrimary) {
    const auto units = Utf16ZUnits(item, kPrimaryNameOffset, item.size());
    if (!units) return false;
    primaryUnits = *units;
    primaryEnd = kPrimaryNameOffset + 2 * (primaryUnits + 1);
  } else {
    const auto name = ReadAnsiZ(item, kPrimaryNameOffset, item.size());
    if (!name) return false;
    primaryAnsi = *name;
    primaryEnd = kPrimaryNameOffset + name->size() + 1;
    primaryEnd += primaryEnd % 2;  // the extension blocks start 16-bit aligned
  }

  // The item's last two bytes give the offset of its first extension block.
  std::uint16_t firstExtension = 0;
  std::uint32_t signature = 0;
  std::size_t longNameOffset = 0, longNameUnits = 0;
  if (ReadU16(item, item.size() - 2, firstExtension) && firstExtension >= primaryEnd &&
      ReadU32(item, firstExtension + 4u, signature) && signature == kFileEntryExtension &&
      !LocateLongName(item, firstExtension, longNameOffset, longNameUnits)) {
    return false;
  }
  const std::size_t start = path.size();
  if (longNameUnits != 0) {
    AppendUtf16Text(item, longNameOffset, longNameUnits, path);
  } else if (unicodePrimary) {
    AppendUtf16Text(item, kPrimaryNameOffset, primaryUnits, path);
  } else {
    AppendWindows1252(primaryAnsi, path);
  }
  return IsComponentName(std::wstring_view(path).substr(start));
}

// NUL-terminated ANSI text at an offset of a structure whose header is
// headerSize bytes; nothing when the offset or the text leaves the structure.
std::optional<std::wstring> AnsiField(Bytes structure, std::uint32_t offset,
                                      std::uint32_t headerSize) {
  if (offset < headerSize || offset >= structure.size()) return std::nullopt;
  const auto text = ReadAnsiZ(structure, offset, structure.size());
  if (!text) return std::nullopt;
  return DecodeWindows1252(*text);
}

std::optional<std::wstring> UnicodeField(Bytes structure, std::uint32_t offset,
                                         std::uint32_t headerSize) {
  if (offset < headerSize || offset >= structure.size()) return std::nullopt;
  return ReadUtf16Z(structure, offset, structure.size());
}

// The share (or, failing that, the device) a CommonNetworkRelativeLink names.
std::optional<std::wstring> NetworkShare(Bytes linkInfo, std::uint32_t offset,
                                         std::uint32_t headerSize) {
  std::uint32_t size = 0, flags = 0, netNameOffset = 0, deviceNameOffset = 0;
  if (offset < headerSize || !ReadU32(linkInfo, offset, size) || size < kNetworkLinkMinimumSize ||
      !Fits(linkInfo.size(), offset, size)) {
    return std::nullopt;
  }
  const Bytes link = linkInfo.subspan(offset, size);
  ReadU32(link, 4, flags);
  ReadU32(link, 8, netNameOffset);
  ReadU32(link, 12, deviceNameOffset);
  // Past the minimal header, the Unicode names' offsets follow.
  const bool unicode = netNameOffset > kNetworkLinkMinimumSize;
  std::uint32_t netNameOffsetUnicode = 0, deviceNameOffsetUnicode = 0;
  if (unicode) {
    if (size < kNetworkLinkUnicodeSize) return std::nullopt;
    ReadU32(link, 0x14, netNameOffsetUnicode);
    ReadU32(link, 0x18, deviceNameOffsetUnicode);
  }
  const std::uint32_t linkHeader = unicode ? kNetworkLinkUnicodeSize : kNetworkLinkMinimumSize;

  auto netName = unicode && netNameOffsetUnicode != 0
                     ? UnicodeField(link, netNameOffsetUnicode, linkHeader)
                     : AnsiField(link, netNameOffset, linkHeader);
  if (!netName) return std::nullopt;
  if (!netName->empty()) return netName;
  if ((flags & kValidDevice) == 0) return std::wstring();
  return unicode && deviceNameOffsetUnicode != 0
             ? UnicodeField(link, deviceNameOffsetUnicode, linkHeader)
             : AnsiField(link, deviceNameOffset, linkHeader);
}

}  // namespace

std::wstring TargetFromIdList(Bytes idList) {
  const auto count = CountItems(idList);
  if (!count || *count < 2) return {};
  std::size_t offset = 0;
  if (!IsMyComputer(NextItem(idList, offset))) return {};
  // The path never has more characters than the list has bytes: every item
  // adds at most one separator and a character per byte of its name.
  std::wstring path;
  path.reserve(idList.size());
  if (!AppendDriveOfVolumeItem(NextItem(idList, offset), path)) return {};
  for (std::size_t i = 2; i < *count; ++i) {
    if (path.back() != L'\\') path += L'\\';
    if (!AppendNameOfFileEntry(NextItem(idList, offset), path)) return {};
  }
  return path;
}

std::wstring TargetFromLinkInfo(Bytes linkInfo) {
  std::uint32_t size = 0, headerSize = 0, flags = 0;
  if (!ReadU32(linkInfo, 0, size) || size > linkInfo.size()) return {};
  const Bytes info = linkInfo.first(size);
  if (!ReadU32(info, 4, headerSize) || headerSize < kLinkInfoMinimumHeader || headerSize > size) {
    return {};
  }
  std::uint32_t localBasePathOffset = 0, networkLinkOffset = 0, suffixOffset = 0;
  ReadU32(info, 8, flags);
  ReadU32(info, 16, localBasePathOffset);
  ReadU32(info, 20, networkLinkOffset);
  ReadU32(info, 24, suffixOffset);
  const bool unicode = headerSize >= kLinkInfoUnicodeHeader;
  std::uint32_t localBasePathOffsetUnicode = 0, suffixOffsetUnicode = 0;
  if (unicode) {
    ReadU32(info, 28, localBasePathOffsetUnicode);
    ReadU32(info, 32, suffixOffsetUnicode);
  }

  std::optional<std::wstring> suffix;
  if (unicode && suffixOffsetUnicode != 0) {
    suffix = UnicodeField(info, suffixOffsetUnicode, headerSize);
  } else if (suffixOffset != 0) {
    suffix = AnsiField(info, suffixOffset, headerSize);
  } else {
    suffix = std::wstring();
  }
  if (!suffix) return {};

  if (flags & kVolumeIdAndLocalBasePath) {
    auto base = unicode && localBasePathOffsetUnicode != 0
                          ? UnicodeField(info, localBasePathOffsetUnicode, headerSize)
                          : AnsiField(info, localBasePathOffset, headerSize);
    if (!base) return {};
    if (!base->empty()) return std::move(base->append(*suffix));
  }
  if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
    auto share = NetworkShare(info, networkLinkOffset, headerSize);
    if (!share || share->empty()) return {};
    if (!suffix->empty()) {
      if (share->back() != L'\\') *share += L'\\';
      *share += *suffix;
    }
    return *share;
  }
  return {};
}

}  // namespace corvane::posix
