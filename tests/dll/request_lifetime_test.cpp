// When the built plug-in loads its decoders, and for how long: nothing at its
// own load, each once at the first request however many threads make it, a
// reference of each request's own, and none released by a process that ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "plugin_host.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"
#include "tools/child_process.h"

namespace tavok::testing {
namespace {

using Lines = std::vector<std::string>;

std::string WriteCache(const PluginFolder& folder, const std::string& name,
                       const std::string& url) {
  return folder.Write(name, MakeContainer(HeaderFor(url), std::string(64, 'p')));
}

// A picture request's answer, its blocks freed: the result and the bytes.
std::string PictureOf(GetPictureFn get_picture, const std::string& path,
                      ProgressFn progress = nullptr, LONG_PTR user = 0) {
  HLOCAL info = nullptr, bits = nullptr;
  std::string answer =
      std::to_string(get_picture(path.c_str(), 0, 0, &info, &bits, progress, user));
  for (HLOCAL block : {info, bits}) {
    if (block == nullptr) continue;
    answer.append(static_cast<const char*>(LocalLock(block)), LocalSize(block));
    LocalUnlock(block);
    LocalFree(block);
  }
  return answer;
}

std::string InfoOf(GetPictureInfoFn get_picture_info, const std::string& path) {
  PictureInfo info = {};
  const int32_t result = get_picture_info(path.c_str(), 0, 0, &info);
  const std::string answer = std::to_string(result) + " " + TextOf(info.text);
  LocalFree(info.text);
  return answer;
}

// The fixture decoder calls the progress callback inside GetPicture; a host
// that pumps messages there can start another request on the same thread.
struct Nested {
  GetPictureFn get_picture = nullptr;
  GetPictureInfoFn get_picture_info = nullptr;
  std::string same, other;
  std::string picture, info;
  int calls = 0;
};

int __stdcall RequestFromTheCallback(int, int, LONG_PTR user) {
  auto* nested = reinterpret_cast<Nested*>(user);
  if (nested->calls++ == 0) {
    nested->picture = PictureOf(nested->get_picture, nested->same);
    nested->info = InfoOf(nested->get_picture_info, nested->other);
  }
  return 0;
}

TEST(RequestLifetime, ARequestStartedInsideAnotherGetsTheAnswerItGetsAlone) {
  FixtureLog log;
  PluginFolder folder;
  PluginHost host(folder, {"fx_png", "fx_jpeg"});
  Nested nested;
  nested.get_picture = host.get_picture();
  nested.get_picture_info = host.get_picture_info();
  nested.same = WriteCache(folder, "a.qcx", "http://h/a.png");
  nested.other = WriteCache(folder, "b.qcx", "http://h/b.jpg");
  const std::string picture_alone = PictureOf(nested.get_picture, nested.same);
  const std::string info_alone = InfoOf(nested.get_picture_info, nested.other);

  const std::string outer = PictureOf(nested.get_picture, nested.same, &RequestFromTheCallback,
                                      reinterpret_cast<LONG_PTR>(&nested));
  EXPECT_GE(nested.calls, 1);
  EXPECT_EQ(nested.picture, picture_alone);
  EXPECT_EQ(nested.info, info_alone);
  EXPECT_EQ(outer, picture_alone) << "the outer decoder stayed mapped under the inner request";
  EXPECT_FALSE(IsModuleLoaded("fx_png.spi"));
}

// A decoder that waits for a thread of its own would hang the host's load of
// tavok if it were asked under the loader's lock. A request that comes while
// another registers the decoders, slowly, waits for the whole table.
TEST(RequestLifetime, LoadingRunsNoDecoderAndTwoFirstRequestsRegisterEachOnce) {
  FixtureLog log;
  PluginFolder folder;
  folder.AddFixture("fx_waits_for_thread", "w.spi");
  folder.AddFixture("fx_png", "p.spi");
  folder.WriteIni("[SPI]\r\nCount=2\r\nPath0=p.spi\r\nPath1=w.spi\r\n");
  folder.AddTavok();
  const std::string cache = WriteCache(folder, "a.qcx", "http://h/a.png");

  const DWORD start = GetTickCount();
  PluginModule tavok(folder.TavokPath());
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(log.Lines(), Lines{});

  const auto get_picture = tavok.Get<GetPictureFn>("GetPicture");
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "300");
  std::string answers[2];
  std::thread first([&] { answers[0] = PictureOf(get_picture, cache); });
  EXPECT_TRUE(WaitUntil([&] { return !log.Events({"enter GetPluginInfo"}).empty(); }));
  std::thread second([&] { answers[1] = PictureOf(get_picture, cache); });
  first.join();
  second.join();
  const std::string alone = PictureOf(get_picture, cache);
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
  EXPECT_TRUE(answers[0] == alone);
  EXPECT_TRUE(answers[1] == alone) << "the second request got a picture of " << answers[1].size()
                                   << " bytes, not the decoder's " << alone.size();
  EXPECT_EQ(log.Events({"thread"}), Lines{"fx_waits_for_thread thread joined"});
  EXPECT_EQ(log.Events({"GetPluginInfo 0"}),
            (Lines{"fx_png GetPluginInfo 0 10", "fx_waits_for_thread GetPluginInfo 0 10"}));
}

// A host that loads tavok, asks for one file and frees it again, for every
// file: the decoder registration loaded serves that request, so that each
// file costs one load of it, not two; the decoders that serve nothing are
// released when the request ends, whatever it asked for.
TEST(RequestLifetime, AHostThatFreesTavokPerFileLoadsTheDecoderOncePerFile) {
  FixtureLog log;
  PluginFolder folder;
  folder.AddFixture("fx_png", "fx_png.spi");
  folder.AddFixture("fx_jpeg", "fx_jpeg.spi");
  folder.AddTavok();
  const std::string cache = WriteCache(folder, "a.qcx", "http://h/a.png");
  for (const char* options : {"", "[Options]\r\nKeepDecodersLoaded=1\r\n"}) {
    folder.WriteIni(std::string("[SPI]\r\nCount=2\r\nPath0=fx_jpeg.spi\r\nPath1=fx_png.spi\r\n") +
                    options);
    log.Clear();
    for (int file = 0; file < 3; ++file) {
      PluginModule tavok(folder.TavokPath());
      EXPECT_EQ(PictureOf(tavok.Get<GetPictureFn>("GetPicture"), cache).substr(0, 1), "0");
    }
    Lines expected;
    for (int file = 0; file < 3; ++file) {
      expected.insert(expected.end(),
                      {"fx_jpeg attach", "fx_png attach", "fx_jpeg detach", "fx_png detach"});
    }
    EXPECT_EQ(log.Events({"attach", "detach"}), expected) << options;
    EXPECT_EQ(log.Events({"GetPicture "}).size(), 3u) << options;
  }
}

// Run in a child process of its own: ends the process with a decoder kept
// loaded by tavok.
TEST(RequestLifetime, ChildEndsWithADecoderKeptLoaded) {
  const char* folder = std::getenv("TAVOK_WARM_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "run by AProcessThatEnds...";
  PluginModule tavok(std::string(folder) + "\\" + kOwnFileName);
  const std::string answer =
      PictureOf(tavok.Get<GetPictureFn>("GetPicture"), std::string(folder) + "\\a.qcx");
  ExitProcess(answer.rfind("0", 0) == 0 && IsModuleLoaded("fx_png.spi") ? 0 : 3);
}

TEST(RequestLifetime, AProcessThatEndsWithDecodersKeptLoadedLeavesThemToTheLoader) {
  FixtureLog log;
  PluginFolder folder;
  folder.AddFixture("fx_png", "fx_png.spi");
  folder.WriteIni("[SPI]\r\nCount=1\r\nPath0=fx_png.spi\r\n[Options]\r\nKeepDecodersLoaded=1\r\n");
  folder.AddTavok();
  WriteCache(folder, "a.qcx", "http://h/a.png");
  ScratchFolder output;
  const EnvironmentVariable variable("TAVOK_WARM_FOLDER", folder.path().c_str());
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  const std::string name = std::strrchr(program, '\\') + 1;
  const ToolRun run =
      RunTool(name, "--gtest_filter=RequestLifetime.ChildEndsWithADecoderKeptLoaded", output);
  EXPECT_EQ(run.exit_code, 0u) << run.out << run.err;
  // Loaded once, by its registration, and kept from the request on: released
  // by tavok's own detach, it would not have detached with the process.
  EXPECT_EQ(log.Events({"attach", "detach"}), (Lines{"fx_png attach", "fx_png detach at exit"}));
}

}  // namespace
}  // namespace tavok::testing
