// The module's own handle and what happens when the loader attaches the
// module to a process or detaches it.
#pragma once

#include <windows.h>

namespace tavok {

// The module's own instance handle; null before attach.
HINSTANCE ModuleHandle();

// Process attach: records the handle, follows the active ANSI code page, and
// reads the settings file (which registers the listed decoders).
void AttachModule(HINSTANCE instance);

// Process detach: releases every decoder library and empties the table.
// Nothing is written.
void DetachModule();

}  // namespace tavok
