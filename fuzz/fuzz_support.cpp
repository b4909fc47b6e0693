#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>

namespace corvane::fuzz {
namespace {

std::string& RunFolder() {
  static std::string folder;
  return folder;
}

void RemoveRunFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(RunFolder(), ignored);
}

}  // namespace

void InitializeRun() {
  if (FAILED(CoInitialize(nullptr))) Fail("CoInitialize");
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/corvane-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  RunFolder() = pattern;
  std::atexit(RemoveRunFolder);
}

const RunFile& RunFilePath(const char* name) {
  static std::map<std::string, RunFile> files;
  auto [entry, added] = files.try_emplace(name);
  if (added) {
    entry->second.native = RunFolder() + "/" + name;
    // The folder's name is ASCII unless TMPDIR is not; the stand-in takes
    // wide names as UTF-8 either way, byte for byte below U+0080.
    for (unsigned char c : entry->second.native) entry->second.wide.push_back(c);
  }
  return entry->second;
}

void WriteRunFile(const RunFile& file, const std::uint8_t* data, std::size_t size) {
  const int fd = open(file.native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) Fail("open for writing");
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written <= 0) Fail("write");
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  close(fd);
}

std::string ReadRunFile(const RunFile& file) {
  std::string bytes;
  const int fd = open(file.native.c_str(), O_RDONLY);
  if (fd < 0) Fail("open for reading");
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) Fail("read");
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return bytes;
}

LinkObject::LinkObject() {
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
      FAILED(link->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(&store)))) {
    Fail("creating the link object");
  }
}

LinkObject::~LinkObject() {
  if (store != nullptr) store->Release();
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
}

}  // namespace corvane::fuzz
