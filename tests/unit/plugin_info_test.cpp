#include "host/plugin_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tavok {
namespace {

TEST(PluginInfo, TableHoldsTheFourStrings) {
  EXPECT_STREQ(PluginInfoString(0), "00IN");
  EXPECT_EQ(std::string(PluginInfoString(1)).rfind("QCX to DIB filter ver0.01", 0), 0u);
  EXPECT_STREQ(PluginInfoString(2), "*.qcx");
  EXPECT_STREQ(PluginInfoString(3), "Tarnwick Cache (*.qcx)");
  EXPECT_EQ(PluginInfoString(4), nullptr);
  EXPECT_EQ(PluginInfoString(-1), nullptr);
}

TEST(PluginInfo, NullBufferCopiesNothing) {
  EXPECT_EQ(CopyPluginInfo(0, nullptr, 100), 0);
}

}  // namespace
}  // namespace tavok
