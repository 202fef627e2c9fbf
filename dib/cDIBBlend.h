#pragma once
// The per-row pixel kernels behind the seven blend routines of a surface, in a plain scalar form
// and in vector forms chosen once at start-up by what the processor offers.
//
// A pixel is a little-endian 32-bit word 0xAARRGGBB (bytes B, G, R, A in memory). For a colour
// channel and an 8-bit weight a the blend is
//
//   d := ((s * a + d * (255 - a)) >> 8) + 1
//
// computed exactly in 16 bits (the sum is at most 65025). The "+1" is intended: a blended channel
// is never 0, so black over black gives 1 and a weight of 0 still turns 0 into 1. The alpha byte
// of the destination is left alone by every kernel except Copy and AlphaCopy.
#include <cstddef>
#include <cstdint>

namespace dib {

using TPixel = uint32_t;

// Named accessors for the pixel layout; hot loops work on the raw word.
constexpr uint8_t PixelB(TPixel p) { return static_cast<uint8_t>(p); }
constexpr uint8_t PixelG(TPixel p) { return static_cast<uint8_t>(p >> 8); }
constexpr uint8_t PixelR(TPixel p) { return static_cast<uint8_t>(p >> 16); }
constexpr uint8_t PixelA(TPixel p) { return static_cast<uint8_t>(p >> 24); }
constexpr TPixel MakePixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return static_cast<TPixel>(b) | static_cast<TPixel>(g) << 8 | static_cast<TPixel>(r) << 16 |
         static_cast<TPixel>(a) << 24;
}
constexpr TPixel kColourMask = 0x00FFFFFF;

// What a row kernel needs besides the two rows: the weight and the colour key.
struct TBlendArgs {
  uint32_t Opacity = 255;
  TPixel Key = 0;
};

using TRowKernel = void (*)(const TPixel* src, TPixel* dst, size_t n, const TBlendArgs& args);

enum class TBlendKind { Copy, Opacity, Alpha, AlphaOpacity, Key, KeyOpacity, AlphaCopy };
constexpr int kBlendKindCount = 7;

enum class TSimdLevel { Scalar, SSE2, AVX2 };

struct TBlendKernels {
  TRowKernel Row[kBlendKindCount];
};

// The kernels of one level; a level the processor lacks answers the best one below it.
const TBlendKernels& BlendKernels(TSimdLevel level);
// The level in use. Chosen at start-up from the processor, lowered by the environment variable
// QV_DIB_SIMD=scalar|sse2|avx2 (it never raises the level past what the processor has).
TSimdLevel ActiveSimdLevel();
// Changes the level in use (benchmarks and tests); clamped to what the processor has.
void SetActiveSimdLevel(TSimdLevel level);
TSimdLevel BestSimdLevel();
const char* SimdLevelName(TSimdLevel level);

inline TRowKernel ActiveKernel(TBlendKind kind) {
  return BlendKernels(ActiveSimdLevel()).Row[static_cast<int>(kind)];
}

// The vector forms live in their own translation units so that each can be built with its own
// instruction set; they are reached only through BlendKernels.
namespace detail {
const TBlendKernels& ScalarKernels();
const TBlendKernels& Sse2Kernels();
const TBlendKernels& Avx2Kernels();
}  // namespace detail

}  // namespace dib
