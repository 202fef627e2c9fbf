#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/Guid.h"
#include "support/GuidSource.h"

using namespace platform;

namespace {

TEST(Guid, TextAndStoredLayoutFollowTheFields) {
  struct TCase {
    TGuid Guid;
    const char* Text;
    uint8_t Bytes[GuidSize];
  };
  const TCase cases[] = {
      {{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
       "{00112233-4455-6677-8899-AABBCCDDEEFF}",
       {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
      {{0xDEADBEEF, 0x000A, 0xF00D, {0, 1, 2, 3, 4, 5, 6, 0xAB}},
       "{DEADBEEF-000A-F00D-0001-0203040506AB}",
       {0xEF, 0xBE, 0xAD, 0xDE, 0x0A, 0x00, 0x0D, 0xF0, 0, 1, 2, 3, 4, 5, 6, 0xAB}},
      {{}, "{00000000-0000-0000-0000-000000000000}", {}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(GuidToString(c.Guid), c.Text);
    uint8_t bytes[GuidSize];
    GuidToBytes(c.Guid, bytes);
    EXPECT_EQ(std::memcmp(bytes, c.Bytes, GuidSize), 0) << c.Text;
    EXPECT_EQ(GuidFromBytes(c.Bytes), c.Guid) << c.Text;
  }
}

TEST(Guid, CreatedOnesAreVersionFourVariantOneFromTheSource) {
  TGuidSourceScope scope([](void* buffer, size_t count) {
    std::memset(buffer, 0xFF, count);
    return true;
  });
  TGuid g;
  ASSERT_TRUE(CreateGuid(g));
  EXPECT_EQ(GuidToString(g), "{FFFFFFFF-FFFF-4FFF-BFFF-FFFFFFFFFFFF}");
}

TEST(Guid, ARefusingSourceLeavesTheGuidAlone) {
  TGuidSourceScope scope([](void*, size_t) { return false; });
  TGuid g{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  const TGuid before = g;
  EXPECT_FALSE(CreateGuid(g));
  EXPECT_EQ(g, before);
}

TEST(Guid, TheSystemSourceGivesDistinctVersionFourGuids) {
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    TGuid g;
    ASSERT_TRUE(CreateGuid(g));
    const std::string text = GuidToString(g);
    EXPECT_EQ(text[15], '4') << text;
    EXPECT_NE(std::string("89AB").find(text[20]), std::string::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

}  // namespace
