// The picture-controls example on the Win32 backend.
#include "examples/picture-controls/PictureWindow.h"
#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

int main() {
  // The picture decoders run on the component object library.
  platform::CoInitialize();
  TWin32BackendScope backend;
  return RunPictureControls();
}
