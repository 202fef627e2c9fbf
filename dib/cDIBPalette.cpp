// The palette component: its entries, its lookup table, its streams and its message handler.
#include "dib/cDIBPalette.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "toolkit/Backend.h"
#include "toolkit/Forms.h"
#include "toolkit/Streaming.h"
#include "toolkit/Streams.h"

namespace {

// The toolkit's forms as the palette sees them.
class TFormPaletteAdapter : public IDIBPaletteForm {
public:
  explicit TFormPaletteAdapter(TCustomForm* form) : FForm(form) {}
  uintptr_t WindowHandle() const override { return FForm->Handle(); }
  // Palette realisation changes nothing on the true-colour displays the backend drives, so the
  // screen's context stands in for the window's.
  TDeviceContext* GetDC() override { return BackendInstalled() ? &Backend().ScreenDC() : nullptr; }
  void ReleaseDC(TDeviceContext*) override {}
  void Invalidate() override { FForm->Invalidate(); }
  void PaletteChanged(bool) override {}
  TWndMethod WindowProc() const override {
    if (FForm->WindowProc) return FForm->WindowProc;
    TCustomForm* form = FForm;
    return [form](TMessage& m) { form->WndProc(m); };
  }
  void SetWindowProc(TWndMethod proc) override { FForm->WindowProc = std::move(proc); }

private:
  TCustomForm* FForm;
};

TDIBPaletteFormResolver& Resolver() {
  static TDIBPaletteFormResolver resolver;
  return resolver;
}

std::unique_ptr<IDIBPaletteForm> DefaultForm(TComponent* owner) {
  auto* form = dynamic_cast<TCustomForm*>(owner);
  if (!form) return nullptr;
  return std::make_unique<TFormPaletteAdapter>(form);
}

}  // namespace

void SetDIBPaletteFormResolver(TDIBPaletteFormResolver resolver) { Resolver() = std::move(resolver); }

TDIBPalette::TDIBPalette(TComponent* Owner) : TComponent(Owner) {
  if (Owner) FForm = Resolver() ? Resolver()(Owner) : DefaultForm(Owner);
  if (!FForm) throw EDIBPaletteError("Palette owner must be a TCustomForm.");

  FEntries.reset(new (std::nothrow) TPaletteHandle::Entry[kDIBPaletteEntries]);
  if (!FEntries) throw EDIBPaletteError("Could not get enough memory for a palette.");
  // A grey ramp from white down: entry i is (255 - i) in every channel.
  for (int i = 0; i < kDIBPaletteEntries; ++i) {
    const auto v = static_cast<uint8_t>(255 - i);
    FEntries[i] = {v, v, v, 0};
  }
  RecreateHandle();

  if (!Owner->HasState(csDesigning)) {
    FSavedWndProc = FForm->WindowProc();
    FForm->SetWindowProc([this](TMessage& m) { PaletteWndProc(m); });
    FHandlerInstalled = true;
  }
}

TDIBPalette::~TDIBPalette() {
  // A form that is being destroyed takes its handler with it; otherwise it gets its own back.
  TComponent* owner = Owner();
  if (FHandlerInstalled && FForm && owner && !owner->HasState(csDestroying | csDesigning))
    FForm->SetWindowProc(FSavedWndProc);
}

void TDIBPalette::RecreateHandle() {
  FHandle = std::make_unique<TPaletteHandle>(
      std::vector<TPaletteHandle::Entry>(FEntries.get(), FEntries.get() + kDIBPaletteEntries));
}

// Acts on every assignment: switching on again rebuilds the table from the current entries.
void TDIBPalette::SetUseTable(bool v) {
  FUseTable = v;
  if (!v && FTable) FTable.reset();
  if (!FTable && v) FTable = std::make_unique<uint8_t[]>(kDIBPaletteTableSize);
  // While loading, the table comes from the stored DIBPaletteTable instead.
  if (v && !HasState(csLoading)) BuildTable();
}

void TDIBPalette::BuildTable() { BuildDIBPaletteTable(FEntries.get(), FTable.get()); }

void TDIBPalette::Loaded() {
  TComponent::Loaded();
  RecreateHandle();
}

namespace {

std::vector<uint8_t> ReadAll(TStream& stream) {
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(stream.Remaining(), 0)));
  if (!data.empty()) stream.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  return data;
}

}  // namespace

void TDIBPalette::DeclareStoredData(TFiler& filer) {
  TComponent::DeclareStoredData(filer);
  filer.DefineBinaryProperty(
      "DIBPaletteColors", [this](TStream& s) { ReadPaletteColors(ReadAll(s)); },
      [this](TStream& s) {
        const std::vector<uint8_t> data = WritePaletteColors();
        s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
      },
      true);
  filer.DefineBinaryProperty(
      "DIBPaletteTable", [this](TStream& s) { ReadPaletteTable(ReadAll(s)); },
      [this](TStream& s) {
        const std::vector<uint8_t> data = WritePaletteTable();
        if (!data.empty()) s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
      },
      FUseTable);
}

void TDIBPalette::ReadPaletteColors(std::span<const uint8_t> data) {
  if (data.empty()) return;
  if (data.size() != kDIBPaletteColorsSize) throw EDIBPaletteError("Invalid palette stream.");
  for (int i = 0; i < kDIBPaletteEntries; ++i)
    FEntries[i] = {data[i * 4], data[i * 4 + 1], data[i * 4 + 2], data[i * 4 + 3]};
  RecreateHandle();
}

std::vector<uint8_t> TDIBPalette::WritePaletteColors() const {
  std::vector<uint8_t> out(kDIBPaletteColorsSize);
  for (int i = 0; i < kDIBPaletteEntries; ++i) {
    out[i * 4] = FEntries[i].Red;
    out[i * 4 + 1] = FEntries[i].Green;
    out[i * 4 + 2] = FEntries[i].Blue;
    out[i * 4 + 3] = FEntries[i].Flags;
  }
  return out;
}

void TDIBPalette::ReadPaletteTable(std::span<const uint8_t> data) {
  if (!FTable) FTable = std::make_unique<uint8_t[]>(kDIBPaletteTableSize);
  std::memcpy(FTable.get(), data.data(), std::min(data.size(), kDIBPaletteTableSize));
}

std::vector<uint8_t> TDIBPalette::WritePaletteTable() const {
  if (!FTable) return {};
  return std::vector<uint8_t>(FTable.get(), FTable.get() + kDIBPaletteTableSize);
}

void TDIBPalette::PaletteWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_QUERYNEWPALETTE: {
      // Becoming the foreground window: realise as the foreground palette, then step back.
      Message.Result = 0;
      if (TDeviceContext* dc = FForm->GetDC()) {
        TPaletteHandle* previous = dc->SelectPalette(FHandle.get(), false);
        Message.Result = dc->RealizePalette();
        dc->SelectPalette(previous, true);
        dc->RealizePalette();
        FForm->ReleaseDC(dc);
      }
      if (Message.Result > 0) FForm->Invalidate();
      FForm->PaletteChanged(false);
      break;
    }
    case WM_PALETTECHANGED: {
      if (Message.WParam == FForm->WindowHandle()) break;  // our own realisation did it
      if (TDeviceContext* dc = FForm->GetDC()) {
        TPaletteHandle* previous = dc->SelectPalette(FHandle.get(), true);
        if (dc->RealizePalette() > 0) FForm->Invalidate();
        dc->SelectPalette(previous, true);
        dc->RealizePalette();
        FForm->ReleaseDC(dc);
      }
      break;
    }
    default:
      if (FSavedWndProc) FSavedWndProc(Message);
      break;
  }
}
