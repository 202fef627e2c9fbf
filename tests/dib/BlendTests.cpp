// The seven blend kernels at every processor level against the blend written out per channel,
// and the blend rules as a surface applies them.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "DIBTestUtil.h"

using namespace dibtest;
using dib::TBlendKind;
using dib::TSimdLevel;

namespace {

uint32_t Expected(TBlendKind kind, uint32_t s, uint32_t d, uint32_t opacity, uint32_t key) {
  const bool isKey = (s & 0xFFFFFF) == (key & 0xFFFFFF);
  switch (kind) {
    case TBlendKind::Copy: return s;
    case TBlendKind::Opacity: return RefBlend(s, d, opacity);
    case TBlendKind::Alpha: return RefBlend(s, d, s >> 24);
    case TBlendKind::AlphaOpacity: return RefBlend(s, d, ((s >> 24) * opacity) / 256);
    case TBlendKind::Key: return isKey ? d : (s & 0xFFFFFF);
    case TBlendKind::KeyOpacity: return isKey ? d : RefBlend(s, d, opacity);
    case TBlendKind::AlphaCopy: return (d & 0xFFFFFF) | (s & 0xFF000000u);
  }
  return 0;
}

std::vector<TSimdLevel> Levels() {
  std::vector<TSimdLevel> levels{TSimdLevel::Scalar};
  if (dib::BestSimdLevel() >= TSimdLevel::SSE2) levels.push_back(TSimdLevel::SSE2);
  if (dib::BestSimdLevel() >= TSimdLevel::AVX2) levels.push_back(TSimdLevel::AVX2);
  return levels;
}

}  // namespace

// Every kind, every level, lengths 0..67 at every misalignment, random pixels with a share of
// key pixels and of alpha 0 and 255; guard words after the row catch overruns of the tails.
TEST(BlendKernels, MatchTheChannelFormulaAtEveryLevelAndLength) {
  std::mt19937 rng(12345);
  for (TSimdLevel level : Levels()) {
    const dib::TBlendKernels& k = dib::BlendKernels(level);
    for (int kind = 0; kind < dib::kBlendKindCount; ++kind) {
      for (size_t n = 0; n < 68; ++n) {
        const size_t offset = n % 5;
        std::vector<uint32_t> src(n + 8), dst(n + 8 + kGuardWords, kGuard);
        dib::TBlendArgs args{static_cast<uint32_t>(rng() % 256), static_cast<uint32_t>(rng())};
        for (size_t i = 0; i < n; ++i) {
          src[offset + i] = rng();
          if (rng() % 4 == 0) src[offset + i] = (args.Key & 0xFFFFFF) | (rng() & 0xFF000000u);
          if (rng() % 8 == 0) src[offset + i] &= 0x00FFFFFF;
          if (rng() % 8 == 0) src[offset + i] |= 0xFF000000u;
          dst[offset + i] = rng();
        }
        const std::vector<uint32_t> before = dst;
        k.Row[kind](src.data() + offset, dst.data() + offset, n, args);
        for (size_t i = 0; i < n; ++i) {
          const uint32_t want = Expected(static_cast<TBlendKind>(kind), src[offset + i], before[offset + i],
                                         args.Opacity, args.Key);
          ASSERT_EQ(Hex(dst[offset + i]), Hex(want))
              << "level " << dib::SimdLevelName(level) << " kind " << kind << " n " << n << " at " << i
              << " src " << Hex(src[offset + i]) << " dst " << Hex(before[offset + i]) << " opacity "
              << args.Opacity;
        }
        for (size_t i = offset + n; i < dst.size(); ++i) ASSERT_EQ(dst[i], before[i]) << "write past the row";
        for (size_t i = 0; i < offset; ++i) ASSERT_EQ(dst[i], before[i]) << "write before the row";
      }
    }
  }
}

