#pragma once
// Memory for pictures. A picture's pixels are written once, right after they are allocated. Blocks
// of a medium size (window-sized surfaces, scratch pictures) are cut in 64 KiB units from shared
// 2 MiB slabs, of which one left empty is kept, so that a surface freed and made again reuses
// memory already faulted in; larger and smaller blocks come from the ordinary heap. Every block from
// here is released with FreePixelMemory and grown with ReallocatePixelMemory, never with std::free
// or std::realloc.
//
// No large pages are asked for. They halve what faulting the covers in costs a typical start, but
// on the virtual machines we measured a large page's first touch often waits for the host to supply
// its memory again: one start in four took twice as long, and a start after a few idle seconds (a
// user's start) was slower on the median too.
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

// How many slabs are held for medium blocks; for tests.
std::size_t SharedPixelSlabs();

}  // namespace platform
