// The scalar and SSE2 blend kernels and the choice between the levels.
#include "dib/cDIBBlend.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define QV_DIB_X86 1
#endif

namespace dib {

namespace {

// Blue and red share one multiply in the scalar form: each sits in its own 16-bit half of the
// word and neither half can carry into the other because the sum is at most 65025.
inline TPixel BlendScalar(TPixel s, TPixel d, uint32_t a) {
  const uint32_t na = 255 - a;
  const uint32_t rb = ((((s & 0x00FF00FF) * a + (d & 0x00FF00FF) * na) >> 8) & 0x00FF00FF) + 0x00010001;
  const uint32_t g = (((((s >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * na) >> 8) + 1) << 8;
  return rb | g | (d & 0xFF000000);
}

void ScalarCopy(const TPixel* s, TPixel* d, size_t n, const TBlendArgs&) {
  std::memmove(d, s, n * sizeof(TPixel));
}

void ScalarOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  for (size_t i = 0; i < n; ++i) d[i] = BlendScalar(s[i], d[i], args.Opacity);
}

void ScalarAlpha(const TPixel* s, TPixel* d, size_t n, const TBlendArgs&) {
  for (size_t i = 0; i < n; ++i) d[i] = BlendScalar(s[i], d[i], s[i] >> 24);
}

void ScalarAlphaOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  for (size_t i = 0; i < n; ++i) d[i] = BlendScalar(s[i], d[i], ((s[i] >> 24) * args.Opacity) >> 8);
}

void ScalarKey(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const TPixel key = args.Key & kColourMask;
  for (size_t i = 0; i < n; ++i) {
    const TPixel c = s[i] & kColourMask;
    const TPixel keep = 0u - static_cast<TPixel>(c == key);
    d[i] = (d[i] & keep) | (c & ~keep);
  }
}

void ScalarKeyOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const TPixel key = args.Key & kColourMask;
  for (size_t i = 0; i < n; ++i) {
    const TPixel keep = 0u - static_cast<TPixel>((s[i] & kColourMask) == key);
    d[i] = (d[i] & keep) | (BlendScalar(s[i], d[i], args.Opacity) & ~keep);
  }
}

void ScalarAlphaCopy(const TPixel* s, TPixel* d, size_t n, const TBlendArgs&) {
  for (size_t i = 0; i < n; ++i) d[i] = (d[i] & kColourMask) | (s[i] & ~kColourMask);
}

#ifdef QV_DIB_X86
// Four pixels at a time in 16-bit lanes. Each byte is widened with 0xFF above it instead of 0, so a
// lane holds v + 0xFF00. With colour weights a and 255 - a the two products then sum to
//   s * a + d * (255 - a) + 0xFF00 * 255  ==  s * a + d * (255 - a) + 256   (mod 65536),
// which is the "+1" for free; the true sum is at most 65281, so t >> 8 is exact. The alpha lane
// weighs the source 0 and the destination 256: (d + 0xFF00) * 256 == d << 8, the destination alpha
// comes through unchanged. Two multiplies, an add and a shift per lane and no separate rounding or
// masking step: the loop is bound by vector issue, so every operation saved shows.
struct Sse2 {
  static __m128i Ones() { return _mm_set1_epi32(-1); }
  static __m128i Lerp16(__m128i s16, __m128i d16, __m128i a16) {
    const __m128i na16 = _mm_sub_epi16(_mm_setr_epi16(255, 255, 255, 256, 255, 255, 255, 256), a16);
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s16, a16), _mm_mullo_epi16(d16, na16)), 8);
  }
  // The source alpha of each pixel in its three colour lanes, 0 in its alpha lane (the widening
  // byte above it is masked off).
  static __m128i ColourAlpha16(__m128i p16) {
    const __m128i colourLanes = _mm_setr_epi16(0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0);
    return _mm_and_si128(_mm_shufflehi_epi16(_mm_shufflelo_epi16(p16, 0xFF), 0xFF), colourLanes);
  }
  static __m128i ConstantWeight(uint32_t a) {
    const auto w = static_cast<short>(a);
    return _mm_setr_epi16(w, w, w, 0, w, w, w, 0);
  }
  template <class Weight>
  static __m128i Blend4(__m128i vs, __m128i vd, Weight weight) {
    const __m128i ones = Ones();
    const __m128i slo = _mm_unpacklo_epi8(vs, ones), shi = _mm_unpackhi_epi8(vs, ones);
    const __m128i lo = Lerp16(slo, _mm_unpacklo_epi8(vd, ones), weight(slo));
    const __m128i hi = Lerp16(shi, _mm_unpackhi_epi8(vd, ones), weight(shi));
    return _mm_packus_epi16(lo, hi);
  }
};

