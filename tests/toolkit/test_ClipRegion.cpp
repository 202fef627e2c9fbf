// The clip region the toolkit keeps for devices without a system device context: what is left
// after exclusions, when it is one rectangle again, and which pixels it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/ClipRegion.h"

namespace {

// The pixels of a region inside a 12 x 12 field, row by row, as '#' and '.'.
std::string Picture(const TClipRegion& region) {
  std::string s;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) s += region.Contains(x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

// The same region as a pixel mask built by hand.
std::string Mask(const TRect& base, const std::vector<TRect>& holes) {
  std::string s;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      bool in = base.Contains({x, y});
      for (const TRect& h : holes) in = in && !h.Contains({x, y});
      s += in ? '#' : '.';
    }
    s += '\n';
  }
  return s;
}

TEST(ClipRegion, ExclusionsLeaveExactlyThePixelsOutsideThemAndTellTheirKind) {
  const TRect base{1, 1, 11, 11};
  const std::vector<TRect> holes{{3, 3, 6, 6}, {0, 8, 12, 9}, {5, 5, 9, 7}, {9, 0, 12, 12}};
  TClipRegion region(base);
  std::vector<TRect> made;
  for (const TRect& hole : holes) {
    region.Subtract(hole);
    made.push_back(hole);
    EXPECT_EQ(Picture(region), Mask(base, made));
    EXPECT_EQ(region.Kind(), COMPLEXREGION);
  }
  int64_t area = 0;
  region.ForEachRect([&](const TRect& r) { area += int64_t{r.Width()} * r.Height(); });
  const std::string pixels = Picture(region);
  EXPECT_EQ(area, std::count(pixels.begin(), pixels.end(), '#'));  // the parts do not overlap

  // Narrowed to a band the holes do not reach, the region is a rectangle again.
  region.Intersect({1, 9, 9, 11});
  EXPECT_EQ(region.Kind(), SIMPLEREGION);
  EXPECT_TRUE(region.IsRect());
  EXPECT_EQ(region.Box(), (TRect{1, 9, 9, 11}));
  region.Subtract({0, 0, 12, 12});
  EXPECT_EQ(region.Kind(), NULLREGION);
  EXPECT_FALSE(region.Meets({0, 0, 12, 12}));
}

TEST(ClipRegion, OverlappingRectanglesMakeOneRegionAndARectangleWhenTheyFillIt) {
  const TClipRegion square = TClipRegion::FromRects({{0, 0, 6, 4}, {2, 0, 8, 8}, {0, 3, 6, 8}, {}});
  EXPECT_EQ(square.Kind(), SIMPLEREGION);
  EXPECT_EQ(square.Box(), (TRect{0, 0, 8, 8}));
  const TClipRegion ell = TClipRegion::FromRects({{0, 0, 4, 8}, {2, 5, 8, 8}});
  EXPECT_EQ(ell.Kind(), COMPLEXREGION);
  EXPECT_TRUE(ell.Contains(7, 6));
  EXPECT_FALSE(ell.Contains(7, 2));
  EXPECT_TRUE(ell.Meets({6, 4, 7, 6}));
  EXPECT_FALSE(ell.Meets({5, 0, 8, 5}));
}

}  // namespace
