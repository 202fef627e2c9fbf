#include "toolkit/win32/Win32DeviceContext.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/Utf.h"
#include "platform/win32/WideText.h"

// The toolkit's 32-bit pictures hold an alpha byte of 255 wherever the canvas drew, and the
// pictures' own operations read it. GDI writes 0 there when it draws into a 32-bit DIB section,
// so on a section every drawing operation sets the pixels itself: fills and copies directly, text
// and patterned pens through a mask that GDI draws (for a text, once per text and font, then
// replayed on every repaint). On a window the alpha byte means nothing and GDI draws as usual.

namespace {

// As many texts as a window shows at once, several times over.
constexpr size_t kTextCacheSize = 64;

uint32_t PixelOf(TColor rgb) {
  return 0xFF000000u | static_cast<uint32_t>(GetRValue(rgb)) << 16 | static_cast<uint32_t>(GetGValue(rgb)) << 8 |
         static_cast<uint32_t>(GetBValue(rgb));
}

// A TColor and a COLORREF share their layout: $00BBGGRR.
COLORREF ColorRefOf(TColor rgb) { return static_cast<COLORREF>(rgb) & 0xFFFFFFu; }

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (Empty(r)) return RECT{0, 0, 0, 0};
  return r;
}

// x * a / 255, rounded: the compositing arithmetic of the toolkit's 32-bit pictures.
uint32_t Mul255(uint32_t x, uint32_t a) {
  const uint32_t t = x * a + 0x80;
  return (t + (t >> 8)) >> 8;
}

// Source over destination, with the source's alpha not premultiplied.
uint32_t BlendOver(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24, ia = 255 - a;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= (Mul255((s >> shift) & 0xFF, a) + Mul255((d >> shift) & 0xFF, ia)) << shift;
  return out | (a + Mul255(d >> 24, ia)) << 24;
}

// A colour over a pixel with a coverage per channel (what a mask holds where GDI blended edges).
uint32_t Cover(uint32_t colour, uint32_t cover, uint32_t d) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (cover >> shift) & 0xFF;
    out |= (Mul255((colour >> shift) & 0xFF, c) + Mul255((d >> shift) & 0xFF, 255 - c)) << shift;
  }
  return out;
}


// The picture a mask is drawn in: top-down, grown as needed, one per thread.
class TScratch {
public:
  ~TScratch() { Release(); }
  bool Ensure(int width, int height) {
    if (FDC && width <= FWidth && height <= FHeight) return true;
    Release();
    width = std::max(width, FWidth);
    height = std::max(height, FHeight);
    void* bits = nullptr;
    FBitmap = CreateDIBSection32(width, -height, &bits);
    if (!FBitmap) return false;
    FDC = ::CreateCompatibleDC(nullptr);
    if (!FDC) {
      ::DeleteObject(FBitmap);
      FBitmap = nullptr;
      return false;
    }
    FOld = ::SelectObject(FDC, FBitmap);
    FBits = static_cast<uint32_t*>(bits);
    FWidth = width;
    FHeight = height;
    return true;
  }
  void Clear(int width, int height) {
    for (int y = 0; y < height; ++y) std::fill_n(Row(y), width, 0u);
  }
  HDC DC() const { return FDC; }
  const uint32_t* Row(int y) const { return FBits + static_cast<size_t>(y) * static_cast<size_t>(FWidth); }
  uint32_t* Row(int y) { return FBits + static_cast<size_t>(y) * static_cast<size_t>(FWidth); }

private:
  void Release() {
    if (FDC) {
      ::SelectObject(FDC, FOld);
      ::DeleteDC(FDC);
    }
    if (FBitmap) ::DeleteObject(FBitmap);
    FDC = nullptr;
    FBitmap = nullptr;
    FBits = nullptr;
  }
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOld = nullptr;
  uint32_t* FBits = nullptr;
  int FWidth = 0, FHeight = 0;
};

thread_local TScratch gScratch;

struct TFontEntry {
  TFontData Data;
  HFONT Font;
};

struct TPaletteEntry {
  std::vector<TPaletteHandle::Entry> Entries;
  HPALETTE Palette;
};

