#include "../FeatureSystem.h"

#include <filesystem>

#include "platform/Registry.h"

namespace feature_system {

TRegistryValues::TRegistryValues(const TempDir& disc) {
  platform::SetWinePrefixOverride(disc.File("prefix"));
  disc.Write("prefix/system.reg",
             "WINE REGISTRY Version 2\n"
             "[Software\\\\Demo\\\\Player] 1700000000\n"
             "@=\"" + disc.Path() + "/fromdefault\"\n"
             "\"Folder\"=\"" + disc.Path() + "/players\"\n"
             "\"Command\"=\"\\\"C:\\\\Players\\\\player.exe\\\" --x\"\n"
             "\"Plain\"=\"player --x\"\n"
             "\"Expand\"=str(2):\"%QV_TEST_ROOT%\\\\players\"\n"
             "\"Number\"=dword:00000010\n");
  disc.Write("prefix/user.reg", "WINE REGISTRY Version 2\n");
}

TRegistryValues::~TRegistryValues() { platform::SetWinePrefixOverride(std::nullopt); }

std::string TRegistryValues::Key() { return "HKEY_LOCAL_MACHINE\\Software\\Demo\\Player"; }

std::string ProgramName(const std::string& stem) { return stem + ".sh"; }

std::string WriteRecorder(const TempDir& disc, const std::string& folder, const std::string& stem, int delayMs,
                          TEnd end) {
  const std::string wait = delayMs ? "sleep " + std::to_string(delayMs / 1000.0) + "; " : "";
  const std::string crash = end == TEnd::Crashing ? "kill -SEGV $$\n" : "";
  return disc.Write(folder + "/" + ProgramName(stem),
                    "#!/bin/sh\n" + wait + "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                        disc.File(stem + ".log") + "'\n" + crash,
                    true);
}

}  // namespace feature_system
