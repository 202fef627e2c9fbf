#pragma once
// JPEG pictures, decoded with the IJG library straight to B, G, R, A rows.
//
// Damaged data fails with EJPEG "JPEG error #%d", the library's message code. A file cut short
// counts as damaged: the library would only warn and fill the missing rows with grey, which would
// show a half-grey picture without a word; we stop with the code of that warning instead. Other
// warnings (stray bytes between markers and the like) leave a complete picture and are ignored.
#include <cstdint>
#include <span>

#include "toolkit/Pictures.h"

QV_EXCEPTION(EJPEG, EInvalidGraphic)

class TJPEGImage : public TPixelGraphic {
public:
  QV_CLASS(TJPEGImage)
  void LoadFromBytes(std::span<const uint8_t> bytes) override;
  bool Grayscale() const { return FGrayscale; }
  bool Progressive() const { return FProgressive; }

private:
  bool FGrayscale = false;
  bool FProgressive = false;
};
