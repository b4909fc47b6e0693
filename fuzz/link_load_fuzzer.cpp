// Loads arbitrary bytes as a shortcut through the link object, as g, v and
// the pin searches do, and reads what they read: the path into a MAX_PATH
// buffer, the AppUserModelID and every other stored value. The parser and
// the two target readers also get the bytes directly. Sanitizers catch any
// read outside the bytes; the checks below catch answers that disagree.
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "shell/posix/host/native_text.h"
#include "shell/posix/lnk/link_file.h"
#include "shell/posix/lnk/link_target.h"
#include "shell/posix/lnk/property_store_block.h"
#include "shell/posix/objects/typed_value.h"

namespace posix = corvane::posix;
using corvane::fuzz::Fail;

namespace {

// Reads a value and frees it as the program does.
void ReadAndClear(IPropertyStore* store, REFPROPERTYKEY key) {
  PROPVARIANT value;
  const HRESULT hr = store->GetValue(key, &value);
  if (SUCCEEDED(hr) && value.vt == VT_LPWSTR && value.pwszVal == nullptr) {
    Fail("string value without text");
  }
  if (FAILED(hr) && value.vt != VT_EMPTY) Fail("failed GetValue left a value");
  PropVariantClear(&value);
}

void ThroughTheLinkObject(const std::uint8_t* data, std::size_t size) {
  const auto& path = corvane::fuzz::RunFilePath("load.lnk");
  corvane::fuzz::WriteRunFile(path, data, size);

  corvane::fuzz::LinkObject object;
  const HRESULT loaded = object.file->Load(path.wide.c_str(), STGM_READ);

  posix::LinkFile parsed;
  const posix::Refusal refusal =
      posix::ParseLinkFile(std::vector<std::uint8_t>(data, data + size), parsed);
  if (SUCCEEDED(loaded) != (refusal == posix::Refusal::None)) {
    Fail("Load and ParseLinkFile disagree");
  }
  if (FAILED(loaded)) {
    if (loaded != HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT)) Fail("unexpected Load failure");
    return;
  }

  // A buffer of exactly MAX_PATH units on the heap, so a write past it is
  // caught.
  const auto buffer = std::make_unique<wchar_t[]>(MAX_PATH);
  const HRESULT got = object.link->GetPath(buffer.get(), MAX_PATH, nullptr, 0);
  if (FAILED(got)) Fail("GetPath failed on a loaded link");
  const std::wstring target = posix::LinkTarget(parsed);
  wchar_t expected[MAX_PATH];
  posix::CopyUtf16Prefix(target, expected, MAX_PATH);
  if ((got == S_FALSE) != target.empty() || std::wstring_view(buffer.get()) != expected) {
    Fail("GetPath differs from the link's target");
  }

  ReadAndClear(object.store, PKEY_AppUserModel_ID);
  DWORD count = 0;
  if (FAILED(object.store->GetCount(&count))) Fail("GetCount");
  for (DWORD i = 0; i < count; ++i) {
    PROPERTYKEY key{};
    if (FAILED(object.store->GetAt(i, &key))) Fail("GetAt below GetCount");
    ReadAndClear(object.store, key);
  }

  PIDLIST_ABSOLUTE list = nullptr;
  if (SUCCEEDED(object.link->GetIDList(&list))) CoTaskMemFree(list);

  posix::TargetFromIdList(parsed.View(parsed.idList));
  posix::TargetFromLinkInfo(parsed.View(parsed.linkInfo));
}

// The readers on their own promise to stay inside any bytes at all.
void DirectlyOverTheBytes(const std::uint8_t* data, std::size_t size) {
  const posix::Bytes bytes(data, size);
  posix::TargetFromIdList(bytes);
  posix::TargetFromLinkInfo(bytes);
  std::vector<posix::PropertyStorage> storages;
  if (posix::ParsePropertyStoreBlock(bytes, storages) != posix::CheckPropertyStoreBlock(bytes)) {
    Fail("listing and checking a block give different reasons");
  }
  PROPVARIANT value;
  if (SUCCEEDED(posix::ReadTypedValue(bytes, value))) PropVariantClear(&value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvane::fuzz::InitializeRun();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ThroughTheLinkObject(data, size);
  DirectlyOverTheBytes(data, size);
  return 0;
}
