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
  DWORD owner = 0;    // the thread inside, 0 for none
  int32_t depth = 0;  // the owner's calls into it, nested through callbacks
  critical_section section;
};

ModuleLock g_locks[kSlots];
// Which decoder each waiting thread waits for: with the owners, the graph in
// which a wait that would close a circle shows before it is made. Each entry
// lives in the waiting call itself, so that any number of threads can wait.
decoder_call::Waiter* g_waiters = nullptr;
int32_t g_waiter_count = 0;
// Guards the slots, the owners and the waiters, never held while waiting.
critical_section g_slots_lock;
std::atomic<bool> g_parallel{false};

int32_t SlotWaitedForBy(DWORD thread) {
  for (const decoder_call::Waiter* waiter = g_waiters; waiter != nullptr; waiter = waiter->next) {
    if (waiter->thread == thread) return waiter->slot;
  }
  return -1;
}

void Unlink(decoder_call::Waiter* entry) {
  for (decoder_call::Waiter** link = &g_waiters; *link != nullptr; link = &(*link)->next) {
    if (*link == entry) {
      *link = entry->next;
      --g_waiter_count;
      return;
    }
  }
}

// Whether waiting for slot would wait for ever: its owner waits, directly or
// through others, for a decoder that thread holds. Only the wait that closes
// the circle sees it, as every wait is entered in the graph under the lock
// before it is made.
bool WouldCloseACircle(DWORD thread, int32_t slot) {
  DWORD owner = g_locks[slot].owner;
  // A chain longer than the waiters are many holds a circle without thread.
  for (int32_t hops = 0; owner != 0 && hops <= g_waiter_count; ++hops) {
    if (owner == thread) return true;
    const int32_t waited = SlotWaitedForBy(owner);
    if (waited < 0) return false;
    owner = g_locks[waited].owner;
  }
  return false;
}

enum class Taken { kSlot, kRefused, kRetry };

// Under g_slots_lock: the slot of module, taken for one more user, and this
// thread entered in entry as its waiter unless it is inside already.
Taken TakeSlot(HMODULE module, DWORD thread, int32_t* slot, decoder_call::Waiter* entry) {
  int32_t held = -1, free = -1;
  for (int32_t i = 0; i < kSlots && held < 0; ++i) {
    if (g_locks[i].users > 0 && g_locks[i].module == module) held = i;
    if (g_locks[i].users == 0 && free < 0) free = i;
  }
  *slot = held >= 0 ? held : free;
  if (*slot < 0) return Taken::kRetry;
  ModuleLock& lock = g_locks[*slot];
  if (held >= 0 && lock.owner != thread && WouldCloseACircle(thread, *slot)) {
    return Taken::kRefused;
  }
  if (lock.owner != thread) {
    *entry = {thread, *slot, g_waiters};
    g_waiters = entry;
    ++g_waiter_count;
  }
  lock.module = module;
  ++lock.users;
  return Taken::kSlot;
}

}  // namespace

void SetParallelDecoders(bool parallel) {
  g_parallel.store(parallel, std::memory_order_relaxed);
}

decoder_call::decoder_call(HMODULE module) {
  if (module == nullptr || g_parallel.load(std::memory_order_relaxed)) return;
  const DWORD thread = GetCurrentThreadId();
  for (;;) {
    Taken taken;
    {
      const scoped_lock lock(g_slots_lock);
      taken = TakeSlot(module, thread, &slot_, &waiter_);
    }
    if (taken == Taken::kRefused) {
      slot_ = -1;
      refused_ = true;
      return;
    }
    if (taken == Taken::kSlot) break;
    Sleep(1);
  }
  g_locks[slot_].section.enter();
  const scoped_lock lock(g_slots_lock);
  if (waiter_.thread != 0) Unlink(&waiter_);
  waiter_ = {};
  g_locks[slot_].owner = thread;
  ++g_locks[slot_].depth;
}

decoder_call::~decoder_call() {
  if (slot_ < 0) return;
  ModuleLock& module = g_locks[slot_];
  {
    // Cleared before the section is left: the next owner sets its own.
    const scoped_lock lock(g_slots_lock);
    if (--module.depth == 0) module.owner = 0;
  }
  module.section.leave();
  const scoped_lock lock(g_slots_lock);
  --module.users;
}

}  // namespace tavok
