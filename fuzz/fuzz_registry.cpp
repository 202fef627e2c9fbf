// Wine registry files: parse anything, then look up a few keys and values the way the launcher
// does, through links and all.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/RegistryHive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::RegistryHive hive = platform::RegistryHive::Parse(text);
  for (std::string_view key : {"", "K", "Software\\Classes", "System\\CurrentControlSet\\A\\B",
                               "a\\a\\a\\a"}) {
    if (hive.KeyExists(key)) {
      for (std::string_view value : {"", "V", "SymbolicLinkValue"})
        if (const platform::RegistryValue* found = hive.FindValue(key, value))
          (void)found->data.size();
    }
  }
  return 0;
}
