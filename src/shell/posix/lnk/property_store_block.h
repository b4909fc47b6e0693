// The serialized property store of a link's PropertyStoreDataBlock: a list
// of property storages, one per format identifier, each a list of property
// records holding typed values. Parsing checks every size against the block;
// editing rebuilds the block with one value replaced, added or removed and
// every other byte as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/posix/lnk/bytes.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/lnk/refusal.h"
#include "shell/posix/sdk/property_store.h"

namespace corvane::posix {

struct PropertyRecord {
  Extent extent;         // the whole record, ValueSize included
  bool named = false;    // a record of the storage of named properties
  std::uint32_t id = 0;  // the property identifier of a numeric record
  Extent value;          // the TypedPropertyValue
};

struct PropertyStorage {
  Extent extent;  // the whole storage, StorageSize included
  GUID formatId{};
  std::vector<PropertyRecord> records;
};

// Parses a PropertyStoreDataBlock (BlockSize and signature included); the
// extents are relative to the block. Refusal::None, or why the block does
// not hold together.
Refusal ParsePropertyStoreBlock(Bytes block, std::vector<PropertyStorage>& storages);

// Whether a PropertyStoreDataBlock holds together, by the same checks as
// ParsePropertyStoreBlock, without listing anything.
Refusal CheckPropertyStoreBlock(Bytes block);

// The TypedPropertyValue of a key in a valid block (relative to the block):
// the first numeric record of the first storage of the key's format that
// has it. False when the key is not there.
bool FindPropertyValue(Bytes block, REFPROPERTYKEY key, Extent& value);

// A TypedPropertyValue's contents, for the types the stand-in reads and
// writes; any other type stands for itself alone.
struct TypedValue {
  VARTYPE type = VT_EMPTY;
  std::uint8_t fixed[8] = {};  // a fixed-size type's value, as stored
  std::wstring text;           // VT_LPWSTR and VT_BSTR, up to the first NUL when read
  std::string ansi;            // VT_LPSTR, up to the first NUL
  GUID guid{};                 // VT_CLSID
};

// Reads a TypedPropertyValue: Refusal::None, or TypedValueTruncated when the
// value's own sizes pass its end.
Refusal DecodeTypedValue(Bytes value, TypedValue& decoded);

// The TypedPropertyValue of a value. False for a type the stand-in does not
// write (VT_LPSTR among them).
bool EncodeTypedValue(const TypedValue& value, std::vector<std::uint8_t>& encoded);

// The block with the key's value set to the TypedPropertyValue given, or
// removed when value is null. An empty block stands for a link without one;
// the result is empty when nothing is left to store.
std::vector<std::uint8_t> BlockWithValue(Bytes block, const std::vector<PropertyStorage>& storages,
                                         REFPROPERTYKEY key,
                                         const std::vector<std::uint8_t>* value);

}  // namespace corvane::posix