bool SameEntries(const std::vector<TPaletteHandle::Entry>& a, const std::vector<TPaletteHandle::Entry>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
           return x.Red == y.Red && x.Green == y.Green && x.Blue == y.Blue && x.Flags == y.Flags;
         });
}

// The GDI palette of a logical palette, kept like the fonts: a device context may still hold it.
HPALETTE Win32Palette(const TPaletteHandle& palette) {
  static std::mutex lock;
  static auto* palettes = new std::vector<TPaletteEntry>;
  std::lock_guard guard(lock);
  for (const TPaletteEntry& e : *palettes)
    if (SameEntries(e.Entries, palette.Entries)) return e.Palette;
  const size_t count = std::min<size_t>(palette.Entries.size(), 256);
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256);
  auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = static_cast<WORD>(count);
  for (size_t i = 0; i < count; ++i) {
    const TPaletteHandle::Entry& e = palette.Entries[i];
    logical->palPalEntry[i] = PALETTEENTRY{e.Red, e.Green, e.Blue, e.Flags};
  }
  HPALETTE made = ::CreatePalette(logical);
  if (made) palettes->push_back({palette.Entries, made});
  return made;
}

}  // namespace

HFONT Win32Font(const TFontData& font) {
  static std::mutex lock;
  static auto* fonts = new std::vector<TFontEntry>;
  std::lock_guard guard(lock);
  for (const TFontEntry& e : *fonts)
    if (e.Data == font) return e.Font;
  LOGFONTW logical{};
  // GDI reads the height as the toolkit states it: negative for the character height, positive
  // for the cell height, in pixels.
  logical.lfHeight = font.Height;
  logical.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  logical.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
  logical.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
  logical.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
  logical.lfCharSet = static_cast<BYTE>(font.Charset);
  logical.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logical.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  // Whole pixels only, as the toolkit draws text everywhere: no smoothed edges to blend.
  logical.lfQuality = NONANTIALIASED_QUALITY;
  logical.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = win32::Wide(font.Name).substr(0, LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), logical.lfFaceName);
  HFONT made = ::CreateFontIndirectW(&logical);
  if (made) fonts->push_back({font, made});
  return made;
}

TWin32DeviceContext::TWin32DeviceContext(HDC dc, const TWin32Surface* surface) : FDC(dc) {
  if (surface) FSurface = *surface;
}

int TWin32DeviceContext::SaveDC() { return ::SaveDC(FDC); }

bool TWin32DeviceContext::RestoreDC(int level) {
  if (!::RestoreDC(FDC, level)) return false;
  // The font and the palette are not part of the toolkit's saved state, but GDI's: put back what
  // was selected last.
  if (FFont) ::SelectObject(FDC, FFont);
  if (FSelectedPalette && PaletteDevice())
    if (HPALETTE palette = Win32Palette(*FSelectedPalette)) ::SelectPalette(FDC, palette, TRUE);
  return true;
}

TPoint TWin32DeviceContext::ViewportOrg() const {
  POINT org{};
  ::GetViewportOrgEx(FDC, &org);
  return {org.x, org.y};
}

void TWin32DeviceContext::SetViewportOrg(TPoint org) { ::SetViewportOrgEx(FDC, org.X, org.Y, nullptr); }

int TWin32DeviceContext::ClipKind() const {
  RECT box;
  const int kind = ::GetClipBox(FDC, &box);
  return kind == RGN_ERROR ? NULLREGION : kind;
}

// The region kinds answered are those of the clip drawing goes through (what GetClipBox sees),
// not of the application's clip region alone.
int TWin32DeviceContext::IntersectClipRect(const TRect& r) {
  // GDI would turn a rectangle given backwards round; the toolkit's empty rectangle clips all.
  if (r.IsEmpty()) ::IntersectClipRect(FDC, 0, 0, 0, 0);
  else ::IntersectClipRect(FDC, r.Left, r.Top, r.Right, r.Bottom);
  return ClipKind();
}

int TWin32DeviceContext::ExcludeClipRect(const TRect& r) {
  if (!r.IsEmpty()) ::ExcludeClipRect(FDC, r.Left, r.Top, r.Right, r.Bottom);
  return ClipKind();
}

