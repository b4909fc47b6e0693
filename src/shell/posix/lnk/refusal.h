// Why the codec refused bytes. Each rule of the format it checks has a
// reason of its own, so a test or a developer can tell which rule it was;
// the link object reports every one as ERROR_FILE_CORRUPT.
#pragma once

namespace corvane::posix {

enum class Refusal {
  None,                    // nothing refused: the bytes hold together
  HeaderTruncated,         // shorter than the ShellLinkHeader
  HeaderSize,              // HeaderSize is not 0x4C
  LinkClsid,               // LinkCLSID is not CLSID_ShellLink
  IdListTruncated,         // the LinkTargetIDList passes the end of the file
  IdListItem,              // an ItemID passes the IDList's end, or no TerminalID ends it
  LinkInfoTruncated,       // the LinkInfo passes the end of the file
  LinkInfoSize,            // LinkInfoSize leaves no room for the fields it must hold
  LinkInfoHeaderSize,      // LinkInfoHeaderSize below 0x1C or past LinkInfoSize
  LinkInfoOffset,          // an offset points into the LinkInfo's header or past its end
  StringDataTruncated,     // a StringData passes the end of the file
  ExtraDataUnterminated,   // the file ends before the TerminalBlock
  ExtraDataBlockSize,      // a block smaller than its header, or passing the end
  PropertyStorageSize,     // a storage smaller than its header, or passing the block
  PropertyStorageVersion,  // a storage's Version is not "1SPS"
  PropertyRecordSize,      // a record smaller than its header, or passing its storage
  PropertyNameSize,        // a named record's NameSize leaves no room for its value
  PropertyStorageEnd,      // a storage's records do not end where the storage does
  PropertyStoreEnd,        // the storages do not end where the block does
  TypedValueTruncated,     // a TypedPropertyValue shorter than its type needs
};

}  // namespace corvane::posix
