#include "shell/posix/lnk/property_store_block.h"

#include <algorithm>
#include <cstring>

namespace corvane::posix {
namespace {

namespace store = layout::property_store;
namespace typed_value = layout::typed_value;

// Walks the records of the storage at extent, handing each to onRecord.
// Refusal::None once they fill the storage up to its terminator.
template <typename OnRecord>
Refusal WalkRecords(Bytes block, Extent extent, bool named, OnRecord&& onRecord) {
  const std::size_t end = extent.offset + extent.size;
  std::size_t offset = extent.offset + store::kStorageHeaderSize;
  for (;;) {
    std::uint32_t valueSize = 0;
    if (offset + store::kTerminatorSize > end ||
        !ReadU32(block, offset + store::kValueSize, valueSize)) {
      return Refusal::PropertyStorageEnd;
    }
    if (valueSize == 0) {
      // The terminator ends the storage.
      return offset + store::kTerminatorSize == end ? Refusal::None : Refusal::PropertyStorageEnd;
    }
    if (valueSize < store::kRecordHeaderSize + typed_value::kHeaderSize ||
        valueSize > end - offset) {
      return Refusal::PropertyRecordSize;
    }
    PropertyRecord record;
    record.extent = {offset, valueSize};
    record.named = named;
    ReadU32(block, offset + store::kIdOrNameSize, record.id);
    std::size_t valueOffset = store::kRecordHeaderSize;
    if (record.named) {
      // id holds NameSize: the name's bytes, its terminator included.
      if (record.id > valueSize - store::kRecordHeaderSize - typed_value::kHeaderSize) {
        return Refusal::PropertyNameSize;
      }
      valueOffset += record.id;
    }
    record.value = {offset + valueOffset, valueSize - valueOffset};
    onRecord(record);
    offset += valueSize;
  }
}

// Walks a PropertyStoreDataBlock: onStorage(extent, formatId) for each
// storage, then onRecord(record) for each of its records, then onStorageEnd()
// once they all held together. Refusal::None when the whole block holds
// together; otherwise the callbacks may have seen part of it.
template <typename OnStorage, typename OnRecord, typename OnStorageEnd>
Refusal WalkBlock(Bytes block, OnStorage&& onStorage, OnRecord&& onRecord,
                  OnStorageEnd&& onStorageEnd) {
  std::size_t offset = layout::extra_data::kBlockHeaderSize;
  for (;;) {
    std::uint32_t storageSize = 0;
    if (!ReadU32(block, offset + store::kStorageSize, storageSize)) {
      return Refusal::PropertyStoreEnd;
    }
    if (storageSize == 0) {
      return offset + store::kTerminatorSize == block.size() ? Refusal::None
                                                             : Refusal::PropertyStoreEnd;
    }
    if (storageSize < store::kStorageHeaderSize + store::kTerminatorSize ||
        !Fits(block.size(), offset, storageSize)) {
      return Refusal::PropertyStorageSize;
    }
    const Extent extent{offset, storageSize};
    std::uint32_t version = 0;
    GUID formatId{};
    ReadU32(block, offset + store::kStorageVersion, version);
    ReadGuid(block, offset + store::kFormatId, formatId);
    if (version != store::kVersion) return Refusal::PropertyStorageVersion;
    onStorage(extent, formatId);
    const Refusal refusal =
        WalkRecords(block, extent, formatId == store::kNamedPropertiesFormatId, onRecord);
    if (refusal != Refusal::None) return refusal;
    onStorageEnd();
    offset += storageSize;
  }
}

void PadToFour(std::vector<std::uint8_t>& out, std::size_t start) {
  while ((out.size() - start) % typed_value::kAlignment != 0) out.push_back(0);
}

void AppendRecord(std::vector<std::uint8_t>& out, std::uint32_t id,
                  const std::vector<std::uint8_t>& value) {
  AppendU32(out, static_cast<std::uint32_t>(store::kRecordHeaderSize + value.size()));
  AppendU32(out, id);
  out.push_back(0);  // Reserved
  out.insert(out.end(), value.begin(), value.end());
}

}  // namespace

Refusal ParsePropertyStoreBlock(Bytes block, std::vector<PropertyStorage>& storages) {
  storages.clear();
  // A storage is listed once all of its records held together.
  PropertyStorage storage;
  return WalkBlock(
      block,
      [&](Extent extent, const GUID& formatId) {
        storage.extent = extent;
        storage.formatId = formatId;
        storage.records.clear();
      },
      [&](const PropertyRecord& record) { storage.records.push_back(record); },
      [&] { storages.push_back(storage); });
}

Refusal CheckPropertyStoreBlock(Bytes block) {
  return WalkBlock(
      block, [](Extent, const GUID&) {}, [](const PropertyRecord&) {}, [] {});
}

bool FindPropertyValue(Bytes block, REFPROPERTYKEY key, Extent& value) {
  bool found = false;
  bool inKeyStorage = false;
  WalkBlock(
      block, [&](Extent, const GUID& formatId) { inKeyStorage = formatId == key.fmtid; },
      [&](const PropertyRecord& record) {
        if (!found && inKeyStorage && !record.named && record.id == key.pid) {
          value = record.value;
          found = true;
        }
      },
      [] {});
  return found;
}

Refusal DecodeTypedValue(Bytes value, TypedValue& decoded) {
  decoded = TypedValue{};
  std::uint16_t type = 0;
  // The type and its padding come before any data.
  if (!ReadU16(value, typed_value::kType, type) || value.size() < typed_value::kHeaderSize) {
    return Refusal::TypedValueTruncated;
  }
  const Bytes data = value.subspan(typed_value::kHeaderSize);
  constexpr std::size_t kText = typed_value::kLengthField;

  if (const std::size_t size = typed_value::FixedSize(type); size != 0) {
    if (data.size() < size) return Refusal::TypedValueTruncated;
    std::memcpy(decoded.fixed, data.data(), size);
  } else if (type == VT_LPWSTR || type == VT_BSTR) {
    // VT_LPWSTR counts characters, VT_BSTR bytes; both include the NUL.
    std::uint32_t length = 0;
    if (!ReadU32(data, 0, length)) return Refusal::TypedValueTruncated;
    const std::size_t units = type == VT_LPWSTR ? length : length / 2;
    if (!ReadUtf16(data, kText, units, decoded.text)) return Refusal::TypedValueTruncated;
    decoded.text.resize(std::min(decoded.text.size(), decoded.text.find(L'\0')));
  } else if (type == VT_LPSTR) {
    std::uint32_t length = 0;
    if (!ReadU32(data, 0, length) || !Fits(data.size(), kText, length)) {
      return Refusal::TypedValueTruncated;
    }
    decoded.ansi.assign(reinterpret_cast<const char*>(data.data() + kText), length);
    decoded.ansi.resize(std::min(decoded.ansi.size(), decoded.ansi.find('\0')));
  } else if (type == VT_CLSID) {
    if (!ReadGuid(data, 0, decoded.guid)) return Refusal::TypedValueTruncated;
  }
  // Any other type (vectors, arrays, blobs, streams) comes back with its
  // type alone: nothing in this program reads such a value.
  decoded.type = type;
  return Refusal::None;
}

bool EncodeTypedValue(const TypedValue& value, std::vector<std::uint8_t>& encoded) {
  encoded.clear();
  AppendU16(encoded, value.type);
  AppendU16(encoded, 0);  // Padding
  if (const std::size_t size = typed_value::FixedSize(value.type); size != 0) {
    encoded.insert(encoded.end(), value.fixed, value.fixed + size);
  } else if (value.type == VT_LPWSTR || value.type == VT_BSTR) {
    const std::size_t countAt = encoded.size();
    AppendU32(encoded, 0);  // the count of characters (or bytes, for a BSTR), set below
    const std::size_t count = AppendUtf16(encoded, value.text) + 1;
    AppendU16(encoded, 0);
    WriteU32(encoded, countAt,
             static_cast<std::uint32_t>(value.type == VT_LPWSTR ? count : count * 2));
  } else if (value.type == VT_CLSID) {
    AppendGuid(encoded, value.guid);
  } else {
    return false;
  }
  PadToFour(encoded, 0);
  return true;
}

std::vector<std::uint8_t> BlockWithValue(Bytes block, const std::vector<PropertyStorage>& storages,
                                         REFPROPERTYKEY key,
                                         const std::vector<std::uint8_t>* value) {
  if (block.empty() && value == nullptr) return {};
  std::vector<std::uint8_t> out;
  AppendU32(out, 0);  // BlockSize, set below
  AppendU32(out, layout::extra_data::kPropertyStoreDataBlockSignature);

  bool stored = false;
  for (const PropertyStorage& storage : storages) {
    const bool target = !stored && storage.formatId == key.fmtid &&
                        storage.formatId != store::kNamedPropertiesFormatId;
    if (!target) {
      const Bytes bytes = block.subspan(storage.extent.offset, storage.extent.size);
      out.insert(out.end(), bytes.begin(), bytes.end());
      continue;
    }
    const std::size_t start = out.size();
    const Bytes header = block.subspan(storage.extent.offset, store::kStorageHeaderSize);
    out.insert(out.end(), header.begin(), header.end());
    for (const PropertyRecord& record : storage.records) {
      if (!stored && record.id == key.pid) {
        // The value is replaced where it stands, or the record dropped.
        if (value != nullptr) AppendRecord(out, key.pid, *value);
        stored = true;
        continue;
      }
      const Bytes bytes = block.subspan(record.extent.offset, record.extent.size);
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
    if (!stored && value != nullptr) AppendRecord(out, key.pid, *value);
    stored = true;
    AppendU32(out, 0);
    WriteU32(out, start, static_cast<std::uint32_t>(out.size() - start));
  }
  if (!stored && value != nullptr) {
    const std::size_t start = out.size();
    AppendU32(out, 0);
    AppendU32(out, store::kVersion);
    AppendGuid(out, key.fmtid);
    AppendRecord(out, key.pid, *value);
    AppendU32(out, 0);
    WriteU32(out, start, static_cast<std::uint32_t>(out.size() - start));
  }
  AppendU32(out, 0);  // the store's terminator
  WriteU32(out, 0, static_cast<std::uint32_t>(out.size()));
  return out;
}

}  // namespace corvane::posix
