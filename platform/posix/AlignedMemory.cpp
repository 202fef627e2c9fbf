#include "platform/AlignedMemory.h"

#include <cstdlib>

namespace platform {
void* AllocateAligned(std::size_t alignment, std::size_t bytes) {
  // aligned_alloc wants a size that is a multiple of the alignment.
  return std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
}
void FreeAligned(void* block) noexcept { std::free(block); }
}  // namespace platform