int TWin32DeviceContext::GetClipBox(TRect& box) const {
  RECT rc{};
  const int kind = ::GetClipBox(FDC, &rc);
  if (kind == RGN_ERROR || kind == NULLREGION) {
    box = {};
    return NULLREGION;
  }
  box = {rc.left, rc.top, rc.right, rc.bottom};
  return kind;
}

bool TWin32DeviceContext::RectVisible(const TRect& r) const {
  if (r.IsEmpty()) return false;
  const RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  return ::RectVisible(FDC, &rc) != FALSE;
}

RECT TWin32DeviceContext::DeviceRect(const TRect& r) const {
  // Only the viewport origin is ever moved: device coordinates are logical ones plus the origin.
  const TPoint org = ViewportOrg();
  return RECT{r.Left + org.X, r.Top + org.Y, r.Right + org.X, r.Bottom + org.Y};
}

void TWin32DeviceContext::SurfaceClip(std::vector<RECT>& rects) {
  rects.clear();
  const RECT whole{0, 0, FSurface.Width, FSurface.Height};
  RECT box{};
  const int kind = ::GetClipBox(FDC, &box);
  if (kind == SIMPLEREGION) {
    POINT org{};
    ::GetViewportOrgEx(FDC, &org);
    const RECT part = Intersect(RECT{box.left + org.x, box.top + org.y, box.right + org.x, box.bottom + org.y}, whole);
    if (!Empty(part)) rects.push_back(part);
    return;
  }
  if (kind != COMPLEXREGION) return;
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  if (!region) return;
  // A complex clip is always the application's own region, which GetClipRgn gives in device
  // coordinates.
  if (::GetClipRgn(FDC, region) == 1) {
    const DWORD size = ::GetRegionData(region, 0, nullptr);
    if (FRegionData.size() < size) FRegionData.resize(size);
    auto* data = reinterpret_cast<RGNDATA*>(FRegionData.data());
    if (size >= sizeof(RGNDATAHEADER) && ::GetRegionData(region, size, data) != 0) {
      const auto* parts = reinterpret_cast<const RECT*>(data->Buffer);
      for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        const RECT part = Intersect(parts[i], whole);
        if (!Empty(part)) rects.push_back(part);
      }
    }
  }
  ::DeleteObject(region);
}

void TWin32DeviceContext::FillRect(const TRect& r, TColor color) {
  if (r.IsEmpty()) return;
  if (!HasSurface()) {
    const RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    ::SetDCBrushColor(FDC, ColorRefOf(color));
    ::FillRect(FDC, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    return;
  }
  ::GdiFlush();
  const RECT target = DeviceRect(r);
  const uint32_t pixel = PixelOf(color);
  SurfaceClip(FClipRects);
  for (const RECT& clip : FClipRects) {
    const RECT part = Intersect(clip, target);
    for (int y = part.top; y < part.bottom; ++y) std::fill_n(FSurface.Row(y) + part.left, part.right - part.left, pixel);
  }
}

template <typename Draw>
void TWin32DeviceContext::DrawThroughMask(const RECT& bounds, TColor color, Draw&& draw) {
  SurfaceClip(FClipRects);
  if (std::none_of(FClipRects.begin(), FClipRects.end(), [&](const RECT& c) { return !Empty(Intersect(c, bounds)); }))
    return;
  const int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  TScratch& scratch = gScratch;
  if (w <= 0 || h <= 0 || !scratch.Ensure(w, h)) return;
  scratch.Clear(w, h);
  draw(scratch.DC());
  ::GdiFlush();
  const uint32_t pixel = PixelOf(color);
  for (const RECT& clip : FClipRects) {
    const RECT part = Intersect(clip, bounds);
    for (int y = part.top; y < part.bottom; ++y) {
      const uint32_t* mask = scratch.Row(y - bounds.top) + (part.left - bounds.left);
      uint32_t* row = FSurface.Row(y) + part.left;
      for (int i = 0; i < part.right - part.left; ++i) {
        const uint32_t cover = mask[i] & 0xFFFFFFu;
        if (cover == 0) continue;
        row[i] = cover == 0xFFFFFFu ? pixel : Cover(pixel, cover, row[i]);
      }
    }
  }
}

void TWin32DeviceContext::Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                                    TBrushStyle brushStyle) {
  if (brushStyle == TBrushStyle::bsSolid) FillRect(r, brushColor);
  if (penStyle == TPenStyle::psClear || r.IsEmpty()) return;
  // A solid one-pixel outline covers exactly the rectangle's edge pixels.
  if (penStyle == TPenStyle::psSolid) {
    FrameRect(r, penColor);
    return;
  }
  const int style = penStyle == TPenStyle::psDash ? PS_DASH : PS_DOT;
  auto outline = [&](HDC dc, int left, int top, COLORREF colour) {
    HPEN pen = ::CreatePen(style, 1, colour);
    if (!pen) return;
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    ::Rectangle(dc, left, top, left + r.Width(), top + r.Height());
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
  };
  if (!HasSurface()) {
    outline(FDC, r.Left, r.Top, ColorRefOf(penColor));
    return;
  }
  DrawThroughMask(DeviceRect(r), penColor, [&](HDC scratch) { outline(scratch, 0, 0, 0xFFFFFF); });
}

