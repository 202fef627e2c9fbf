// Which Wine prefix the registry is read from on Linux.
#include <gtest/gtest.h>

#include "../TempFiles.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

using namespace platform;

namespace {

TEST(RegistryPrefixPath, OverrideThenWinePrefixThenHome) {
  platform_test::ScopedEnv prefix("WINEPREFIX", "/opt/prefix");
  platform_test::ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(WinePrefixPath(), "/opt/prefix");
  SetWinePrefixOverride("/tmp/x");
  EXPECT_EQ(WinePrefixPath(), "/tmp/x");
  SetWinePrefixOverride(std::nullopt);
  platform::SetEnvironmentVariableText("WINEPREFIX", "");
  EXPECT_EQ(WinePrefixPath(), "/home/someone/.wine");
}

}  // namespace
