#pragma once
// The launcher: its main window and feature menu, the configuration it reads, and the running of
// a feature (definition files, the requirement check, the location and launch of programs).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dib/cDIBImageList.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "fadelabel/untFadeLabel.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/IniFiles.h"

class TMenuItem;
class TfrmMain;

// The application title: caption of every message box of the launcher.
extern const char* const ApplicationTitle;

// A menu line: a fading label that knows its feature entry (not owned).
class TNewFadeLabel : public TFadeLabel {
public:
  QV_CLASS(TNewFadeLabel)
  using TFadeLabel::TFadeLabel;
  TMenuItem* MenuItem = nullptr;
};

// One configured feature: its menu line (owned) and its four paths, drive-completed.
class TMenuItem : public TObject {
public:
  QV_CLASS(TMenuItem)
  // Builds the menu line on the window's inside cover.
  explicit TMenuItem(TfrmMain& window);
  ~TMenuItem() override;
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  TNewFadeLabel* Label = nullptr;
  std::string MainFile;
  std::string InformationFile;
  std::string CodecNeededDefinitionFile;
  std::string OpenWithDefinitionFile;
};

// A file's version: four numbers and their text, or -1s and "?.?.?.?" without version information.
struct TFileVersion {
  int32_t Major = -1, Minor = -1, Release = -1, Build = -1;
  std::string Text = "?.?.?.?";
};
TFileVersion ReadFileVersion(const std::string& fileName);

// Paths of the configuration.
std::string ConfigurationFileName(const std::string& exePath);
// The drive part of a path: "X:", "\\server\share", or empty.
std::string DrivePart(const std::string& path);
// Puts the executable's drive part in front of a path that has none.
std::string CompleteDrive(const std::string& path, const std::string& exePath);
// The error notice: OK only, no icon, captioned with the application title.
void ErrorNotice(const std::string& message);
// Whether the first command-line argument selects the windowless run.
bool IsNoGuiArgument(const std::string& firstArgument);
// The first argument as the command line gives it: blanks separate, double quotes group and go.
std::string FirstArgument(int argc, char** argv);

enum class TWait { NoWait, UntilExit };

// One run of one definition file: its name, its reader, the main file (empty for a check-only
// run) and the component's Description. It lives while the run lasts.
struct TDefinitionRun {
  TDefinitionRun(std::string fileName, std::string mainFile);
  bool OpenWith() const { return !MainFile.empty(); }
  std::string FileName;
  TIniFile Ini;
  std::string MainFile;
  std::string Description;
};

// Turns a program section into a program file, a folder (ending in a backslash, or empty) and a
// parameter text, falling back to the section's ".NT" twin when the program is not there.
void ReadProgramSection(const TDefinitionRun& run, const std::string& section, std::string& file,
                        std::string& folder, std::string& parameters);
// One pass over one section; the results going in are the defaults of Path and File.
void ResolveProgramSection(const TDefinitionRun& run, const std::string& section, std::string& file,
                           std::string& folder, std::string& parameters);
// Reads the text of a registry reference (root\key path\value name); a key that is missing, or
// that cannot be opened with full rights, gives the empty text. Fails with "Cannot use this KEY!"
// and "Invalid data type" as a feature run does.
std::string ReadRegistryReference(const std::string& reference);
// Parses a version text as MinVersionRequired is read: up to four numbers separated by ".".
std::array<int32_t, 4> ParseVersionText(const std::string& text);

// Expands %NAME% references and trims blanks and control characters at both ends.
std::string ExpandEnvStrings(const std::string& text);

// The main window's stored layout (resources/frmMain.txt), compiled in.
extern const std::string_view kMainWindowLayout;

class TfrmMain : public TForm {
public:
  QV_CLASS(TfrmMain)
  // Reads the window and its controls from the stored layout; the layout binds the creation and
  // destruction handlers and the covers' double click to the published methods below.
  explicit TfrmMain(TComponent* owner);
  ~TfrmMain() override;

  // Controls, from the stored layout.
  TPanel* pnlFrontCover = nullptr;
  TDIBImageContainer* DIBImageContainer1 = nullptr;
  TDIBImage* oImageBackCover = nullptr;
  TDIBImage* oImageFrontCover = nullptr;
  TPanel* Panel2 = nullptr;
  TPanel* pnlInsideCover = nullptr;
  TDIBImageContainer* oInsideContainer = nullptr;
  TDIBImage* oImageInsideCover = nullptr;
  TRichEdit* mmoNotes = nullptr;
  TDIBImageList* DIBImageList1 = nullptr;

  // Fields.
  std::unique_ptr<TObjectList<TMenuItem>> MenuItems;
  std::string VersionText;

  // The executable's full path as started; the configuration and the version come from it.
  static std::string& ExePath();

  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);

  void RunFeature(TMenuItem& item);
  void CheckRequirement(const TDefinitionRun& run);
  void RunDefinitionFile(const std::string& definitionFile, const std::string& mainFile);
  void LaunchProgram(const std::string& file, const std::string& folder, const std::string& parameters, TWait wait);

  // Configuration loading and its steps.
  void LoadConfiguration();
  // Loads a cover section's picture into a new item of the image control's list and shows it
  // there; false (after an error notice with the failure's text) when it could not.
  bool LoadCover(TIniFile& ini, const std::string& section, TDIBImage* image);
  // The double click on either cover: front and back change places when a back cover loaded.
  void oImageBackCoverDblClick(TObject* sender);
  void ReadItemSections(TIniFile& ini);
  void LayoutMenu();

  // Menu-line handlers.
  void MenuLineClick(TObject* sender);
  void MenuLineDblClick(TObject* sender);

private:
  // Finds the controls of the stored layout for the fields above.
  void BindControls();
  void FillNotesStartText();
};

// Publishes the main window's class and handlers, and the classes of its controls, to stored forms.
void RegisterMainWindowClasses();

// Runs the program: start-up, the windowless or the interactive run, and the exit code.
int RunLauncher(int argc, char** argv);
// Starts decoding the configured cover pictures on other cores; called before the GUI starts, so
// that the window finds them ready.
void StartCoverPrefetch(int argc, char** argv);
