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

// The header of a LinkInfo structure (LinkInfoSize included): its sizes,
// then each offset its LinkInfoFlags call for, inside the structure.
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
  const auto valid = [&](std::size_t field) {
    std::uint32_t offset = 0;
    ReadU32(info, field, offset);  // inside the header, which fits
    return ValidLinkInfoOffset(offset, headerSize, size);
  };
  const bool local = (flags & link_info::VolumeIDAndLocalBasePath) != 0;
  const bool network = (flags & link_info::CommonNetworkRelativeLinkAndPathSuffix) != 0;
  if ((local && (!valid(link_info::kVolumeIdOffset) || !valid(link_info::kLocalBasePathOffset))) ||
      (network && !valid(link_info::kCommonNetworkRelativeLinkOffset)) ||
      !valid(link_info::kCommonPathSuffixOffset)) {
    return Refusal::LinkInfoOffset;
  }
  if (headerSize < link_info::kUnicodeHeaderSize) return Refusal::None;
  // The Unicode offsets are optional: 0 says there is no such text.
  const auto validIfGiven = [&](std::size_t field) {
    std::uint32_t offset = 0;
    ReadU32(info, field, offset);
    return offset == 0 || ValidLinkInfoOffset(offset, headerSize, size);
  };
  if ((local && !validIfGiven(link_info::kLocalBasePathOffsetUnicode)) ||
      !validIfGiven(link_info::kCommonPathSuffixOffsetUnicode)) {
    return Refusal::LinkInfoOffset;
  }
  return Refusal::None;
}

// Each structure of the file in the order the format puts them: a parser
// takes the structure at offset, records where it lies in link, and moves
// offset past it.

// ShellLinkHeader: HeaderSize and LinkCLSID must be the only values allowed;
// LinkFlags say which structures follow.
Refusal CheckHeader(Bytes bytes) {
  std::uint32_t headerSize = 0;
  GUID classId{};
  if (!Fits(bytes.size(), 0, header::kSize)) return Refusal::HeaderTruncated;
  // Every field read below lies inside the header, which fits.
  ReadU32(bytes, header::kHeaderSize, headerSize);
  if (headerSize != header::kSize) return Refusal::HeaderSize;
  ReadGuid(bytes, header::kLinkClsid, classId);
  return classId == CLSID_ShellLink ? Refusal::None : Refusal::LinkClsid;
}

Refusal ParseHeader(Bytes bytes, LinkFile& link, std::size_t& offset) {
  if (const Refusal refusal = CheckHeader(bytes); refusal != Refusal::None) return refusal;
  ReadU32(bytes, header::kLinkFlags, link.linkFlags);
  offset = header::kSize;
  return Refusal::None;
}

// LinkTargetIDList: IDListSize, then an IDList of that many bytes.
Refusal ParseIdList(Bytes bytes, LinkFile& link, std::size_t& offset) {
  std::uint16_t listSize = 0;
  if (!ReadU16(bytes, offset, listSize)) return Refusal::IdListTruncated;
  offset += layout::id_list::kIdListSizeField;
  if (!Fits(bytes.size(), offset, listSize)) return Refusal::IdListTruncated;
  link.idList = {offset, listSize};
  if (!ValidIdList(link.View(link.idList))) return Refusal::IdListItem;
  offset += listSize;
  return Refusal::None;
}

// LinkInfo: LinkInfoSize bytes, every offset in its header inside them.
Refusal ParseLinkInfo(Bytes bytes, LinkFile& link, std::size_t& offset) {
  std::uint32_t infoSize = 0;
  if (!ReadU32(bytes, offset + link_info::kLinkInfoSize, infoSize) ||
      !Fits(bytes.size(), offset, infoSize)) {
    return Refusal::LinkInfoTruncated;
  }
  link.linkInfo = {offset, infoSize};
  offset += infoSize;
  return CheckLinkInfo(link.View(link.linkInfo));
}

