#include "platform/PixelMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/SystemHooks.h"

namespace platform {

namespace {

// Medium blocks are cut from shared slabs of this size; blocks this large or larger come straight
// from the heap.
constexpr std::size_t kSlab = std::size_t{2} << 20;
// Medium blocks are cut in units of this size; smaller blocks are not worth the rounding.
constexpr std::size_t kUnit = std::size_t{64} << 10;
constexpr int kUnitsPerSlab = static_cast<int>(kSlab / kUnit);
static_assert(kUnitsPerSlab == 32, "the units of a slab are tracked in one 32-bit mask");

// The slabs that medium blocks are cut from. Each slab records which of its units are taken and, at
// the first unit of each block, the block's length in units. A slab left empty is kept while it is
// the only empty one, so a surface that is freed and made again does not fault its memory in anew.
class TSlabs {
public:
  void* Allocate(std::size_t bytes) {
    const int units = static_cast<int>((bytes + kUnit - 1) / kUnit);
    const uint32_t run = units == kUnitsPerSlab ? ~uint32_t{0} : (uint32_t{1} << units) - 1;
    std::lock_guard lock(FLock);
    for (TSlab& slab : FSlabs)
      for (int first = 0; first + units <= kUnitsPerSlab; ++first)
        if (!(slab.Used & (run << first))) return Take(slab, first, units, run);
    auto* base = static_cast<uint8_t*>(SystemAllocateSlab(kSlab));
    if (!base) return nullptr;
    FSlabs.push_back(TSlab{base});
    return Take(FSlabs.back(), 0, units, run);
  }

  // The length of the block in bytes when it is one of ours, else 0.
  std::size_t SizeOf(const void* block) {
    std::lock_guard lock(FLock);
    const TSlab* slab = Find(block);
    if (!slab) return 0;
    return slab->Units[Unit(*slab, block)] * kUnit;
  }

  bool Free(void* block) {
    std::lock_guard lock(FLock);
    TSlab* slab = Find(block);
    if (!slab) return false;
    const int first = Unit(*slab, block);
    const int units = slab->Units[first];
    const uint32_t run = units == kUnitsPerSlab ? ~uint32_t{0} : (uint32_t{1} << units) - 1;
    slab->Used &= ~(run << first);
    slab->Units[first] = 0;
    if (!slab->Used) {
      const auto empty = std::count_if(FSlabs.begin(), FSlabs.end(), [](const TSlab& p) { return !p.Used; });
      if (empty > 1) {
        SystemFreeSlab(slab->Base, kSlab);
        FSlabs.erase(FSlabs.begin() + (slab - FSlabs.data()));
      }
    }
    return true;
  }

  std::size_t Slabs() {
    std::lock_guard lock(FLock);
    return FSlabs.size();
  }

private:
  struct TSlab {
    uint8_t* Base;
    uint32_t Used = 0;
    uint8_t Units[kUnitsPerSlab] = {};
  };

  static void* Take(TSlab& slab, int first, int units, uint32_t run) {
    slab.Used |= run << first;
    slab.Units[first] = static_cast<uint8_t>(units);
    return slab.Base + static_cast<std::size_t>(first) * kUnit;
  }
  TSlab* Find(const void* block) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    for (TSlab& slab : FSlabs) {
      const auto base = reinterpret_cast<std::uintptr_t>(slab.Base);
      if (address >= base && address < base + kSlab) return &slab;
    }
    return nullptr;
  }
  static int Unit(const TSlab& slab, const void* block) {
    return static_cast<int>((static_cast<const uint8_t*>(block) - slab.Base) / kUnit);
  }

  std::mutex FLock;
  std::vector<TSlab> FSlabs;
};

// Never destroyed: pictures may still be released while the program's statics go away.
TSlabs& Shared() {
  static auto* shared = new TSlabs;
  return *shared;
}

}  // namespace

void* AllocatePixelMemory(std::size_t bytes) {
  if (bytes >= kUnit && bytes < kSlab)
    if (void* p = Shared().Allocate(bytes)) return p;
  return SystemAllocateBlock(bytes ? bytes : 1, false);
}

void* AllocateZeroedPixelMemory(std::size_t bytes) {
  // Blocks of their own come from the system zeroed (fresh memory is zero already and is left
  // untouched); only units of a slab, which may have held pixels before, are cleared here.
  if (bytes >= kUnit && bytes < kSlab)
    if (void* p = Shared().Allocate(bytes)) return std::memset(p, 0, bytes);
  return SystemAllocateBlock(bytes ? bytes : 1, true);
}

void* ReallocatePixelMemory(void* block, std::size_t bytes) {
  if (!block) return AllocatePixelMemory(bytes);
  const std::size_t shared = Shared().SizeOf(block);
  // A block of the ordinary heap grows in place where it can.
  if (!shared) return SystemReallocateBlock(block, bytes ? bytes : 1);
  void* moved = AllocatePixelMemory(bytes);
  if (!moved) return nullptr;
  std::memcpy(moved, block, std::min(shared, bytes));
  FreePixelMemory(block);
  return moved;
}

void FreePixelMemory(void* block) noexcept {
  if (!block) return;
  if (!Shared().Free(block)) SystemFreeBlock(block);
}

std::size_t SharedPixelSlabs() { return Shared().Slabs(); }

}  // namespace platform
