#include "platform/PixelMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

namespace {

// The size of a large page on the systems we ship for; blocks smaller than one gain nothing.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

}  // namespace

void* AllocatePixelMemory(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes >= kLargePage && bytes <= SIZE_MAX - kLargePage) {
    const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    if (void* p = std::aligned_alloc(kLargePage, rounded)) {
      // Only advice: where large pages are off or scarce the block simply keeps small ones.
      madvise(p, rounded, MADV_HUGEPAGE);
      return p;
    }
    return nullptr;
  }
#endif
  return std::malloc(bytes ? bytes : 1);
}

void* AllocateZeroedPixelMemory(std::size_t bytes) {
  if (bytes < kLargePage) return std::calloc(bytes ? bytes : 1, 1);
  void* p = AllocatePixelMemory(bytes);
  if (p) std::memset(p, 0, bytes);
  return p;
}

}  // namespace platform
