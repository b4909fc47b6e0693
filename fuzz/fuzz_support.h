// What both link fuzzers share: an apartment for the whole run, a private
// folder for the files they load and save, and the link object's
// interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/com.h"
#include "shell/property_store.h"
#include "shell/shell_link.h"

namespace corvane::fuzz {

// Stops the run: libFuzzer keeps the input that got here as a crash.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}

// A folder of this process's own, removed at exit, and CoInitialize called
// once for the whole run.
void InitializeRun();

// The path of a file in the run's folder, as the native and the wide name.
struct RunFile {
  std::string native;
  std::wstring wide;
};
const RunFile& RunFilePath(const char* name);

void WriteRunFile(const RunFile& file, const std::uint8_t* data, std::size_t size);
std::string ReadRunFile(const RunFile& file);

// The three interfaces of one link object; each pointer is released by the
// destructor, in reverse order.
struct LinkObject {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  IPropertyStore* store = nullptr;

  LinkObject();
  LinkObject(const LinkObject&) = delete;
  LinkObject& operator=(const LinkObject&) = delete;
  ~LinkObject();
};

}  // namespace corvane::fuzz
