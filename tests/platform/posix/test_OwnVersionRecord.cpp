// The launcher's own version record: an ELF section of the program itself.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "../VersionReading.h"

// The launcher's own record: a real ELF section of this very test program, read back through
// /proc/self/exe like the launcher reads its caption version.
extern "C" {
__attribute__((section(".qv_version"), used, aligned(4)))
const std::uint32_t QvTestFixedFileInfo[13] = {0xFEEF04BDu, 0x00010000u, (7u << 16) | 8u,
                                               (9u << 16) | 10u, 0, 0, 0x3F, 0, 0x40004, 1, 0,
                                               0, 0};
}

namespace {

using V4 = std::array<int, 4>;
using platform_test::ReadVersion;

TEST(FileVersion, ReadsTheRecordOfThisProgramsOwnElfSection) {
  auto version = ReadVersion("/proc/self/exe");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(*version, (V4{7, 8, 9, 10}));
}

}  // namespace
