#pragma once
// A device context over a GDI device context: a window being painted, or a 32-bit DIB section in
// memory. GDI keeps the save stack, the origin and the clip; where this class writes a section's
// pixels itself, it reads them back from GDI.
//
// The alpha rule on a section: a pixel that a fill, a text or an outline sets holds alpha 255,
// where GDI would leave 0; a copy or an opaque picture carries its source's four bytes as they
// are; a picture with alpha goes over the pixels, source over destination, alpha included.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Graphics.h"

#include "platform/win32/Win32Api.h"

// The pixels of a 32-bit bottom-up DIB section selected into a memory device context: B, G, R, A,
// Width * 4 bytes a row, the bottom row first.
struct TWin32Surface {
  uint8_t* Bits = nullptr;
  int Width = 0, Height = 0;
  uint32_t* Row(int y) const {
    return reinterpret_cast<uint32_t*>(Bits + static_cast<size_t>(Height - 1 - y) * static_cast<size_t>(Width) * 4);
  }
};

// The header of a 32-bit picture without colour table: bottom-up, or top-down for a negative height.
BITMAPINFO BitmapInfo32(int width, int height);
// A new 32-bit DIB section (its pages start zeroed; bottom-up, or top-down for a negative height)
// and its pixels; nullptr when the system refuses, with its reason as the thread's last error.
HBITMAP CreateDIBSection32(int width, int height, void** bits);

class TWin32DeviceContext : public TDeviceContext {
public:
  // Draws on dc, which it does not own. With a surface, dc is a memory device context with that
  // section selected, and the section's pixels are written directly.
  explicit TWin32DeviceContext(HDC dc, const TWin32Surface* surface = nullptr);

  int SaveDC() override;
  bool RestoreDC(int level) override;
  TPoint ViewportOrg() const override;
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

  TPaletteHandle* SelectPalette(TPaletteHandle* palette, bool forceBackground) override;
  int RealizePalette() override;
  void SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                          const uint32_t* colorTable, int colorCount) override;

  HDC Handle() const { return FDC; }
  bool HasSurface() const { return FSurface.Bits != nullptr; }

private:
  // A text in a font, measured once, and for a section the pixels its glyphs set as GDI draws
  // them (white on black, as a coverage per channel), so that a repaint neither measures nor
  // rasterises it again: glyphs at whole-pixel positions come out the same wherever they land.
  struct TTextEntry {
    TFontData Font;
    std::string Text;
    TSize Extent;
    bool MaskMade = false;
    RECT MaskBounds{};             // the set pixels' box, relative to the text's top-left
    std::vector<uint32_t> Cover;  // 0x00RRGGBB per pixel of MaskBounds, 0 where nothing is set
  };
  TTextEntry* FindText(const std::string& text);
  TTextEntry& AddText(const std::string& text);
  void MakeMask(TTextEntry& entry);
  // The UTF-16 of a text in a buffer that keeps its room between calls.
  const wchar_t* WideOf(const std::string& text, UINT& count);
  // The clip as rectangles of device coordinates within the surface.
  void SurfaceClip(std::vector<RECT>& rects);
  RECT DeviceRect(const TRect& r) const;
  // Draws white on black through GDI into a scratch picture covering `bounds` (device
  // coordinates), then sets the surface's pixels the drawing touched, within the clip, to the
  // colour: what GDI would draw, with the alpha byte a 32-bit picture of the toolkit holds.
  template <typename Draw> void DrawThroughMask(const RECT& bounds, TColor color, Draw&& draw);
  bool PaletteDevice() const;
  int ClipKind() const;

  HDC FDC;
  TWin32Surface FSurface;
  HFONT FFont = nullptr;
  TFontData FFontData;
  // Reused between calls, so that a repaint allocates nothing once it has run.
  std::vector<RECT> FClipRects;        // the clip, for the operations that write the section
  std::vector<uint8_t> FRegionData;    // a complex clip as GDI hands it out
  std::vector<uint32_t> FCopy;         // a picture copied onto itself
  std::u16string FWide;
  std::vector<TTextEntry> FTexts;
  size_t FNextText = 0;  // the entry a full cache replaces next
};

// The GDI font for a description, made once and kept for the life of the process (the program
// uses a handful, and a font may stay selected into a device context after any one use).
HFONT Win32Font(const TFontData& font);
