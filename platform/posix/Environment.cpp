#include "platform/Environment.h"

#include <cstdlib>

#include "platform/SystemHooks.h"
#include "platform/Utf.h"

extern char** environ;

namespace platform {

std::optional<std::string> GetEnvironmentVariableText(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
  if (const char* value = std::getenv(name.c_str())) return std::string(value);
  for (char** entry = environ; entry && *entry; ++entry) {
    std::string_view text(*entry);
    std::size_t equals = text.find('=');
    if (equals != std::string_view::npos && EqualsIgnoringAsciiCase(text.substr(0, equals), name))
      return std::string(text.substr(equals + 1));
  }
  return std::nullopt;
}

void SetEnvironmentVariableText(const std::string& name, const std::optional<std::string>& value) {
  if (value) ::setenv(name.c_str(), value->c_str(), 1);
  else ::unsetenv(name.c_str());
}

std::optional<std::string> SystemExpandEnvironment(const std::string& text) { return ExpandEnvironmentText(text); }

}  // namespace platform
