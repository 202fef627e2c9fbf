#pragma once
// Surfaces: 32-bit pictures with the settings that govern how they are drawn onto one another
// (opacity, own alpha, colour key, rotation, scaling), and the blending that does the drawing.
//
// Pixel layout (see dib/cDIBBlend.h for the accessors): bytes B, G, R, A, i.e. the little-endian
// word 0xAARRGGBB; alpha 255 is opaque. Rows are stored bottom-up without padding, so the pixel at
// picture coordinates (x, y), y counted from the top, is element (Height - 1 - y) * Width + x.
// Every coordinate the operations take is a picture coordinate with the origin at the top-left.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "dib/cDIBBlend.h"
#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/SysUtils.h"
#include "toolkit/Types.h"

QV_EXCEPTION(EDIBError, Exception)

class TDIBPalette;

using TAngle = uint16_t;
enum class TTransparentMode { tmAuto, tmFixed };

// The 3 x 3 convolution that ApplyFilter runs. Weights go row by row from the top row of the
// neighbourhood, left to right.
struct TDIBFilter {
  int32_t Unused = 0;
  int16_t RedAdd = 0, GreenAdd = 0, BlueAdd = 0;
  uint8_t Opacity = 255;
  int32_t Divisor = 0;
  int16_t Weights[9] = {};
};

// A clip rectangle of a surface. Unlike the toolkit's TRect it is inclusive on all four sides.
struct TDIBClipRect {
  int32_t Left = 0, Top = 0, Right = -1, Bottom = -1;
  bool operator==(const TDIBClipRect&) const = default;
};

// The colour of the toolkit ($00BBGGRR, system colours with the top byte set) in pixel form: bytes
// 0 and 2 change places, bytes 1 and 3 stay (0xTTBBGGRR becomes 0xTTRRGGBB). No resolution of
// system colours happens here.
constexpr dib::TPixel ColorToPixel(TColor color) {
  const uint32_t c = static_cast<uint32_t>(color);
  return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
}

// The rotated and scaled bounds of a W x H picture, as a transformed Draw sizes its intermediate.
TPoint RotatedSize(uint16_t W, uint16_t H, uint16_t Angle, double ScaleX, double ScaleY);

// The four tables of rotation: Round(sin(d) * 256) and Round(cos(d) * 256) for d = 0..359
// degrees, and the same two for d + 90 degrees. Round is to nearest, halves to even.
struct TRotationTables {
  int32_t Sin256[360], Cos256[360], Sin256Quarter[360], Cos256Quarter[360];
};
const TRotationTables& RotationTables();

class TAbstractSuperDIB : public TPersistent {
public:
  QV_CLASS(TAbstractSuperDIB)
  using TBlendRoutine = void (TAbstractSuperDIB::*)(const dib::TPixel* src, dib::TPixel* dst, int n,
                                                    int m, ptrdiff_t srcStep, ptrdiff_t dstStep);

  TAbstractSuperDIB();  // Create: no pixels, BlendCopy reading this surface, then the defaults
  ~TAbstractSuperDIB() override;
  TAbstractSuperDIB(const TAbstractSuperDIB&) = delete;
  TAbstractSuperDIB& operator=(const TAbstractSuperDIB&) = delete;

  // --- storage
  virtual void SetSize(uint16_t AWidth, uint16_t AHeight);
  virtual bool HasPixels() const;
  virtual void Reference(TAbstractSuperDIB* Source);
  virtual void AssignProperties(TPersistent* Dest);
  void CopyPixelsTo(TAbstractSuperDIB* Dest);
  // The framework's copy from one surface to another: pixels, settings, then Dest.Changed.
  void CopyInto(TPersistent* Dest) override;
  // Declares the binary property Data; the stream format lives with the picture loader.
  void DeclareStoredData(TFiler& filer) override;
  virtual void SetDefaults();

