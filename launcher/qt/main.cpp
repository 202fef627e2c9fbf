#include "launcher/untMain.h"
#include "toolkit/qt/QtBackend.h"

int main(int argc, char** argv) {
  StartCoverPrefetch(argc, argv);
  // The windowless run shows no window, so it runs where no display can be opened too.
  const bool windowless = IsNoGuiArgument(FirstArgument(argc, argv));
  TQtBackendScope backend(argc, argv, windowless ? TDisplayUse::WindowsWhereAvailable : TDisplayUse::Windows);
  return RunLauncher(argc, argv);
}
