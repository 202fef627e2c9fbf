// Draw (direct and transformed), RenderTransformed and ApplyFilter against plain models.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <random>

#include "DIBTestUtil.h"

using namespace dibtest;

namespace {

uint32_t Id(int x, int y) { return 0x01000000u | static_cast<uint32_t>(y << 12 | x); }

void Number(TAbstractSuperDIB& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) *s.ScanPixel(x, y) = Id(x, y);
}

struct TDrawCase {
  int X, Y, W, H, SrcX, SrcY;
  TDIBClipRect Clip;
};

// Copies with BlendCopy and checks every destination pixel against the model: a pixel is drawn
// when it lies in the rectangle, the clip and the destination, and its source lies in the source.
void CheckDirectDraw(const TDrawCase& c) {
  TGuardedDIB src(17, 13), dst(23, 19);
  Number(src);
  for (int i = 0; i < 23 * 19; ++i) dst.Pixels()[i] = 0xEEEEEEEE;
  dst.SetClipRect(c.Clip);
  const TDIBClipRect clip = dst.ClipRect();
  dst.ChangedCount = 0;
  src.Draw(c.X, c.Y, c.W, c.H, &dst, static_cast<uint16_t>(c.SrcX), static_cast<uint16_t>(c.SrcY));
  bool any = false;
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 23; ++x) {
      const int64_t sx = int64_t{c.SrcX} + x - c.X, sy = int64_t{c.SrcY} + y - c.Y;
      const bool drawn = x >= c.X && y >= c.Y && x < int64_t{c.X} + c.W && y < int64_t{c.Y} + c.H &&
                         x >= clip.Left && x <= clip.Right && y >= clip.Top && y <= clip.Bottom && sx < 17 &&
                         sy < 13;
      any |= drawn;
      const uint32_t want = drawn ? Id(static_cast<int>(sx), static_cast<int>(sy)) : 0xEEEEEEEE;
      ASSERT_EQ(Hex(At(dst, x, y)), Hex(want))
          << "draw " << c.X << "," << c.Y << " " << c.W << "x" << c.H << " from " << c.SrcX << "," << c.SrcY
          << " clip " << clip.Left << "," << clip.Top << "," << clip.Right << "," << clip.Bottom << " at " << x
          << "," << y;
    }
  EXPECT_EQ(dst.ChangedCount, any ? 1 : 0);
  EXPECT_TRUE(dst.GuardsIntact());
}

}  // namespace

TEST(DrawDirect, ClipsToClipRectDestinationAndSource) {
  const TDrawCase fixed[] = {
      {-10, 0, 17, 13, 0, 0, {0, 0, 22, 18}},   // the leftmost 10 columns are cut off
      {0, -12, 17, 13, 0, 0, {0, 0, 22, 18}},   {20, 15, 17, 13, 0, 0, {0, 0, 22, 18}},
      {3, 3, 17, 13, 5, 7, {4, 5, 10, 9}},      {0, 0, 17, 13, 0, 0, {30, 0, 40, 18}},  // clip outside
      {0, 0, 17, 13, 0, 0, {9, 9, 3, 3}},       {23, 0, 5, 5, 0, 0, {0, 0, 22, 18}},
      {0, 19, 5, 5, 0, 0, {0, 0, 22, 18}},      {-17, -13, 17, 13, 0, 0, {0, 0, 22, 18}},
      {0, 0, 17, 13, 17, 0, {0, 0, 22, 18}},    {0, 0, 17, 13, 60000, 60000, {0, 0, 22, 18}},
      {-1000000, -1000000, 17, 13, 0, 0, {0, 0, 22, 18}},
      {5, 5, 0, 5, 0, 0, {0, 0, 22, 18}},       {5, 5, -7, 5, 0, 0, {0, 0, 22, 18}},
  };
  for (const TDrawCase& c : fixed) CheckDirectDraw(c);
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    auto r = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
    CheckDirectDraw({r(-40, 40), r(-40, 40), r(-5, 60), r(-5, 60), r(0, 25), r(0, 25),
                     {r(-30, 40), r(-30, 40), r(-30, 40), r(-30, 40)}});
  }
}

