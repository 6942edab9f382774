// tavok.ini: the decoder list and the placeholder size, kept in the Windows
// profile format next to the module and named after it.
#pragma once

#include <cstdint>

namespace tavok {

// The settings file's full path; empty until LoadSettings has found the
// module's own path.
const wchar_t* SettingsPath();

// Reads the settings file for ModuleHandle() (while it does not exist, the
// defaults beside it, tavok.default.ini): registers each listed decoder in
// order, and sets the placeholder size and whether decoders are kept loaded.
// Runs at the first call that needs the decoder table. Entries that
// cannot be registered (a decoder absent for now, on a drive not mounted or
// being updated) are kept as written, so that a save does not lose them. A
// file that cannot be read whole in its own encoding registers nothing.
void LoadSettings();

// Removes table entry index as the user deletes it: an entry from the file
// loses its place and the value written there with it.
void RemoveListedDecoder(int32_t index);

// Entries of the settings file kept without being registered; they count
// toward the ten a list may hold.
int32_t KeptEntryCount();

// Writes the decoder list as Count and Path0.. : the table in its order, with
// each kept entry at its index in the file, and removes the Path keys beyond
// Count. The list goes into tavok.ini, never into the defaults, which the
// first save starts from. The new file is written beside the old one, under a name of its
// own, and replaces it in one step, every other line as it was. It keeps
// the file's encoding; an ANSI file becomes UTF-16 when the list holds a path
// that the ANSI code page cannot spell. Returns false, with the old file
// exactly as it was, when that fails, when there is no settings path, or when
// the file could not be read in its own encoding.
bool SaveSettings();

}  // namespace tavok
