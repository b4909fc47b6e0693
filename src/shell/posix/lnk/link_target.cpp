#include "shell/posix/lnk/link_target.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/posix/host/native_text.h"
#include "shell/posix/lnk/layout.h"

namespace corvane::posix {
namespace {

namespace item = layout::shell_item;
namespace link_info = layout::link_info;
namespace network_link = layout::network_link;

// How many items an IDList holds; nothing when an item does not fit or the
// terminator is missing.
std::optional<std::size_t> CountItems(Bytes idList) {
  std::size_t count = 0;
  std::size_t offset = 0;
  for (;;) {
    std::uint16_t size = 0;
    if (!ReadU16(idList, offset, size)) return std::nullopt;
    if (size == 0) return count;
    // An item holds at least its size and its class type.
    if (size < item::kMinimumSize || !Fits(idList.size(), offset, size)) return std::nullopt;
    ++count;
    offset += size;
  }
}

// The item at offset of a list CountItems accepted, with its size field;
// offset moves on to the next one.
Bytes NextItem(Bytes idList, std::size_t& offset) {
  std::uint16_t size = 0;
  ReadU16(idList, offset, size);
  const Bytes shellItem = idList.subspan(offset, size);
  offset += size;
  return shellItem;
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

bool IsMyComputer(Bytes shellItem) {
  GUID folder{};
  return shellItem[item::kClassType] == item::kRootFolderClass &&
         ReadGuid(shellItem, item::kRootFolderGuid, folder) && folder == item::kMyComputer;
}

// Appends "C:\" for a volume item that names a drive; false for any other.
bool AppendDriveOfVolumeItem(Bytes shellItem, std::wstring& path) {
  const std::uint8_t type = shellItem[item::kClassType];
  if ((type & item::kClassTypeMask) != item::kVolumeClass || (type & item::kVolumeHasName) == 0) {
    return false;
  }
  const auto name =
      ReadAnsiZ(shellItem, item::kVolumeName, item::kVolumeName + item::kVolumeNameSize);
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
bool LocateLongName(Bytes shellItem, std::size_t offset, std::size_t& nameOffset,
                    std::size_t& units) {
  std::uint16_t size = 0, version = 0;
  ReadU16(shellItem, offset + item::kExtensionSize, size);
  ReadU16(shellItem, offset + item::kExtensionVersion, version);
  if (size < item::kExtensionHeaderSize || !Fits(shellItem.size(), offset, size)) return false;
  units = 0;
  // Version 3 (Windows XP) was the first with the long name.
  if (version < item::kFirstVersionWithLongName) return true;
  nameOffset = item::LongNameOffset(version);
  if (nameOffset >= size) return false;
  nameOffset += offset;
  const auto found = Utf16ZUnits(shellItem, nameOffset, offset + size);
  if (!found) return false;
  units = *found;
  return true;
}

// Appends the long name of a file entry item to path: the Unicode name in
// its extension block, else its primary name. False when the item is no
// file entry, is malformed, or its name cannot be a path component.
bool AppendNameOfFileEntry(Bytes shellItem, std::wstring& path) {
  const std::uint8_t type = shellItem[item::kClassType];
  if ((type & item::kFileEntryClassMask) != item::kFileEntryClass) return false;
  const bool unicodePrimary = (type & item::kFileEntryUnicode) != 0;
  std::size_t primaryUnits = 0;
  std::string_view primaryAnsi;
  std::size_t primaryEnd = 0;
  if (unicodePrimary) {
    const auto units = Utf16ZUnits(shellItem, item::kPrimaryName, shellItem.size());
    if (!units) return false;
    primaryUnits = *units;
    primaryEnd = item::kPrimaryName + 2 * (primaryUnits + 1);
  } else {
    const auto name = ReadAnsiZ(shellItem, item::kPrimaryName, shellItem.size());
    if (!name) return false;
    primaryAnsi = *name;
    primaryEnd = item::kPrimaryName + name->size() + 1;
    primaryEnd += primaryEnd % 2;  // the extension blocks start 16-bit aligned
  }

  // The item's last two bytes give the offset of its first extension block.
  std::uint16_t firstExtension = 0;
  std::uint32_t signature = 0;
  std::size_t longNameOffset = 0, longNameUnits = 0;
  if (ReadU16(shellItem, shellItem.size() - item::kFirstExtensionFieldSize, firstExtension) &&
      firstExtension >= primaryEnd &&
      ReadU32(shellItem, firstExtension + item::kExtensionSignature, signature) &&
      signature == item::kFileEntryExtensionSignature &&
      !LocateLongName(shellItem, firstExtension, longNameOffset, longNameUnits)) {
    return false;
  }
  const std::size_t start = path.size();
  if (longNameUnits != 0) {
    AppendUtf16Text(shellItem, longNameOffset, longNameUnits, path);
  } else if (unicodePrimary) {
    AppendUtf16Text(shellItem, item::kPrimaryName, primaryUnits, path);
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
  if (offset < headerSize || !ReadU32(linkInfo, offset + network_link::kSize, size) ||
      size < network_link::kMinimumSize || !Fits(linkInfo.size(), offset, size)) {
    return std::nullopt;
  }
  const Bytes link = linkInfo.subspan(offset, size);
  ReadU32(link, network_link::kFlags, flags);
  ReadU32(link, network_link::kNetNameOffset, netNameOffset);
  ReadU32(link, network_link::kDeviceNameOffset, deviceNameOffset);
  // Past the minimal header, the Unicode names' offsets follow.
  const bool unicode = netNameOffset > network_link::kMinimumSize;
  std::uint32_t netNameOffsetUnicode = 0, deviceNameOffsetUnicode = 0;
  if (unicode) {
    if (size < network_link::kUnicodeSize) return std::nullopt;
    ReadU32(link, network_link::kNetNameOffsetUnicode, netNameOffsetUnicode);
    ReadU32(link, network_link::kDeviceNameOffsetUnicode, deviceNameOffsetUnicode);
  }
  const std::uint32_t linkHeader =
      unicode ? network_link::kUnicodeSize : network_link::kMinimumSize;

  auto netName = unicode && netNameOffsetUnicode != 0
                     ? UnicodeField(link, netNameOffsetUnicode, linkHeader)
                     : AnsiField(link, netNameOffset, linkHeader);
  if (!netName) return std::nullopt;
  if (!netName->empty()) return netName;
  if ((flags & network_link::ValidDevice) == 0) return std::wstring();
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
  if (!ReadU32(linkInfo, link_info::kLinkInfoSize, size) || size > linkInfo.size()) return {};
  const Bytes info = linkInfo.first(size);
  if (!ReadU32(info, link_info::kLinkInfoHeaderSize, headerSize) ||
      headerSize < link_info::kMinimumHeaderSize || headerSize > size) {
    return {};
  }
  std::uint32_t localBasePathOffset = 0, networkLinkOffset = 0, suffixOffset = 0;
  ReadU32(info, link_info::kLinkInfoFlags, flags);
  ReadU32(info, link_info::kLocalBasePathOffset, localBasePathOffset);
  ReadU32(info, link_info::kCommonNetworkRelativeLinkOffset, networkLinkOffset);
  ReadU32(info, link_info::kCommonPathSuffixOffset, suffixOffset);
  const bool unicode = headerSize >= link_info::kUnicodeHeaderSize;
  std::uint32_t localBasePathOffsetUnicode = 0, suffixOffsetUnicode = 0;
  if (unicode) {
    ReadU32(info, link_info::kLocalBasePathOffsetUnicode, localBasePathOffsetUnicode);
    ReadU32(info, link_info::kCommonPathSuffixOffsetUnicode, suffixOffsetUnicode);
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

  if (flags & link_info::VolumeIDAndLocalBasePath) {
    auto base = unicode && localBasePathOffsetUnicode != 0
                    ? UnicodeField(info, localBasePathOffsetUnicode, headerSize)
                    : AnsiField(info, localBasePathOffset, headerSize);
    if (!base) return {};
    if (!base->empty()) return std::move(base->append(*suffix));
  }
  if (flags & link_info::CommonNetworkRelativeLinkAndPathSuffix) {
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