TEST(DrawDirect, AbsurdArgumentsNeverWriteOutside) {
  const int big = INT_MAX, small = INT_MIN;
  const int values[] = {small, small + 1, -65536, -1, 0, 1, 22, 65535, 65536, big - 1, big};
  for (int x : values)
    for (int w : values) {
      TGuardedDIB src(17, 13), dst(23, 19);
      Number(src);
      src.Draw(x, x, w, w, &dst, 1, 1);
      src.Draw(x, 0, w, 5, &dst, 65535, 0);
      src.Draw(3, 3, w, w, &dst, 0, 0);
      ASSERT_TRUE(dst.GuardsIntact()) << x << " " << w;
    }
}

TEST(DrawDirect, DrawAlphaCopiesAlphaOnlyAndRestoresTheRoutine) {
  TGuardedDIB src(2, 1), dst(2, 1);
  src.Pixels()[0] = 0x7F000000;
  src.Pixels()[1] = 0x01FFFFFF;
  dst.Pixels()[0] = 0xFF123456;
  dst.Pixels()[1] = 0x00654321;
  src.SetOpacity(10);
  const auto routine = src.BlendRoutine();
  src.DrawAlpha(0, 0, 2, 1, &dst);
  EXPECT_EQ(Hex(dst.Pixels()[0]), "7F123456");
  EXPECT_EQ(Hex(dst.Pixels()[1]), "01654321");
  EXPECT_TRUE(src.BlendRoutine() == routine);
  EXPECT_EQ(src.BlendSurface(), &src);
}

TEST(DrawTransformed, AutoSizedQuarterTurnDrawsATransposedIntermediate) {
  TGuardedDIB src(40, 20), dst(100, 100);
  src.Fill(clWhite);
  for (int i = 0; i < 100 * 100; ++i) dst.Pixels()[i] = 0xEEEEEEEE;
  src.SetAngle(90);
  src.SetAutoSize(true);
  src.Draw(5, 7, 40, 20, &dst);
  int left = 100, top = 100, right = -1, bottom = -1;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      if (At(dst, x, y) != 0xEEEEEEEE) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  EXPECT_EQ(left, 5);
  EXPECT_EQ(top, 7);
  EXPECT_EQ(right - left + 1, 20);
  EXPECT_EQ(bottom - top + 1, 40);
  EXPECT_TRUE(dst.GuardsIntact());
}

// A clipped transformed draw renders only what the clip leaves: every pixel inside the clip must
// be what the unclipped draw gives, every pixel outside untouched, for each blend and placement.
TEST(DrawTransformed, AClippedDrawEqualsTheWholeDrawInsideTheClip) {
  std::mt19937 rng(11);
  const int angles[] = {0, 30, 90, 181, 359};
  for (int angle : angles)
    for (int blend = 0; blend < 4; ++blend)
      for (int trial = 0; trial < 12; ++trial) {
        auto r = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
        TGuardedDIB src(static_cast<uint16_t>(r(1, 40)), static_cast<uint16_t>(r(1, 40)));
        FillRandom(src, rng);
        src.SetAngle(static_cast<TAngle>(angle));
        src.SetScaleX(r(10, 300));
        src.SetScaleY(r(10, 300));
        src.SetAutoSize(trial % 2 == 0);
        src.SetOpacity(blend == 1 ? 128 : 255);
        src.SetMasked(blend == 2);
        src.SetTransparent(blend == 3);
        TGuardedDIB whole(31, 27), clipped(31, 27);
        FillRandom(whole, rng);
        clipped.CopyFrom(&whole);
        const std::vector<uint32_t> before(clipped.Pixels(), clipped.Pixels() + 31 * 27);
        const int x = r(-20, 20), y = r(-20, 20), w = src.Width(), h = src.Height();
        src.Draw(x, y, w, h, &whole);
        if (blend == 0) {
          // A plain copy is the whole intermediate copied: render it and copy it by hand.
          const TPoint size = src.AutoSize() ? RotatedSize(src.Width(), src.Height(), src.Angle(), src.ScaleX(), src.ScaleY())
                                             : TPoint{w, h};
          TGuardedDIB inter(static_cast<uint16_t>(std::max(size.X, 1)), static_cast<uint16_t>(std::max(size.Y, 1)));
          src.RenderTransformed(&inter);
          TGuardedDIB copied(31, 27);
          copied.CopyFrom(&clipped);
          inter.Draw(x, y, inter.Width(), inter.Height(), &copied);
          for (int i = 0; i < 31 * 27; ++i)
            ASSERT_EQ(Hex(copied.Pixels()[i]), Hex(whole.Pixels()[i])) << "angle " << angle << " trial " << trial;
        }
        clipped.SetClipRect(r(-5, 30), r(-5, 30), r(-5, 30), r(-5, 30));
        const TDIBClipRect clip = clipped.ClipRect();
        src.Draw(x, y, w, h, &clipped);
        for (int py = 0; py < 27; ++py)
          for (int px = 0; px < 31; ++px) {
            const bool inside = px >= clip.Left && px <= clip.Right && py >= clip.Top && py <= clip.Bottom;
            const uint32_t want = inside ? At(whole, px, py) : before[static_cast<size_t>(26 - py) * 31 + px];
            ASSERT_EQ(Hex(At(clipped, px, py)), Hex(want))
                << "angle " << angle << " blend " << blend << " trial " << trial << " at " << px << "," << py;
          }
        EXPECT_TRUE(clipped.GuardsIntact());
      }
}

