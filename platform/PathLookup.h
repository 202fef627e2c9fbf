#pragma once

// Finding a file the way the disc's home system would: its file systems ignore letter case, so
// a disc's INI files may write `Video\Feature.AVI` for a file stored as `video/feature.avi`, and
// a disc mounted here may show names in another encoding than the INI files use. A path that
// does not exist as written is looked up here one folder at a time.

#include <string>
#include <string_view>

namespace platform {

// Unicode simple case folding of one code point (the C and S mappings of CaseFolding.txt).
char32_t SimpleCaseFold(char32_t codePoint);

// The case-folded UTF-8 form of a name. A name that is not valid UTF-8 is read as Windows-1252
// first, so that every name has a folded form.
std::string FoldName(std::string_view name);

enum class TPathMatch {
  Exact,       // the path exists as written
  LetterCase,  // it exists with another letter case in some of its names
  Encoding,    // some name on disk is not UTF-8 and matched only as Windows-1252
  Missing,     // nothing matches; the path stays as written
};

struct TResolvedPath {
  std::string Native;  // what to give the file system
  TPathMatch Match = TPathMatch::Missing;
  bool IsDirectory = false;
  bool FromProgramFolder = false;  // found only from the program's own folder
  bool Exists() const { return Match != TPathMatch::Missing; }
};

// Looks up a native ("/"-separated) path: as written first (one stat, nothing more when it is
// there), then each name without regard to letter case, the first match in byte order winning
// when several names differ only by case. A relative path that is found in neither way from the
// working folder is then looked up the same two ways from the program folder.
TResolvedPath LookUpNativePath(const std::string& nativePath);

// The folder of the program's own path, where relative paths are looked up when the working
// folder does not have them. Empty (the default) turns that second place off.
void SetProgramFolder(std::string folder);
const std::string& ProgramFolder();

}  // namespace platform
