#include "platform/CodePages.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/SystemHooks.h"
#include "platform/Utf.h"

namespace platform {

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the undefined bytes, which map to themselves.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t From1252(unsigned char b) {
  if (b >= 0x80 && b < 0xA0 && kHigh1252[b - 0x80] != 0) return kHigh1252[b - 0x80];
  return b;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char b : bytes) {
    if (b < 0x80) out += static_cast<char>(b);
    else AppendUtf8(out, From1252(b));
  }
  return out;
}

std::string CodePageToUtf8(unsigned codePage, std::string_view bytes) {
  if (codePage == 1252 || codePage == 0) return Windows1252ToUtf8(bytes);
  if (codePage == 65001) {
    std::string out;
    for (size_t pos = 0; pos < bytes.size();) AppendUtf8(out, DecodeUtf8(bytes, pos));
    return out;
  }
  bool ascii = true;
  for (unsigned char b : bytes) ascii = ascii && b < 0x80;
  if (ascii) return std::string(bytes);
  std::string out;
  if (SystemCodePageToUtf8(codePage, bytes, out)) return out;
  return Windows1252ToUtf8(bytes);
}

bool IsDoubleByteCodePage(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

unsigned CharsetToCodePage(int charset) {
  switch (charset) {
    case 0: return 1252;     // ANSI
    case 77: return 10000;   // Mac Roman
    case 128: return 932;    // Shift JIS
    case 129: return 949;    // Hangul
    case 134: return 936;    // GB 2312
    case 136: return 950;    // Big5
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 163: return 1258;   // Vietnamese
    case 177: return 1255;   // Hebrew
    case 178: return 1256;   // Arabic
    case 186: return 1257;   // Baltic
    case 204: return 1251;   // Cyrillic
    case 222: return 874;    // Thai
    case 238: return 1250;   // Eastern European
    case 254: return 437;    // PC 437
    default: return 0;       // default, symbol, OEM: no page of their own
  }
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    // Text is mostly ASCII: eight bytes at a time while none has its top bit set.
    while (i + 8 <= s.size()) {
      std::uint64_t word;
      std::memcpy(&word, s.data() + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= s.size()) break;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) extra = 1, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3, cp = c & 0x07;
    else return false;
    if (i + static_cast<size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

}  // namespace platform
