// The Win32 device context over a DIB section: every drawing operation must leave the bytes the
// toolkit's pictures hold (colours where GDI would put them, an alpha byte of 255 where drawn,
// nothing touched outside the clip), checked against GDI drawing on a picture of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Backend.h"
#include "toolkit/Graphics.h"
#include "toolkit/win32/Win32DeviceContext.h"

#include "platform/win32/WideText.h"

namespace {

constexpr int kW = 150, kH = 60;

uint32_t Stored(IDIBSection& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.Bits() + ((kH - 1 - y) * kW + x) * 4, 4);
  return v;
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

// A picture GDI draws on by itself: the reference.
class TReference {
public:
  TReference() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    FBitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0);
    FDC = ::CreateCompatibleDC(nullptr);
    FOld = ::SelectObject(FDC, FBitmap);
  }
  ~TReference() {
    ::SelectObject(FDC, FOld);
    ::DeleteDC(FDC);
    ::DeleteObject(FBitmap);
  }
  HDC DC() const { return FDC; }
  void Fill(COLORREF colour) {
    const RECT all{0, 0, kW, kH};
    ::SetDCBrushColor(FDC, colour);
    ::FillRect(FDC, &all, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::GdiFlush();
  }
  uint32_t At(int x, int y) const { return FBits[(kH - 1 - y) * kW + x]; }

private:
  HBITMAP FBitmap = nullptr;
  HDC FDC = nullptr;
  HGDIOBJ FOld = nullptr;
  uint32_t* FBits = nullptr;
};

// Every pixel of ours has the reference's colour and an alpha byte of 255.
void ExpectSameOpaque(IDIBSection& ours, const TReference& reference, const char* what) {
  ours.Flush();
  ::GdiFlush();
  int failures = 0;
  for (int y = 0; y < kH && failures < 5; ++y)
    for (int x = 0; x < kW && failures < 5; ++x) {
      const uint32_t got = Stored(ours, x, y), want = 0xFF000000u | (reference.At(x, y) & 0xFFFFFFu);
      if (got != want) {
        ++failures;
        ADD_FAILURE() << what << " at " << x << "," << y << ": OUT[" << Hex(got) << "] != EXP[" << Hex(want) << "]";
      }
    }
}

TFontData Font(const char* name, int height, TFontStyles style = 0) {
  TFontData font;
  font.Name = name;
  font.Height = height;
  font.Style = style;
  return font;
}

TEST(Win32DeviceContext, FillsAndCopiesKeepToAClipWithAHoleAndAreOpaque) {
  auto source = Backend().CreateDIBSection(kW, kH);
  // Every stored pixel different, alpha byte included: a copy must carry them as they are.
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t v = 0x01000000u * static_cast<uint32_t>(i % 7) + static_cast<uint32_t>(i) * 2654435761u % 0xFFFFFFu;
    std::memcpy(source->Bits() + i * 4, &v, 4);
  }
  auto target = Backend().CreateDIBSection(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(Stored(*target, x, y), 0u) << "a new section is cleared";
  TDeviceContext& dc = target->DC();
  dc.FillRect({0, 0, kW, kH}, 0x000000);
  {
    TDCStateScope scope(dc);
    dc.MoveOrigin(5, 3);
    dc.IntersectClipRect({0, 0, 100, 40});
    EXPECT_EQ(dc.ExcludeClipRect({20, 10, 30, 20}), COMPLEXREGION);
    dc.BitBlt(-5, -3, kW - 10, kH - 2, source->DC(), 10, 2);
    dc.FillRect({60, 0, 70, 50}, 0x0000FF);
  }
  dc.FillRect({140, 50, 200, 100}, 0x00FF00);  // past the corner: only what lies in the picture
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = x >= 5 && x < 105 && y >= 3 && y < 43 && !(x >= 25 && x < 35 && y >= 13 && y < 23);
      uint32_t want = 0xFF000000u;
      if (x >= 140 && y >= 50) want = 0xFF00FF00u;
      else if (inside && x >= 65 && x < 75) want = 0xFFFF0000u;
      else if (inside && x + 10 < kW && y + 2 < kH) want = Stored(*source, x + 10, y + 2);
      ASSERT_EQ(Hex(Stored(*target, x, y)), Hex(want)) << x << "," << y;
    }
}

