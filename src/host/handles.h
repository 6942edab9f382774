// Owners for Win32 resources, so that no path through a function leaks one.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "host/system_calls.h"

#include <utility>

namespace tavok {

template <typename T, typename Traits>
class unique_handle {
 public:
  unique_handle() = default;
  explicit unique_handle(T value) : value_(value) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_handle() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::invalid(); }

  // Gives up ownership without closing.
  T release() { return std::exchange(value_, Traits::invalid()); }

  void reset(T value = Traits::invalid()) {
    const T old = std::exchange(value_, value);
    if (old != Traits::invalid()) Traits::close(old);
  }

  // For out-parameters: closes the current value and exposes the slot.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Traits::invalid();
};

namespace handle_traits {
template <typename T, typename Fn, Fn close_fn>
struct NullInvalid {
  static T invalid() { return nullptr; }
  static void close(T value) { close_fn(value); }
};
struct File {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE value) { CloseHandle(value); }
};
}  // namespace handle_traits

using unique_hlocal =
    unique_handle<HLOCAL, handle_traits::NullInvalid<HLOCAL, decltype(&LocalFree), &LocalFree>>;
using unique_hmodule =
    unique_handle<HMODULE,
                  handle_traits::NullInvalid<HMODULE, decltype(&FreeLibrary), &FreeLibrary>>;
using unique_file = unique_handle<HANDLE, handle_traits::File>;
using unique_hdc =
    unique_handle<HDC, handle_traits::NullInvalid<HDC, decltype(&sys::DeleteDC), &sys::DeleteDC>>;
using unique_hbitmap = unique_handle<
    HBITMAP, handle_traits::NullInvalid<HBITMAP, decltype(&sys::DeleteObject), &sys::DeleteObject>>;
using unique_hicon = unique_handle<
    HICON, handle_traits::NullInvalid<HICON, decltype(&sys::DestroyIcon), &sys::DestroyIcon>>;

// Keeps a movable block locked for a scope.
class local_lock {
 public:
  explicit local_lock(HLOCAL block) : block_(block), data_(block ? LocalLock(block) : nullptr) {}
  local_lock(const local_lock&) = delete;
  local_lock& operator=(const local_lock&) = delete;
  ~local_lock() {
    if (data_ != nullptr) LocalUnlock(block_);
  }
  void* get() const { return data_; }
  template <typename T>
  T* as() const {
    return static_cast<T*>(data_);
  }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HLOCAL block_;
  void* data_;
};

// Selects a GDI object into a device context and selects the previous one back.
class select_object {
 public:
  select_object(HDC dc, HGDIOBJ object) : dc_(dc), previous_(sys::SelectObject(dc, object)) {}
  select_object(const select_object&) = delete;
  select_object& operator=(const select_object&) = delete;
  ~select_object() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) sys::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A critical section, not an SRW lock: those do not exist on Windows XP, and
// importing one would keep the module from loading there.
class critical_section {
 public:
  critical_section() { InitializeCriticalSection(&section_); }
  ~critical_section() { DeleteCriticalSection(&section_); }
  critical_section(const critical_section&) = delete;
  critical_section& operator=(const critical_section&) = delete;
  void enter() { EnterCriticalSection(&section_); }
  void leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a critical section for a scope.
class scoped_lock {
 public:
  explicit scoped_lock(critical_section& section) : section_(section) { section_.enter(); }
  ~scoped_lock() { section_.leave(); }
  scoped_lock(const scoped_lock&) = delete;
  scoped_lock& operator=(const scoped_lock&) = delete;

 private:
  critical_section& section_;
};

// Initialises COM on the calling thread for a scope, as shell calls need it,
// and undoes only what it did: a thread already in another apartment mode is
// left as it is, one in the same mode keeps its own count.
class com_scope {
 public:
  com_scope()
      : result_(sys::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  com_scope(const com_scope&) = delete;
  com_scope& operator=(const com_scope&) = delete;
  ~com_scope() {
    if (SUCCEEDED(result_)) sys::CoUninitialize();
  }

 private:
  HRESULT result_;
};

}  // namespace tavok
