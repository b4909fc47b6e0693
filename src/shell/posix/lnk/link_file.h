// A shell link (.lnk) file as the stand-in's link object holds it: the bytes
// as loaded, and where each structure of the format lies in them. Parsing
// checks every size and offset against the file; a file that does not hold
// together is refused, never read past its end. Parsing only locates: text
// is decoded, and property records listed, when someone asks for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/posix/lnk/bytes.h"
#include "shell/posix/sdk/com.h"

namespace corvane::posix {

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

inline constexpr std::uint32_t kShellLinkHeaderSize = 0x4C;

// No shortcut comes near this size: a larger file is refused unread, and
// nothing larger is ever written.
inline constexpr std::size_t kMaximumLinkFileSize = 64 * 1024 * 1024;
inline constexpr std::uint32_t kPropertyStoreDataBlockSignature = 0xA0000009;

// A stretch of the loaded bytes.
struct Extent {
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct LinkFile {
  std::vector<std::uint8_t> bytes;
  std::uint32_t linkFlags = 0;
  // The IDList of the LinkTargetIDList: its items and the terminating
  // 0x0000, without the IDListSize before them. Empty when there is none.
  Extent idList;
  // The whole LinkInfo structure, LinkInfoSize included. Empty when none.
  Extent linkInfo;
  // The characters of each StringData entry (after its CountCharacters);
  // Text() decodes them.
  Extent name;
  Extent relativePath;
  Extent workingDir;
  Extent arguments;
  Extent iconLocation;
  // The first PropertyStoreDataBlock, BlockSize and signature included.
  // Empty when the file has none.
  Extent propertyStoreBlock;
  // Where the terminal block of the extra data starts: a new block goes here.
  std::size_t terminalBlock = 0;

  Bytes View(Extent extent) const { return Bytes(bytes).subspan(extent.offset, extent.size); }
  // A StringData entry's text: UTF-16 or Windows-1252, as IsUnicode says.
  std::wstring Text(Extent extent) const;
};

// Parses the bytes of a link file. S_OK, or
// HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT) for bytes that are not a valid link.
HRESULT ParseLinkFile(std::vector<std::uint8_t> bytes, LinkFile& link);

// The link's target path as Windows' GetPath finds it: from the
// LinkTargetIDList when it names a file-system object by drive, else from the
// LinkInfo. Empty when the link has no file-system target, an advertised
// (Windows Installer) link included: its item list names only the icon that
// stands in for the product.
std::wstring LinkTarget(const LinkFile& link);

}  // namespace corvane::posix
