#include "platform/PixelMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// Medium blocks are cut from shared blocks of this size; blocks this large or larger come straight
// from the heap.
constexpr std::size_t kSharedBlock = std::size_t{2} << 20;
// Medium blocks are cut in units of this size; smaller blocks are not worth the rounding.
constexpr std::size_t kUnit = std::size_t{64} << 10;
constexpr int kUnitsPerBlock = static_cast<int>(kSharedBlock / kUnit);
static_assert(kUnitsPerBlock == 32, "the units of a block are tracked in one 32-bit mask");

// The shared blocks ("pages" here) that medium blocks are cut from. Each page records which of its
// units are taken and, at the first unit of each block, the block's length in units. A page left
// empty is kept while it is the only empty one, so a surface that is freed and made again does not
// fault its memory in anew.
class TSharedPages {
public:
  void* Allocate(std::size_t bytes) {
    const int units = static_cast<int>((bytes + kUnit - 1) / kUnit);
    const uint32_t run = units == kUnitsPerBlock ? ~uint32_t{0} : (uint32_t{1} << units) - 1;
    std::lock_guard lock(FLock);
    for (TPage& page : FPages)
      for (int first = 0; first + units <= kUnitsPerBlock; ++first)
        if (!(page.Used & (run << first))) return Take(page, first, units, run);
    auto* base = static_cast<uint8_t*>(std::malloc(kSharedBlock));
    if (!base) return nullptr;
    FPages.push_back(TPage{base});
    return Take(FPages.back(), 0, units, run);
  }

  // The length of the block in bytes when it is one of ours, else 0.
  std::size_t SizeOf(const void* block) {
    std::lock_guard lock(FLock);
    const TPage* page = Find(block);
    if (!page) return 0;
    return page->Units[Unit(*page, block)] * kUnit;
  }

  bool Free(void* block) {
    std::lock_guard lock(FLock);
    TPage* page = Find(block);
    if (!page) return false;
    const int first = Unit(*page, block);
    const int units = page->Units[first];
    const uint32_t run = units == kUnitsPerBlock ? ~uint32_t{0} : (uint32_t{1} << units) - 1;
    page->Used &= ~(run << first);
    page->Units[first] = 0;
    if (!page->Used) {
      const auto empty = std::count_if(FPages.begin(), FPages.end(), [](const TPage& p) { return !p.Used; });
      if (empty > 1) {
        std::free(page->Base);
        FPages.erase(FPages.begin() + (page - FPages.data()));
      }
    }
    return true;
  }

  std::size_t Pages() {
    std::lock_guard lock(FLock);
    return FPages.size();
  }

private:
  struct TPage {
    uint8_t* Base;
    uint32_t Used = 0;
    uint8_t Units[kUnitsPerBlock] = {};
  };

  static void* Take(TPage& page, int first, int units, uint32_t run) {
    page.Used |= run << first;
    page.Units[first] = static_cast<uint8_t>(units);
    return page.Base + static_cast<std::size_t>(first) * kUnit;
  }
  TPage* Find(const void* block) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    for (TPage& page : FPages) {
      const auto base = reinterpret_cast<std::uintptr_t>(page.Base);
      if (address >= base && address < base + kSharedBlock) return &page;
    }
    return nullptr;
  }
  static int Unit(const TPage& page, const void* block) {
    return static_cast<int>((static_cast<const uint8_t*>(block) - page.Base) / kUnit);
  }

  std::mutex FLock;
  std::vector<TPage> FPages;
};

// Never destroyed: pictures may still be released while the program's statics go away.
TSharedPages& Shared() {
  static auto* shared = new TSharedPages;
  return *shared;
}

}  // namespace

void* AllocatePixelMemory(std::size_t bytes) {
  if (bytes >= kUnit && bytes < kSharedBlock)
    if (void* p = Shared().Allocate(bytes)) return p;
  return std::malloc(bytes ? bytes : 1);
}

void* AllocateZeroedPixelMemory(std::size_t bytes) {
  if (bytes < kUnit) return std::calloc(bytes ? bytes : 1, 1);
  void* p = AllocatePixelMemory(bytes);
  if (p) std::memset(p, 0, bytes);
  return p;
}

void* ReallocatePixelMemory(void* block, std::size_t bytes) {
  if (!block) return AllocatePixelMemory(bytes);
  const std::size_t shared = Shared().SizeOf(block);
  // A block of the ordinary heap grows in place where it can.
  if (!shared) return std::realloc(block, bytes ? bytes : 1);
  void* moved = AllocatePixelMemory(bytes);
  if (!moved) return nullptr;
  std::memcpy(moved, block, std::min(shared, bytes));
  FreePixelMemory(block);
  return moved;
}

void FreePixelMemory(void* block) noexcept {
  if (!block) return;
  if (!Shared().Free(block)) std::free(block);
}

std::size_t SharedPixelBlocks() { return Shared().Pages(); }

}  // namespace platform
