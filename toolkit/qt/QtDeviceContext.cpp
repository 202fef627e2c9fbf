#include "toolkit/qt/QtDeviceContext.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstring>

QFont ToQFont(const TFontData& font) {
  QFont f;
  // The faces the stored layouts name are rarely installed here; the nearest sans face stands in.
  f.setFamilies({QString::fromStdString(font.Name), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
  const int px = font.Height < 0 ? -font.Height : std::max(1, font.Height * 4 / 5);
  f.setPixelSize(std::max(1, px));
  f.setBold(font.Style & fsBold);
  f.setItalic(font.Style & fsItalic);
  f.setUnderline(font.Style & fsUnderline);
  f.setStrikeOut(font.Style & fsStrikeOut);
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

QColor ToQColor(TColor rgb) { return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)); }

namespace {

constexpr size_t kTextCacheSize = 64;

QRect TopDown(const QImage& image) { return QRect(0, 0, image.width(), image.height()); }

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

TClipRegion FromQRegion(const QRegion& region) {
  if (region.rectCount() <= 1) {
    const QRect b = region.boundingRect();
    return TClipRegion(Bounds(b.left(), b.top(), b.width(), b.height()));
  }
  std::vector<TRect> rects;
  for (const QRect& r : region) rects.push_back(Bounds(r.left(), r.top(), r.width(), r.height()));
  return TClipRegion::FromRects(rects);
}

}  // namespace

QtDeviceContext::QtDeviceContext(QPainter& painter, const QRegion& initialClip, QImage* image, bool bottomUp)
    : TClippedDeviceContext(FromQRegion(initialClip)), FPainter(painter), FImage(image), FBottomUp(bottomUp) {
  if (bottomUp && image) FBase = QTransform(1, 0, 0, -1, 0, image->height());
  Prepare();
}

void QtDeviceContext::Prepare() {
  const bool sameClip = FAppliedClip == ClipId();
  if (sameClip && FAppliedOrigin == Origin()) return;
  if (!sameClip) {
    // Setting a clip makes the painter build one anew: only when it changed.
    FPainter.setTransform(FBase);
    if (Clip().IsRect()) {
      FPainter.setClipRect(ToQRect(Clip().Box()));
    } else {
      QRegion region;
      Clip().ForEachRect([&](const TRect& r) { region += ToQRect(r); });
      FPainter.setClipRegion(region);
    }
  }
  FPainter.setTransform(QTransform::fromTranslate(Origin().X, Origin().Y) * FBase);
  FAppliedClip = ClipId();
  FAppliedOrigin = Origin();
}

QRect QtDeviceContext::Device(const TRect& r) const { return ToQRect(ToDevice(r)); }

template <typename F> void QtDeviceContext::ForEachClipRect(F&& f) const {
  const QRect picture = TopDown(*FImage);
  Clip().ForEachRect([&](const TRect& part) {
    const QRect r = ToQRect(part) & picture;
    if (!r.isEmpty()) f(r);
  });
}

void QtDeviceContext::FillRect(const TRect& r, TColor color) {
  if (r.IsEmpty()) return;
  if (Memory32()) {
    // A solid fill of a picture in memory is rows of one value: what the painter writes, without it.
    const QRect target = Device(r);
    const uint32_t pixel = ToQColor(color).rgba();
    uchar* bits = FImage->bits();
    const qsizetype stride = FImage->bytesPerLine();
    ForEachClipRect([&](const QRect& clip) {
      const QRect part = clip & target;
      for (int y = part.top(); y <= part.bottom(); ++y)
        std::fill_n(reinterpret_cast<uint32_t*>(bits + MemoryRow(y) * stride) + part.left(), part.width(), pixel);
    });
    return;
  }
  Prepare();
  FPainter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(color));
}

