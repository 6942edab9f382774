#include "container/cache_container.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "container/mbcs.h"

namespace tavok {
namespace {

int32_t ReadHeaderLength(const uint8_t* data) {
  const uint32_t raw = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                       (static_cast<uint32_t>(data[2]) << 16) |
                       (static_cast<uint32_t>(data[3]) << 24);
  return static_cast<int32_t>(raw);
}

// At most count bytes of text from at on, at never past its end: the module
// links no C++ runtime for string_view's substr to throw with.
std::string_view Slice(std::string_view text, size_t at, size_t count = std::string_view::npos) {
  return std::string_view(text.data() + at, std::min(count, text.size() - at));
}

bool HasCacheExtension(const char* name) {
  if (name == nullptr) return true;
  const char* backslash = FindLastChar(name, '\\');
  const char* file_part = backslash != nullptr ? backslash + 1 : name;
  const char* dot = FindLastChar(file_part, '.');
  if (dot == nullptr || dot[1] == '\0') return false;
  return EqualsIgnoreCase(dot + 1, "qcx");
}

// A UTF-16 name has no double-byte characters to step over.
bool HasCacheExtension(const wchar_t* name) {
  if (name == nullptr) return true;
  const wchar_t* dot = nullptr;
  for (const wchar_t* c = name; *c != L'\0'; ++c) {
    if (*c == L'\\') dot = nullptr;
    if (*c == L'.') dot = c;
  }
  if (dot == nullptr) return false;
  const wchar_t* extension = dot + 1;
  const char kExtension[] = "qcx";
  for (size_t i = 0; i < 3; ++i) {
    const wchar_t c = extension[i];
    const wchar_t lower = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    if (lower != static_cast<wchar_t>(kExtension[i])) return false;
  }
  return extension[3] == L'\0';
}

int32_t ValidateHeader(const uint8_t* data, int32_t length) {
  if (length < 16) return 0;

  const int32_t header_length = ReadHeaderLength(data);
  // Compared as N > length - 4 so that no sum can overflow.
  if (header_length < 0 || header_length > length - 4) return 0;
  const int32_t end = header_length + 4;
  if (end < 16) return 0;
  if (data[end - 2] != '\r' || data[end - 1] != '\n') return 0;
  return end;
}

bool HeadShows(const uint8_t* head, int32_t head_length, bool head_is_full) {
  if (ValidateHeader(head, head_length) != 0) return true;
  if (!head_is_full || head_length < 4) return false;
  const int32_t header_length = ReadHeaderLength(head);
  // N + 4 > head_length, with N + 4 itself representable.
  return header_length > head_length - 4 && header_length <= INT32_MAX - 4;
}

}  // namespace

int32_t ValidateContainer(const char* name, const uint8_t* data, int32_t length) {
  return HasCacheExtension(name) ? ValidateHeader(data, length) : 0;
}

int32_t ValidateContainerW(const wchar_t* name, const uint8_t* data, int32_t length) {
  return HasCacheExtension(name) ? ValidateHeader(data, length) : 0;
}

bool HeadShowsContainer(const char* name, const uint8_t* head, int32_t head_length,
                        bool head_is_full) {
  return HasCacheExtension(name) && HeadShows(head, head_length, head_is_full);
}

bool HeadShowsContainerW(const wchar_t* name, const uint8_t* head, int32_t head_length,
                         bool head_is_full) {
  return HasCacheExtension(name) && HeadShows(head, head_length, head_is_full);
}

SourceName ExtractSourceName(const uint8_t* data) {
  SourceName source = {};

  const int32_t header_length = ReadHeaderLength(data);
  std::string_view header(reinterpret_cast<const char*>(data + 4),
                          header_length > 0 ? static_cast<size_t>(header_length) : 0);
  // The header ends early at a zero byte, like any C string.
  const size_t zero = header.find('\0');
  if (zero != std::string_view::npos) header = Slice(header, 0, zero);

  const size_t key = FindText(header, "URL=");
  if (key == std::string_view::npos) return source;
  const std::string_view value = Slice(header, key + 4);
  const size_t line_end = FindText(value, "\r\n");
  if (line_end == std::string_view::npos) return source;
  source.url = Slice(value, 0, line_end);

  // The query starts at the first "?" and the fragment at the first "#"; a
  // path that holds either writes it escaped. The name is the last segment of
  // what comes before.
  const std::string_view path = Slice(source.url, 0, FindFirstOf(source.url, '?', '#'));
  const size_t slash = FindLastChar(path, '/');
  if (slash == std::string_view::npos) return source;
  const std::string_view name = Slice(path, slash + 1, sizeof(source.name) - 1);
  std::memcpy(source.name, name.data(), name.size());
  source.name[name.size()] = '\0';
  return source;
}

}  // namespace tavok
