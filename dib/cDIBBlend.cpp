// The scalar and SSE2 blend kernels and the choice between the levels.
#include "dib/cDIBBlend.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

// Every x86-64 system has SSE2, 64-bit Windows (whose longs stay 32 bits wide) as much as Linux.
#if defined(__x86_64__)
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

// A constant weight needs no widening at all. Each row is read twice, starting one byte early and
// one byte late, and both are multiplied in 16-bit lanes as they stand. With
// P_c = s_c*a + d_c*(255 - a) for a channel c, a lane holding x + 256y gives P_x + 256*P_y
// (mod 65536): its low byte is lo(P_x) and its high byte hi(P_x) + lo(P_y), spoiled by the low byte
// of the next channel's product. That byte is exactly the low byte of the other view's lane that
// starts at the next channel, so a byte subtraction removes it. Per pixel:
//   earlier view >> 8 within the pixel    [B, G, R, 0]   (the alpha byte cleared by the shift)
//   its product T0                        [lo P_B, hi P_B + lo P_G, lo P_R, hi P_R]
//   later view, alpha lane weighed 0/256  T1 = [lo P_G, hi P_G + lo P_R, 0, d_A]
//   X = T0 >> 8 within the pixel          [hi P_B + lo P_G, lo P_R, hi P_R, 0]
//   T1 - X byte by byte                   [-hi P_B, hi P_G, -hi P_R, d_A]
// and flipping bytes 0 and 2 (~v == -v - 1) then adding (2, 1, 2, 0) leaves
//   [hi P_B + 1, hi P_G + 1, hi P_R + 1, d_A],
// the blend with its "+1" and the destination alpha, exactly. Twelve vector operations and no
// shuffles per four pixels against thirteen for the widening form. Clearing the alpha with a shift
// rather than an OR matters: the loop is bound by vector issue, and shifts go to units that its
// adds and logic operations would otherwise have to share with the multiplies.
class TSse2ConstantBlend {
 public:
  // Four pixels of both rows, each read one byte early (S0, D0) and one byte late (S1, D1).
  struct TViews {
    __m128i S0, D0, S1, D1;
  };
  static __m128i Before(const TPixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(reinterpret_cast<const uint8_t*>(p) - 1));
  }
  static __m128i After(const TPixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(reinterpret_cast<const uint8_t*>(p) + 1));
  }
  // Reads the byte before p and the byte after its four pixels as well.
  static TViews Load(const TPixel* s, const TPixel* d) { return {Before(s), Before(d), After(s), After(d)}; }

  explicit TSse2ConstantBlend(uint32_t a) {
    const auto w = static_cast<short>(a), nw = static_cast<short>(255 - a);
    FW0 = _mm_set1_epi16(w);
    FV0 = _mm_set1_epi16(nw);
    FW1 = _mm_setr_epi16(w, 0, w, 0, w, 0, w, 0);
    FV1 = _mm_setr_epi16(nw, 256, nw, 256, nw, 256, nw, 256);
    FFlip = _mm_set1_epi32(0x00FF00FF);
    FBias = _mm_set1_epi32(0x00020102);
  }
  __m128i operator()(const TViews& v) const {
    const __m128i s0 = _mm_srli_epi32(v.S0, 8), d0 = _mm_srli_epi32(v.D0, 8);
    const __m128i t0 = _mm_add_epi16(_mm_mullo_epi16(s0, FW0), _mm_mullo_epi16(d0, FV0));
    const __m128i t1 = _mm_add_epi16(_mm_mullo_epi16(v.S1, FW1), _mm_mullo_epi16(v.D1, FV1));
    return _mm_add_epi8(_mm_xor_si128(_mm_sub_epi8(t1, _mm_srli_epi32(t0, 8)), FFlip), FBias);
  }

  // Blends `groups` groups of eight pixels from s and d on, each followed by another whole group
  // in both rows. dBefore holds the earlier view of the destination at d and comes back holding the one
  // of the group after the last: that view is read before the group in front of it is written,
  // because its first byte is that group's last alpha, and a load overlapping a store still under
  // way waits for it. The shift throws that byte away, so its old value serves as well.
  //
  // The same arithmetic as operator(), written out: the loop is bound both by vector issue and by
  // how many instructions the processor takes in per cycle, and the compiler's version of it
  // carries a second induction variable and a register copy per step, which measured 2 % slower.
  void Groups(const TPixel* s, TPixel* d, size_t groups, __m128i& dBefore) const {
    if (groups == 0) return;
    const auto* sEnd = reinterpret_cast<const uint8_t*>(s + 8 * groups);
    auto* dEnd = reinterpret_cast<uint8_t*>(d + 8 * groups);
    auto k = -static_cast<ptrdiff_t>(32 * groups);
    __m128i s0, s1, d1, t0, u0, t1, u1;
    asm volatile(
        ".p2align 4\n"
        "1:\n\t"
        "movdqu -1(%[s],%[k]), %[s0]\n\t"
        "movdqu 1(%[s],%[k]), %[s1]\n\t"
        "movdqu 1(%[d],%[k]), %[d1]\n\t"
        "movdqu 15(%[s],%[k]), %[t0]\n\t"
        "movdqu 15(%[d],%[k]), %[u0]\n\t"
        "movdqu 17(%[s],%[k]), %[t1]\n\t"
        "movdqu 17(%[d],%[k]), %[u1]\n\t"
        "psrld $8, %[s0]\n\t"
        "psrld $8, %[db]\n\t"
        "psrld $8, %[t0]\n\t"
        "psrld $8, %[u0]\n\t"
        "pmullw %[w0], %[s0]\n\t"
        "pmullw %[v0], %[db]\n\t"
        "pmullw %[w1], %[s1]\n\t"
        "pmullw %[v1], %[d1]\n\t"
        "pmullw %[w0], %[t0]\n\t"
        "pmullw %[v0], %[u0]\n\t"
        "pmullw %[w1], %[t1]\n\t"
        "pmullw %[v1], %[u1]\n\t"
        "paddw %[db], %[s0]\n\t"
        "paddw %[d1], %[s1]\n\t"
        "paddw %[u0], %[t0]\n\t"
        "paddw %[u1], %[t1]\n\t"
        "psrld $8, %[s0]\n\t"
        "psrld $8, %[t0]\n\t"
        "psubb %[s0], %[s1]\n\t"
        "psubb %[t0], %[t1]\n\t"
        "pxor %[flip], %[s1]\n\t"
        "pxor %[flip], %[t1]\n\t"
        "paddb %[bias], %[s1]\n\t"
        "paddb %[bias], %[t1]\n\t"
        "movdqu 31(%[d],%[k]), %[db]\n\t"
        "movdqu %[s1], (%[d],%[k])\n\t"
        "movdqu %[t1], 16(%[d],%[k])\n\t"
        "add $32, %[k]\n\t"
        "jnz 1b"
        : [k] "+r"(k), [db] "+x"(dBefore), [s0] "=&x"(s0), [s1] "=&x"(s1), [d1] "=&x"(d1), [t0] "=&x"(t0),
          [u0] "=&x"(u0), [t1] "=&x"(t1), [u1] "=&x"(u1)
        : [s] "r"(sEnd), [d] "r"(dEnd), [w0] "x"(FW0), [v0] "x"(FV0), [w1] "x"(FW1), [v1] "x"(FV1),
          [flip] "x"(FFlip), [bias] "x"(FBias)
        : "memory", "cc");
  }

 private:
  __m128i FW0, FV0, FW1, FV1, FFlip, FBias;
};

