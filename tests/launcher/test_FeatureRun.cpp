#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "LauncherFixture.h"
#include "FeatureSystem.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "support/PeFiles.h"
#include "toolkit/ExtCtrls.h"

namespace {

using feature_system::ProgramName;

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A disc folder with registry values, a stand-in player and installer that record their
// arguments and working folder, and a window to run features from.
class FeatureRun : public LauncherTest {
protected:
  void SetUp() override {
    LauncherTest::SetUp();
    Registry.emplace(Disc);
    platform::SetEnvironmentVariableText("QV_TEST_ROOT", Disc.Path());
    Player = feature_system::WriteRecorder(Disc, "players", "player");
    // What the version check looks at: a program file with a version resource.
    Disc.Write("players/player.dll", test_pe::MakePe({1, 0, 0, 0}, false));
    feature_system::WriteRecorder(Disc, "installers", "install", 300);
    Disc.Write("Video/main.avi", "video");
    Window = CreateWindow();
  }
  void TearDown() override {
    Registry.reset();
    platform::SetEnvironmentVariableText("QV_TEST_ROOT", std::nullopt);
    LauncherTest::TearDown();
  }
  // The registry key the definitions read, with a value name or a trailing backslash after it.
  static std::string Key(const std::string& rest) { return feature_system::TRegistryValues::Key() + "\\" + rest; }
  // The key in other letters: the root in lower case, the rest in upper case.
  static std::string OtherCase(std::string key) {
    const size_t root = key.find('\\');
    for (size_t i = 0; i < key.size(); ++i)
      key[i] = static_cast<char>(i < root ? std::tolower(static_cast<unsigned char>(key[i]))
                                          : std::toupper(static_cast<unsigned char>(key[i])));
    return key;
  }
  std::string Definition(const std::string& name, const std::string& content) { return Disc.Write(name, content); }
  // A feature on Video/main.avi whose codec is missing and is installed by installers/<installer>,
  // played by the recording player.
  void NeedingCodec(TMenuItem& item, const std::string& installer) {
    item.MainFile = "Video/main.avi";
    item.CodecNeededDefinitionFile =
        Definition("codec.ini", "[Main]\nDescription=C\n[Version Checking]\nPath=" + Disc.Path() +
                                    "/codecs\nFile=codec.ax\n[Install]\nPath=" + Disc.Path() + "/installers\nFile=" +
                                    ProgramName(installer) + "\n");
    item.OpenWithDefinitionFile =
        Definition("player.ini", "[Main]\nPath=" + Disc.Path() + "/players\nFile=" + ProgramName("player") +
                                     "\nParameters=%1\n[Version Checking]\nPath=" + Disc.Path() + "/players\nFile=player.dll\n");
  }
  // The arguments the player got (its first line, the working folder, left out).
  std::vector<std::string> PlayerArguments() {
    for (int i = 0; i < 500 && !std::filesystem::exists(Disc.File("player.log")); ++i) Pause(10);
    Pause(20);
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(Disc.File("player.log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  std::string Failure(const std::function<void()>& call) {
    try {
      call();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "(no failure)";
  }
  void Resolve(const std::string& def, const std::string& mainFile, const std::string& section, std::string& file,
               std::string& folder, std::string& params) {
    TDefinitionRun run(def, mainFile);
    ReadProgramSection(run, section, file, folder, params);
  }

  std::optional<feature_system::TRegistryValues> Registry;
  TfrmMain* Window = nullptr;
  std::string Player;
};

TEST_F(FeatureRun, ProgramSectionFoldersComeFromPathOrTheRegistry) {
  const std::string root = Disc.Path();
  struct Case {
    const char* Name;
    std::string Section;
    std::string Folder;
  } cases[] = {
      {"Path wins over the registry keys", "Path=" + root + "/players\nPathFromRegistryKey=HKEY_LOCAL_MACHINE\\Nope\\X\n",
       root + "/players\\"},
      {"a registry folder gets its backslash", "PathFromRegistryKey=" + Key("Folder") + "\n",
       root + "/players\\"},
      {"root names in any letter case", "PathFromRegistryKey=" + OtherCase(Key("Folder")) + "\n",
       root + "/players\\"},
      {"a trailing backslash reads the default value", "PathFromRegistryKey=" + Key("") + "\n",
       root + "/fromdefault\\"},
      {"expandable strings are expanded after the read", "PathFromRegistryKey=" + Key("Expand") + "\n",
       root + "\\players\\"},
      {"the folder part keeps a leading quote",
       "ExtractPathFromRegistryKey=" + Key("Command") + "\n", "\"C:\\Players\\"},
      {"no backslash or colon leaves no folder part",
       "ExtractPathFromRegistryKey=" + Key("Plain") + "\n", ""},
      {"a missing value reads empty", "PathFromRegistryKey=" + Key("Missing") + "\n", ""},
      {"environment references in Path", "Path=%QV_TEST_ROOT%/players\n", root + "/players\\"},
      {"undefined references stay", "Path=%QV_SURELY_UNDEFINED%\\x\\\n", "%QV_SURELY_UNDEFINED%\\x\\"},
  };
  for (const Case& c : cases) {
    const std::string def = Definition("def.ini", "[Main]\n" + c.Section + "File=" + ProgramName("player") + "\n[Main.NT]\nPath=/elsewhere\n");
    std::string file, folder, params;
    try {
      TDefinitionRun run(def, "main.avi");
      ResolveProgramSection(run, "Main", file, folder, params);
      EXPECT_EQ(folder, c.Folder) << c.Name;
    } catch (const Exception& e) {
      ADD_FAILURE() << c.Name << ": " << e.Message();
    }
  }
}

TEST_F(FeatureRun, ProgramSectionFailuresInOpenWithRuns) {
  struct Case {
    const char* Name;
    std::string Content;
    std::string Expected;
  } cases[] = {
      {"no folder key", "[Main]\nFile=p\n", "Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined\r\n"},
      {"no file", "[Main]\nPath=/x\n", "File not defined\r\n"},
      {"unknown root", "[Main]\nPathFromRegistryKey=hkey_users\\S\\V\nFile=p\n", "Cannot use this KEY!\r\nHKEY_USERS"},
      {"no backslash at all", "[Main]\nPathFromRegistryKey=HKLM\nFile=p\n", "Cannot use this KEY!\r\n"},
      {"a number is not a folder", "[Main]\nPathFromRegistryKey=" + Key("Number") + "\nFile=p\n",
       "Invalid data type for 'Number'"},
      {"a missing key falls to the .NT pass", "[Main]\nPathFromRegistryKey=HKEY_LOCAL_MACHINE\\No\\Such\\V\nFile=nothere.sh\n",
       "Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined\r\n"},
  };
  for (const Case& c : cases) {
    const std::string def = Definition("fail.ini", c.Content);
    std::string expected = c.Expected;
    if (expected.ends_with("defined\r\n")) expected += def;
    std::string file, folder, params;
    EXPECT_EQ(Failure([&] { Resolve(def, "main.avi", "Main", file, folder, params); }), expected) << c.Name;
  }
}

TEST_F(FeatureRun, CheckOnlyRunsTolerateMissingKeysAndNeverReadTheRegistry) {
  const std::string def = Definition("check.ini",
                                     "[Version Checking]\nPathFromRegistryKey=" + Key("Number") + "\n"
                                     "[Install]\nPathFromRegistryKey=hkey_users\\x\\y\n");
  std::string file = "x", folder = "y", params = "z";
  EXPECT_EQ(Failure([&] { Resolve(def, "", "Version Checking", file, folder, params); }), "(no failure)");
  EXPECT_EQ(folder, "");
  EXPECT_EQ(file, "");
  EXPECT_EQ(Failure([&] { Resolve(def, "", "Install", file, folder, params); }), "(no failure)");
}

TEST_F(FeatureRun, TheNtSectionIsReadOnlyWhenTheProgramIsMissing) {
  const std::string players = Disc.Path() + "/players";
  // Present at the first place: the .NT section is not read.
  std::string def = Definition("nt1.ini", "[Main]\nPath=" + players + "\nFile=" + ProgramName("player") + "\nParameters=a\n[Main.NT]\nFile=other\nParameters=b\n");
  std::string file, folder, params;
  Resolve(def, "m", "Main", file, folder, params);
  EXPECT_EQ(file, ProgramName("player"));
  EXPECT_EQ(params, "a");
  // Missing: the .NT pass keeps the folder and file of the first as defaults, not the parameters.
  def = Definition("nt2.ini", "[Main]\nPath=" + players + "\nFile=gone.sh\nParameters=a\n");
  Resolve(def, "m", "Main", file, folder, params);
  EXPECT_EQ(folder, players + "\\");
  EXPECT_EQ(file, "gone.sh");
  EXPECT_EQ(params, "") << "the parameters of the first pass are not a default";
  def = Definition("nt3.ini", "[Main]\nPath=" + players + "\nFile=gone.sh\nParameters=a\n[Main.NT]\nFile=" + ProgramName("player") + "\nParameters=b\n");
  Resolve(def, "m", "Main", file, folder, params);
  EXPECT_EQ(folder, players + "\\");
  EXPECT_EQ(file, ProgramName("player"));
  EXPECT_EQ(params, "b");
}

TEST_F(FeatureRun, RefusedLaunchesNameVerbProgramAndParameters) {
  EXPECT_EQ(Failure([&] { Window->LaunchProgram("p.exe", "C:\\PROGRA~1\\P\\", "/x", TWait::NoWait); }),
            "Cannot launch program\r\nVerb: [Open]\r\nProgram: [p.exe]\r\nParameters: [/x]")
      << "a folder that does not exist is left out";
  // The folder as the system's short name gives it (on Linux it stays as it is).
  char folder[4096] = {};
  const platform::DWORD length = platform::GetShortPathNameA(Disc.Path().c_str(), folder, sizeof folder);
  const std::string shortFolder = length && length < sizeof folder ? std::string(folder, length) : Disc.Path();
  EXPECT_EQ(Failure([&] { Window->LaunchProgram("setup.iNf", Disc.Path(), "", TWait::NoWait); }),
            "Cannot launch program\r\nVerb: [Install]\r\nProgram: [" + shortFolder + "setup.iNf]\r\nParameters: []");
  EXPECT_EQ(Failure([&] { Window->LaunchProgram("", "", "", TWait::NoWait); }),
            "Cannot launch program\r\nVerb: [Open]\r\nProgram: []\r\nParameters: []");
}

TEST_F(FeatureRun, WaitingLaunchReturnsWhenTheInstallerHasEnded) {
  Window->LaunchProgram(ProgramName("install"), Disc.Path() + "/installers\\", "--quiet \"two words\"", TWait::UntilExit);
  EXPECT_TRUE(std::filesystem::exists(Disc.File("install.log"))) << "the installer ran to its end before the return";
  EXPECT_NE(ReadAll(Disc.File("install.log")).find("\n--quiet\ntwo words\n"), std::string::npos);
}

TEST_F(FeatureRun, MainFileReplacesTheFirstMarkerOnly) {
  struct Case {
    const char* Parameters;
    std::vector<std::string> Expected;
  } cases[] = {
      {"%1 %1", {"Video/main.avi", "%1"}},
      {"\"%1\"", {"Video/main.avi"}},  // the reading rules take the quotes away
      {"--play \"%1\" ;$(touch x)`y`", {"--play", "Video/main.avi", ";$(touch", "x)`y`"}},
      {"none", {"none"}},
      // What a command interpreter of either system would act on stays text: no interpreter runs.
      {"%1 &echo>x ^| y %PATH%", {"Video/main.avi", "&echo>x", "^|", "y", "%PATH%"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Disc.File("player.log"));
    const std::string def = Definition("play.ini", "[Main]\nPath=" + Disc.Path() + "/players\nFile=" + ProgramName("player") + "\nParameters=" +
                                                       c.Parameters + "\n[Version Checking]\nPath=" + Disc.Path() +
                                                       "/players\nFile=player.dll\n");
    Window->RunDefinitionFile(def, "Video/main.avi");
    EXPECT_EQ(PlayerArguments(), c.Expected) << c.Parameters;
  }
  EXPECT_FALSE(std::filesystem::exists(Disc.File("x"))) << "nothing went through a shell";
}

TEST_F(FeatureRun, MissingComponentIsOfferedAndOnlyYesInstallsIt) {
  const std::string def = Definition("codec.ini",
                                     "[Main]\nDescription=Demo Codec\n[Version Checking]\nPath=" + Disc.Path() +
                                         "/codecs\nFile=codec.ax\n[Install]\nPath=" + Disc.Path() + "/installers\nFile=" + ProgramName("install") + "\n");
  const std::string question =
      "Demo Codec is not installed\r\n\r\nYou MUST install it to view the feature.\r\n\r\nDo you wish to install now?";
  for (int answer : {IDNO, IDCANCEL, IDOK}) {
    Boxes.clear();
    Answers = {answer};
    EXPECT_EQ(Failure([&] { Window->RunDefinitionFile(def, ""); }), "User aborted installation of Demo Codec");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, question);
    EXPECT_EQ(Boxes[0].Caption, "Quorvane +");
    EXPECT_EQ(Boxes[0].Flags, 0x24u);
  }
  EXPECT_FALSE(std::filesystem::exists(Disc.File("install.log")));
  Answers = {IDYES};
  Window->RunDefinitionFile(def, "");
  EXPECT_TRUE(std::filesystem::exists(Disc.File("install.log"))) << "installed and waited for";
}

TEST_F(FeatureRun, OutdatedComponentsAreOfferedAnUpgrade) {
  struct Case {
    test_pe::Version Installed;
    const char* Required;  // nullptr: no MinVersionRequired key
    bool Asked;
  } cases[] = {
      {{1, 0, 0, 0}, "2.0.0.0", true},  {{2, 0, 0, 0}, "1.5.0.0", false}, {{1, 2, 3, 4}, "1.2.3.4", false},
      {{1, 2, 3, 4}, "1.2.3.5", true},  {{1, 3, 0, 0}, "1.2.9.9", false}, {{1, 1, 9, 9}, "1.2", true},
      {{0, 0, 0, 0}, nullptr, false},   {{1, 2, 3, 4}, "1.2.3.4.5", false}, {{0, 0, 0, 0}, "abc", false},
      {{16, 0, 0, 0}, "$10.0x1", true},
  };
  for (const Case& c : cases) {
    Boxes.clear();
    Answers = {IDNO};
    Disc.Write("codecs/codec.ax", test_pe::MakePe(c.Installed, false));
    const std::string def = Definition("codec.ini", "[Main]\nDescription=Demo Codec\n[Version Checking]\nPath=" + Disc.Path() +
                                                        "/codecs\nFile=codec.ax\n" +
                                                        (c.Required ? std::string("MinVersionRequired=") + c.Required + "\n" : ""));
    const std::string failure = Failure([&] { Window->RunDefinitionFile(def, ""); });
    if (!c.Asked) {
      EXPECT_EQ(failure, "(no failure)") << (c.Required ? c.Required : "(none)");
      EXPECT_TRUE(Boxes.empty());
      continue;
    }
    EXPECT_EQ(failure, "User aborted upgrade of Demo Codec");
    ASSERT_EQ(Boxes.size(), 1u);
    const std::string installed = Format("%d.%d.%d.%d", c.Installed.major, c.Installed.minor, c.Installed.release, c.Installed.build);
    EXPECT_EQ(Boxes[0].Text, "Demo Codec is out of date (v" + installed + ")\r\n\r\nYou MUST upgrade it to v" + c.Required +
                                 " to view the feature.\r\n\r\nDo you wish to upgrade now?");
  }
}

TEST_F(FeatureRun, FileWithoutVersionInformationIsOutOfDate) {
  Disc.Write("codecs/codec.ax", "not a program");
  const std::string def = Definition("codec.ini", "[Version Checking]\nPath=" + Disc.Path() + "/codecs\nFile=codec.ax\n");
  EXPECT_EQ(Failure([&] { Window->RunDefinitionFile(def, ""); }), "User aborted upgrade of ??");
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_TRUE(Boxes[0].Text.starts_with("?? is out of date (v?.?.?.?)\r\n\r\nYou MUST upgrade it to v0.0.0.0 to view"));
}

TEST_F(FeatureRun, MissingDefinitionFiles) {
  const std::string missing = Disc.File("missing.ini");
  Answers = {IDNO};
  EXPECT_EQ(Failure([&] { Window->RunDefinitionFile(missing, ""); }), "User aborted installation of ??");
  Answers = {IDYES};
  EXPECT_EQ(Failure([&] { Window->RunDefinitionFile(missing, ""); }),
            "Cannot launch program\r\nVerb: [Open]\r\nProgram: []\r\nParameters: []");
  EXPECT_EQ(Failure([&] { Window->RunDefinitionFile(missing, "main.avi"); }),
            "Path/PathFromRegistryKey/ExtractPathFromRegistryKey not defined\r\n" + missing);
  Boxes.clear();
  EXPECT_EQ(Failure([&] { Window->RunDefinitionFile("", "main.avi"); }), "(no failure)");
  EXPECT_TRUE(Boxes.empty()) << "an empty name reads nothing and asks nothing";
}

TEST_F(FeatureRun, RefusedCodecEndsTheFeatureBeforeThePlayer) {
  TMenuItem item(*Window);
  item.MainFile = "Video/main.avi";
  item.CodecNeededDefinitionFile = Definition("codec.ini", "[Main]\nDescription=C\n");
  item.OpenWithDefinitionFile = Definition("player.ini", "[Main]\nPath=" + Disc.Path() + "/players\nFile=" + ProgramName("player") + "\nParameters=%1\n"
                                                         "[Version Checking]\nPath=" + Disc.Path() + "/players\nFile=player.dll\n");
  Answers = {IDNO};
  EXPECT_EQ(Failure([&] { Window->RunFeature(item); }), "User aborted installation of C");
  EXPECT_EQ(Boxes.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(Disc.File("player.log")));
  item.CodecNeededDefinitionFile.clear();
  Window->RunFeature(item);
  EXPECT_EQ(PlayerArguments(), std::vector<std::string>{"Video/main.avi"});
}

// An installer that takes long, and the user closes the window meanwhile: the wait ends with the
// window, and no player starts after it.
TEST_F(FeatureRun, ClosingTheWindowWhileAnInstallerRunsEndsTheWaitAndStartsNoPlayer) {
  feature_system::WriteRecorder(Disc, "installers", "slow", 1500);
  TMenuItem item(*Window);
  NeedingCodec(item, "slow");
  Answers = {IDYES};
  TTimer closer(nullptr);
  closer.SetInterval(50);
  closer.SetOnTimer([&](TObject*) {
    closer.SetEnabled(false);
    Window->Close();
  });
  closer.SetEnabled(true);
  Window->RunFeature(item);
  EXPECT_TRUE(App->Terminated());
  EXPECT_FALSE(std::filesystem::exists(Disc.File("slow.log"))) << "the wait ended before the installer did";
  // The installer ends in its own time; the player never starts.
  for (int i = 0; i < 500 && !std::filesystem::exists(Disc.File("slow.log")); ++i) Pause(10);
  Pause(100);
  EXPECT_FALSE(std::filesystem::exists(Disc.File("player.log")));
}

// An installer that crashes has ended all the same: the feature goes on as after any installer.
TEST_F(FeatureRun, AnInstallerThatCrashesEndsTheWaitAndTheFeatureGoesOn) {
  feature_system::WriteRecorder(Disc, "installers", "crashing", 0, feature_system::TEnd::Crashing);
  TMenuItem item(*Window);
  NeedingCodec(item, "crashing");
  Answers = {IDYES};
  Window->RunFeature(item);
  EXPECT_TRUE(std::filesystem::exists(Disc.File("crashing.log"))) << "the installer ran before it crashed";
  EXPECT_EQ(PlayerArguments(), std::vector<std::string>{"Video/main.avi"});
}

TEST(VersionText, ExpandsAndTrims) {
  platform::SetEnvironmentVariableText("QV_EXPAND_TEST", "value");
  EXPECT_EQ(ExpandEnvStrings("  %QV_EXPAND_TEST%\\x \t"), "value\\x");
  EXPECT_EQ(ExpandEnvStrings("%QV_NOT_DEFINED_AT_ALL%"), "%QV_NOT_DEFINED_AT_ALL%");
  const std::string big(3000, 'y');
  platform::SetEnvironmentVariableText("QV_EXPAND_BIG", big);
  EXPECT_EQ(ExpandEnvStrings("%QV_EXPAND_BIG%"), big) << "longer than the usual destination, whole";
}

}  // namespace
