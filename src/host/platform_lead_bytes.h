#pragma once

#include "container/lead_bytes.h"

namespace tavok {

// The lead bytes of the process's active ANSI code page.
LeadByteSet PlatformLeadBytes();

// Makes the pure text code follow the active ANSI code page.
void UsePlatformLeadBytes();

}  // namespace tavok