void QtDeviceContext::Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                                TBrushStyle brushStyle) {
  if (brushStyle == TBrushStyle::bsSolid) FillRect(r, brushColor);
  if (penStyle == TPenStyle::psClear) return;
  Prepare();
  QPen pen(ToQColor(penColor));
  pen.setWidth(1);
  pen.setStyle(penStyle == TPenStyle::psDash ? Qt::DashLine : penStyle == TPenStyle::psDot ? Qt::DotLine : Qt::SolidLine);
  FPainter.setPen(pen);
  FPainter.setBrush(Qt::NoBrush);
  FPainter.drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void QtDeviceContext::SetFont(const TFontData& font) {
  if (FFontSet && font == FFont) return;
  FFont = font;
  FFontSet = true;
  FPainter.setFont(ToQFont(font));
}

QtDeviceContext::TextEntry* QtDeviceContext::FindText(const std::string& text) {
  if (!FFontSet) return nullptr;
  for (TextEntry& e : FTexts)
    if (e.Text == text && e.Font == FFont) return &e;
  return nullptr;
}

QtDeviceContext::TextEntry& QtDeviceContext::AddText(const std::string& text) {
  TextEntry* slot;
  if (FTexts.size() < kTextCacheSize) {
    slot = &FTexts.emplace_back();
  } else {
    // Full: the entries are replaced in turn.
    slot = &FTexts[FNextText];
    FNextText = (FNextText + 1) % kTextCacheSize;
  }
  TextEntry& e = *slot;
  e.Font = FFont;
  e.Text = text;
  QFontMetrics m(FPainter.font());
  e.Extent = {m.horizontalAdvance(QString::fromStdString(text)), m.height()};
  e.MaskMade = false;
  e.MaskUsable = false;
  return e;
}

TSize QtDeviceContext::TextExtent(const std::string& text) {
  if (TextEntry* e = FindText(text)) return e->Extent;
  if (FFontSet) return AddText(text).Extent;
  QFontMetrics m(FPainter.font());
  return {m.horizontalAdvance(QString::fromStdString(text)), m.height()};
}

void QtDeviceContext::MakeMask(TextEntry& e) {
  e.MaskMade = true;
  e.MaskUsable = false;
  e.Mask.clear();
  e.MaskBounds = QRect();
  // The text drawn as TextOut draws it, in the same orientation, white on black with room round
  // it for overhangs; glyphs at whole-pixel positions come out the same wherever they land.
  const QFontMetrics m(FPainter.font());
  const int margin = std::max(8, e.Extent.cy);
  const int w = std::max(1, e.Extent.cx) + 2 * margin, h = std::max(1, e.Extent.cy) + 2 * margin;
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(0xFF000000u);
  {
    QPainter p(&picture);
    if (FBottomUp) p.setTransform(QTransform(1, 0, 0, -1, 0, h));
    p.setFont(FPainter.font());
    p.setPen(QColor(255, 255, 255));
    p.drawText(QPoint(margin, margin + m.ascent()), QString::fromStdString(e.Text));
  }
  int left = w, top = h, right = -1, bottom = -1;
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(FBottomUp ? h - 1 - y : y));
    for (int x = 0; x < w; ++x) {
      const uint32_t c = row[x] & 0xFFFFFFu;
      // An edge the painter blends cannot be replayed by setting pixels: it keeps drawing that text.
      if (c != 0 && c != 0xFFFFFFu) return;
      if (c == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  e.MaskUsable = true;
  if (right < 0) return;  // nothing to set: blanks only
  e.MaskBounds = QRect(left - margin, top - margin, right - left + 1, bottom - top + 1);
  e.Mask.resize(static_cast<size_t>(e.MaskBounds.width()) * static_cast<size_t>(e.MaskBounds.height()));
  for (int y = top; y <= bottom; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(picture.constScanLine(FBottomUp ? h - 1 - y : y));
    for (int x = left; x <= right; ++x)
      e.Mask[static_cast<size_t>(y - top) * static_cast<size_t>(e.MaskBounds.width()) + static_cast<size_t>(x - left)] =
          (row[x] & 0xFFFFFFu) != 0;
  }
}

void QtDeviceContext::TextOut(int x, int y, const std::string& text, TColor color) {
  TextEntry* e = Memory32() ? FindText(text) : nullptr;
  if (!e && Memory32() && FFontSet) e = &AddText(text);
  if (e && !e->MaskMade) MakeMask(*e);
  if (e && e->MaskUsable) {
    if (e->Mask.empty()) return;
    const QRect target = e->MaskBounds.translated(x + Origin().X, y + Origin().Y);
    const uint32_t pixel = ToQColor(color).rgba();
    uchar* bits = FImage->bits();
    const qsizetype stride = FImage->bytesPerLine();
    const int maskWidth = e->MaskBounds.width();
    ForEachClipRect([&](const QRect& clip) {
      const QRect part = clip & target;
      for (int py = part.top(); py <= part.bottom(); ++py) {
        const uint8_t* mask = e->Mask.data() + static_cast<size_t>(py - target.top()) * static_cast<size_t>(maskWidth);
        auto* row = reinterpret_cast<uint32_t*>(bits + MemoryRow(py) * stride);
        for (int px = part.left(); px <= part.right(); ++px)
          if (mask[px - target.left()]) row[px] = pixel;
      }
    });
    return;
  }
  Prepare();
  QFontMetrics m(FPainter.font());
  FPainter.setPen(ToQColor(color));
  // Through the flip of a bottom-up picture the glyphs land upright in picture coordinates.
  FPainter.drawText(QPoint(x, y + m.ascent()), QString::fromStdString(text));
}

void QtDeviceContext::DrawPixels(int x, int y, const TPixelView& pixels) {
  if (!pixels.Origin || pixels.Width <= 0 || pixels.Height <= 0) return;
  if (!pixels.HasAlpha && FImage && Clip().IsRect()) {
    // An opaque picture onto a picture in memory is a copy of rows: no conversion, no painting,
    // the flip of bottom-up storage done by where each row goes.
    const int ox = x + Origin().X, oy = y + Origin().Y;
    const QRect target = QRect(ox, oy, pixels.Width, pixels.Height) & ToQRect(Clip().Box()) & FImage->rect();
    if (target.isEmpty()) return;
    uchar* bits = FImage->bits();
    const qsizetype stride = FImage->bytesPerLine();
    for (int row = target.top(); row <= target.bottom(); ++row) {
      const int stored = FBottomUp ? FImage->height() - 1 - row : row;
      std::memcpy(bits + stored * stride + target.left() * 4,
                  pixels.Origin + (row - oy) * pixels.RowStep + (target.left() - ox) * 4,
                  static_cast<size_t>(target.width()) * 4);
    }
    return;
  }
  Prepare();
  const QImage::Format format = pixels.HasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  QImage picture(pixels.Width, pixels.Height, format);
  for (int row = 0; row < pixels.Height; ++row)
    std::memcpy(picture.scanLine(row), pixels.Origin + row * pixels.RowStep, static_cast<size_t>(pixels.Width) * 4);
  FPainter.drawImage(QPoint(x, y), picture);
}

void QtDeviceContext::BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) {
  auto* src = dynamic_cast<QtDeviceContext*>(&source);
  if (!src || !src->FImage || w <= 0 || h <= 0) return;
  const int srcOx = src->Origin().X, srcOy = src->Origin().Y;
  const QRect from(sx + srcOx, sy + srcOy, w, h);
  if (Memory32() && FImage->format() == src->FImage->format() && TopDown(*src->FImage).contains(from)) {
    // Picture to picture in memory: rows copied as they are, each side in its own row order.
    const QRect target = Device(Bounds(x, y, w, h));
    const int dx = from.left() - target.left(), dy = from.top() - target.top();
    uchar* bits = FImage->bits();
    const qsizetype stride = FImage->bytesPerLine();
    const uchar* srcBits = src->FImage->constBits();
    const qsizetype srcStride = src->FImage->bytesPerLine();
    ForEachClipRect([&](const QRect& clip) {
      const QRect part = clip & target;
      for (int py = part.top(); py <= part.bottom(); ++py)
        std::memcpy(bits + MemoryRow(py) * stride + part.left() * 4,
                    srcBits + src->MemoryRow(py + dy) * srcStride + (part.left() + dx) * 4,
                    static_cast<size_t>(part.width()) * 4);
    });
    return;
  }
  Prepare();
  const QPainter::CompositionMode mode = FPainter.compositionMode();
  FPainter.setCompositionMode(QPainter::CompositionMode_Source);
  if (src->FBottomUp) {
    // The source keeps its rows bottom-up: flip them at this boundary, without a copy.
    FPainter.save();
    FPainter.translate(x, y + h);
    FPainter.scale(1, -1);
    FPainter.drawImage(QRect(0, 0, w, h), *src->FImage,
                       QRect(sx + srcOx, src->FImage->height() - (sy + srcOy) - h, w, h));
    FPainter.restore();
  } else {
    FPainter.drawImage(QRect(x, y, w, h), *src->FImage, QRect(sx + srcOx, sy + srcOy, w, h));
  }
  FPainter.setCompositionMode(mode);
}

int QtDeviceContext::GetDeviceCaps(int index) const {
  switch (index) {
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case RASTERCAPS: return RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY: return ScreenPixelsPerInch;
    default: return 0;
  }
}