TEST(Win32DeviceContext, TextIsWhatGdiDrawsUnderEveryClip) {
  const std::string caption = "Feature number 4 (Wg) \xC3\xA9t\xC3\xA9";
  for (const TFontData& font : {Font("Tahoma", -24), Font("Tahoma", -13, fsBold | fsItalic),
                                Font("MS Sans Serif", -11, fsUnderline), Font("Tahoma", 16)}) {
    SCOPED_TRACE(font.Name + " " + std::to_string(font.Height));
    auto section = Backend().CreateDIBSection(kW, kH);
    TDeviceContext& dc = section->DC();
    TReference reference;
    const std::wstring wide = win32::Wide(caption);
    HDC ref = reference.DC();
    ::SelectObject(ref, Win32Font(font));
    ::SetBkMode(ref, TRANSPARENT);
    auto drawReference = [&](int x, int y, COLORREF colour) {
      ::SetTextColor(ref, colour);
      ::ExtTextOutW(ref, x, y, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), nullptr);
    };
    dc.FillRect({0, 0, kW, kH}, 0x302010);
    reference.Fill(0x302010);
    dc.SetFont(font);
    // Whole, then again in another colour, then under a clip with a hole in it, then with the
    // origin moved and a clip cutting through the glyphs.
    dc.TextOut(3, 5, caption, 0xFFFFFF);
    drawReference(3, 5, 0xFFFFFF);
    ExpectSameOpaque(*section, reference, "whole");
    dc.TextOut(3, 5, caption, 0x80C0FF);
    drawReference(3, 5, 0x80C0FF);
    ExpectSameOpaque(*section, reference, "again");
    {
      TDCStateScope scope(dc);
      dc.IntersectClipRect({10, 0, 120, kH});
      dc.ExcludeClipRect({40, 10, 60, 20});
      dc.TextOut(3, 5, caption, 0x00FF00);
      const int level = ::SaveDC(ref);
      ::IntersectClipRect(ref, 10, 0, 120, kH);
      ::ExcludeClipRect(ref, 40, 10, 60, 20);
      drawReference(3, 5, 0x00FF00);
      ::RestoreDC(ref, level);
    }
    ExpectSameOpaque(*section, reference, "clip with a hole");
    {
      TDCStateScope scope(dc);
      dc.MoveOrigin(7, 20);
      dc.IntersectClipRect({0, 0, 90, 12});
      dc.TextOut(0, 0, caption, 0x0000FF);
      const int level = ::SaveDC(ref);
      ::IntersectClipRect(ref, 7, 20, 97, 32);
      drawReference(7, 20, 0x0000FF);
      ::RestoreDC(ref, level);
    }
    ExpectSameOpaque(*section, reference, "moved origin");
    SIZE extent{};
    ::GetTextExtentPoint32W(ref, wide.data(), static_cast<int>(wide.size()), &extent);
    EXPECT_EQ(dc.TextExtent(caption), (TSize{extent.cx, extent.cy}));
  }
}

