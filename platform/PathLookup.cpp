#include "platform/PathLookup.h"

#include <algorithm>
#include <iterator>

#include "platform/CodePages.h"
#include "platform/SystemHooks.h"
#include "platform/Utf.h"

namespace platform {

namespace {

struct TFoldRun {
  char32_t First, Last;
  int Offset;
  unsigned Step;
};

constexpr TFoldRun kFoldRuns[] = {
#include "platform/CaseFoldingTable.inc"
};

std::string& ProgramFolderStore() {
  static std::string folder;
  return folder;
}

}  // namespace

char32_t SimpleCaseFold(char32_t cp) {
  // The runs are sorted by their first code point; the run that may hold cp is the last one
  // that starts at or before it.
  const TFoldRun* run = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), cp,
                                         [](char32_t c, const TFoldRun& r) { return c < r.First; });
  if (run == std::begin(kFoldRuns)) return cp;
  --run;
  if (cp > run->Last || (cp - run->First) % run->Step != 0) return cp;
  return static_cast<char32_t>(static_cast<int>(cp) + run->Offset);
}

std::string FoldName(std::string_view name) {
  const std::string decoded = IsValidUtf8(name) ? std::string(name) : Windows1252ToUtf8(name);
  std::string out;
  out.reserve(decoded.size());
  for (std::size_t pos = 0; pos < decoded.size();) {
    const auto byte = static_cast<unsigned char>(decoded[pos]);
    if (byte < 0x80) {
      out += FoldAscii(decoded[pos++]);
      continue;
    }
    AppendUtf8(out, SimpleCaseFold(DecodeUtf8(decoded, pos)));
  }
  return out;
}

TResolvedPath LookUpNativePath(const std::string& nativePath) {
  TResolvedPath result;
  result.Native = nativePath;
  if (nativePath.empty()) return result;
  if (SystemLookUpPath(nativePath, result)) return result;
  const std::string& folder = ProgramFolder();
  if (!folder.empty() && SystemIsRelativePath(nativePath) &&
      SystemLookUpPath(SystemJoinPath(folder, nativePath), result)) {
    result.FromProgramFolder = true;
    return result;
  }
  result = TResolvedPath{};
  result.Native = nativePath;
  return result;
}

void SetProgramFolder(std::string folder) {
  // Background readers may be resolving paths already: the same folder again writes nothing.
  if (ProgramFolderStore() != folder) ProgramFolderStore() = std::move(folder);
}

const std::string& ProgramFolder() { return ProgramFolderStore(); }

}  // namespace platform
