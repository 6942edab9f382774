// What keeps the module loadable on Windows XP and Vista. The loader refuses a
// DLL whole when one of its imports is missing, so nothing may be imported
// that those systems lack.
#include <windows.h>

#include <atomic>

#include "host/susie.h"

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI TickCount32() {
  return GetTickCount();
}

// The static thread library's timed waits call GetTickCount64, which exists
// from Vista on. Its import slot is defined here instead, so that no import
// is made: the function is looked up at its first call, and where it is
// missing the 32-bit count stands in (the waits it times are short).
ULONGLONG WINAPI GetTickCount64OrFallback() {
  static std::atomic<TickCount64Fn> found{nullptr};
  TickCount64Fn tick_count = found.load(std::memory_order_relaxed);
  if (tick_count == nullptr) {
    tick_count =
        tavok::FindExport<TickCount64Fn>(GetModuleHandleA("kernel32.dll"), "GetTickCount64");
    if (tick_count == nullptr) tick_count = &TickCount32;
    found.store(tick_count, std::memory_order_relaxed);
  }
  return tick_count();
}

}  // namespace

#if defined(_WIN64)
#define TAVOK_IMPORT_SLOT(name) "__imp_" #name
#else
#define TAVOK_IMPORT_SLOT(name) "__imp__" #name "@0"
#endif
extern "C" TickCount64Fn tavok_get_tick_count_64 __asm__(TAVOK_IMPORT_SLOT(GetTickCount64));
TickCount64Fn tavok_get_tick_count_64 = &GetTickCount64OrFallback;
