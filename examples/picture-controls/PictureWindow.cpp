#include "examples/picture-controls/PictureWindow.h"

#include <cstdlib>
#include <exception>

#include "dibcontrols/DIBControlsRegistration.h"
#include "toolkit/Streaming.h"

namespace {

// A 40 x 40 checkerboard of 20-pixel squares.
void PaintTile(TMemoryDIB* dib) {
  dib->SetSize(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      *dib->ScanPixel(x, y) = ((x / 20 + y / 20) % 2 == 0) ? PictureColours::TileDark : PictureColours::TileLight;
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

}  // namespace

TPictureWindow::TPictureWindow(TComponent* owner) : TForm(owner) {
  Register();
  ReadFormResource(this, kPictureWindowForm);
  FImages = StoredComponent<TDIBImageList>(this, "dilPictures");
  FScene = StoredComponent<TDIBImageContainer>(this, "dicScene");
  FStatus = StoredComponent<TLabel>(this, "lblStatus");
  SetActiveControl(FScene);
  if (const char* path = std::getenv("QV_EXAMPLE_LOG")) FLogFile.open(path, std::ios::app);
}

void TPictureWindow::Register() {
  RegisterDIBControlClasses();
  if (FindClassInfo(StaticClassName())) return;
  RegisterClassInfo<TPictureWindow, TForm>()
      .PublishedMethod("FormCreate", &TPictureWindow::FormCreate)
      .PublishedMethod("imgMouseEnter", &TPictureWindow::imgMouseEnter)
      .PublishedMethod("imgMouseLeave", &TPictureWindow::imgMouseLeave)
      .PublishedMethod("imgClick", &TPictureWindow::imgClick)
      .PublishedMethod("imgDblClick", &TPictureWindow::imgDblClick)
      .PublishedMethod("imgEnter", &TPictureWindow::imgEnter)
      .PublishedMethod("imgExit", &TPictureWindow::imgExit);
}

TDIBImage* TPictureWindow::Picture(char letter) const {
  return dynamic_cast<TDIBImage*>(FindComponent(std::string("img") + letter));
}

// The image list holds the tile, then pictures A, B and C, as the stored links expect.
void TPictureWindow::FormCreate(TObject*) {
  TDIBImages* images = FImages->DIBImages();
  PaintTile(images->Add()->DIB());
  PaintPicture(images->Add()->DIB(), 200, 150, PictureColours::A, 20);
  PaintPicture(images->Add()->DIB(), 200, 150, PictureColours::B, 12);
  // Masked: the corners a turn uncovers get alpha 0 and let the pictures beneath show.
  TMemoryDIB* turned = images->Add()->DIB();
  PaintPicture(turned, 160, 100, PictureColours::C, 0);
  turned->SetMasked(true);
}

void TPictureWindow::imgMouseEnter(TObject* sender) { Log("enter", sender); }
void TPictureWindow::imgMouseLeave(TObject* sender) { Log("leave", sender); }
void TPictureWindow::imgClick(TObject* sender) { Log("click", sender); }
void TPictureWindow::imgDblClick(TObject* sender) { Log("dblclick", sender); }
void TPictureWindow::imgEnter(TObject* sender) { Log("focus", sender); }
void TPictureWindow::imgExit(TObject* sender) { Log("unfocus", sender); }

// "enter A" for picture imgA: the end-to-end test waits for these lines.
void TPictureWindow::Log(const std::string& event, TObject* sender) {
  std::string picture = static_cast<TComponent*>(sender)->Name();
  if (picture.starts_with("img")) picture.erase(0, 3);
  const std::string line = event + " " + picture;
  FStatus->SetCaption(line);
  if (!FLogFile.is_open()) return;
  FLogFile << line << '\n';
  FLogFile.flush();
}

int RunPictureControls() {
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
