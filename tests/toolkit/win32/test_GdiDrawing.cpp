// Drawing onto a picture in memory through its device context comes out as plain GDI draws the
// same onto a DIB section of its own: the same colours in every pixel, clip and origin included.
// Alpha is the composition's: GDI leaves 0 in the alpha byte of what it fills or draws, our
// device gives it 255, and a copy carries the source's byte as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "toolkit/Backend.h"
#include "toolkit/Graphics.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace {

constexpr int kW = 150, kH = 60;

// A bottom-up 32-bit DIB section in a memory device context, drawn on with GDI alone.
struct TGdiPicture {
  HDC DC = ::CreateCompatibleDC(nullptr);
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  uint32_t* Bits = nullptr;
  TGdiPicture() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    Bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Old = ::SelectObject(DC, Bitmap);
    Bits = static_cast<uint32_t*>(bits);
  }
  ~TGdiPicture() {
    ::SelectObject(DC, Old);
    ::DeleteDC(DC);
    ::DeleteObject(Bitmap);
  }
  void Fill(const RECT& r, COLORREF colour) {
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(DC, &r, brush);
    ::DeleteObject(brush);
  }
  void Text(HFONT font, int x, int y, const std::string& text, COLORREF colour) {
    const std::wstring wide = win32::Wide(text);
    HGDIOBJ old = ::SelectObject(DC, font);
    ::SetTextColor(DC, colour);
    ::SetBkMode(DC, TRANSPARENT);
    ::ExtTextOutW(DC, x, y, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), nullptr);
    ::SelectObject(DC, old);
    ::GdiFlush();
  }
};

// The font as a plain program asks GDI for it: the toolkit's pixel height, whole-pixel glyphs.
struct TGdiFont {
  HFONT Handle;
  explicit TGdiFont(const TFontData& font) {
    LOGFONTW logical{};
    logical.lfHeight = font.Height;
    logical.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    logical.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
    logical.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
    logical.lfCharSet = DEFAULT_CHARSET;
    logical.lfQuality = NONANTIALIASED_QUALITY;
    const std::wstring face = win32::Wide(font.Name);
    face.copy(logical.lfFaceName, LF_FACESIZE - 1);
    Handle = ::CreateFontIndirectW(&logical);
  }
  ~TGdiFont() { ::DeleteObject(Handle); }
};

// Every stored pixel of ours against GDI's after the alpha rule: where GDI left 0 (it filled or
// drew there) ours holds 255, elsewhere the very byte GDI holds. Answers the first difference.
std::string Difference(IDIBSection& ours, const TGdiPicture& gdi) {
  ::GdiFlush();
  for (int i = 0; i < kW * kH; ++i) {
    uint32_t got;
    std::memcpy(&got, ours.Bits() + i * 4, 4);
    const uint32_t reference = gdi.Bits[i];
    const uint32_t want = (reference >> 24) == 0 ? reference | 0xFF000000u : reference;
    if (got != want) {
      char text[80];
      std::snprintf(text, sizeof text, "at %d,%d: ours %08X, want %08X", i % kW, kH - 1 - i / kW,
                    static_cast<unsigned>(got), static_cast<unsigned>(want));
      return text;
    }
  }
  return {};
}

TFontData Font(const char* face, int height, TFontStyles style = 0) {
  TFontData font;
  font.Name = face;
  font.Height = height;
  font.Style = style;
  return font;
}

}  // namespace

TEST(GdiDrawing, TextIsWhatGdiDrawsUnderEveryClip) {
  const std::string caption = "Feature number 4 (Wg)";
  // One picture for all: the same text in another font is another drawing.
  auto section = Backend().CreateDIBSection(kW, kH);
  TDeviceContext& dc = section->DC();
  TGdiPicture gdi;
  // A TrueType face at two sizes with synthesised styles, and the system's bitmap face.
  for (const TFontData& font : {Font("Tahoma", -24), Font("Tahoma", -13, fsBold | fsItalic),
                                Font("MS Sans Serif", -11, fsUnderline)}) {
    SCOPED_TRACE(font.Name + " " + std::to_string(font.Height));
    TGdiFont gdiFont(font);
    dc.FillRect({0, 0, kW, kH}, 0x102030);
    gdi.Fill({0, 0, kW, kH}, 0x102030);
    dc.SetFont(font);
    // Whole, then again in another colour from what the first drawing learnt, then under a clip
    // with a hole in it, then with the origin moved and a clip cutting through the glyphs.
    dc.TextOut(3, 5, caption, 0xFFFFFF);
    gdi.Text(gdiFont.Handle, 3, 5, caption, 0xFFFFFF);
    ASSERT_GT(std::count(gdi.Bits, gdi.Bits + kW * kH, 0x00FFFFFFu), 50) << "GDI drew no text to compare with";
    ASSERT_EQ(Difference(*section, gdi), "");
    dc.TextOut(3, 5, caption, 0x80C0FF);
    gdi.Text(gdiFont.Handle, 3, 5, caption, 0x80C0FF);
    ASSERT_EQ(Difference(*section, gdi), "");
    {
      TDCStateScope scope(dc);
      const int saved = ::SaveDC(gdi.DC);
      dc.IntersectClipRect({10, 0, 120, kH});
      EXPECT_EQ(dc.ExcludeClipRect({40, 10, 60, 20}), COMPLEXREGION);
      ::IntersectClipRect(gdi.DC, 10, 0, 120, kH);
      ::ExcludeClipRect(gdi.DC, 40, 10, 60, 20);
      dc.TextOut(3, 5, caption, 0x00FF00);
      gdi.Text(gdiFont.Handle, 3, 5, caption, 0x00FF00);
      ::RestoreDC(gdi.DC, saved);
    }
    ASSERT_EQ(Difference(*section, gdi), "");
    {
      TDCStateScope scope(dc);
      const int saved = ::SaveDC(gdi.DC);
      dc.MoveOrigin(7, 20);
      dc.IntersectClipRect({0, 0, 90, 12});
      ::SetViewportOrgEx(gdi.DC, 7, 20, nullptr);
      ::IntersectClipRect(gdi.DC, 0, 0, 90, 12);
      dc.TextOut(0, 0, caption, 0x0000FF);
      gdi.Text(gdiFont.Handle, 0, 0, caption, 0x0000FF);
      ::RestoreDC(gdi.DC, saved);
    }
    ASSERT_EQ(Difference(*section, gdi), "");
    // Measured by the system itself, here and in the font the text was drawn in.
    HGDIOBJ old = ::SelectObject(gdi.DC, gdiFont.Handle);
    for (const std::string& text : {caption, std::string("i"), std::string("\xC3\x84pfel")}) {
      const std::wstring wide = win32::Wide(text);
      SIZE size{};
      ::GetTextExtentPoint32W(gdi.DC, wide.data(), static_cast<int>(wide.size()), &size);
      EXPECT_EQ(dc.TextExtent(text), (TSize{size.cx, size.cy})) << text;
    }
    ::SelectObject(gdi.DC, old);
  }
}

