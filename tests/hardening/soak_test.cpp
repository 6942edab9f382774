// One process, many mixed requests: both picture entry points, file and
// memory input, decoders accepting, declining and failing, placeholders and
// broken input. Private bytes and the handle count must stay flat after a
// warm-up, and no decoder may stay loaded after any request.
// TAVOK_SOAK_REQUESTS sets the count (`tools/stress.sh soak` runs the full one).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "request_driver.h"
#include "samples.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

constexpr size_t kMaxGrowth = 1024 * 1024;

TEST(Soak, PrivateBytesAndHandlesStayFlat) {
  const int requests = CountFromEnvironment("TAVOK_SOAK_REQUESTS", 600);
  const int warm_up = requests / 10 < 200 ? requests / 10 : 200;
  PluginFolder folder;
  const PluginHost host(folder, SampleDecoders());
  RequestDriver driver(host, SampleDecoders());
  std::vector<std::string> paths;
  for (const Sample& sample : Samples()) {
    paths.push_back(folder.Write(std::string(sample.label) + ".qcx", sample.bytes));
  }

  ProcessUsage before = {};
  for (int i = 0; i < requests; ++i) {
    if (i == warm_up) before = CurrentUsage();
    const size_t which = i % Samples().size();
    const Sample& sample = Samples()[which];
    switch ((i / Samples().size()) % 4) {
      case 0:
        driver.InfoFromFile(paths[which], 0);
        break;
      case 1:
        driver.PictureFromMemory(sample.bytes);
        break;
      case 2:
        driver.PictureFromFile(paths[which], 0);
        break;
      default:
        driver.InfoFromMemory(sample.bytes);
        break;
    }
  }
  const ProcessUsage after = CurrentUsage();
  const long long growth = static_cast<long long>(after.private_bytes) - before.private_bytes;
  std::printf(
      "soak: %d requests (%d warm-up); private bytes %zu -> %zu (%+lld); handles %lu -> %lu; "
      "busy heap blocks %zu -> %zu\n%s",
      requests, warm_up, before.private_bytes, after.private_bytes, growth,
      static_cast<unsigned long>(before.handles), static_cast<unsigned long>(after.handles),
      before.heap_blocks, after.heap_blocks, driver.Summary().c_str());

  EXPECT_TRUE(driver.faults().empty()) << ::testing::PrintToString(driver.faults());
  ASSERT_GT(before.private_bytes, 0u) << "no memory figures from the platform";
  ASSERT_GT(before.handles, 0u) << "no handle count from the platform";
  EXPECT_LT(growth, static_cast<long long>(kMaxGrowth));
  EXPECT_LE(after.handles, before.handles);
  // Catches a leak of a few bytes per request, which a short run's private
  // bytes would hide.
  EXPECT_LE(after.heap_blocks, before.heap_blocks);
  // Every kind of request was made, and each way a request can go was taken.
  const auto& results = driver.results();
  EXPECT_EQ(results.size(), 4u);
  EXPECT_GT(results.at("GetPicture file").count(4), 0u) << "a failing decoder";
  EXPECT_GT(results.at("GetPicture memory").count(1), 0u) << "a decoder failing with outputs";
  EXPECT_GT(results.at("GetPictureInfo file").count(2), 0u) << "broken input";
}

}  // namespace
}  // namespace tavok::testing
