// The AVX2 blend kernels: eight pixels a step, the same 16-bit arithmetic as the SSE2 form. This
// file alone is built with -mavx2 and is reached only when the processor reports AVX2.
#include "dib/cDIBBlend.h"

#if defined(__x86_64__) && defined(__AVX2__)
#include <immintrin.h>

#include <cstring>

namespace dib {
namespace {

// The SSE2 arithmetic on twice the lanes: bytes widened with 0xFF above them, so the two products
// carry the "+1" ((v + 0xFF00) * a + (w + 0xFF00) * (255 - a) == v * a + w * (255 - a) + 256 mod
// 65536), and the alpha lane weighs the destination 256, which gives its alpha back unchanged.
inline __m256i Lerp16(__m256i s16, __m256i d16, __m256i a16) {
  const __m256i na16 = _mm256_sub_epi16(
      _mm256_setr_epi16(255, 255, 255, 256, 255, 255, 255, 256, 255, 255, 255, 256, 255, 255, 255, 256), a16);
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s16, a16), _mm256_mullo_epi16(d16, na16)), 8);
}

// The source alpha of each pixel in its three colour lanes, 0 in its alpha lane (0x80 zeroes, and
// also drops the widening byte).
inline __m256i ColourAlpha16(__m256i p16) {
  const __m256i ctrl = _mm256_setr_epi8(6, -128, 6, -128, 6, -128, -128, -128, 14, -128, 14, -128, 14, -128, -128, -128,
                                        6, -128, 6, -128, 6, -128, -128, -128, 14, -128, 14, -128, 14, -128, -128, -128);
  return _mm256_shuffle_epi8(p16, ctrl);
}

// The rows' last few pixels go through the SSE2 form of the same kernel.
inline TRowKernel Sse2Tail(TBlendKind kind) { return detail::Sse2Kernels().Row[static_cast<int>(kind)]; }

inline __m256i ConstantWeight(uint32_t a) {
  const auto w = static_cast<short>(a);
  return _mm256_setr_epi16(w, w, w, 0, w, w, w, 0, w, w, w, 0, w, w, w, 0);
}

void Avx2Copy(const TPixel* s, TPixel* d, size_t n, const TBlendArgs&) {
  std::memmove(d, s, n * sizeof(TPixel));
}

inline __m256i AlphaBytes() { return _mm256_set1_epi32(static_cast<int>(0xFF000000u)); }

template <class Weight>
inline __m256i Blend8(__m256i vs, __m256i vd, Weight weight) {
  const __m256i ones = _mm256_set1_epi32(-1);
  const __m256i slo = _mm256_unpacklo_epi8(vs, ones), shi = _mm256_unpackhi_epi8(vs, ones);
  const __m256i lo = Lerp16(slo, _mm256_unpacklo_epi8(vd, ones), weight(slo));
  const __m256i hi = Lerp16(shi, _mm256_unpackhi_epi8(vd, ones), weight(shi));
  return _mm256_packus_epi16(lo, hi);
}

template <class Weight>
inline void BlendLoop(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args, Weight weight,
                      TRowKernel tail) {
  size_t i = 0;
  // Two independent groups a step keep both multiply pipes busy.
  for (; i + 16 <= n; i += 16) {
    const __m256i vs0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i vd0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    const __m256i vs1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 8));
    const __m256i vd1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Blend8(vs0, vd0, weight));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 8), Blend8(vs1, vd1, weight));
  }
  for (; i + 8 <= n; i += 8) {
    const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Blend8(vs, vd, weight));
  }
  tail(s + i, d + i, n - i, args);
}

void Avx2Opacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m256i a16 = ConstantWeight(args.Opacity);
  BlendLoop(s, d, n, args, [a16](__m256i) { return a16; }, Sse2Tail(TBlendKind::Opacity));
}

void Avx2Alpha(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  BlendLoop(s, d, n, args, [](__m256i s16) { return ColourAlpha16(s16); }, Sse2Tail(TBlendKind::Alpha));
}

void Avx2AlphaOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m256i o16 = _mm256_set1_epi16(static_cast<short>(args.Opacity));
  BlendLoop(
      s, d, n, args,
      [o16](__m256i s16) { return _mm256_srli_epi16(_mm256_mullo_epi16(ColourAlpha16(s16), o16), 8); },
      Sse2Tail(TBlendKind::AlphaOpacity));
}

void Avx2Key(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(kColourMask));
  const __m256i key = _mm256_set1_epi32(static_cast<int>(args.Key & kColourMask));
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i c = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)), mask);
    const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                        _mm256_blendv_epi8(c, vd, _mm256_cmpeq_epi32(c, key)));
  }
  Sse2Tail(TBlendKind::Key)(s + i, d + i, n - i, args);
}

void Avx2KeyOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(kColourMask));
  const __m256i key = _mm256_set1_epi32(static_cast<int>(args.Key & kColourMask));
  const __m256i a16 = ConstantWeight(args.Opacity);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    const __m256i blended = Blend8(vs, vd, [a16](__m256i) { return a16; });
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(vs, mask), key);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_blendv_epi8(blended, vd, keep));
  }
  Sse2Tail(TBlendKind::KeyOpacity)(s + i, d + i, n - i, args);
}

void Avx2AlphaCopy(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i vd = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_blendv_epi8(vd, vs, AlphaBytes()));
  }
  Sse2Tail(TBlendKind::AlphaCopy)(s + i, d + i, n - i, args);
}

}  // namespace

namespace detail {
const TBlendKernels& Avx2Kernels() {
  static constexpr TBlendKernels kernels = {{Avx2Copy, Avx2Opacity, Avx2Alpha, Avx2AlphaOpacity,
                                             Avx2Key, Avx2KeyOpacity, Avx2AlphaCopy}};
  return kernels;
}
}  // namespace detail
}  // namespace dib

#else
namespace dib::detail {
// Without AVX2 in the build the level falls back to the SSE2 kernels.
const TBlendKernels& Avx2Kernels() { return Sse2Kernels(); }
}  // namespace dib::detail
#endif
