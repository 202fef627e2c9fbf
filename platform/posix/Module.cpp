#include "platform/Module.h"

#include <dlfcn.h>

namespace platform {
uintptr_t ModuleRelativeAddress(const void* address) {
  Dl_info info{};
  if (address && dladdr(address, &info) && info.dli_fbase)
    return reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_fbase);
  return reinterpret_cast<uintptr_t>(address);
}
}  // namespace platform
