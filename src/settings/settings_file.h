// tavok.ini: the decoder list and the placeholder size, kept in the Windows
// profile format next to the module and named after it.
#pragma once

namespace tavok {

// The settings file's full path; empty until LoadSettings has found the
// module's own path.
const char* SettingsPath();

// Reads the settings file for ModuleHandle(): registers each listed decoder in
// order and sets the placeholder size. Runs at module attach.
void LoadSettings();

// Writes the decoder table back as Count and Path0.. in table order. Nothing
// else is written; nothing at all when the settings path is empty.
void SaveSettings();

}  // namespace tavok
