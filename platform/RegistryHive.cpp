#include "platform/RegistryHive.h"

#include <algorithm>
#include <cstring>

#include "platform/PathLookup.h"
#include "platform/Utf.h"

namespace platform {

namespace {

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
constexpr std::string_view kLinkValueName = "symboliclinkvalue";
constexpr int kMaxLinkHops = 8;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends the folded form of a key or value name. The home system matches names without regard
// to the case of any letter, not only of ASCII ones (KÉY is Kéy, ΣΟΦΊΑ is σοφία), so names fold
// by Unicode simple case folding. Names are UTF-8; a byte that starts no valid sequence is kept as
// it is and so matches only itself (FoldName would read the whole name as Windows-1252 instead,
// and copy it first). Runs of ASCII, the usual case, are copied whole and folded in place.
void AppendFolded(std::string& out, std::string_view name) {
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t start = pos;
    while (pos < name.size() && static_cast<unsigned char>(name[pos]) < 0x80) ++pos;
    if (pos > start) {
      const std::size_t from = out.size();
      out.append(name.substr(start, pos - start));
      for (std::size_t i = from; i < out.size(); ++i) out[i] = FoldAscii(out[i]);
      continue;
    }
    const char32_t codePoint = DecodeUtf8(name, pos);
    if (pos == start + 1) {
      out.push_back(name[start]);  // malformed: a valid sequence here has two bytes or more
    } else {
      AppendUtf8(out, SimpleCaseFold(codePoint));
    }
  }
}

std::string FoldedName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  AppendFolded(out, name);
  return out;
}

// Takes the next name off the front of `path` (empty when the path starts with a separator).
std::string_view NextPart(std::string_view& path) {
  const std::size_t end = std::min(path.find('\\'), path.size());
  const std::string_view part = path.substr(0, end);
  path.remove_prefix(std::min(end + 1, path.size()));
  return part;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty())
    if (std::string_view part = NextPart(path); !part.empty()) parts.push_back(FoldedName(part));
  return parts;
}

// Reads the text of a quoted string or key name starting at `pos` (just after the opening
// delimiter) up to the unescaped `terminator`. On success `pos` is left after the terminator.
// An unterminated text gives nothing.
std::optional<std::u16string> ParseEscaped(std::string_view s, std::size_t& pos, char terminator) {
  std::u16string out;
  while (pos < s.size()) {
    char c = s[pos];
    if (c == terminator) {
      ++pos;
      return out;
    }
    if (c != '\\') {
      AppendUtf16(out, DecodeUtf8(s, pos));
      continue;
    }
    if (++pos >= s.size()) return std::nullopt;
    char e = s[pos];
    switch (e) {
      case 'a': out.push_back(7), ++pos; break;
      case 'b': out.push_back(8), ++pos; break;
      case 'e': out.push_back(27), ++pos; break;
      case 'f': out.push_back(12), ++pos; break;
      case 'n': out.push_back(10), ++pos; break;
      case 'r': out.push_back(13), ++pos; break;
      case 't': out.push_back(9), ++pos; break;
      case 'v': out.push_back(11), ++pos; break;
      case 'x': {
        ++pos;
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && pos < s.size() && HexDigit(s[pos]) >= 0) {
          value = value * 16 + static_cast<unsigned>(HexDigit(s[pos++]));
          ++digits;
        }
        out.push_back(digits ? static_cast<char16_t>(value) : u'x');
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = 0;
          for (int digits = 0; digits < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7';
               ++digits)
            value = value * 8 + static_cast<unsigned>(s[pos++] - '0');
          out.push_back(static_cast<char16_t>(value));
        } else {
          AppendUtf16(out, DecodeUtf8(s, pos));  // \\ \" \[ \] and anything else stand for themselves
        }
    }
  }
  return std::nullopt;
}

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  std::optional<std::string_view> Next() {
    if (pos_ >= text_.size()) return std::nullopt;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::string TrimTrailingNuls(std::string text) {
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string Utf16ToLeBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// Parses "(N):" after "str" or "hex"; N is hexadecimal as Wine writes it (hex(b) is REG_QWORD).
std::optional<DWORD> ParseTypeSuffix(std::string_view s, std::size_t& pos) {
  if (pos >= s.size() || s[pos] != '(') return std::nullopt;
  ++pos;
  DWORD type = 0;
  int digits = 0;
  while (pos < s.size() && HexDigit(s[pos]) >= 0) {
    if (++digits > 8) return std::nullopt;
    type = type * 16 + static_cast<DWORD>(HexDigit(s[pos++]));
  }
  if (digits == 0 || s.substr(pos, 2) != "):") return std::nullopt;
  pos += 2;
  return type;
}

// Reads the comma-separated bytes of a hex value, following continuation lines that end in "\".
std::optional<std::string> ParseHexBytes(std::string_view line, std::size_t pos, LineReader& lines) {
  std::string bytes;
  for (;;) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size()) return bytes;
    if (line[pos] == '\\') {
      std::size_t rest = pos + 1;
      while (rest < line.size() && IsBlank(line[rest])) ++rest;
      if (rest != line.size()) return std::nullopt;
      auto next = lines.Next();
      if (!next) return std::nullopt;  // the file ends inside the value
      line = *next;
      pos = 0;
      continue;
    }
    int high = HexDigit(line[pos]);
    if (high < 0) return std::nullopt;
    ++pos;
    int value = high;
    if (pos < line.size() && HexDigit(line[pos]) >= 0) value = value * 16 + HexDigit(line[pos++]);
    bytes.push_back(static_cast<char>(value));
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == ',') {
      ++pos;
    } else if (pos < line.size() && line[pos] != '\\') {
      return std::nullopt;
    }
  }
}

