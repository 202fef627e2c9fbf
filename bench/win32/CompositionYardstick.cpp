// The Win32 side of the composition benchmark: the Win32 backend, and the scene as a plain Win32
// program draws it with GDI into a DIB section: the stretched picture blended at constant opacity
// from a section of its own, then the texts.
#include "bench/CompositionYardstick.h"

#include <string>
#include <vector>

#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"
#include "toolkit/win32/Win32DeviceContext.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace composition {

struct TBackendRun::TImpl {
  TWin32BackendScope Scope;
};

TBackendRun::TBackendRun(int&, char**) {
  // The picture decoders run on the component object library, as in the program.
  platform::CoInitialize();
  FImpl = std::make_unique<TImpl>();
}

TBackendRun::~TBackendRun() = default;

namespace {

// A 32-bit DIB section selected into a memory device context of its own.
struct TSection {
  HDC DC = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  uint32_t* Bits = nullptr;

  TSection(int width, int height) {
    void* bits = nullptr;
    Bitmap = CreateDIBSection32(width, height, &bits);
    DC = ::CreateCompatibleDC(nullptr);
    Old = ::SelectObject(DC, Bitmap);
    Bits = static_cast<uint32_t*>(bits);
  }
  ~TSection() {
    ::SelectObject(DC, Old);
    ::DeleteDC(DC);
    ::DeleteObject(Bitmap);
  }
  TSection(const TSection&) = delete;
  TSection& operator=(const TSection&) = delete;
};

COLORREF ColorRefOf(TColor rgb) { return static_cast<COLORREF>(rgb) & 0xFFFFFFu; }

}  // namespace

struct TYardstick::TImpl {
  TSection Target{kWidth, kHeight};  // bottom-up, as a window's picture
  TSection Picture{kSide, -kSide};   // top-down: rows in the order PicturePixel gives them
  HFONT Font = nullptr;
  std::vector<std::wstring> Texts;
  ~TImpl() {
    if (Font) ::DeleteObject(Font);
  }
};

TYardstick::TYardstick(const TFontData& font) : FImpl(std::make_unique<TImpl>()) {
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      FImpl->Picture.Bits[static_cast<size_t>(y) * kSide + static_cast<size_t>(x)] = PicturePixel(x, y);
  // The labels' face and pixel height, with whole-pixel glyphs as the toolkit draws them, so that
  // both sides put down the same pixels.
  LOGFONTW logical{};
  logical.lfHeight = font.Height;
  logical.lfWeight = FW_NORMAL;
  logical.lfCharSet = static_cast<BYTE>(font.Charset);
  logical.lfQuality = NONANTIALIASED_QUALITY;
  const std::wstring face = win32::Wide(font.Name).substr(0, LF_FACESIZE - 1);
  face.copy(logical.lfFaceName, face.size());
  FImpl->Font = ::CreateFontIndirectW(&logical);
  ::SelectObject(FImpl->Target.DC, FImpl->Font);
  ::SetBkMode(FImpl->Target.DC, TRANSPARENT);
  // Centred across the label, from its top, as the labels lay out their one line.
  ::SetTextAlign(FImpl->Target.DC, TA_CENTER | TA_TOP);
  for (int i = 0; i < kLabels; ++i) FImpl->Texts.push_back(win32::Wide(LabelText(i)));
}

TYardstick::~TYardstick() = default;

void TYardstick::Draw(const TRect* clip, TColor changingLabel) {
  HDC dc = FImpl->Target.DC;
  const int saved = ::SaveDC(dc);
  if (clip) ::IntersectClipRect(dc, clip->Left, clip->Top, clip->Right, clip->Bottom);
  const RECT whole{0, 0, kWidth, kHeight};
  ::FillRect(dc, &whole, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, kOpacity, 0};
  ::AlphaBlend(dc, kImage.Left, kImage.Top, kImage.Width(), kImage.Height(), FImpl->Picture.DC, 0, 0, kSide, kSide,
               blend);
  for (int i = 0; i < kLabels; ++i) {
    const TRect r = LabelRect(i);
    const std::wstring& text = FImpl->Texts[static_cast<size_t>(i)];
    ::SetTextColor(dc, i == kChangingLabel ? ColorRefOf(changingLabel) : ColorRefOf(clWhite));
    ::ExtTextOutW(dc, r.Left + r.Width() / 2, r.Top, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
  }
  ::RestoreDC(dc, saved);
  // GDI may hold drawing back in a batch: the figure is of drawing that has reached the pixels.
  ::GdiFlush();
}

}  // namespace composition
