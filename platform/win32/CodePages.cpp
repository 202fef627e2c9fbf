// The code pages the disc's home system names by number, converted by the system itself.
#include <string>

#include "platform/SystemHooks.h"
#include "platform/Utf.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

namespace {

// The characters of `bytes` in the page, or nothing when a byte does not convert.
bool ConvertStrictly(unsigned codePage, std::string_view bytes, std::wstring& out) {
  if (bytes.empty()) return true;
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  out.resize(static_cast<std::size_t>(needed));
  return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, out.data(), needed) == needed;
}

}  // namespace

bool SystemCodePageToUtf8(unsigned codePage, std::string_view bytes, std::string& out) {
  if (!::IsValidCodePage(codePage)) return false;
  std::wstring wide;
  if (ConvertStrictly(codePage, bytes, wide)) {
    out = win32::Narrow(wide);
    return true;
  }
  // Somewhere a byte does not convert: one character at a time (a lead byte and its trail byte
  // in the double-byte pages), and U+FFFD for the first byte of each that fails.
  out.clear();
  out.reserve(bytes.size() * 2);
  CPINFO info{};
  const bool doubleByte = ::GetCPInfo(codePage, &info) && info.MaxCharSize > 1;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<BYTE>(bytes[i]);
    std::size_t length = doubleByte && ::IsDBCSLeadByteEx(codePage, lead) ? 2 : 1;
    if (i + length > bytes.size()) length = bytes.size() - i;
    if (ConvertStrictly(codePage, bytes.substr(i, length), wide)) {
      out += win32::Narrow(wide);
      i += length;
    } else {
      AppendUtf8(out, 0xFFFD);
      ++i;
    }
  }
  return true;
}

}  // namespace platform
