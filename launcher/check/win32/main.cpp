// quorvane-check on the Win32 backend. See the README.
#include "launcher/check/untMainCheck.h"
#include "launcher/win32/Arguments.h"
#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

int main() {
  TUtf8Arguments arguments;
  platform::CoInitialize();
  TWin32BackendScope backend;
  return RunChecker(arguments.Count(), arguments.Values());
}
