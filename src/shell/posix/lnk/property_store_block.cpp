#include "shell/posix/lnk/property_store_block.h"

#include <cstring>
#include <new>

namespace corvane::posix {
namespace {

constexpr std::uint32_t kStorageVersion = 0x53505331;  // "1SPS"
// Storages with this format identifier hold named records.
constexpr GUID kNamedPropertiesFormatId = {
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

constexpr std::size_t kBlockHeaderSize = 8;     // BlockSize, BlockSignature
constexpr std::size_t kStorageHeaderSize = 24;  // StorageSize, Version, FormatID
constexpr std::size_t kRecordHeaderSize = 9;    // ValueSize, id or NameSize, Reserved
constexpr std::size_t kTypedValueHeaderSize = 4;  // Type, Padding

const HRESULT kCorrupt = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);

// Walks the records of the storage at extent, handing each to onRecord;
// false when they do not fill the storage up to its terminator.
template <typename OnRecord>
bool WalkRecords(Bytes block, Extent extent, bool named, OnRecord&& onRecord) {
  const std::size_t end = extent.offset + extent.size;
  std::size_t offset = extent.offset + kStorageHeaderSize;
  for (;;) {
    std::uint32_t valueSize = 0;
    if (offset + 4 > end || !ReadU32(block, offset, valueSize)) return false;
    if (valueSize == 0) return offset + 4 == end;  // the terminator ends the storage
    if (valueSize < kRecordHeaderSize + kTypedValueHeaderSize || valueSize > end - offset) {
      return false;
    }
    PropertyRecord record;
    record.extent = {offset, valueSize};
    record.named = named;
    ReadU32(block, offset + 4, record.id);
    std::size_t valueOffset = kRecordHeaderSize;
    if (record.named) {
      // id holds NameSize: the name's bytes, its terminator included.
      if (record.id > valueSize - kRecordHeaderSize - kTypedValueHeaderSize) return false;
      valueOffset += record.id;
    }
    record.value = {offset + valueOffset, valueSize - valueOffset};
    onRecord(record);
    offset += valueSize;
  }
}

// Walks a PropertyStoreDataBlock: onStorage(extent, formatId) for each
// storage, then onRecord(record) for each of its records, then onStorageEnd()
// once they all held together. False when the block does not hold together;
// the callbacks may have seen part of it.
template <typename OnStorage, typename OnRecord, typename OnStorageEnd>
bool WalkBlock(Bytes block, OnStorage&& onStorage, OnRecord&& onRecord,
               OnStorageEnd&& onStorageEnd) {
  std::size_t offset = kBlockHeaderSize;
  for (;;) {
    std::uint32_t storageSize = 0;
    if (!ReadU32(block, offset, storageSize)) return false;
    if (storageSize == 0) return offset + 4 == block.size();
    if (storageSize < kStorageHeaderSize + 4 || !Fits(block.size(), offset, storageSize)) {
      return false;
    }
    const Extent extent{offset, storageSize};
    std::uint32_t version = 0;
    GUID formatId{};
    ReadU32(block, offset + 4, version);
    ReadGuid(block, offset + 8, formatId);
    if (version != kStorageVersion) return false;
    onStorage(extent, formatId);
    if (!WalkRecords(block, extent, formatId == kNamedPropertiesFormatId, onRecord)) return false;
    onStorageEnd();
    offset += storageSize;
  }
}

template <typename T>
T* CopyToTaskMemory(const T* source, std::size_t count) {
  auto* copy = static_cast<T*>(CoTaskMemAlloc(count * sizeof(T)));
  if (copy != nullptr && count > 0) std::memcpy(copy, source, count * sizeof(T));
  return copy;
}

// Size of the data of a fixed-size type; 0 for any other type.
std::size_t FixedSize(VARTYPE type) {
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

void PadToFour(std::vector<std::uint8_t>& out, std::size_t start) {
  while ((out.size() - start) % 4 != 0) out.push_back(0);
}

void AppendRecord(std::vector<std::uint8_t>& out, std::uint32_t id,
                  const std::vector<std::uint8_t>& value) {
  AppendU32(out, static_cast<std::uint32_t>(kRecordHeaderSize + value.size()));
  AppendU32(out, id);
  out.push_back(0);
  out.insert(out.end(), value.begin(), value.end());
}

}  // namespace

bool ParsePropertyStoreBlock(Bytes block, std::vector<PropertyStorage>& storages) {
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

bool ValidPropertyStoreBlock(Bytes block) {
  return WalkBlock(block, [](Extent, const GUID&) {}, [](const PropertyRecord&) {}, [] {});
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

const PropertyRecord* FindProperty(const std::vector<PropertyStorage>& storages,
                                   REFPROPERTYKEY key) {
  for (const PropertyStorage& storage : storages) {
    if (storage.formatId != key.fmtid) continue;
    for (const PropertyRecord& record : storage.records) {
      if (!record.named && record.id == key.pid) return &record;
    }
  }
  return nullptr;
}

HRESULT ReadTypedValue(Bytes value, PROPVARIANT& variant) {
  std::memset(&variant, 0, sizeof variant);
  std::uint16_t type = 0;
  // The type and its padding come before any data.
  if (!ReadU16(value, 0, type) || value.size() < kTypedValueHeaderSize) return kCorrupt;
  const Bytes data = value.subspan(kTypedValueHeaderSize);

  if (const std::size_t size = FixedSize(type); size != 0) {
    if (data.size() < size) return kCorrupt;
    std::memcpy(&variant.uhVal, data.data(), size);
  } else if (type == VT_LPWSTR || type == VT_BSTR) {
    // VT_LPWSTR counts characters, VT_BSTR bytes; both include the NUL.
    std::uint32_t length = 0;
    if (!ReadU32(data, 0, length)) return kCorrupt;
    const std::size_t units = type == VT_LPWSTR ? length : length / 2;
    std::wstring text;
    if (!ReadUtf16(data, 4, units, text)) return kCorrupt;
    text = text.substr(0, text.find(L'\0'));
    if (type == VT_LPWSTR) {
      variant.pwszVal = CopyToTaskMemory(text.c_str(), text.size() + 1);
      if (variant.pwszVal == nullptr) return E_OUTOFMEMORY;
    } else {
      variant.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (variant.bstrVal == nullptr) return E_OUTOFMEMORY;
    }
  } else if (type == VT_LPSTR) {
    std::uint32_t length = 0;
    if (!ReadU32(data, 0, length) || !Fits(data.size(), 4, length)) return kCorrupt;
    std::string text(reinterpret_cast<const char*>(data.data() + 4), length);
    text = text.substr(0, text.find('\0'));
    variant.pszVal = CopyToTaskMemory(text.c_str(), text.size() + 1);
    if (variant.pszVal == nullptr) return E_OUTOFMEMORY;
  } else if (type == VT_CLSID) {
    GUID guid{};
    if (!ReadGuid(data, 0, guid)) return kCorrupt;
    variant.puuid = CopyToTaskMemory(&guid, 1);
    if (variant.puuid == nullptr) return E_OUTOFMEMORY;
  }
  // Any other type (vectors, arrays, blobs, streams) comes back with its
  // type alone: nothing in this program reads such a value.
  variant.vt = type;
  return S_OK;
}

bool EncodeTypedValue(REFPROPVARIANT variant, std::vector<std::uint8_t>& value) {
  value.clear();
  AppendU16(value, variant.vt);
  AppendU16(value, 0);
  if (const std::size_t size = FixedSize(variant.vt); size != 0) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(&variant.uhVal);
    value.insert(value.end(), data, data + size);
  } else if (variant.vt == VT_LPWSTR || variant.vt == VT_BSTR) {
    const wchar_t* text = variant.vt == VT_LPWSTR ? variant.pwszVal : variant.bstrVal;
    if (text == nullptr) return false;
    const std::u16string units = ToUtf16(variant.vt == VT_BSTR
                                             ? std::wstring_view(text, SysStringLen(variant.bstrVal))
                                             : std::wstring_view(text));
    const std::size_t count = units.size() + 1;
    AppendU32(value, static_cast<std::uint32_t>(variant.vt == VT_LPWSTR ? count : count * 2));
    for (char16_t unit : units) AppendU16(value, unit);
    AppendU16(value, 0);
  } else if (variant.vt == VT_CLSID) {
    if (variant.puuid == nullptr) return false;
    AppendGuid(value, *variant.puuid);
  } else {
    return false;
  }
  PadToFour(value, 0);
  return true;
}

std::vector<std::uint8_t> BlockWithValue(Bytes block, const std::vector<PropertyStorage>& storages,
                                         REFPROPERTYKEY key,
                                         const std::vector<std::uint8_t>* value) {
  if (block.empty() && value == nullptr) return {};
  std::vector<std::uint8_t> out;
  AppendU32(out, 0);  // BlockSize, set below
  AppendU32(out, kPropertyStoreDataBlockSignature);

  bool stored = false;
  for (const PropertyStorage& storage : storages) {
    const bool target = !stored && storage.formatId == key.fmtid &&
                        storage.formatId != kNamedPropertiesFormatId;
    if (!target) {
      const Bytes bytes = block.subspan(storage.extent.offset, storage.extent.size);
      out.insert(out.end(), bytes.begin(), bytes.end());
      continue;
    }
    const std::size_t start = out.size();
    const Bytes header = block.subspan(storage.extent.offset, kStorageHeaderSize);
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
    AppendU32(out, kStorageVersion);
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
