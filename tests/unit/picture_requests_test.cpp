#include "decoders/picture_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tavok {
namespace {

HLOCAL Block(const void* bytes, size_t size) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
  std::memcpy(LocalLock(block), bytes, size);
  LocalUnlock(block);
  return block;
}

std::string Take(HLOCAL block) {
  if (block == nullptr) return "(null)";
  const char* text = static_cast<const char*>(LocalLock(block));
  std::string copy(text);
  EXPECT_EQ(LocalSize(block), copy.size() + 1);
  LocalUnlock(block);
  LocalFree(block);
  return copy;
}

TEST(MakeTextInformation, PutsTheUrlInFrontOfTheDecodersText) {
  const char decoder[] = "640x480 PNG";
  const char unterminated[] = {'a', 'b', 'c'};
  struct Case {
    const char* url;
    const void* decoder_text;
    size_t decoder_size;
    const char* expected;
  } cases[] = {
      {"http://h/a.png", decoder, sizeof(decoder), "http://h/a.png\r\n640x480 PNG"},
      {"", decoder, sizeof(decoder), "\r\n640x480 PNG"},
      {"http://h/a.png", nullptr, 0, "http://h/a.png"},
      {"", nullptr, 0, "(null)"},
      {"u", "", 1, "u\r\n"},
      // Read no further than the block when the decoder left no terminator.
      {"u", unterminated, sizeof(unterminated), "u\r\nabc"},
  };
  for (const Case& c : cases) {
    HLOCAL decoder_block = c.decoder_text ? Block(c.decoder_text, c.decoder_size) : nullptr;
    EXPECT_EQ(Take(MakeTextInformation(c.url, decoder_block)), c.expected) << c.url;
    if (decoder_block != nullptr) {
      EXPECT_NE(LocalSize(decoder_block), 0u) << "the decoder's block stays the caller's";
      LocalFree(decoder_block);
    }
  }
}

TEST(ProbeHead, PadsShortHostBlocksOnly) {
  static uint8_t host[3000];
  for (size_t i = 0; i < sizeof(host); ++i) host[i] = static_cast<uint8_t>(i % 251 + 1);
  uint8_t padded[kHeadSize];

  PictureInput memory;
  memory.data = host;
  memory.size = memory.loaded = 100;
  const uint8_t* head = ProbeHead(memory, 16, padded);
  ASSERT_EQ(head, padded);
  EXPECT_EQ(std::memcmp(padded, host + 16, 84), 0);
  for (int i = 84; i < kHeadSize; ++i) ASSERT_EQ(padded[i], 0) << i;

  memory.size = memory.loaded = 16 + kHeadSize;
  EXPECT_EQ(ProbeHead(memory, 16, padded), host + 16) << "enough bytes follow";

  // A loaded file has its own zero slack.
  PictureInput file;
  file.block.reset(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 100 + kHeadSize));
  file.data = static_cast<const uint8_t*>(file.block.get());
  file.size = file.loaded = 100;
  EXPECT_EQ(ProbeHead(file, 16, padded), file.data + 16);
}

}  // namespace
}  // namespace tavok
