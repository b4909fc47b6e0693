#include "shell/posix/objects/typed_value.h"

#include <cstring>
#include <string_view>

#include "shell/posix/lnk/layout.h"
#include "shell/posix/lnk/property_store_block.h"

namespace corvane::posix {
namespace {

template <typename T>
T* CopyToTaskMemory(const T* source, std::size_t count) {
  auto* copy = static_cast<T*>(CoTaskMemAlloc(count * sizeof(T)));
  if (copy != nullptr && count > 0) std::memcpy(copy, source, count * sizeof(T));
  return copy;
}

}  // namespace

HRESULT ReadTypedValue(Bytes value, PROPVARIANT& variant) {
  std::memset(&variant, 0, sizeof variant);
  TypedValue decoded;
  if (DecodeTypedValue(value, decoded) != Refusal::None) {
    return HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
  }
  if (const std::size_t size = layout::typed_value::FixedSize(decoded.type); size != 0) {
    std::memcpy(&variant.uhVal, decoded.fixed, size);
  } else if (decoded.type == VT_LPWSTR) {
    variant.pwszVal = CopyToTaskMemory(decoded.text.c_str(), decoded.text.size() + 1);
    if (variant.pwszVal == nullptr) return E_OUTOFMEMORY;
  } else if (decoded.type == VT_BSTR) {
    variant.bstrVal =
        SysAllocStringLen(decoded.text.data(), static_cast<UINT>(decoded.text.size()));
    if (variant.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if (decoded.type == VT_LPSTR) {
    variant.pszVal = CopyToTaskMemory(decoded.ansi.c_str(), decoded.ansi.size() + 1);
    if (variant.pszVal == nullptr) return E_OUTOFMEMORY;
  } else if (decoded.type == VT_CLSID) {
    variant.puuid = CopyToTaskMemory(&decoded.guid, 1);
    if (variant.puuid == nullptr) return E_OUTOFMEMORY;
  }
  variant.vt = decoded.type;
  return S_OK;
}

bool WriteTypedValue(REFPROPVARIANT variant, std::vector<std::uint8_t>& value) {
  TypedValue encoded;
  encoded.type = variant.vt;
  if (const std::size_t size = layout::typed_value::FixedSize(variant.vt); size != 0) {
    std::memcpy(encoded.fixed, &variant.uhVal, size);
  } else if (variant.vt == VT_LPWSTR) {
    if (variant.pwszVal == nullptr) return false;
    encoded.text = variant.pwszVal;
  } else if (variant.vt == VT_BSTR) {
    // A BSTR is as long as it says, NULs and all.
    if (variant.bstrVal == nullptr) return false;
    encoded.text.assign(variant.bstrVal, SysStringLen(variant.bstrVal));
  } else if (variant.vt == VT_CLSID) {
    if (variant.puuid == nullptr) return false;
    encoded.guid = *variant.puuid;
  }
  return EncodeTypedValue(encoded, value);
}

}  // namespace corvane::posix
