#include "guarded_block.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace tavok::testing {

GuardedBlock::GuardedBlock(size_t capacity) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  usable_ = (capacity + page - 1) / page * page;
  region_ = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, usable_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old = 0;
  if (region_ == nullptr || !VirtualProtect(region_ + usable_, page, PAGE_NOACCESS, &old)) {
    throw std::runtime_error("cannot set up a guarded block");
  }
}

GuardedBlock::~GuardedBlock() {
  VirtualFree(region_, 0, MEM_RELEASE);
}

const char* GuardedBlock::Place(const std::vector<uint8_t>& bytes) {
  const size_t size = bytes.size() < usable_ ? bytes.size() : usable_;
  uint8_t* start = region_ + usable_ - size;
  if (size > 0) std::memcpy(start, bytes.data(), size);
  return reinterpret_cast<const char*>(start);
}

}  // namespace tavok::testing
