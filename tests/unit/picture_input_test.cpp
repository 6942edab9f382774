#include "host/picture_input.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "../pure/container_builder.h"
#include "../support/test_files.h"
#include "container/cache_container.h"

namespace tavok {
namespace {

using testing::HeaderFor;
using testing::MakeContainer;
using testing::ScratchFolder;

ResultCode LoadFile(const std::string& path, int32_t offset, PictureInput* input) {
  return LoadPictureInput(path.c_str(), offset, kFileInput, input);
}

TEST(LoadPictureInput, MemoryInputIsUsedInPlace) {
  const auto bytes = MakeContainer(HeaderFor("http://h/a.png"), "payload");
  PictureInput input;
  // Only the low three bits select the kind: 0x11 is memory input.
  ASSERT_EQ(LoadPictureInput(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<int32_t>(bytes.size()), 0x11, &input),
            kSuccess);
  EXPECT_EQ(input.data, bytes.data());
  EXPECT_EQ(input.size, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(input.name, nullptr);
  EXPECT_FALSE(input.block);
  ReleasePictureInput(&input);
}

// A memory length is taken whole: one that is negative, or 2 GiB or more,
// must not pass as its low 32 bits.
TEST(LoadPictureInput, MemoryLengthsOutsideTheRangeAreRefused) {
  const auto bytes = MakeContainer(HeaderFor("http://h/a.png"), std::string(100, 'p'));
  const auto buffer = reinterpret_cast<const char*>(bytes.data());
  const struct {
    LONG_PTR length;
    ResultCode expected;
  } cases[] = {
    {static_cast<LONG_PTR>(bytes.size()), kSuccess},
    {-1, kUnsupported},
    {LONG_PTR{INT32_MIN}, kUnsupported},
#if defined(_WIN64)
    {static_cast<LONG_PTR>(0xFFFFFFFF00000081ULL), kUnsupported},
    {LONG_PTR{1} << 31, kUnsupported},
    {(LONG_PTR{1} << 32) + 129, kUnsupported},
#endif
  };
  for (const auto& c : cases) {
    PictureInput input;
    EXPECT_EQ(LoadPictureInput(buffer, c.length, kMemoryInput, &input), c.expected) << c.length;
    ReleasePictureInput(&input);
  }
}

TEST(LoadPictureInput, FileInputReadsFromTheOffsetWithZeroSlack) {
  ScratchFolder folder;
  const std::string prefix = "JUNKJUNK";
  const auto container = MakeContainer(HeaderFor("http://h/a.png"), "payload");
  std::string bytes = prefix + std::string(container.begin(), container.end());
  const std::string path = folder.Write("a.qcx", bytes);

  PictureInput input;
  // Only the low three bits select the kind: 0x10 is file input.
  ASSERT_EQ(LoadPictureInput(path.c_str(), static_cast<int32_t>(prefix.size()), 0x10, &input),
            kSuccess);
  ASSERT_EQ(input.size, static_cast<int32_t>(container.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(input.data), container.size()),
            std::string(container.begin(), container.end()));
  EXPECT_STREQ(input.name, path.c_str());
  ASSERT_TRUE(input.block);
  EXPECT_EQ(LocalSize(input.block.get()), container.size() + kHeadSize);
  for (int i = 0; i < kHeadSize; ++i) ASSERT_EQ(input.data[input.size + i], 0) << i;
  EXPECT_EQ(ValidateContainer(input.name, input.data, input.size), 47);
  ReleasePictureInput(&input);
  EXPECT_FALSE(input.block);
  EXPECT_EQ(input.data, nullptr);
}

struct SizeCase {
  const char* label;
  size_t file_size;
  int32_t offset;
  ResultCode expected;
};

class FileSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FileSizes, GiveTheirResultCode) {
  const SizeCase& sc = GetParam();
  ScratchFolder folder;
  const std::string path = folder.Write("f.qcx", std::string(sc.file_size, 'x'));
  PictureInput input;
  EXPECT_EQ(LoadFile(path, sc.offset, &input), sc.expected) << sc.label;
  EXPECT_EQ(input.block.get() != nullptr, sc.expected == kSuccess) << sc.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSizes,
    ::testing::Values(SizeCase{"empty", 0, 0, kUnsupported},
                      SizeCase{"seven bytes", 7, 0, kUnsupported},
                      SizeCase{"offset plus seven", 107, 100, kUnsupported},
                      SizeCase{"offset plus eight", 108, 100, kSuccess},
                      SizeCase{"offset at the end", 100, 100, kUnsupported},
                      SizeCase{"offset beyond the end", 100, 1000, kUnsupported},
                      SizeCase{"largest offset", 100, INT_MAX, kUnsupported},
                      // A negative offset would read from before the file's start.
                      SizeCase{"negative offset", 100, -8, kUnsupported},
                      SizeCase{"most negative offset", 100, INT_MIN, kUnsupported}));

TEST(LoadPictureInput, ThreeGibibyteSparseFileIsRefusedWithoutAllocating) {
  ScratchFolder folder;
  const std::string path = folder.Join("big.qcx");
  testing::ExtendFile(path, 3LL << 30);

  PictureInput input;
  // Allocating 3 GiB cannot succeed in a 32-bit process: an attempt would
  // have given 4, so 2 shows the size was refused first.
  EXPECT_EQ(LoadFile(path, 0, &input), kUnsupported);
  EXPECT_EQ(LoadFile(path, 1 << 30, &input), kUnsupported);
  EXPECT_FALSE(input.block);
}

TEST(LoadPictureInput, UnreadableSourcesGiveReadError) {
  ScratchFolder folder;
  PictureInput input;
  EXPECT_EQ(LoadFile(folder.Join("missing.qcx"), 0, &input), kReadError);
  EXPECT_EQ(LoadFile(folder.MakeFolder("dir.qcx"), 0, &input), kReadError);
  EXPECT_EQ(LoadFile(folder.Join("no\\such\\dir.qcx"), 0, &input), kReadError);

  const std::string locked = folder.Write("locked.qcx", std::string(64, 'x'));
  HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(LoadFile(locked, 0, &input), kReadError);
  CloseHandle(holder);
  EXPECT_EQ(LoadFile(locked, 0, &input), kSuccess);
  ReleasePictureInput(&input);
}

// While the cache's owner holds a file open, for writing or to rename it, a
// viewer can still read it; only an owner that shares nothing keeps it.
TEST(LoadPictureInput, FilesTheOwnerHoldsOpenCanBeRead) {
  ScratchFolder folder;
  const std::string path = folder.Write("held.qcx", std::string(64, 'x'));
  const struct {
    DWORD access;
    DWORD share;
    ResultCode expected;
  } holders[] = {
      {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, kSuccess},
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kSuccess},
      {GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, kSuccess},
      {GENERIC_READ, 0, kReadError},
  };
  for (const auto& holder : holders) {
    HANDLE held =
        CreateFileA(path.c_str(), holder.access, holder.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PictureInput input;
    EXPECT_EQ(LoadFile(path, 0, &input), holder.expected) << holder.access << " " << holder.share;
    ReleasePictureInput(&input);
    CloseHandle(held);
  }
}

// A file is read as far as its header and kHeadSize bytes of payload; the
// rest only when asked for, then whole and followed by zero slack.
TEST(LoadPictureInput, TheHeadFirstAndTheWholePayloadOnRequest) {
  ScratchFolder folder;
  std::string payload(3 * kHeadSize + 17, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i % 251 + 1);
  const auto container = MakeContainer(HeaderFor("http://h/a.png"), payload);
  const std::string prefix(100, 'p');
  const std::string path =
      folder.Write("a.qcx", prefix + std::string(container.begin(), container.end()));

  PictureInput input;
  ASSERT_EQ(LoadFile(path, static_cast<int32_t>(prefix.size()), &input), kSuccess);
  const int32_t offset = ValidateContainer(input.name, input.data, input.size);
  ASSERT_EQ(offset, 47);
  EXPECT_EQ(input.size, static_cast<int32_t>(container.size()));
  EXPECT_EQ(input.loaded, offset + kHeadSize);
  EXPECT_EQ(LocalSize(input.block.get()), static_cast<SIZE_T>(offset + 2 * kHeadSize));

  const uint8_t* whole = nullptr;
  ASSERT_EQ(LoadWholePayload(&input, offset, &whole), kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(whole), payload.size()), payload);
  for (int i = 0; i < kHeadSize; ++i) ASSERT_EQ(whole[payload.size() + i], 0) << i;
  EXPECT_STREQ(ExtractSourceName(input.data).name, "a.png") << "the head stays readable";
  ReleasePictureInput(&input);
}

TEST(LoadPictureInput, DoubleByteFileNamesUnderCodePage932) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
  ScratchFolder folder;
  // 表 (0x95 0x5C) and ソ (0x83 0x5C) end in a byte that is a backslash elsewhere.
  const std::string dir = folder.MakeFolder("\x95\x5C");
  const auto container = MakeContainer(HeaderFor("http://h/\x95\x5C.png"), "payload");
  const std::string path = dir + "\\\x83\x5C.qcx";
  testing::WriteBytes(path, container.data(), container.size());

  PictureInput input;
  ASSERT_EQ(LoadFile(path, 0, &input), kSuccess);
  EXPECT_EQ(input.size, static_cast<int32_t>(container.size()));
  EXPECT_NE(ValidateContainer(input.name, input.data, input.size), 0);
  EXPECT_STREQ(ExtractSourceName(input.data).name, "\x95\x5C.png");
  ReleasePictureInput(&input);
}

}  // namespace
}  // namespace tavok
