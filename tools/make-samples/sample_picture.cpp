#include "sample_picture.h"

namespace tavok::samples {
namespace {

constexpr int kCubeStep = 255 / (kCubeLevels - 1);

int Level(uint8_t channel) {
  return (channel + kCubeStep / 2) / kCubeStep;
}

}  // namespace

Bgra SamplePixel(int x, int y) {
  const int dx = x - kSampleWidth / 2;
  const int dy = y - kSampleHeight / 2;
  const int radius = kSampleHeight / 3;
  if (dx * dx + dy * dy <= radius * radius) return {160, 32, 32, 255};
  return {96, static_cast<uint8_t>(y * 255 / (kSampleHeight - 1)),
          static_cast<uint8_t>(x * 255 / (kSampleWidth - 1)),
          static_cast<uint8_t>(255 - x * 192 / (kSampleWidth - 1))};
}

uint8_t CubeIndex(Bgra colour) {
  return static_cast<uint8_t>((Level(colour.r) * kCubeLevels + Level(colour.g)) * kCubeLevels +
                              Level(colour.b));
}

Bgra CubeColour(uint8_t index) {
  const int b = index % kCubeLevels;
  const int g = index / kCubeLevels % kCubeLevels;
  const int r = index / (kCubeLevels * kCubeLevels);
  return {static_cast<uint8_t>(b * kCubeStep), static_cast<uint8_t>(g * kCubeStep),
          static_cast<uint8_t>(r * kCubeStep), 255};
}

}  // namespace tavok::samples
