// POSIX declarations of the shell namespace names, with the SDK's spelling,
// layout and method order.
#pragma once

#include <cstdint>

#include "shell/posix/sdk/com.h"
#include "shell/posix/sdk/item_id_list.h"

using LPARAM = std::intptr_t;
using SFGAOF = ULONG;
using SHCONTF = DWORD;
using SHGDNF = DWORD;
using PCUITEMID_CHILD_ARRAY = const PCUITEMID_CHILD*;
using CHAR = char;

// Bind contexts are only ever passed as null here.
struct IBindCtx;

extern const IID IID_IShellFolder;  // {000214E6-0000-0000-C000-000000000046}
extern const IID IID_IEnumIDList;   // {000214F2-0000-0000-C000-000000000046}

inline constexpr DWORD SHCONTF_FOLDERS = 0x20;
inline constexpr DWORD SHCONTF_NONFOLDERS = 0x40;
inline constexpr DWORD SHCONTF_INCLUDEHIDDEN = 0x80;

inline constexpr DWORD SHGDN_NORMAL = 0x0;
inline constexpr DWORD SHGDN_INFOLDER = 0x1;
inline constexpr DWORD SHGDN_FORPARSING = 0x8000;

enum STRRET_TYPE {
  STRRET_WSTR = 0x0,
  STRRET_OFFSET = 0x1,
  STRRET_CSTR = 0x2,
};

struct STRRET {
  UINT uType;
  union {
    LPWSTR pOleStr;       // STRRET_WSTR: task memory, freed by its reader
    UINT uOffset;         // STRRET_OFFSET: ANSI text this far into the item
    CHAR cStr[MAX_PATH];  // STRRET_CSTR: ANSI text in place
  };
};
using LPSTRRET = STRRET*;

struct IEnumIDList : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** ppenum) = 0;
};

struct IShellFolder : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND hwnd, IBindCtx* pbc,
                                                     LPWSTR pszDisplayName, ULONG* pchEaten,
                                                     PIDLIST_RELATIVE* ppidl,
                                                     ULONG* pdwAttributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumObjects(HWND hwnd, SHCONTF grfFlags,
                                                IEnumIDList** ppenumIDList) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc,
                                                 REFIID riid, void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc,
                                                  REFIID riid, void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE pidl1,
                                               PCUIDLIST_RELATIVE pidl2) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateViewObject(HWND hwndOwner, REFIID riid, void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT cidl, PCUITEMID_CHILD_ARRAY apidl,
                                                    SFGAOF* rgfInOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND hwndOwner, UINT cidl,
                                                  PCUITEMID_CHILD_ARRAY apidl, REFIID riid,
                                                  UINT* rgfReserved, void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF uFlags,
                                                     STRRET* pName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNameOf(HWND hwnd, PCUITEMID_CHILD pidl, LPCWSTR pszName,
                                              SHGDNF uFlags, PITEMID_CHILD* ppidlOut) = 0;
};

// The root of the namespace. In the stand-in that is the file system's root:
// an absolute item-ID list is relative to it.
HRESULT SHGetDesktopFolder(IShellFolder** ppshf);

// The absolute item-ID list for a path, in task memory (CoTaskMemFree or
// ILFree frees it). HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when nothing is
// there.
HRESULT SHParseDisplayName(PCWSTR pszName, IBindCtx* pbc, PIDLIST_ABSOLUTE* ppidl, SFGAOF sfgaoIn,
                           SFGAOF* psfgaoOut);

// Copies the text of a STRRET into a buffer of cchBuf characters, cut to fit;
// frees the STRRET_WSTR text.
HRESULT StrRetToBufW(STRRET* pstr, PCUITEMID_CHILD pidl, LPWSTR pszBuf, UINT cchBuf);
