#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <random>
#include <limits>
#include <string>

#include "toolkit/Extended.h"

namespace {

using TBytes = std::array<uint8_t, ExtendedSize>;

TBytes Extended(uint16_t signExponent, uint64_t significand) {
  TBytes b{};
  for (int i = 0; i < 8; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(significand >> (8 * i));
  b[8] = static_cast<uint8_t>(signExponent);
  b[9] = static_cast<uint8_t>(signExponent >> 8);
  return b;
}

std::string Hex(const TBytes& b) {
  std::string s;
  char pair[4];
  for (uint8_t v : b) {
    std::snprintf(pair, sizeof pair, "%02X ", v);
    s += pair;
  }
  return s;
}

uint64_t Bits(double d) { return std::bit_cast<uint64_t>(d); }

TEST(Extended, DoublesGiveTheirExactExtendedBytesAndComeBackBitForBit) {
  struct TCase {
    double Value;
    uint16_t SignExponent;
    uint64_t Significand;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const TCase cases[] = {
      {100.0, 0x4005, 0xC800000000000000u},
      {1.0, 0x3FFF, 0x8000000000000000u},
      {-2.5, 0xC000, 0xA000000000000000u},
      {0.0, 0x0000, 0},
      {-0.0, 0x8000, 0},
      {inf, 0x7FFF, 0x8000000000000000u},
      {-inf, 0xFFFF, 0x8000000000000000u},
      {std::numeric_limits<double>::max(), 0x43FE, 0xFFFFFFFFFFFFF800u},
      {std::numeric_limits<double>::min(), 0x3C01, 0x8000000000000000u},
      // Subnormal doubles become normal extended numbers.
      {std::numeric_limits<double>::denorm_min(), 0x3BCD, 0x8000000000000000u},
      {-std::bit_cast<double>(uint64_t{0x0000000000000003}), 0xBBCE, 0xC000000000000000u},
      {std::bit_cast<double>(uint64_t{0x000FFFFFFFFFFFFF}), 0x3C00, 0xFFFFFFFFFFFFF000u},
  };
  for (const TCase& c : cases) {
    TBytes out{};
    DoubleToExtended(c.Value, out.data());
    EXPECT_EQ(Hex(out), Hex(Extended(c.SignExponent, c.Significand))) << c.Value;
    EXPECT_EQ(Bits(ExtendedToDouble(out.data())), Bits(c.Value)) << c.Value;
  }
  // The one the stored templates show most.
  TBytes hundred{};
  DoubleToExtended(100.0, hundred.data());
  EXPECT_EQ(Hex(hundred), "00 00 00 00 00 00 00 C8 05 40 ");
}

TEST(Extended, NaNsKeepSignAndPayloadAndComeBackQuiet) {
  struct TCase {
    const char* Name;
    TBytes In;
    uint64_t Expected;
  };
  const TCase cases[] = {
      {"quiet with payload", Extended(0x7FFF, 0xC000000000012000u), 0x7FF8000000000024u},
      {"negative quiet", Extended(0xFFFF, 0xC000000000000000u), 0xFFF8000000000000u},
      {"payload below what fits", Extended(0x7FFF, 0xC0000000000007FFu), 0x7FF8000000000000u},
      {"signalling is quietened", Extended(0x7FFF, 0xA000000000000000u), 0x7FFC000000000000u},
  };
  for (const TCase& c : cases) EXPECT_EQ(Bits(ExtendedToDouble(c.In.data())), c.Expected) << c.Name;

  // Double NaNs go there and back unchanged, payload and all.
  for (uint64_t nan : {uint64_t{0x7FF8000000000123}, uint64_t{0xFFFABCDEF0123456}}) {
    TBytes out{};
    DoubleToExtended(std::bit_cast<double>(nan), out.data());
    EXPECT_EQ(Bits(ExtendedToDouble(out.data())), nan);
  }
}

TEST(Extended, ValuesDoubleCannotHoldRoundToNearestEven) {
  struct TCase {
    const char* Name;
    TBytes In;
    uint64_t Expected;
  };
  const TCase cases[] = {
      {"2^1024 overflows", Extended(0x43FF, 0x8000000000000000u), 0x7FF0000000000000u},
      {"-2^16383 overflows", Extended(0xFFFE, 0xFFFFFFFFFFFFFFFFu), 0xFFF0000000000000u},
      {"just over the largest rounds to infinity", Extended(0x43FE, 0xFFFFFFFFFFFFFC00u), 0x7FF0000000000000u},
      {"just under the rounding point stays largest", Extended(0x43FE, 0xFFFFFFFFFFFFFBFFu), 0x7FEFFFFFFFFFFFFFu},
      {"1 + 2^-53 ties to even 1", Extended(0x3FFF, 0x8000000000000400u), 0x3FF0000000000000u},
      {"1 + 2^-53 + 2^-63 rounds up", Extended(0x3FFF, 0x8000000000000401u), 0x3FF0000000000001u},
      {"1 + 3 * 2^-53 ties up to even", Extended(0x3FFF, 0x8000000000000C00u), 0x3FF0000000000002u},
      {"2^-1075 ties to zero", Extended(0x3BCC, 0x8000000000000000u), 0},
      {"-2^-1075 ties to negative zero", Extended(0xBBCC, 0x8000000000000000u), 0x8000000000000000u},
      {"a little over 2^-1075 gives the smallest subnormal", Extended(0x3BCC, 0x8000000000000001u), 1},
      {"1.25 * 2^-1074 rounds down", Extended(0x3BCD, 0xA000000000000000u), 1},
      {"1.5 * 2^-1074 ties to even 2", Extended(0x3BCD, 0xC000000000000000u), 2},
      {"subnormal rounding carries into the smallest normal", Extended(0x3C00, 0xFFFFFFFFFFFFFFFFu),
       0x0010000000000000u},
      {"2^-1076 is zero", Extended(0x3BCB, 0xFFFFFFFFFFFFFFFFu), 0},
      {"smallest normal extended is zero", Extended(0x0001, 0x8000000000000000u), 0},
      {"extended denormal is zero", Extended(0x8000, 0x0000000000000001u), 0x8000000000000000u},
      {"pseudo-denormal reads as exponent 1", Extended(0x0000, 0x8000000000000000u), 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Bits(ExtendedToDouble(c.In.data())), c.Expected) << c.Name << ": " << Hex(c.In);
}

TEST(Extended, EncodingsTheUnitRefusesGiveItsDefaultNaN) {
  const TBytes cases[] = {
      Extended(0x3FFF, 0x4000000000000000u),  // unnormal
      Extended(0xC005, 0x0000000000000000u),  // unnormal zero
      Extended(0x7FFF, 0x0000000000000000u),  // pseudo-infinity
      Extended(0xFFFF, 0x4000000000000000u),  // pseudo-NaN
  };
  for (const TBytes& c : cases) EXPECT_EQ(Bits(ExtendedToDouble(c.data())), 0xFFF8000000000000u) << Hex(c);
}

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
// Where the compiler's long double is this very format, the floating-point unit is an independent
// reference: every pattern, in and around double's range, converts as the unit converts it.
TEST(Extended, ConversionsAgreeWithTheFloatingPointUnit) {
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 200000; ++i) {
    uint64_t significand = random();
    auto signExponent = static_cast<uint16_t>(random());
    const uint16_t sign = signExponent & 0x8000;
    if (i % 4 == 1) signExponent = static_cast<uint16_t>(sign | (0x3C00 - 80 + random() % 2300));
    if (i % 4 == 2) signExponent = static_cast<uint16_t>(sign | (0x3BCD - 70 + random() % 140));
    if (i % 4 == 3) significand |= uint64_t{1} << 63;
    if (i % 8 == 0) significand &= ~((uint64_t{1} << (random() % 64)) - 1);
    const TBytes in = Extended(signExponent, significand);
    long double unit;
    std::memcpy(&unit, in.data(), ExtendedSize);
    ASSERT_EQ(Bits(ExtendedToDouble(in.data())), Bits(static_cast<double>(unit))) << Hex(in);

    const double d = std::bit_cast<double>(random());
    if (std::isnan(d)) continue;  // the unit quietens a signalling NaN on the way in
    TBytes out{}, expected{};
    DoubleToExtended(d, out.data());
    const long double wide = d;
    std::memcpy(expected.data(), &wide, ExtendedSize);
    ASSERT_EQ(Hex(out), Hex(expected)) << d;
  }
}
#endif

}  // namespace
