// Lookup on the home system's own file systems: they ignore letter case themselves, so a path is
// found as written or not at all.
#include "platform/PathLookup.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace platform {

namespace {

bool LookUpExact(const std::string& path, TResolvedPath& result) {
  const ::DWORD attributes = ::GetFileAttributesW(win32::Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  result.Native = path;
  result.Match = TPathMatch::Exact;
  result.IsDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

// Relative to the working folder: no drive ("C:", also "C:name", which is relative to drive C's
// own folder) and no leading separator.
bool IsRelative(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return false;
  return path[0] != '\\' && path[0] != '/';
}

}  // namespace

TResolvedPath LookUpNativePath(const std::string& nativePath) {
  TResolvedPath result;
  result.Native = nativePath;
  if (nativePath.empty()) return result;
  if (LookUpExact(nativePath, result)) return result;
  const std::string& folder = ProgramFolder();
  if (IsRelative(nativePath) && !folder.empty()) {
    const char last = folder.back();
    const std::string fromFolder = folder + (last == '\\' || last == '/' ? "" : "\\") + nativePath;
    if (LookUpExact(fromFolder, result)) {
      result.FromProgramFolder = true;
      return result;
    }
  }
  result = TResolvedPath{};
  result.Native = nativePath;
  return result;
}

}  // namespace platform
