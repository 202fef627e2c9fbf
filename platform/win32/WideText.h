#pragma once
// Text at the Win32 calls: the program's UTF-8 becomes the UTF-16 of the W functions and back.
#include <string>
#include <string_view>

#include "platform/Utf.h"

namespace win32 {

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string units = platform::Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view wide) {
  return platform::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// Copies a UTF-8 result the way the A functions hand out text: with its NUL when it fits in
// `size` characters, answering the length without the NUL; otherwise the size needed with it, and
// an empty text in a buffer that has room for one.
inline unsigned long CopyOut(const std::string& text, char* out, unsigned long size) {
  const unsigned long needed = static_cast<unsigned long>(text.size() + 1);
  if (!out || size < needed) {
    if (out && size > 0) out[0] = '\0';
    return needed;
  }
  text.copy(out, text.size());
  out[text.size()] = '\0';
  return needed - 1;
}

}  // namespace win32
