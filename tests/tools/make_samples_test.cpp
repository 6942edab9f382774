// make-samples run as a child process; each file it writes is decoded by the
// example decoder and compared with the sample picture it was made from.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../support/test_files.h"
#include "child_process.h"
#include "dib.h"

namespace tavok::testing {
namespace {

using samples::CubeColour;
using samples::CubeIndex;
using samples::kSampleHeight;
using samples::kSampleWidth;
using samples::SamplePixel;

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) total += std::abs(a[i] - b[i]);
  return total / a.size();
}

TEST(MakeSamples, EachFileHoldsTheSamplePicture) {
  ScratchFolder folder;
  const ToolRun run = RunTool("make-samples.exe", "\"" + folder.path() + "\"", folder);
  ASSERT_EQ(run.exit_code, 0u) << run.out << run.err;

  const Ifwic ifwic;
  const PixelFn on_cube = [](int x, int y) { return CubeColour(CubeIndex(SamplePixel(x, y))); };
  const struct {
    const char* name;
    int bit_count;
    PixelFn pixel;
    double tolerance;  // mean difference per byte
  } cases[] = {
      {"sample.png", 32, SamplePixel, 0},
      {"sample.bmp", 24, SamplePixel, 0},
      {"sample.tif", 24, SamplePixel, 0},
      {"sample.gif", 24, on_cube, 0},      // GIF keeps the palette's colours
      {"sample.jpg", 24, SamplePixel, 8},  // lossy; an unrelated picture differs by ~80
  };
  for (const auto& c : cases) {
    int32_t result = -99;
    const DibBlocks dib = ifwic.DecodeFile(folder.Join(c.name), 0, &result);
    ASSERT_EQ(result, 0) << c.name;
    EXPECT_EQ(dib.header().biWidth, kSampleWidth) << c.name;
    EXPECT_EQ(dib.header().biHeight, kSampleHeight) << c.name;
    EXPECT_EQ(dib.header().biBitCount, c.bit_count) << c.name;
    const auto expected = DibRows(kSampleWidth, kSampleHeight, c.bit_count, c.pixel);
    if (c.tolerance == 0) {
      EXPECT_EQ(dib.pixels, expected) << c.name;
    } else {
      EXPECT_LT(MeanDifference(dib.pixels, expected), c.tolerance) << c.name;
    }
  }
}

}  // namespace
}  // namespace tavok::testing
