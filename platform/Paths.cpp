#include "platform/Paths.h"

namespace platform {

TResolvedPath ResolvePath(const std::string& windowsStylePath) {
  return LookUpNativePath(MapPathText(windowsStylePath));
}

std::string NativePath(const std::string& windowsStylePath) { return ResolvePath(windowsStylePath).Native; }

bool FileExists(const std::string& path) {
  const TResolvedPath resolved = ResolvePath(path);
  return resolved.Exists() && !resolved.IsDirectory;
}

bool DirectoryExists(const std::string& path) {
  const TResolvedPath resolved = ResolvePath(path);
  return resolved.Exists() && resolved.IsDirectory;
}

}  // namespace platform
