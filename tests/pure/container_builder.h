// Builds cache-container bytes for tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tavok::testing {

inline std::vector<uint8_t> MakeContainerWithLength(int32_t header_length,
                                                    const std::string& header,
                                                    const std::string& payload) {
  std::vector<uint8_t> bytes(4);
  const uint32_t n = static_cast<uint32_t>(header_length);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(n >> (8 * i));
  bytes.insert(bytes.end(), header.begin(), header.end());
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

// A container whose length field matches its header text.
inline std::vector<uint8_t> MakeContainer(const std::string& header, const std::string& payload) {
  return MakeContainerWithLength(static_cast<int32_t>(header.size()), header, payload);
}

// A typical header as the cache writes it.
inline std::string HeaderFor(const std::string& url) {
  return "VERSION=1\r\nURL=" + url + "\r\nSTATUS=200\r\n";
}

}  // namespace tavok::testing
