// Property variants: PropVariantClear frees what a variant owns.
#include <cstring>

#include "shell/posix/sdk/property_store.h"

HRESULT PropVariantClear(PROPVARIANT* pvar) {
  if (pvar == nullptr) return S_OK;
  switch (pvar->vt) {
    case VT_LPWSTR:
      CoTaskMemFree(pvar->pwszVal);
      break;
    case VT_LPSTR:
      CoTaskMemFree(pvar->pszVal);
      break;
    case VT_CLSID:
      CoTaskMemFree(pvar->puuid);
      break;
    case VT_BSTR:
      SysFreeString(pvar->bstrVal);
      break;
    default:
      break;
  }
  std::memset(pvar, 0, sizeof *pvar);
  return S_OK;
}
