// The environment through the system's W functions: names are matched without regard to case by
// the system itself, and values outside the ANSI code page survive.
#include "platform/Environment.h"

#include <cstdlib>
#include <vector>

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

DWORD ExpandEnvironmentStringsA(const char* src, char* dst, DWORD size) {
  if (!src) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::wstring wide = win32::Wide(src);
  std::vector<wchar_t> buffer(wide.size() + 256);
  ::DWORD got;
  while ((got = ::ExpandEnvironmentStringsW(wide.c_str(), buffer.data(), static_cast<::DWORD>(buffer.size()))) >
         buffer.size())
    buffer.resize(got);
  if (got == 0) {
    SetLastError(::GetLastError());
    return 0;
  }
  // The sizes are those of the UTF-8 text the program sees.
  const std::string expanded = win32::Narrow(std::wstring_view(buffer.data(), got - 1));
  const DWORD needed = static_cast<DWORD>(expanded.size() + 1);
  if (dst && size >= needed) {
    expanded.copy(dst, expanded.size());
    dst[expanded.size()] = '\0';
  } else if (dst && size > 0) {
    dst[0] = '\0';
  }
  return needed;
}

}  // namespace platform
