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
  bool is_section = false;
  std::wstring_view name;   // the section's, or the key's
  std::wstring_view value;  // after "=", trimmed; empty without one
};

// The line that starts at *at, which moves on to the next one.
Line NextLine(std::wstring_view text, size_t* at) {
  const size_t start = *at;
  const size_t newline = text.find(L'\n', start);
  *at = newline == std::wstring_view::npos ? text.size() : newline + 1;
  Line line;
  line.whole = Slice(text, start, *at - start);
  const std::wstring_view content = Trimmed(line.whole);
  if (!content.empty() && content.front() == L'[') {
    const size_t close = content.rfind(L']');
    // "[" without a closing "]" is no section: the line is read as a key.
    if (close != std::wstring_view::npos && close > 0) {
      line.is_section = true;
      line.name = Slice(content, 1, close - 1);
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

class Writer {
 public:
  explicit Writer(wchar_t* out) : out_(out) {}
  void Put(std::wstring_view text) {
    if (!text.empty()) std::memcpy(out_ + used_, text.data(), text.size() * sizeof(wchar_t));
    used_ += text.size();
  }
  void PutKey(const ProfileEdit& edit, std::wstring_view line_break) {
    Put(edit.key);
    Put(L"=");
    Put(std::wstring_view(edit.value, Length(edit.value)));
    Put(line_break);
  }
  bool EndsLine() const { return used_ == 0 || out_[used_ - 1] == L'\n'; }
  size_t used() const { return used_; }
  // Moves what was written from at on to make room for length characters.
  void OpenGap(size_t at, size_t length) {
    std::memmove(out_ + at + length, out_ + at, (used_ - at) * sizeof(wchar_t));
    used_ += length;
  }
  wchar_t* at(size_t offset) { return out_ + offset; }

 private:
  wchar_t* out_;
  size_t used_ = 0;
};

// The keys not yet written, after the section's last line that is not blank.
void InsertMissing(Writer& writer, size_t insert_at, const ProfileEdit* edits, const bool* written,
                   size_t count) {
  size_t length = 0;
  const bool needs_break = insert_at > 0 && *writer.at(insert_at - 1) != L'\n';
  if (needs_break) length += 2;
  for (size_t i = 0; i < count; ++i) {
    if (!written[i] && edits[i].value != nullptr) {
      length += edits[i].key.size() + 1 + Length(edits[i].value) + 2;
    }
  }
  if (length == 0) return;
  writer.OpenGap(insert_at, length);
  Writer gap(writer.at(insert_at));
  if (needs_break) gap.Put(L"\r\n");
  for (size_t i = 0; i < count; ++i) {
    if (!written[i] && edits[i].value != nullptr) gap.PutKey(edits[i], L"\r\n");
  }
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
  size_t at = 0;
  bool negative = false;
  if (value[at] == L'+' || value[at] == L'-') negative = value[at++] == L'-';
  uint32_t base = 10;
  if (at + 1 < value.size() && value[at] == L'0') {
    const wchar_t prefix = FoldAscii(value[at + 1]);
    base = prefix == L'x' ? 16 : prefix == L'o' ? 8 : prefix == L'b' ? 2 : 10;
    if (base != 10) at += 2;
  }
  uint32_t number = 0;
  for (; at < value.size(); ++at) {
    const wchar_t c = FoldAscii(value[at]);
    const uint32_t digit = c >= L'0' && c <= L'9'   ? static_cast<uint32_t>(c - L'0')
                           : c >= L'a' && c <= L'f' ? static_cast<uint32_t>(c - L'a' + 10)
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

size_t EditProfile(std::wstring_view text, std::wstring_view section, const ProfileEdit* edits,
                   size_t count, wchar_t* out) {
  if (count > kMaxEdits) count = kMaxEdits;
  bool written[kMaxEdits] = {};
  Writer writer(out);
  enum { kBefore, kInside, kAfter } state = kBefore;
  size_t insert_at = 0;
  for (size_t at = 0; at < text.size();) {
    const Line line = NextLine(text, &at);
    if (line.is_section && state == kInside) {
      InsertMissing(writer, insert_at, edits, written, count);
      state = kAfter;
    }
    if (line.is_section && state == kBefore && SameName(line.name, section)) {
      writer.Put(line.whole);
      state = kInside;
      insert_at = writer.used();
      continue;
    }
    if (state == kInside && !line.is_section) {
      size_t edit = count;
      for (size_t i = 0; i < count && edit == count; ++i) {
        if (SameName(line.name, edits[i].key)) edit = i;
      }
      if (edit < count) {
        // Replaced once, in its place; every other line of the key goes.
        if (!written[edit] && edits[edit].value != nullptr) {
          const bool crlf = line.whole.size() >= 2 && line.whole[line.whole.size() - 2] == L'\r';
          writer.PutKey(edits[edit], line.whole.back() != L'\n' ? L"\r\n" : crlf ? L"\r\n" : L"\n");
          insert_at = writer.used();
        }
        written[edit] = true;
        continue;
      }
      writer.Put(line.whole);
      if (!IsBlankLine(line)) insert_at = writer.used();
      continue;
    }
    writer.Put(line.whole);
  }
  if (state == kInside) {
    InsertMissing(writer, insert_at, edits, written, count);
  } else if (state == kBefore) {
    if (!writer.EndsLine()) writer.Put(L"\r\n");
    writer.Put(L"[");
    writer.Put(section);
    writer.Put(L"]\r\n");
    InsertMissing(writer, writer.used(), edits, written, count);
  }
  return writer.used();
}

}  // namespace tavok
