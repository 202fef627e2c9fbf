// The environment through the system's W functions: names are matched without regard to case by
// the system itself, and values outside the ANSI code page survive.
#include "platform/Environment.h"

#include <cstdlib>
#include <vector>

#include "platform/SystemHooks.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

std::optional<std::string> GetEnvironmentVariableText(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
  const std::wstring wideName = win32::Wide(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    ::SetLastError(0);
    const ::DWORD got = ::GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<::DWORD>(buffer.size()));
    if (got == 0) {
      if (::GetLastError() == 203 /* ERROR_ENVVAR_NOT_FOUND */) return std::nullopt;
      return std::string();
    }
    if (got < buffer.size()) return win32::Narrow(std::wstring_view(buffer.data(), got));
    buffer.resize(got);
  }
}

void SetEnvironmentVariableText(const std::string& name, const std::optional<std::string>& value) {
  // Through the C runtime, which passes the change on to the system, so that getenv and the
  // system's calls (and started programs) all see it. The runtime takes an empty value for a
  // removal; the system keeps a variable that is defined and empty.
  const std::wstring wideName = win32::Wide(name);
  ::_wputenv_s(wideName.c_str(), value ? win32::Wide(*value).c_str() : L"");
  if (value && value->empty()) ::SetEnvironmentVariableW(wideName.c_str(), L"");
}

std::optional<std::string> SystemExpandEnvironment(const std::string& text) {
  const std::wstring wide = win32::Wide(text);
  std::vector<wchar_t> buffer(wide.size() + 256);
  ::DWORD got;
  while ((got = ::ExpandEnvironmentStringsW(wide.c_str(), buffer.data(), static_cast<::DWORD>(buffer.size()))) >
         buffer.size())
    buffer.resize(got);
  if (got == 0) {
    SetLastError(::GetLastError());
    return std::nullopt;
  }
  return win32::Narrow(std::wstring_view(buffer.data(), got - 1));
}

}  // namespace platform
