#pragma once
// Metafile pictures: enhanced metafiles ("emf") and Windows metafiles ("wmf", with or without the
// placeable header), played by GDI at their own size into 32-bit pixels. The file's header and
// every record's size are checked before GDI sees a byte, so that a damaged file fails with
// "Metafile is not valid" rather than reaching the system's player, and a claim of a huge picture
// allocates nothing.
#include <cstdint>
#include <span>

#include "toolkit/Pictures.h"

class TWin32Metafile : public TPixelGraphic {
public:
  QV_CLASS(TMetafile)
  enum class TKind { Enhanced, Windows };
  explicit TWin32Metafile(TKind kind) : FKind(kind) {}
  // The picture's pixels are what GDI drew over black: rows bottom-up, the alpha bytes as GDI
  // left them (the picture counts as opaque).
  void LoadFromBytes(std::span<const uint8_t> bytes) override;

private:
  TKind FKind;
};
