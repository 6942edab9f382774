#include "process_usage.h"

#include <psapi.h>

#include <cstdint>
#include <vector>

namespace tavok::testing {

size_t BusyHeapBlocks() {
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  size_t busy = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    HeapLock(heaps[i]);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    HeapUnlock(heaps[i]);
  }
  return busy;
}

namespace {

// Entries of the system's handle list (SystemHandleInformation).
struct SystemHandleEntry {
  ULONG owner;
  BYTE type;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};

// Wine answers GetProcessHandleCount with 0; its system handle list, which
// Windows has too, counts them.
DWORD HandleCount() {
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) return handles;
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<uint8_t> buffer(256 * 1024);
  LONG status;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &needed)) == kLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
  for (ULONG i = 0; i < list->count; ++i) {
    if (list->entries[i].owner == GetCurrentProcessId()) ++handles;
  }
  return handles;
}

// Committed private memory of the address space, region by region: heaps,
// stacks and every VirtualAlloc, but neither mapped images nor anything
// outside the Windows process.
size_t CommittedPrivateBytes() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  size_t committed = 0;
  auto* address = static_cast<uint8_t*>(system.lpMinimumApplicationAddress);
  MEMORY_BASIC_INFORMATION region;
  while (address < system.lpMaximumApplicationAddress &&
         VirtualQuery(address, &region, sizeof(region)) == sizeof(region)) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
    address = static_cast<uint8_t*>(region.BaseAddress) + region.RegionSize;
  }
  return committed;
}

}  // namespace

ProcessUsage CurrentUsage() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  K32GetProcessMemoryInfo(GetCurrentProcess(),
                          reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  // Wine leaves PrivateUsage at 0 and derives PagefileUsage from the host
  // process's anonymous memory, which under an emulator includes its cache of
  // translated code: it grows with every decoder library mapped anew. The
  // committed private regions are what Windows counts as private bytes.
  const size_t private_bytes =
      counters.PrivateUsage != 0 ? counters.PrivateUsage : CommittedPrivateBytes();
  return {private_bytes, HandleCount(), BusyHeapBlocks()};
}

}  // namespace tavok::testing
