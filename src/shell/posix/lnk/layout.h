// The layout of a shell link (.lnk) file, named once: every offset, size,
// flag and signature the codec reads or writes, under the names the Shell
// Link Binary File Format gives them. Offsets are in bytes from the start
// of the structure they belong to; all numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/posix/sdk/com.h"
#include "shell/posix/sdk/property_store.h"

namespace corvane::posix::layout {

// No shortcut comes near this size: a larger file is refused unread, and
// nothing larger is ever written.
inline constexpr std::size_t kMaximumLinkFileSize = 64 * 1024 * 1024;

// ShellLinkHeader. Its LinkCLSID is CLSID_ShellLink.
namespace header {
inline constexpr std::uint32_t kSize = 0x4C;  // HeaderSize, the only value allowed
inline constexpr std::size_t kHeaderSize = 0x00;
inline constexpr std::size_t kLinkClsid = 0x04;
inline constexpr std::size_t kLinkFlags = 0x14;
inline constexpr std::size_t kIconIndex = 0x38;
inline constexpr std::size_t kShowCommand = 0x3C;
inline constexpr std::size_t kHotKey = 0x40;
}  // namespace header

// LinkFlags of the ShellLinkHeader.
enum LinkFlag : std::uint32_t {
  HasLinkTargetIDList = 0x00000001,
  HasLinkInfo = 0x00000002,
  HasName = 0x00000004,
  HasRelativePath = 0x00000008,
  HasWorkingDir = 0x00000010,
  HasArguments = 0x00000020,
  HasIconLocation = 0x00000040,
  IsUnicode = 0x00000080,
  ForceNoLinkInfo = 0x00000100,
  HasDarwinID = 0x00001000,
};

// LinkTargetIDList: IDListSize, then the IDList, whose ItemIDs each start
// with their own ItemIDSize (itself included) and which ends with a
// TerminalID of 0x0000.
namespace id_list {
inline constexpr std::size_t kIdListSizeField = 2;
inline constexpr std::size_t kItemIdSizeField = 2;
inline constexpr std::size_t kTerminalIdSize = 2;
}  // namespace id_list

// LinkInfo. The Unicode offsets follow when LinkInfoHeaderSize is at least
// kUnicodeHeaderSize.
namespace link_info {
inline constexpr std::size_t kLinkInfoSize = 0;
inline constexpr std::size_t kLinkInfoHeaderSize = 4;
inline constexpr std::size_t kLinkInfoFlags = 8;
inline constexpr std::size_t kVolumeIdOffset = 12;
inline constexpr std::size_t kLocalBasePathOffset = 16;
inline constexpr std::size_t kCommonNetworkRelativeLinkOffset = 20;
inline constexpr std::size_t kCommonPathSuffixOffset = 24;
inline constexpr std::size_t kLocalBasePathOffsetUnicode = 28;
inline constexpr std::size_t kCommonPathSuffixOffsetUnicode = 32;
inline constexpr std::uint32_t kMinimumHeaderSize = 0x1C;
inline constexpr std::uint32_t kUnicodeHeaderSize = 0x24;
// LinkInfoFlags.
inline constexpr std::uint32_t VolumeIDAndLocalBasePath = 0x1;
inline constexpr std::uint32_t CommonNetworkRelativeLinkAndPathSuffix = 0x2;
}  // namespace link_info

// CommonNetworkRelativeLink, inside the LinkInfo. NetNameOffset past the
// minimal size means the Unicode offsets follow.
namespace network_link {
inline constexpr std::size_t kSize = 0;
inline constexpr std::size_t kFlags = 4;
inline constexpr std::size_t kNetNameOffset = 8;
inline constexpr std::size_t kDeviceNameOffset = 12;
inline constexpr std::size_t kNetNameOffsetUnicode = 0x14;
inline constexpr std::size_t kDeviceNameOffsetUnicode = 0x18;
inline constexpr std::uint32_t kMinimumSize = 0x14;
inline constexpr std::uint32_t kUnicodeSize = 0x1C;
// CommonNetworkRelativeLinkFlags.
inline constexpr std::uint32_t ValidDevice = 0x1;
}  // namespace network_link

// StringData: CountCharacters, then that many characters of two bytes each
// (IsUnicode) or one.
namespace string_data {
inline constexpr std::size_t kCountCharactersField = 2;
}  // namespace string_data

// ExtraData: blocks of BlockSize and BlockSignature, ended by a
// TerminalBlock whose BlockSize is below kMinimumBlockSize.
namespace extra_data {
inline constexpr std::size_t kBlockSize = 0;
inline constexpr std::size_t kBlockSignature = 4;
inline constexpr std::uint32_t kBlockHeaderSize = 8;
inline constexpr std::uint32_t kMinimumBlockSize = 4;
inline constexpr std::uint32_t kPropertyStoreDataBlockSignature = 0xA0000009;
}  // namespace extra_data

// Shell items of the IDList that name a file-system target: the My
// Computer root folder, a volume, then file entries.
namespace shell_item {
inline constexpr std::size_t kClassType = 2;    // after ItemIDSize
inline constexpr std::size_t kMinimumSize = 3;  // ItemIDSize and the class type
// Root folder item: the class type, a sort index, the folder's GUID.
inline constexpr std::uint8_t kRootFolderClass = 0x1F;
inline constexpr std::size_t kRootFolderGuid = 4;
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}: My Computer, the root of the drives.
inline constexpr GUID kMyComputer = {
    0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};
inline constexpr std::uint8_t kClassTypeMask = 0x70;
// Volume item: "C:\" in 8-bit text when the class type has the name flag.
inline constexpr std::uint8_t kVolumeClass = 0x20;
inline constexpr std::uint8_t kVolumeHasName = 0x01;
inline constexpr std::size_t kVolumeName = 3;
inline constexpr std::size_t kVolumeNameSize = 20;
// File entry item: the primary name at kPrimaryName, 8-bit or (with the
// Unicode flag) UTF-16; extension blocks after it, the first found through
// the item's last two bytes.
inline constexpr std::uint8_t kFileEntryClassMask = 0xF0;
inline constexpr std::uint8_t kFileEntryClass = 0x30;
inline constexpr std::uint8_t kFileEntryUnicode = 0x04;
inline constexpr std::size_t kPrimaryName = 14;
inline constexpr std::size_t kFirstExtensionFieldSize = 2;
// File entry extension block (0xBEEF0004): size, version, signature, then
// fields by version, the long name among them from version 3.
inline constexpr std::size_t kExtensionSize = 0;
inline constexpr std::size_t kExtensionVersion = 2;
inline constexpr std::size_t kExtensionSignature = 4;
inline constexpr std::size_t kExtensionHeaderSize = 8;
inline constexpr std::uint32_t kFileEntryExtensionSignature = 0xBEEF0004;
inline constexpr std::uint16_t kFirstVersionWithLongName = 3;
// Where the long name starts: later versions put more fields before it.
constexpr std::size_t LongNameOffset(std::uint16_t version) {
  std::size_t offset = version >= 7 ? 38 : 20;
  if (version >= 8) offset += 4;
  if (version >= 9) offset += 4;
  return offset;
}
}  // namespace shell_item

