#pragma once
// The example's window: a picture container with a tiled background, three overlapping pictures
// at opacities 255, 128 and 60 (the last turned by 30 degrees) and transparent labels on top.
// Picture B can be dragged on a 10-pixel grid and moved with the arrow keys, lights up under the
// pointer, and takes picture C and the two labels beside them along as its children.
//
// The layout is the stored form PictureWindow.txt, compiled into the program; only the pictures
// are painted in code, by the creation handler, because they are computed colours that the
// end-to-end test recomputes. With QV_EXAMPLE_LOG naming a file, every pointer, click and focus
// event of a picture is written there.
#include <fstream>
#include <string>
#include <string_view>

#include "dib/cDIBImageList.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

// The stored layout as compiled in.
extern const std::string_view kPictureWindowForm;

// The colours the window paints; pixels are 0xAARRGGBB.
namespace PictureColours {
constexpr uint32_t TileDark = 0xFF2A3F55, TileLight = 0xFF35506A;
constexpr uint32_t A = 0xFFD04020, B = 0xFF20A0E0, C = 0xFF40E060;
}  // namespace PictureColours

class TPictureWindow : public TForm {
public:
  QV_CLASS(TPictureWindow)
  // Reads the stored layout; the pictures come when the application runs the creation handler.
  explicit TPictureWindow(TComponent* owner);
  // Publishes the window and the handlers its stored form names; safe to call again.
  static void Register();

  TDIBImageList* Images() const { return FImages; }
  TDIBImageContainer* Scene() const { return FScene; }
  TDIBImage* Picture(char letter) const;

  // Handlers named by the stored form.
  void FormCreate(TObject* sender);
  void imgMouseEnter(TObject* sender);
  void imgMouseLeave(TObject* sender);
  void imgClick(TObject* sender);
  void imgDblClick(TObject* sender);
  void imgEnter(TObject* sender);
  void imgExit(TObject* sender);

private:
  void Log(const std::string& event, TObject* sender);
  std::ofstream FLogFile;
  TDIBImageList* FImages = nullptr;
  TDIBImageContainer* FScene = nullptr;
  TLabel* FStatus = nullptr;
};

// The example's program once its backend is installed: the window in an application of its own,
// until it is closed. Exit code 0, or 1 after a failure's report.
int RunPictureControls();
