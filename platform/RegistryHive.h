#pragma once

// One of Wine's registry files, parsed: the keys of one hive with their typed values.
//
// The text format is the one Wine writes:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\Machine
//   #arch=win64
//
//   [Software\\Classes\\.txt] 1672531200
//   #time=1d93d2c3b9e1f00
//   @="txtfile"
//   "Content Type"="text/plain"
//   "Path"=str(2):"%SystemRoot%\\system32"
//   "Big"=hex(2):25,00,41,00,25,00,00,00
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,03,\   (a hex value goes on in the next line after a final backslash)
//     04,05
//
// Key names are written with their backslashes doubled. Key and value names are compared without
// regard to the case of any letter, accented, Greek or Cyrillic ones too (Unicode simple case
// folding, as the home system matches them). Strings know the escapes \\ \" \a \b \e \f \n
// \r \t \v, octal \NNN and hexadecimal \xNNNN (a UTF-16 code unit). String values are kept as
// UTF-8 text without a terminator; the hex forms of the string types (hex(1), hex(2), hex(7)) are
// UTF-16LE and converted to the same text. Other types keep their bytes.
//
// Parsing never fails. A text that does not begin with the version line gives an empty hive, as
// Wine itself refuses such a file; a line that does not parse is skipped (a broken key header
// also drops the values that follow it, since they would otherwise land in the wrong key).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

#include "platform/WinTypes.h"

namespace platform {

struct RegistryValue {
  DWORD type = REG_NONE;
  // String types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_LINK): UTF-8 text without the final
  // terminator (REG_MULTI_SZ keeps the NULs between its strings). Other types: the raw bytes.
  std::string data;

  bool operator==(const RegistryValue&) const = default;
};

// True for the types whose data this layer keeps as text.
bool IsRegistryTextType(DWORD type);

class RegistryHive {
 public:
  static RegistryHive Parse(std::string_view fileText);

  // A key path is a list of names separated by backslashes; empty parts (a leading or trailing
  // backslash) are ignored and the case of letters (of any script) does not matter. The empty
  // path is the hive's root, which always exists. Keys listed in the file exist together with all
  // their ancestors. Symbolic links that Wine marks with #link (CurrentControlSet, for instance)
  // are followed when they point into the same hive.
  bool KeyExists(std::string_view path) const;

  // nullptr when the key or value is missing; an empty name is the key's default value ("@").
  // Value names, like key names, are UTF-8 and matched without regard to letter case.
  const RegistryValue* FindValue(std::string_view keyPath, std::string_view valueName) const;

  // The number of keys below the root, including those that exist only as ancestors.
  std::size_t KeyCount() const { return keyCount_; }

  // Turns a key path into the canonical form used for look-ups: each name case-folded (Unicode
  // simple folding; bytes that are not UTF-8 stay as they are), single separators, no separator
  // at either end.
  static std::string NormalisePath(std::string_view path);

 private:
  struct Node {
    std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
    std::map<std::string, RegistryValue> values;            // by folded name
    bool isLink = false;
  };

  // Windows allows at most 512 levels; deeper headers are dropped, which also keeps the tree
  // (and its recursive destruction) shallow whatever the file holds.
  static constexpr std::size_t kMaxDepth = 512;

  const Node* FindNode(std::string_view path) const;
  std::optional<std::vector<std::string>> LinkTarget(const Node& node) const;

  Node root_;
  std::size_t keyCount_ = 0;
};

}  // namespace platform
