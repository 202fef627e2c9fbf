#pragma once
// Bitmap and icon files made byte by byte, for the tests of the picture checks and decoders.
#include <cstdint>
#include <cstring>
#include <vector>

namespace picture_bytes {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file: the file header, a 40-byte information header, the colour table, the data.
inline std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                            const std::vector<uint32_t>& colours, const std::vector<uint8_t>& data) {
  const uint32_t offset = 54 + static_cast<uint32_t>(colours.size()) * 4;
  std::vector<uint8_t> b(offset);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, offset + static_cast<uint32_t>(data.size()));
  Put32(b, 10, offset);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bpp);
  Put32(b, 30, compression);
  Put32(b, 34, static_cast<uint32_t>(data.size()));
  Put32(b, 46, static_cast<uint32_t>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) Put32(b, 54 + i * 4, colours[i]);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// An icon file of one entry holding `image` (a bitmap without its file header, or a PNG).
inline std::vector<uint8_t> Icon(const std::vector<uint8_t>& image, uint16_t type = 1) {
  std::vector<uint8_t> b(22);
  Put16(b, 2, type);
  Put16(b, 4, 1);
  b[6] = 2;
  b[7] = 2;
  Put16(b, 10, 1);
  Put16(b, 12, 32);
  Put32(b, 14, static_cast<uint32_t>(image.size()));
  Put32(b, 18, 22);
  b.insert(b.end(), image.begin(), image.end());
  return b;
}

// A 2 x 2 icon image of 32 bits: header, colour rows, mask rows.
inline std::vector<uint8_t> IconImage(int32_t width = 2, int32_t doubledHeight = 4, size_t cut = 0) {
  std::vector<uint8_t> b(40 + 2 * 2 * 4 + 2 * 4);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<uint32_t>(width));
  Put32(b, 8, static_cast<uint32_t>(doubledHeight));
  Put16(b, 12, 1);
  Put16(b, 14, 32);
  for (size_t i = 40; i < 56; ++i) b[i] = 0x80;
  b.resize(b.size() - cut);
  return b;
}

inline std::vector<uint8_t> PngHeader(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
  return b;
}

}  // namespace picture_bytes
