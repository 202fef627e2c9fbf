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
    // The clip in device coordinates, top-down: a rectangle as long as it is one, which costs no
    // allocation to narrow, and a region only once an exclusion made it more than a rectangle.
    QRect Rect;
    QRegion Region;
    bool Complex = false;
  };
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
  QRect ClipBounds() const { return FState.Complex ? FState.Region.boundingRect() : FState.Rect; }
  bool ClipIsEmpty() const { return FState.Complex ? FState.Region.isEmpty() : FState.Rect.isEmpty(); }
  int ClipKind() const;
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
  State FState;
  std::vector<State> FSaved;
  TFontData FFont;
  bool FFontSet = false;
  // What the painter was last given.
  State FApplied;
  bool FAppliedValid = false;
  std::vector<TextEntry> FTexts;
  size_t FNextText = 0;  // the entry a full cache replaces next
};
