// Process-wide state received from the loader.
#pragma once

#include <windows.h>

namespace tavok {

// The module's own instance handle; null before attach.
HINSTANCE ModuleHandle();

}  // namespace tavok
