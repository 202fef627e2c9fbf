// Version resources of PE files and the version section of ELF files, then the root query on the
// block that comes out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/FileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::MemoryByteSource source(data, size);
  auto block = platform::ReadVersionBlock(source);
  if (!block) return 0;
  if (block->size() > platform::kMaxVersionBlockSize) __builtin_trap();
  // Exactly the bytes of the block, so any over-read shows up under the address sanitizer.
  std::vector<std::uint8_t> copy(block->begin(), block->end());
  void* fixed = nullptr;
  platform::UINT length = 0;
  if (platform::VerQueryValueA(copy.data(), "\\", &fixed, &length)) {
    platform::VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed, sizeof info);
    (void)info.dwFileVersionMS;
  }
  return 0;
}
