// Text in the Windows profile (INI) format, read and edited in memory, in the
// way the platform's profile functions read it: a tavok.ini that goes
// through no temporary file cannot be left behind as one, and is read the same
// whatever the temporary folder's state. Section and key names match without
// regard to ASCII letter case, blanks around them left out; the first section
// of a name, and the first key of a name in it, are the ones that count; a
// line without "=" is a key without a value, so comments never match a key.
// A line ends at CR, at LF, or at CR LF, as an old Mac editor, a Unix tool and
// Notepad end them.
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

// Where the line that starts at text[at] ends, its line break included.
template <typename Char>
size_t LineEnd(const Char* text, size_t size, size_t at) {
  while (at < size && text[at] != Char('\r') && text[at] != Char('\n')) ++at;
  if (at < size && text[at] == Char('\r')) {
    ++at;
    if (at < size && text[at] == Char('\n')) ++at;
  } else if (at < size) {
    ++at;  // a LF alone
  }
  return at;
}

// The value read as the platform reads a number: its first 29 characters, in
// which characters up to the space are passed over, then an optional sign,
// then decimal digits (or 0x, 0o, 0b in lower case and their digits) up to
// the first other character, wrapping as a 32-bit number; fallback when the
// key is absent or empty, 0 when it holds no number.
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

// Where an edit of a text goes: lines of the text kept as they are, and the
// text the edit writes in between.
class ProfileOutput {
 public:
  // Line number index (from 0) of the text, line break included.
  virtual void Keep(size_t index, std::wstring_view line) = 0;
  virtual void Write(std::wstring_view text) = 0;

 protected:
  ~ProfileOutput() = default;
};

// The text with the edits made in the first section named section: the first
// line of each key set is replaced in its place, keeping its line break,
// every other line of a key edited is removed, and keys not yet there follow
// the section's last line that is not blank (a section not yet there is added
// at the end), ended as that line is. Every other line is kept whole.
void EditProfileLines(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                      size_t count, ProfileOutput& out);

// The same into out, which holds EditedProfileBound characters; returns the
// number written.
size_t EditProfile(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                   size_t count, wchar_t* out);

}  // namespace tavok
