#include "platform/AlignedMemory.h"

#include <malloc.h>

namespace platform {
// The C runtime of Windows has no aligned_alloc: its aligned blocks have their own pair of calls.
void* AllocateAligned(std::size_t alignment, std::size_t bytes) { return ::_aligned_malloc(bytes ? bytes : 1, alignment); }
void FreeAligned(void* block) noexcept { ::_aligned_free(block); }
}  // namespace platform
