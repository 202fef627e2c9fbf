#pragma once
// What the feature-run tests need from the system they run on: registry values the definitions
// read, and stand-in programs that record how they were started.
#include <string>

#include "support/TempDir.h"

namespace feature_system {

// The values the tests' definitions read, below Key(): the default value (Disc/fromdefault),
// "Folder" (Disc/players), "Command" ("C:\Players\player.exe" --x), "Plain" (player --x),
// "Expand" (an expandable %QV_TEST_ROOT%\players) and "Number" (a number, 16). Made for one test
// and gone after it.
class TRegistryValues {
public:
  explicit TRegistryValues(const TempDir& disc);
  ~TRegistryValues();
  TRegistryValues(const TRegistryValues&) = delete;
  TRegistryValues& operator=(const TRegistryValues&) = delete;
  // The key as a definition names it, its root included: HKEY_LOCAL_MACHINE\Software\Demo\Player
  // in Wine's registry files on Linux, a test key of HKEY_CURRENT_USER on Windows.
  static std::string Key();

private:
  std::string FKey;
};

// The system's file name for a program called `stem` ("player.sh" or "player.exe").
std::string ProgramName(const std::string& stem);

// How a stand-in ends: with exit code 0, or killed by a crash once it has written its log.
enum class TEnd { Normally, Crashing };

// Writes a stand-in program `folder/stem` (ProgramName) on the disc and answers its path. Started,
// it waits `delayMs`, then writes its working folder and its arguments, one a line, to
// Disc/stem.log, and ends as `end` says.
std::string WriteRecorder(const TempDir& disc, const std::string& folder, const std::string& stem, int delayMs = 0,
                          TEnd end = TEnd::Normally);

}  // namespace feature_system
