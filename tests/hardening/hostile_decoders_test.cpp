// Decoders that misbehave in ways a C caller can survive, listed in the real
// tavok.spi's tavok.ini: registration finishes, each request answers as the
// host expects, nothing stays loaded, and every block ends up freed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dll/plugin_host.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kHostile = {"fx_overcount", "fx_negative",     "fx_long_list",   "fx_endless",
                        "fx_raw_text",  "fx_fail_outputs", "fx_fail_picture"};

class HostileDecoders : public ::testing::Test {
 protected:
  FixtureLog log_;
  PluginFolder folder_;
};

TEST_F(HostileDecoders, RegistrationLoadsAndReleasesEachOnceAndEnds) {
  const PluginHost host(folder_, kHostile);
  for (const std::string& fixture : kHostile) {
    const Lines events = log_.Events({"attach", "detach"});
    EXPECT_EQ(std::count(events.begin(), events.end(), fixture + " attach"), 1) << fixture;
    EXPECT_EQ(std::count(events.begin(), events.end(), fixture + " detach"), 1) << fixture;
    EXPECT_FALSE(IsModuleLoaded(fixture + ".spi")) << fixture;
  }
  // A decoder that answers every pattern number is asked a bounded number of
  // times, not until the number runs out.
  size_t endless_queries = 0;
  for (const std::string& line : log_.Events({"GetPluginInfo"})) {
    endless_queries += line.rfind("fx_endless ", 0) == 0 ? 1 : 0;
  }
  EXPECT_GT(endless_queries, 100u);
  EXPECT_LE(endless_queries, 1024u + 2u) << "version, description and the capped pattern list";
}

struct RequestCase {
  const char* label;
  const char* url;
  int32_t info_result;       // GetPictureInfo's code
  int32_t info_width;        // 4: the decoder's description, 48: the placeholder
  const char* text;          // after the URL; nullptr: no text block
  int32_t picture_result;    // GetPicture's code
  bool picture_has_outputs;  // blocks handed over along with that code
};

TEST_F(HostileDecoders, RequestsAnswerAsTheHostExpectsAndLeaveNothingBehind) {
  const PluginHost host(folder_, kHostile);
  const GetPictureInfoFn get_picture_info = host.get_picture_info();
  const GetPictureFn get_picture = host.get_picture();
  const RequestCase cases[] = {
      // The first listed decoder for .png reports counts beyond its buffers.
      {"overcount", "http://h/a.png", 0, 4, "", 0, true},
      // A text block without a terminator is read no further than its block.
      {"unterminated text", "http://h/a.raw", 0, 4, "\r\nno terminator", 0, true},
      // An error code with both output blocks set: for a picture, code and
      // blocks go to the host unchanged; for a description, the code does,
      // and the decoder's text block is freed rather than handed over.
      {"error with outputs", "http://h/a.bmp", 1, 4, nullptr, 1, true},
      // IsSupported says yes, GetPicture and GetPictureInfo fail.
      {"accepts then fails", "http://h/a.tif", 4, 4, nullptr, 4, false},
      // Patterns from a list of hundreds of bytes: those inside the 100 bytes
      // the decoder was given take part, the rest never do.
      {"early in a long list", "http://h/a.a10", 0, 4, "", 0, true},
      {"late in a long list", "http://h/a.a30", 0, 48, "", 0, true},
      {"endless pattern list", "http://h/a.end", 0, 4, "", 0, true},
  };
  for (const RequestCase& c : cases) {
    const auto container = MakeContainer(HeaderFor(c.url), "payload bytes");
    const char* data = reinterpret_cast<const char*>(container.data());
    const int32_t size = static_cast<int32_t>(container.size());
    auto request = [&] {
      HostPictureInfo info;
      std::memset(&info, 0, sizeof(info));
      EXPECT_EQ(get_picture_info(data, size, 1, &info), c.info_result) << c.label;
      EXPECT_EQ(info.width, c.info_width) << c.label;
      EXPECT_EQ(TextOf(info.text), c.text ? std::string(c.url) + c.text : "(null)") << c.label;
      LocalFree(info.text);

      HLOCAL bitmap_info = nullptr;
      HLOCAL bitmap_bits = nullptr;
      EXPECT_EQ(get_picture(data, size, 1, &bitmap_info, &bitmap_bits, nullptr, 0),
                c.picture_result)
          << c.label;
      EXPECT_EQ(bitmap_info != nullptr, c.picture_has_outputs) << c.label;
      EXPECT_EQ(bitmap_bits != nullptr, c.picture_has_outputs) << c.label;
      LocalFree(bitmap_info);
      LocalFree(bitmap_bits);
      for (const std::string& fixture : kHostile) {
        EXPECT_FALSE(IsModuleLoaded(fixture + ".spi")) << c.label << ": " << fixture;
      }
    };
    request();  // warm-up: first-use caches of the platform
    const size_t before = BusyHeapBlocks();
    for (int i = 0; i < 3; ++i) request();
    EXPECT_EQ(BusyHeapBlocks(), before) << c.label;
  }
}

TEST_F(HostileDecoders, BlocksHandedOverWithAnErrorAreTheDecodersOwn) {
  const PluginHost host(folder_, {"fx_fail_outputs"});
  const auto container = MakeContainer(HeaderFor("http://h/a.bmp"), "bmp");
  HLOCAL bitmap_info = nullptr;
  HLOCAL bitmap_bits = nullptr;
  ASSERT_EQ(host.get_picture()(reinterpret_cast<const char*>(container.data()),
                               static_cast<int32_t>(container.size()), 1, &bitmap_info,
                               &bitmap_bits, nullptr, 0),
            1);
  ASSERT_NE(bitmap_bits, nullptr);
  // The fixture's picture, not a placeholder built in its stead.
  EXPECT_EQ(LocalSize(bitmap_bits), 36u);
  EXPECT_EQ(static_cast<const uint8_t*>(LocalLock(bitmap_bits))[0], 0xA0);
  LocalUnlock(bitmap_bits);
  LocalFree(bitmap_info);
  LocalFree(bitmap_bits);
}

}  // namespace
}  // namespace tavok::testing
