#pragma once
// The palette component for displays with 8 bits per pixel: a logical palette of 235 colours that
// it realises for its form, and an optional 64 x 64 x 64 table mapping any colour to the nearest
// entry, which Render8Bit uses to turn 32-bit surfaces into 8-bit pixels.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "dib/cDIBBlend.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/SysUtils.h"

QV_EXCEPTION(EDIBPaletteError, Exception)

constexpr int kDIBPaletteEntries = 235;
constexpr size_t kDIBPaletteColorsSize = kDIBPaletteEntries * 4;  // 940 bytes
constexpr size_t kDIBPaletteTableSize = 64 * 64 * 64;             // 262144 bytes

// The table is laid out with red in the lowest position: entry b * 4096 + g * 64 + r holds the
// palette index nearest to (red r * 4, green g * 4, blue b * 4). Both the building and the lookup
// use this one order, so coloured palettes map correctly too.
constexpr size_t DIBPaletteTableIndex(uint8_t red, uint8_t green, uint8_t blue) {
  return (static_cast<size_t>(blue >> 2) << 12) | (static_cast<size_t>(green >> 2) << 6) | (red >> 2);
}
constexpr size_t DIBPaletteTableIndex(dib::TPixel p) {
  return DIBPaletteTableIndex(dib::PixelR(p), dib::PixelG(p), dib::PixelB(p));
}

// Fills the 262144-byte table for the 235 entries: for each colour the lowest-indexed entry at the
// smallest squared distance (red, green, blue). Answers the same bytes as a plain search of every
// entry for every colour, whichever level of the processor's vector instructions it runs with.
void BuildDIBPaletteTable(const TPaletteHandle::Entry* entries, uint8_t* table);
void BuildDIBPaletteTable(const TPaletteHandle::Entry* entries, uint8_t* table, dib::TSimdLevel level);

using TWndMethod = std::function<void(TMessage&)>;

// What the palette needs of the form that owns it. The forms unit answers it for a TCustomForm
// through the resolver below; tests answer it with a form of their own.
class IDIBPaletteForm {
public:
  virtual ~IDIBPaletteForm() = default;
  virtual uintptr_t WindowHandle() const = 0;
  virtual TDeviceContext* GetDC() = 0;
  virtual void ReleaseDC(TDeviceContext* dc) = 0;
  virtual void Invalidate() = 0;
  // The form's own handling of a palette change (the toolkit's palette-changed notification).
  virtual void PaletteChanged(bool foreground) = 0;
  virtual TWndMethod WindowProc() const = 0;
  virtual void SetWindowProc(TWndMethod proc) = 0;
};

// Answers the form behind an owner, or nullptr when the owner is not a TCustomForm.
using TDIBPaletteFormResolver = std::function<std::unique_ptr<IDIBPaletteForm>(TComponent* owner)>;
void SetDIBPaletteFormResolver(TDIBPaletteFormResolver resolver);

class TDIBPalette : public TComponent {
public:
  QV_CLASS(TDIBPalette)
  explicit TDIBPalette(TComponent* Owner);
  ~TDIBPalette() override;

  bool UseTable() const { return FUseTable; }
  void SetUseTable(bool v);
  // The lookup table, or nullptr while there is none.
  const uint8_t* Table() const { return FTable.get(); }
  // The platform palette made from the entries.
  TPaletteHandle* Handle() const { return FHandle.get(); }
  const TPaletteHandle::Entry* Entries() const { return FEntries.get(); }

  // The stored DIBPaletteColors: 940 bytes of red, green, blue, flags. Reading an empty stream
  // changes nothing; any other size than 940 fails with "Invalid palette stream.".
  void ReadPaletteColors(std::span<const uint8_t> data);
  std::vector<uint8_t> WritePaletteColors() const;
  // The stored DIBPaletteTable (stored while UseTable): up to 262144 bytes are read.
  void ReadPaletteTable(std::span<const uint8_t> data);
  std::vector<uint8_t> WritePaletteTable() const;
  bool PaletteTableStored() const { return FUseTable; }

  void Loaded() override;
  // Declares DIBPaletteColors (always stored) and DIBPaletteTable (stored while UseTable).
  void DeclareStoredData(TFiler& filer) override;

  // The handler in front of the form's: the two palette messages, everything else passed on.
  void PaletteWndProc(TMessage& Message);

private:
  void RecreateHandle();
  void BuildTable();

  bool FUseTable = false;
  std::unique_ptr<uint8_t[]> FTable;
  std::unique_ptr<TPaletteHandle::Entry[]> FEntries;
  std::unique_ptr<TPaletteHandle> FHandle;
  TWndMethod FSavedWndProc;
  std::unique_ptr<IDIBPaletteForm> FForm;
  bool FHandlerInstalled = false;
};
