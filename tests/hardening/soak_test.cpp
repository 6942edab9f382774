// One process, many mixed requests: both picture entry points, file and
// memory input, decoders accepting, declining and failing, placeholders and
// broken input. Private bytes and the handle count must stay flat after a
// warm-up, and no decoder may stay loaded after any request.
// TAVOK_SOAK_REQUESTS sets the count (`tools/stress.sh soak` runs the full one).
// And a host that loads tavok, makes one request and frees it again, for every
// file: TAVOK_RELOAD_CYCLES sets the count (`tools/stress.sh reload`).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "dll/plugin_module.h"
#include "pure/container_builder.h"
#include "request_driver.h"
#include "samples.h"
#include "support/fixture_log.h"
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

// The index the host's next TlsAlloc gets: it grows with every slot that a
// load of tavok takes and its unload does not give back.
DWORD NextTlsIndex() {
  const DWORD index = TlsAlloc();
  TlsFree(index);
  return index;
}

TEST(Reload, LoadingAndFreeingTavokForEveryFileLeavesNothingBehind) {
  const int cycles = CountFromEnvironment("TAVOK_RELOAD_CYCLES", 2000);
  const int warm_up = 50;
  PluginFolder folder;
  folder.AddTavok();
  folder.AddFixture("fx_png", "fx_png.spi");
  folder.WriteIni("[SPI]\r\nCount=1\r\nPath0=fx_png.spi\r\n");
  // The three ways a request goes: a decoder's picture, the placeholder, and
  // a description with the decoder's text.
  const std::string png = folder.Write("a.qcx", MakeContainer(HeaderFor("http://h/a.png"), "p"));
  const std::string zip = folder.Write("b.qcx", MakeContainer(HeaderFor("http://h/b.zip"), "z"));

  ProcessUsage before = {};
  DWORD tls_before = 0;
  int failures = 0;
  for (int i = 0; i < cycles; ++i) {
    if (i == warm_up) {
      before = CurrentUsage();
      tls_before = NextTlsIndex();
    }
    const PluginModule tavok(folder.TavokPath());
    HLOCAL info = nullptr, bits = nullptr;
    int32_t result = 0;
    if (i % 3 == 2) {
      HostPictureInfo description = {};
      result = tavok.Get<GetPictureInfoFn>("GetPictureInfo")(png.c_str(), 0, 0, &description);
      info = description.text;
    } else {
      result = tavok.Get<GetPictureFn>("GetPicture")((i % 3 == 0 ? png : zip).c_str(), 0, 0, &info,
                                                     &bits, nullptr, 0);
    }
    failures += result != 0 || info == nullptr;
    LocalFree(info);
    LocalFree(bits);
  }
  const ProcessUsage after = CurrentUsage();
  const DWORD tls_after = NextTlsIndex();
  std::printf(
      "reload: %d cycles; next TLS index %lu -> %lu; handles %lu -> %lu; private bytes %zu -> "
      "%zu\n",
      cycles, static_cast<unsigned long>(tls_before), static_cast<unsigned long>(tls_after),
      static_cast<unsigned long>(before.handles), static_cast<unsigned long>(after.handles),
      before.private_bytes, after.private_bytes);
  EXPECT_EQ(failures, 0);
  EXPECT_FALSE(IsModuleLoaded(folder.TavokPath())) << "the host's FreeLibrary unloads tavok";
  EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
  EXPECT_EQ(tls_after, tls_before);
  EXPECT_LE(after.handles, before.handles);
  EXPECT_LT(static_cast<long long>(after.private_bytes) - before.private_bytes,
            static_cast<long long>(kMaxGrowth));
}

}  // namespace
}  // namespace tavok::testing
