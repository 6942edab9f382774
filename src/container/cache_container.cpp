#include "container/cache_container.h"

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

bool HasCacheExtension(const char* name) {
  const char* backslash = FindLastChar(name, '\\');
  const char* file_part = backslash != nullptr ? backslash + 1 : name;
  const char* dot = FindLastChar(file_part, '.');
  if (dot == nullptr || dot[1] == '\0') return false;
  return EqualsIgnoreCase(dot + 1, "qcx");
}

}  // namespace

int32_t ValidateContainer(const char* name, const uint8_t* data, int32_t length) {
  if (name != nullptr && !HasCacheExtension(name)) return 0;
  if (length < 16) return 0;

  const int32_t header_length = ReadHeaderLength(data);
  // Compared as N > length - 4 so that no sum can overflow.
  if (header_length < 0 || header_length > length - 4) return 0;
  const int32_t end = header_length + 4;
  if (end < 16) return 0;
  if (data[end - 2] != '\r' || data[end - 1] != '\n') return 0;
  return end;
}

SourceName ExtractSourceName(const uint8_t* data) {
  SourceName source = {};

  int32_t searched = ReadHeaderLength(data);
  if (searched > kHeaderSearchLimit) searched = kHeaderSearchLimit;
  if (searched < 0) searched = 0;
  // A terminated copy: the header ends early at a zero byte, like any C string.
  char header[kHeaderSearchLimit + 1];
  std::memcpy(header, data + 4, static_cast<size_t>(searched));
  header[searched] = '\0';

  const char* key = FindText(header, "URL=");
  if (key == nullptr) return source;
  const char* value = key + 4;
  const char* line_end = FindText(value, "\r\n");
  if (line_end == nullptr) return source;

  size_t url_length = static_cast<size_t>(line_end - value);
  if (url_length > sizeof(source.url) - 1) url_length = sizeof(source.url) - 1;
  std::memcpy(source.url, value, url_length);
  source.url[url_length] = '\0';

  const char* slash = FindLastChar(source.url, '/');
  if (slash == nullptr) return source;
  CopyTruncated(source.name, sizeof(source.name), slash + 1);
  char* query = FindLastChar(source.name, '?');
  if (query != nullptr) *query = '\0';
  return source;
}

}  // namespace tavok