// The serialized property store of a PropertyStoreDataBlock: after the
// block's header, storages of StorageSize, Version and FormatID, each a
// list of records ended by a zero ValueSize; a zero StorageSize ends the
// store.
namespace property_store {
inline constexpr std::size_t kStorageSize = 0;
inline constexpr std::size_t kStorageVersion = 4;
inline constexpr std::size_t kFormatId = 8;
inline constexpr std::size_t kStorageHeaderSize = 24;
inline constexpr std::uint32_t kVersion = 0x53505331;  // "1SPS"
// Records: ValueSize, the Id (or NameSize of a named record), Reserved,
// then the name (named records only) and the TypedPropertyValue.
inline constexpr std::size_t kValueSize = 0;
inline constexpr std::size_t kIdOrNameSize = 4;
inline constexpr std::size_t kRecordHeaderSize = 9;
inline constexpr std::size_t kTerminatorSize = 4;
// Storages with this format identifier hold named records.
inline constexpr GUID kNamedPropertiesFormatId = {
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
}  // namespace property_store

// TypedPropertyValue: Type, two bytes of padding, then the value; a whole
// value is padded to four bytes. Strings are a 32-bit length, then the
// text: VT_LPWSTR counts characters, VT_BSTR bytes, and both include the
// NUL; VT_LPSTR counts bytes.
namespace typed_value {
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kLengthField = 4;
inline constexpr std::size_t kAlignment = 4;

// Size of the value of a fixed-size type; 0 for any other type.
constexpr std::size_t FixedSize(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_FILETIME:
      return 8;
    default:
      return 0;
  }
}
}  // namespace typed_value

}  // namespace corvane::posix::layout
