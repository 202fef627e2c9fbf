#pragma once
// The profile (INI file) reader: every read opens the file anew, decodes it (UTF-16 with a mark,
// UTF-8, or Windows-1252), finds the section and the key without regard to letter case, and
// answers the trimmed value without enclosing quotes, in UTF-8. Blanks are spaces, tabs, line
// and page breaks, and ^Z (the end-of-file mark of DOS editors).
#include <cstddef>
#include <string>

namespace platform {

// Longest value a read answers, in characters; longer values are cut (the result buffer holds
// 2048 characters).
constexpr size_t ProfileValueLimit = 2047;
// Files larger than this are read only this far: an INI file is small, and a read must not take
// a huge file whole into memory.
constexpr size_t ProfileFileLimit = 16u << 20;

// Answers the value of Key in Section of the file, or Default when the file, the section or the
// key is missing. A key present with an empty value answers the empty text.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

}  // namespace platform
