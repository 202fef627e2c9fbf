#include "toolkit/qt/QtPictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <mutex>

#include "toolkit/Pictures.h"

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// What a bitmap's headers promise must be possible with the bytes the file has: uncompressed
// rows must all be there, and no picture may claim more pixels than the file could justify.
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
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
  if (static_cast<size_t>(width * height) > JustifiedPixels(b.size())) return false;
  const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  if (uncompressed) {
    if (bpp == 0 || bpp > 32) return false;
    const int64_t stride = ((width * bpp + 31) / 32) * 4;
    if (static_cast<int64_t>(offset) + stride * height > static_cast<int64_t>(b.size())) return false;
  }
  return true;
}

class TQtGraphic : public TPixelGraphic {
public:
  TQtGraphic(const char* format, const char* invalidMessage, bool keepsAlpha)
      : FFormat(format), FInvalid(invalidMessage), FKeepsAlpha(keepsAlpha) {}

  void LoadFromBytes(std::span<const uint8_t> bytes) override {
    if (std::strcmp(FFormat, "bmp") == 0 && !BitmapHeaderPlausible(bytes)) throw EInvalidGraphic(FInvalid);
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, FFormat);
    reader.setDecideFormatFromContent(false);
    const QSize claimed = reader.size();
    if (claimed.isValid() &&
        (claimed.width() > 65535 || claimed.height() > 65535 ||
         static_cast<size_t>(claimed.width()) * static_cast<size_t>(claimed.height()) > JustifiedPixels(bytes.size())))
      throw EInvalidGraphic(FInvalid);
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() > 65535 || image.height() > 65535)
      throw EInvalidGraphic(FInvalid);
    image = image.convertToFormat(FKeepsAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const size_t stride = static_cast<size_t>(w) * 4;
    TBuffer pixels = AllocBuffer(stride * static_cast<size_t>(h));
    // QImage's 32-bit formats hold 0xAARRGGBB words: on this little-endian machine the bytes
    // B, G, R, A, which is the toolkit's order already.
    for (int y = 0; y < h; ++y) std::memcpy(pixels.get() + stride * static_cast<size_t>(y), image.constScanLine(y), stride);
    SetPixels(std::move(pixels), w, h, FKeepsAlpha);
  }

private:
  const char* FFormat;
  const char* FInvalid;
  bool FKeepsAlpha;
};

class TQtBitmap : public TQtGraphic {
public:
  QV_CLASS(TBitmap)
  // A bitmap draws opaque: whatever its fourth byte holds, the platform copies its colours.
  TQtBitmap() : TQtGraphic("bmp", "Bitmap image is not valid", false) {}
};

class TQtIcon : public TQtGraphic {
public:
  QV_CLASS(TIcon)
  // An icon draws over what lies beneath it: its transparent parts leave the background.
  TQtIcon() : TQtGraphic("ico", "Icon image is not valid", true) {}
};

}  // namespace

void RegisterQtPictureFormats() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterFileFormat("ico", "Icon", [] { return std::make_unique<TQtIcon>(); });
    RegisterFileFormat("bmp", "Bitmaps", [] { return std::make_unique<TQtBitmap>(); });
  });
}
