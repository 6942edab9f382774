// The cache file layout: a signed 32-bit little-endian header length N, N bytes
// of "key=value" lines each ended by CR LF, then the cached download unchanged.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavok {

// Shortest header that can hold one CR LF-terminated line.
constexpr int32_t kMinHeaderLength = 12;

struct SourceName {
  // After the first "URL=" in the header, up to the CR LF that follows; empty
  // when absent. Points into the container's header, whatever its length.
  std::string_view url;
  // The last path segment of url, its query and fragment cut off; may be
  // empty; at most 259 bytes.
  char name[260];
};

// Returns the payload offset (N + 4, at least 16) when data holds a container
// and name, when given, has the extension "qcx" (any case); 0 otherwise.
int32_t ValidateContainer(const char* name, const uint8_t* data, int32_t length);
// The same for a UTF-16 name.
int32_t ValidateContainerW(const wchar_t* name, const uint8_t* data, int32_t length);

// IsSupported's verdict on a file's first head_length bytes: a container that
// ValidateContainer accepts inside them, or, when head_is_full says the head
// holds head_length real bytes of the file, one whose header ends beyond
// them, as far as the head shows (the name's extension, and a length word N
// whose N + 4 exceeds head_length without overflowing).
bool HeadShowsContainer(const char* name, const uint8_t* head, int32_t head_length,
                        bool head_is_full);
bool HeadShowsContainerW(const wchar_t* name, const uint8_t* head, int32_t head_length,
                         bool head_is_full);

// Reads the URL and the downloaded file's name from a container that
// ValidateContainer accepted; the whole header is searched.
SourceName ExtractSourceName(const uint8_t* data);

}  // namespace tavok
