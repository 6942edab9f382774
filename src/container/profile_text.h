// Text in the Windows profile (INI) format, read and edited in memory, in the
// way the platform's profile functions read it: a tavok.ini that goes
// through no temporary file cannot be left behind as one, and is read the same
// whatever the temporary folder's state. Section and key names match without
// regard to ASCII letter case; the first section of a name, and the first key
// of a name in it, are the ones that count; a line without "=" is a key
// without a value, so comments never match a key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavok {

// The value of key in the first section named section: the text after the
// first "=", white space around it and one pair of matching quotes removed.
// False when there is no such key.
bool FindProfileValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                      std::wstring_view* value);

// The value read as the platform reads a number: an optional sign, then
// decimal digits (or 0x, 0o, 0b and their digits) up to the first other
// character, wrapping as a 32-bit number; fallback when the key is absent or
// empty, 0 when it holds no number.
int32_t FindProfileInt(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                       int32_t fallback);

// A key to set to value, or with a null value to remove.
struct ProfileEdit {
  std::wstring_view key;
  const wchar_t* value;
};

// The most characters EditProfile can write for these edits.
size_t EditedProfileBound(std::wstring_view text, std::wstring_view section,
                          const ProfileEdit* edits, size_t count);

// Writes text to out with the edits made in the first section named section:
// the first line of each key set is replaced in its place, every other line
// of a key edited is removed, and keys not yet there follow the section's
// last line that is not blank (a section not yet there is added at the end).
// Every other line stays byte for byte. out holds EditedProfileBound
// characters; returns the number written.
size_t EditProfile(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                   size_t count, wchar_t* out);

}  // namespace tavok
