#include "container/profile_text.h"

#include <cstring>

namespace tavok {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' ||
         c == 0x1A;
}

wchar_t FoldAscii(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// substr without its bounds check, which would bring in the C++ library's
// exceptions: every caller passes bounds inside text.
std::wstring_view Slice(std::wstring_view text, size_t at, size_t count) {
  return {text.data() + at, count};
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// One line of the text, its line break included in whole.
struct Line {
  std::wstring_view whole;
  std::wstring_view line_break;  // CR, LF, CR LF, or empty for the last line
  bool is_section = false;
  std::wstring_view name;   // the section's, or the key's
  std::wstring_view value;  // after "=", trimmed; empty without one
};

// The line that starts at *at, which moves on to the next one.
Line NextLine(std::wstring_view text, size_t* at) {
  const size_t start = *at;
  *at = LineEnd(text.data(), text.size(), start);
  Line line;
  line.whole = Slice(text, start, *at - start);
  size_t content_end = *at;
  while (content_end > start &&
         (text[content_end - 1] == L'\r' || text[content_end - 1] == L'\n')) {
    --content_end;
  }
  line.line_break = Slice(text, content_end, *at - content_end);
  const std::wstring_view content = Trimmed(Slice(text, start, content_end - start));
  if (!content.empty() && content.front() == L'[') {
    const size_t close = content.rfind(L']');
    // "[" without a closing "]" is no section: the line is read as a key.
    if (close != std::wstring_view::npos && close > 0) {
      line.is_section = true;
      line.name = Trimmed(Slice(content, 1, close - 1));
      return line;
    }
  }
  const size_t equals = content.find(L'=');
  if (equals == std::wstring_view::npos) {
    line.name = content;
    return line;
  }
  line.name = Trimmed(Slice(content, 0, equals));
  line.value = Trimmed(Slice(content, equals + 1, content.size() - equals - 1));
  return line;
}

bool IsBlankLine(const Line& line) {
  return !line.is_section && line.name.empty() && line.value.empty();
}

std::wstring_view Unquoted(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
      value.back() == value.front()) {
    return Slice(value, 1, value.size() - 2);
  }
  return value;
}

size_t Length(const wchar_t* text) {
  size_t length = 0;
  while (text[length] != L'\0') ++length;
  return length;
}

// Into a buffer of EditedProfileBound characters.
class BufferOutput final : public ProfileOutput {
 public:
  explicit BufferOutput(wchar_t* out) : out_(out) {}
  void Keep(size_t, std::wstring_view line) override { Write(line); }
  void Write(std::wstring_view text) override {
    if (!text.empty()) std::memcpy(out_ + used_, text.data(), text.size() * sizeof(wchar_t));
    used_ += text.size();
  }
  size_t used() const { return used_; }

 private:
  wchar_t* out_;
  size_t used_ = 0;
};

void WriteKey(ProfileOutput& out, const ProfileEdit& edit, std::wstring_view line_break) {
  out.Write(edit.key);
  out.Write(L"=");
  out.Write(std::wstring_view(edit.value, Length(edit.value)));
  out.Write(line_break);
}

constexpr size_t kMaxEdits = 64;

}  // namespace

bool FindProfileValue(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                      std::wstring_view* value) {
  bool inside = false;
  for (size_t at = 0; at < text.size();) {
    const Line line = NextLine(text, &at);
    if (line.is_section) {
      if (inside) return false;  // only the first section of the name counts
      inside = SameName(line.name, section);
    } else if (inside && SameName(line.name, key)) {
      *value = Unquoted(line.value);
      return true;
    }
  }
  return false;
}

int32_t FindProfileInt(std::wstring_view text, std::wstring_view section, std::wstring_view key,
                       int32_t fallback) {
  std::wstring_view value;
  if (!FindProfileValue(text, section, key, &value) || value.empty()) return fallback;
  // The platform reads the value into 30 characters, terminator included,
  // and stops at a zero.
  constexpr size_t kReadLength = 29;
  if (value.size() > kReadLength) value = Slice(value, 0, kReadLength);
  const size_t zero = value.find(L'\0');
  if (zero != std::wstring_view::npos) value = Slice(value, 0, zero);
  size_t at = 0;
  while (at < value.size() && value[at] <= L' ') ++at;
  bool negative = false;
  if (at < value.size() && (value[at] == L'+' || value[at] == L'-')) negative = value[at++] == L'-';
  uint32_t base = 10;
  if (at + 1 < value.size() && value[at] == L'0') {
    const wchar_t prefix = value[at + 1];
    base = prefix == L'x' ? 16 : prefix == L'o' ? 8 : prefix == L'b' ? 2 : 10;
    if (base != 10) at += 2;
  }
  uint32_t number = 0;
  for (; at < value.size(); ++at) {
    const wchar_t c = FoldAscii(value[at]);
    const uint32_t digit = c >= L'0' && c <= L'9'   ? static_cast<uint32_t>(c - L'0')
                           : c >= L'a' && c <= L'z' ? static_cast<uint32_t>(c - L'a' + 10)
                                                    : base;
    if (digit >= base) break;
    number = number * base + digit;
  }
  return static_cast<int32_t>(negative ? 0u - number : number);
}

