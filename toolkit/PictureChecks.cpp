#include "toolkit/PictureChecks.h"

#include <algorithm>

#include "toolkit/Pictures.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

bool SidesPlausible(int64_t width, int64_t height, size_t fileBytes) {
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
  return static_cast<uint64_t>(width * height) <= JustifiedPixels(fileBytes);
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// One icon image: `image` is the entry's bytes, `fileBytes` the whole file's size.
bool IconImagePlausible(std::span<const uint8_t> image, size_t fileBytes) {
  if (image.size() >= 24 && std::equal(kPngSignature, kPngSignature + 8, image.begin()))
    return SidesPlausible(Be32(&image[16]), Be32(&image[20]), fileBytes);
  if (image.size() < 40) return false;
  const uint32_t headerSize = Le32(&image[0]);
  const int64_t width = static_cast<int32_t>(Le32(&image[4]));
  // The height counts the colour rows and the mask rows below them.
  const int64_t height = static_cast<int32_t>(Le32(&image[8])) / 2;
  const uint32_t bpp = Le16(&image[14]), compression = Le32(&image[16]), used = Le32(&image[32]);
  if (headerSize < 40 || headerSize > image.size() || compression != 0) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (!SidesPlausible(width, height, fileBytes)) return false;
  const uint64_t colours = bpp <= 8 ? (used != 0 && used < (1u << bpp) ? used : 1u << bpp) : 0;
  const uint64_t stride = static_cast<uint64_t>((width * bpp + 31) / 32) * 4;
  return headerSize + colours * 4 + stride * static_cast<uint64_t>(height) <= image.size();
}

}  // namespace

bool BitmapHeaderPlausible(std::span<const uint8_t> b) {
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return false;
  const uint32_t offset = Le32(&b[10]), headerSize = Le32(&b[14]);
  int64_t width, height;
  uint32_t bpp, compression = 0;
  if (headerSize == 12) {
    width = Le16(&b[18]);
    height = static_cast<int16_t>(Le16(&b[20]));
    bpp = Le16(&b[24]);
  } else {
    if (b.size() < 34 || headerSize < 40) return false;
    width = static_cast<int32_t>(Le32(&b[18]));
    height = static_cast<int32_t>(Le32(&b[22]));
    bpp = Le16(&b[28]);
    compression = Le32(&b[30]);
  }
  if (height < 0) height = -height;
  if (!SidesPlausible(width, height, b.size())) return false;
  const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  if (uncompressed) {
    if (bpp == 0 || bpp > 32) return false;
    const int64_t stride = ((width * bpp + 31) / 32) * 4;
    if (static_cast<int64_t>(offset) + stride * height > static_cast<int64_t>(b.size())) return false;
  }
  return true;
}

bool IconHeaderPlausible(std::span<const uint8_t> b) {
  if (b.size() < 6 || Le16(&b[0]) != 0 || Le16(&b[2]) != 1) return false;
  const uint32_t count = Le16(&b[4]);
  if (count == 0 || 6 + uint64_t{16} * count > b.size()) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = &b[6 + size_t{16} * i];
    const uint64_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
    if (bytes == 0 || offset + bytes > b.size()) return false;
    if (!IconImagePlausible(b.subspan(static_cast<size_t>(offset), static_cast<size_t>(bytes)), b.size())) return false;
  }
  return true;
}