// Rows that begin and end where their memory does: a kernel that reads even one byte outside its
// row (the constant-weight form reads a byte on each side of its groups of eight) is caught by
// AddressSanitizer, which the sanitizer run of these tests uses; without it the pixels are still
// checked. The sanitizer does not see into the assembly loop, but a row's first and last reads
// are made outside it.
TEST(BlendKernels, ReadNothingOutsideTheRow) {
  std::mt19937 rng(777);
  for (TSimdLevel level : Levels()) {
    const dib::TBlendKernels& k = dib::BlendKernels(level);
    for (int kind = 0; kind < dib::kBlendKindCount; ++kind) {
      for (size_t n = 1; n < 41; ++n) {
        const auto src = std::make_unique<uint32_t[]>(n);
        const auto dst = std::make_unique<uint32_t[]>(n);
        std::vector<uint32_t> before(n);
        for (size_t i = 0; i < n; ++i) src[i] = rng(), dst[i] = before[i] = rng();
        const dib::TBlendArgs args{static_cast<uint32_t>(rng() % 256), src[n / 2]};
        k.Row[kind](src.get(), dst.get(), n, args);
        for (size_t i = 0; i < n; ++i)
          ASSERT_EQ(Hex(dst[i]), Hex(Expected(static_cast<TBlendKind>(kind), src[i], before[i], args.Opacity, args.Key)))
              << "level " << dib::SimdLevelName(level) << " kind " << kind << " n " << n << " at " << i;
      }
    }
  }
}

// Exhaustive over one channel: every source, destination and weight gives the formula's result,
// whether the weight is the opacity or the source's own alpha, and every destination alpha comes
// through untouched (the vector forms keep it by arithmetic, not by masking).
TEST(BlendKernels, WeightedBlendsAreExactForEveryChannelValueAndWeight) {
  for (TSimdLevel level : Levels()) {
    for (TBlendKind kind : {TBlendKind::Opacity, TBlendKind::Alpha}) {
      const dib::TRowKernel kernel = dib::BlendKernels(level).Row[static_cast<int>(kind)];
      std::vector<uint32_t> src(256), dst(256);
      for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t s = 0; s < 256; ++s) {
          const uint32_t srcAlpha = kind == TBlendKind::Alpha ? a : 255 - s;
          for (uint32_t d = 0; d < 256; ++d) {
            src[d] = s | (s << 8) | (s << 16) | (srcAlpha << 24);
            dst[d] = d | (d << 8) | (d << 16) | (((d + s) & 0xFF) << 24);
          }
          kernel(src.data(), dst.data(), 256, dib::TBlendArgs{a, 0});
          for (uint32_t d = 0; d < 256; ++d) {
            const uint32_t c = RefChannel(s, d, a);
            const uint32_t want = c | (c << 8) | (c << 16) | (((d + s) & 0xFF) << 24);
            if (dst[d] != want)
              FAIL() << dib::SimdLevelName(level) << " kind " << static_cast<int>(kind) << " s " << s << " d " << d
                     << " a " << a << ": " << Hex(dst[d]) << " != " << Hex(want);
          }
        }
      }
    }
  }
}

struct TSurfaceBlendCase {
  const char* Name;
  uint8_t Opacity;
  bool Masked, Transparent;
  TTransparentMode Mode;
  uint32_t Src, Dst, Want;
};