  // --- drawing
  virtual void Draw(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest,
                    uint16_t SrcX = 0, uint16_t SrcY = 0);
  virtual void DrawAlpha(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest,
                         uint16_t SrcX = 0, uint16_t SrcY = 0);
  virtual void RenderTransformed(TAbstractSuperDIB* Dest);
  virtual void Fill(TColor Color);
  virtual void FillRect(TColor Color, int32_t X, int32_t Y, int32_t W, int32_t H);
  void SetAlpha(uint8_t A);
  virtual void Render8Bit(TDeviceContext& DC, int32_t X, int32_t Y, int32_t W, int32_t H,
                          uint16_t SrcX, uint16_t SrcY, uint32_t Rop, const TDIBPalette* Palette);
  virtual void ApplyFilter(const TDIBFilter& Filter);

  // --- notification
  virtual void Changed();
  virtual void SelectBlend();
  TNotifyEvent OnChange;

  // --- settings
  TAngle Angle() const { return FAngle; }
  virtual void SetAngle(TAngle v);
  bool AutoSize() const { return FAutoSize; }
  virtual void SetAutoSize(bool v);
  const TDIBClipRect& ClipRect() const { return FClipRect; }
  void SetClipRect(const TDIBClipRect& r);
  void SetClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    SetClipRect(TDIBClipRect{Left, Top, Right, Bottom});
  }
  uint16_t Width() const { return FWidth; }
  virtual void SetWidth(uint16_t v) { SetSize(v, FHeight); }
  uint16_t Height() const { return FHeight; }
  virtual void SetHeight(uint16_t v) { SetSize(FWidth, v); }
  bool Masked() const { return FMasked; }
  virtual void SetMasked(bool v);
  uint8_t Opacity() const { return FOpacity; }
  virtual void SetOpacity(uint8_t v);
  bool OwnsPixels() const { return FOwnsPixels; }
  double Scale() const { return FScaleX; }
  virtual void SetScale(double v);
  double ScaleX() const { return FScaleX; }
  virtual void SetScaleX(double v);
  double ScaleY() const { return FScaleY; }
  virtual void SetScaleY(double v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  // The effective key: the fixed one in tmFixed, otherwise the first stored pixel (the picture's
  // bottom-left), all 32 bits. Read back, TransparentColor answers this pixel form.
  dib::TPixel GetTransparentColor() const;
  dib::TPixel TransparentColor() const { return GetTransparentColor(); }
  void SetTransparentColor(TColor Color);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode v);

  dib::TPixel* Pixels() const { return FPixels; }
  // The pixel at picture coordinates (x, y); no bounds check.
  dib::TPixel* ScanPixel(int x, int y) const {
    return FPixels + (static_cast<ptrdiff_t>(FHeight) - 1 - y) * FWidth + x;
  }
  // Which routine SelectBlend chose and whose settings it reads (tests, the image list).
  TBlendRoutine BlendRoutine() const { return FBlend; }
  TAbstractSuperDIB* BlendSurface() const { return FBlendSurface; }

  // --- the blend routines: m rows of n pixels from the top row of the region downward; the steps
  // are in pixels (negative to go down a bottom-up picture).
  virtual void BlendAlphaCopy(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                              ptrdiff_t dstStep);
  virtual void BlendCopy(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                         ptrdiff_t dstStep);
  virtual void BlendOpacity(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                            ptrdiff_t dstStep);
  virtual void BlendAlpha(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                          ptrdiff_t dstStep);
  virtual void BlendAlphaOpacity(const dib::TPixel* src, dib::TPixel* dst, int n, int m,
                                 ptrdiff_t srcStep, ptrdiff_t dstStep);
  virtual void BlendKey(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                        ptrdiff_t dstStep);
  virtual void BlendKeyOpacity(const dib::TPixel* src, dib::TPixel* dst, int n, int m, ptrdiff_t srcStep,
                               ptrdiff_t dstStep);

  // --- the Data stream; the picture loader's piece fills these in.
  virtual void ReadData(std::span<const uint8_t> data);
  virtual std::vector<uint8_t> WriteData() const;
  // Replaces size and pixels by the picture in the file; the drawing settings stay.
  void LoadFromFile(const std::string& fileName);

