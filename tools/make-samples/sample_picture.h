// The generated picture that make-samples encodes, so that decoders' output
// can be checked against the exact pixels that went in.
#pragma once

#include <cstdint>

namespace tavok::samples {

constexpr int kSampleWidth = 64;
constexpr int kSampleHeight = 48;

struct Bgra {
  uint8_t b, g, r, a;
};

// Red grows to the right and green downwards, with a dark blue disc in the
// middle. The disc is opaque; around it the alpha fades from opaque at the
// left edge to a quarter at the right.
Bgra SamplePixel(int x, int y);

// GIF keeps the picture on a palette: a cube of six levels per channel.
constexpr int kCubeLevels = 6;
constexpr int kCubeSize = kCubeLevels * kCubeLevels * kCubeLevels;
uint8_t CubeIndex(Bgra colour);
Bgra CubeColour(uint8_t index);

}  // namespace tavok::samples