TEST(DrawTransformed, HugeAndNegativeSizesDrawNothingOrStayInside) {
  const int sizes[] = {INT_MIN, -1, 0, 1, 65535, 65536, INT_MAX};
  for (int w : sizes) {
    TGuardedDIB src(8, 8), dst(16, 16);
    src.Fill(clWhite);
    src.SetAngle(359);
    src.Draw(-3, -3, w, w == 65535 ? 1 : w, &dst);
    src.SetScale(10000);
    src.SetAutoSize(true);
    src.Draw(2, 2, w == 65535 ? 4 : w, w == 65535 ? 4 : w, &dst);
    ASSERT_TRUE(dst.GuardsIntact()) << w;
  }
}

namespace {

int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// RenderTransformed written out per pixel in 64-bit arithmetic (sizes here never wrap).
std::vector<uint32_t> ReferenceTransform(const TAbstractSuperDIB& s, int DW, int DH, uint32_t bg) {
  const int W = s.Width(), H = s.Height(), A = s.Angle();
  const double sx = s.ScaleX() / 100, sy = s.ScaleY() / 100;
  const double a = A * std::numbers::pi / 180;
  const int64_t ux = RoundEven(RoundEven(std::cos(a) * 256) * W / (W * sx));
  const int64_t uy = RoundEven(RoundEven(std::sin(a) * 256) * H / (H * sy));
  const int64_t vx = RoundEven(RoundEven(std::cos(a + std::numbers::pi / 2) * 256) * W / (W * sx));
  const int64_t vy = RoundEven(RoundEven(std::sin(a + std::numbers::pi / 2) * 256) * H / (H * sy));
  std::vector<uint32_t> out(static_cast<size_t>(DW) * DH);
  for (int r = 0; r < DH; ++r)
    for (int c = 0; c < DW; ++c) {
      const int64_t x = -ux * (DW / 2) - (DH / 2) * vx + r * vx + c * ux;
      const int64_t y = -uy * (DW / 2) - (DH / 2) * vy + r * vy + c * uy;
      const int64_t i = y / 256, j = x / 256;
      out[static_cast<size_t>(r) * DW + c] = (-(H / 2) < i && i < H / 2 && -(W / 2) < j && j < W / 2)
                                                  ? s.Pixels()[(H / 2 + i) * W + (W / 2 + j)]
                                                  : bg;
    }
  return out;
}

}  // namespace

TEST(RenderTransformed, MatchesThePerPixelMapping) {
  const int angles[] = {0, 1, 30, 45, 89, 90, 91, 180, 270, 300, 359};
  const double scales[] = {100, 50, 200, 33.3, 250.5, 10000, 1, -100};
  const int sizes[][4] = {{16, 12, 16, 12}, {15, 9, 21, 30}, {1, 1, 5, 5}, {2, 3, 7, 4}, {31, 17, 8, 40}};
  for (int angle : angles)
    for (double scale : scales)
      for (const auto& sz : sizes) {
        TGuardedDIB src(static_cast<uint16_t>(sz[0]), static_cast<uint16_t>(sz[1]));
        TGuardedDIB dst(static_cast<uint16_t>(sz[2]), static_cast<uint16_t>(sz[3]));
        Number(src);
        src.SetAngle(static_cast<TAngle>(angle));
        src.SetScaleX(scale);
        src.SetScaleY(scale == 100 ? 150 : scale);
        src.SetMasked(angle % 2 == 0);
        src.RenderTransformed(&dst);
        const auto want = ReferenceTransform(src, sz[2], sz[3], src.Masked() ? 0 : src.GetTransparentColor());
        for (size_t i = 0; i < want.size(); ++i)
          ASSERT_EQ(Hex(dst.Pixels()[i]), Hex(want[i]))
              << "angle " << angle << " scale " << scale << " size " << sz[0] << "x" << sz[1] << " -> " << sz[2]
              << "x" << sz[3] << " at stored " << i;
        EXPECT_TRUE(dst.GuardsIntact());
      }
}