TEST(GdiDrawing, TextStaysRightOnceManyOthersWereDrawn) {
  // More texts than the device keeps at hand: the first comes back measured and drawn afresh.
  const TFontData font = Font("Tahoma", -13);
  auto section = Backend().CreateDIBSection(kW, kH);
  TDeviceContext& dc = section->DC();
  TGdiPicture gdi;
  TGdiFont gdiFont(font);
  dc.SetFont(font);
  for (int i = 0; i < 200; ++i) dc.TextOut(0, 0, "Line " + std::to_string(i), 0xFFFFFF);
  dc.FillRect({0, 0, kW, kH}, 0x000000);
  gdi.Fill({0, 0, kW, kH}, 0x000000);
  dc.TextOut(4, 4, "Line 0", 0xFFFFFF);
  dc.TextOut(4, 30, "Line 199", 0xFFFFFF);
  gdi.Text(gdiFont.Handle, 4, 4, "Line 0", 0xFFFFFF);
  gdi.Text(gdiFont.Handle, 4, 30, "Line 199", 0xFFFFFF);
  EXPECT_EQ(Difference(*section, gdi), "");
}

TEST(GdiDrawing, FillsOutlinesAndCopiesKeepToAClipWithAHole) {
  // Every stored pixel different, its alpha byte never 0: a copy must carry them as they are.
  auto source = Backend().CreateDIBSection(kW, kH);
  TGdiPicture gdiSource;
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t v =
        0x01000000u * static_cast<uint32_t>(1 + i % 7) + static_cast<uint32_t>(i) * 2654435761u % 0xFFFFFFu;
    std::memcpy(source->Bits() + i * 4, &v, 4);
    gdiSource.Bits[i] = v;
  }
  auto target = Backend().CreateDIBSection(kW, kH);
  TDeviceContext& dc = target->DC();
  TGdiPicture gdi;
  dc.FillRect({0, 0, kW, kH}, 0x000000);
  gdi.Fill({0, 0, kW, kH}, 0x000000);
  TDCStateScope scope(dc);
  dc.MoveOrigin(5, 3);
  dc.IntersectClipRect({0, 0, 100, 40});
  dc.ExcludeClipRect({20, 10, 30, 20});
  ::SetViewportOrgEx(gdi.DC, 5, 3, nullptr);
  ::IntersectClipRect(gdi.DC, 0, 0, 100, 40);
  ::ExcludeClipRect(gdi.DC, 20, 10, 30, 20);
  dc.BitBlt(-5, -3, kW - 10, kH - 2, source->DC(), 10, 2);
  ::BitBlt(gdi.DC, -5, -3, kW - 10, kH - 2, gdiSource.DC, 10, 2, SRCCOPY);
  dc.FillRect({60, 0, 70, 50}, 0x0000FF);
  gdi.Fill({60, 0, 70, 50}, 0x0000FF);
  // Dotted and dashed outlines are drawn by GDI's pens, through the hole's edge.
  dc.Rectangle({12, 5, 50, 30}, 0x00FF00, TPenStyle::psDot, 0, TBrushStyle::bsClear);
  dc.Rectangle({15, 8, 95, 37}, 0xFFFF00, TPenStyle::psDash, 0, TBrushStyle::bsClear);
  for (const auto& [r, style, colour] : {std::tuple{RECT{12, 5, 50, 30}, PS_DOT, COLORREF{0x00FF00}},
                                         std::tuple{RECT{15, 8, 95, 37}, PS_DASH, COLORREF{0xFFFF00}}}) {
    HPEN pen = ::CreatePen(style, 1, colour);
    HGDIOBJ oldPen = ::SelectObject(gdi.DC, pen);
    HGDIOBJ oldBrush = ::SelectObject(gdi.DC, ::GetStockObject(NULL_BRUSH));
    ::SetBkMode(gdi.DC, TRANSPARENT);
    ::Rectangle(gdi.DC, r.left, r.top, r.right, r.bottom);
    ::SelectObject(gdi.DC, oldBrush);
    ::SelectObject(gdi.DC, oldPen);
    ::DeleteObject(pen);
  }
  EXPECT_EQ(Difference(*target, gdi), "");
}