TEST(Win32DeviceContext, PatternedAndSolidOutlinesAreGdisPixelsMadeOpaque) {
  for (TPenStyle style : {TPenStyle::psDash, TPenStyle::psDot, TPenStyle::psSolid}) {
    SCOPED_TRACE(static_cast<int>(style));
    auto section = Backend().CreateDIBSection(kW, kH);
    TDeviceContext& dc = section->DC();
    TReference reference;
    dc.FillRect({0, 0, kW, kH}, 0xFFFFFF);
    reference.Fill(0xFFFFFF);
    {
      TDCStateScope scope(dc);
      dc.MoveOrigin(4, 2);
      dc.ExcludeClipRect({50, 0, 60, kH});
      dc.Rectangle({10, 5, 120, 50}, 0x0000FF, style, 0x00FF00, TBrushStyle::bsSolid);
      dc.Rectangle({20, 15, 90, 40}, 0xFF0000, style, 0, TBrushStyle::bsClear);
    }
    HDC ref = reference.DC();
    ::ExcludeClipRect(ref, 54, 0, 64, kH);
    auto outline = [&](int l, int t, int r, int b, COLORREF pen, bool fill, COLORREF brush) {
      if (fill) {
        const RECT rc{l, t, r, b};
        ::SetDCBrushColor(ref, brush);
        ::FillRect(ref, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
      }
      HPEN p = ::CreatePen(style == TPenStyle::psDash ? PS_DASH : style == TPenStyle::psDot ? PS_DOT : PS_SOLID, 1, pen);
      HGDIOBJ oldPen = ::SelectObject(ref, p);
      HGDIOBJ oldBrush = ::SelectObject(ref, ::GetStockObject(NULL_BRUSH));
      ::SetBkMode(ref, TRANSPARENT);
      ::Rectangle(ref, l, t, r, b);
      ::SelectObject(ref, oldBrush);
      ::SelectObject(ref, oldPen);
      ::DeleteObject(p);
    };
    outline(14, 7, 124, 52, 0x0000FF, true, 0x00FF00);
    outline(24, 17, 94, 42, 0xFF0000, false, 0);
    ExpectSameOpaque(*section, reference, "outlines");
  }
}

// The blend of a picture with alpha over what is there, written out channel by channel:
// colour * a / 255 + destination * (255 - a) / 255, each rounded to the nearest.
uint32_t RefOver(uint32_t s, uint32_t d) {
  auto mul = [](uint32_t x, uint32_t a) { return (x * a * 2 + 255) / 510; };
  const uint32_t a = s >> 24;
  uint32_t out = (a + mul(d >> 24, 255 - a)) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    out |= (mul((s >> shift) & 0xFF, a) + mul((d >> shift) & 0xFF, 255 - a)) << shift;
  return out;
}

TEST(Win32DeviceContext, PicturesLandUprightInEitherRowOrderOpaqueOrBlended) {
  constexpr int pw = 9, ph = 7;
  uint32_t rows[ph][pw];
  for (int y = 0; y < ph; ++y)
    for (int x = 0; x < pw; ++x) rows[y][x] = static_cast<uint32_t>((y * 37 + x * 11) % 256) << 24 | (0x0010203u * (y + 1) + x);
  struct TCase {
    const char* Name;
    bool BottomUp, Alpha;
  } cases[] = {{"top-down, opaque", false, false}, {"bottom-up, opaque", true, false},
               {"top-down, blended", false, true}, {"bottom-up, blended", true, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // The same rows, stored in the order the case names.
    uint32_t stored[ph][pw];
    for (int y = 0; y < ph; ++y) std::memcpy(stored[c.BottomUp ? ph - 1 - y : y], rows[y], sizeof rows[y]);
    const auto* top = reinterpret_cast<const uint8_t*>(stored[c.BottomUp ? ph - 1 : 0]);
    const TPixelView view{top, pw, ph, c.BottomUp ? -pw * 4 : pw * 4, c.Alpha};
    auto section = Backend().CreateDIBSection(kW, kH);
    TDeviceContext& dc = section->DC();
    dc.FillRect({0, 0, kW, kH}, 0x336699);
    {
      TDCStateScope scope(dc);
      dc.MoveOrigin(2, 1);
      dc.ExcludeClipRect({13, 4, 15, 6});
      dc.DrawPixels(10, 2, view);
    }
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint32_t background = 0xFF996633u;  // the colour $00336699: red 99, green 66, blue 33
        const bool picture = x >= 12 && x < 12 + pw && y >= 3 && y < 3 + ph && !(x >= 15 && x < 17 && y >= 5 && y < 7);
        uint32_t want = background;
        if (picture) want = c.Alpha ? RefOver(rows[y - 3][x - 12], background) : rows[y - 3][x - 12];
        ASSERT_EQ(Hex(Stored(*section, x, y)), Hex(want)) << x << "," << y;
      }
  }
}

// A device context that draws through GDI as on a window, over a picture the test can read.
class TGdiTarget {
public:
  TGdiTarget() : Context(Reference.DC()) {}
  TReference Reference;
  TWin32DeviceContext Context;
};

// One drawing of every kind, through any device context.
void DrawEverything(TDeviceContext& dc, IDIBSection& source, const TPixelView& opaque, const TPixelView& blended) {
  dc.FillRect({0, 0, kW, kH}, 0x204080);
  TDCStateScope scope(dc);
  dc.MoveOrigin(3, 2);
  dc.IntersectClipRect({0, 0, 140, 55});
  dc.ExcludeClipRect({70, 20, 80, 30});
  dc.FillRect({5, 5, 40, 20}, 0x00C0FF);
  dc.Rectangle({45, 3, 100, 25}, 0x0000FF, TPenStyle::psDash, 0xFFFFFF, TBrushStyle::bsSolid);
  dc.Rectangle({50, 8, 95, 20}, 0x00FF00, TPenStyle::psSolid, 0, TBrushStyle::bsClear);
  dc.SetFont(Font("Tahoma", -12, fsBold));
  dc.TextOut(8, 28, "Install â Play", 0xFFFFFF);
  dc.DrawPixels(100, 28, opaque);
  dc.DrawPixels(112, 28, blended);
  dc.BitBlt(60, 35, 30, 15, source.DC(), 4, 4);
}

TEST(Win32DeviceContext, AWindowsDeviceContextDrawsTheColoursOfAPicturesOne) {
  constexpr int pw = 10, ph = 12;
  std::vector<uint32_t> opaque(pw * ph), blended(pw * ph);
  for (int i = 0; i < pw * ph; ++i) {
    opaque[i] = 0xFF000000u | static_cast<uint32_t>(i) * 0x020304u;
    blended[i] = static_cast<uint32_t>(i * 2) << 24 | 0xC08040u;
  }
  // Opaque rows stored bottom-up, blended ones top-down: both row orders reach the window.
  const TPixelView opaqueView{reinterpret_cast<const uint8_t*>(&opaque[(ph - 1) * pw]), pw, ph, -pw * 4, false};
  const TPixelView blendedView{reinterpret_cast<const uint8_t*>(blended.data()), pw, ph, pw * 4, true};
  auto source = Backend().CreateDIBSection(kW, kH);
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t v = 0xFF000000u | static_cast<uint32_t>(i) * 40503u;
    std::memcpy(source->Bits() + i * 4, &v, 4);
  }
  auto picture = Backend().CreateDIBSection(kW, kH);
  DrawEverything(picture->DC(), *source, opaqueView, blendedView);
  TGdiTarget window;
  DrawEverything(window.Context, *source, opaqueView, blendedView);
  ::GdiFlush();
  int failures = 0;
  for (int y = 0; y < kH && failures < 5; ++y)
    for (int x = 0; x < kW && failures < 5; ++x) {
      const uint32_t ours = Stored(*picture, x, y) & 0xFFFFFFu, gdi = window.Reference.At(x, y) & 0xFFFFFFu;
      // The system's own blending may round a step differently.
      int worst = 0;
      for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((ours >> shift) & 0xFF) - static_cast<int>((gdi >> shift) & 0xFF)));
      const bool blendArea = x >= 115 && x < 115 + pw && y >= 30 && y < 30 + ph;
      if (worst > (blendArea ? 1 : 0)) {
        ++failures;
        ADD_FAILURE() << x << "," << y << ": picture[" << Hex(ours) << "] != window[" << Hex(gdi) << "]";
      }
    }
}

