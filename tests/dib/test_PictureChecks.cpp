// What a bitmap's or an icon's headers claim is checked against the file's bytes before any
// decoder sees them, on every backend.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "PictureBytes.h"
#include "toolkit/PictureChecks.h"

namespace {

using namespace picture_bytes;

TEST(PictureChecks, HeadersThatClaimMoreThanTheFileHoldsAreRefused) {
  const std::vector<uint8_t> row(4, 0);  // one 24-bit pixel and its padding
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool Plausible;
  } bitmaps[] = {
      {"one pixel", Bitmap(1, 1, 24, 0, {}, row), true},
      {"top-down", Bitmap(1, -1, 24, 0, {}, row), true},
      {"no rows", Bitmap(1, 1, 24, 0, {}, {}), false},
      {"zero wide", Bitmap(0, 1, 24, 0, {}, row), false},
      {"too wide", Bitmap(65536, 1, 24, 0, {}, std::vector<uint8_t>(65536 * 3)), false},
      {"run-length, more pixels than justified", Bitmap(65535, 65535, 8, 1, {0}, {0, 1}), false},
      {"run-length, rows not counted", Bitmap(100, 100, 8, 1, {0}, {0, 1}), true},
      {"no bits per pixel", Bitmap(1, 1, 0, 0, {}, row), false},
      {"not a bitmap", std::vector<uint8_t>(60, 'x'), false},
  };
  for (const TCase& c : bitmaps) EXPECT_EQ(BitmapHeaderPlausible(c.Bytes), c.Plausible) << c.Name;

  std::vector<uint8_t> twoEntries = Icon(IconImage());
  Put16(twoEntries, 4, 2);  // a second entry, which the directory has no room for
  std::vector<uint8_t> outside = Icon(IconImage());
  Put32(outside, 18, 4000);
  TCase icons[] = {
      {"2 x 2", Icon(IconImage()), true},
      {"a cursor", Icon(IconImage(), 2), false},
      {"no entries", std::vector<uint8_t>{0, 0, 1, 0, 0, 0}, false},
      {"a second entry that is none", twoEntries, false},
      {"image outside the file", outside, false},
      {"colour rows cut short", Icon(IconImage(2, 4, 12)), false},
      {"huge claim", Icon(IconImage(65535, 2 * 65535)), false},
      {"PNG", Icon(PngHeader(16, 16)), true},
      {"huge PNG", Icon(PngHeader(60000, 60000)), false},
  };
  for (const TCase& c : icons) EXPECT_EQ(IconHeaderPlausible(c.Bytes), c.Plausible) << c.Name;
}

}  // namespace
