// The Windows parameter splitter; besides not crashing, the arguments can never hold more
// characters than the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string params(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& arg : platform::SplitWindowsCommandLine(params)) total += arg.size();
  if (total > size) __builtin_trap();
  return 0;
}
