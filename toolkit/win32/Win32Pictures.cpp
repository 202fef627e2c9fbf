#include "toolkit/win32/Win32Pictures.h"

#include <mutex>
#include <span>

#include "toolkit/Pictures.h"
#include "toolkit/PictureChecks.h"
#include "toolkit/win32/Win32Metafiles.h"

#include "platform/win32/Win32Api.h"

namespace {

// Holds a COM interface and releases it when it goes.
template <class T>
class TComRef {
public:
  TComRef() = default;
  ~TComRef() {
    if (FInterface) FInterface->Release();
  }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  T** Out() { return &FInterface; }
  void** OutVoid() { return reinterpret_cast<void**>(&FInterface); }
  T* Get() const { return FInterface; }
  T* operator->() const { return FInterface; }

private:
  T* FInterface = nullptr;
};

// The component library for the time of one decode. Pictures are also decoded on the prefetch
// threads, which have none of their own; a thread that has one already (the program's, in a
// single-threaded apartment) keeps it as it is.
class TComScope {
public:
  TComScope() : FResult(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~TComScope() {
    if (SUCCEEDED(FResult)) ::CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  HRESULT FResult;
};

class TWICGraphic : public TPixelGraphic {
public:
  using TCheck = bool (*)(std::span<const uint8_t>);
  TWICGraphic(const GUID& container, const char* invalidMessage, bool keepsAlpha, TCheck plausible)
      : FContainer(container), FInvalid(invalidMessage), FKeepsAlpha(keepsAlpha), FPlausible(plausible) {}

  void LoadFromBytes(std::span<const uint8_t> bytes) override {
    if (!FPlausible(bytes) || bytes.size() > 0xFFFFFFFFu) throw EInvalidGraphic(FInvalid);
    TComScope com;
    TComRef<IWICImagingFactory> factory;
    TComRef<IWICStream> stream;
    TComRef<IWICBitmapDecoder> decoder;
    TComRef<IWICBitmapFrameDecode> frame;
    TComRef<IWICBitmapSource> converted;
    UINT width = 0, height = 0;
    // The decoder is the one of the extension, not whichever the content looks like.
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.OutVoid())) ||
        FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoder(FContainer, nullptr, decoder.Out())) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(frame->GetSize(&width, &height)))
      throw EInvalidGraphic(FInvalid);
    if (width == 0 || height == 0 || width > 65535 || height > 65535 ||
        static_cast<size_t>(width) * height > JustifiedPixels(bytes.size()))
      throw EInvalidGraphic(FInvalid);
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), converted.Out())))
      throw EInvalidGraphic(FInvalid);
    const size_t stride = size_t{width} * 4, total = stride * height;
    TBuffer pixels = AllocBuffer(total);
    // B, G, R, A rows, top-down: the toolkit's order already.
    if (FAILED(converted->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(total), pixels.get())))
      throw EInvalidGraphic(FInvalid);
    if (!FKeepsAlpha)
      for (size_t i = 3; i < total; i += 4) pixels.get()[i] = 255;
    SetPixels(std::move(pixels), static_cast<int>(width), static_cast<int>(height), FKeepsAlpha, !FKeepsAlpha);
  }

private:
  const GUID& FContainer;
  const char* FInvalid;
  bool FKeepsAlpha;
  TCheck FPlausible;
};

class TWICBitmap : public TWICGraphic {
public:
  QV_CLASS(TBitmap)
  // A bitmap draws opaque: whatever its fourth byte holds, only its colours count.
  TWICBitmap() : TWICGraphic(GUID_ContainerFormatBmp, "Bitmap image is not valid", false, BitmapHeaderPlausible) {}
};

class TWICIcon : public TWICGraphic {
public:
  QV_CLASS(TIcon)
  // An icon draws over what lies beneath it: its transparent parts leave the background.
  TWICIcon() : TWICGraphic(GUID_ContainerFormatIco, "Icon image is not valid", true, IconHeaderPlausible) {}
};

}  // namespace

void RegisterWin32PictureFormats() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterFileFormat("ico", "Icon", [] { return std::make_unique<TWICIcon>(); });
    RegisterFileFormat("bmp", "Bitmaps", [] { return std::make_unique<TWICBitmap>(); });
    RegisterFileFormat("wmf", "Metafile",
                       [] { return std::make_unique<TWin32Metafile>(TWin32Metafile::TKind::Windows); });
    RegisterFileFormat("emf", "Enhanced Metafile",
                       [] { return std::make_unique<TWin32Metafile>(TWin32Metafile::TKind::Enhanced); });
  });
}
