#pragma once
// Facts about the running program's own code.
#include <cstdint>

namespace platform {
// The offset of a code address from the start of the module that holds it, so that the same
// raise site gives the same figure on every run (address-space randomisation aside).
uintptr_t ModuleRelativeAddress(const void* address);
}  // namespace platform
