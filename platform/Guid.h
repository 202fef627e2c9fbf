#pragma once

// Globally unique identifiers: random (version 4) ones from the system's random source, their
// braced text and their 16-byte stored layout.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct TGuid {
  uint32_t D1 = 0;
  uint16_t D2 = 0, D3 = 0;
  uint8_t D4[8] = {};
  bool operator==(const TGuid&) const = default;
};

constexpr size_t GuidSize = 16;

// A new random GUID (version 4, variant 1). False, with guid unchanged, when the random source
// refuses.
bool CreateGuid(TGuid& guid);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": D1, D2 and D3 as numbers, then the D4 bytes in order,
// upper-case hexadecimal.
std::string GuidToString(const TGuid& guid);

// The stored layout: D1, D2 and D3 little-endian, then the D4 bytes.
void GuidToBytes(const TGuid& guid, uint8_t out[GuidSize]);
TGuid GuidFromBytes(const uint8_t in[GuidSize]);
// The version-4 GUID made of 16 random bytes: the version and variant bits set, the rest kept.
TGuid GuidFromRandomBytes(const uint8_t bytes[GuidSize]);

// Where CreateGuid takes its bytes from: fills the buffer and answers true, or answers false.
// Tests put their own source here; an empty one restores the system's. Answers the previous one.
using TRandomSource = std::function<bool(void* buffer, size_t count)>;
TRandomSource SetGuidRandomSource(TRandomSource source);

}  // namespace platform
