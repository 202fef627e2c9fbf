#include "launcher/untMain.h"
#include "toolkit/qt/QtBackend.h"

int main(int argc, char** argv) {
  TQtBackendScope backend(argc, argv);
  return RunLauncher(argc, argv);
}
