// The picture-controls example on the Qt backend: the window of PictureWindow.h in an application of its own.
#include <exception>

#include "examples/picture-controls/PictureWindow.h"
#include "toolkit/qt/QtBackend.h"

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