void TWin32DeviceContext::SetFont(const TFontData& font) {
  if (FFont && font == FFontData) return;
  HFONT made = Win32Font(font);
  if (!made) return;
  FFont = made;
  FFontData = font;
  ::SelectObject(FDC, FFont);
}

const wchar_t* TWin32DeviceContext::WideOf(const std::string& text, UINT& count) {
  FWide.clear();
  for (size_t pos = 0; pos < text.size();) platform::AppendUtf16(FWide, platform::DecodeUtf8(text, pos));
  count = static_cast<UINT>(FWide.size());
  // A wchar_t is a UTF-16 code unit on Windows.
  return reinterpret_cast<const wchar_t*>(FWide.c_str());
}

TWin32DeviceContext::TTextEntry* TWin32DeviceContext::FindText(const std::string& text) {
  if (!FFont) return nullptr;
  for (TTextEntry& e : FTexts)
    if (e.Text == text && e.Font == FFontData) return &e;
  return nullptr;
}

TWin32DeviceContext::TTextEntry& TWin32DeviceContext::AddText(const std::string& text) {
  TTextEntry* slot;
  if (FTexts.size() < kTextCacheSize) {
    slot = &FTexts.emplace_back();
  } else {
    // Full: the entries are replaced in turn.
    slot = &FTexts[FNextText];
    FNextText = (FNextText + 1) % kTextCacheSize;
  }
  TTextEntry& e = *slot;
  e.Font = FFontData;
  e.Text = text;
  e.MaskMade = false;
  e.MaskBounds = RECT{};
  e.Cover.clear();
  UINT count = 0;
  const wchar_t* wide = WideOf(text, count);
  SIZE size{};
  ::GetTextExtentPoint32W(FDC, wide, static_cast<int>(count), &size);
  e.Extent = {size.cx, size.cy};
  return e;
}

