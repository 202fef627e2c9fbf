// The picture-controls example on the Win32 backend: the window of PictureWindow.h in an
// application of its own.
#include <exception>

#include "examples/picture-controls/PictureWindow.h"
#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

int main() {
  // The picture decoders run on the component object library.
  platform::CoInitialize();
  TWin32BackendScope backend;
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
