// A stand-in for the shell's pinned-list object, for running corv.exe under
// Wine, where nothing implements the class. It is an in-process COM server
// for {90AA3A4E-1CBA-4233-B8BB-535773D48449} whose vtable is written out
// slot by slot here, independently of the program's own declaration, so a
// call through the wrong slot shows up in the log.
//
// Like the taskbar, a Modify that succeeds changes the user's pin folder,
// %APPDATA%\Microsoft\Internet Explorer\Quick Launch\User Pinned\TaskBar:
// a pin puts a copy of the shortcut there under its own name ("App.lnk",
// then "App (2).lnk", ... when the name is taken by other bytes; nothing
// when a pin holds the same bytes already), and an unpin removes the pins
// that hold the shortcut's bytes, or else the pin under its name.
//
// Environment:
//   CORVANE_PINNED_LIST_LOG     file that receives one UTF-8 line per event
//                               (appended; nothing is logged when unset)
//   CORVANE_PINNED_LIST_RESULT  what Modify returns: S_OK (the default),
//                               S_FALSE, or an HRESULT such as 0x80004005
//   CORVANE_PINNED_LIST_WRITE   when a successful Modify changes the pin
//                               folder: "now" (the default), "late" (half a
//                               second after it returns, from a thread of
//                               its own), or "never" (it answers and changes
//                               nothing, as Windows 11 24H2 is reported to)
//
// Log lines:
//   Modify(<unpin>, <pin>, <caller>)  each list is "null" or the file-system
//                                     path it names in double quotes, or
//                                     "<no path>"; caller in decimal
//   Slot <n> called                   any of the 13 slots before Modify
//   Released                          the last reference went away
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

namespace {

const CLSID kPinnedListClass = {
    0x90AA3A4E, 0x1CBA, 0x4233, {0xB8, 0xBB, 0x53, 0x57, 0x73, 0xD4, 0x84, 0x49}};
const IID kPinnedList3 = {
    0x0DD79AE2, 0xD156, 0x45D4, {0x9E, 0xEB, 0x3B, 0x54, 0x97, 0x69, 0xE9, 0x40}};

LONG liveObjects = 0;
LONG serverLocks = 0;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) return std::wstring();
  return std::wstring(value, length);
}

void Log(const std::wstring& line) {
  const std::wstring logPath = Environment(L"CORVANE_PINNED_LIST_LOG");
  if (logPath.empty()) return;
  const std::wstring text = line + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  const HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring Describe(PCIDLIST_ABSOLUTE list) {
  if (list == nullptr) return L"null";
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(list, path)) return L"<no path>";
  return L"\"" + std::wstring(path) + L"\"";
}

// The bytes of a file; false when it cannot be read.
bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return true;
}

std::wstring PinFolder() {
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
    return std::wstring();
  }
  return std::wstring(appData) +
         L"\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar";
}

// "App.lnk" for the first number, then "App (2).lnk", "App (3).lnk", ...
std::wstring NumberedName(const std::wstring& name, int number) {
  if (number == 1) return name;
  const std::size_t dot = name.find_last_of(L'.');
  const std::size_t stem = dot == std::wstring::npos ? name.size() : dot;
  return name.substr(0, stem) + L" (" + std::to_wstring(number) + L")" + name.substr(stem);
}

