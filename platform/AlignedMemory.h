#pragma once
// Memory with an alignment beyond the heap's own, released with FreeAligned only.
#include <cstddef>

namespace platform {
// nullptr when the memory cannot be had. `alignment` is a power of two.
void* AllocateAligned(std::size_t alignment, std::size_t bytes);
void FreeAligned(void* block) noexcept;
}  // namespace platform
