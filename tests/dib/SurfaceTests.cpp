// Storage, copying, settings and fills of surfaces.
#include <gtest/gtest.h>

#include <cstring>

#include "DIBTestUtil.h"

using namespace dibtest;

TEST(SurfaceStorage, SizeZeroBecomesOneAndTheSameSizeKeepsThePixels) {
  TGuardedDIB s;
  EXPECT_FALSE(s.HasPixels());
  s.SetSize(0, 5);
  EXPECT_EQ(s.Width(), 1);
  EXPECT_EQ(s.Height(), 5);
  EXPECT_EQ(s.ClipRect(), (TDIBClipRect{0, 0, 0, 4}));
  s.Pixels()[3] = 0x12345678;
  uint32_t* before = s.Pixels();
  s.SetSize(1, 5);
  EXPECT_EQ(s.Pixels(), before);
  EXPECT_EQ(s.Pixels()[3], 0x12345678u);
  EXPECT_EQ(s.ChangedCount, 0) << "SetSize does not notify";
  TMemoryDIB wide(65535, 1);
  EXPECT_EQ(wide.Width(), 65535);
  wide.Fill(clWhite);
  EXPECT_EQ(Hex(*wide.ScanPixel(65534, 0)), "00FFFFFF");
}

TEST(SurfaceStorage, PictureCoordinatesCountRowsFromTheTop) {
  TGuardedDIB s(3, 2);
  *s.ScanPixel(0, 0) = 1;  // top-left: the second stored row
  EXPECT_EQ(s.Pixels()[3], 1u);
}

TEST(SurfaceStorage, ReferenceSharesPixelsAndCopiesSettingsWithoutNotifying) {
  TGuardedDIB src(4, 3);
  src.SetOpacity(90);
  src.SetAngle(12);
  TGuardedDIB view(1, 1);
  view.Reference(&src);
  EXPECT_FALSE(view.OwnsPixels());
  EXPECT_TRUE(view.HasPixels());
  EXPECT_EQ(view.Pixels(), src.Pixels());
  EXPECT_EQ(view.Width(), 4);
  EXPECT_EQ(view.Height(), 3);
  EXPECT_EQ(view.Opacity(), 90);
  EXPECT_EQ(view.Angle(), 12);
  EXPECT_EQ(view.BlendSurface(), &src) << "the routine keeps reading the source";
  EXPECT_EQ(view.ChangedCount, 0);
  // A view that is resized gets a buffer of its own instead of writing past the other's.
  view.SetSize(50, 50);
  EXPECT_TRUE(view.OwnsPixels());
  EXPECT_NE(view.Pixels(), src.Pixels());
  EXPECT_TRUE(src.GuardsIntact());
}

TEST(SurfaceStorage, CopyIntoResizesCopiesSettingsAndNotifiesOnce) {
  TGuardedDIB src(10, 10), dst(1, 1);
  for (int i = 0; i < 100; ++i) src.Pixels()[i] = 0x01010101u * static_cast<uint32_t>(i);
  src.SetOpacity(3);
  src.SetMasked(true);
  src.SetTransparentMode(TTransparentMode::tmFixed);
  src.SetTransparentColor(clBlue);
  dst.ChangedCount = 0;
  dst.CopyFrom(&src);
  EXPECT_EQ(dst.Width(), 10);
  EXPECT_EQ(std::memcmp(dst.Pixels(), src.Pixels(), 400), 0);
  EXPECT_EQ(dst.Opacity(), 3);
  EXPECT_TRUE(dst.Masked());
  EXPECT_EQ(Hex(dst.GetTransparentColor()), "000000FF");
  EXPECT_EQ(dst.ChangedCount, 1);
  EXPECT_EQ(dst.BlendSurface(), &dst) << "Changed reselects the routine for the target itself";
  EXPECT_TRUE(dst.GuardsIntact());
}

TEST(SurfaceStorage, AssigningToOtherClassesFailsWithTheirNames) {
  TGuardedDIB s(2, 2);
  TCanvas canvas;
  try {
    s.AssignProperties(&canvas);
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TAbstractDIB to a TCanvas");
  }
  try {
    canvas.CopyFrom(&s);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TAbstractSuperDIB to a TCanvas");
  }
}

