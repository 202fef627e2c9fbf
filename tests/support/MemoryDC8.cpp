#include "support/MemoryDC8.h"

#include <algorithm>
#include <limits>

namespace {
using Entry = TPaletteHandle::Entry;

bool SameColour(const Entry& a, const Entry& b) {
  return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}
}  // namespace

const std::vector<Entry>& TSystemPalette8::StaticColors() {
  static const std::vector<Entry> colours = {
      {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
      {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
      {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
      {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
  };
  return colours;
}

TSystemPalette8::TSystemPalette8() {
  const auto& s = StaticColors();
  for (int i = 0; i < kStatic; ++i) {
    FSlots[static_cast<size_t>(i)] = s[static_cast<size_t>(i)];
    FSlots[static_cast<size_t>(kSlots - kStatic + i)] = s[static_cast<size_t>(kStatic + i)];
  }
}

int TSystemPalette8::Realize(const TPaletteHandle* palette, bool background) {
  if (!palette) return 0;
  const int n = std::min(static_cast<int>(palette->Entries.size()), kFree);
  int changed = 0;
  if (!background) {
    for (int i = 0; i < n; ++i) {
      Entry& slot = FSlots[static_cast<size_t>(kStatic + i)];
      const Entry& e = palette->Entries[static_cast<size_t>(i)];
      if (!SameColour(slot, e)) ++changed;
      slot = {e.Red, e.Green, e.Blue, 0};
    }
    FForeground = palette;
    FForegroundCount = n;
    return changed;
  }
  if (palette == FForeground) return 0;
  int next = kStatic + FForegroundCount;
  for (int i = 0; i < n; ++i) {
    const Entry& e = palette->Entries[static_cast<size_t>(i)];
    if (std::any_of(FSlots.begin(), FSlots.end(), [&](const Entry& s) { return SameColour(s, e); })) continue;
    if (next >= kStatic + kFree) break;
    FSlots[static_cast<size_t>(next++)] = {e.Red, e.Green, e.Blue, 0};
    ++changed;
  }
  return changed;
}

TMemoryDC8::TMemoryDC8(int width, int height, TSystemPalette8* system)
    : TClippedDeviceContext(TClipRegion({0, 0, std::max(width, 0), std::max(height, 0)})),
      FWidth(std::max(width, 0)),
      FHeight(std::max(height, 0)),
      FBits(static_cast<size_t>(FWidth) * FHeight, 0),
      FSystem(system) {}

uint8_t TMemoryDC8::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  return FBits[static_cast<size_t>(y) * FWidth + x];
}

void TMemoryDC8::Clear(uint8_t index) { std::fill(FBits.begin(), FBits.end(), index); }

const std::vector<Entry>& TMemoryDC8::PaletteInUse() const {
  return FSelectedPalette && !FSelectedPalette->Entries.empty() ? FSelectedPalette->Entries
                                                                 : TSystemPalette8::StaticColors();
}

uint8_t TMemoryDC8::MatchRGB(uint8_t r, uint8_t g, uint8_t b) const {
  const auto& entries = PaletteInUse();
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  const int n = std::min(static_cast<int>(entries.size()), 256);
  for (int i = 0; i < n; ++i) {
    const Entry& e = entries[static_cast<size_t>(i)];
    const int dr = r - e.Red, dg = g - e.Green, db = b - e.Blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t TMemoryDC8::MatchColor(TColor rgb) const {
  const TColor c = ColorToRGB(rgb);
  return MatchRGB(static_cast<uint8_t>(GetRValue(c)), static_cast<uint8_t>(GetGValue(c)),
                  static_cast<uint8_t>(GetBValue(c)));
}

TRect TMemoryDC8::ToDeviceCut(const TRect& r) const { return IntersectRect(ToDevice(r), {0, 0, FWidth, FHeight}); }

void TMemoryDC8::Put(int dx, int dy, uint8_t index) {
  if (dx < 0 || dy < 0 || dx >= FWidth || dy >= FHeight) return;
  const size_t i = static_cast<size_t>(dy) * FWidth + dx;
  if (Clip().Contains(dx, dy)) FBits[i] = index;
}

void TMemoryDC8::FillRect(const TRect& r, TColor color) {
  const uint8_t index = MatchColor(color);
  const TRect d = ToDeviceCut(r);
  for (int y = d.Top; y < d.Bottom; ++y)
    for (int x = d.Left; x < d.Right; ++x) Put(x, y, index);
}

void TMemoryDC8::Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                           TBrushStyle brushStyle) {
  if (brushStyle != TBrushStyle::bsClear) FillRect(r, brushColor);
  if (penStyle != TPenStyle::psClear) FrameRect(r, penColor);
}

TSize TMemoryDC8::TextExtent(const std::string& text) {
  const int cell = std::max(1, FFont.Height < 0 ? -FFont.Height : FFont.Height);
  return {static_cast<int>(text.size()) * (cell + 1) / 2, cell + cell / 4};
}

void TMemoryDC8::TextOut(int, int, const std::string&, TColor) {}

void TMemoryDC8::DrawPixels(int x, int y, const TPixelView& pixels) {
  if (!pixels.Origin) return;
  for (int j = 0; j < pixels.Height; ++j) {
    const uint8_t* row = pixels.Origin + static_cast<intptr_t>(j) * pixels.RowStep;
    for (int i = 0; i < pixels.Width; ++i) {
      const uint8_t* p = row + static_cast<intptr_t>(i) * 4;
      if (pixels.HasAlpha && p[3] == 0) continue;
      Put(x + i + Origin().X, y + j + Origin().Y, MatchRGB(p[2], p[1], p[0]));
    }
  }
}

void TMemoryDC8::BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) {
  // Only another 8-bit memory device has indices to copy.
  auto* src = dynamic_cast<TMemoryDC8*>(&source);
  if (!src) return;
  const std::vector<uint8_t> copy = src->FBits;  // the source may be this device
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const int px = sx + i + src->Origin().X, py = sy + j + src->Origin().Y;
      if (px < 0 || py < 0 || px >= src->FWidth || py >= src->FHeight) continue;
      Put(x + i + Origin().X, y + j + Origin().Y, copy[static_cast<size_t>(py) * src->FWidth + px]);
    }
}

int TMemoryDC8::GetDeviceCaps(int index) const {
  switch (index) {
    case BITSPIXEL: return 8;
    case PLANES: return 1;
    case RASTERCAPS: return RC_DI_BITMAP | RC_PALETTE | RC_DIBTODEV;
    case LOGPIXELSX:
    case LOGPIXELSY: return ScreenPixelsPerInch;
    default: return 0;
  }
}

TPaletteHandle* TMemoryDC8::SelectPalette(TPaletteHandle* palette, bool forceBackground) {
  FBackground = forceBackground;
  return TDeviceContext::SelectPalette(palette, forceBackground);
}

int TMemoryDC8::RealizePalette() {
  if (!FSystem) return 0;
  return FSystem->Realize(FSelectedPalette, FBackground);
}

void TMemoryDC8::SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                                    const uint32_t* colorTable, int colorCount) {
  if (!bits || !colorTable || w <= 0 || h <= 0) return;
  // Each colour-table entry ($00RRGGBB) is matched once to the palette in use.
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = i < colorCount ? colorTable[i] : 0;
    map[i] = MatchRGB(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c));
  }
  for (int j = 0; j < h; ++j) {
    const uint8_t* row = bits + static_cast<intptr_t>(j) * rowStep;
    for (int i = 0; i < w; ++i) Put(x + i + Origin().X, y + j + Origin().Y, map[row[i]]);
  }
}
