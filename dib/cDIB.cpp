// Surfaces: storage, settings, blending, the direct and transformed Draw, fills and filters.
#include "dib/cDIB.h"

#include "platform/PixelMemory.h"
#include "dib/cDIBFormat.h"
#include "toolkit/Streams.h"

#include <cmath>
#include <numbers>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dib/cDIBPalette.h"
#include "platform/WinTypes.h"

using dib::TPixel;

namespace {

// The drawing arithmetic is signed 32-bit and wraps like the original integer code did; these
// keep the wrap defined in C++.
inline int32_t Add32(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t Sub32(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }

// One axis of a direct draw after the clip: a negative destination start moves the source start
// by the whole source offset (not by |pos|; callers that draw at a negative position pass a source
// offset of 0, where both are the same) and shortens the run by it; the run then ends at the
// source's extent. Returns the run's length, below 1 when nothing is left; pos and src come back
// as the run's starts.
int32_t ClipRun(int32_t& pos, int32_t& src, int32_t len, int32_t extent) {
  if (pos < 0) {
    src = Sub32(src, pos);
    len = Sub32(len, src);
    if (len < 1) return 0;
    pos = 0;
  }
  int32_t end = Add32(src, len);
  if (end > extent) end = extent;
  return Sub32(end, src);
}

// The part of a direct draw that is left after the clip: destination and source origins, size.
struct TDirectRegion {
  int32_t X = 0, Y = 0, SrcX = 0, SrcY = 0, W = 0, H = 0;
};

// Where a direct draw of a width x height source lands: steps 1 to 7 of the clip against the
// destination's clip rectangle, the destination and the source. False when nothing is left.
bool ClipDirect(int32_t X, int32_t Y, int32_t W, int32_t H, uint16_t SrcX, uint16_t SrcY, int32_t width,
                int32_t height, const TDIBClipRect& clip, int32_t destWidth, int32_t destHeight,
                TDirectRegion& out) {
  // 1. Left and top clip; the source offsets stay 16-bit.
  if (X < clip.Left) {
    const int32_t d = Sub32(clip.Left, X);
    W = Sub32(W, d);
    SrcX = static_cast<uint16_t>(SrcX + d);
    X = clip.Left;
  }
  if (Y < clip.Top) {
    const int32_t d = Sub32(clip.Top, Y);
    H = Sub32(H, d);
    SrcY = static_cast<uint16_t>(SrcY + d);
    Y = clip.Top;
  }
  // 2. Right and bottom clip.
  if (Add32(X, W) > clip.Right) W = Add32(Sub32(clip.Right, X), 1);
  if (Add32(Y, H) > clip.Bottom) H = Add32(Sub32(clip.Bottom, Y), 1);
  // 3. The source's extent.
  if (Add32(SrcX, W) > width) W = width - SrcX;
  if (Add32(SrcY, H) > height) H = height - SrcY;
  // 4. Nothing left to draw.
  if (H <= 0 || W <= 0 || X > destWidth || Y > destHeight || Add32(X, width) < 0 || Add32(Y, height) < 0) return false;
  // 5. The destination's extent.
  if (Add32(X, W) > destWidth) W = destWidth - X;
  if (Add32(Y, H) > destHeight) H = destHeight - Y;
  // 6. Columns, 7. rows.
  int32_t sx = SrcX;
  const int32_t cw = ClipRun(X, sx, W, width);
  if (cw < 1) return false;
  int32_t sy = SrcY;
  const int32_t ch = ClipRun(Y, sy, H, height);
  if (ch < 1) return false;
  // The steps above keep the region inside both pictures; this makes sure of it whatever the
  // wrapped arithmetic did with absurd arguments.
  if (sx < 0 || sy < 0 || X < 0 || Y < 0 || int64_t{sx} + cw > width || int64_t{sy} + ch > height ||
      int64_t{X} + cw > destWidth || int64_t{Y} + ch > destHeight)
    return false;
  out = {X, Y, sx, sy, cw, ch};
  return true;
}

// Round to nearest with halves to even (the default rounding mode), saturated to 32 bits.
int32_t RoundToInt32(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

// Restores a surface's blend routine when DrawAlpha leaves, also on failure.
class TBlendRestorer {
public:
  TBlendRestorer(TAbstractSuperDIB::TBlendRoutine& routine, TAbstractSuperDIB*& reader)
      : FRoutine(routine), FReader(reader), FSavedRoutine(routine), FSavedReader(reader) {}
  ~TBlendRestorer() {
    FRoutine = FSavedRoutine;
    FReader = FSavedReader;
  }
  TBlendRestorer(const TBlendRestorer&) = delete;
  TBlendRestorer& operator=(const TBlendRestorer&) = delete;

private:
  TAbstractSuperDIB::TBlendRoutine& FRoutine;
  TAbstractSuperDIB*& FReader;
  TAbstractSuperDIB::TBlendRoutine FSavedRoutine;
  TAbstractSuperDIB* FSavedReader;
};

}  // namespace

void RaisePlatformError() {
  platform::DWORD code = platform::GetLastError();
  // A refusal the platform gave no reason for is, in practice, a shortage of memory.
  if (code == 0) code = static_cast<platform::DWORD>(platform::ERROR_NOT_ENOUGH_MEMORY);
  const char* text = "Unknown error.";
  switch (code) {
    case platform::ERROR_NOT_ENOUGH_MEMORY: text = "Not enough storage is available to process this command."; break;
    case platform::ERROR_INVALID_PARAMETER: text = "The parameter is incorrect."; break;
    case platform::ERROR_INVALID_HANDLE: text = "The handle is invalid."; break;
    case platform::ERROR_ACCESS_DENIED: text = "Access is denied."; break;
    default: break;
  }
  throw Exception(Format("Windows error (%u) %s", static_cast<unsigned>(code), text));
}

TPoint RotatedSize(uint16_t W, uint16_t H, uint16_t Angle, double ScaleX, double ScaleY) {
  const double a = -static_cast<double>(Angle) * std::numbers::pi / 180;
  const double w = W * ScaleX / 100, h = H * ScaleY / 100;
  return {RoundToInt32(std::fabs(std::cos(a) * w) + std::fabs(std::sin(a) * h)),
          RoundToInt32(std::fabs(std::sin(a) * w) + std::fabs(std::cos(a) * h))};
}

const TRotationTables& RotationTables() {
  static const TRotationTables tables = [] {
    TRotationTables t{};
    for (int d = 0; d < 360; ++d) {
      const double a = d * std::numbers::pi / 180;
      t.Sin256[d] = RoundToInt32(std::sin(a) * 256);
      t.Cos256[d] = RoundToInt32(std::cos(a) * 256);
      t.Sin256Quarter[d] = RoundToInt32(std::sin(a + std::numbers::pi / 2) * 256);
      t.Cos256Quarter[d] = RoundToInt32(std::cos(a + std::numbers::pi / 2) * 256);
    }
    return t;
  }();
  return tables;
}

// ---------------------------------------------------------------------------------------------
// Construction and storage

TAbstractSuperDIB::TAbstractSuperDIB() : FBlendSurface(this) { SetDefaults(); }

TAbstractSuperDIB::~TAbstractSuperDIB() = default;

void TAbstractSuperDIB::ReleaseOwnPixels() {
  if (FOwnsPixels && FPixels) FreePixels();
}

void TAbstractSuperDIB::SetDefaults() {
  FAngle = 0;
  FMasked = false;
  FOpacity = 255;
  FScaleX = 100;
  FScaleY = 100;
  FTransparent = false;
}

void TAbstractSuperDIB::SetSize(uint16_t AWidth, uint16_t AHeight) {
  if (AWidth == FWidth && AHeight == FHeight) return;
  ReleaseOwnPixels();
  // A view of another surface's buffer cannot take a new size: the buffer is not ours to resize.
  // It lets go of the view and gets a buffer of its own instead.
  if (!FOwnsPixels) {
    FPixels = nullptr;
    FOwnsPixels = true;
  }
  FWidth = AWidth ? AWidth : 1;
  FHeight = AHeight ? AHeight : 1;
  FClipRect = {0, 0, FWidth - 1, FHeight - 1};
  AllocPixels();
}

bool TAbstractSuperDIB::HasPixels() const { return FPixels != nullptr || !FOwnsPixels; }

void TAbstractSuperDIB::Reference(TAbstractSuperDIB* Source) {
  if (!Source) return;
  ReleaseOwnPixels();
  FOwnsPixels = false;
  Source->AssignProperties(this);  // copies Width and Height too, since we no longer own pixels
  FPixels = Source->FPixels;
}

void TAbstractSuperDIB::AssignProperties(TPersistent* Dest) {
  auto* d = dynamic_cast<TAbstractSuperDIB*>(Dest);
  if (!d) throw EDIBError(std::string("Cannot assign a TAbstractDIB to a ") + (Dest ? Dest->ClassName() : "nil"));
  d->FAngle = FAngle;
  d->FAutoSize = FAutoSize;
  d->FMasked = FMasked;
  d->FOpacity = FOpacity;
  d->FScaleX = FScaleX;
  d->FScaleY = FScaleY;
  d->FTransparent = FTransparent;
  d->FTransparentColor = FTransparentColor;
  d->FTransparentMode = FTransparentMode;
  d->FBlend = FBlend;
  d->FBlendSurface = FBlendSurface;
  if (!d->FOwnsPixels) {
    d->FWidth = FWidth;
    d->FHeight = FHeight;
  }
}

void TAbstractSuperDIB::CopyPixelsTo(TAbstractSuperDIB* Dest) {
  if (!Dest) return;
  Dest->SetSize(FWidth, FHeight);
  if (FWidth == 0 || FHeight == 0 || !FPixels || !Dest->FPixels) return;
  std::memmove(Dest->FPixels, FPixels, static_cast<size_t>(Dest->FWidth) * Dest->FHeight * sizeof(TPixel));
}

void TAbstractSuperDIB::CopyInto(TPersistent* Dest) {
  auto* d = dynamic_cast<TAbstractSuperDIB*>(Dest);
  if (!d) {
    TPersistent::CopyInto(Dest);
    return;
  }
  CopyPixelsTo(d);
  AssignProperties(d);
  d->Changed();
}

void TAbstractSuperDIB::DeclareStoredData(TFiler& filer) { DeclareDIBData(*this, filer); }

void TAbstractSuperDIB::ReadData(std::span<const uint8_t> data) { ReadDIBData(*this, data); }

std::vector<uint8_t> TAbstractSuperDIB::WriteData() const {
  TMemoryStream stream;
  WriteDIBData(*this, stream);
  return stream.TakeBytes();
}

void TAbstractSuperDIB::LoadFromFile(const std::string& fileName) { LoadDIBFromFile(*this, fileName); }

std::unique_ptr<TAbstractSuperDIB> TAbstractSuperDIB::CreateIntermediate(uint16_t w, uint16_t h) {
  return std::make_unique<TWinDIB>(w, h);
}

// ---------------------------------------------------------------------------------------------
// Settings

void TAbstractSuperDIB::Changed() {
  SelectBlend();
  if (OnChange) OnChange(this);
}

void TAbstractSuperDIB::SelectBlend() {
  FBlendSurface = this;
  if (FOpacity == 255)
    FBlend = FMasked ? &TAbstractSuperDIB::BlendAlpha
                     : FTransparent ? &TAbstractSuperDIB::BlendKey : &TAbstractSuperDIB::BlendCopy;
  else
    FBlend = FMasked ? &TAbstractSuperDIB::BlendAlphaOpacity
                     : FTransparent ? &TAbstractSuperDIB::BlendKeyOpacity : &TAbstractSuperDIB::BlendOpacity;
}

void TAbstractSuperDIB::SetAngle(TAngle v) {
  if (v == FAngle) return;
  FAngle = v;
  Changed();
}

void TAbstractSuperDIB::SetAutoSize(bool v) {
  if (v == FAutoSize) return;
  FAutoSize = v;
  Changed();
}

void TAbstractSuperDIB::SetMasked(bool v) {
  if (v == FMasked) return;
  FMasked = v;
  Changed();
}

void TAbstractSuperDIB::SetOpacity(uint8_t v) {
  if (v == FOpacity) return;
  FOpacity = v;
  Changed();
}

void TAbstractSuperDIB::SetScale(double v) {
  if (v == FScaleX && v == FScaleY) return;
  FScaleX = v;
  FScaleY = v;
  Changed();
}

void TAbstractSuperDIB::SetScaleX(double v) {
  if (v == FScaleX) return;
  FScaleX = v;
  Changed();
}

void TAbstractSuperDIB::SetScaleY(double v) {
  if (v == FScaleY) return;
  FScaleY = v;
  Changed();
}

void TAbstractSuperDIB::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  Changed();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode v) {
  if (v == FTransparentMode) return;
  FTransparentMode = v;
  Changed();
}

TPixel TAbstractSuperDIB::GetTransparentColor() const {
  if (FTransparentMode == TTransparentMode::tmFixed || !FPixels) return FTransparentColor;
  return FPixels[0];
}

void TAbstractSuperDIB::SetTransparentColor(TColor Color) {
  const TPixel key = ColorToPixel(Color);  // system colours are not resolved for the key
  if (key == GetTransparentColor()) return;
  FTransparentColor = key;
  Changed();
}

void TAbstractSuperDIB::SetClipRect(const TDIBClipRect& r) {
  FClipRect = r;
  if (FClipRect.Left > FClipRect.Right) std::swap(FClipRect.Left, FClipRect.Right);
  if (FClipRect.Top > FClipRect.Bottom) std::swap(FClipRect.Top, FClipRect.Bottom);
  // Left is not limited above nor Right below: a rectangle wholly outside stays empty.
  if (FClipRect.Right >= FWidth) FClipRect.Right = FWidth - 1;
  if (FClipRect.Left < 0) FClipRect.Left = 0;
  if (FClipRect.Bottom >= FHeight) FClipRect.Bottom = FHeight - 1;
  if (FClipRect.Top < 0) FClipRect.Top = 0;
}

// ---------------------------------------------------------------------------------------------
// Blend routines

void TAbstractSuperDIB::RunKernel(dib::TBlendKind kind, const TPixel* src, TPixel* dst, int n, int m,
                                  ptrdiff_t srcStep, ptrdiff_t dstStep) {
  if (n <= 0 || m <= 0) return;
  dib::TBlendArgs args;
  args.Opacity = FOpacity;
  if (kind == dib::TBlendKind::Key || kind == dib::TBlendKind::KeyOpacity) args.Key = GetTransparentColor();
  const dib::TRowKernel kernel = dib::ActiveKernel(kind);
  // Rows go from the top of the region down. When the two regions do not share memory the order
  // cannot show, so the rows are taken in ascending memory order instead, which the processor's
  // prefetching follows far better; rows that lie back to back become one long row.
  const TPixel* srcLow = src + (m - 1) * srcStep;
  TPixel* dstLow = dst + (m - 1) * dstStep;
  const bool down = srcStep < 0 && dstStep < 0;
  const auto srcBegin = reinterpret_cast<uintptr_t>(srcLow), dstBegin = reinterpret_cast<uintptr_t>(dstLow);
  const uintptr_t srcEnd = reinterpret_cast<uintptr_t>(src + n), dstEnd = reinterpret_cast<uintptr_t>(dst + n);
  const bool apart = srcEnd <= dstBegin || dstEnd <= srcBegin;
  if (down && apart) {
    if (srcStep == -n && dstStep == -n) {
      kernel(srcLow, dstLow, static_cast<size_t>(n) * static_cast<size_t>(m), args);
      return;
    }
    for (int row = 0; row < m; ++row, srcLow -= srcStep, dstLow -= dstStep) kernel(srcLow, dstLow, static_cast<size_t>(n), args);
    return;
  }
  for (int row = 0; row < m; ++row, src += srcStep, dst += dstStep) kernel(src, dst, static_cast<size_t>(n), args);
}

void TAbstractSuperDIB::BlendAlphaCopy(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::AlphaCopy, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendCopy(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::Copy, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendOpacity(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::Opacity, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendAlpha(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::Alpha, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendAlphaOpacity(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss,
                                          ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::AlphaOpacity, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendKey(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::Key, s, d, n, m, ss, ds);
}
void TAbstractSuperDIB::BlendKeyOpacity(const TPixel* s, TPixel* d, int n, int m, ptrdiff_t ss, ptrdiff_t ds) {
  RunKernel(dib::TBlendKind::KeyOpacity, s, d, n, m, ss, ds);
}

void TAbstractSuperDIB::RunBlend(TBlendRoutine routine, TAbstractSuperDIB* reader, const TPixel* src,
                                 TPixel* dst, int n, int m, ptrdiff_t srcStep, ptrdiff_t dstStep) {
  (reader->*routine)(src, dst, n, m, srcStep, dstStep);
}

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// The columns c in [lo, hi] for which |start + c * step| < limit.
void Constrain(int64_t start, int64_t step, int64_t limit, int64_t& lo, int64_t& hi) {
  // |v| < limit  <=>  -(limit - 1) <= v <= limit - 1.
  const int64_t minV = -(limit - 1), maxV = limit - 1;
  if (limit <= 0) {
    hi = lo - 1;
    return;
  }
  if (step == 0) {
    if (start < minV || start > maxV) hi = lo - 1;
    return;
  }
  int64_t a, b;
  if (step > 0) {
    a = CeilDiv(minV - start, step);
    b = FloorDiv(maxV - start, step);
  } else {
    a = CeilDiv(maxV - start, step);
    b = FloorDiv(minV - start, step);
  }
  lo = std::max(lo, a);
  hi = std::min(hi, b);
}

// Division by 256 truncating toward zero, as the original integer division did.
inline int32_t Div256(int32_t v) { return (v + ((v >> 31) & 255)) >> 8; }

// The mapping of RenderTransformed onto a DW x DH picture, a stored row (or part of one) at a
// time: row r, column c samples the source at (Hh + i, Wh + j) with i and j the 8.8 fixed-point
// position (x0 + r vx + c ux, y0 + r vy + c uy) divided by 256, and is the background outside it.
class TTransformSampler {
public:
  TTransformSampler(const TAbstractSuperDIB& s, int32_t DW, int32_t DH) : FW(s.Width()), FH(s.Height()), FDW(DW) {
    const double sx = s.ScaleX() / 100, sy = s.ScaleY() / 100;
    if (!s.Pixels() || FW * sx == 0 || FH * sy == 0 || std::isnan(FW * sx) || std::isnan(FH * sy)) return;
    FValid = true;
    FBackground = s.Masked() ? 0 : s.GetTransparentColor();
    const TRotationTables& t = RotationTables();
    const int A = s.Angle() % 360;  // the tables have 360 entries; a larger angle turns on round
    // Steps in 8.8 fixed point; the table entry times the size is an integer product.
    FUx = RoundToInt32(static_cast<double>(t.Cos256[A] * FW) / (FW * sx));
    FUy = RoundToInt32(static_cast<double>(t.Sin256[A] * FH) / (FH * sy));
    FVx = RoundToInt32(static_cast<double>(t.Cos256Quarter[A] * FW) / (FW * sx));
    FVy = RoundToInt32(static_cast<double>(t.Sin256Quarter[A] * FH) / (FH * sy));
    FX0 = Sub32(-static_cast<int32_t>(static_cast<uint32_t>(FUx) * static_cast<uint32_t>(DW / 2)),
                static_cast<int32_t>(static_cast<uint32_t>(DH / 2) * static_cast<uint32_t>(FVx)));
    FY0 = Sub32(-static_cast<int32_t>(static_cast<uint32_t>(FUy) * static_cast<uint32_t>(DW / 2)),
                static_cast<int32_t>(static_cast<uint32_t>(DH / 2) * static_cast<uint32_t>(FVy)));
    FWh = FW / 2;
    FHh = FH / 2;
    // The lowest row and leftmost column (and for odd sizes the highest and rightmost) are never
    // read: |i| < Hh and |j| < Wh.
    FCentre = s.Pixels() + static_cast<ptrdiff_t>(FHh) * FW + FWh;
  }
  // False for a zero or undefined scale and for a source without pixels: nothing to sample.
  bool Valid() const { return FValid; }

  // Columns [c0, c1) of stored row r into out[0 .. c1 - c0).
  void Row(TPixel* out, int32_t r, int32_t c0, int32_t c1) const {
    int32_t x = Add32(FX0, static_cast<int32_t>(static_cast<uint32_t>(r) * static_cast<uint32_t>(FVx)));
    int32_t y = Add32(FY0, static_cast<int32_t>(static_cast<uint32_t>(r) * static_cast<uint32_t>(FVy)));
    const int64_t xEnd = int64_t{x} + int64_t{FDW - 1} * FUx, yEnd = int64_t{y} + int64_t{FDW - 1} * FUy;
    const bool wraps = xEnd < INT32_MIN || xEnd > INT32_MAX || yEnd < INT32_MIN || yEnd > INT32_MAX;
    if (!wraps) {
      // Without wrap-around the samples inside the source form one run of columns.
      int64_t lo = c0, hi = c1 - 1;
      Constrain(x, FUx, int64_t{FWh} * 256, lo, hi);
      Constrain(y, FUy, int64_t{FHh} * 256, lo, hi);
      if (lo > hi) lo = hi = c1;
      int32_t c = c0;
      for (; c < lo; ++c) out[c - c0] = FBackground;
      x = static_cast<int32_t>(x + lo * FUx);
      y = static_cast<int32_t>(y + lo * FUy);
      for (; c <= hi && c < c1; ++c, x += FUx, y += FUy)
        out[c - c0] = FCentre[static_cast<ptrdiff_t>(Div256(y)) * FW + Div256(x)];
      for (; c < c1; ++c) out[c - c0] = FBackground;
      return;
    }
    x = Add32(x, static_cast<int32_t>(static_cast<uint32_t>(c0) * static_cast<uint32_t>(FUx)));
    y = Add32(y, static_cast<int32_t>(static_cast<uint32_t>(c0) * static_cast<uint32_t>(FUy)));
    for (int32_t c = c0; c < c1; ++c) {
      const int32_t i = y / 256, j = x / 256;
      out[c - c0] = (-FHh < i && i < FHh && -FWh < j && j < FWh) ? FCentre[static_cast<ptrdiff_t>(i) * FW + j] : FBackground;
      x = Add32(x, FUx);
      y = Add32(y, FUy);
    }
  }

private:
  int32_t FW, FH, FDW;
  bool FValid = false;
  TPixel FBackground = 0;
  int32_t FUx = 0, FUy = 0, FVx = 0, FVy = 0, FX0 = 0, FY0 = 0, FWh = 0, FHh = 0;
  const TPixel* FCentre = nullptr;
};

}  // namespace


void TAbstractSuperDIB::Draw(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest,
                             uint16_t SrcX, uint16_t SrcY) {
  if (!Dest) return;
  if (FAngle == 0 && FScaleX == 100 && FScaleY == 100) {
    DrawDirect(X, Y, W, H, Dest, SrcX, SrcY, FBlend, FBlendSurface);
    return;
  }

  // Transformed: the picture rotated and scaled into an intermediate of this size, which is then
  // drawn directly.
  int64_t iw = W, ih = H;
  if (FAutoSize) {
    const double a = FAngle * std::numbers::pi / 180;
    const double w = W * FScaleX / 100, h = H * FScaleY / 100;
    const double fw = std::nearbyint(std::fabs(std::cos(a) * w) + std::fabs(std::sin(a) * h));
    const double fh = std::nearbyint(std::fabs(std::sin(a) * w) + std::fabs(std::cos(a) * h));
    iw = std::isfinite(fw) && fw < 1e9 ? static_cast<int64_t>(fw) : -1;
    ih = std::isfinite(fh) && fh < 1e9 ? static_cast<int64_t>(fh) : -1;
  }
  // The intermediate's sides are 16-bit; a size outside that range has no picture to make.
  if (iw < 0 || ih < 0 || iw > 65535 || ih > 65535) return;
  // As for any surface, a side of 0 becomes 1.
  iw = std::max<int64_t>(iw, 1);
  ih = std::max<int64_t>(ih, 1);
  if (Dest == this) {
    // Drawing onto itself reads what it writes: the whole intermediate must exist first.
    std::unique_ptr<TAbstractSuperDIB> inter =
        CreateIntermediate(static_cast<uint16_t>(iw), static_cast<uint16_t>(ih));
    RenderTransformed(inter.get());
    inter->DrawDirect(X, Y, inter->FWidth, inter->FHeight, Dest, 0, 0, FBlend, FBlendSurface);
    return;
  }
  // Only the part of the intermediate that survives the clip is ever read, so only that part is
  // rendered, a row at a time into a buffer that lives as long as the surface: a repaint of a
  // small rectangle costs that rectangle, and no paint allocates once the buffer is wide enough.
  if (!Dest->FPixels || !FBlendSurface) return;
  const int32_t destWidth = Dest->FWidth;
  TDirectRegion region;
  if (!ClipDirect(X, Y, static_cast<int32_t>(iw), static_cast<int32_t>(ih), 0, 0, static_cast<int32_t>(iw),
                  static_cast<int32_t>(ih), Dest->FClipRect, destWidth, Dest->FHeight, region))
    return;
  const TTransformSampler sampler(*this, static_cast<int32_t>(iw), static_cast<int32_t>(ih));
  if (FTransformRow.size() < static_cast<size_t>(region.W)) FTransformRow.resize(static_cast<size_t>(region.W));
  TPixel* row = FTransformRow.data();
  for (int32_t k = 0; k < region.H; ++k) {
    // Stored rows of the intermediate are bottom-up like any surface's.
    const int32_t stored = static_cast<int32_t>(ih) - 1 - (region.SrcY + k);
    // Without a picture to sample the intermediate keeps the zeros it was made with.
    if (sampler.Valid()) sampler.Row(row, stored, region.SrcX, region.SrcX + region.W);
    else std::fill_n(row, region.W, TPixel{0});
    // This surface's routine, reading this surface: its opacity, mask and key apply, and the key
    // also matches the background the sampler wrote around the picture.
    RunBlend(FBlend, FBlendSurface, row, Dest->ScanPixel(region.X, region.Y + k), region.W, 1,
             -static_cast<ptrdiff_t>(region.W), -static_cast<ptrdiff_t>(destWidth));
  }
  Dest->Changed();
}

void TAbstractSuperDIB::DrawAlpha(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest,
                                  uint16_t SrcX, uint16_t SrcY) {
  TBlendRestorer restore(FBlend, FBlendSurface);
  FBlend = &TAbstractSuperDIB::BlendAlphaCopy;
  FBlendSurface = this;
  Draw(X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawDirect(int32_t X, int32_t Y, int32_t W, int32_t H, TAbstractSuperDIB* Dest,
                                   uint16_t SrcX, uint16_t SrcY, TBlendRoutine routine,
                                   TAbstractSuperDIB* reader) {
  if (!FPixels || !Dest->FPixels || !reader) return;
  TDirectRegion region;
  if (!ClipDirect(X, Y, W, H, SrcX, SrcY, FWidth, FHeight, Dest->FClipRect, Dest->FWidth, Dest->FHeight, region))
    return;
  // 8. Top row of each region first; each side steps down its own picture.
  RunBlend(routine, reader, ScanPixel(region.SrcX, region.SrcY), Dest->ScanPixel(region.X, region.Y), region.W,
           region.H, -static_cast<ptrdiff_t>(FWidth), -static_cast<ptrdiff_t>(Dest->FWidth));
  // 9.
  Dest->Changed();
}

void TAbstractSuperDIB::RenderTransformed(TAbstractSuperDIB* Dest) {
  if (!Dest || !Dest->FPixels || !FPixels) return;
  const int32_t DW = Dest->FWidth, DH = Dest->FHeight;
  const TTransformSampler sampler(*this, DW, DH);
  if (!sampler.Valid()) return;
  for (int32_t r = 0; r < DH; ++r) sampler.Row(Dest->FPixels + static_cast<ptrdiff_t>(r) * DW, r, 0, DW);
  Dest->Changed();
}

// ---------------------------------------------------------------------------------------------
// Fills

void TAbstractSuperDIB::Fill(TColor Color) {
  const TPixel p = ColorToPixel(ColorToRGB(Color));
  if (FPixels) std::fill_n(FPixels, static_cast<size_t>(FWidth) * FHeight, p);
  Changed();
}

void TAbstractSuperDIB::FillRect(TColor Color, int32_t X, int32_t Y, int32_t W, int32_t H) {
  if (!FPixels) return;
  const int32_t width = FWidth, height = FHeight;
  if (W < 1 || H < 1 || Add32(X, W) < 0 || Add32(Y, H) < 0 || X >= width || Y >= height) return;
  if (X < 0) {
    W = Add32(W, X);
    X = 0;
  }
  if (Y < 0) {
    H = Add32(H, Y);
    Y = 0;
  }
  if (W <= 0 || H <= 0) return;
  if (Add32(X, W) > width) W = width - X;
  if (Add32(Y, H) > height) H = height - Y;
  if (int64_t{X} + W > width || int64_t{Y} + H > height || W <= 0 || H <= 0) return;
  const TPixel p = ColorToPixel(ColorToRGB(Color));
  for (int32_t row = 0; row < H; ++row) std::fill_n(ScanPixel(X, Y + row), W, p);
}

void TAbstractSuperDIB::SetAlpha(uint8_t A) {
  if (FPixels) {
    const size_t n = static_cast<size_t>(FWidth) * FHeight;
    const TPixel a = static_cast<TPixel>(A) << 24;
    TPixel* p = FPixels;
    size_t i = 0;
#if defined(__SSE2__)
    // Four pixels a step; left to itself the compiler writes the alpha bytes one at a time.
    const __m128i colour = _mm_set1_epi32(static_cast<int>(dib::kColourMask));
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(a));
    for (; i + 4 <= n; i += 4) {
      __m128i* q = reinterpret_cast<__m128i*>(p + i);
      _mm_storeu_si128(q, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(q), colour), alpha));
    }
#endif
    for (; i < n; ++i) p[i] = (p[i] & dib::kColourMask) | a;
  }
  Changed();
}

// ---------------------------------------------------------------------------------------------
// 8-bit output and filters

void TAbstractSuperDIB::Render8Bit(TDeviceContext& DC, int32_t X, int32_t Y, int32_t W, int32_t H,
                                   uint16_t SrcX, uint16_t SrcY, uint32_t /*Rop: accepted, not used*/,
                                   const TDIBPalette* Palette) {
  if (!Palette || !Palette->UseTable() || !Palette->Table())
    throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
  if (DC.GetDeviceCaps(BITSPIXEL) != 8) throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
  if (!FPixels || SrcX >= FWidth || SrcY >= FHeight) return;
  // A negative position recomputes the extent from the whole picture without moving the source.
  if (X < 0) {
    W = FWidth - (X == INT32_MIN ? INT32_MAX : -X);
    X = 0;
  }
  if (Y < 0) {
    H = FHeight - (Y == INT32_MIN ? INT32_MAX : -Y);
    Y = 0;
  }
  if (W < 1 || H < 1) return;
  if (int64_t{SrcX} + W > FWidth) W = FWidth - SrcX;
  if (int64_t{SrcY} + H > FHeight) H = FHeight - SrcY;

  // The 8-bit picture: rows padded to four bytes, top row first, colour table from the palette.
  const int rowStep = (W + 3) & ~3;
  std::vector<uint8_t> bits;
  std::vector<uint32_t> colours;
  platform::SetLastError(0);
  try {
    bits.resize(static_cast<size_t>(rowStep) * H);
    colours.resize(kDIBPaletteEntries);
  } catch (const std::bad_alloc&) {
    RaisePlatformError();
  }
  const TPaletteHandle::Entry* entries = Palette->Entries();
  for (int i = 0; i < kDIBPaletteEntries; ++i)
    colours[i] = static_cast<uint32_t>(entries[i].Red) << 16 | static_cast<uint32_t>(entries[i].Green) << 8 |
                 entries[i].Blue;
  const uint8_t* table = Palette->Table();
  for (int32_t row = 0; row < H; ++row) {
    const TPixel* src = ScanPixel(SrcX, SrcY + row);
    uint8_t* dst = bits.data() + static_cast<size_t>(row) * rowStep;
    for (int32_t i = 0; i < W; ++i) dst[i] = table[DIBPaletteTableIndex(src[i])];
  }
  DC.SetDIBitsToDevice8(X, Y, W, H, bits.data(), rowStep, colours.data(), kDIBPaletteEntries);
}

void TAbstractSuperDIB::ApplyFilter(const TDIBFilter& Filter) {
  if (!FPixels) return;
  std::unique_ptr<TAbstractSuperDIB> inter = CreateIntermediate(FWidth, FHeight);
  // The divisor takes part in 16-bit division; a record divisor that is 0 in 16 bits divides
  // nothing rather than by zero.
  int16_t divisor;
  if (Filter.Divisor > 0) {
    divisor = static_cast<int16_t>(Filter.Divisor);
  } else {
    int16_t sum = 0;
    for (int16_t w : Filter.Weights) sum = static_cast<int16_t>(sum + w);
    divisor = sum;
  }
  const int16_t addend[3] = {Filter.BlueAdd, Filter.GreenAdd, Filter.RedAdd};  // channel order B, G, R
  for (int y = 1; y + 1 < FHeight; ++y) {
    for (int x = 1; x + 1 < FWidth; ++x) {
      TPixel out = *ScanPixel(x, y) & 0xFF000000u;
      for (int ch = 0; ch < 3; ++ch) {
        int16_t acc = 0;
        for (int ky = 0; ky < 3; ++ky)
          for (int kx = 0; kx < 3; ++kx) {
            const int v = (*ScanPixel(x + kx - 1, y + ky - 1) >> (8 * ch)) & 0xFF;
            acc = static_cast<int16_t>(acc + static_cast<int16_t>(Filter.Weights[ky * 3 + kx] * v));
          }
        acc = static_cast<int16_t>(acc + addend[ch]);
        if (divisor != 0) acc = static_cast<int16_t>(acc / divisor);
        const int c = acc < 0 ? 0 : acc > 255 ? 255 : acc;
        out |= static_cast<TPixel>(c) << (8 * ch);
      }
      *inter->ScanPixel(x, y) = out;
    }
  }
  inter->SetOpacity(Filter.Opacity);
  inter->Draw(0, 0, FWidth, FHeight, this, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Memory surfaces

TCustomMemoryDIB::TCustomMemoryDIB(uint16_t AWidth, uint16_t AHeight) {
  SetSize(AWidth, AHeight);
  SetClipRect(0, 0, AWidth, AHeight);
}

TCustomMemoryDIB::TCustomMemoryDIB(TAbstractSuperDIB* Source) { Reference(Source); }

TCustomMemoryDIB::~TCustomMemoryDIB() { ReleaseOwnPixels(); }

void TCustomMemoryDIB::AllocPixels() {
  FPixels = static_cast<TPixel*>(platform::AllocatePixelMemory(static_cast<size_t>(FWidth) * FHeight * sizeof(TPixel)));
  if (!FPixels) throw EOutOfResources("Out of memory");
}

void TCustomMemoryDIB::AdoptPixels(dib::TPixel* pixels) {
  if (!OwnsPixels() || !pixels) return;
  ReleaseOwnPixels();
  FPixels = pixels;
}

void TCustomMemoryDIB::FreePixels() {
  platform::FreePixelMemory(FPixels);
  FPixels = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Surfaces the toolkit can draw into

TCustomWinDIB::TCustomWinDIB() : FCanvas(std::make_unique<TCanvas>()) {
  // Drawing through the canvas changes the pixels, so it notifies like any other change.
  FCanvas->OnChange = [this](TObject*) { Changed(); };
}

TCustomWinDIB::TCustomWinDIB(uint16_t AWidth, uint16_t AHeight) : TCustomWinDIB() {
  SetSize(AWidth, AHeight);
  SetClipRect(0, 0, AWidth, AHeight);
}

TCustomWinDIB::TCustomWinDIB(TAbstractSuperDIB* Source) : TCustomWinDIB() { Reference(Source); }

TCustomWinDIB::~TCustomWinDIB() {
  FCanvas.reset();
  ReleaseOwnPixels();
}

void TCustomWinDIB::AllocPixels() {
  platform::SetLastError(0);
  std::unique_ptr<IDIBSection> section = Backend().CreateDIBSection(FWidth, FHeight);
  if (!section) RaisePlatformError();  // the surface keeps its new size and has no buffer
  section->Flush();
  FPixels = reinterpret_cast<TPixel*>(section->Bits());
  FSection = std::move(section);
  if (FCanvas) FCanvas->SetHandle(&FSection->DC());
}

void TCustomWinDIB::FreePixels() {
  if (FSection) {
    FSection->Flush();
    // The canvas must not keep drawing on a device context that is gone.
    if (FCanvas) FCanvas->SetHandle(nullptr);
    FSection.reset();
  }
  FPixels = nullptr;
}
