#include "shell/posix/lnk/link_file.h"

#include <utility>

#include "shell/posix/host/native_text.h"
#include "shell/posix/lnk/link_target.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/posix/sdk/shell_link.h"

namespace corvane::posix {
namespace {

namespace header = layout::header;
namespace link_info = layout::link_info;
namespace extra_data = layout::extra_data;

// Checks the item sizes of an IDList: each item fits, and the TerminalID is
// the list's last two bytes.
bool ValidIdList(Bytes list) {
  std::size_t offset = 0;
  for (;;) {
    std::uint16_t itemSize = 0;
    if (!ReadU16(list, offset, itemSize)) return false;
    if (itemSize == 0) return offset + layout::id_list::kTerminalIdSize == list.size();
    if (itemSize < layout::id_list::kItemIdSizeField || !Fits(list.size(), offset, itemSize)) {
      return false;
    }
    offset += itemSize;
  }
}

// An offset from the LinkInfo header must point inside the structure, past
// the header that holds it.
bool ValidLinkInfoOffset(std::uint32_t offset, std::uint32_t headerSize, std::uint32_t size) {
  return offset >= headerSize && offset < size;
}

Refusal CheckLinkInfo(Bytes info) {
  std::uint32_t size = 0, headerSize = 0, flags = 0;
  if (!ReadU32(info, link_info::kLinkInfoSize, size) ||
      !ReadU32(info, link_info::kLinkInfoHeaderSize, headerSize) ||
      !ReadU32(info, link_info::kLinkInfoFlags, flags) || size != info.size()) {
    return Refusal::LinkInfoSize;
  }
  if (headerSize < link_info::kMinimumHeaderSize || headerSize > size) {
    return Refusal::LinkInfoHeaderSize;
  }
  std::uint32_t volumeId = 0, localBasePath = 0, networkLink = 0, pathSuffix = 0;
  ReadU32(info, link_info::kVolumeIdOffset, volumeId);
  ReadU32(info, link_info::kLocalBasePathOffset, localBasePath);
  ReadU32(info, link_info::kCommonNetworkRelativeLinkOffset, networkLink);
  ReadU32(info, link_info::kCommonPathSuffixOffset, pathSuffix);
  const bool local = (flags & link_info::VolumeIDAndLocalBasePath) != 0;
  if (local && (!ValidLinkInfoOffset(volumeId, headerSize, size) ||
                !ValidLinkInfoOffset(localBasePath, headerSize, size))) {
    return Refusal::LinkInfoOffset;
  }
  if ((flags & link_info::CommonNetworkRelativeLinkAndPathSuffix) != 0 &&
      !ValidLinkInfoOffset(networkLink, headerSize, size)) {
    return Refusal::LinkInfoOffset;
  }
  if (!ValidLinkInfoOffset(pathSuffix, headerSize, size)) return Refusal::LinkInfoOffset;
  if (headerSize >= link_info::kUnicodeHeaderSize) {
    std::uint32_t localBasePathUnicode = 0, pathSuffixUnicode = 0;
    ReadU32(info, link_info::kLocalBasePathOffsetUnicode, localBasePathUnicode);
    ReadU32(info, link_info::kCommonPathSuffixOffsetUnicode, pathSuffixUnicode);
    if (local && localBasePathUnicode != 0 &&
        !ValidLinkInfoOffset(localBasePathUnicode, headerSize, size)) {
      return Refusal::LinkInfoOffset;
    }
    if (pathSuffixUnicode != 0 && !ValidLinkInfoOffset(pathSuffixUnicode, headerSize, size)) {
      return Refusal::LinkInfoOffset;
    }
  }
  return Refusal::None;
}

// One StringData entry: CountCharacters, then that many characters, each two
// bytes when the link is Unicode. Any characters decode, so only their room
// is checked.
bool LocateStringData(Bytes bytes, std::size_t& offset, bool unicode, Extent& text) {
  std::uint16_t count = 0;
  if (!ReadU16(bytes, offset, count)) return false;
  offset += layout::string_data::kCountCharactersField;
  const std::size_t size = unicode ? std::size_t{count} * 2 : count;
  if (!Fits(bytes.size(), offset, size)) return false;
  text = {offset, size};
  offset += size;
  return true;
}

}  // namespace

Refusal ParseLinkFile(std::vector<std::uint8_t> fileBytes, LinkFile& link) {
  LinkFile parsed;
  parsed.bytes = std::move(fileBytes);
  const Bytes bytes(parsed.bytes);

  std::uint32_t headerSize = 0;
  GUID classId{};
  if (!Fits(bytes.size(), 0, header::kSize)) return Refusal::HeaderTruncated;
  ReadU32(bytes, header::kHeaderSize, headerSize);
  if (headerSize != header::kSize) return Refusal::HeaderSize;
  ReadGuid(bytes, header::kLinkClsid, classId);
  if (classId != CLSID_ShellLink) return Refusal::LinkClsid;
  ReadU32(bytes, header::kLinkFlags, parsed.linkFlags);
  std::size_t offset = header::kSize;

  if ((parsed.linkFlags & layout::HasLinkTargetIDList) != 0) {
    std::uint16_t listSize = 0;
    if (!ReadU16(bytes, offset, listSize)) return Refusal::IdListTruncated;
    offset += layout::id_list::kIdListSizeField;
    if (!Fits(bytes.size(), offset, listSize)) return Refusal::IdListTruncated;
    parsed.idList = {offset, listSize};
    if (!ValidIdList(parsed.View(parsed.idList))) return Refusal::IdListItem;
    offset += listSize;
  }

  if ((parsed.linkFlags & layout::HasLinkInfo) != 0) {
    std::uint32_t infoSize = 0;
    if (!ReadU32(bytes, offset, infoSize) || !Fits(bytes.size(), offset, infoSize)) {
      return Refusal::LinkInfoTruncated;
    }
    parsed.linkInfo = {offset, infoSize};
    if (const Refusal refusal = CheckLinkInfo(parsed.View(parsed.linkInfo));
        refusal != Refusal::None) {
      return refusal;
    }
    offset += infoSize;
  }

  const bool unicode = (parsed.linkFlags & layout::IsUnicode) != 0;
  const std::pair<layout::LinkFlag, Extent*> strings[] = {
      {layout::HasName, &parsed.name},
      {layout::HasRelativePath, &parsed.relativePath},
      {layout::HasWorkingDir, &parsed.workingDir},
      {layout::HasArguments, &parsed.arguments},
      {layout::HasIconLocation, &parsed.iconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if ((parsed.linkFlags & flag) != 0 && !LocateStringData(bytes, offset, unicode, *text)) {
      return Refusal::StringDataTruncated;
    }
  }

  // ExtraData: blocks up to the TerminalBlock.
  for (;;) {
    std::uint32_t blockSize = 0;
    if (!ReadU32(bytes, offset + extra_data::kBlockSize, blockSize)) {
      return Refusal::ExtraDataUnterminated;
    }
    if (blockSize < extra_data::kMinimumBlockSize) {
      parsed.terminalBlock = offset;
      break;
    }
    std::uint32_t signature = 0;
    if (blockSize < extra_data::kBlockHeaderSize || !Fits(bytes.size(), offset, blockSize)) {
      return Refusal::ExtraDataBlockSize;
    }
    ReadU32(bytes, offset + extra_data::kBlockSignature, signature);
    if (signature == extra_data::kPropertyStoreDataBlockSignature &&
        parsed.propertyStoreBlock.size == 0) {
      parsed.propertyStoreBlock = {offset, blockSize};
      if (const Refusal refusal = CheckPropertyStoreBlock(parsed.View(parsed.propertyStoreBlock));
          refusal != Refusal::None) {
        return refusal;
      }
    }
    offset += blockSize;
  }

  link = std::move(parsed);
  return Refusal::None;
}

std::wstring LinkFile::Text(Extent extent) const {
  const Bytes text = View(extent);
  if ((linkFlags & layout::IsUnicode) == 0) {
    return DecodeWindows1252(
        std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  }
  std::wstring decoded;
  ReadUtf16(text, 0, text.size() / 2, decoded);
  return decoded;
}

std::wstring LinkTarget(const LinkFile& link) {
  if ((link.linkFlags & layout::HasDarwinID) != 0) return {};
  std::wstring target = TargetFromIdList(link.View(link.idList));
  if (target.empty()) target = TargetFromLinkInfo(link.View(link.linkInfo));
  return target;
}

}  // namespace corvane::posix
