#pragma once
// The Qt 6 backend of the toolkit. InstallQtBackend creates the Qt application object (it must
// outlive every window) and makes the backend current.
#include <memory>

class QtBackend;

// Keeps the backend installed while it lives.
class TQtBackendScope {
public:
  TQtBackendScope(int& argc, char** argv);
  ~TQtBackendScope();
  TQtBackendScope(const TQtBackendScope&) = delete;
  TQtBackendScope& operator=(const TQtBackendScope&) = delete;

private:
  std::unique_ptr<QtBackend> FBackend;
};
