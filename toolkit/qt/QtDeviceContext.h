#pragma once
// A device context over a QPainter: the widget being painted, or a QImage in memory (which may
// hold its rows bottom-up, then the painter draws through a vertical flip).
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <vector>

#include "toolkit/ClipRegion.h"
#include "toolkit/Graphics.h"

QFont ToQFont(const TFontData& font);
QColor ToQColor(TColor rgb);

class QtDeviceContext : public TClippedDeviceContext {
public:
  // Draws on Painter, whose device is Bounds big; BottomUp flips rows of an image in memory.
  QtDeviceContext(QPainter& painter, const QRegion& initialClip, QImage* image, bool bottomUp);

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
  // A text in a font, measured, and for drawing onto a picture in memory the pixels its glyphs
  // set, as the painter draws them: a repaint then neither shapes nor rasterises it again.
  struct TextEntry {
    TFontData Font;
    std::string Text;
    TSize Extent;
    bool MaskMade = false;
    bool MaskUsable = false;  // false when the painter would blend edges: then it draws the text
    QRect MaskBounds;         // the set pixels' box, relative to the text's top-left
    std::vector<uint8_t> Mask;
  };
  // Brings the painter's transform and clip up to the state before it draws.
  void Prepare();
  QRect Device(const TRect& r) const;
  // Calls f with each rectangle of the clip, within the picture in memory.
  template <typename F> void ForEachClipRect(F&& f) const;
  // A picture in memory of 32-bit pixels, which the fast paths write themselves.
  bool Memory32() const {
    return FImage && (FImage->format() == QImage::Format_RGB32 || FImage->format() == QImage::Format_ARGB32 ||
                      FImage->format() == QImage::Format_ARGB32_Premultiplied);
  }
  int MemoryRow(int y) const { return FBottomUp ? FImage->height() - 1 - y : y; }
  TextEntry* FindText(const std::string& text);
  TextEntry& AddText(const std::string& text);
  void MakeMask(TextEntry& entry);

  QPainter& FPainter;
  QImage* FImage;
  bool FBottomUp;
  QTransform FBase;
  TFontData FFont;
  bool FFontSet = false;
  // The clip and origin the painter was last given.
  uint64_t FAppliedClip = 0;
  TPoint FAppliedOrigin;
  std::vector<TextEntry> FTexts;
  size_t FNextText = 0;  // the entry a full cache replaces next
};
