#pragma once
// Whether a program gets a display, and what it does without one. The decisions here are plain
// text work on the command line and the environment; QtBackend.cpp acts on them.
#include <string>

// What a program needs of the display.
enum class TDisplayUse {
  // It shows windows: where no display can be opened it ends at once, with exit code 1 and one
  // line on standard error.
  Windows,
  // It shows windows only where it can (a windowless run): without a display it runs on, and its
  // message boxes are written to standard error instead.
  WindowsWhereAvailable,
  // It never shows a window and never opens a display.
  None,
};

// The platform Qt falls back to when no display can be opened: it draws into memory only.
inline constexpr const char* kNoDisplayPlatform = "offscreen";

// The platforms the user chose: the value of the last "-platform" (or "--platform") argument,
// else QT_QPA_PLATFORM (qpaPlatform, may be nullptr); empty when neither chose any.
std::string ChosenPlatforms(int argc, char** argv, const char* qpaPlatform);

// The platforms for Qt to try, in order, separated by ";": empty when the user chose them, which
// then stand. Otherwise those Qt would try on its own (Wayland first in a Wayland session, as Qt
// does), Wayland after X when WAYLAND_DISPLAY names a compositor, and the fallback last, so that
// a missing display is noticed instead of ending the program.
std::string PlatformsToTry(TDisplayUse use, const std::string& chosenPlatforms, const char* sessionType,
                           const char* waylandDisplay);

// The one line that tells why the program cannot run, without its line break: the program's
// file name, then what was tried, e.g. "quorvane: cannot open a display (DISPLAY is not set)".
std::string NoDisplayLine(const char* argv0, const std::string& chosenPlatforms, const char* display,
                          const char* waylandDisplay);
