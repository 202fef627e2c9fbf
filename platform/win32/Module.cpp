#include "platform/Module.h"

#include "platform/win32/Win32Api.h"

namespace platform {
uintptr_t ModuleRelativeAddress(const void* address) {
  HMODULE module = nullptr;
  if (address && ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<LPCWSTR>(address), &module) &&
      module)
    return reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module);
  return reinterpret_cast<uintptr_t>(address);
}
}  // namespace platform
