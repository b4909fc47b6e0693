// Sets a shortcut's AppUserModelID as s does (Load, SetValue, Commit, Save)
// with an identifier taken from the input, then loads the saved file in a
// new link object and checks it: the identifier reads back as written, and
// every byte outside the property store block is the original's.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "shell/posix/lnk/bytes.h"
#include "shell/posix/lnk/link_file.h"

namespace posix = corvane::posix;
using corvane::fuzz::Fail;

namespace {

// The identifier: the input's last byte gives a length of up to 40 UTF-16
// units, read from the bytes before it and cut at the first NUL, as a
// VT_LPWSTR ends there. Units are joined into characters as the program
// gets them from its command line: one wchar_t per character.
std::wstring IdentifierFrom(const std::uint8_t* data, std::size_t size) {
  std::wstring identifier;
  if (size == 0) return identifier;
  std::size_t units = data[size - 1] % 41;
  if (units * 2 > size - 1) units = (size - 1) / 2;
  const std::uint8_t* from = data + size - 1 - units * 2;
  posix::ReadUtf16(posix::Bytes(from, units * 2), 0, units, identifier);
  return identifier.substr(0, identifier.find(L'\0'));
}

// Where the property store block lies, or where one would be added.
posix::Extent StoreBlock(const posix::LinkFile& link) {
  if (link.propertyStoreBlock.size != 0) return link.propertyStoreBlock;
  return {link.terminalBlock, 0};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvane::fuzz::InitializeRun();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& path = corvane::fuzz::RunFilePath("save.lnk");
  corvane::fuzz::WriteRunFile(path, data, size);
  const std::wstring identifier = IdentifierFrom(data, size);

  {
    corvane::fuzz::LinkObject object;
    if (FAILED(object.file->Load(path.wide.c_str(), STGM_READWRITE))) return 0;
    // The program hands over a copy in task memory and clears it after.
    PROPVARIANT value{};
    value.vt = VT_LPWSTR;
    value.pwszVal =
        static_cast<wchar_t*>(CoTaskMemAlloc((identifier.size() + 1) * sizeof(wchar_t)));
    if (value.pwszVal == nullptr) Fail("CoTaskMemAlloc");
    std::memcpy(value.pwszVal, identifier.c_str(), (identifier.size() + 1) * sizeof(wchar_t));
    if (FAILED(object.store->SetValue(PKEY_AppUserModel_ID, value))) Fail("SetValue");
    PropVariantClear(&value);
    if (FAILED(object.store->Commit())) Fail("Commit of a loaded link");
    if (FAILED(object.file->Save(path.wide.c_str(), TRUE))) Fail("Save");
  }

  corvane::fuzz::LinkObject reloaded;
  if (FAILED(reloaded.file->Load(path.wide.c_str(), STGM_READ))) Fail("saved link does not load");
  PROPVARIANT value;
  if (FAILED(reloaded.store->GetValue(PKEY_AppUserModel_ID, &value))) Fail("GetValue after save");
  if (value.vt != VT_LPWSTR || value.pwszVal == nullptr || identifier != value.pwszVal) {
    Fail("identifier read back differs from the one written");
  }
  PropVariantClear(&value);

  // Everything before and after the block is as it was loaded.
  posix::LinkFile before, after;
  const std::string saved = corvane::fuzz::ReadRunFile(path);
  constexpr posix::Refusal kParsed = posix::Refusal::None;
  if (posix::ParseLinkFile(std::vector<std::uint8_t>(data, data + size), before) != kParsed ||
      posix::ParseLinkFile(std::vector<std::uint8_t>(saved.begin(), saved.end()), after) !=
          kParsed) {
    Fail("parsing the original or the saved bytes");
  }
  const posix::Extent oldBlock = StoreBlock(before);
  const posix::Extent newBlock = StoreBlock(after);
  const std::size_t oldEnd = oldBlock.offset + oldBlock.size;
  const std::size_t newEnd = newBlock.offset + newBlock.size;
  if (newBlock.offset != oldBlock.offset || size - oldEnd != saved.size() - newEnd ||
      std::memcmp(saved.data(), data, oldBlock.offset) != 0 ||
      std::memcmp(saved.data() + newEnd, data + oldEnd, size - oldEnd) != 0) {
    Fail("bytes outside the property store block changed");
  }
  return 0;
}
