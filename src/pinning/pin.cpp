#include "pinning/pin.h"

#include "report/console.h"
#include "report/exit_code.h"
#include "shell/owners.h"
#include "shell/pinned_list.h"

namespace corvane {
namespace {

enum class Change { Pin, Unpin };

int ModifyPinnedList(const std::wstring& shortcutPath, Change change) {
  const unique_idlist item(ILCreateFromPathW(shortcutPath.c_str()));
  if (!item) {
    RawErrorStream(messages::kILCreateFromPathWFailed);
    return ExitILCreateFromPathWFailed;
  }

  com_ptr<IPinnedList3> pinnedList;
  const HRESULT created = CoCreateInstance(PinnedListClassId, nullptr, CLSCTX_ALL, IID_IPinnedList3,
                                           pinnedList.put_void());
  if (FAILED(created)) {
    RawErrorStream(messages::kCoCreateInstanceFailed);
    return ExitCoCreateInstanceFailed;
  }
  if (!pinnedList) return ExitCoCreateInstanceFailed;

  const HRESULT modified = change == Change::Pin
                               ? pinnedList->Modify(nullptr, item.get(), PinnedListModifyCaller)
                               : pinnedList->Modify(item.get(), nullptr, PinnedListModifyCaller);
  // The object serves this one call: release it before looking at the result.
  pinnedList.reset();
  if (FAILED(modified)) {
    RawErrorStream(messages::kModifyFailed);
    return ExitModifyFailed;
  }
  return ExitSucceeded;
}

}  // namespace

int PinShortcut(const std::wstring& shortcutPath, ExistingPinCheck existingPinCheck) {
  if (existingPinCheck != nullptr && existingPinCheck(shortcutPath)) return ExitSucceeded;
  NarrowInfoStream() << messages::kPinningNewIcon << std::endl;
  return ModifyPinnedList(shortcutPath, Change::Pin);
}

int UnpinShortcut(const std::wstring& shortcutPath) {
  return ModifyPinnedList(shortcutPath, Change::Unpin);
}

}  // namespace corvane
