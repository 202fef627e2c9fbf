// The AVX2 form of the palette table's inner step; built with -mavx2, reached only when the
// processor reports AVX2.
#include "dib/cDIBPaletteTable.h"

#include <limits>

#if defined(__x86_64__) && defined(__AVX2__)
#include <immintrin.h>

namespace dib::detail {

void PaletteRowAvx2(const uint8_t* red, const int32_t* base, int count, uint8_t* out) {
  const int32_t* sq = PaletteSquareKeys();
  __m256i best[8];
  for (auto& b : best) b = _mm256_set1_epi32(std::numeric_limits<int32_t>::max());
  for (int e = 0; e < count; ++e) {
    const __m256i* row = reinterpret_cast<const __m256i*>(sq + red[e] * 64);
    const __m256i b = _mm256_set1_epi32(base[e]);
    for (int k = 0; k < 8; ++k) best[k] = _mm256_min_epi32(best[k], _mm256_add_epi32(_mm256_loadu_si256(row + k), b));
  }
  alignas(32) int32_t keys[64];
  for (int k = 0; k < 8; ++k) _mm256_store_si256(reinterpret_cast<__m256i*>(keys) + k, best[k]);
  for (int r = 0; r < 64; ++r) out[r] = static_cast<uint8_t>(keys[r]);
}

}  // namespace dib::detail

#else
namespace dib::detail {
void PaletteRowAvx2(const uint8_t* red, const int32_t* base, int count, uint8_t* out) {
  PaletteRowSse2(red, base, count, out);
}
}  // namespace dib::detail
#endif
