#include "dib/cDIBFormat.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "dib/cDIBCompressor.h"
#include "toolkit/Pictures.h"

void LoadDIBFromFile(TAbstractSuperDIB& DIB, const std::string& FileName) {
  TPicture picture;
  TWinDIB intermediate;
  picture.LoadFromFile(FileName);
  DIB.SetSize(static_cast<uint16_t>(picture.Width()), static_cast<uint16_t>(picture.Height()));
  auto* decoded = dynamic_cast<TPixelGraphic*>(picture.Graphic());
  const TDIBClipRect whole{0, 0, DIB.Width() - 1, DIB.Height() - 1};
  bool alphaIsOpaque = false;
  if (decoded && !decoded->HasAlpha() && decoded->Pixels() && DIB.Pixels() && decoded->Width() == DIB.Width() &&
      decoded->Height() == DIB.Height() && DIB.ClipRect() == whole) {
    // An opaque picture drawn over the whole zeroed intermediate leaves exactly its own pixels
    // there, and the intermediate's plain copy into an unclipped surface moves them unchanged: so
    // copy them straight into the surface (rows turned bottom-up), with the copy's notification. Same pixels, same
    // notifications, one pass over the picture instead of two.
    const TPixelView view = decoded->View();
    alphaIsOpaque = decoded->AlphaIsOpaque();
    const size_t rowBytes = static_cast<size_t>(DIB.Width()) * 4;
    auto* memory = dynamic_cast<TCustomMemoryDIB*>(&DIB);
    if (memory && memory->OwnsPixels() && std::abs(view.RowStep) == static_cast<intptr_t>(rowBytes)) {
      // A memory surface takes the decoded buffer itself (its rows swapped in place when they
      // came top-down): no second picture-sized buffer to fault in and fill, which is most of
      // what a cold start spends.
      const bool bottomUp = decoded->BottomUp();
      uint8_t* pixels = decoded->ReleasePixels();
      std::vector<uint8_t> spare(bottomUp ? 0 : rowBytes);
      for (int top = 0, bottom = DIB.Height() - 1; !bottomUp && top < bottom; ++top, --bottom) {
        uint8_t* a = pixels + static_cast<size_t>(top) * rowBytes;
        uint8_t* b = pixels + static_cast<size_t>(bottom) * rowBytes;
        std::memcpy(spare.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, spare.data(), rowBytes);
      }
      memory->AdoptPixels(reinterpret_cast<dib::TPixel*>(pixels));
    } else {
      auto* target = reinterpret_cast<uint8_t*>(DIB.Pixels());
      for (int y = 0; y < DIB.Height(); ++y)
        std::memcpy(target + static_cast<size_t>(DIB.Height() - 1 - y) * rowBytes, view.Origin + y * view.RowStep,
                    rowBytes);
    }
    DIB.Changed();
  } else {
    intermediate.SetSize(DIB.Width(), DIB.Height());
    picture.Graphic()->Draw(*intermediate.Canvas(), 0, 0);
    intermediate.Draw(0, 0, DIB.Width(), DIB.Height(), &DIB, 0, 0);
  }
  // The surface holds the decoder's own pixels when their alpha is known to be 255: making them
  // opaque changes nothing but is still announced.
  if (alphaIsOpaque) DIB.Changed();
  else DIB.SetAlpha(255);
  DIB.Changed();
}

namespace {

// Reads the raw block from Block's position.
void ReadRawBlock(TAbstractSuperDIB& DIB, TStream& Block) {
  const auto width = Block.ReadLE<uint16_t>();
  const auto height = Block.ReadLE<uint16_t>();
  // SetSize turns a zero dimension into 1; the claim is what SetSize will allocate.
  const int64_t claimed = int64_t{width ? width : 1} * (height ? height : 1) * 4;
  const int64_t present = Block.Remaining();
  if (claimed > present && claimed - present > present && claimed > 65536)
    throw EReadError(Format("Data block claims %ux%u pixels but holds %lld bytes", width, height,
                            static_cast<long long>(present)));
  DIB.SetSize(width, height);
  const int64_t bytes = int64_t{DIB.Width()} * DIB.Height() * 4;
  Block.Read(DIB.Pixels(), bytes);
  DIB.Changed();
}

}  // namespace

