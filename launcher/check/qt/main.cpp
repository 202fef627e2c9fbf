// quorvane-check on the Qt backend. See the README.
#include "launcher/check/untMainCheck.h"
#include "toolkit/qt/QtBackend.h"

int main(int argc, char** argv) {
  // It needs no display, and no window is ever made.
  TQtBackendScope backend(argc, argv, TDisplayUse::None);
  return RunChecker(argc, argv);
}
