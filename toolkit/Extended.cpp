#include "toolkit/Extended.h"

#include <bit>

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
constexpr uint64_t kFractionMask52 = (uint64_t{1} << 52) - 1;
constexpr uint64_t kDoubleQuietBit = uint64_t{1} << 51;
constexpr uint64_t kDoubleExponentAll = uint64_t{0x7FF} << 52;
// What the unit answers for an invalid operand: negative, quiet, no payload.
constexpr uint64_t kDefaultNaN = 0xFFF8000000000000u;

void Store(uint8_t out[ExtendedSize], bool negative, unsigned exponent, uint64_t significand) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(significand >> (8 * i));
  const unsigned top = (negative ? 0x8000u : 0u) | (exponent & 0x7FFFu);
  out[8] = static_cast<uint8_t>(top);
  out[9] = static_cast<uint8_t>(top >> 8);
}

// Drops the low `shift` bits of value (1..64), rounding to nearest with ties to even.
uint64_t ShiftRounded(uint64_t value, int shift) {
  if (shift > 64) return 0;
  const uint64_t kept = shift == 64 ? 0 : value >> shift;
  const uint64_t rest = shift == 64 ? value : value & ((uint64_t{1} << shift) - 1);
  const uint64_t half = uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (kept & 1))) return kept + 1;
  return kept;
}

}  // namespace

void DoubleToExtended(double value, uint8_t out[ExtendedSize]) {
  const auto bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const auto exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & kFractionMask52;
  if (exponent == 0x7FF) {
    // Infinity, or a NaN whose fraction (quiet bit first) becomes the top of the extended one.
    Store(out, negative, 0x7FFF, kIntegerBit | (fraction << 11));
    return;
  }
  if (exponent == 0) {
    if (fraction == 0) {
      Store(out, negative, 0, 0);
      return;
    }
    // fraction * 2^-1074, normalised so that its top bit becomes the integer bit.
    const int shift = std::countl_zero(fraction);
    Store(out, negative, static_cast<unsigned>(kExtendedBias - 1074 + 63 - shift), fraction << shift);
    return;
  }
  Store(out, negative, static_cast<unsigned>(exponent - kDoubleBias + kExtendedBias), kIntegerBit | (fraction << 11));
}

double ExtendedToDouble(const uint8_t in[ExtendedSize]) {
  uint64_t significand = 0;
  for (int i = 7; i >= 0; --i) significand = (significand << 8) | in[i];
  const unsigned top = in[8] | (unsigned{in[9]} << 8);
  const bool negative = (top & 0x8000u) != 0;
  const auto exponent = static_cast<int>(top & 0x7FFFu);
  const uint64_t sign = negative ? uint64_t{1} << 63 : 0;

  const bool integerBit = (significand & kIntegerBit) != 0;
  if (exponent != 0 && !integerBit) return std::bit_cast<double>(kDefaultNaN);
  if (exponent == 0x7FFF) {
    const uint64_t fraction = significand & ~kIntegerBit;
    if (fraction == 0) return std::bit_cast<double>(sign | kDoubleExponentAll);
    return std::bit_cast<double>(sign | kDoubleExponentAll | kDoubleQuietBit | (fraction >> 11));
  }
  if (significand == 0) return std::bit_cast<double>(sign);

  // The value is significand * 2^(e - 16383 - 63), e counting 0 as 1. Normalise it to
  // 1.f * 2^power with the integer bit on top.
  const int shift = std::countl_zero(significand);
  significand <<= shift;
  int power = (exponent == 0 ? 1 : exponent) - kExtendedBias - shift;
  if (power > kDoubleBias) return std::bit_cast<double>(sign | kDoubleExponentAll);

  if (power >= 1 - kDoubleBias) {
    uint64_t mantissa = ShiftRounded(significand, 11);  // 53 bits, or 2^53 after a carry
    if (mantissa >> 53) {
      mantissa >>= 1;
      ++power;
      if (power > kDoubleBias) return std::bit_cast<double>(sign | kDoubleExponentAll);
    }
    return std::bit_cast<double>(sign | (static_cast<uint64_t>(power + kDoubleBias) << 52) | (mantissa & kFractionMask52));
  }
  // A subnormal double: units of 2^-1074. A carry into bit 52 gives the smallest normal number,
  // which the same bits spell.
  const int drop = 11 + (1 - kDoubleBias - power);
  return std::bit_cast<double>(sign | ShiftRounded(significand, drop));
}