void ReadDIBData(TAbstractSuperDIB& DIB, TStream& Stream) {
  TMemoryStream raw;
  DecompressStream(Stream, raw);
  raw.SetPosition(0);
  ReadRawBlock(DIB, raw);
}

void ReadDIBData(TAbstractSuperDIB& DIB, std::span<const uint8_t> Data) {
  TBytesStream stream(Data);
  ReadDIBData(DIB, stream);
}

void WriteDIBData(const TAbstractSuperDIB& DIB, TStream& Stream) {
  TMemoryStream raw;
  raw.WriteLE<uint16_t>(DIB.Width());
  raw.WriteLE<uint16_t>(DIB.Height());
  if (DIB.Pixels()) raw.WriteBuffer(DIB.Pixels(), int64_t{DIB.Width()} * DIB.Height() * 4);
  raw.SetPosition(0);
  CompressStream(raw, Stream);
}

void DeclareDIBData(TAbstractSuperDIB& DIB, TFiler& Filer) {
  Filer.DefineBinaryProperty(
      "Data", [&DIB](TStream& s) { ReadDIBData(DIB, s); }, [&DIB](TStream& s) { WriteDIBData(DIB, s); },
      DIB.Pixels() != nullptr);
}

namespace {

// A size read from a stored form must be paid for by the bytes that follow it (the Data block
// that a surface with pixels always carries); a claim beyond them is a damaged stream.
void CheckSizeBudget(const TAbstractSuperDIB* dib, int64_t width, int64_t height) {
  const int64_t budget = TReader::CurrentBudget();
  if (budget < 0) return;
  const int64_t bytes = std::max<int64_t>(width, 1) * std::max<int64_t>(height, 1) * 4;
  const int64_t now = int64_t{dib->Width()} * dib->Height() * 4;
  if (bytes > now && bytes > budget + 65536) throw EReadError("Invalid property value");
}

}  // namespace

void RegisterDIBClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    using T = TAbstractSuperDIB;
    auto base = RegisterClassInfo<T, TPersistent>();
    base.Integer("Angle", &T::Angle, &T::SetAngle)
        .Boolean("AutoSize", &T::AutoSize, &T::SetAutoSize)
        .Integer<uint16_t>("Height", &T::Height, [](T* d, uint16_t v) {
          CheckSizeBudget(d, d->Width(), v);
          d->SetHeight(v);
        })
        .Boolean("Masked", &T::Masked, &T::SetMasked)
        .Integer("Opacity", &T::Opacity, &T::SetOpacity)
        .Float("Scale", &T::Scale, &T::SetScale)
        .Boolean("Transparent", &T::Transparent, &T::SetTransparent)
        // Kept in pixel form by the surface; stored in the colour form its setter takes (the
        // same byte exchange undoes itself), so that it reads back as it was.
        .Integer<int32_t>(
            "TransparentColor", [](T* d) { return static_cast<int32_t>(ColorToPixel(static_cast<TColor>(d->TransparentColor()))); },
            [](T* d, int32_t v) { d->SetTransparentColor(v); })
        .Enum("TransparentMode", &T::TransparentMode, &T::SetTransparentMode, {"tmAuto", "tmFixed"})
        .Integer<uint16_t>("Width", &T::Width, [](T* d, uint16_t v) {
          CheckSizeBudget(d, v, d->Height());
          d->SetWidth(v);
        });
    base.Info().DeclareStoredData = [](TPersistent* p, TFiler& filer) {
      DeclareDIBData(*static_cast<TAbstractSuperDIB*>(p), filer);
    };
    RegisterClassInfo<TCustomMemoryDIB, TAbstractSuperDIB>();
    RegisterClassInfo<TMemoryDIB, TCustomMemoryDIB>();
    RegisterClassInfo<TCustomWinDIB, TAbstractSuperDIB>()
        .Object("Canvas", &TCustomWinDIB::Canvas)
        .StoredWhen([](TCustomWinDIB*) { return false; })
        .Integer<int64_t>("Handle", [](TCustomWinDIB* d) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(d->Handle())); }, nullptr)
        .StoredWhen([](TCustomWinDIB*) { return false; });
    RegisterClassInfo<TWinDIB, TCustomWinDIB>();
  });
}