std::optional<RegistryValue> ParseData(std::string_view line, std::size_t pos, LineReader& lines) {
  RegistryValue value;
  auto textValue = [&](DWORD type, std::size_t at) -> std::optional<RegistryValue> {
    auto text = ParseEscaped(line, at, '"');
    if (!text) return std::nullopt;
    value.type = type;
    value.data = IsRegistryTextType(type) ? TrimTrailingNuls(Utf16ToUtf8(*text))
                                          : Utf16ToLeBytes(*text);
    return value;
  };

  std::string_view rest = line.substr(pos);
  if (rest.starts_with('"')) return textValue(REG_SZ, pos + 1);
  if (rest.starts_with("str")) {
    std::size_t at = pos + 3;
    auto type = ParseTypeSuffix(line, at);
    if (!type || at >= line.size() || line[at] != '"') return std::nullopt;
    return textValue(*type, at + 1);
  }
  if (rest.starts_with("dword:")) {
    std::size_t at = pos + 6;
    std::uint32_t number = 0;
    int digits = 0;
    while (at < line.size() && HexDigit(line[at]) >= 0) {
      if (++digits > 8) return std::nullopt;
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(line[at++]));
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (digits == 0 || at != line.size()) return std::nullopt;
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    return value;
  }
  if (rest.starts_with("hex")) {
    std::size_t at = pos + 3;
    DWORD type = REG_BINARY;
    if (at < line.size() && line[at] == '(') {
      auto suffix = ParseTypeSuffix(line, at);
      if (!suffix) return std::nullopt;
      type = *suffix;
    } else if (at < line.size() && line[at] == ':') {
      ++at;
    } else {
      return std::nullopt;
    }
    auto bytes = ParseHexBytes(line, at, lines);
    if (!bytes) return std::nullopt;
    value.type = type;
    if (IsRegistryTextType(type)) {
      value.data = TrimTrailingNuls(Utf16LeBytesToUtf8(
          reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
    } else {
      value.data = std::move(*bytes);
    }
    return value;
  }
  return std::nullopt;
}

}  // namespace

bool IsRegistryTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string RegistryHive::NormalisePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  while (!path.empty()) {
    const std::string_view part = NextPart(path);
    if (part.empty()) continue;
    if (!out.empty()) out.push_back('\\');
    AppendFolded(out, part);
  }
  return out;
}

