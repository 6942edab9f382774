// What a module file's headers say about the machine it was built for, read
// from its first bytes without loading it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavok {

constexpr uint16_t kMachineX86 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;

// Bytes of a module's head that ModuleMachine needs at most, for any header
// that a linker writes.
constexpr size_t kModuleHeadSize = 4096;

// The machine field of the file header of the PE image whose first size bytes
// are head; 0 when they hold no DOS stub pointing at a "PE\0\0" signature and
// a file header.
uint16_t ModuleMachine(const uint8_t* head, size_t size);

}  // namespace tavok
