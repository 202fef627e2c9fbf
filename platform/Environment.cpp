#include "platform/Environment.h"

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

}  // namespace platform
