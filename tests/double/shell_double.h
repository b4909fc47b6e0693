// A scripted double of the shell boundary for unit tests. It records every
// call with its arguments, every release and free, and every line written to
// the console channels, in one ordered log, and returns the results that the
// test scripts. Install one ShellDouble per test; it captures std::wcout,
// std::wcerr and std::cout for its lifetime.
#pragma once

#include <streambuf>
#include <string>
#include <vector>

#include "shell/com.h"
#include "shell/item_id_list.h"

namespace corvane::testing {

// What the boundary answers. Defaults are the plain successes.
struct ShellScript {
  HRESULT coInitialize = S_OK;
  bool ilCreateFromPathReturnsNull = false;
  HRESULT coCreateInstance = S_OK;
  // CoCreateInstance reports coCreateInstance but hands out no object.
  bool coCreateInstanceWithoutObject = false;
  HRESULT modify = S_OK;
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

 private:
  class Capture;

  std::vector<std::string> log_;
  std::wstring out_;
  std::wstring err_;
  int liveObjects_ = 0;
  int liveLists_ = 0;
  int listsMade_ = 0;
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
