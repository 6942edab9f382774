#include "container/lead_bytes.h"

namespace tavok {
namespace {

LeadByteSet MakeSet(unsigned first1, unsigned last1, unsigned first2, unsigned last2) {
  LeadByteSet set{};
  for (unsigned c = 0; c < 256; ++c) {
    set.lead[c] = (c >= first1 && c <= last1) || (c >= first2 && c <= last2);
  }
  return set;
}

LeadByteSet g_active = {};

}  // namespace

LeadByteSet SingleByteSet() {
  return LeadByteSet{};
}

LeadByteSet CodePage932Set() {
  return MakeSet(0x81, 0x9F, 0xE0, 0xFC);
}

void UseLeadBytes(const LeadByteSet& set) {
  g_active = set;
}

const LeadByteSet& ActiveLeadBytes() {
  return g_active;
}

}  // namespace tavok