inline __m128i Load4(const TPixel* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store4(TPixel* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

template <class Weight>
inline void Sse2BlendLoop(const TPixel* s, TPixel* d, size_t n, Weight weight) {
  size_t i = 0;
  // Two independent groups a step, written out: the compiler keeps an inner loop otherwise.
  for (; i + 8 <= n; i += 8) {
    const __m128i r0 = Sse2::Blend4(Load4(s + i), Load4(d + i), weight);
    const __m128i r1 = Sse2::Blend4(Load4(s + i + 4), Load4(d + i + 4), weight);
    Store4(d + i, r0);
    Store4(d + i + 4, r1);
  }
  if (i + 4 <= n) {
    Store4(d + i, Sse2::Blend4(Load4(s + i), Load4(d + i), weight));
    i += 4;
  }
  for (; i < n; ++i) {
    // The tail goes through the same arithmetic one pixel at a time.
    const __m128i ones = Sse2::Ones();
    const __m128i vs = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(s[i])), ones);
    const __m128i vd = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(d[i])), ones);
    const __m128i r = Sse2::Lerp16(vs, vd, weight(vs));
    d[i] = static_cast<TPixel>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
  }
}

// A constant weight needs no widening at all. Each row is read twice, as loaded and one byte
// later, and both are multiplied in 16-bit lanes as they stand. With P_c = s_c*a + d_c*(255 - a)
// for a channel c, a lane holding x + 256y gives P_x + 256*P_y (mod 65536): its low byte is lo(P_x)
// and its high byte hi(P_x) + lo(P_y), spoiled by the low byte of the next channel's product. That
// byte is exactly the low byte of the other view's lane that starts at the next channel, so a byte
// subtraction removes it. Per pixel, with A's byte in the loaded view forced to 0xFF (so the R lane
// carries no alpha and gains 256, the "+1") and the alpha lane of the later view weighed 0 and 256:
//   loaded view T0   [lo P_B, hi P_B + lo P_G, lo P_R, hi P_R + 1]
//   later view  T1   [lo P_G, hi P_G + lo P_R, 0,      d_A       ]
//   X = T0 >> 8 within the pixel          [hi P_B + lo P_G, lo P_R, hi P_R + 1, 0]
//   T1 - X byte by byte                   [-hi P_B, hi P_G, -(hi P_R + 1), d_A]
// and flipping bytes 0 and 2 (~v == -v - 1) then adding (2, 1, 1, 0) leaves
//   [hi P_B + 1, hi P_G + 1, hi P_R + 1, d_A],
// the blend with its "+1" and the destination alpha, exactly. Twelve vector operations and no
// shuffles per four pixels against thirteen for the widening form; the later view reads one byte
// past the four pixels, so the last one to eight pixels of a row go through the widening form.
class TSse2ConstantBlend {
 public:
  explicit TSse2ConstantBlend(uint32_t a) {
    const auto w = static_cast<short>(a), nw = static_cast<short>(255 - a);
    FAlphaToFF = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    FW0 = _mm_set1_epi16(w);
    FV0 = _mm_set1_epi16(nw);
    FW1 = _mm_setr_epi16(w, 0, w, 0, w, 0, w, 0);
    FV1 = _mm_setr_epi16(nw, 256, nw, 256, nw, 256, nw, 256);
    FFlip = _mm_set1_epi32(0x00FF00FF);
    FBias = _mm_set1_epi32(0x00010102);
  }
  // Blends the four pixels at s and d; the byte after them must be readable.
  __m128i operator()(const TPixel* s, const TPixel* d) const {
    const __m128i s0 = _mm_or_si128(Load4(s), FAlphaToFF), d0 = _mm_or_si128(Load4(d), FAlphaToFF);
    const __m128i s1 = LoadAfter(s), d1 = LoadAfter(d);
    const __m128i t0 = _mm_add_epi16(_mm_mullo_epi16(s0, FW0), _mm_mullo_epi16(d0, FV0));
    const __m128i t1 = _mm_add_epi16(_mm_mullo_epi16(s1, FW1), _mm_mullo_epi16(d1, FV1));
    return _mm_add_epi8(_mm_xor_si128(_mm_sub_epi8(t1, _mm_srli_epi32(t0, 8)), FFlip), FBias);
  }

 private:
  static __m128i LoadAfter(const TPixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(reinterpret_cast<const uint8_t*>(p) + 1));
  }
  __m128i FAlphaToFF, FW0, FV0, FW1, FV1, FFlip, FBias;
};

void Sse2Opacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const TSse2ConstantBlend blend(args.Opacity);
  size_t i = 0;
  // Pixel i + 8 exists, so the byte after each group is inside the row.
  for (; i + 8 < n; i += 8) {
    const __m128i r0 = blend(s + i, d + i);
    const __m128i r1 = blend(s + i + 4, d + i + 4);
    Store4(d + i, r0);
    Store4(d + i + 4, r1);
  }
  const __m128i a16 = Sse2::ConstantWeight(args.Opacity);
  Sse2BlendLoop(s + i, d + i, n - i, [a16](__m128i) { return a16; });
}