RegistryHive RegistryHive::Parse(std::string_view text) {
  RegistryHive hive;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  LineReader lines(text);
  auto first = lines.Next();
  if (!first || !first->starts_with(kSignature)) return hive;

  Node* current = nullptr;
  while (auto next = lines.Next()) {
    std::string_view line = *next;
    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size()) continue;
    char lead = line[pos];

    if (lead == '[') {
      ++pos;
      current = nullptr;
      auto name = ParseEscaped(line, pos, ']');
      if (!name) continue;
      std::vector<std::string> parts = SplitPath(Utf16ToUtf8(*name));
      if (parts.size() > kMaxDepth) continue;
      Node* node = &hive.root_;
      for (std::string& part : parts) {
        auto& child = node->children[std::move(part)];
        if (!child) {
          child = std::make_unique<Node>();
          ++hive.keyCount_;
        }
        node = child.get();
      }
      current = node;
    } else if (lead == '#') {
      if (current && line.substr(pos).starts_with("#link")) current->isLink = true;
    } else if ((lead == '"' || lead == '@') && current) {
      std::string name;
      if (lead == '"') {
        ++pos;
        auto parsed = ParseEscaped(line, pos, '"');
        if (!parsed) continue;
        name = FoldedName(Utf16ToUtf8(*parsed));
      } else {
        ++pos;
      }
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos >= line.size() || line[pos] != '=') continue;
      ++pos;
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (auto value = ParseData(line, pos, lines)) current->values[name] = std::move(*value);
    }
    // Anything else (";;" comments, stray text) is ignored.
  }
  return hive;
}

std::optional<std::vector<std::string>> RegistryHive::LinkTarget(const Node& node) const {
  auto it = node.values.find(std::string(kLinkValueName));
  if (it == node.values.end() || it->second.type != REG_LINK) return std::nullopt;
  const std::string& bytes = it->second.data;
  std::vector<std::string> parts = SplitPath(
      Utf16LeBytesToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  // Wine's links name their target by its kernel path; only targets inside a hive of the same
  // kind can be followed here: \Registry\Machine\... for the machine, \Registry\User\<sid>\...
  // for the user.
  if (parts.size() >= 2 && parts[0] == "registry" && parts[1] == "machine") {
    parts.erase(parts.begin(), parts.begin() + 2);
    return parts;
  }
  if (parts.size() >= 3 && parts[0] == "registry" && parts[1] == "user") {
    parts.erase(parts.begin(), parts.begin() + 3);
    return parts;
  }
  return std::nullopt;
}

const RegistryHive::Node* RegistryHive::FindNode(std::string_view path) const {
  // Every read comes through here: the names are folded one at a time into one buffer rather
  // than split into a list of strings first.
  std::string name;
  std::string redirected;  // the rest of the path once a link has been followed
  int hops = 0;
  const Node* node = &root_;
  while (!path.empty()) {
    const std::string_view part = NextPart(path);
    if (part.empty()) continue;
    name.clear();
    AppendFolded(name, part);
    auto it = node->children.find(name);
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
    if (node->isLink) {
      auto target = LinkTarget(*node);
      if (!target) continue;
      if (++hops > kMaxLinkHops) return nullptr;  // links that lead round in a circle
      std::string next;
      for (const std::string& targetPart : *target) next.append(targetPart).push_back('\\');
      next.append(path);  // path may point into `redirected`, so that is replaced only now
      redirected = std::move(next);
      path = redirected;
      node = &root_;
    }
  }
  return node;
}

bool RegistryHive::KeyExists(std::string_view path) const { return FindNode(path) != nullptr; }

const RegistryValue* RegistryHive::FindValue(std::string_view keyPath,
                                             std::string_view valueName) const {
  const Node* node = FindNode(keyPath);
  if (!node) return nullptr;
  auto it = node->values.find(FoldedName(valueName));
  return it == node->values.end() ? nullptr : &it->second;
}

}  // namespace platform
