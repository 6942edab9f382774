// The module's own handle and what happens when the loader attaches the
// module to a process or detaches it.
#pragma once

#include <windows.h>

namespace tavok {

// The module's own instance handle; null before attach.
HINSTANCE ModuleHandle();

// Process attach: records the handle and follows the active ANSI code page.
// Nothing is loaded under the loader's lock: the settings file is read, and
// its decoders registered, at the first call that needs the table.
void AttachModule(HINSTANCE instance);

// Process detach: empties the table, releasing every decoder library it
// holds unless the process is ending, when the loader forbids that. Nothing
// is written.
void DetachModule(bool process_ending = false);

}  // namespace tavok
