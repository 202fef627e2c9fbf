// Pixel memory from the C heap: calloc hands out fresh pages untouched, realloc grows in place
// where it can.
#include <cstdlib>

#include "platform/SystemHooks.h"

namespace platform {

void* SystemAllocateSlab(std::size_t bytes) { return std::malloc(bytes); }
void SystemFreeSlab(void* slab, std::size_t) noexcept { std::free(slab); }
void* SystemAllocateBlock(std::size_t bytes, bool zeroed) {
  return zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
}
void* SystemReallocateBlock(void* block, std::size_t bytes) { return std::realloc(block, bytes); }
void SystemFreeBlock(void* block) noexcept { std::free(block); }

}  // namespace platform