void Sse2Opacity(const TPixel* s, TPixel* d, size_t n, const TBlendArgs& args) {
  const __m128i a16 = Sse2::ConstantWeight(args.Opacity);
  const auto widening = [a16](__m128i) { return a16; };
  // The views reach one byte beyond each group of eight, so the first four pixels and the last one
  // to eight take the widening form: a pixel is left on both sides of every group.
  size_t i = 0;
  if (n > 4 + 8) {
    Sse2BlendLoop(s, d, 4, widening);
    const TSse2ConstantBlend blend(args.Opacity);
    const size_t groups = (n - 13) / 8 + 1;
    __m128i dBefore = TSse2ConstantBlend::Before(d + 4);
    blend.Groups(s + 4, d + 4, groups - 1, dBefore);
    // The last group has nothing after it to read ahead.
    i = 4 + 8 * (groups - 1);
    const __m128i r0 = blend({TSse2ConstantBlend::Before(s + i), dBefore, TSse2ConstantBlend::After(s + i),
                              TSse2ConstantBlend::After(d + i)});
    const __m128i r1 = blend(TSse2ConstantBlend::Load(s + i + 4, d + i + 4));
    Store4(d + i, r0);
    Store4(d + i + 4, r1);
    i += 8;
  }
  Sse2BlendLoop(s + i, d + i, n - i, widening);
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
