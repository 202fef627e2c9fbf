// Building the palette's lookup table: a fast path for grey palettes and a vectorised search.
#include "dib/cDIBPaletteTable.h"

#include <cstring>
#include <limits>

#include "dib/cDIBPalette.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define QV_DIB_X86 1
#endif

namespace dib::detail {

const int32_t* PaletteSquareKeys() {
  static const auto* keys = [] {
    auto* k = new int32_t[256 * 64];
    for (int R = 0; R < 256; ++R)
      for (int r = 0; r < 64; ++r) k[R * 64 + r] = (4 * r - R) * (4 * r - R) * 256;
    return k;
  }();
  return keys;
}

void PaletteRowScalar(const uint8_t* red, const int32_t* base, int count, uint8_t* out) {
  const int32_t* sq = PaletteSquareKeys();
  int32_t best[64];
  for (int r = 0; r < 64; ++r) best[r] = std::numeric_limits<int32_t>::max();
  for (int e = 0; e < count; ++e) {
    const int32_t* row = sq + red[e] * 64;
    const int32_t b = base[e];
    for (int r = 0; r < 64; ++r) {
      const int32_t k = row[r] + b;
      best[r] = k < best[r] ? k : best[r];
    }
  }
  for (int r = 0; r < 64; ++r) out[r] = static_cast<uint8_t>(best[r]);
}

#ifdef QV_DIB_X86
// SSE2 has no 32-bit minimum; a compare and a masked exchange stand in for it.
void PaletteRowSse2(const uint8_t* red, const int32_t* base, int count, uint8_t* out) {
  const int32_t* sq = PaletteSquareKeys();
  __m128i best[16];
  for (auto& b : best) b = _mm_set1_epi32(std::numeric_limits<int32_t>::max());
  for (int e = 0; e < count; ++e) {
    const __m128i* row = reinterpret_cast<const __m128i*>(sq + red[e] * 64);
    const __m128i b = _mm_set1_epi32(base[e]);
    for (int k = 0; k < 16; ++k) {
      const __m128i v = _mm_add_epi32(_mm_loadu_si128(row + k), b);
      const __m128i smaller = _mm_cmplt_epi32(v, best[k]);
      best[k] = _mm_xor_si128(best[k], _mm_and_si128(smaller, _mm_xor_si128(best[k], v)));
    }
  }
  alignas(16) int32_t keys[64];
  for (int k = 0; k < 16; ++k) _mm_store_si128(reinterpret_cast<__m128i*>(keys) + k, best[k]);
  for (int r = 0; r < 64; ++r) out[r] = static_cast<uint8_t>(keys[r]);
}
#else
void PaletteRowSse2(const uint8_t* red, const int32_t* base, int count, uint8_t* out) {
  PaletteRowScalar(red, base, count, out);
}
#endif

}  // namespace dib::detail

namespace {

bool IsGrey(const TPaletteHandle::Entry* entries) {
  for (int e = 0; e < kDIBPaletteEntries; ++e)
    if (entries[e].Red != entries[e].Green || entries[e].Green != entries[e].Blue) return false;
  return true;
}

// For a grey entry of level v and the colour (4r, 4g, 4b) the distance is
// 16(r^2 + g^2 + b^2) - 8v(r + g + b) + 3v^2; the first term is the same for every entry, so the
// nearest entry (lowest index among equals) depends on s = r + g + b alone.
void BuildGreyTable(const TPaletteHandle::Entry* entries, uint8_t* table) {
  uint8_t bestForSum[64 * 3];
  for (int s = 0; s < 3 * 63 + 1; ++s) {
    int64_t best = std::numeric_limits<int64_t>::max();
    for (int e = 0; e < kDIBPaletteEntries; ++e) {
      const int64_t v = entries[e].Red;
      const int64_t key = 3 * v * v - 8 * v * s;
      if (key < best) {
        best = key;
        bestForSum[s] = static_cast<uint8_t>(e);
      }
    }
  }
  // A row of 64 red levels is a run of consecutive sums.
  for (int b = 0; b < 64; ++b)
    for (int g = 0; g < 64; ++g) std::memcpy(table + (b << 12) + (g << 6), bestForSum + b + g, 64);
}

}  // namespace

void BuildDIBPaletteTable(const TPaletteHandle::Entry* entries, uint8_t* table, dib::TSimdLevel level) {
  if (IsGrey(entries)) {
    BuildGreyTable(entries, table);
    return;
  }
  if (level > dib::BestSimdLevel()) level = dib::BestSimdLevel();
  dib::detail::TPaletteRowKernel kernel = dib::detail::PaletteRowScalar;
  if (level == dib::TSimdLevel::AVX2) kernel = dib::detail::PaletteRowAvx2;
  else if (level == dib::TSimdLevel::SSE2) kernel = dib::detail::PaletteRowSse2;

  uint8_t red[kDIBPaletteEntries];
  for (int e = 0; e < kDIBPaletteEntries; ++e) red[e] = entries[e].Red;
  int32_t base[kDIBPaletteEntries];
  for (int b = 0; b < 64; ++b) {
    for (int g = 0; g < 64; ++g) {
      for (int e = 0; e < kDIBPaletteEntries; ++e) {
        const int32_t dg = 4 * g - entries[e].Green, db = 4 * b - entries[e].Blue;
        base[e] = (dg * dg + db * db) * 256 + e;
      }
      kernel(red, base, kDIBPaletteEntries, table + (b << 12) + (g << 6));
    }
  }
}

void BuildDIBPaletteTable(const TPaletteHandle::Entry* entries, uint8_t* table) {
  BuildDIBPaletteTable(entries, table, dib::ActiveSimdLevel());
}
