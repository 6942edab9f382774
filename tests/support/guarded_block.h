// Memory for host-side input that ends where readable memory ends, so that
// a read past the end of a host's block faults instead of passing unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavok::testing {

class GuardedBlock {
 public:
  explicit GuardedBlock(size_t capacity);
  ~GuardedBlock();
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;

  // Copies bytes (at most the capacity) in front of the guard page.
  const char* Place(const std::vector<uint8_t>& bytes);

 private:
  uint8_t* region_ = nullptr;
  size_t usable_ = 0;
};

}  // namespace tavok::testing
