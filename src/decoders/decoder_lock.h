// One thread at a time in each decoder module. Most Susie decoders were
// written for a host that calls them from one thread, and keep their state in
// globals; hosts that call plug-ins from several threads serialise per plug-in
// for that reason, and tavok, between such a host and its decoders, does the
// same. Different decoders still run at once.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tavok {

// With it on, calls into decoders are made as they come, for users whose
// decoders are all safe to call from several threads at once.
void SetParallelDecoders(bool parallel);

// Holds the lock of one decoder module for a scope. The lock belongs to the
// module, not to a table entry or a path: every handle on the same module,
// whatever path loaded it, shares it. It is recursive, so that a request made
// from inside a decoder's progress callback, on the same thread, gets in; a
// decoder suspended in a callback is still in a call, and keeps its lock.
// A thread that would wait for a decoder whose owner waits, directly or
// through others, for one this thread holds would wait for ever: it is
// refused at once instead, and the call must not be made.
class decoder_call {
 public:
  explicit decoder_call(HMODULE module);
  ~decoder_call();
  decoder_call(const decoder_call&) = delete;
  decoder_call& operator=(const decoder_call&) = delete;
  bool refused() const { return refused_; }

  // This call's entry among the threads that wait for a decoder.
  struct Waiter {
    DWORD thread = 0;  // 0 while not waiting
    int32_t slot = -1;
    Waiter* next = nullptr;
  };

 private:
  Waiter waiter_;
  int32_t slot_ = -1;  // none held
  bool refused_ = false;
};

}  // namespace tavok
