#pragma once
// A device with 8 bits per pixel in memory: each pixel is an index into the palette selected into
// the device, as on a palette display. Colours drawn on it are matched to the nearest entry of
// that palette (the 20 static colours while none is selected). It realises palettes into a system
// palette of 256 slots shared by the devices of one display, so palette messages can be followed.
//
// Text is measured with a fixed cell and not drawn: the device exists for palette output.
#include <array>
#include <cstdint>
#include <vector>

#include "toolkit/ClipRegion.h"
#include "toolkit/Graphics.h"

// The hardware palette of an 8-bit display: slots 0..9 and 246..255 hold the static colours, the
// 236 between are free for the foreground palette and then for background palettes.
class TSystemPalette8 {
public:
  static constexpr int kSlots = 256, kStatic = 10, kFree = 236;
  TSystemPalette8();
  const TPaletteHandle::Entry& Slot(int i) const { return FSlots[static_cast<size_t>(i)]; }
  // Realises a logical palette and answers how many slots changed. The foreground palette takes the
  // free slots from the start; a background palette gets free slots after it for the colours that
  // no slot holds exactly.
  int Realize(const TPaletteHandle* palette, bool background);
  const TPaletteHandle* ForegroundPalette() const { return FForeground; }
  // The colours of the default palette of a device: the static ones.
  static const std::vector<TPaletteHandle::Entry>& StaticColors();

private:
  std::array<TPaletteHandle::Entry, kSlots> FSlots{};
  const TPaletteHandle* FForeground = nullptr;
  int FForegroundCount = 0;
};

class TMemoryDC8 : public TClippedDeviceContext {
public:
  // The system palette is shared, not owned; without one, realising changes nothing.
  TMemoryDC8(int width, int height, TSystemPalette8* system = nullptr);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The index stored at device pixel (x, y), rows from the top; 0 outside.
  uint8_t Pixel(int x, int y) const;
  const std::vector<uint8_t>& Bits() const { return FBits; }
  void Clear(uint8_t index);
  // Nearest entry of the palette in use to an RGB colour ($00BBGGRR); the lowest index on a tie.
  uint8_t MatchColor(TColor rgb) const;
  const TPaletteHandle* SelectedPalette() const { return FSelectedPalette; }
  bool SelectedAsBackground() const { return FBackground; }

  void FillRect(const TRect& r, TColor color) override;
  void Rectangle(const TRect& r, TColor penColor, TPenStyle penStyle, TColor brushColor,
                 TBrushStyle brushStyle) override;
  void SetFont(const TFontData& font) override { FFont = font; }
  TSize TextExtent(const std::string& text) override;
  void TextOut(int x, int y, const std::string& text, TColor color) override;
  void DrawPixels(int x, int y, const TPixelView& pixels) override;
  void BitBlt(int x, int y, int w, int h, TDeviceContext& source, int sx, int sy) override;
  int GetDeviceCaps(int index) const override;

  TPaletteHandle* SelectPalette(TPaletteHandle* palette, bool forceBackground) override;
  int RealizePalette() override;
  void SetDIBitsToDevice8(int x, int y, int w, int h, const uint8_t* bits, int rowStep,
                          const uint32_t* colorTable, int colorCount) override;

private:
  const std::vector<TPaletteHandle::Entry>& PaletteInUse() const;
  uint8_t MatchRGB(uint8_t r, uint8_t g, uint8_t b) const;
  // Device rectangle of a logical one, cut to the device.
  TRect ToDeviceCut(const TRect& r) const;
  void Put(int dx, int dy, uint8_t index);  // device coordinates, through the clip

  int FWidth, FHeight;
  std::vector<uint8_t> FBits;
  TSystemPalette8* FSystem;
  bool FBackground = false;
  TFontData FFont;
};
