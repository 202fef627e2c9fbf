// Case-blind lookup on file systems that tell letter cases apart: each name that does not exist as
// written is looked for among its folder's entries by its folded form.
#include "platform/PathLookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <optional>

#include "platform/CodePages.h"
#include "platform/SystemHooks.h"

namespace platform {

namespace {

// Closes a directory stream on every way out.
struct TDirCloser {
  DIR* Dir;
  ~TDirCloser() {
    if (Dir) ::closedir(Dir);
  }
};

struct TNameMatch {
  std::string Name;
  bool ByEncoding = false;
};

// The entry of `folder` whose folded name is `folded`, the first in byte order when there are
// several; nothing when the folder cannot be read or holds no such name.
std::optional<TNameMatch> FindFolded(const std::string& folder, const std::string& folded) {
  TDirCloser dir{::opendir(folder.c_str())};
  if (!dir.Dir) return std::nullopt;
  std::optional<TNameMatch> best;
  while (const dirent* entry = ::readdir(dir.Dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (best && name >= std::string_view(best->Name)) continue;
    if (FoldName(name) != folded) continue;
    best = TNameMatch{std::string(name), !IsValidUtf8(name)};
  }
  return best;
}

// Walks the path one name at a time, taking each name as written when it exists and otherwise
// its folded match in the folder reached so far.
bool WalkIgnoringCase(const std::string& path, TResolvedPath& result) {
  const bool absolute = path[0] == '/';
  std::string out;  // the part resolved so far
  auto join = [&](const std::string& name) { return (absolute || !out.empty()) ? out + "/" + name : name; };
  bool byEncoding = false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    const std::string joined = join(name);
    struct stat info{};
    if (name == "." || name == ".." || ::stat(joined.c_str(), &info) == 0) {
      out = joined;
      continue;
    }
    const std::optional<TNameMatch> match = FindFolded(out.empty() ? (absolute ? "/" : ".") : out, FoldName(name));
    if (!match) return false;
    byEncoding = byEncoding || match->ByEncoding;
    out = join(match->Name);
  }
  struct stat info{};
  if (out.empty() || ::stat(out.c_str(), &info) != 0) return false;
  if (path.back() == '/' && out.back() != '/') out += '/';
  result.Native = out;
  result.Match = byEncoding ? TPathMatch::Encoding : TPathMatch::LetterCase;
  result.IsDirectory = S_ISDIR(info.st_mode);
  return true;
}

bool LookUpExact(const std::string& path, TResolvedPath& result) {
  struct stat info{};
  if (::stat(path.c_str(), &info) != 0) return false;
  result.Native = path;
  result.Match = TPathMatch::Exact;
  result.IsDirectory = S_ISDIR(info.st_mode);
  return true;
}

}  // namespace

bool SystemLookUpPath(const std::string& path, TResolvedPath& result) {
  return LookUpExact(path, result) || WalkIgnoringCase(path, result);
}

bool SystemIsRelativePath(const std::string& path) { return !path.empty() && path[0] != '/'; }

std::string SystemJoinPath(const std::string& folder, const std::string& name) {
  return folder + (folder.back() == '/' ? "" : "/") + name;
}

}  // namespace platform
