// The cache file layout: a signed 32-bit little-endian header length N, N bytes
// of "key=value" lines each ended by CR LF, then the cached download unchanged.
#pragma once

#include <cstdint>

namespace tavok {

// Shortest header that can hold one CR LF-terminated line.
constexpr int32_t kMinHeaderLength = 12;
// Only this much of the header is searched for the URL line.
constexpr int32_t kHeaderSearchLimit = 512;

struct SourceName {
  char url[512];   // after the first "URL=", up to CR LF; empty when absent
  char name[260];  // last path segment of url without its query; may be empty
};

// Returns the payload offset (N + 4, at least 16) when data holds a container
// and name, when given, has the extension "qcx" (any case); 0 otherwise.
int32_t ValidateContainer(const char* name, const uint8_t* data, int32_t length);

// Reads the URL and the downloaded file's name from a container that
// ValidateContainer accepted.
SourceName ExtractSourceName(const uint8_t* data);

}  // namespace tavok
