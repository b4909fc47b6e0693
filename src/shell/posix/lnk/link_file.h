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
#include "shell/posix/lnk/layout.h"
#include "shell/posix/lnk/refusal.h"

namespace corvane::posix {

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

// Whether bytes start as a link file does: a ShellLinkHeader's HeaderSize
// and LinkCLSID. Nothing past them is worth reading when they do not.
bool IsLinkHeader(Bytes bytes);

// Parses the bytes of a link file: Refusal::None, or why the bytes are not a
// valid link (link is then left as it was).
Refusal ParseLinkFile(std::vector<std::uint8_t> bytes, LinkFile& link);

// The link's target path as Windows' GetPath finds it: from the
// LinkTargetIDList when it names a file-system object by drive, else from the
// LinkInfo. Empty when the link has no file-system target, an advertised
// (Windows Installer) link included: its item list names only the icon that
// stands in for the product.
std::wstring LinkTarget(const LinkFile& link);

// The link's AppUserModelID, as its first PropertyStoreDataBlock holds it:
// empty when it has none, or a value that is no text.
std::wstring LinkAppUserModelId(const LinkFile& link);

}  // namespace corvane::posix
