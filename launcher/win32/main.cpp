#include <string>
#include <vector>

#include "launcher/untMain.h"
#include "launcher/win32/Arguments.h"
#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

int main() {
  // The arguments as the user gave them, in UTF-8: the C runtime's argv is in the ANSI code page.
  TUtf8Arguments arguments;
  StartCoverPrefetch(arguments.Count(), arguments.Values());
  // The picture decoders and the shell run on the component object library.
  platform::CoInitialize();
  TWin32BackendScope backend;
  return RunLauncher(arguments.Count(), arguments.Values());
}
