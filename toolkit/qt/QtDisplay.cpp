#include "toolkit/qt/QtDisplay.h"

#include <cstring>

namespace {

bool Set(const char* value) { return value && *value; }

}  // namespace

std::string ChosenPlatforms(int argc, char** argv, const char* qpaPlatform) {
  // Qt reads the argument in either spelling, the last one winning, and prefers it to the
  // environment.
  std::string chosen;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!argv[i]) continue;
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) chosen = argv[++i] ? argv[i] : "";
  }
  if (!chosen.empty()) return chosen;
  return Set(qpaPlatform) ? std::string(qpaPlatform) : std::string();
}

std::string PlatformsToTry(TDisplayUse use, const std::string& chosenPlatforms, const char* sessionType,
                           const char* waylandDisplay) {
  if (use == TDisplayUse::None) return kNoDisplayPlatform;
  if (!chosenPlatforms.empty()) return std::string();
  const bool waylandSession = sessionType && std::strcmp(sessionType, "wayland") == 0;
  std::string platforms = waylandSession ? "wayland;xcb" : "xcb";
  if (!waylandSession && Set(waylandDisplay)) platforms += ";wayland";
  return platforms + ";" + kNoDisplayPlatform;
}

std::string NoDisplayLine(const char* argv0, const std::string& chosenPlatforms, const char* display,
                          const char* waylandDisplay) {
  std::string program = Set(argv0) ? argv0 : "program";
  if (const size_t slash = program.find_last_of('/'); slash != std::string::npos && slash + 1 < program.size())
    program.erase(0, slash + 1);
  std::string reason;
  if (!chosenPlatforms.empty()) {
    const bool several = chosenPlatforms.find(';') != std::string::npos;
    reason = (several ? "platforms " : "platform ") + chosenPlatforms + " did not start";
  } else if (!Set(display) && !Set(waylandDisplay)) {
    reason = "DISPLAY and WAYLAND_DISPLAY are not set";
  } else {
    reason = Set(display) ? "no X server answers at DISPLAY=" + std::string(display) : "DISPLAY is not set";
    reason += Set(waylandDisplay) ? ", no Wayland compositor at WAYLAND_DISPLAY=" + std::string(waylandDisplay)
                                  : ", WAYLAND_DISPLAY is not set";
  }
  return program + ": cannot open a display (" + reason + ")";
}
