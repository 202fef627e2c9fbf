// quorvane-check on the Win32 backend. See the README.
#include "launcher/check/untMainCheck.h"
#include "launcher/win32/Arguments.h"
#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

int main() {
  TUtf8Arguments arguments;
  platform::CoInitialize();
  TWin32BackendScope backend;
  // Paths get the disc's drive, and a drive's relative paths lead from its working folder: the
  // disc is checked from its own folder, where its autorun starts the launcher.
  return RunChecker(arguments.Count(), arguments.Values(), true);
}
