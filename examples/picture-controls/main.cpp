// A window with a picture container: a tiled background, three overlapping pictures at
// opacities 255, 128 and 60 (the last turned by 30 degrees) and transparent labels on top.
// With QV_EXAMPLE_LOG naming a file, every pointer, click and focus event is written there.
#include <cstdlib>
#include <fstream>
#include <string>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/qt/QtBackend.h"

namespace {

// The colours the end-to-end test recomputes; pixels are 0xAARRGGBB.
constexpr uint32_t kTileDark = 0xFF2A3F55, kTileLight = 0xFF35506A;
constexpr uint32_t kColourA = 0xFFD04020, kColourB = 0xFF20A0E0, kColourC = 0xFF40E060;

class TEventLog {
public:
  TEventLog() {
    if (const char* path = std::getenv("QV_EXAMPLE_LOG")) FFile.open(path, std::ios::app);
  }
  void Write(const std::string& line) {
    if (FStatus) FStatus->SetCaption(line);
    if (!FFile.is_open()) return;
    FFile << line << '\n';
    FFile.flush();
  }
  void SetStatus(TLabel* status) { FStatus = status; }

private:
  std::ofstream FFile;
  TLabel* FStatus = nullptr;
};

// A 40 x 40 checkerboard of 20-pixel squares.
void PaintTile(TMemoryDIB* dib) {
  dib->SetSize(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) *dib->ScanPixel(x, y) = ((x / 20 + y / 20) % 2 == 0) ? kTileDark : kTileLight;
}

// A flat picture whose bottom `band` rows fade from its colour to white, for the eye.
void PaintPicture(TMemoryDIB* dib, int width, int height, uint32_t colour, int band) {
  dib->SetSize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = colour;
      if (y >= height - band) {
        pixel = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
          const uint32_t c = (colour >> shift) & 0xFF;
          pixel |= (c + (255 - c) * static_cast<uint32_t>(x) / static_cast<uint32_t>(width - 1)) << shift;
        }
      }
      *dib->ScanPixel(x, y) = pixel;
    }
}

class TPictureWindow : public TForm {
public:
  explicit TPictureWindow(TComponent* owner) : TForm(owner) {
    SetCaption("Picture controls");
    SetBorderStyle(TBorderStyle::bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetClientSize(520, 380);
    SetPosition(TPosition::poScreenCenter);
    SetShowHint(true);

    Images = new TDIBImageList(this);
    PaintTile(Images->DIBImages()->Add()->DIB());
    PaintPicture(Images->DIBImages()->Add()->DIB(), 200, 150, kColourA, 20);
    PaintPicture(Images->DIBImages()->Add()->DIB(), 200, 150, kColourB, 12);
    // Masked: the corners a turn uncovers get alpha 0 and let the pictures beneath show.
    TMemoryDIB* turned = Images->DIBImages()->Add()->DIB();
    PaintPicture(turned, 160, 100, kColourC, 0);
    turned->SetMasked(true);

    Container = new TDIBImageContainer(this);
    Container->SetParent(this);
    Container->SetBounds(0, 0, 520, 380);
    Container->SetDIBImageList(Images);
    Container->IndexImage()->SetDIBIndex(0);
    Container->SetTileMethod(TTileMethod::tmTile);

    AddImage("A", 1, Bounds(30, 40, 200, 150), 255, 0);
    AddImage("B", 2, Bounds(150, 110, 200, 150), 128, 1);
    TDIBImage* c = AddImage("C", 3, Bounds(250, 150, 160, 100), 60, 2);
    c->SetAutoSize(true);
    c->SetAngle(30);

    AddLabel("Opacity 255", Bounds(36, 44, 120, 16));
    AddLabel("Opacity 128", Bounds(236, 114, 110, 16));
    AddLabel("Opacity 60, turned 30\xC2\xB0", Bounds(360, 150, 150, 16));
    TLabel* status = AddLabel("Point at, click, double click or Tab through the pictures", Bounds(10, 352, 500, 18));
    Log.SetStatus(status);
    SetActiveControl(Container);
  }

private:
  TDIBImage* AddImage(const std::string& name, int index, TRect bounds, uint8_t opacity, TTabOrder tabOrder) {
    auto* image = new TDIBImage(this);
    image->SetParent(Container);
    image->SetDIBImageList(Images);
    image->IndexMain()->SetDIBIndex(index);
    image->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    image->SetOpacity(opacity);
    image->SetDIBTabOrder(tabOrder);
    image->SetHint("Picture " + name + " at opacity " + std::to_string(opacity));
    image->OnMouseEnter = [this, name](TObject*) { Log.Write("enter " + name); };
    image->OnMouseLeave = [this, name](TObject*) { Log.Write("leave " + name); };
    image->OnClick = [this, name](TObject*) { Log.Write("click " + name); };
    image->OnDblClick = [this, name](TObject*) { Log.Write("dblclick " + name); };
    image->OnEnter = [this, name](TObject*) { Log.Write("focus " + name); };
    image->OnExit = [this, name](TObject*) { Log.Write("unfocus " + name); };
    return image;
  }
  TLabel* AddLabel(const std::string& text, TRect bounds) {
    auto* label = new TLabel(this);
    label->SetParent(Container);
    label->SetAutoSize(false);
    label->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    label->SetTransparent(true);
    label->Font()->SetColor(0xFFFFFF);
    label->SetCaption(text);
    return label;
  }

  TEventLog Log;
  TDIBImageList* Images = nullptr;
  TDIBImageContainer* Container = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  TQtBackendScope backend(argc, argv);
  TApplication app(nullptr);
  app.Initialize();
  app.SetTitle("Picture controls");
  try {
    app.CreateForm<TPictureWindow>();
    app.Run();
  } catch (const std::exception& failure) {
    ShowFatalException(failure, "picture-controls");
    return 1;
  }
  return 0;
}
