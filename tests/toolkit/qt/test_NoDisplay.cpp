#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Dialogs.h"
#include "toolkit/qt/QtDisplay.h"

namespace {

TEST(UnshownMessageBoxes, NoticesAreAcknowledgedAndQuestionsRefused) {
  struct Row { unsigned Flags; int Answer; };
  const Row rows[] = {
      {MB_OK, IDOK},
      {MB_OK | MB_ICONSTOP | MB_TASKMODAL, IDOK},
      {MB_YESNO | MB_ICONQUESTION, IDNO},
      {MB_YESNOCANCEL, IDNO},
      {MB_OKCANCEL, IDCANCEL},
      {0x0005 /* retry, cancel */, IDCANCEL},
  };
  for (const Row& row : rows) EXPECT_EQ(UnshownMessageBoxAnswer(row.Flags), row.Answer) << std::hex << row.Flags;
}

TEST(UnshownMessageBoxes, TextIsOneIndentedBlockUnderItsCaption) {
  struct Row { TMessageBoxRequest Box; std::string Text; };
  const Row rows[] = {
      // CR LF, a lone CR and a lone LF all break lines; empty lines stay empty, without blanks.
      {{"MainFile not found\r\nVideo\\feature.avi", "Quorvane +", MB_OK},
       "Quorvane +:\n  MainFile not found\n  Video\\feature.avi\n\n"},
      {{"one\rtwo\nthree\r\n\r\nfour", "C", MB_OK}, "C:\n  one\n  two\n  three\n\n  four\n\n"},
      // Line breaks at the end would part the block from its answer.
      {{"Codec is not installed\r\n\r\nInstall now?\r\n\r\n", "Quorvane +", MB_YESNO | MB_ICONQUESTION},
       "Quorvane +:\n  Codec is not installed\n\n  Install now?\n  Answered No: there is no display to ask on.\n\n"},
      {{"Exception Exception in module quorvane at 0000000000001234.\nUser aborted installation of Demo Codec.",
        "Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL},
       "Application Error:\n  Exception Exception in module quorvane at 0000000000001234.\n"
       "  User aborted installation of Demo Codec.\n\n"},
      {{"", "", MB_OKCANCEL}, "(no caption):\n  Answered Cancel: there is no display to ask on.\n\n"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(UnshownMessageBoxText(row.Box, UnshownMessageBoxAnswer(row.Box.Flags)), row.Text) << row.Box.Text;
}

std::string Chosen(std::vector<std::string> args, const char* environment) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ChosenPlatforms(static_cast<int>(argv.size()), argv.data(), environment);
}

TEST(DisplayPlatforms, TheUsersChoiceComesFromTheLastPlatformArgumentThenTheEnvironment) {
  EXPECT_EQ(Chosen({"quorvane"}, nullptr), "");
  EXPECT_EQ(Chosen({"quorvane", "/NOGUI"}, "offscreen"), "offscreen");
  EXPECT_EQ(Chosen({"quorvane", "-platform", "xcb"}, "offscreen"), "xcb");
  EXPECT_EQ(Chosen({"quorvane", "--platform", "wayland", "-platform", "xcb"}, nullptr), "xcb");
  // A "-platform" without a value chooses nothing.
  EXPECT_EQ(Chosen({"quorvane", "-platform"}, nullptr), "");
}

TEST(DisplayPlatforms, TheFallbackComesLastAndOnlyWhereTheUserChoseNone) {
  struct Row { TDisplayUse Use; std::string Chosen; const char* Session; const char* Wayland; std::string Platforms; };
  const Row rows[] = {
      {TDisplayUse::Windows, "", nullptr, nullptr, "xcb;offscreen"},
      {TDisplayUse::WindowsWhereAvailable, "", "x11", nullptr, "xcb;offscreen"},
      {TDisplayUse::Windows, "", "wayland", "wayland-0", "wayland;xcb;offscreen"},
      // A compositor outside a Wayland session is tried after X, where Qt alone would not try it.
      {TDisplayUse::Windows, "", "tty", "wayland-1", "xcb;wayland;offscreen"},
      {TDisplayUse::Windows, "xcb", nullptr, nullptr, ""},
      {TDisplayUse::WindowsWhereAvailable, "offscreen", "wayland", "wayland-0", ""},
      // A program that never opens a display does not try one, whatever was chosen.
      {TDisplayUse::None, "xcb", "wayland", "wayland-0", "offscreen"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(PlatformsToTry(row.Use, row.Chosen, row.Session, row.Wayland), row.Platforms)
        << static_cast<int>(row.Use) << " [" << row.Chosen << "]";
}

// The launcher's own cases (nothing set, DISPLAY naming no server) are checked end to end.
TEST(DisplayPlatforms, TheNoDisplayLineNamesTheProgramByItsFileNameAndWhatWasTried) {
  EXPECT_EQ(NoDisplayLine("/media/disc/.launcher/quorvane", "", nullptr, nullptr),
            "quorvane: cannot open a display (DISPLAY and WAYLAND_DISPLAY are not set)");
  EXPECT_EQ(NoDisplayLine("setup", "", "", "wayland-9"),
            "setup: cannot open a display (DISPLAY is not set, no Wayland compositor at WAYLAND_DISPLAY=wayland-9)");
  EXPECT_EQ(NoDisplayLine("picture-controls", "xcb", ":0", nullptr),
            "picture-controls: cannot open a display (platform xcb did not start)");
  EXPECT_EQ(NoDisplayLine("", "wayland;xcb", nullptr, nullptr),
            "program: cannot open a display (platforms wayland;xcb did not start)");
}

}  // namespace
