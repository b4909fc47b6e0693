// Scope-bound owners for platform resources. Each holds one resource and
// gives it back when it goes out of scope, on every way out, unwinding
// included. They are move-only and hide nothing else.
#pragma once

#include <utility>

#include "shell/com.h"
#include "shell/find_files.h"
#include "shell/item_id_list.h"
#include "shell/property_store.h"

namespace corvane {

// A COM interface pointer, released once when the owner lets go of it.
template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  explicit com_ptr(T* pointer) : pointer_(pointer) {}
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~com_ptr() { reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Releases the interface now; the owner is empty afterwards.
  void reset() {
    if (T* pointer = std::exchange(pointer_, nullptr)) pointer->Release();
  }
  // For out-parameters: releases what is held and returns the slot to fill.
  T** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* pointer_ = nullptr;
};

// A resource handle given back by Traits::Free when the owner lets go of
// it. Traits::Invalid() is the value that holds nothing (null for most
// handles); Free is called only for any other value.
template <typename Traits>
class unique_any_t {
 public:
  using value_type = typename Traits::Type;

  unique_any_t() = default;
  explicit unique_any_t(value_type value) : value_(value) {}
  unique_any_t(const unique_any_t&) = delete;
  unique_any_t& operator=(const unique_any_t&) = delete;
  unique_any_t(unique_any_t&& other) noexcept
      : value_(std::exchange(other.value_, Traits::Invalid())) {}
  unique_any_t& operator=(unique_any_t&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, Traits::Invalid());
    }
    return *this;
  }
  ~unique_any_t() { reset(); }

  value_type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }

  void reset(value_type value = Traits::Invalid()) {
    if (value_type old = std::exchange(value_, value); old != Traits::Invalid()) Traits::Free(old);
  }
  value_type* put() {
    reset();
    return &value_;
  }
  value_type release() { return std::exchange(value_, Traits::Invalid()); }

 private:
  value_type value_ = Traits::Invalid();
};

namespace owner_detail {
// A handle whose empty value is null, freed by Free.
template <typename T, void (*FreeFunction)(T)>
struct NullInvalid {
  using Type = T;
  static T Invalid() { return T{}; }
  static void Free(T value) { FreeFunction(value); }
};
inline void FreeIdList(PIDLIST_ABSOLUTE list) { ILFree(list); }
template <typename T>
void FreeTaskMemory(T* block) {
  CoTaskMemFree(block);
}
// A search handle: INVALID_HANDLE_VALUE, not null, means no search.
struct FindHandle {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Free(HANDLE find) { FindClose(find); }
};
}  // namespace owner_detail

// A resource handle freed by Free; null holds nothing.
template <typename T, void (*Free)(T)>
using unique_any = unique_any_t<owner_detail::NullInvalid<T, Free>>;

// An item-ID list from ILCreateFromPathW, freed with ILFree.
using unique_idlist = unique_any<PIDLIST_ABSOLUTE, owner_detail::FreeIdList>;

// A block of COM task memory, freed with CoTaskMemFree.
template <typename T>
using unique_cotaskmem = unique_any<T*, owner_detail::FreeTaskMemory<T>>;

// A file search from FindFirstFileW, closed with FindClose.
using unique_find_handle = unique_any_t<owner_detail::FindHandle>;

// A PROPVARIANT that starts empty (all zeros). Once it has been handed out
// to be filled, it is cleared with PropVariantClear exactly once: by reset(),
// or when the owner goes out of scope.
class unique_prop_variant {
 public:
  unique_prop_variant() : value_{} {}
  unique_prop_variant(const unique_prop_variant&) = delete;
  unique_prop_variant& operator=(const unique_prop_variant&) = delete;
  ~unique_prop_variant() { reset(); }

  // The variant to fill; it will be cleared.
  PROPVARIANT* put() {
    filled_ = true;
    return &value_;
  }
  const PROPVARIANT& operator*() const { return value_; }
  const PROPVARIANT* operator->() const { return &value_; }

  // Clears the variant now, if it was handed out since the last clear.
  void reset() {
    if (filled_) PropVariantClear(&value_);
    filled_ = false;
  }

 private:
  PROPVARIANT value_;
  bool filled_ = false;
};

// Calls CoUninitialize when it goes out of scope, if CoInitialize succeeded.
class unique_couninitialize_call {
 public:
  explicit unique_couninitialize_call(HRESULT coInitializeResult)
      : active_(SUCCEEDED(coInitializeResult)) {}
  unique_couninitialize_call(const unique_couninitialize_call&) = delete;
  unique_couninitialize_call& operator=(const unique_couninitialize_call&) = delete;
  ~unique_couninitialize_call() {
    if (active_) CoUninitialize();
  }

 private:
  bool active_;
};

}  // namespace corvane
