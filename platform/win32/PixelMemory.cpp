// Pixel memory on Windows: slabs and pictures of their own are committed pages from VirtualAlloc,
// which arrive zeroed and go back to the system whole when freed; small blocks come from the heap.
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/SystemHooks.h"
#include "platform/win32/Win32Api.h"

namespace platform {

namespace {

// Blocks below this are not worth whole pages of their own.
constexpr std::size_t kPageBlock = std::size_t{64} << 10;

// The blocks that came from VirtualAlloc, with their sizes; every other block is the heap's.
struct TPageBlocks {
  std::mutex Lock;
  std::unordered_map<void*, std::size_t> Sizes;
};
TPageBlocks& PageBlocks() {
  static auto* blocks = new TPageBlocks;  // never destroyed: pictures may outlive the statics
  return *blocks;
}

void* AllocatePages(std::size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

}  // namespace

void* SystemAllocateSlab(std::size_t bytes) { return AllocatePages(bytes); }
void SystemFreeSlab(void* slab, std::size_t) noexcept { ::VirtualFree(slab, 0, MEM_RELEASE); }

void* SystemAllocateBlock(std::size_t bytes, bool zeroed) {
  if (bytes < kPageBlock) return zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  void* block = AllocatePages(bytes);
  if (!block) return nullptr;
  TPageBlocks& blocks = PageBlocks();
  std::lock_guard lock(blocks.Lock);
  blocks.Sizes.emplace(block, bytes);
  return block;
}

void* SystemReallocateBlock(void* block, std::size_t bytes) {
  std::size_t old = 0;
  {
    TPageBlocks& blocks = PageBlocks();
    std::lock_guard lock(blocks.Lock);
    auto it = blocks.Sizes.find(block);
    if (it != blocks.Sizes.end()) old = it->second;
  }
  if (!old && bytes < kPageBlock) return std::realloc(block, bytes);
  // Between the heap and pages, or pages of another size: a new block, the old one copied.
  const std::size_t kept = old ? old : ::_msize(block);
  void* moved = SystemAllocateBlock(bytes, false);
  if (!moved) return nullptr;
  std::memcpy(moved, block, kept < bytes ? kept : bytes);
  SystemFreeBlock(block);
  return moved;
}

void SystemFreeBlock(void* block) noexcept {
  if (!block) return;
  {
    TPageBlocks& blocks = PageBlocks();
    std::lock_guard lock(blocks.Lock);
    if (blocks.Sizes.erase(block)) {
      ::VirtualFree(block, 0, MEM_RELEASE);
      return;
    }
  }
  std::free(block);
}

}  // namespace platform
