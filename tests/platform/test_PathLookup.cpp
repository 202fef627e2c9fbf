#include <gtest/gtest.h>

#include <string>

#include "platform/PathLookup.h"

namespace {

TEST(CaseFolding, FoldsBySimpleCaseFolding) {
  const struct {
    char32_t From, To;
  } cases[] = {
      {U'A', U'a'},         {U'z', U'z'},         {U'\u00C4', U'\u00E4'}, {U'\u00B5', U'\u03BC'},
      {U'\u03A3', U'\u03C3'}, {U'\u03C2', U'\u03C3'}, {U'\u1E9E', U'\u00DF'}, {U'\u212A', U'k'},
      {U'\u0130', U'\u0130'},  // only a full or Turkic folding exists for the dotted capital I
      {U'\u0100', U'\u0101'}, {U'\u0101', U'\u0101'}, {U'\u0410', U'\u0430'}, {U'\U00010400', U'\U00010428'},
      {U'1', U'1'},         {0x10FFFF, 0x10FFFF},
  };
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<uint32_t>(platform::SimpleCaseFold(c.From)), static_cast<uint32_t>(c.To))
        << std::hex << static_cast<uint32_t>(c.From);
  EXPECT_EQ(platform::FoldName("Vid\xC3\x89O.AVI"), "vid\xC3\xA9o.avi");
  EXPECT_EQ(platform::FoldName("CAF\xC9"), "caf\xC3\xA9") << "a name that is not UTF-8 is read as Windows-1252";
}

}  // namespace
