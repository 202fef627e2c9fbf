#pragma once
// The disc checker: reads everything the launcher reads, as the launcher reads it, and reports
// what a user of the disc would meet, without a window, without starting anything and without
// writing anything.
#include <string>
#include <vector>

enum class TSeverity { Info, Warning, Error };

struct TFinding {
  TSeverity Severity = TSeverity::Info;
  std::string Kind;     // notice, picture, feature, definition, version, program, ...
  std::string Subject;  // the section or file the finding is about
  std::string Text;     // the launcher's own text where it has one
  bool operator==(const TFinding&) const = default;
};

struct TCheckResult {
  std::vector<TFinding> Findings;  // in reading order, each once
  bool Clean() const;              // no error among them
};

// Checks the disc of a launcher at `launcherPath` (absolute; the configuration file is beside it
// with its name). Relative paths are looked up as the launcher looks them up.
TCheckResult CheckDisc(const std::string& launcherPath);

// One line per finding: "error notice [Item1] MainFile not found | Video\a.avi" (line breaks of
// a text shown as " | "), or with asJson a JSON object with the exact text.
std::string FormatFinding(const TFinding& finding, bool asJson);

// The checker's command line, `quorvane-check [--json] DISC-FOLDER | LAUNCHER-PATH`: checks the disc
// and prints a line per finding. Exit code 0 when clean, 1 with errors, 2 for a wrong command line.
// The GUI backend is installed before (pictures with transparency are drawn through it; no
// window is ever made). With inDiscFolder the disc is read from its own folder, as a disc's autorun
// starts the launcher there: where paths carry the launcher's drive, the working folder of that
// drive decides where they lead.
int RunChecker(int argc, char** argv, bool inDiscFolder = false);
