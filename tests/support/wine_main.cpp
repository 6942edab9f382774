// Test entry point for the Windows test programs: reports the ANSI code page
// the run sees, and makes the pure text code follow it as the module does.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "host/platform_lead_bytes.h"

namespace {

// ctest names the code page each run is meant for, so that a run that silently
// fell back to another locale fails instead of testing the wrong thing.
TEST(Environment, RunsUnderTheExpectedCodePage) {
  const char* expected = std::getenv("TAVOK_EXPECT_ACP");
  if (expected == nullptr) GTEST_SKIP() << "TAVOK_EXPECT_ACP not set";
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("ANSI code page %u\n", GetACP());
  tavok::UsePlatformLeadBytes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