void Sse2Alpha(const TPixel* s, TPixel* d, size_t n, const TBlendArgs&) {
  Sse2BlendLoop(s, d, n, [](__m128i s16) { return Sse2::ColourAlpha16(s16); });
}

void Sse2AlphaOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m128i o16 = _mm_set1_epi16(static_cast<short>(args.Opacity));
  Sse2BlendLoop(s, d, n, [o16](__m128i s16) {
    return _mm_srli_epi16(_mm_mullo_epi16(Sse2::ColourAlpha16(s16), o16), 8);
  });
}

void Sse2Key(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m128i mask = _mm_set1_epi32(static_cast<int>(kColourMask));
  const __m128i key = _mm_set1_epi32(static_cast<int>(args.Key & kColourMask));
  const auto step = [&](size_t k) {
    const __m128i c = _mm_and_si128(Load4(s + k), mask);
    const __m128i keep = _mm_cmpeq_epi32(c, key);
    Store4(d + k, _mm_or_si128(_mm_and_si128(keep, Load4(d + k)), _mm_andnot_si128(keep, c)));
  };
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    step(i);
    step(i + 4);
  }
  ScalarKey(s + i, d + i, n - i, args);
}

void Sse2KeyOpacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m128i mask = _mm_set1_epi32(static_cast<int>(kColourMask));
  const __m128i key = _mm_set1_epi32(static_cast<int>(args.Key & kColourMask));
  const __m128i a16 = Sse2::ConstantWeight(args.Opacity);
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i vs = Load4(s + i);
    const __m128i vd = Load4(d + i);
    const __m128i blended = Sse2::Blend4(vs, vd, [a16](__m128i) { return a16; });
    const __m128i keep = _mm_cmpeq_epi32(_mm_and_si128(vs, mask), key);
    Store4(d + i, _mm_or_si128(_mm_and_si128(keep, vd), _mm_andnot_si128(keep, blended)));
  }
  ScalarKeyOpacity(s + i, d + i, n - i, args);
}

void Sse2AlphaCopy(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    Store4(d + i, _mm_or_si128(_mm_and_si128(alpha, Load4(s + i)), _mm_andnot_si128(alpha, Load4(d + i))));
  ScalarAlphaCopy(s + i, d + i, n - i, args);
}
#endif

TSimdLevel DetectLevel() {
#ifdef QV_DIB_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return TSimdLevel::AVX2;
  if (__builtin_cpu_supports("sse2")) return TSimdLevel::SSE2;
#endif
  return TSimdLevel::Scalar;
}

TSimdLevel LevelFromEnvironment(TSimdLevel best) {
  const char* env = std::getenv("QV_DIB_SIMD");
  if (!env) return best;
  const std::string v = env;
  TSimdLevel wanted = best;
  if (v == "scalar") wanted = TSimdLevel::Scalar;
  else if (v == "sse2") wanted = TSimdLevel::SSE2;
  else if (v == "avx2") wanted = TSimdLevel::AVX2;
  return wanted < best ? wanted : best;
}

TSimdLevel& ActiveLevelSlot() {
  static TSimdLevel level = LevelFromEnvironment(BestSimdLevel());
  return level;
}

}  // namespace

namespace detail {
const TBlendKernels& ScalarKernels() {
  static constexpr TBlendKernels kernels = {{ScalarCopy, ScalarOpacity, ScalarAlpha, ScalarAlphaOpacity,
                                             ScalarKey, ScalarKeyOpacity, ScalarAlphaCopy}};
  return kernels;
}
const TBlendKernels& Sse2Kernels() {
#ifdef QV_DIB_X86
  static constexpr TBlendKernels kernels = {{ScalarCopy, Sse2Opacity, Sse2Alpha, Sse2AlphaOpacity, Sse2Key,
                                             Sse2KeyOpacity, Sse2AlphaCopy}};
  return kernels;
#else
  return ScalarKernels();
#endif
}
}  // namespace detail

TSimdLevel BestSimdLevel() {
  static const TSimdLevel best = DetectLevel();
  return best;
}

const TBlendKernels& BlendKernels(TSimdLevel level) {
  if (level > BestSimdLevel()) level = BestSimdLevel();
  switch (level) {
    case TSimdLevel::AVX2: return detail::Avx2Kernels();
    case TSimdLevel::SSE2: return detail::Sse2Kernels();
    case TSimdLevel::Scalar: break;
  }
  return detail::ScalarKernels();
}

TSimdLevel ActiveSimdLevel() { return ActiveLevelSlot(); }

void SetActiveSimdLevel(TSimdLevel level) {
  ActiveLevelSlot() = level > BestSimdLevel() ? BestSimdLevel() : level;
}

const char* SimdLevelName(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::AVX2: return "avx2";
    case TSimdLevel::SSE2: return "sse2";
    case TSimdLevel::Scalar: break;
  }
  return "scalar";
}

}  // namespace dib