// StringData: the entries LinkFlags name, in the format's order, each
// CountCharacters and then that many characters, two bytes each when the
// link is Unicode. Any characters decode, so only their room is checked.
Refusal ParseStringData(Bytes bytes, LinkFile& link, std::size_t& offset) {
  const std::pair<layout::LinkFlag, Extent*> entries[] = {
      {layout::HasName, &link.name},
      {layout::HasRelativePath, &link.relativePath},
      {layout::HasWorkingDir, &link.workingDir},
      {layout::HasArguments, &link.arguments},
      {layout::HasIconLocation, &link.iconLocation},
  };
  const std::size_t unitSize = (link.linkFlags & layout::IsUnicode) != 0 ? 2 : 1;
  for (const auto& [flag, text] : entries) {
    if ((link.linkFlags & flag) == 0) continue;
    std::uint16_t count = 0;
    if (!ReadU16(bytes, offset, count)) return Refusal::StringDataTruncated;
    offset += layout::string_data::kCountCharactersField;
    const std::size_t size = count * unitSize;
    if (!Fits(bytes.size(), offset, size)) return Refusal::StringDataTruncated;
    *text = {offset, size};
    offset += size;
  }
  return Refusal::None;
}

// ExtraData: blocks of BlockSize bytes up to the TerminalBlock. The first
// PropertyStoreDataBlock must hold together as a property store.
Refusal ParseExtraData(Bytes bytes, LinkFile& link, std::size_t& offset) {
  for (;;) {
    std::uint32_t blockSize = 0, signature = 0;
    if (!ReadU32(bytes, offset + extra_data::kBlockSize, blockSize)) {
      return Refusal::ExtraDataUnterminated;
    }
    if (blockSize < extra_data::kMinimumBlockSize) {
      link.terminalBlock = offset;
      return Refusal::None;
    }
    if (blockSize < extra_data::kBlockHeaderSize || !Fits(bytes.size(), offset, blockSize)) {
      return Refusal::ExtraDataBlockSize;
    }
    ReadU32(bytes, offset + extra_data::kBlockSignature, signature);  // inside the block
    if (signature == extra_data::kPropertyStoreDataBlockSignature &&
        link.propertyStoreBlock.size == 0) {
      link.propertyStoreBlock = {offset, blockSize};
      if (const Refusal refusal = CheckPropertyStoreBlock(link.View(link.propertyStoreBlock));
          refusal != Refusal::None) {
        return refusal;
      }
    }
    offset += blockSize;
  }
}

}  // namespace

bool IsLinkHeader(Bytes bytes) { return CheckHeader(bytes) == Refusal::None; }

Refusal ParseLinkFile(std::vector<std::uint8_t> fileBytes, LinkFile& link) {
  LinkFile parsed;
  parsed.bytes = std::move(fileBytes);
  const Bytes bytes(parsed.bytes);
  std::size_t offset = 0;
  Refusal refusal = ParseHeader(bytes, parsed, offset);
  if (refusal == Refusal::None && (parsed.linkFlags & layout::HasLinkTargetIDList) != 0) {
    refusal = ParseIdList(bytes, parsed, offset);
  }
  if (refusal == Refusal::None && (parsed.linkFlags & layout::HasLinkInfo) != 0) {
    refusal = ParseLinkInfo(bytes, parsed, offset);
  }
  if (refusal == Refusal::None) refusal = ParseStringData(bytes, parsed, offset);
  if (refusal == Refusal::None) refusal = ParseExtraData(bytes, parsed, offset);
  if (refusal == Refusal::None) link = std::move(parsed);
  return refusal;
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

std::wstring LinkAppUserModelId(const LinkFile& link) {
  Extent value;
  TypedValue decoded;
  if (link.propertyStoreBlock.size == 0) return {};
  const Bytes block = link.View(link.propertyStoreBlock);
  if (!FindPropertyValue(block, PKEY_AppUserModel_ID, value) ||
      DecodeTypedValue(block.subspan(value.offset, value.size), decoded) != Refusal::None) {
    return {};
  }
  return decoded.type == VT_LPWSTR || decoded.type == VT_BSTR ? decoded.text : std::wstring();
}

std::wstring LinkTarget(const LinkFile& link) {
  if ((link.linkFlags & layout::HasDarwinID) != 0) return {};
  std::wstring target = TargetFromIdList(link.View(link.idList));
  if (target.empty()) target = TargetFromLinkInfo(link.View(link.linkInfo));
  return target;
}

}  // namespace corvane::posix
