// Paths on Windows are what the program writes: drives, shares and "\" are the system's own, so
// nothing is mapped, and the short form of a folder is the system's 8.3 name.
#include "platform/Paths.h"

#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Calls a W function of the "size in, length out" kind until its answer fits.
template <typename TCall>
std::wstring CallForText(TCall call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const ::DWORD got = call(buffer.data(), static_cast<::DWORD>(buffer.size()));
    if (got == 0) return {};
    if (got < buffer.size()) return std::wstring(buffer.data(), got);
    if (buffer.size() > (1u << 16)) return {};
    buffer.resize(got > buffer.size() ? got : buffer.size() * 2);
  }
}

}  // namespace

std::string MapPathText(const std::string& windowsStylePath) { return windowsStylePath; }

DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size) {
  if (!longPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!*longPath) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  const std::wstring wide = win32::Wide(longPath);
  const std::wstring shortened =
      CallForText([&](wchar_t* out, ::DWORD room) { return ::GetShortPathNameW(wide.c_str(), out, room); });
  if (shortened.empty()) {
    SetLastError(::GetLastError());
    return 0;
  }
  return static_cast<DWORD>(win32::CopyOut(win32::Narrow(shortened), shortPath, size));
}

std::string ExecutablePath(const char*) {
  // The module's own name: what the system started, whatever the command line says.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const ::DWORD got = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<::DWORD>(buffer.size()));
    if (got == 0) return {};
    if (got < buffer.size()) return win32::Narrow(std::wstring_view(buffer.data(), got));
    if (buffer.size() > (1u << 16)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string AbsolutePath(const std::string& nativePath) {
  if (nativePath.empty()) return nativePath;
  const std::wstring wide = win32::Wide(nativePath);
  const std::wstring full =
      CallForText([&](wchar_t* out, ::DWORD room) { return ::GetFullPathNameW(wide.c_str(), room, out, nullptr); });
  return full.empty() ? nativePath : win32::Narrow(full);
}

std::string FolderOf(const std::string& nativePath) {
  std::size_t slash = nativePath.find_last_of("\\/");
  if (slash == std::string::npos) {
    // "C:name" lies in drive C's folder.
    return nativePath.size() >= 2 && nativePath[1] == ':' ? nativePath.substr(0, 2) : std::string();
  }
  // The root of a drive or of the path keeps its separator: "C:\" for "C:\x", "\" for "\x".
  if (slash == 0 || (slash == 2 && nativePath[1] == ':')) return nativePath.substr(0, slash + 1);
  return nativePath.substr(0, slash);
}

std::string FindOnPath(const std::string& name) {
  if (name.empty()) return {};
  const std::wstring wide = win32::Wide(name);
  // With a folder part the name is taken as it is; a bare name is searched as the system
  // searches for programs, with ".exe" when it has no extension.
  for (char c : name)
    if (IsSeparator(c) || c == ':') {
      const ::DWORD attributes = ::GetFileAttributesW(wide.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? name : std::string();
    }
  const std::wstring found = CallForText(
      [&](wchar_t* out, ::DWORD room) { return ::SearchPathW(nullptr, wide.c_str(), L".exe", room, out, nullptr); });
  return win32::Narrow(found);
}

}  // namespace platform
