// Paths on a POSIX system: "\" becomes "/", and drive letters map through the Wine prefix's
// dosdevices folder.
#include "platform/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Registry.h"

namespace platform {

namespace {

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Removes "." parts and doubled separators without touching ".." or links, which would need
// the file system to be resolved correctly.
std::string Tidy(const std::string& path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string_view part(path.data() + start, end - start);
    if (!part.empty() && part != ".") out.append("/").append(part);
    start = end + 1;
  }
  return out.empty() ? "/" : out;
}

}  // namespace

std::string MapPathText(const std::string& windowsStylePath) {
  std::string path = windowsStylePath;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    std::string prefix = WinePrefixPath();
    if (!prefix.empty()) {
      char letter = static_cast<char>(path[0] | 0x20);
      std::string device = prefix + "/dosdevices/" + letter + ":";
      struct stat info{};
      if (::stat(device.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::string rest = path.substr(2);
        if (!rest.empty() && rest[0] != '/') rest.insert(rest.begin(), '/');
        return device + rest;
      }
    }
  }
  return path;
}

DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size) {
  if (!longPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string path = longPath;
  if (path.empty() || !ResolvePath(path).Exists()) {
    SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return 0;
  }
  DWORD needed = static_cast<DWORD>(path.size() + 1);
  if (!shortPath || size < needed) return needed;
  std::memcpy(shortPath, path.c_str(), needed);
  return needed - 1;
}

std::string AbsolutePath(const std::string& nativePath) {
  if (!nativePath.empty() && nativePath[0] == '/') return nativePath;
  return CurrentDirectory() + "/" + nativePath;
}

std::string FolderOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : nativePath.substr(0, slash);
}

std::string FindOnPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string{};
  const char* pathVariable = std::getenv("PATH");
  std::string_view dirs = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string_view::npos) end = dirs.size();
    std::string dir(dirs.substr(start, end - start));
    if (dir.empty()) dir.push_back('.');  // an empty PATH entry means the current directory
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

std::string ExecutablePath(const char* argv0) {
  std::string started = argv0 ? argv0 : "";
  if (!started.empty() && started.find('/') == std::string::npos) started = FindOnPath(started);
  if (!started.empty()) {
    if (started[0] != '/') started = CurrentDirectory() + "/" + started;
    std::string tidy = Tidy(started);
    if (IsExecutableFile(tidy)) return tidy;
  }
  std::string buffer(PATH_MAX, '\0');
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0) return {};
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

}  // namespace platform
