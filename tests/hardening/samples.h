// Cache files for the request mixes: one per way a request can go with the
// decoders the hardening tests list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavok::testing {

struct Sample {
  const char* label;
  std::vector<uint8_t> bytes;
};

// fx_decline, then the others: each decoder reached by one sample.
const std::vector<std::string>& SampleDecoders();

// png: declined, then accepted; jpg: declined, then the placeholder; zip: the
// placeholder without loading anything; bmp: a decoder failing with its
// outputs set; tif: a decoder failing without them; raw: unterminated text;
// cp932: a double-byte URL; broken: no container.
const std::vector<Sample>& Samples();

}  // namespace tavok::testing
