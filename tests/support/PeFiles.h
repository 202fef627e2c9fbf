#pragma once
// Smallest Windows executable files with a version resource, made in memory for the tests that
// read file versions.
#include <cstdint>
#include <cstring>
#include <string>

namespace test_pe {

using Bytes = std::string;

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

struct Version {
  std::uint16_t major, minor, release, build;
};

// Where the parts of the made-up PE file lie, for the tests that damage them.
constexpr std::size_t kPeHeader = 0x80;
constexpr std::size_t kRsrcRaw = 0x200;
constexpr std::uint32_t kRsrcRva = 0x3000;
constexpr std::size_t kTypeEntry = kRsrcRaw + 16;
constexpr std::size_t kNameDir = kRsrcRaw + 0x18;
constexpr std::size_t kNameEntry = kNameDir + 16;
constexpr std::size_t kLangDir = kRsrcRaw + 0x30;
constexpr std::size_t kLangEntry = kLangDir + 16;
constexpr std::size_t kDataEntry = kRsrcRaw + 0x48;
constexpr std::size_t kBlock = kRsrcRaw + 0x58;
constexpr std::size_t kFixedInfo = kBlock + 40;

// A smallest PE file with one .rsrc section holding a version resource; `plus` picks PE32+.
inline Bytes MakePe(Version v, bool plus) {
  Bytes b(kRsrcRaw, '\0');
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kPeHeader);
  std::memcpy(&b[kPeHeader], "PE\0\0", 4);
  const std::size_t coff = kPeHeader + 4;
  const std::uint16_t optionalSize = plus ? 240 : 224;
  Put16(b, coff, plus ? 0x8664 : 0x14C);
  Put16(b, coff + 2, 1);  // sections
  Put16(b, coff + 16, optionalSize);
  const std::size_t opt = coff + 20;
  Put16(b, opt, plus ? 0x20B : 0x10B);
  const std::size_t dirs = opt + (plus ? 112 : 96);
  Put32(b, opt + (plus ? 108 : 92), 16);
  // Resource directory: from the root to the end of the block below.
  const std::uint32_t blockLength = 40 + 52 + 12;  // with a few bytes of children after it
  const std::uint32_t rsrcSize = static_cast<std::uint32_t>(kBlock - kRsrcRaw) + blockLength;
  Put32(b, dirs + 2 * 8, kRsrcRva);
  Put32(b, dirs + 2 * 8 + 4, rsrcSize);
  const std::size_t section = opt + optionalSize;
  std::memcpy(&b[section], ".rsrc", 5);
  Put32(b, section + 8, rsrcSize);   // virtual size
  Put32(b, section + 12, kRsrcRva);  // virtual address
  Put32(b, section + 16, 0x200);     // raw size
  Put32(b, section + 20, kRsrcRaw);  // raw offset
  b.resize(kRsrcRaw + 0x200, '\0');

  Put16(b, kRsrcRaw + 14, 1);  // root: one id entry, RT_VERSION
  Put32(b, kTypeEntry, 16);
  Put32(b, kTypeEntry + 4, 0x80000000u | (kNameDir - kRsrcRaw));
  Put16(b, kNameDir + 14, 1);  // names: id 1
  Put32(b, kNameEntry, 1);
  Put32(b, kNameEntry + 4, 0x80000000u | (kLangDir - kRsrcRaw));
  Put16(b, kLangDir + 14, 1);  // languages: 0x409, a data entry
  Put32(b, kLangEntry, 0x409);
  Put32(b, kLangEntry + 4, static_cast<std::uint32_t>(kDataEntry - kRsrcRaw));
  Put32(b, kDataEntry, kRsrcRva + static_cast<std::uint32_t>(kBlock - kRsrcRaw));
  Put32(b, kDataEntry + 4, blockLength);

  Put16(b, kBlock, static_cast<std::uint16_t>(blockLength));
  Put16(b, kBlock + 2, 52);
  const char16_t key[] = u"VS_VERSION_INFO";
  for (std::size_t i = 0; i < 15; ++i) Put16(b, kBlock + 6 + 2 * i, key[i]);
  Put32(b, kFixedInfo, 0xFEEF04BD);
  Put32(b, kFixedInfo + 4, 0x00010000);
  Put32(b, kFixedInfo + 8, (std::uint32_t{v.major} << 16) | v.minor);
  Put32(b, kFixedInfo + 12, (std::uint32_t{v.release} << 16) | v.build);
  return b;
}

}  // namespace test_pe
