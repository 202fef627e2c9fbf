#pragma once
// The inner step of the lookup table build, in the forms the processor levels allow. For one
// green and blue level it finds, for each of the 64 red levels, the entry with the smallest
// key = squared distance * 256 + entry index; the index in the low byte makes equal distances go
// to the lower index, exactly like a search that only takes strictly smaller distances.
#include <cstdint>

namespace dib::detail {

// SquareKeys[R * 64 + r] = (4r - R)^2 * 256, for R = 0..255 and r = 0..63.
const int32_t* PaletteSquareKeys();

// For each r: out[r] = low byte of min over e < count of SquareKeys[red[e] * 64 + r] + base[e],
// where base[e] = ((green distance)^2 + (blue distance)^2) * 256 + e.
using TPaletteRowKernel = void (*)(const uint8_t* red, const int32_t* base, int count, uint8_t* out);

void PaletteRowScalar(const uint8_t* red, const int32_t* base, int count, uint8_t* out);
void PaletteRowSse2(const uint8_t* red, const int32_t* base, int count, uint8_t* out);
void PaletteRowAvx2(const uint8_t* red, const int32_t* base, int count, uint8_t* out);

}  // namespace dib::detail
