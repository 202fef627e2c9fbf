#pragma once
// Helpers of the surface tests: a surface whose buffer is fenced by guard words, random pictures,
// the blend written out channel by channel as an independent reference, and hex printing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dib/cDIB.h"

namespace dibtest {

constexpr uint32_t kGuard = 0xDEADBEEF;
constexpr size_t kGuardWords = 64;

// A memory surface with guard words before and after its pixels; any write outside shows.
class TGuardedDIB : public TAbstractSuperDIB {
public:
  TGuardedDIB() = default;
  TGuardedDIB(uint16_t w, uint16_t h) { SetSize(w, h); }
  ~TGuardedDIB() override { ReleaseOwnPixels(); }
  bool GuardsIntact() const {
    if (FBlock.empty()) return true;
    for (size_t i = 0; i < kGuardWords; ++i)
      if (FBlock[i] != kGuard || FBlock[FBlock.size() - 1 - i] != kGuard) return false;
    return true;
  }
  int ChangedCount = 0;
  void Changed() override {
    ++ChangedCount;
    TAbstractSuperDIB::Changed();
  }

protected:
  void AllocPixels() override {
    FBlock.assign(size_t{FWidth} * FHeight + 2 * kGuardWords, kGuard);
    FPixels = FBlock.data() + kGuardWords;
  }
  void FreePixels() override {
    FBlock.clear();
    FPixels = nullptr;
  }

private:
  std::vector<uint32_t> FBlock;
};

inline std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

inline void FillRandom(TAbstractSuperDIB& s, std::mt19937& rng) {
  for (size_t i = 0; i < size_t{s.Width()} * s.Height(); ++i) s.Pixels()[i] = rng();
}

// The blend of one channel, as written: ((s * a + d * (255 - a)) div 256) + 1.
inline uint32_t RefChannel(uint32_t s, uint32_t d, uint32_t a) { return (s * a + d * (255 - a)) / 256 + 1; }

inline uint32_t RefBlend(uint32_t s, uint32_t d, uint32_t a) {
  uint32_t out = d & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    out |= RefChannel((s >> shift) & 0xFF, (d >> shift) & 0xFF, a) << shift;
  return out;
}

// The pixel at picture coordinates of a surface.
inline uint32_t At(const TAbstractSuperDIB& s, int x, int y) { return *s.ScanPixel(x, y); }

}  // namespace dibtest