// The blend rules through Draw: the routine SelectBlend picks and the pixel it produces.
TEST(SurfaceBlend, DrawAppliesTheSelectedRule) {
  const uint32_t key = 0x000A141E;  // R 10, G 20, B 30
  const TSurfaceBlendCase cases[] = {
      {"black over black, opacity", 100, false, false, TTransparentMode::tmAuto, 0xFF000000, 0x80000000, 0x80010101},
      {"black over black, masked", 255, true, false, TTransparentMode::tmAuto, 0x37000000, 0x55000000, 0x55010101},
      {"opacity 0 keeps non-zero channels", 0, false, false, TTransparentMode::tmAuto, 0xFFFFFFFF, 0x44105000, 0x44105001},
      {"key pixel leaves destination", 255, false, true, TTransparentMode::tmFixed, 0xFF0A141E, 0x12345678, 0x12345678},
      {"other pixel copied with alpha 0", 255, false, true, TTransparentMode::tmFixed, 0xFF0A141F, 0x12345678, 0x000A141F},
      {"masked wins over transparent", 255, true, true, TTransparentMode::tmFixed, 0x800A141E, 0x00000000,
       RefBlend(0x800A141E, 0, 0x80)},
      {"key with opacity", 128, false, true, TTransparentMode::tmFixed, 0x00FFFFFF, 0x9A000000, RefBlend(0xFFFFFF, 0x9A000000, 128)},
      {"alpha with opacity", 200, true, false, TTransparentMode::tmAuto, 0xC0804020, 0x01020304,
       RefBlend(0xC0804020, 0x01020304, (0xC0 * 200) >> 8)},
  };
  for (const auto& c : cases) {
    TGuardedDIB src(1, 1), dst(1, 1);
    src.Pixels()[0] = c.Src;
    dst.Pixels()[0] = c.Dst;
    src.SetOpacity(c.Opacity);
    src.SetMasked(c.Masked);
    src.SetTransparentMode(c.Mode);
    src.SetTransparentColor(static_cast<TColor>(0x001E140A));  // colour form of the key
    src.SetTransparent(c.Transparent);
    ASSERT_EQ(src.GetTransparentColor() & 0xFFFFFF, c.Mode == TTransparentMode::tmFixed ? key : c.Src & 0xFFFFFF);
    src.Draw(0, 0, 1, 1, &dst);
    EXPECT_EQ(Hex(dst.Pixels()[0]), Hex(c.Want)) << c.Name;
  }
}

TEST(SurfaceBlend, AutoKeyIsTheStoredBottomLeftPixel) {
  TGuardedDIB src(2, 2), dst(2, 2);
  // Storage order: element 0 is the bottom-left pixel of the picture.
  src.Pixels()[0] = 0xAA112233;
  src.Pixels()[1] = 0x00112233;  // same colour, other alpha: also keyed
  src.Pixels()[2] = 0xFF445566;
  src.Pixels()[3] = 0xFF112234;
  for (int i = 0; i < 4; ++i) dst.Pixels()[i] = 0x99999999;
  src.SetTransparentColor(clRed);  // ignored in tmAuto
  src.SetTransparent(true);
  EXPECT_EQ(Hex(src.GetTransparentColor()), "AA112233");
  src.Draw(0, 0, 2, 2, &dst);
  EXPECT_EQ(Hex(dst.Pixels()[0]), "99999999");
  EXPECT_EQ(Hex(dst.Pixels()[1]), "99999999");
  EXPECT_EQ(Hex(dst.Pixels()[2]), "00445566");
  EXPECT_EQ(Hex(dst.Pixels()[3]), "00112234");
}

TEST(SurfaceBlend, SelectBlendFollowsTheTable) {
  using R = TAbstractSuperDIB::TBlendRoutine;
  struct Row {
    uint8_t Opacity;
    bool Masked, Transparent;
    R Want;
  } rows[] = {
      {255, true, false, &TAbstractSuperDIB::BlendAlpha},     {255, true, true, &TAbstractSuperDIB::BlendAlpha},
      {255, false, true, &TAbstractSuperDIB::BlendKey},       {255, false, false, &TAbstractSuperDIB::BlendCopy},
      {7, true, true, &TAbstractSuperDIB::BlendAlphaOpacity}, {7, false, true, &TAbstractSuperDIB::BlendKeyOpacity},
      {7, false, false, &TAbstractSuperDIB::BlendOpacity},
  };
  for (const Row& r : rows) {
    TGuardedDIB s;
    s.SetOpacity(r.Opacity);
    s.SetMasked(r.Masked);
    s.SetTransparent(r.Transparent);
    EXPECT_TRUE(s.BlendRoutine() == r.Want) << int(r.Opacity) << r.Masked << r.Transparent;
    EXPECT_EQ(s.BlendSurface(), &s);
  }
}