void TWin32DeviceContext::MakeMask(TTextEntry& e) {
  e.MaskMade = true;
  // Glyphs may reach beyond the text's cell (italics, accents): the mask has room round it.
  const int margin = std::max<int>(8, e.Extent.cy);
  const int w = std::max<int>(1, e.Extent.cx) + 2 * margin, h = std::max<int>(1, e.Extent.cy) + 2 * margin;
  TScratch& scratch = gScratch;
  if (!scratch.Ensure(w, h)) {
    e.MaskMade = false;
    return;
  }
  scratch.Clear(w, h);
  UINT count = 0;
  const wchar_t* wide = WideOf(e.Text, count);
  HGDIOBJ old = ::SelectObject(scratch.DC(), FFont);
  ::SetTextColor(scratch.DC(), 0xFFFFFF);
  ::SetBkMode(scratch.DC(), TRANSPARENT);
  ::ExtTextOutW(scratch.DC(), margin, margin, 0, nullptr, wide, count, nullptr);
  ::SelectObject(scratch.DC(), old);
  ::GdiFlush();
  int left = w, top = h, right = -1, bottom = -1;
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = scratch.Row(y);
    for (int x = 0; x < w; ++x) {
      if ((row[x] & 0xFFFFFFu) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return;  // nothing to set: blanks only
  e.MaskBounds = RECT{left - margin, top - margin, right + 1 - margin, bottom + 1 - margin};
  const int maskWidth = right + 1 - left;
  e.Cover.resize(static_cast<size_t>(maskWidth) * static_cast<size_t>(bottom + 1 - top));
  for (int y = top; y <= bottom; ++y) {
    const uint32_t* row = scratch.Row(y) + left;
    uint32_t* out = &e.Cover[static_cast<size_t>(y - top) * static_cast<size_t>(maskWidth)];
    for (int x = 0; x < maskWidth; ++x) out[x] = row[x] & 0xFFFFFFu;
  }
}

TSize TWin32DeviceContext::TextExtent(const std::string& text) {
  if (text.empty()) {
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(FDC, &metrics);
    return {0, metrics.tmHeight};
  }
  if (TTextEntry* e = FindText(text)) return e->Extent;
  if (FFont) return AddText(text).Extent;
  UINT count = 0;
  const wchar_t* wide = WideOf(text, count);
  SIZE size{};
  ::GetTextExtentPoint32W(FDC, wide, static_cast<int>(count), &size);
  return {size.cx, size.cy};
}

void TWin32DeviceContext::TextOut(int x, int y, const std::string& text, TColor color) {
  if (text.empty()) return;
  if (!HasSurface()) {
    UINT count = 0;
    const wchar_t* wide = WideOf(text, count);
    ::SetTextColor(FDC, ColorRefOf(color));
    const int oldMode = ::SetBkMode(FDC, TRANSPARENT);
    ::ExtTextOutW(FDC, x, y, 0, nullptr, wide, count, nullptr);
    ::SetBkMode(FDC, oldMode);
    return;
  }
  TTextEntry* e = FindText(text);
  if (!e && FFont) e = &AddText(text);
  if (e && !e->MaskMade) MakeMask(*e);
  if (e && e->MaskMade) {
    if (e->Cover.empty()) return;
    ::GdiFlush();
    const RECT target = DeviceRect(TRect{x + e->MaskBounds.left, y + e->MaskBounds.top, x + e->MaskBounds.right,
                                         y + e->MaskBounds.bottom});
    const int maskWidth = e->MaskBounds.right - e->MaskBounds.left;
    const uint32_t pixel = PixelOf(color);
    SurfaceClip(FClipRects);
    for (const RECT& clip : FClipRects) {
      const RECT part = Intersect(clip, target);
      for (int py = part.top; py < part.bottom; ++py) {
        const uint32_t* cover = &e->Cover[static_cast<size_t>(py - target.top) * static_cast<size_t>(maskWidth) +
                                          static_cast<size_t>(part.left - target.left)];
        uint32_t* row = FSurface.Row(py) + part.left;
        for (int i = 0; i < part.right - part.left; ++i) {
          if (cover[i] == 0) continue;
          row[i] = cover[i] == 0xFFFFFFu ? pixel : Cover(pixel, cover[i], row[i]);
        }
      }
    }
    return;
  }
  // No font of ours selected (or no room for a mask): the one GDI has, through a mask of its own.
  UINT count = 0;
  const wchar_t* wide = WideOf(text, count);
  SIZE extent{};
  ::GetTextExtentPoint32W(FDC, wide, static_cast<int>(count), &extent);
  const int margin = std::max<int>(8, extent.cy);
  const RECT cell = DeviceRect(Bounds(x, y, extent.cx, extent.cy));
  const RECT bounds{cell.left - margin, cell.top - margin, cell.right + margin, cell.bottom + margin};
  HGDIOBJ font = ::GetCurrentObject(FDC, OBJ_FONT);
  DrawThroughMask(bounds, color, [&](HDC scratch) {
    HGDIOBJ old = ::SelectObject(scratch, font);
    ::SetTextColor(scratch, 0xFFFFFF);
    ::SetBkMode(scratch, TRANSPARENT);
    ::ExtTextOutW(scratch, margin, margin, 0, nullptr, wide, count, nullptr);
    ::SelectObject(scratch, old);
  });
}

void TWin32DeviceContext::DrawPixels(int x, int y, const TPixelView& pixels) {
  if (!pixels.Origin || pixels.Width <= 0 || pixels.Height <= 0) return;
  if (HasSurface()) {
    ::GdiFlush();
    const RECT target = DeviceRect(Bounds(x, y, pixels.Width, pixels.Height));
    SurfaceClip(FClipRects);
    for (const RECT& clip : FClipRects) {
      const RECT part = Intersect(clip, target);
      const size_t width = static_cast<size_t>(part.right - part.left);
      for (int py = part.top; py < part.bottom; ++py) {
        const uint8_t* src = pixels.Origin + (py - target.top) * pixels.RowStep + (part.left - target.left) * 4;
        uint32_t* row = FSurface.Row(py) + part.left;
        // An opaque picture keeps its bytes as they are, the fourth included.
        if (!pixels.HasAlpha) {
          std::memcpy(row, src, width * 4);
          continue;
        }
        for (size_t i = 0; i < width; ++i) {
          uint32_t s;
          std::memcpy(&s, src + i * 4, 4);
          row[i] = BlendOver(s, row[i]);
        }
      }
    }
    return;
  }
  const intptr_t step = pixels.RowStep;
  const intptr_t rowBytes = step < 0 ? -step : step;
  const uint8_t* lowest = step >= 0 ? pixels.Origin : pixels.Origin + (pixels.Height - 1) * step;
  if (!pixels.HasAlpha) {
    // GDI reads the rows as the view stores them: top-down for a positive step, else bottom-up.
    const BITMAPINFO info = BitmapInfo32(static_cast<int>(rowBytes / 4), step >= 0 ? -pixels.Height : pixels.Height);
    ::StretchDIBits(FDC, x, y, pixels.Width, pixels.Height, 0, 0, pixels.Width, pixels.Height, lowest, &info,
                    DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  // GDI blends premultiplied colours: they are made in a picture of their own.
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection32(pixels.Width, -pixels.Height, &bits);
  if (!section) return;
  HDC memory = ::CreateCompatibleDC(FDC);
  if (!memory) {
    ::DeleteObject(section);
    return;
  }
  HGDIOBJ old = ::SelectObject(memory, section);
  auto* out = static_cast<uint32_t*>(bits);
  for (int row = 0; row < pixels.Height; ++row)
    for (int i = 0; i < pixels.Width; ++i) {
      uint32_t s;
      std::memcpy(&s, pixels.Origin + row * step + i * 4, 4);
      const uint32_t a = s >> 24;
      out[static_cast<size_t>(row) * static_cast<size_t>(pixels.Width) + static_cast<size_t>(i)] =
          a << 24 | Mul255((s >> 16) & 0xFF, a) << 16 | Mul255((s >> 8) & 0xFF, a) << 8 | Mul255(s & 0xFF, a);
    }
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::AlphaBlend(FDC, x, y, pixels.Width, pixels.Height, memory, 0, 0, pixels.Width, pixels.Height, blend);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::DeleteObject(section);
}

void TWin32DeviceContext::BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) {
  auto* src = dynamic_cast<TWin32DeviceContext*>(&source);
  if (!src || !src->HasSurface() || w <= 0 || h <= 0) return;
  if (!HasSurface()) {
    ::BitBlt(FDC, x, y, w, h, src->FDC, sx, sy, SRCCOPY);
    return;
  }
  // Picture to picture in memory: rows copied as they are, each side in its own row order, only
  // the part that lies in the source.
  ::GdiFlush();
  const RECT asked = src->DeviceRect(Bounds(sx, sy, w, h));
  const RECT from = Intersect(asked, RECT{0, 0, src->FSurface.Width, src->FSurface.Height});
  if (Empty(from)) return;
  RECT target = DeviceRect(Bounds(x, y, w, h));
  target = RECT{target.left + (from.left - asked.left), target.top + (from.top - asked.top),
                target.left + (from.right - asked.left), target.top + (from.bottom - asked.top)};
  const int dx = from.left - target.left, dy = from.top - target.top;
  // A picture copied onto itself is read whole before it is written.
  std::vector<uint32_t>& copy = FCopy;
  copy.clear();
  const int fromWidth = from.right - from.left;
  if (src->FSurface.Bits == FSurface.Bits) {
    copy.resize(static_cast<size_t>(fromWidth) * static_cast<size_t>(from.bottom - from.top));
    for (int row = from.top; row < from.bottom; ++row)
      std::memcpy(&copy[static_cast<size_t>(row - from.top) * static_cast<size_t>(fromWidth)],
                  src->FSurface.Row(row) + from.left, static_cast<size_t>(fromWidth) * 4);
  }
  SurfaceClip(FClipRects);
  for (const RECT& clip : FClipRects) {
    const RECT part = Intersect(clip, target);
    const size_t bytes = static_cast<size_t>(part.right - part.left) * 4;
    for (int py = part.top; py < part.bottom; ++py) {
      const uint32_t* in = copy.empty() ? src->FSurface.Row(py + dy) + part.left + dx
                                        : &copy[static_cast<size_t>(py + dy - from.top) * static_cast<size_t>(fromWidth) +
                                                static_cast<size_t>(part.left + dx - from.left)];
      std::memcpy(FSurface.Row(py) + part.left, in, bytes);
    }
  }
}

int TWin32DeviceContext::GetDeviceCaps(int index) const {
  // A section is a 32-bit picture whatever display its device context was made for.
  if (HasSurface() && index == BITSPIXEL) return 32;
  if (HasSurface() && index == PLANES) return 1;
  return ::GetDeviceCaps(FDC, index);
}

bool TWin32DeviceContext::PaletteDevice() const {
  return !HasSurface() && (::GetDeviceCaps(FDC, RASTERCAPS) & RC_PALETTE) != 0;
}

TPaletteHandle* TWin32DeviceContext::SelectPalette(TPaletteHandle* palette, bool forceBackground) {
  TPaletteHandle* previous = TDeviceContext::SelectPalette(palette, forceBackground);
  if (!PaletteDevice()) return previous;
  HPALETTE gdi = palette ? Win32Palette(*palette) : static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE));
  if (gdi) ::SelectPalette(FDC, gdi, forceBackground ? TRUE : FALSE);
  return previous;
}

int TWin32DeviceContext::RealizePalette() {
  if (!PaletteDevice()) return 0;
  const UINT mapped = ::RealizePalette(FDC);
  return mapped == GDI_ERROR ? 0 : static_cast<int>(mapped);
}

void TWin32DeviceContext::SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                                             const uint32_t* colorTable, int colorCount) {
  if (!PaletteDevice()) {
    TDeviceContext::SetDIBitsToDevice8(x, y, w, h, bits, rowStep, colorTable, colorCount);
    return;
  }
  if (!bits || !colorTable || w <= 0 || h <= 0) return;
  struct {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[256];
  } info{};
  const int colours = std::clamp(colorCount, 0, 256);
  info.Header.biSize = sizeof(BITMAPINFOHEADER);
  info.Header.biWidth = w;
  info.Header.biHeight = -h;
  info.Header.biPlanes = 1;
  info.Header.biBitCount = 8;
  info.Header.biCompression = BI_RGB;
  info.Header.biClrUsed = static_cast<DWORD>(colours);
  for (int i = 0; i < colours; ++i)
    info.Colors[i] = RGBQUAD{static_cast<BYTE>(colorTable[i]), static_cast<BYTE>(colorTable[i] >> 8),
                             static_cast<BYTE>(colorTable[i] >> 16), 0};
  // GDI wants rows of a whole number of 32-bit words.
  const int stride = (w + 3) & ~3;
  std::vector<uint8_t> rows(static_cast<size_t>(stride) * static_cast<size_t>(h));
  for (int row = 0; row < h; ++row)
    std::memcpy(&rows[static_cast<size_t>(row) * static_cast<size_t>(stride)], bits + static_cast<intptr_t>(row) * rowStep,
                static_cast<size_t>(w));
  ::StretchDIBits(FDC, x, y, w, h, 0, 0, w, h, rows.data(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                  SRCCOPY);
}

BITMAPINFO BitmapInfo32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

HBITMAP CreateDIBSection32(int width, int height, void** bits) {
  const BITMAPINFO info = BitmapInfo32(width, height);
  // The system makes the section's memory as a new paging-file mapping, whose pages start zeroed.
  return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}
