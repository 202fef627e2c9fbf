#pragma once
// Memory for pictures. A picture's pixels are written once, right after they are allocated, and on
// a cold start faulting them in page by page is much of what the process spends its time on (on
// virtual machines each small page's first touch is dear). Blocks of a large page or more are
// therefore aligned to, and asked for in, the system's large pages where it offers them; blocks of
// a medium size (window-sized surfaces, scratch pictures) share large pages cut into 64 KiB units.
// Small blocks come from the ordinary heap. Every block from here is released with
// FreePixelMemory and grown with ReallocatePixelMemory, never with std::free or std::realloc.
#include <cstddef>

namespace platform {

// Like std::malloc; nullptr when the memory cannot be had.
void* AllocatePixelMemory(std::size_t bytes);
// Like std::calloc(bytes, 1).
void* AllocateZeroedPixelMemory(std::size_t bytes);
// Like std::realloc for blocks from here: the first min(old, new) bytes are kept; on failure
// nullptr and the old block stays as it was.
void* ReallocatePixelMemory(void* block, std::size_t bytes);
// Like std::free for blocks from here; nullptr is ignored.
void FreePixelMemory(void* block) noexcept;

// How many large pages are held for medium blocks; for tests.
std::size_t SharedPixelPages();

}  // namespace platform
