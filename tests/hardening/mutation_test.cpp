// A bounded mutation run through the real exports: cache files mutated at
// random (bits, bytes, lengths, cut and spliced text), each sent through
// IsSupported (head in memory and open file), GetPictureInfo and GetPicture
// (memory input placed against a guard page, and file input at an offset),
// with fixture decoders listed. No crash, and every answer a code of the
// interface. TAVOK_MUTATION_INPUTS and TAVOK_MUTATION_SEED set the count and
// the seed (tools/mutate.sh runs the full count).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "request_driver.h"
#include "samples.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// xorshift32: the same seed gives the same run, so a failure can be replayed.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed != 0 ? seed : 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  size_t Below(size_t bound) { return bound == 0 ? 0 : Next() % bound; }

 private:
  uint32_t state_;
};

const uint8_t kInteresting[] = {0x00, 0xFF, '\r', '\n', '/', '?', '.', '\\', '=', 0x81, 0x5C, 0x7F};
const char* const kSplices[] = {".png",
                                ".bmp",
                                ".tif",
                                ".raw",
                                ".jpg",
                                ".a10",
                                "URL=",
                                "\r\n",
                                "?",
                                "/",
                                ".",
                                "\x83\x5C",
                                "http://h/x.png\r\n"};

void WriteLength(Bytes& bytes, uint32_t value) {
  if (bytes.size() < 4) bytes.resize(4, 0);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void Mutate(Bytes& bytes, Random& random) {
  switch (random.Below(9)) {
    case 0:
      if (!bytes.empty()) bytes[random.Below(bytes.size())] ^= 1u << random.Below(8);
      break;
    case 1:
      if (!bytes.empty()) {
        bytes[random.Below(bytes.size())] = kInteresting[random.Below(sizeof(kInteresting))];
      }
      break;
    case 2: {
      const size_t at = random.Below(bytes.size() + 1);
      const size_t count = 1 + random.Below(8);
      for (size_t i = 0; i < count; ++i) {
        bytes.insert(bytes.begin() + at, static_cast<uint8_t>(random.Next()));
      }
      break;
    }
    case 3:
      if (!bytes.empty()) {
        const size_t at = random.Below(bytes.size());
        const size_t count = 1 + random.Below(bytes.size() - at);
        bytes.erase(bytes.begin() + at, bytes.begin() + at + count);
      }
      break;
    case 4: {
      const uint32_t lengths[] = {random.Next(),
                                  0x7FFFFFFFu,
                                  0xFFFFFFFFu,
                                  0x80000000u,
                                  11,
                                  12,
                                  static_cast<uint32_t>(bytes.size()) - 4,
                                  static_cast<uint32_t>(bytes.size()) - 3};
      WriteLength(bytes, lengths[random.Below(8)]);
      break;
    }
    case 5:
      bytes.resize(random.Below(bytes.size() + 1));
      break;
    case 6: {
      const char* splice = kSplices[random.Below(sizeof(kSplices) / sizeof(kSplices[0]))];
      const size_t at = random.Below(bytes.size() + 1);
      bytes.insert(bytes.begin() + at, splice, splice + std::strlen(splice));
      break;
    }
    case 7: {
      const size_t count = random.Below(3000);
      for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(random.Next()));
      break;
    }
    default: {
      // Point the length field at some CR LF again, so that most mutated
      // files still pass as containers and reach the decoders.
      std::vector<size_t> ends;
      for (size_t i = 14; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == '\r' && bytes[i + 1] == '\n') ends.push_back(i + 2);
      }
      if (!ends.empty())
        WriteLength(bytes, static_cast<uint32_t>(ends[random.Below(ends.size())] - 4));
      break;
    }
  }
}

TEST(MutationRun, EveryAnswerIsACodeOfTheInterface) {
  const int inputs = CountFromEnvironment("TAVOK_MUTATION_INPUTS", 500);
  const uint32_t seed = static_cast<uint32_t>(CountFromEnvironment("TAVOK_MUTATION_SEED", 8));
  PluginFolder folder;
  const PluginHost host(folder, SampleDecoders());
  RequestDriver driver(host, SampleDecoders());
  Random random(seed);
  const char* const names[] = {"a.qcx", nullptr, "C:\\cache\\b.QCX", "a.jpg", "\x83\x5C.qcx"};
  // Under code page 932 the last name is one double-byte character ending in
  // the byte of a backslash; elsewhere it would name a folder.
  const std::string file_names[] = {"m.qcx", "m.QCX", "m.jpg",
                                    GetACP() == 932 ? "\x95\x5C.qcx" : "n.qcx"};

  const DWORD start = GetTickCount();
  for (int i = 0; i < inputs; ++i) {
    Bytes bytes = Samples()[random.Below(Samples().size())].bytes;
    const size_t mutations = 1 + random.Below(3);
    for (size_t m = 0; m < mutations; ++m) Mutate(bytes, random);

    driver.SupportedFromHead(names[random.Below(5)], bytes);
    driver.InfoFromMemory(bytes);
    driver.PictureFromMemory(bytes);

    // File input, now and then behind a few bytes that the offset skips.
    const int32_t offset = random.Below(4) == 0 ? static_cast<int32_t>(random.Below(16)) : 0;
    Bytes file(static_cast<size_t>(offset), 0xEE);
    file.insert(file.end(), bytes.begin(), bytes.end());
    const std::string path = folder.Write(file_names[random.Below(4)], file);
    driver.SupportedFromHandle(path);
    driver.InfoFromFile(path, offset);
    driver.PictureFromFile(path, offset);
    DeleteFileA(path.c_str());
    if (!driver.faults().empty()) {
      ADD_FAILURE() << "input " << i << " of seed " << seed;
      break;
    }
  }
  std::printf("mutation run: %d inputs, seed %u, %lu ms\n%s", inputs, seed,
              static_cast<unsigned long>(GetTickCount() - start), driver.Summary().c_str());

  EXPECT_TRUE(driver.faults().empty()) << ::testing::PrintToString(driver.faults());
  // The run reached the decoders, not only the validation: accepted
  // payloads, a decoder's own failures, and the placeholder all occurred.
  const auto& pictures = driver.results().at("GetPicture memory");
  for (int32_t code : {0, 1, 2, 4}) {
    EXPECT_GT(pictures.count(code), 0u) << "GetPicture never answered " << code;
  }
}

}  // namespace
}  // namespace tavok::testing
