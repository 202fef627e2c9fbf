#pragma once

// Paths where they reach the file system. The program handles path texts in the Windows way
// (drive parts, "\" separators); only here do they become native paths.

#include <string>

#include "platform/PathLookup.h"
#include "platform/WinTypes.h"

namespace platform {

// The native text of a Windows-style path: every "\" becomes "/". A leading drive "X:" is looked
// up in the Wine prefix's dosdevices folder (`<prefix>/dosdevices/x:`, lower-case letter, usually
// a link to a folder): when that exists, the drive is replaced by it ("C:\Windows" becomes
// "<prefix>/dosdevices/c:/Windows"). When it does not exist the path is kept as written apart
// from the separators ("X:/Windows", a relative name that will normally not exist), so a missing
// drive reads as a missing file rather than as some unrelated folder. Paths without a drive are
// only converted. Nothing else is looked at.
std::string MapPathText(const std::string& windowsStylePath);

// MapPathText, then LookUpNativePath: a path that does not exist as written is looked up without
// regard to letter case and, when relative, from the program folder too. A path that exists in
// no way stays as MapPathText gives it, so every "not found" report names what was written.
TResolvedPath ResolvePath(const std::string& windowsStylePath);
std::string NativePath(const std::string& windowsStylePath);

// True when the path (through NativePath) names an existing file that is not a directory.
bool FileExists(const std::string& path);

// True when the path (through NativePath) names an existing directory.
bool DirectoryExists(const std::string& path);

// Linux has no short names, so the short form is the path itself, unchanged, when it names an
// existing file or directory. Windows conventions: the length without the NUL on success, the
// size needed (with the NUL) when `size` is too small, 0 on failure (empty or missing path; the
// last error tells which).
DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size);

// The executable's own path as it was started, made absolute without resolving symbolic links,
// so that a program linked into a disc folder finds its files beside the link. A name without
// "/" is searched on PATH; /proc/self/exe is the last resort.
std::string ExecutablePath(const char* argv0);

// A native path made absolute against the working folder; nothing is resolved.
std::string AbsolutePath(const std::string& nativePath);

// The folder part of a native path ("/a/b" for "/a/b/c"; "/" for "/c"; empty without a "/").
std::string FolderOf(const std::string& nativePath);

// Searches PATH for an executable regular file of this name (a name holding "/" is returned as
// it is when it is executable). Empty when there is none.
std::string FindOnPath(const std::string& name);

}  // namespace platform
