// A minimal PNG encoder (stored deflate blocks), independent of the codecs
// under test, so that decoded pixels can be compared with known input, and
// the benchmarks have PNG files of a size they choose.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "make-samples/sample_picture.h"

namespace tavok::samples {

using PixelFn = std::function<Bgra(int x, int y)>;

// An 8-bit truecolour PNG, with an alpha channel when alpha is set.
std::vector<uint8_t> EncodePng(int width, int height, bool alpha, const PixelFn& pixel);

}  // namespace tavok::samples
