#include "shell/posix/lnk/link_file.h"

#include <utility>

#include "shell/posix/lnk/link_target.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/posix/host/native_text.h"

namespace corvane::posix {
namespace {

// {00021401-0000-0000-C000-000000000046}
constexpr GUID kLinkClassId = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr std::uint32_t kLinkInfoMinimumHeaderSize = 0x1C;
constexpr std::uint32_t kLinkInfoUnicodeHeaderSize = 0x24;
// LinkInfoFlags.
constexpr std::uint32_t VolumeIDAndLocalBasePath = 0x1;
constexpr std::uint32_t CommonNetworkRelativeLinkAndPathSuffix = 0x2;

const HRESULT kCorrupt = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);

// Checks the item sizes of an IDList: each item fits, and the terminating
// 0x0000 is the list's last two bytes.
bool ValidIdList(Bytes list) {
  std::size_t offset = 0;
  for (;;) {
    std::uint16_t itemSize = 0;
    if (!ReadU16(list, offset, itemSize)) return false;
    if (itemSize == 0) return offset + 2 == list.size();
    if (itemSize < 2 || !Fits(list.size(), offset, itemSize)) return false;
    offset += itemSize;
  }
}

// An offset from the LinkInfo header must point inside the structure, past
// the header that holds it.
bool ValidLinkInfoOffset(std::uint32_t offset, std::uint32_t headerSize, std::uint32_t size) {
  return offset >= headerSize && offset < size;
}

bool ValidLinkInfo(Bytes info) {
  std::uint32_t size = 0, headerSize = 0, flags = 0;
  if (!ReadU32(info, 0, size) || !ReadU32(info, 4, headerSize) || !ReadU32(info, 8, flags)) {
    return false;
  }
  if (size != info.size() || headerSize < kLinkInfoMinimumHeaderSize || headerSize > size) {
    return false;
  }
  std::uint32_t volumeId = 0, localBasePath = 0, networkLink = 0, pathSuffix = 0;
  ReadU32(info, 12, volumeId);
  ReadU32(info, 16, localBasePath);
  ReadU32(info, 20, networkLink);
  ReadU32(info, 24, pathSuffix);
  if ((flags & VolumeIDAndLocalBasePath) != 0 &&
      (!ValidLinkInfoOffset(volumeId, headerSize, size) ||
       !ValidLinkInfoOffset(localBasePath, headerSize, size))) {
    return false;
  }
  if ((flags & CommonNetworkRelativeLinkAndPathSuffix) != 0 &&
      !ValidLinkInfoOffset(networkLink, headerSize, size)) {
    return false;
  }
  if (!ValidLinkInfoOffset(pathSuffix, headerSize, size)) return false;
  if (headerSize >= kLinkInfoUnicodeHeaderSize) {
    std::uint32_t localBasePathUnicode = 0, pathSuffixUnicode = 0;
    ReadU32(info, 28, localBasePathUnicode);
    ReadU32(info, 32, pathSuffixUnicode);
    if ((flags & VolumeIDAndLocalBasePath) != 0 && localBasePathUnicode != 0 &&
        !ValidLinkInfoOffset(localBasePathUnicode, headerSize, size)) {
      return false;
    }
    if (pathSuffixUnicode != 0 && !ValidLinkInfoOffset(pathSuffixUnicode, headerSize, size)) {
      return false;
    }
  }
  return true;
}

// One StringData entry: CountCharacters, then that many characters, each two
// bytes when the link is Unicode. Any characters decode, so only their room
// is checked.
bool LocateStringData(Bytes bytes, std::size_t& offset, bool unicode, Extent& text) {
  std::uint16_t count = 0;
  if (!ReadU16(bytes, offset, count)) return false;
  offset += 2;
  const std::size_t size = unicode ? std::size_t{count} * 2 : count;
  if (!Fits(bytes.size(), offset, size)) return false;
  text = {offset, size};
  offset += size;
  return true;
}

}  // namespace

HRESULT ParseLinkFile(std::vector<std::uint8_t> fileBytes, LinkFile& link) {
  LinkFile parsed;
  parsed.bytes = std::move(fileBytes);
  const Bytes bytes(parsed.bytes);

  std::uint32_t headerSize = 0;
  GUID classId{};
  if (!ReadU32(bytes, 0, headerSize) || headerSize != kShellLinkHeaderSize ||
      !Fits(bytes.size(), 0, kShellLinkHeaderSize) || !ReadGuid(bytes, 4, classId) ||
      classId != kLinkClassId) {
    return kCorrupt;
  }
  ReadU32(bytes, 0x14, parsed.linkFlags);
  std::size_t offset = kShellLinkHeaderSize;

  if ((parsed.linkFlags & HasLinkTargetIDList) != 0) {
    std::uint16_t listSize = 0;
    if (!ReadU16(bytes, offset, listSize)) return kCorrupt;
    offset += 2;
    if (!Fits(bytes.size(), offset, listSize)) return kCorrupt;
    parsed.idList = {offset, listSize};
    if (!ValidIdList(parsed.View(parsed.idList))) return kCorrupt;
    offset += listSize;
  }

  if ((parsed.linkFlags & HasLinkInfo) != 0) {
    std::uint32_t infoSize = 0;
    if (!ReadU32(bytes, offset, infoSize) || !Fits(bytes.size(), offset, infoSize)) {
      return kCorrupt;
    }
    parsed.linkInfo = {offset, infoSize};
    if (!ValidLinkInfo(parsed.View(parsed.linkInfo))) return kCorrupt;
    offset += infoSize;
  }

  const bool unicode = (parsed.linkFlags & IsUnicode) != 0;
  const std::pair<LinkFlag, Extent*> strings[] = {
      {HasName, &parsed.name},
      {HasRelativePath, &parsed.relativePath},
      {HasWorkingDir, &parsed.workingDir},
      {HasArguments, &parsed.arguments},
      {HasIconLocation, &parsed.iconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if ((parsed.linkFlags & flag) != 0 && !LocateStringData(bytes, offset, unicode, *text)) {
      return kCorrupt;
    }
  }

  // ExtraData: blocks up to the terminal block, whose size is below 4.
  for (;;) {
    std::uint32_t blockSize = 0;
    if (!ReadU32(bytes, offset, blockSize)) return kCorrupt;
    if (blockSize < 4) {
      parsed.terminalBlock = offset;
      break;
    }
    std::uint32_t signature = 0;
    if (blockSize < 8 || !Fits(bytes.size(), offset, blockSize) ||
        !ReadU32(bytes, offset + 4, signature)) {
      return kCorrupt;
    }
    if (signature == kPropertyStoreDataBlockSignature && parsed.propertyStoreBlock.size == 0) {
      parsed.propertyStoreBlock = {offset, blockSize};
      if (!ValidPropertyStoreBlock(parsed.View(parsed.propertyStoreBlock))) return kCorrupt;
    }
    offset += blockSize;
  }

  link = std::move(parsed);
  return S_OK;
}

std::wstring LinkFile::Text(Extent extent) const {
  const Bytes text = View(extent);
  if ((linkFlags & IsUnicode) == 0) {
    return DecodeWindows1252(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  }
  std::wstring decoded;
  ReadUtf16(text, 0, text.size() / 2, decoded);
  return decoded;
}

std::wstring LinkTarget(const LinkFile& link) {
  if ((link.linkFlags & HasDarwinID) != 0) return {};
  std::wstring target = TargetFromIdList(link.View(link.idList));
  if (target.empty()) target = TargetFromLinkInfo(link.View(link.linkInfo));
  return target;
}

}  // namespace corvane::posix
