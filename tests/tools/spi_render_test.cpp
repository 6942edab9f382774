// spi-render run as a user runs it: a child process with a plug-in and a
// file on its command line, judged by its exit code, its messages and the
// .bmp file it writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../support/test_files.h"
#include "child_process.h"
#include "dib.h"

namespace tavok::testing {
namespace {

std::string Quote(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Plugin(const std::string& name) {
  return Quote(ProgramFolder() + "\\" + name);
}

class SpiRender : public ::testing::Test {
 protected:
  ToolRun Run(const std::string& arguments) {
    return RunTool("spi-render.exe", arguments, folder_);
  }
  ScratchFolder folder_;
};

TEST_F(SpiRender, WritesWhatTheDecoderDeliversAsABmpFile) {
  const std::string png = folder_.Write("a.png", EncodePng(kWidth, kHeight, false, TestPattern));
  const ToolRun run = Run(Plugin(kIfwicName) + " " + Quote(png));
  ASSERT_EQ(run.exit_code, 0u) << run.out << run.err;
  EXPECT_NE(run.out.find("head in memory 1, file handle 1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("width 50, height 7"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("text: PNG 50x7"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "") << "no progress bar for a quick picture";

  const std::vector<uint8_t> bmp = ReadBytes(png + ".bmp");
  const std::vector<uint8_t> rows = DibRows(kWidth, kHeight, 24, TestPattern);
  const size_t offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  ASSERT_EQ(bmp.size(), offset + rows.size());
  BITMAPFILEHEADER file_header;
  std::memcpy(&file_header, bmp.data(), sizeof(file_header));
  EXPECT_EQ(file_header.bfType, 0x4D42);
  EXPECT_EQ(file_header.bfSize, bmp.size());
  EXPECT_EQ(file_header.bfOffBits, offset);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bmp.data() + sizeof(file_header), sizeof(header));
  BITMAPINFOHEADER expected = DibHeader(kWidth, kHeight, 24);
  expected.biXPelsPerMeter = header.biXPelsPerMeter;
  expected.biYPelsPerMeter = header.biYPelsPerMeter;
  EXPECT_EQ(std::memcmp(&header, &expected, sizeof(header)), 0);
  EXPECT_TRUE(std::equal(rows.begin(), rows.end(), bmp.begin() + offset));

  const std::string from_memory = folder_.Join("memory.bmp");
  const ToolRun memory_run =
      Run("--memory --out " + Quote(from_memory) + " " + Plugin(kIfwicName) + " " + Quote(png));
  ASSERT_EQ(memory_run.exit_code, 0u) << memory_run.out << memory_run.err;
  EXPECT_NE(memory_run.out.find("memory input"), std::string::npos) << memory_run.out;
  EXPECT_EQ(ReadBytes(from_memory), bmp);
}

TEST_F(SpiRender, DrawsAProgressBarForSlowPictures) {
  const std::string file = folder_.Write("slow.dat", "data");
  EnvironmentVariable slow("TAVOK_SCRIPTED_SLOW", "1");
  const ToolRun run = Run(Plugin("scripted.spi") + " " + Quote(file));
  ASSERT_EQ(run.exit_code, 0u) << run.out << run.err;
  EXPECT_NE(run.err.find("\r[" + std::string(40, '#') + "] 100%"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.back(), '\n') << "the bar's line is ended";
  // The scripted plug-in's 2 x 2 picture, rows padded to 8 bytes.
  EXPECT_EQ(ReadBytes(file + ".bmp").size(), 14u + 40u + 16u);
}

TEST_F(SpiRender, ExitCodesTellEachFailureApart) {
  const std::string file = Quote(folder_.Write("any.dat", "data"));
  const std::string scripted = Plugin("scripted.spi") + " " + file;
  const struct {
    const char* what;
    const char* variable;  // set for the run, with value
    const char* value;
    std::string arguments;
    DWORD exit_code;
    const char* message;  // expected on standard error (or output, for --help)
  } cases[] = {
      {"help", nullptr, nullptr, "--help", 0, "88   8 the chosen decoder lacks"},
      {"no arguments", nullptr, nullptr, "", 64, "usage: spi-render"},
      {"unknown option", nullptr, nullptr, "--fast " + scripted, 64, "usage: spi-render"},
      {"missing plug-in", nullptr, nullptr, Quote(folder_.Join("none.spi")), 65, "cannot load"},
      {"not a plug-in", nullptr, nullptr, "kernel32.dll", 66,
       "lacks the entry point GetPluginInfo"},
      {"no GetPicture", nullptr, nullptr, Plugin("scripted-no-picture.spi") + " " + file, 66,
       "lacks the entry point GetPicture"},
      {"missing file", nullptr, nullptr,
       Plugin("scripted.spi") + " " + Quote(folder_.Join("none.dat")), 67, "cannot open"},
      {"declined", nullptr, nullptr, Plugin(kIfwicName) + " " + file, 68, "does not support"},
      {"unwritable output", nullptr, nullptr,
       "--out " + Quote(folder_.Join("none\\a.bmp")) + " " + scripted, 69, "cannot write"},
      {"short pixel block", "TAVOK_SCRIPTED_PIXELS", "4", scripted, 70, "unusable blocks"},
      {"GetPictureInfo fails", "TAVOK_SCRIPTED_INFO", "4", scripted, 84,
       "GetPictureInfo returned 4: out of memory"},
      {"not provided", "TAVOK_SCRIPTED_PICTURE", "-1", scripted, 79, "GetPicture returned -1"},
      {"aborted", "TAVOK_SCRIPTED_PICTURE", "1", scripted, 81, "GetPicture returned 1"},
      {"unsupported", "TAVOK_SCRIPTED_PICTURE", "2", scripted, 82, "GetPicture returned 2"},
      {"out of memory", "TAVOK_SCRIPTED_PICTURE", "4", scripted, 84, "GetPicture returned 4"},
      {"read error", "TAVOK_SCRIPTED_PICTURE", "6", scripted, 86, "GetPicture returned 6"},
      {"decoder lacks an entry point", "TAVOK_SCRIPTED_PICTURE", "8", scripted, 88,
       "GetPicture returned 8"},
      {"unknown code", "TAVOK_SCRIPTED_PICTURE", "3", scripted, 89, "unknown result code"},
  };
  for (const auto& c : cases) {
    EnvironmentVariable variable(c.variable ? c.variable : "TAVOK_SCRIPTED_UNUSED", c.value);
    const ToolRun run = Run(c.arguments);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.what << "\n" << run.out << run.err;
    EXPECT_NE((run.exit_code == 0 ? run.out : run.err).find(c.message), std::string::npos)
        << c.what << "\n"
        << run.out << run.err;
  }
}

}  // namespace
}  // namespace tavok::testing
