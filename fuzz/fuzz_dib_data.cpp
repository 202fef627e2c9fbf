// A surface's Data block (raw or compressed) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "dib/cDIBFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryDIB dib(2, 2);
  try {
    ReadDIBData(dib, std::span<const uint8_t>(data, size));
  } catch (const Exception&) {
  }
  return 0;
}
