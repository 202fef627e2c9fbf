#include "platform/Profile.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "platform/FileReading.h"
#include "platform/Paths.h"
#include "platform/TextDecoding.h"

namespace platform {
namespace {

// ^Z counts as a blank: DOS editors end a file with one, often straight after the last value
// with no line break, and the disc's home system reads such a value without it. A ^Z inside a
// value is not trimmed and stays.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Reads at most ProfileFileLimit bytes of a regular file; anything else (a folder, a FIFO, no such
// file) gives false.
bool ReadWhole(const std::string& fileName, std::string& content) {
  if (fileName.empty()) return false;
  // The file as written is tried first, so that a name that matches costs no lookup at all.
  std::optional<RandomAccessFile> file(std::in_place, MapPathText(fileName));
  if (!file->IsOpen()) file.emplace(NativePath(fileName));
  if (!file->IsOpen()) return false;
  content.resize(static_cast<size_t>(std::min<std::uint64_t>(file->Size(), ProfileFileLimit)));
  return file->ReadAt(0, content.data(), content.size());
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  std::string result = defaultValue;
  std::string bytes;
  if (ReadWhole(fileName, bytes)) {
    const std::string content = DecodeText(std::move(bytes));
    // The first matching section and, within it, the first matching key win; lines that are
    // neither a section header nor "name=value" (comments among them) are passed over.
    bool inSection = false, sectionSeen = false;
    size_t pos = 0;
    while (pos < content.size()) {
      // A line ends at CR LF, LF or a CR alone, as the editors of every system write them.
      size_t end = pos;
      while (end < content.size() && content[end] != '\n' && content[end] != '\r') ++end;
      const std::string line = TrimBlanks(content.substr(pos, end - pos));
      pos = end + 1;
      if (end < content.size() && content[end] == '\r' && pos < content.size() && content[pos] == '\n') ++pos;
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[') {
        if (inSection) break;
        size_t close = line.find(']');
        std::string name = TrimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        inSection = !sectionSeen && SameName(name, section);
        sectionSeen = sectionSeen || inSection;
        continue;
      }
      if (!inSection) continue;
      size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      if (!SameName(TrimBlanks(line.substr(0, eq)), key)) continue;
      result = Unquote(TrimBlanks(line.substr(eq + 1)));
      break;
    }
  }
  // The value travels as a C string: it ends at a NUL byte.
  const size_t nul = result.find('\0');
  if (nul != std::string::npos) result.resize(nul);
  // No more bytes than the limit means no more characters either.
  return result.size() <= ProfileValueLimit ? result : FirstCharacters(result, ProfileValueLimit);
}

}  // namespace platform
