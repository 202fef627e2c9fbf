#include "platform/ComLibrary.h"

#include "platform/win32/Win32Api.h"

namespace platform {
void CoInitialize() { ::CoInitialize(nullptr); }
}  // namespace platform
