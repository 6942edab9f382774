// What a process holds, to show that requests leave nothing behind.
#pragma once

#include <windows.h>

#include <cstddef>

namespace tavok::testing {

// Busy blocks in all of the process's heaps.
size_t BusyHeapBlocks();

// Private bytes, handle count and busy heap blocks of this process.
struct ProcessUsage {
  size_t private_bytes;
  DWORD handles;
  size_t heap_blocks;
};
ProcessUsage CurrentUsage();

}  // namespace tavok::testing
