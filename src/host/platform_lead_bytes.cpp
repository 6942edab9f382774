#include "host/platform_lead_bytes.h"

#include <windows.h>

namespace tavok {

LeadByteSet PlatformLeadBytes() {
  LeadByteSet set = SingleByteSet();
  CPINFO info;
  if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return set;
  // LeadByte holds inclusive ranges, ended by a pair of zeros.
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (unsigned c = info.LeadByte[i]; c <= info.LeadByte[i + 1]; ++c) set.lead[c] = true;
  }
  return set;
}

void UsePlatformLeadBytes() {
  UseLeadBytes(PlatformLeadBytes());
}

}  // namespace tavok
