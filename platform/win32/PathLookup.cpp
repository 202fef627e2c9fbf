// Lookup on the home system's own file systems: they ignore letter case themselves, so a path is
// found as written or not at all.
#include "platform/PathLookup.h"
#include "platform/SystemHooks.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

bool SystemLookUpPath(const std::string& path, TResolvedPath& result) {
  const ::DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  result.Native = path;
  result.Match = TPathMatch::Exact;
  result.IsDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

// Relative to the working folder: no drive ("C:", also "C:name", which is relative to drive C's
// own folder) and no leading separator.
bool SystemIsRelativePath(const std::string& path) {
  if (path.empty() || (path.size() >= 2 && path[1] == ':')) return false;
  return path[0] != '\\' && path[0] != '/';
}

std::string SystemJoinPath(const std::string& folder, const std::string& name) {
  const char last = folder.back();
  return folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}

}  // namespace platform
