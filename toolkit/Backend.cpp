#include "toolkit/Backend.h"

namespace {
IBackend* gBackend = nullptr;
}

IBackend& Backend() {
  if (!gBackend) throw EInvalidOperation("No GUI backend installed");
  return *gBackend;
}

bool BackendInstalled() { return gBackend != nullptr; }

void SetBackend(IBackend* backend) { gBackend = backend; }
