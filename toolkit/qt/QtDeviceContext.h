#pragma once
// A device context over a QPainter: the widget being painted, or a QImage in memory (which may
// hold its rows bottom-up, then the painter draws through a vertical flip).
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <vector>

#include "toolkit/Graphics.h"

QFont ToQFont(const TFontData& font);
QColor ToQColor(TColor rgb);

class QtDeviceContext : public TDeviceContext {
public:
  // Draws on Painter, whose device is Bounds big; BottomUp flips rows of an image in memory.
  QtDeviceContext(QPainter& painter, const QRegion& initialClip, QImage* image, bool bottomUp);

  int SaveDC() override;
  bool RestoreDC(int level) override;
  TPoint ViewportOrg() const override { return FState.Origin; }
  void SetViewportOrg(TPoint org) override;
  int IntersectClipRect(const TRect& r) override;
  int ExcludeClipRect(const TRect& r) override;
  int GetClipBox(TRect& box) const override;
  bool RectVisible(const TRect& r) const override;

  void FillRect(const TRect& r, TColor color) override;
  void Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                 TBrushStyle brushStyle) override;
  void SetFont(const TFontData& font) override;
  TSize TextExtent(const std::string& text) override;
  void TextOut(int x, int y, const std::string& text, TColor color) override;
  void DrawPixels(int x, int y, const TPixelView& pixels) override;
  void BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) override;
  int GetDeviceCaps(int index) const override;

  QImage* Image() const { return FImage; }
  bool BottomUp() const { return FBottomUp; }

private:
  struct State {
    TPoint Origin;
    QRegion Clip;  // in device coordinates, top-down
  };
  void Apply();
  QRect Device(const TRect& r) const;
  static int RegionKind(const QRegion& region);

  QPainter& FPainter;
  QImage* FImage;
  bool FBottomUp;
  QTransform FBase;
  State FState;
  std::vector<State> FSaved;
  TFontData FFont;
  bool FFontSet = false;
};