TEST(RenderTransformed, ZeroScaleLeavesTheDestinationUntouched) {
  TGuardedDIB src(4, 4), dst(4, 4);
  src.Fill(clWhite);
  for (int i = 0; i < 16; ++i) dst.Pixels()[i] = 0x55555555;
  src.SetScaleY(0);
  dst.ChangedCount = 0;
  src.RenderTransformed(&dst);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(dst.Pixels()[i], 0x55555555u);
  EXPECT_EQ(dst.ChangedCount, 0);
}

TEST(RenderTransformed, TablesRoundHalvesToEven) {
  const TRotationTables& t = RotationTables();
  EXPECT_EQ(t.Sin256[30], 128);
  EXPECT_EQ(t.Cos256[90], 0);
  EXPECT_EQ(t.Cos256[180], -256);
  EXPECT_EQ(t.Sin256Quarter[0], 256);
  EXPECT_EQ(t.Cos256Quarter[0], 0);
  EXPECT_EQ(t.Cos256Quarter[90], -256);
  EXPECT_EQ(t.Sin256[45], 181);
}

namespace {

// ApplyFilter's interior pixel written out with 16-bit wrapping arithmetic.
uint32_t ReferenceFilter(const TAbstractSuperDIB& s, int x, int y, const TDIBFilter& f) {
  int16_t divisor = static_cast<int16_t>(f.Divisor);
  if (f.Divisor <= 0) {
    int sum = 0;
    for (int16_t w : f.Weights) sum += w;
    divisor = static_cast<int16_t>(sum);
  }
  const int16_t add[3] = {f.BlueAdd, f.GreenAdd, f.RedAdd};
  uint32_t out = At(s, x, y) & 0xFF000000u;
  for (int ch = 0; ch < 3; ++ch) {
    int sum = 0;
    for (int k = 0; k < 9; ++k) sum += f.Weights[k] * static_cast<int>((At(s, x + k % 3 - 1, y + k / 3 - 1) >> (8 * ch)) & 0xFF);
    int16_t v = static_cast<int16_t>(static_cast<uint16_t>(sum + add[ch]));
    if (divisor != 0) v = static_cast<int16_t>(v / divisor);
    out |= static_cast<uint32_t>(std::clamp<int>(v, 0, 255)) << (8 * ch);
  }
  return out;
}

}  // namespace

TEST(ApplyFilter, ConvolvesTheInteriorAndBlendsTheZeroBorder) {
  TDIBFilter sharpen;
  sharpen.Divisor = 0;
  const int16_t w1[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
  std::copy(std::begin(w1), std::end(w1), sharpen.Weights);
  TDIBFilter wrapping;  // sums past 32767 wrap to negative in 16 bits
  const int16_t w2[9] = {200, 200, 200, 0, 200, 0, 0, 0, 0};
  std::copy(std::begin(w2), std::end(w2), wrapping.Weights);
  wrapping.Divisor = 3;
  wrapping.RedAdd = -7;
  TDIBFilter halfOpaque = sharpen;
  halfOpaque.Opacity = 128;
  halfOpaque.BlueAdd = 1000;
  TDIBFilter zeroDivisor = sharpen;  // 65536 is 0 in 16 bits: no division
  zeroDivisor.Divisor = 65536;
  for (const TDIBFilter& f : {sharpen, wrapping, halfOpaque, zeroDivisor}) {
    std::mt19937 rng(3);
    TGuardedDIB s(9, 7);
    FillRandom(s, rng);
    TGuardedDIB original(9, 7);
    original.CopyFrom(&s);
    s.ApplyFilter(f);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) {
        const bool border = x == 0 || y == 0 || x == 8 || y == 6;
        const uint32_t filtered = border ? 0 : ReferenceFilter(original, x, y, f);
        const uint32_t want = f.Opacity == 255 ? filtered : RefBlend(filtered, At(original, x, y), f.Opacity);
        ASSERT_EQ(Hex(At(s, x, y)), Hex(want)) << x << "," << y << " divisor " << f.Divisor;
      }
    EXPECT_TRUE(s.GuardsIntact());
  }
}
