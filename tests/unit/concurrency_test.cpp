// Requests from several threads at once, while another thread adds and
// removes a decoder: every answer is the one the request gets alone, and
// nothing is left loaded or allocated. TAVOK_CONCURRENCY_REQUESTS sets the
// requests per thread (`tools/stress.sh threads` runs the full count).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "decoders/decoder_lock.h"
#include "decoders/decoder_table.h"
#include "host/exports.h"
#include "pure/container_builder.h"
#include "support/fixture_log.h"
#include "support/process_usage.h"
#include "support/test_files.h"

namespace tavok {
namespace {

using testing::FixturePath;
using testing::IsModuleLoaded;
using testing::ScratchFolder;

int RequestsPerThread() {
  const char* text = std::getenv("TAVOK_CONCURRENCY_REQUESTS");
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value > 0 ? value : 60;
}

// One request and everything it answered, as text.
struct Request {
  enum Kind { kProbe, kInfo, kInfoW, kPicture, kPictureW } kind;
  bool memory;
  int file;
};

class Inputs {
 public:
  explicit Inputs(const ScratchFolder& folder) {
    const char* urls[] = {"http://h/a.png", "http://h/b.jpg", "http://h/c.zip", "http://h/d.png"};
    for (int i = 0; i < 4; ++i) {
      bytes_.push_back(
          testing::MakeContainer(testing::HeaderFor(urls[i]), std::string(2500 + i, 'p')));
      bytes_.back().resize(bytes_.back().size() + kHeadSize, 0);
      paths_.push_back(folder.Write("f" + std::to_string(i) + ".qcx", bytes_.back()));
      wide_paths_.push_back(testing::Widen(paths_.back()));
    }
  }

  std::string Answer(const Request& r, ProgressCallback progress = nullptr,
                     LONG_PTR user = 0) const {
    const std::vector<uint8_t>& bytes = bytes_[r.file];
    const char* buffer =
        r.memory ? reinterpret_cast<const char*>(bytes.data()) : paths_[r.file].c_str();
    const wchar_t* wide =
        r.memory ? reinterpret_cast<const wchar_t*>(bytes.data()) : wide_paths_[r.file].c_str();
    const LONG_PTR length = r.memory ? static_cast<LONG_PTR>(bytes.size()) : 0;
    const uint32_t flag = r.memory ? kMemoryInput : kFileInput;
    switch (r.kind) {
      case Request::kProbe:
        return std::to_string(
            IsSupported(paths_[r.file].c_str(), reinterpret_cast<ULONG_PTR>(bytes.data())));
      case Request::kInfo:
      case Request::kInfoW: {
        PictureInfo info = {};
        const int32_t result = r.kind == Request::kInfo
                                   ? GetPictureInfo(buffer, length, flag, &info)
                                   : GetPictureInfoW(wide, length, flag, &info);
        std::string answer = std::to_string(result) + " " + std::to_string(info.width) + "x" +
                             std::to_string(info.height) + " " + Text(info.text);
        LocalFree(info.text);
        return answer;
      }
      case Request::kPicture:
      case Request::kPictureW: {
        HLOCAL header = nullptr, bits = nullptr;
        const int32_t result =
            r.kind == Request::kPicture
                ? GetPicture(buffer, length, flag, &header, &bits, progress, user)
                : GetPictureW(wide, length, flag, &header, &bits, progress, user);
        std::string answer = std::to_string(result) + " " + Text(header) + Text(bits);
        LocalFree(header);
        LocalFree(bits);
        return answer;
      }
    }
    return "";
  }

 private:
  static std::string Text(HLOCAL block) {
    if (block == nullptr) return "(none)";
    std::string text(static_cast<const char*>(LocalLock(block)), LocalSize(block));
    LocalUnlock(block);
    return text;
  }

  std::vector<std::vector<uint8_t>> bytes_;
  std::vector<std::string> paths_;
  std::vector<std::wstring> wide_paths_;
};

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadAllDecoders();
    ASSERT_EQ(RegisterDecoder(FixturePath("fx_png").c_str()), 1);
    ASSERT_EQ(RegisterDecoder(FixturePath("fx_jpeg").c_str()), 1);
    for (int kind = Request::kProbe; kind <= Request::kPictureW; ++kind) {
      for (int file = 0; file < 4; ++file) {
        for (bool memory : {false, true}) {
          if (kind == Request::kProbe && !memory) continue;
          requests_.push_back({static_cast<Request::Kind>(kind), memory, file});
          expected_.push_back(inputs_.Answer(requests_.back()));
        }
      }
    }
  }
  void TearDown() override {
    SetKeepDecodersLoaded(false);
    UnloadAllDecoders();
  }

