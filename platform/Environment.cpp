#include "platform/Environment.h"

#include <cstring>

#include "platform/SystemHooks.h"

namespace platform {

std::string ExpandEnvironmentText(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t open = text.find('%', pos);
    if (open == std::string::npos) break;
    std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, pos, open - pos);
    std::string name = text.substr(open + 1, close - open - 1);
    if (auto value = GetEnvironmentVariableText(name)) {
      out += *value;
      pos = close + 1;
    } else {
      // The closing "%" may open the next reference ("%UNDEFINED%PATH%"), as on Windows.
      out.append(text, open, close - open);
      pos = close;
    }
  }
  out.append(text, pos, std::string::npos);
  return out;
}

DWORD ExpandEnvironmentStringsA(const char* src, char* dst, DWORD size) {
  if (!src) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::optional<std::string> expanded = SystemExpandEnvironment(src);
  if (!expanded) return 0;
  // The sizes are those of the UTF-8 text the program sees.
  const DWORD needed = static_cast<DWORD>(expanded->size() + 1);
  if (dst && size >= needed) {
    std::memcpy(dst, expanded->c_str(), needed);
  } else if (dst && size > 0) {
    dst[0] = '\0';
  }
  return needed;
}

}  // namespace platform
