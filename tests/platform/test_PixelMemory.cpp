#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/PixelMemory.h"

namespace {

using platform::AllocatePixelMemory;
using platform::AllocateZeroedPixelMemory;
using platform::FreePixelMemory;
using platform::ReallocatePixelMemory;

constexpr std::size_t kKiB = 1024;

bool Holds(const void* block, std::size_t bytes, uint8_t value) {
  const auto* p = static_cast<const uint8_t*>(block);
  for (std::size_t i = 0; i < bytes; ++i)
    if (p[i] != value) return false;
  return true;
}

// Window-sized surfaces share slabs: several fit one slab, none overlaps another, freed units are
// handed out again, and slabs left empty go back except one kept for the next surface.
TEST(PixelMemory, MediumBlocksShareSlabsWithoutOverlapping) {
  const std::size_t slabsBefore = platform::SharedPixelSlabs();
  const std::size_t surface = 338 * 471 * 4;  // ten units of 64 KiB
  std::vector<void*> blocks;
  for (int i = 0; i < 3; ++i) {
    blocks.push_back(AllocatePixelMemory(surface));
    ASSERT_NE(blocks.back(), nullptr);
    std::memset(blocks.back(), 0x10 + i, surface);
  }
  EXPECT_LE(platform::SharedPixelSlabs(), slabsBefore + 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Holds(blocks[i], surface, static_cast<uint8_t>(0x10 + i))) << i;

  // A whole slab's worth fits no partly used slab; the middle block's units are reused.
  void* whole = AllocatePixelMemory((2048 - 1) * kKiB);
  void* middle = blocks[1];
  FreePixelMemory(middle);
  void* again = AllocatePixelMemory(surface);
  EXPECT_EQ(again, middle);
  EXPECT_TRUE(Holds(blocks[0], surface, 0x10));
  EXPECT_TRUE(Holds(blocks[2], surface, 0x12));

  // Zeroed blocks are zero even where a freed block left its bytes.
  FreePixelMemory(again);
  void* zeroed = AllocateZeroedPixelMemory(surface);
  EXPECT_EQ(zeroed, middle);
  EXPECT_TRUE(Holds(zeroed, surface, 0));

  for (void* p : {blocks[0], blocks[2], zeroed, whole}) FreePixelMemory(p);
  EXPECT_LE(platform::SharedPixelSlabs(), slabsBefore + 1);
}

// Growing keeps what was written, whatever kind of block it starts and ends as; small, large and
// null blocks are handled like the heap's own.
TEST(PixelMemory, ReallocationKeepsTheBytesAcrossEveryKindOfBlock) {
  const std::size_t sizes[] = {1, 100 * kKiB, 700 * kKiB, 2048 * kKiB, 3000 * kKiB};
  for (std::size_t from : sizes) {
    for (std::size_t to : sizes) {
      void* p = AllocatePixelMemory(from);
      ASSERT_NE(p, nullptr);
      std::memset(p, 0x5A, from);
      void* q = ReallocatePixelMemory(p, to);
      ASSERT_NE(q, nullptr) << from << " -> " << to;
      EXPECT_TRUE(Holds(q, std::min(from, to), 0x5A)) << from << " -> " << to;
      std::memset(q, 0x33, to);  // the whole new length is ours
      FreePixelMemory(q);
    }
  }
  void* fresh = ReallocatePixelMemory(nullptr, 200 * kKiB);
  ASSERT_NE(fresh, nullptr);
  FreePixelMemory(fresh);
  FreePixelMemory(nullptr);
  void* empty = AllocateZeroedPixelMemory(0);
  EXPECT_NE(empty, nullptr);
  FreePixelMemory(empty);
}

// The cover decoder allocates on its own thread while the window allocates its surfaces.
TEST(PixelMemory, ThreadsAllocateAndFreeSideBySide) {
  auto churn = [](uint8_t mark) {
    for (int round = 0; round < 200; ++round) {
      const std::size_t bytes = (64 + (round * 37 + mark) % 900) * kKiB;
      auto* p = static_cast<uint8_t*>(AllocatePixelMemory(bytes));
      ASSERT_NE(p, nullptr);
      std::memset(p, mark, bytes);
      std::this_thread::yield();
      ASSERT_TRUE(Holds(p, bytes, mark));
      FreePixelMemory(p);
    }
  };
  std::thread other(churn, uint8_t{0xA1});
  churn(0xB2);
  other.join();
}

}  // namespace
