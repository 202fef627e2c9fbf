#include "launcher/untMain.h"
#include "toolkit/qt/QtBackend.h"

int main(int argc, char** argv) {
  StartCoverPrefetch(argc, argv);
  TQtBackendScope backend(argc, argv);
  return RunLauncher(argc, argv);
}
