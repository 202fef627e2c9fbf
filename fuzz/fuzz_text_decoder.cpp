// The text decoder together with the INI reader: whatever the bytes, the decoded text is valid
// UTF-8, decoding it once more changes nothing but a leading mark, and every value read from them is
// valid UTF-8 of at most 2047 characters. The first input byte chooses a byte-order mark to put
// in front, so that every encoding is reached.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/CodePages.h"
#include "platform/Profile.h"
#include "platform/TextDecoding.h"

namespace {

size_t Characters(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const marks[] = {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
  std::string bytes = marks[data[0] % 4];
  bytes.append(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string text = platform::DecodeText(bytes);
  if (!platform::IsValidUtf8(text)) std::abort();
  platform::TTextEncoding again{};
  // A mark inside UTF-16 text comes out as a UTF-8 mark, which a second decoding drops.
  const std::string unmarked = text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
  if (platform::DecodeText(text, &again) != unmarked) std::abort();

  static const std::string file = "/tmp/qv-fuzz-decoder-" + std::to_string(getpid()) + ".ini";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  for (const char* section : {"Item1", "Main", ""})
    for (const char* key : {"MainFile", "Caption", ""}) {
      const std::string value = platform::GetPrivateProfileString(section, key, "d", file);
      if (!platform::IsValidUtf8(value) || Characters(value) > platform::ProfileValueLimit) std::abort();
    }
  return 0;
}
