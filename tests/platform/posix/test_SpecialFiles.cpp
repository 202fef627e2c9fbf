#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/FileReading.h"
#include "platform/FileVersion.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace {

// Named pipes and devices where a file is expected: read as missing, at once, never waited on.
TEST(SpecialFiles, PipesAndDevicesReadAsMissingWithoutWaiting) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(platform::GetPrivateProfileString("S", "K", "default", fifo), "default");
  platform::DWORD handle = 0;
  EXPECT_EQ(platform::GetFileVersionInfoSizeA(fifo.c_str(), &handle), 0u);
  EXPECT_FALSE(platform::ReadWholeFile(fifo, 1 << 20).has_value());
  EXPECT_FALSE(platform::ReadWholeFile("/dev/zero", 1 << 20).has_value());
  EXPECT_EQ(platform::GetPrivateProfileString("S", "K", "default", "/dev/zero"), "default");
}

}  // namespace