  // threads threads, each making `count` requests from a different start in
  // the list, while one more adds and removes a decoder that declares *.PNG
  // after the others: no answer may change. Returns the mismatches.
  int Run(int threads, int count) {
    std::atomic<bool> done{false};
    std::thread changer([&] {
      const std::string extra = FixturePath("fx_png_second");
      while (!done.load()) {
        if (RegisterDecoder(extra.c_str())) RemoveDecoder(DecoderCount() - 1);
      }
    });
    std::atomic<int> mismatches{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        for (int i = 0; i < count; ++i) {
          const size_t at = (static_cast<size_t>(t) * 7 + i) % requests_.size();
          if (inputs_.Answer(requests_[at]) != expected_[at] && mismatches++ == 0) {
            first_mismatch_ = at;
          }
        }
      });
    }
    for (std::thread& worker : workers) worker.join();
    done = true;
    changer.join();
    return mismatches.load();
  }

  std::string Describe(size_t at) const {
    const Request& r = requests_[at];
    return "request kind " + std::to_string(r.kind) + ", file " + std::to_string(r.file) +
           (r.memory ? ", memory" : ", by name");
  }

  std::atomic<size_t> first_mismatch_{0};
  testing::FixtureLog log_;
  ScratchFolder folder_;
  Inputs inputs_{folder_};
  std::vector<Request> requests_;
  std::vector<std::string> expected_;
};

TEST_F(Concurrency, ThreadsGetTheAnswersTheyGetAloneWhileTheTableChanges) {
  const int count = RequestsPerThread();
  for (bool warm : {false, true}) {
    SetKeepDecodersLoaded(warm);
    for (int threads : {1, 2, 4, 8}) {
      EXPECT_EQ(Run(threads, count / 2), 0)
          << threads << " threads, warm " << warm << ", first: " << Describe(first_mismatch_);
    }
  }
  SetKeepDecodersLoaded(false);
  UnloadAllDecoders();
  for (const char* module : {"fx_png.spi", "fx_jpeg.spi", "fx_png_second.spi"}) {
    EXPECT_FALSE(IsModuleLoaded(module)) << module;
  }
}

TEST_F(Concurrency, FourThreadsLeaveNothingBehind) {
  const int count = RequestsPerThread();
  Run(4, 20);  // the heaps and the loader settle first
  const testing::ProcessUsage before = testing::CurrentUsage();
  EXPECT_EQ(Run(4, count), 0) << "first: " << Describe(first_mismatch_);
  const testing::ProcessUsage after = testing::CurrentUsage();
  EXPECT_LE(after.handles, before.handles + 4);
  EXPECT_LE(after.private_bytes, before.private_bytes + (1u << 20));
  EXPECT_LE(after.heap_blocks, before.heap_blocks + 16);
  for (const char* module : {"fx_png.spi", "fx_jpeg.spi"}) {
    EXPECT_FALSE(IsModuleLoaded(module)) << module << " with decoders not kept loaded";
  }
}

// Most decoders keep their state in globals: two threads are never inside one
// decoder at once, unless the user says the decoders are safe for it; two
// different decoders are still asked at once.
TEST_F(Concurrency, OneThreadAtATimeInsideADecoderUnlessParallel) {
  const struct {
    const char* label;
    bool parallel;
    int second_file;  // f3 is another PNG, f1 a JPEG
    bool overlap;
  } cases[] = {
      {"one decoder", false, 3, false},
      {"one decoder, in parallel", true, 3, true},
      {"two decoders", false, 1, true},
  };
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "500");
  for (const auto& c : cases) {
    SetParallelDecoders(c.parallel);
    log_.Clear();
    std::thread first([&] { inputs_.Answer({Request::kPicture, true, 0}); });
    EXPECT_TRUE(testing::WaitUntil([&] { return !log_.Events({"enter"}).empty(); }));
    std::thread second([&] { inputs_.Answer({Request::kPicture, true, c.second_file}); });
    first.join();
    second.join();
    // Each call logs "enter" on its way in and its own line on its way out.
    const std::vector<std::string> calls = log_.Events({"enter GetPicture", "GetPicture "});
    ASSERT_EQ(calls.size(), 4u) << c.label;
    EXPECT_EQ(calls[1].find(" enter ") != std::string::npos, c.overlap)
        << c.label << ": " << ::testing::PrintToString(calls);
  }
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
  SetParallelDecoders(false);
}

// A picture request that a host makes from inside its progress callback, once.
struct Nested {
  const Inputs* inputs;
  int file;
  std::string answer;
};

int __stdcall AskFromCallback(int, int, LONG_PTR user) {
  auto* nested = reinterpret_cast<Nested*>(user);
  if (nested->answer.empty()) {
    nested->answer = nested->inputs->Answer({Request::kPicture, true, nested->file});
  }
  return 0;
}

