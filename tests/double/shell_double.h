// A scripted double of the shell boundary for unit tests. It records every
// call with its arguments, every release and free, and every line written to
// the console channels, in one ordered log, and returns the results that the
// test scripts. Install one ShellDouble per test; it captures std::wcout,
// std::wcerr and std::cout for its lifetime.
#pragma once

#include <map>
#include <set>
#include <streambuf>
#include <string>
#include <vector>

#include "shell/com.h"
#include "shell/item_id_list.h"
#include "shell/property_store.h"
#include "shell/shell_folder.h"
#include "shell/system.h"

namespace corvane::testing {

// What a link object answers once it has loaded a given path.
struct LinkScript {
  HRESULT load = S_OK;
  HRESULT queryPropertyStore = S_OK;
  HRESULT getValue = S_OK;
  // The variant GetValue fills: its type, and for VT_LPWSTR and VT_BSTR its
  // text, or a null string pointer.
  VARTYPE valueType = VT_EMPTY;
  std::wstring valueText;
  bool nullText = false;
  HRESULT setValue = S_OK;
  HRESULT commit = S_OK;
  HRESULT save = S_OK;
  // GetPath writes path (as much as fills the buffer, terminated only when
  // there is room) and returns getPath.
  HRESULT getPath = S_OK;
  std::wstring path;
  // GetArguments writes arguments and returns getArguments.
  HRESULT getArguments = S_OK;
  std::wstring arguments;
};

// What the boundary answers. Defaults are the plain successes.
struct ShellScript {
  HRESULT coInitialize = S_OK;
  bool ilCreateFromPathReturnsNull = false;
  // CoCreateInstance of the pinned-list object.
  HRESULT coCreateInstance = S_OK;
  // CoCreateInstance reports coCreateInstance but hands out no object.
  bool coCreateInstanceWithoutObject = false;
  HRESULT modify = S_OK;
  // A Modify that succeeds changes the pin folder as the taskbar does: a
  // pin adds the shortcut's file name to `files`, under the shortcut's link
  // script; an unpin takes out the entries whose script starts the same
  // target with the same arguments and identifier. False: it changes
  // nothing, whatever it answers.
  bool modifyChangesPinFolder = true;
  // CoCreateInstance of the shell link object, and its QueryInterface for
  // IPersistFile.
  HRESULT createShellLink = S_OK;
  // CoCreateInstance of the link object reports success but hands out none.
  bool createShellLinkWithoutObject = false;
  HRESULT queryPersistFile = S_OK;
  // The link object's answers: by the path given to Load, else `link`.
  LinkScript link;
  std::map<std::wstring, LinkScript> links;
  // A Save that succeeds stores the identifier SetValue was given, so that
  // later loads of the path read it back. False: the saved file keeps none.
  bool saveKeepsAppId = true;
  // CoTaskMemAlloc returns null.
  bool taskMemoryExhausted = false;
  // What GetEnvironmentVariableW finds.
  std::map<std::wstring, std::wstring> environment;
  // The searches of a checked pin. SHGetFolderPathW writes appData.
  HRESULT desktopFolder = S_OK;
  HRESULT appDataFolder = S_OK;
  std::wstring appData = L"C:\\Users\\me\\AppData\\Roaming";
  HRESULT parseDisplayName = S_OK;
  HRESULT bindToObject = S_OK;
  HRESULT enumObjects = S_OK;
  // EnumObjects reports enumObjects but hands out no enumerator.
  bool enumObjectsWithoutEnumerator = false;
  // The enumerator's items by parsing name; after them Next returns
  // nextAtEnd. A name in displayNameFails makes GetDisplayNameOf fail.
  std::vector<std::wstring> items;
  HRESULT nextAtEnd = S_FALSE;
  std::set<std::wstring> displayNameFails;
  HRESULT strRetToBuf = S_OK;
  // The entries FindFirstFileW and FindNextFileW yield; none means
  // INVALID_HANDLE_VALUE.
  std::vector<std::wstring> files;
};

class ShellDouble {
 public:
  ShellDouble();
  ShellDouble(const ShellDouble&) = delete;
  ShellDouble& operator=(const ShellDouble&) = delete;
  ~ShellDouble();

  ShellScript script;

  // The log, one entry per call or line, e.g.
  //   "CoInitialize(null)", "ILCreateFromPathW(C:\x.lnk) -> list1",
  //   "IPinnedList3::Modify(null, list1, 4)", "IPinnedList3::Release -> 0",
  //   "ILFree(list1)", "fputws(stderr): CoInitialize failed.\n",
  //   "wcout: text\n", "wcerr: text\n", "cout: text\n".
  // Wide text is logged as UTF-8.
  const std::vector<std::string>& log() const { return log_; }
  // Only the entries that start with one of the prefixes.
  std::vector<std::string> LogOf(std::initializer_list<const char*> prefixes) const;

  // Everything written to stdout (InfoStream and NarrowInfoStream) and to
  // stderr (ErrorStream and fputws), in the order written.
  const std::wstring& out() const { return out_; }
  const std::wstring& err() const { return err_; }

  // Objects and item-ID lists handed out and not yet released or freed.
  int liveObjects() const { return liveObjects_; }
  int liveLists() const { return liveLists_; }
  // Blocks from CoTaskMemAlloc and BSTRs handed out and not yet freed.
  int liveTaskMemory() const { return static_cast<int>(taskMemory_.size()); }
  int liveStrings() const { return liveStrings_; }

  // Milliseconds Sleep has waited, which is all GetTickCount64 counts.
  ULONGLONG clock = 0;

  // Searches opened by FindFirstFileW and not yet closed.
  int liveFinds() const { return liveFinds_; }

  // Used by the boundary's definitions.
  static ShellDouble& Current();
  void Record(std::string entry) { log_.push_back(std::move(entry)); }
  void WriteErr(std::wstring_view text) { err_ += text; }
  void ObjectCreated() { ++liveObjects_; }
  void ObjectDestroyed() { --liveObjects_; }
  std::string NameList(const void* list);
  // The name of a list handed out and not yet freed; empty when unknown.
  std::string ListName(const void* list) const;
  void ForgetList(const void* list);
  // A list in task memory that stands for the given path; ListText gives
  // the path back.
  void* NewNamedList(const std::wstring& path);
  void SetListText(const void* list, const std::wstring& path);
  std::wstring ListText(const void* list) const;
  int FindOpened() {
    ++liveFinds_;
    return ++findsMade_;
  }
  void FindClosed() { --liveFinds_; }
  void* AllocateTaskMemory(std::size_t size);
  // False (and a test failure) for a block that is not live.
  bool FreeTaskMemory(void* block);
  void StringCreated() { ++liveStrings_; }
  void StringDestroyed() { --liveStrings_; }

 private:
  class Capture;

  std::vector<std::string> log_;
  std::wstring out_;
  std::wstring err_;
  int liveObjects_ = 0;
  int liveLists_ = 0;
  int listsMade_ = 0;
  int liveStrings_ = 0;
  int liveFinds_ = 0;
  int findsMade_ = 0;
  std::map<const void*, std::wstring> listTexts_;
  std::set<void*> taskMemory_;
  std::vector<std::pair<const void*, std::string>> lists_;
  Capture* wcout_;
  Capture* wcerr_;
  Capture* cout_;
  std::wstreambuf* savedWcout_;
  std::wstreambuf* savedWcerr_;
  std::streambuf* savedCout_;
};

// Wide text as UTF-8, for the log and for test messages.
std::string Utf8(std::wstring_view text);

}  // namespace corvane::testing