size_t EditedProfileBound(std::wstring_view text, std::wstring_view section,
                          const ProfileEdit* edits, size_t count) {
  // The text, a line break it may lack, the section's header and every key.
  size_t bound = text.size() + 2 + section.size() + 4;
  for (size_t i = 0; i < count; ++i) {
    if (edits[i].value != nullptr) bound += edits[i].key.size() + 1 + Length(edits[i].value) + 2;
  }
  return bound;
}

void EditProfileLines(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                      size_t count, ProfileOutput& out) {
  if (count > kMaxEdits) count = kMaxEdits;
  // The first pass finds where the keys not yet there go: after the line
  // numbered insert_after, the section's last that is not blank, ended as it
  // is. A section not yet there goes at the end, its lines ended as the
  // text's last ended line.
  constexpr size_t kNone = static_cast<size_t>(-1);
  bool present[kMaxEdits] = {};
  size_t insert_after = kNone;
  std::wstring_view insert_break, last_break = L"\r\n";
  {
    enum { kBefore, kInside, kAfter } state = kBefore;
    size_t index = 0;
    for (size_t at = 0; at < text.size(); ++index) {
      const Line line = NextLine(text, &at);
      if (!line.line_break.empty()) last_break = line.line_break;
      if (line.is_section && state == kInside) state = kAfter;
      if (line.is_section && state == kBefore && SameName(line.name, section)) {
        state = kInside;
      } else if (state != kInside || line.is_section) {
        continue;
      } else {
        size_t edit = count;
        for (size_t i = 0; i < count && edit == count; ++i) {
          if (SameName(line.name, edits[i].key)) edit = i;
        }
        if (edit < count) {
          const bool replaced = !present[edit] && edits[edit].value != nullptr;
          present[edit] = true;
          if (!replaced) continue;
        } else if (IsBlankLine(line)) {
          continue;
        }
      }
      insert_after = index;
      insert_break = line.line_break;
    }
  }

  bool written[kMaxEdits] = {};
  const auto write_missing = [&](std::wstring_view line_break) {
    for (size_t i = 0; i < count; ++i) {
      if (!present[i] && edits[i].value != nullptr) WriteKey(out, edits[i], line_break);
    }
  };
  bool inside = false, seen = false;
  size_t index = 0;
  std::wstring_view final_break;
  for (size_t at = 0; at < text.size(); ++index) {
    const Line line = NextLine(text, &at);
    final_break = line.line_break;
    if (line.is_section) {
      inside = !seen && SameName(line.name, section);
      seen = seen || inside;
    }
    size_t edit = count;
    for (size_t i = 0; inside && !line.is_section && i < count && edit == count; ++i) {
      if (SameName(line.name, edits[i].key)) edit = i;
    }
    if (edit < count) {
      // Replaced once, in its place; every other line of the key goes.
      if (!written[edit] && edits[edit].value != nullptr) {
        WriteKey(out, edits[edit], line.line_break.empty() ? last_break : line.line_break);
      }
      written[edit] = true;
    } else {
      out.Keep(index, line.whole);
    }
    if (index == insert_after) {
      // A last line without a break ends before the keys that follow it.
      if (insert_break.empty() && edit == count) out.Write(last_break);
      write_missing(insert_break.empty() ? last_break : insert_break);
    }
  }
  if (insert_after == kNone) {
    if (!text.empty() && final_break.empty()) out.Write(last_break);
    out.Write(L"[");
    out.Write(section);
    out.Write(L"]");
    out.Write(last_break);
    write_missing(last_break);
  }
}

size_t EditProfile(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                   size_t count, wchar_t* out) {
  BufferOutput buffer(out);
  EditProfileLines(text, section, edits, count, buffer);
  return buffer.used();
}

}  // namespace tavok
