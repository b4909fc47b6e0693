// POSIX declarations of the property names, with the SDK's spelling, layout
// and method order.
#pragma once

#include "shell/posix/sdk/com.h"
#include "shell/posix/sdk/find_files.h"

using VARTYPE = std::uint16_t;
using PROPID = ULONG;
using SCODE = LONG;
using VARIANT_BOOL = std::int16_t;
using BSTR = WCHAR*;
using LPSTR = char*;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_FILETIME = 64,
  VT_CLSID = 72,
  VT_VECTOR = 0x1000,
};

struct PROPERTYKEY {
  GUID fmtid;
  DWORD pid;
};
using REFPROPERTYKEY = const PROPERTYKEY&;

extern const PROPERTYKEY PKEY_AppUserModel_ID;  // {9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}, 5
extern const IID IID_IPropertyStore;            // {886D8EEB-8CF2-4446-8D02-CDBA1DBDCF99}

// The tagged value. Only the members the stand-in fills are declared; the
// union is as large as the SDK's (16 bytes on a 64-bit build).
struct PROPVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    char cVal;
    BYTE bVal;
    std::int16_t iVal;
    USHORT uiVal;
    LONG lVal;
    ULONG ulVal;
    int intVal;
    UINT uintVal;
    std::int64_t hVal;
    std::uint64_t uhVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    FILETIME filetime;
    CLSID* puuid;
    BSTR bstrVal;
    LPSTR pszVal;
    LPWSTR pwszVal;
    struct {
      ULONG cElems;
      void* pElems;
    } cav;
  };
};
using REFPROPVARIANT = const PROPVARIANT&;

struct IPropertyStore : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCount(DWORD* cProps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAt(DWORD iProp, PROPERTYKEY* pkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* pv) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT propvar) = 0;
  virtual HRESULT STDMETHODCALLTYPE Commit() = 0;
};

// Frees what the variant owns and sets it to VT_EMPTY.
HRESULT PropVariantClear(PROPVARIANT* pvar);

// The BSTR allocator: a length-prefixed block, freed with SysFreeString.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
