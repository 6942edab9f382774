// Owners for COM objects and for the calling thread's COM initialisation, so
// that every path out of a function releases what it acquired.
#pragma once

#include <objbase.h>

#include <utility>

namespace tavok {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }

  // For out-parameters: releases the current object and exposes the slot.
  T** put() {
    reset();
    return &ptr_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

// Joins the calling thread to COM for a scope. A host thread that already
// runs a multithreaded apartment refuses the single-threaded one, but COM is
// then usable as it is and must not be uninitialised by us.
class ComScope {
 public:
  ComScope() {
    status_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    owned_ = SUCCEEDED(status_);
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (owned_) CoUninitialize();
  }

  bool usable() const { return owned_ || status_ == RPC_E_CHANGED_MODE; }
  HRESULT status() const { return status_; }

 private:
  HRESULT status_ = E_FAIL;
  bool owned_ = false;
};

}  // namespace tavok
