#include "double/shell_double.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iostream>

#include "shell/pinned_list.h"
#include "shell/posix/text.h"

namespace corvane::testing {
namespace {

ShellDouble* current = nullptr;

std::string GuidName(REFGUID guid) {
  if (guid == PinnedListClassId) return "PinnedListClassId";
  if (guid == IID_IPinnedList3) return "IID_IPinnedList3";
  if (guid == IID_IUnknown) return "IID_IUnknown";
  char text[64];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

class PinnedListDouble final : public IPinnedList3 {
 public:
  PinnedListDouble() { ShellDouble::Current().ObjectCreated(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    ShellDouble::Current().Record("IPinnedList3::QueryInterface(" + GuidName(riid) + ")");
    if (riid == IID_IUnknown || riid == IID_IPinnedList3) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ShellDouble& shell = ShellDouble::Current();
    if (references_ == 0) {
      ADD_FAILURE() << "IPinnedList3 released more often than referenced";
      return 0;
    }
    const ULONG remaining = --references_;
    shell.Record("IPinnedList3::Release -> " + std::to_string(remaining));
    if (remaining == 0) {
      shell.ObjectDestroyed();
      delete this;
    }
    return remaining;
  }

  HRESULT STDMETHODCALLTYPE Slot4() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot5() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot6() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot7() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot8() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot9() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot10() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot11() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot12() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot13() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot14() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot15() override { return Unexpected(); }
  HRESULT STDMETHODCALLTYPE Slot16() override { return Unexpected(); }

  HRESULT STDMETHODCALLTYPE Modify(PCIDLIST_ABSOLUTE unpinItem, PCIDLIST_ABSOLUTE pinItem,
                                   DWORD caller) override {
    ShellDouble& shell = ShellDouble::Current();
    auto name = [&](const void* list) {
      if (list == nullptr) return std::string("null");
      const std::string known = shell.ListName(list);
      return known.empty() ? std::string("<not a live list>") : known;
    };
    shell.Record("IPinnedList3::Modify(" + name(unpinItem) + ", " + name(pinItem) + ", " +
                 std::to_string(caller) + ")");
    return shell.script.modify;
  }

 private:
  static HRESULT Unexpected() {
    ADD_FAILURE() << "a placeholder slot of IPinnedList3 was called";
    return E_NOTIMPL;
  }
  ULONG references_ = 1;
};

}  // namespace

// Collects what one of the standard streams is given, and logs each line.
class ShellDouble::Capture : public std::wstreambuf {
 public:
  Capture(ShellDouble& owner, std::wstring& text, const char* channel)
      : owner_(owner), text_(text), channel_(channel) {}

  void Put(wchar_t c) {
    text_ += c;
    line_ += c;
    if (c == L'\n') {
      owner_.Record(std::string(channel_) + ": " + Utf8(line_));
      line_.clear();
    }
  }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) Put(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const wchar_t* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
    return n;
  }

 private:
  ShellDouble& owner_;
  std::wstring& text_;
  const char* channel_;
  std::wstring line_;
};

namespace {

// The narrow stream feeds the same capture as the wide one of stdout.
class NarrowCapture : public std::streambuf {
 public:
  explicit NarrowCapture(std::wstreambuf* wide) : wide_(wide) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      wide_->sputc(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) overflow(static_cast<unsigned char>(s[i]));
    return n;
  }

