#include "toolkit/qt/QtDeviceContext.h"

#include <QFontMetrics>
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

QtDeviceContext::QtDeviceContext(QPainter& painter, const QRegion& initialClip, QImage* image, bool bottomUp)
    : FPainter(painter), FImage(image), FBottomUp(bottomUp) {
  if (bottomUp && image) FBase = QTransform(1, 0, 0, -1, 0, image->height());
  FState.Clip = initialClip;
  Apply();
}

void QtDeviceContext::Apply() {
  FPainter.setTransform(FBase);
  FPainter.setClipRegion(FState.Clip);
  FPainter.setTransform(QTransform::fromTranslate(FState.Origin.X, FState.Origin.Y) * FBase);
}

QRect QtDeviceContext::Device(const TRect& r) const {
  return QRect(r.Left + FState.Origin.X, r.Top + FState.Origin.Y, r.Width(), r.Height());
}

int QtDeviceContext::RegionKind(const QRegion& region) {
  if (region.isEmpty()) return NULLREGION;
  return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int QtDeviceContext::SaveDC() {
  FSaved.push_back(FState);
  return static_cast<int>(FSaved.size());
}

bool QtDeviceContext::RestoreDC(int level) {
  const int count = static_cast<int>(FSaved.size());
  if (level < 0) level = count + 1 + level;
  if (level < 1 || level > count) return false;
  FState = FSaved[static_cast<size_t>(level - 1)];
  FSaved.resize(static_cast<size_t>(level - 1));
  Apply();
  return true;
}

void QtDeviceContext::SetViewportOrg(TPoint org) {
  FState.Origin = org;
  Apply();
}

int QtDeviceContext::IntersectClipRect(const TRect& r) {
  FState.Clip = FState.Clip.intersected(Device(r));
  Apply();
  return RegionKind(FState.Clip);
}

int QtDeviceContext::ExcludeClipRect(const TRect& r) {
  FState.Clip = FState.Clip.subtracted(Device(r));
  Apply();
  return RegionKind(FState.Clip);
}

int QtDeviceContext::GetClipBox(TRect& box) const {
  const QRect b = FState.Clip.boundingRect();
  if (FState.Clip.isEmpty()) box = {};
  else
    box = {b.left() - FState.Origin.X, b.top() - FState.Origin.Y, b.right() + 1 - FState.Origin.X,
           b.bottom() + 1 - FState.Origin.Y};
  return RegionKind(FState.Clip);
}

bool QtDeviceContext::RectVisible(const TRect& r) const {
  if (r.IsEmpty()) return false;
  return FState.Clip.intersects(Device(r));
}

void QtDeviceContext::FillRect(const TRect& r, TColor color) {
  if (r.IsEmpty()) return;
  FPainter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(color));
}

void QtDeviceContext::Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                                TBrushStyle brushStyle) {
  if (brushStyle == TBrushStyle::bsSolid) FillRect(r, brushColor);
  if (penStyle == TPenStyle::psClear) return;
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

TSize QtDeviceContext::TextExtent(const std::string& text) {
  QFontMetrics m(FPainter.font());
  return {m.horizontalAdvance(QString::fromStdString(text)), m.height()};
}

void QtDeviceContext::TextOut(int x, int y, const std::string& text, TColor color) {
  QFontMetrics m(FPainter.font());
  FPainter.setPen(ToQColor(color));
  // Through the flip of a bottom-up picture the glyphs land upright in picture coordinates.
  FPainter.drawText(QPoint(x, y + m.ascent()), QString::fromStdString(text));
}

void QtDeviceContext::DrawPixels(int x, int y, const TPixelView& pixels) {
  if (!pixels.Origin || pixels.Width <= 0 || pixels.Height <= 0) return;
  if (!pixels.HasAlpha && FImage && FState.Clip.rectCount() <= 1) {
    // An opaque picture onto a picture in memory is a copy of rows: no conversion, no painting,
    // the flip of bottom-up storage done by where each row goes.
    const int ox = x + FState.Origin.X, oy = y + FState.Origin.Y;
    const QRect target = QRect(ox, oy, pixels.Width, pixels.Height) & FState.Clip.boundingRect() & FImage->rect();
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
  const QImage::Format format = pixels.HasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  QImage picture(pixels.Width, pixels.Height, format);
  for (int row = 0; row < pixels.Height; ++row)
    std::memcpy(picture.scanLine(row), pixels.Origin + row * pixels.RowStep, static_cast<size_t>(pixels.Width) * 4);
  FPainter.drawImage(QPoint(x, y), picture);
}

void QtDeviceContext::BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) {
  auto* src = dynamic_cast<QtDeviceContext*>(&source);
  if (!src || !src->FImage || w <= 0 || h <= 0) return;
  const QPainter::CompositionMode mode = FPainter.compositionMode();
  FPainter.setCompositionMode(QPainter::CompositionMode_Source);
  const int srcOx = src->FState.Origin.X, srcOy = src->FState.Origin.Y;
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
