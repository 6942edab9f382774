#include "container/file_paths.h"

#include <gtest/gtest.h>

namespace tavok {
namespace {

TEST(IsFullPath, DriveWithSeparatorOrUncPrefixOnly) {
  const struct {
    const char* path;
    bool full;
  } cases[] = {
      {"C:\\x\\a.spi", true},   {"z:/x/a.spi", true}, {"\\\\server\\share\\a.spi", true},
      {"//server/a.spi", true}, {"a.spi", false},     {"plugins\\a.spi", false},
      {".\\a.spi", false},      {"..\\a.spi", false}, {"\\a.spi", false},
      {"C:a.spi", false},       {"1:\\a.spi", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsFullPath(c.path), c.full) << c.path;
}

}  // namespace
}  // namespace tavok
