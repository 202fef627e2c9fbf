#pragma once
// The Win32 backend of the toolkit: windows, timers, drawing and pictures on the plain Win32 API.
#include <memory>

class TWin32Backend;

// Keeps the backend installed while it lives. The thread has the component object library
// initialised before (platform::CoInitialize): the picture decoders run on it.
class TWin32BackendScope {
public:
  TWin32BackendScope();
  ~TWin32BackendScope();
  TWin32BackendScope(const TWin32BackendScope&) = delete;
  TWin32BackendScope& operator=(const TWin32BackendScope&) = delete;

private:
  std::unique_ptr<TWin32Backend> FBackend;
};
