#pragma once
// The Qt 6 backend of the toolkit. TQtBackendScope creates the Qt application object (it must
// outlive every window) and makes the backend current.
#include <memory>

#include "toolkit/qt/QtDisplay.h"

class QtBackend;

// Keeps the backend installed while it lives. It opens the display the program's use asks for;
// a program that shows windows and finds no display ends here (see TDisplayUse).
class TQtBackendScope {
public:
  TQtBackendScope(int& argc, char** argv, TDisplayUse use = TDisplayUse::Windows);
  ~TQtBackendScope();
  TQtBackendScope(const TQtBackendScope&) = delete;
  TQtBackendScope& operator=(const TQtBackendScope&) = delete;

private:
  std::unique_ptr<QtBackend> FBackend;
};
