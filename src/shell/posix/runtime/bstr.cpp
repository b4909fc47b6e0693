// The BSTR allocator: the text is preceded by its length.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "shell/posix/runtime/resource_account.h"
#include "shell/posix/sdk/property_store.h"

namespace {

// A BSTR is preceded by its length in characters; the text ends with a NUL
// that the length does not count.
struct BstrHeader {
  std::size_t length;
};

BstrHeader* HeaderOf(BSTR text) { return reinterpret_cast<BstrHeader*>(text) - 1; }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  auto* header = static_cast<BstrHeader*>(
      std::malloc(sizeof(BstrHeader) + (std::size_t{ui} + 1) * sizeof(OLECHAR)));
  if (header == nullptr) return nullptr;
  header->length = ui;
  auto* text = reinterpret_cast<OLECHAR*>(header + 1);
  if (strIn != nullptr && ui > 0) std::memcpy(text, strIn, ui * sizeof(OLECHAR));
  if (strIn == nullptr) std::memset(text, 0, ui * sizeof(OLECHAR));
  text[ui] = L'\0';
  corvane::posix::Acquired(corvane::posix::Resource::Bstr, text);
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString == nullptr) return;
  corvane::posix::Released(corvane::posix::Resource::Bstr, bstrString);
  std::free(HeaderOf(bstrString));
}

UINT SysStringLen(BSTR pbstr) {
  return pbstr == nullptr ? 0 : static_cast<UINT>(HeaderOf(pbstr)->length);
}
