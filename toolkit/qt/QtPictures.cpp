#include "toolkit/qt/QtPictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <mutex>

#include "toolkit/PictureChecks.h"
#include "toolkit/Pictures.h"

namespace {

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