 private:
  std::wstreambuf* wide_;
};

}  // namespace

ShellDouble::ShellDouble() {
  if (current != nullptr) ADD_FAILURE() << "two ShellDoubles at once";
  current = this;
  wcout_ = new Capture(*this, out_, "wcout");
  wcerr_ = new Capture(*this, err_, "wcerr");
  cout_ = new Capture(*this, out_, "cout");
  savedWcout_ = std::wcout.rdbuf(wcout_);
  savedWcerr_ = std::wcerr.rdbuf(wcerr_);
  savedCout_ = std::cout.rdbuf(new NarrowCapture(cout_));
  for (std::ios_base* stream :
       std::initializer_list<std::ios_base*>{&std::wcout, &std::wcerr, &std::cout}) {
    stream->flags(std::ios_base::dec | std::ios_base::skipws);
  }
  std::wcerr.setf(std::ios_base::unitbuf);
  std::wcout.clear();
  std::wcerr.clear();
  std::cout.clear();
}

ShellDouble::~ShellDouble() {
  delete std::cout.rdbuf(savedCout_);
  std::wcout.rdbuf(savedWcout_);
  std::wcerr.rdbuf(savedWcerr_);
  std::wcout.clear();
  std::wcerr.clear();
  std::cout.clear();
  std::wcerr.flags(std::ios_base::dec | std::ios_base::skipws | std::ios_base::unitbuf);
  delete wcout_;
  delete wcerr_;
  delete cout_;
  for (auto& [list, name] : lists_) std::free(const_cast<void*>(list));
  current = nullptr;
}

ShellDouble& ShellDouble::Current() {
  if (current == nullptr) {
    ADD_FAILURE() << "the shell boundary was called without a ShellDouble";
    std::abort();
  }
  return *current;
}

std::vector<std::string> ShellDouble::LogOf(std::initializer_list<const char*> prefixes) const {
  std::vector<std::string> selected;
  for (const std::string& entry : log_) {
    for (const char* prefix : prefixes) {
      if (entry.rfind(prefix, 0) == 0) {
        selected.push_back(entry);
        break;
      }
    }
  }
  return selected;
}

std::string ShellDouble::NameList(const void* list) {
  std::string name = "list" + std::to_string(++listsMade_);
  lists_.emplace_back(list, name);
  ++liveLists_;
  return name;
}

std::string ShellDouble::ListName(const void* list) const {
  for (const auto& [known, name] : lists_) {
    if (known == list) return name;
  }
  return {};
}

void ShellDouble::ForgetList(const void* list) {
  for (auto it = lists_.begin(); it != lists_.end(); ++it) {
    if (it->first == list) {
      lists_.erase(it);
      --liveLists_;
      return;
    }
  }
}

std::string Utf8(std::wstring_view text) { return posix::EncodeNativeText(text); }

}  // namespace corvane::testing

using corvane::testing::ShellDouble;

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

HRESULT CoInitialize(LPVOID pvReserved) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record(pvReserved == nullptr ? "CoInitialize(null)" : "CoInitialize(non-null)");
  return shell.script.coInitialize;
}

void CoUninitialize() { ShellDouble::Current().Record("CoUninitialize"); }

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  ShellDouble& shell = ShellDouble::Current();
  shell.Record("CoCreateInstance(" + corvane::testing::GuidName(rclsid) + ", " +
               (pUnkOuter == nullptr ? "null" : "outer") + ", " +
               corvane::testing::Hex(dwClsContext) + ", " + corvane::testing::GuidName(riid) +
               ")");
  *ppv = nullptr;
  if (shell.script.coCreateInstanceWithoutObject || FAILED(shell.script.coCreateInstance)) {
    return shell.script.coCreateInstance;
  }
  if (rclsid == PinnedListClassId && riid == IID_IPinnedList3) {
    *ppv = static_cast<IPinnedList3*>(new corvane::testing::PinnedListDouble());
    return shell.script.coCreateInstance;
  }
  return REGDB_E_CLASSNOTREG;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb == 0 ? 1 : cb); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }

PIDLIST_ABSOLUTE ILCreateFromPathW(PCWSTR pszPath) {
  ShellDouble& shell = ShellDouble::Current();
  const std::string call = "ILCreateFromPathW(" + corvane::testing::Utf8(pszPath) + ")";
  if (shell.script.ilCreateFromPathReturnsNull) {
    shell.Record(call + " -> null");
    return nullptr;
  }
  auto* list = static_cast<ITEMIDLIST*>(std::calloc(1, sizeof(USHORT)));
  shell.Record(call + " -> " + shell.NameList(list));
  return list;
}

void ILFree(PIDLIST_RELATIVE pidl) {
  ShellDouble& shell = ShellDouble::Current();
  if (pidl == nullptr) {
    shell.Record("ILFree(null)");
    return;
  }
  const std::string name = shell.ListName(pidl);
  if (name.empty()) {
    ADD_FAILURE() << "ILFree of a list that is not live";
    shell.Record("ILFree(<not a live list>)");
    return;
  }
  shell.Record("ILFree(" + name + ")");
  shell.ForgetList(pidl);
  std::free(pidl);
}

extern "C" int fputws(const wchar_t* text, std::FILE* stream) {
  ShellDouble& shell = ShellDouble::Current();
  const char* name = stream == stderr ? "stderr" : stream == stdout ? "stdout" : "other";
  shell.Record(std::string("fputws(") + name + "): " + corvane::testing::Utf8(text));
  if (stream == stderr) shell.WriteErr(text);
  return 0;
}