TEST(SurfaceSettings, SettersNotifyOnlyOnRealChanges) {
  TGuardedDIB s(2, 2);
  s.ChangedCount = 0;
  s.SetOpacity(255);
  s.SetAngle(0);
  s.SetMasked(false);
  s.SetScale(100);
  s.SetTransparent(false);
  s.SetTransparentMode(TTransparentMode::tmAuto);
  EXPECT_EQ(s.ChangedCount, 0);
  s.SetOpacity(1);
  s.SetAngle(359);
  s.SetAutoSize(true);
  s.SetScaleX(50);
  s.SetScale(50);  // ScaleY still differs
  s.SetScale(50);
  EXPECT_EQ(s.ChangedCount, 5);
  EXPECT_EQ(s.ScaleY(), 50);
  int fired = 0;
  s.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &s);
    ++fired;
  };
  s.SetAlpha(7);
  s.Fill(clBlack);
  s.FillRect(clBlack, 0, 0, 1, 1);
  s.SetClipRect(0, 0, 0, 0);
  s.SetDefaults();
  EXPECT_EQ(fired, 2) << "SetAlpha and Fill notify; FillRect, SetClipRect, SetDefaults do not";
}

TEST(SurfaceSettings, ClipRectIsNormalisedButAnOutsideRectStaysEmpty) {
  struct Case {
    TDIBClipRect In, Want;
  } cases[] = {
      {{0, 0, 10, 10}, {0, 0, 9, 7}},       {{5, 6, 1, 2}, {1, 2, 5, 6}},
      {{-4, -4, 3, 3}, {0, 0, 3, 3}},       {{20, 1, 30, 2}, {20, 1, 9, 2}},
      {{-9, -9, -5, -5}, {0, 0, -5, -5}},
  };
  for (const Case& c : cases) {
    TGuardedDIB s(10, 8);
    s.SetClipRect(c.In);
    EXPECT_EQ(s.ClipRect(), c.Want) << c.In.Left << "," << c.In.Top << "," << c.In.Right << "," << c.In.Bottom;
  }
}

TEST(SurfaceFill, FillResolvesSystemColoursAndLeavesAlphaZero) {
  TGuardedDIB s(3, 3);
  s.Fill(clBtnFace);
  const uint32_t want = ColorToPixel(ColorToRGB(clBtnFace));
  EXPECT_EQ(want >> 24, 0u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Hex(s.Pixels()[i]), Hex(want));
  s.Fill(RGB(1, 2, 3));
  EXPECT_EQ(Hex(s.Pixels()[0]), "00010203");
}

// FillRect against a plain model: the rectangle's intersection with the surface, nothing else.
TEST(SurfaceFill, FillRectFillsExactlyTheClippedRectangle) {
  struct Case {
    int X, Y, W, H;
  } cases[] = {
      {0, 0, 5, 4},   {-3, -2, 5, 4},       {3, 2, 100, 100}, {0, -5, 5, 5} /* Y + H = 0 */,
      {-5, 0, 5, 1},  {5, 0, 1, 1},         {0, 4, 1, 1},     {-100, -100, 1000, 1000},
      {2, 1, 0, 3},   {2, 1, -3, 3},        {1, 1, 2147483647, 2147483647},
      {-2147483647, -2147483647, 2147483647, 2147483647},     {4, 3, 1, 1},
  };
  for (const Case& c : cases) {
    TGuardedDIB s(5, 4);
    s.Fill(clBlack);
    s.FillRect(clWhite, c.X, c.Y, c.W, c.H);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        // The arithmetic is 32-bit: a right edge past 2^31 wraps negative and fills nothing.
        const bool wraps = int64_t{c.X} + c.W > INT32_MAX;
        const bool inside = !wraps && c.W > 0 && c.H > 0 && x >= c.X && y >= c.Y && int64_t{x} < int64_t{c.X} + c.W &&
                            int64_t{y} < int64_t{c.Y} + c.H;
        EXPECT_EQ(Hex(At(s, x, y)), inside ? "00FFFFFF" : "00000000")
            << "rect " << c.X << "," << c.Y << "," << c.W << "," << c.H << " at " << x << "," << y;
      }
    EXPECT_TRUE(s.GuardsIntact());
  }
}

TEST(SurfaceFill, SetAlphaSetsOnlyTheAlphaByte) {
  TGuardedDIB s(2, 1);
  s.Pixels()[0] = 0x11223344;
  s.Pixels()[1] = 0xFFFFFFFF;
  s.SetAlpha(0x80);
  EXPECT_EQ(Hex(s.Pixels()[0]), "80223344");
  EXPECT_EQ(Hex(s.Pixels()[1]), "80FFFFFF");
}

TEST(SurfaceFill, RotatedSizeSwapsWithScalesAndQuarterTurns) {
  EXPECT_EQ(RotatedSize(40, 20, 0, 50, 200), (TPoint{20, 40}));
  EXPECT_EQ(RotatedSize(40, 20, 90, 100, 100), (TPoint{20, 40}));
  EXPECT_EQ(RotatedSize(10, 10, 45, 100, 100), (TPoint{14, 14}));
  EXPECT_EQ(RotatedSize(0, 0, 359, 0, 10000), (TPoint{0, 0}));
}
