// The one seam between the pure text code and the platform: which byte values
// start a double-byte character in the active ANSI code page. The Windows build
// fills it from the platform; native builds and tests choose a table directly.
#pragma once

namespace tavok {

struct LeadByteSet {
  bool lead[256];
};

// Every byte a single-byte character (code pages such as 1252).
LeadByteSet SingleByteSet();
// Shift_JIS as Windows code page 932 has it: 0x81-0x9F and 0xE0-0xFC.
LeadByteSet CodePage932Set();

// Replaces the active set. Not thread-safe: called at module attach or by tests.
void UseLeadBytes(const LeadByteSet& set);
const LeadByteSet& ActiveLeadBytes();

inline bool IsLeadByte(unsigned char c) {
  return ActiveLeadBytes().lead[c];
}

}  // namespace tavok