protected:
  virtual void AllocPixels() = 0;
  virtual void FreePixels() = 0;
  // Frees the own buffer if there is one; derived destructors call it while their part lives.
  void ReleaseOwnPixels();
  // The intermediate picture of a transformed draw and of a filter.
  virtual std::unique_ptr<TAbstractSuperDIB> CreateIntermediate(uint16_t w, uint16_t h);

  void RunBlend(TBlendRoutine routine, TAbstractSuperDIB* reader, const dib::TPixel* src, dib::TPixel* dst,
                int n, int m, ptrdiff_t srcStep, ptrdiff_t dstStep);

  TAngle FAngle = 0;
  bool FAutoSize = false;
  TDIBClipRect FClipRect;
  uint16_t FHeight = 0;
  bool FMasked = false;
  uint8_t FOpacity = 255;
  bool FOwnsPixels = true;
  double FScaleX = 100, FScaleY = 100;
  bool FTransparent = false;
  dib::TPixel FTransparentColor = 0;
  TTransparentMode FTransparentMode = TTransparentMode::tmAuto;
  uint16_t FWidth = 0;
  TBlendRoutine FBlend = &TAbstractSuperDIB::BlendCopy;
  TAbstractSuperDIB* FBlendSurface = nullptr;
  dib::TPixel* FPixels = nullptr;

private:
  // One row of a transformed draw's intermediate: only the rows and columns a draw's clip leaves
  // are rendered, one row at a time, and the buffer is kept for the next draw.
  std::vector<dib::TPixel> FTransformRow;

  void DrawDirect(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest, uint16_t SrcX,
                  uint16_t SrcY, TBlendRoutine routine, TAbstractSuperDIB* reader);
  void RunKernel(dib::TBlendKind kind, const dib::TPixel* src, dib::TPixel* dst, int n, int m,
                 ptrdiff_t srcStep, ptrdiff_t dstStep);
};

// Pixels in a plain heap block of Width x Height x 4 bytes; no platform objects.
class TCustomMemoryDIB : public TAbstractSuperDIB {
public:
  QV_CLASS(TCustomMemoryDIB)
  TCustomMemoryDIB() = default;
  TCustomMemoryDIB(uint16_t AWidth, uint16_t AHeight);  // CreateSize
  explicit TCustomMemoryDIB(TAbstractSuperDIB* Source);  // CreateReference
  ~TCustomMemoryDIB() override;

  // Takes a buffer of Width() x Height() pixels (from platform::AllocatePixelMemory) in place of
  // its own pixels, which it frees: a loaded picture becomes the surface without a copy. Nothing
  // happens for a surface that views another's pixels.
  void AdoptPixels(dib::TPixel* pixels);

protected:
  void AllocPixels() override;
  void FreePixels() override;
};

class TMemoryDIB : public TCustomMemoryDIB {
public:
  QV_CLASS(TMemoryDIB)
  using TCustomMemoryDIB::TCustomMemoryDIB;
};

// Pixels in a section of the GUI system, so that the toolkit's canvas can draw into them.
class TCustomWinDIB : public TAbstractSuperDIB {
public:
  QV_CLASS(TCustomWinDIB)
  TCustomWinDIB();
  TCustomWinDIB(uint16_t AWidth, uint16_t AHeight);     // CreateSize
  explicit TCustomWinDIB(TAbstractSuperDIB* Source);     // CreateReference
  ~TCustomWinDIB() override;

  // The device context over the pixels, or nullptr while there are none.
  TDeviceContext* Handle() const { return FSection ? &FSection->DC() : nullptr; }
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void AllocPixels() override;
  void FreePixels() override;

private:
  std::unique_ptr<TCanvas> FCanvas;
  std::unique_ptr<IDIBSection> FSection;
};

class TWinDIB : public TCustomWinDIB {
public:
  QV_CLASS(TWinDIB)
  using TCustomWinDIB::TCustomWinDIB;
};

// The failure a refused platform allocation raises: "Windows error (code) text", with the thread's
// last error code (ERROR_NOT_ENOUGH_MEMORY when the platform set none) and its message text.
[[noreturn]] void RaisePlatformError();
