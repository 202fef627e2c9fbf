// The picture-controls example on the Qt backend.
#include "examples/picture-controls/PictureWindow.h"
#include "toolkit/qt/QtBackend.h"

int main(int argc, char** argv) {
  TQtBackendScope backend(argc, argv);
  return RunPictureControls();
}
