#pragma once
// The 10-byte extended-precision number of stored templates, converted to and from double
// without relying on the compiler's long double.
//
// Layout, little-endian: bytes 0..7 the 64-bit significand with an explicit integer bit (bit 63),
// bytes 8..9 the sign (bit 15) and the exponent (bits 0..14, bias 16383). Exponent 0 holds zero
// and denormals; exponent 32767 holds infinities (significand 0x8000000000000000) and NaNs.
#include <cstdint>

constexpr int ExtendedSize = 10;

// Exact for every double: subnormal doubles become normal extended numbers. A NaN keeps its sign
// and payload (the double's fraction becomes the top of the extended fraction).
void DoubleToExtended(double value, uint8_t out[ExtendedSize]);

// Rounds to nearest, ties to even. Values beyond double's range give an infinity of their sign,
// values below half the smallest subnormal give a zero of their sign. A NaN keeps its sign and
// as much of its payload as fits, and comes back quiet. Encodings the floating-point unit refuses
// (an unnormal: integer bit clear with an exponent other than 0; a pseudo-infinity or pseudo-NaN:
// the same with exponent 32767) give the unit's default NaN, negative and quiet. An exponent of 0
// with the integer bit set (a pseudo-denormal) counts as exponent 1, as the unit reads it.
double ExtendedToDouble(const uint8_t in[ExtendedSize]);
