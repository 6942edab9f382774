#include "decoders/decoder_lock.h"

#include <atomic>

#include "host/handles.h"

namespace tavok {
namespace {

// A slot is taken by a module for as long as a call into it is made or
// waited for. Far fewer modules than this are ever called at once: the ten
// listed, one being added, and removed ones that requests still hold.
constexpr int32_t kSlots = 32;

struct ModuleLock {
  HMODULE module = nullptr;
  int32_t users = 0;  // calls made or waiting; the slot is free at 0
  critical_section section;
};

ModuleLock g_locks[kSlots];
critical_section g_slots_lock;
std::atomic<bool> g_parallel{false};

// The slot of module, taken for one more user; -1 when every slot is busy.
int32_t TakeSlot(HMODULE module) {
  const scoped_lock lock(g_slots_lock);
  int32_t held = -1, free = -1;
  for (int32_t i = 0; i < kSlots && held < 0; ++i) {
    if (g_locks[i].users > 0 && g_locks[i].module == module) held = i;
    if (g_locks[i].users == 0 && free < 0) free = i;
  }
  const int32_t slot = held >= 0 ? held : free;
  if (slot >= 0) {
    g_locks[slot].module = module;
    ++g_locks[slot].users;
  }
  return slot;
}

}  // namespace

void SetParallelDecoders(bool parallel) {
  g_parallel.store(parallel, std::memory_order_relaxed);
}

decoder_call::decoder_call(HMODULE module) {
  if (module == nullptr || g_parallel.load(std::memory_order_relaxed)) return;
  while ((slot_ = TakeSlot(module)) < 0) Sleep(1);
  g_locks[slot_].section.enter();
}

decoder_call::~decoder_call() {
  if (slot_ < 0) return;
  g_locks[slot_].section.leave();
  const scoped_lock lock(g_slots_lock);
  --g_locks[slot_].users;
}

}  // namespace tavok
