// The shell's pinned-list object, which the SDK does not declare. Only
// Modify, the 17th slot counting IUnknown's three, is ever called; the
// thirteen slots before it hold the vtable layout and nothing else.
#pragma once

#include "shell/com.h"
#include "shell/item_id_list.h"

// {90AA3A4E-1CBA-4233-B8BB-535773D48449}
inline constexpr CLSID PinnedListClassId = {
    0x90AA3A4E, 0x1CBA, 0x4233, {0xB8, 0xBB, 0x53, 0x57, 0x73, 0xD4, 0x84, 0x49}};
// {0DD79AE2-D156-45D4-9EEB-3B549769E940}
inline constexpr IID IID_IPinnedList3 = {
    0x0DD79AE2, 0xD156, 0x45D4, {0x9E, 0xEB, 0x3B, 0x54, 0x97, 0x69, 0xE9, 0x40}};

// Where the taskbar keeps its pinned shortcuts, below the application-data
// folder (CSIDL_APPDATA): one shortcut file a pin.
inline constexpr wchar_t PinnedListFolderSuffix[] =
    L"\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar";

// Third argument of Modify for every change the program makes.
inline constexpr DWORD PinnedListModifyCaller = 4;

struct IPinnedList3 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Slot4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot11() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot12() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot13() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot14() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot15() = 0;
  virtual HRESULT STDMETHODCALLTYPE Slot16() = 0;
  // Takes unpinItem off the taskbar or puts pinItem on it; the other is null.
  virtual HRESULT STDMETHODCALLTYPE Modify(PCIDLIST_ABSOLUTE unpinItem, PCIDLIST_ABSOLUTE pinItem,
                                           DWORD caller) = 0;
};
