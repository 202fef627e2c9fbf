#pragma once

// Environment-variable expansion with the Windows rules.

#include <optional>
#include <string>

#include "platform/WinTypes.h"

namespace platform {

// The value of an environment variable. The name is looked up as given first and then, since
// Windows names are not case-sensitive, without regard to ASCII letter case (the first match in
// the environment's order wins).
std::optional<std::string> GetEnvironmentVariableText(const std::string& name);

// Sets (or, with no value, removes) a variable of the program's own environment, which started
// programs inherit.
void SetEnvironmentVariableText(const std::string& name, const std::optional<std::string>& value);

// Expands the text: every %NAME% of a defined variable becomes its value; a %NAME% of an
// undefined variable, "%%" and a lone "%" stay as written. A reference whose value is expanded is
// not examined again.
std::string ExpandEnvironmentText(const std::string& text);

// The Windows call: writes the expansion with its NUL to dst when it fits in `size` characters
// and returns the characters needed including the NUL. When the result is larger than `size`
// nothing usable is in dst (it is left holding an empty string when size > 0) and the caller may
// call again with the returned size. 0 only for a null source.
DWORD ExpandEnvironmentStringsA(const char* src, char* dst, DWORD size);

}  // namespace platform