TEST(Win32DeviceContext, SavedStatesRestoreOriginAndClipButNotTheFont) {
  auto section = Backend().CreateDIBSection(kW, kH);
  TDeviceContext& dc = section->DC();
  TRect box;
  EXPECT_EQ(dc.GetClipBox(box), SIMPLEREGION);
  EXPECT_EQ(box, (TRect{0, 0, kW, kH})) << "a picture's clip is the picture";
  const TFontData big = Font("Tahoma", -30), small = Font("Tahoma", -9);
  dc.SetFont(small);
  const TSize smallExtent = dc.TextExtent("Wg");
  const int first = dc.SaveDC();
  dc.SetViewportOrg({10, 20});
  EXPECT_EQ(dc.IntersectClipRect({0, 0, 30, 30}), SIMPLEREGION);
  const int second = dc.SaveDC();
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(dc.IntersectClipRect({40, 0, 50, 10}), NULLREGION);
  EXPECT_EQ(dc.GetClipBox(box), NULLREGION);
  EXPECT_EQ(box, TRect{});
  EXPECT_FALSE(dc.RectVisible({0, 0, 30, 30}));
  dc.SetFont(big);
  EXPECT_TRUE(dc.RestoreDC(-1)) << "one back from the newest";
  EXPECT_EQ(dc.ViewportOrg(), (TPoint{10, 20}));
  EXPECT_EQ(dc.GetClipBox(box), SIMPLEREGION);
  EXPECT_EQ(box, (TRect{0, 0, 30, 30})) << "in logical coordinates";
  EXPECT_TRUE(dc.RectVisible({29, 29, 40, 40}));
  EXPECT_FALSE(dc.RectVisible({30, 0, 40, 40}));
  EXPECT_FALSE(dc.RectVisible({5, 5, 5, 9})) << "an empty rectangle shows nowhere";
  EXPECT_NE(dc.TextExtent("Wg"), smallExtent) << "the font is not part of the saved state";
  EXPECT_EQ(dc.IntersectClipRect({5, 5, 3, 9}), NULLREGION) << "a rectangle given backwards is empty";
  EXPECT_TRUE(dc.RestoreDC(first));
  EXPECT_EQ(dc.ViewportOrg(), (TPoint{0, 0}));
  EXPECT_EQ(dc.GetClipBox(box), SIMPLEREGION);
  EXPECT_EQ(box, (TRect{0, 0, kW, kH}));
  EXPECT_FALSE(dc.RestoreDC(first)) << "that level is gone";
  EXPECT_EQ(dc.ExcludeClipRect({0, 0, kW, 10}), SIMPLEREGION);
  EXPECT_EQ(dc.ExcludeClipRect({10, 20, 20, 30}), COMPLEXREGION);
  EXPECT_EQ(dc.ExcludeClipRect({-5, -5, kW + 5, kH + 5}), NULLREGION);
  EXPECT_EQ(dc.GetDeviceCaps(BITSPIXEL), 32);
  EXPECT_EQ(dc.GetDeviceCaps(PLANES), 1);
}

}  // namespace
