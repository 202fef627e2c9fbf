#pragma once
// Memory for whole pictures. A cover picture is several megabytes that are written once, right
// after they are allocated; faulting them in page by page is what a cold start spends most of its
// time on. Large blocks are therefore aligned to, and asked for in, the system's large pages where
// it offers them. Blocks from here are released with std::free and may be grown with std::realloc.
#include <cstddef>

namespace platform {

// Like std::malloc; nullptr when the memory cannot be had.
void* AllocatePixelMemory(std::size_t bytes);
// Like std::calloc(bytes, 1).
void* AllocateZeroedPixelMemory(std::size_t bytes);

}  // namespace platform