// A request from inside a progress callback, for another decoder, gets its
// picture, waiting if another thread is in that decoder; unless that thread
// waits, from its own callback, for the decoder this one is in: then one of
// the two is refused at once, with 8, rather than both waiting for ever.
TEST_F(Concurrency, NestedRequestsIntoEachOthersDecodersNeverWaitForEver) {
  const struct {
    const char* label;
    bool parallel;
    bool crosswise;  // a second thread asks for f1 and, from its callback, f0
    int refused;
  } cases[] = {
      {"one thread", false, false, 0},
      {"two threads crosswise", false, true, 1},
      {"two threads crosswise, in parallel", true, true, 0},
  };
  // f0 goes to the PNG decoder, f1 to the JPEG one.
  const std::string picture[] = {inputs_.Answer({Request::kPicture, true, 0}),
                                 inputs_.Answer({Request::kPicture, true, 1})};
  ASSERT_EQ(picture[0].rfind("0 ", 0), 0u) << picture[0];
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "500");
  for (const auto& c : cases) {
    SetParallelDecoders(c.parallel);
    log_.Clear();
    Nested nested[] = {{&inputs_, 1, ""}, {&inputs_, 0, ""}};
    std::string outer[2];
    const DWORD start = GetTickCount();
    std::thread first([&] {
      outer[0] = inputs_.Answer({Request::kPicture, true, 0}, &AskFromCallback,
                                reinterpret_cast<LONG_PTR>(&nested[0]));
    });
    std::thread second;
    if (c.crosswise) {
      EXPECT_TRUE(testing::WaitUntil([&] { return !log_.Events({"enter"}).empty(); }));
      second = std::thread([&] {
        outer[1] = inputs_.Answer({Request::kPicture, true, 1}, &AskFromCallback,
                                  reinterpret_cast<LONG_PTR>(&nested[1]));
      });
    }
    first.join();
    if (second.joinable()) second.join();
    EXPECT_LT(GetTickCount() - start, 5000u) << c.label;
    int refused = 0;
    for (int t = 0; t < (c.crosswise ? 2 : 1); ++t) {
      EXPECT_EQ(outer[t], picture[t]) << c.label;
      if (nested[t].answer == "8 (none)(none)") {
        ++refused;
      } else {
        EXPECT_EQ(nested[t].answer, picture[1 - t]) << c.label << ", thread " << t;
      }
    }
    EXPECT_EQ(refused, c.refused) << c.label;
  }
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
  SetParallelDecoders(false);
}

// Viewers with a thumbnail thread per core keep many threads waiting for one
// decoder. A thread inside that decoder's progress callback that asks for a
// decoder nobody holds gets it at once, however many wait: it never waits
// for room to wait, which would hold every waiter for ever.
struct Crowded {
  const Inputs* inputs;
  std::atomic<int>* waiting;
  int crowd;
  std::string answer;
};

int __stdcall AskOnceTheCrowdWaits(int, int, LONG_PTR user) {
  auto* nested = reinterpret_cast<Crowded*>(user);
  if (!nested->answer.empty()) return 0;
  while (nested->waiting->load() < nested->crowd) Sleep(1);
  Sleep(300);  // each is inside its request by now, waiting for the decoder
  nested->answer = nested->inputs->Answer({Request::kPicture, true, 1});
  return 0;
}

TEST_F(Concurrency, ManyWaitersForOneDecoderLeaveAFreeDecoderFree) {
  constexpr int kCrowd = 200;
  const std::string png = inputs_.Answer({Request::kPicture, true, 0});
  const std::string jpeg = inputs_.Answer({Request::kPicture, true, 1});
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "5");
  std::atomic<int> waiting{0};
  Crowded nested{&inputs_, &waiting, kCrowd, ""};
  std::string outer;
  std::vector<std::string> answers(kCrowd);
  const std::string other_png = inputs_.Answer({Request::kPicture, true, 3});
  std::atomic<bool> done{false};
  const DWORD start = GetTickCount();
  std::thread runner([&] {
    std::thread inside([&] {
      outer = inputs_.Answer({Request::kPicture, true, 0}, &AskOnceTheCrowdWaits,
                             reinterpret_cast<LONG_PTR>(&nested));
    });
    EXPECT_TRUE(testing::WaitUntil([&] { return !log_.Events({"enter"}).empty(); }));
    std::vector<std::thread> crowd;
    for (int t = 0; t < kCrowd; ++t) {
      crowd.emplace_back([&, t] {
        ++waiting;
        answers[t] = inputs_.Answer({Request::kPicture, true, 3});
      });
    }
    inside.join();
    for (std::thread& thread : crowd) thread.join();
    done = true;
  });
  // Stuck, the threads cannot be joined: the failure ends the program.
  while (!done && GetTickCount() - start < 60000) Sleep(10);
  if (!done) {
    ADD_FAILURE() << "the requests still wait after 60 s";
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 1);
  }
  runner.join();
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_EQ(outer, png);
  EXPECT_EQ(nested.answer, jpeg);
  for (int t = 0; t < kCrowd; ++t) ASSERT_EQ(answers[t], other_png) << t;
}

}  // namespace
}  // namespace tavok