// What the taskbar does to its folder when a pin or an unpin of the
// shortcut at path took.
void ChangePinFolder(const std::wstring& path, bool pin) {
  const std::wstring folder = PinFolder();
  std::string shortcut;
  if (folder.empty() || !ReadFileBytes(path, shortcut)) return;
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  if (pin) {
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    for (int number = 1; number < 100; ++number) {
      const std::wstring pinPath = folder + L"\\" + NumberedName(name, number);
      std::string pinned;
      if (ReadFileBytes(pinPath, pinned)) {
        if (pinned == shortcut) return;
        continue;
      }
      CopyFileW(path.c_str(), pinPath.c_str(), TRUE);
      return;
    }
    return;
  }
  bool removed = false;
  WIN32_FIND_DATAW entry;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring pinPath = folder + L"\\" + entry.cFileName;
      std::string pinned;
      if (ReadFileBytes(pinPath, pinned) && pinned == shortcut && DeleteFileW(pinPath.c_str())) {
        removed = true;
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  if (!removed) DeleteFileW((folder + L"\\" + name).c_str());
}

// A change the taskbar makes half a second late. It holds the server, so
// the DLL stays loaded until the thread is done.
struct LateChange {
  std::wstring path;
  bool pin;
};

DWORD WINAPI MakeLateChange(LPVOID parameter) {
  LateChange* change = static_cast<LateChange*>(parameter);
  Sleep(500);
  ChangePinFolder(change->path, change->pin);
  delete change;
  InterlockedDecrement(&serverLocks);
  return 0;
}

void ChangePinFolderAsConfigured(PCIDLIST_ABSOLUTE item, bool pin) {
  const std::wstring when = Environment(L"CORVANE_PINNED_LIST_WRITE");
  wchar_t path[MAX_PATH] = {};
  if (when == L"never" || !SHGetPathFromIDListW(item, path)) return;
  if (when != L"late") {
    ChangePinFolder(path, pin);
    return;
  }
  InterlockedIncrement(&serverLocks);
  const HANDLE thread =
      CreateThread(nullptr, 0, MakeLateChange, new LateChange{path, pin}, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

HRESULT ConfiguredResult() {
  const std::wstring text = Environment(L"CORVANE_PINNED_LIST_RESULT");
  if (text.empty() || text == L"S_OK") return S_OK;
  if (text == L"S_FALSE") return S_FALSE;
  return static_cast<HRESULT>(std::wcstoul(text.c_str(), nullptr, 0));
}

// The object: a pointer to its vtable, then the reference count.
struct PinnedList;

struct PinnedListVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(PinnedList*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(PinnedList*);
  ULONG(STDMETHODCALLTYPE* Release)(PinnedList*);
  HRESULT(STDMETHODCALLTYPE* Placeholders[13])(PinnedList*);
  // clang-format takes this parameter list for a statement of its own.
  // clang-format off
  HRESULT(STDMETHODCALLTYPE* Modify)(PinnedList*, PCIDLIST_ABSOLUTE unpin, PCIDLIST_ABSOLUTE pin,
                                     DWORD caller);
  // clang-format on
};

struct PinnedList {
  const PinnedListVtbl* vtbl;
  LONG references;
};

HRESULT STDMETHODCALLTYPE QueryInterface(PinnedList* self, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kPinnedList3)) {
    InterlockedIncrement(&self->references);
    *object = self;
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(PinnedList* self) {
  return static_cast<ULONG>(InterlockedIncrement(&self->references));
}

ULONG STDMETHODCALLTYPE Release(PinnedList* self) {
  const LONG left = InterlockedDecrement(&self->references);
  if (left == 0) {
    Log(L"Released");
    delete self;
    InterlockedDecrement(&liveObjects);
  }
  return static_cast<ULONG>(left);
}

template <int Slot>
HRESULT STDMETHODCALLTYPE Placeholder(PinnedList*) {
  Log(L"Slot " + std::to_wstring(Slot) + L" called");
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Modify(PinnedList*, PCIDLIST_ABSOLUTE unpin, PCIDLIST_ABSOLUTE pin,
                                 DWORD caller) {
  Log(L"Modify(" + Describe(unpin) + L", " + Describe(pin) + L", " + std::to_wstring(caller) +
      L")");
  const HRESULT result = ConfiguredResult();
  if (SUCCEEDED(result) && (pin == nullptr) != (unpin == nullptr)) {
    ChangePinFolderAsConfigured(pin != nullptr ? pin : unpin, pin != nullptr);
  }
  return result;
}

const PinnedListVtbl kPinnedListVtbl = {
    QueryInterface,
    AddRef,
    Release,
    {Placeholder<4>, Placeholder<5>, Placeholder<6>, Placeholder<7>, Placeholder<8>, Placeholder<9>,
     Placeholder<10>, Placeholder<11>, Placeholder<12>, Placeholder<13>, Placeholder<14>,
     Placeholder<15>, Placeholder<16>},
    Modify,
};

class ClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object: its references only keep the DLL.
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&serverLocks));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    return static_cast<ULONG>(InterlockedDecrement(&serverLocks));
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    PinnedList* list = new PinnedList{&kPinnedListVtbl, 1};
    InterlockedIncrement(&liveObjects);
    const HRESULT result = QueryInterface(list, riid, object);
    Release(list);
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&serverLocks);
    } else {
      InterlockedDecrement(&serverLocks);
    }
    return S_OK;
  }

 private:
  static HRESULT QueryInterface(PinnedList* list, REFIID riid, void** object) {
    return list->vtbl->QueryInterface(list, riid, object);
  }
  static void Release(PinnedList* list) { list->vtbl->Release(list); }
};

ClassFactory factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(rclsid, kPinnedListClass)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
