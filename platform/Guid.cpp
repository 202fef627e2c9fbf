#include "platform/Guid.h"

#include <cstdio>
#include <mutex>

#include "platform/SystemHooks.h"

namespace platform {

namespace {

std::mutex gSourceLock;
TRandomSource gSource;

}  // namespace

TRandomSource SetGuidRandomSource(TRandomSource source) {
  std::lock_guard lock(gSourceLock);
  TRandomSource previous = std::move(gSource);
  gSource = std::move(source);
  return previous;
}

bool CreateGuid(TGuid& guid) {
  TRandomSource source;
  {
    std::lock_guard lock(gSourceLock);
    source = gSource;
  }
  if (!source) return SystemCreateGuid(guid);
  uint8_t bytes[GuidSize];
  if (!source(bytes, sizeof bytes)) return false;
  guid = GuidFromRandomBytes(bytes);
  return true;
}

std::string GuidToString(const TGuid& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.D1),
                unsigned{g.D2}, unsigned{g.D3}, unsigned{g.D4[0]}, unsigned{g.D4[1]}, unsigned{g.D4[2]},
                unsigned{g.D4[3]}, unsigned{g.D4[4]}, unsigned{g.D4[5]}, unsigned{g.D4[6]}, unsigned{g.D4[7]});
  return text;
}

void GuidToBytes(const TGuid& g, uint8_t out[GuidSize]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(g.D1 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[4 + i] = static_cast<uint8_t>(g.D2 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[6 + i] = static_cast<uint8_t>(g.D3 >> (8 * i));
  for (int i = 0; i < 8; ++i) out[8 + i] = g.D4[i];
}

TGuid GuidFromBytes(const uint8_t in[GuidSize]) {
  TGuid g;
  g.D1 = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
  g.D2 = static_cast<uint16_t>(in[4] | in[5] << 8);
  g.D3 = static_cast<uint16_t>(in[6] | in[7] << 8);
  for (int i = 0; i < 8; ++i) g.D4[i] = in[8 + i];
  return g;
}

TGuid GuidFromRandomBytes(const uint8_t bytes[GuidSize]) {
  TGuid made = GuidFromBytes(bytes);
  made.D3 = static_cast<uint16_t>((made.D3 & 0x0FFF) | 0x4000);
  made.D4[0] = static_cast<uint8_t>((made.D4[0] & 0x3F) | 0x80);
  return made;
}

}  // namespace platform
