#include "container/module_header.h"

namespace tavok {
namespace {

uint32_t Read32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

uint16_t ModuleMachine(const uint8_t* head, size_t size) {
  constexpr size_t kNewHeaderPointer = 0x3C;
  if (size < kNewHeaderPointer + 4 || head[0] != 'M' || head[1] != 'Z') return 0;
  const uint32_t pe = Read32(head + kNewHeaderPointer);
  // The signature and the machine field after it, compared so that no sum
  // can overflow.
  if (pe > size || size - pe < 6) return 0;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return 0;
  return static_cast<uint16_t>(head[pe + 4] | (head[pe + 5] << 8));
}

}  // namespace tavok
