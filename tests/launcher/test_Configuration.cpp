#include <gtest/gtest.h>

#include "LauncherFixture.h"

namespace {

TEST(DriveCompletion, TakesTheDriveOrShareOfTheExecutable) {
  struct Case {
    const char* Path;
    const char* Exe;
    const char* Expected;
  } cases[] = {
      {"Movies\\x.avi", "E:\\quorvane.exe", "E:Movies\\x.avi"},
      {"\\Movies\\x.avi", "E:\\quorvane.exe", "E:\\Movies\\x.avi"},
      {"D:\\x.avi", "E:\\quorvane.exe", "D:\\x.avi"},
      {"d:x.avi", "E:\\quorvane.exe", "d:x.avi"},
      {"\\\\srv\\share\\x.avi", "E:\\quorvane.exe", "\\\\srv\\share\\x.avi"},
      {"Movies\\x.avi", "\\\\srv\\share\\disc\\quorvane.exe", "\\\\srv\\shareMovies\\x.avi"},
      {"\\Movies\\x.avi", "\\\\srv\\share\\disc\\quorvane.exe", "\\\\srv\\share\\Movies\\x.avi"},
      {"x.avi", "\\\\srv\\share", "\\\\srv\\sharex.avi"},
      {"x.avi", "\\\\srv\\", "\\\\srvx.avi"},
      {"Movies/x.avi", "E:\\quorvane.exe", "E:Movies/x.avi"},
      {"", "E:\\quorvane.exe", ""},
      {"Video\\a.avi", "/media/disc/quorvane", "Video\\a.avi"},
      {"/media/disc/a.avi", "/media/disc/quorvane", "/media/disc/a.avi"},
  };
  for (const Case& c : cases) EXPECT_EQ(CompleteDrive(c.Path, c.Exe), c.Expected) << c.Path << " with " << c.Exe;
}

TEST(DriveCompletion, DrivePartOfPaths) {
  EXPECT_EQ(DrivePart("C:"), "C:");
  EXPECT_EQ(DrivePart("\\\\server"), "\\\\server");
  EXPECT_EQ(DrivePart("\\\\server\\"), "\\\\server");
  EXPECT_EQ(DrivePart("\\\\server\\share\\"), "\\\\server\\share");
  EXPECT_EQ(DrivePart("\\x"), "");
  EXPECT_EQ(DrivePart("x"), "");
}

TEST(ConfigurationFile, ReplacesTheExtensionOfTheExecutable) {
  EXPECT_EQ(ConfigurationFileName("E:\\Disc\\Quorvane.exe"), "E:\\Disc\\Quorvane.ini");
  EXPECT_EQ(ConfigurationFileName("E:\\Disc.v2\\Quorvane"), "E:\\Disc.v2\\Quorvane.ini");
  EXPECT_EQ(ConfigurationFileName("E:Quorvane.x.exe"), "E:Quorvane.x.ini");
  EXPECT_EQ(ConfigurationFileName("/media/disc.v2/quorvane"), "/media/disc.v2/quorvane.ini");
  EXPECT_EQ(ConfigurationFileName("/media/disc/quorvane.bin"), "/media/disc/quorvane.ini");
  EXPECT_EQ(ConfigurationFileName("quorvane"), "quorvane.ini");
}

TEST(CommandLine, OnlyTheFirstArgumentSpelledNoGuiSelectsTheWindowlessRun) {
  struct Case {
    std::vector<std::string> Args;
    bool Windowless;
  } cases[] = {
      {{"/NOGUI"}, true},
      {{"/nogui"}, true},
      {{"/NoGui", "extra"}, true},
      {{"\"/NOGUI\""}, true},
      {{"\"/NO\"GUI"}, true},
      {{"  /NOGUI"}, false},  // quoted with its blanks: not the option
      {{"/NOGUI x"}, false},
      {{}, false},
      {{"x", "/NOGUI"}, false},
      {{"NOGUI"}, false},
      {{"-NOGUI"}, false},
      {{"/NOGUIX"}, false},
      {{"/NOGUI."}, false},
      {{"/NOGÜI"}, false},
      {{""}, false},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv{const_cast<char*>("quorvane")};
    for (const std::string& a : c.Args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string first = FirstArgument(static_cast<int>(argv.size()) - 1, argv.data());
    EXPECT_EQ(IsNoGuiArgument(first), c.Windowless) << (c.Args.empty() ? "(none)" : c.Args[0]);
  }
  EXPECT_FALSE(IsNoGuiArgument("/NOGUİ")) << "only a to z are upper-cased";
}

TEST_F(LauncherTest, IntegerReadsFollowTheReadingRules) {
  WriteConfig(
      "[S]\nDec=128\nHex=0x80\nHexUpper=0XfF\nDollar=$80\nNeg=-1\nPlus=+7\nText=abc\nShortHex=0x\n"
      "Big=99999999999\nEmpty=\nMixed=12ab\nSignedHex=-0x10\nFull=$FFFFFFFF\n");
  TIniFile ini(ConfigurationFileName(TfrmMain::ExePath()));
  struct Case {
    const char* Key;
    int Expected;
  } cases[] = {{"Dec", 128},    {"Hex", 128},   {"HexUpper", 255}, {"Dollar", 128}, {"Neg", -1},
               {"Plus", 7},     {"Text", 255},  {"ShortHex", 255}, {"Big", 255},    {"Empty", 255},
               {"Mixed", 255},  {"Missing", 255}, {"SignedHex", 255}, {"Full", -1}};
  for (const Case& c : cases) EXPECT_EQ(ini.ReadInteger("S", c.Key, 255), c.Expected) << c.Key;
}

TEST_F(LauncherTest, NoConfigurationGivesNoNoticesAndAnEmptyMenu) {
  TfrmMain* w = CreateWindow();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(w->MenuItems->Count(), 0);
  EXPECT_FALSE(w->pnlFrontCover->Visible());
  EXPECT_EQ(w->Left(), 0);
  EXPECT_EQ(w->Width(), 346);
  EXPECT_EQ(w->ClientWidth(), 340);
  EXPECT_EQ(w->pnlInsideCover->Left(), 0) << "the inside cover moves into the narrowed window";
}

TEST_F(LauncherTest, ConfigurationThatIsAFolderOrGarbageReadsAsDefaults) {
  std::filesystem::create_directories(Disc.File("quorvane.ini"));
  EXPECT_EQ(CreateWindow()->MenuItems->Count(), 0);
  std::filesystem::remove(Disc.File("quorvane.ini"));
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131) & 0xFF);
  WriteConfig(garbage + "\n[item1]\nMAINFILE=" + std::string(5000, 'x') + "\n");
  TfrmMain* w = CreateWindow();
  ASSERT_EQ(w->MenuItems->Count(), 1);
  EXPECT_EQ(w->MenuItems->Items(0)->MainFile.size(), 2047u + Drive().size()) << "cut as read, then given the drive";
  EXPECT_EQ(Boxes.size(), 1u) << "the cut main file does not exist";
  EXPECT_TRUE(Boxes[0].Text.starts_with("MainFile not found\r\n"));
}

TEST_F(LauncherTest, ItemSectionsBecomeEntriesUntilTheFirstGap) {
  Disc.Write("Video/a.avi", "a");
  Disc.Write("Video/b.avi", "b");
  WriteConfig(
      "[Item1]\nMainFile=Video\\a.avi\nCaption=&First\nInformationFile=Info\\a.txt\n"
      "CodecNeededDefinitionFile=c.ini\nOpenWithDefinitionFile=o.ini\n"
      "[Item2]\nMainFile=" + Disc.File("Video/b.avi") + "\nCaption=Second\n"
      "[Item3]\nCaption=has no main file\n"
      "[Item4]\nMainFile=Video\\a.avi\n");
  TfrmMain* w = CreateWindow();
  ASSERT_EQ(w->MenuItems->Count(), 2);
  TMenuItem* first = w->MenuItems->Items(0);
  EXPECT_EQ(first->Label->Caption(), "&First");
  EXPECT_EQ(first->MainFile, Drive() + "Video\\a.avi") << "the launcher's drive in front, where it has one";
  EXPECT_EQ(first->InformationFile, Drive() + "Info\\a.txt");
  EXPECT_EQ(first->CodecNeededDefinitionFile, Drive() + "c.ini");
  EXPECT_EQ(first->OpenWithDefinitionFile, Drive() + "o.ini");
  EXPECT_EQ(first->Label->MenuItem, first);
  EXPECT_EQ(w->MenuItems->Items(1)->MainFile, Disc.File("Video/b.avi"));
  EXPECT_EQ(w->MenuItems->Items(1)->InformationFile, "");
}

TEST_F(LauncherTest, MissingMainFilesAreReportedInSectionOrderAndStayInTheMenu) {
  WriteConfig("[Item1]\nMainFile=" + Disc.File("nope1.avi") + "\n[Item2]\nMainFile=" + Disc.Path() +
              "\n[Item3]\nMainFile=" + Disc.File("nope3.avi") + "\n");
  TfrmMain* w = CreateWindow();
  ASSERT_EQ(Boxes.size(), 3u);
  EXPECT_EQ(Boxes[0].Text, "MainFile not found\r\n" + Disc.File("nope1.avi"));
  EXPECT_EQ(Boxes[1].Text, "MainFile not found\r\n" + Disc.Path()) << "a folder is not a file";
  EXPECT_EQ(Boxes[2].Text, "MainFile not found\r\n" + Disc.File("nope3.avi"));
  for (const TMessageBoxRequest& b : Boxes) {
    EXPECT_EQ(b.Caption, "Quorvane +");
    EXPECT_EQ(b.Flags, static_cast<unsigned>(MB_OK));
  }
  EXPECT_EQ(w->MenuItems->Count(), 3);
}

TEST_F(LauncherTest, NineSectionsMakeEightEntries) {
  std::string ini;
  Disc.Write("m.avi", "");
  for (int i = 1; i <= 9; ++i) ini += "[Item" + std::to_string(i) + "]\nMainFile=" + Disc.File("m.avi") + "\n";
  WriteConfig(ini);
  EXPECT_EQ(CreateWindow()->MenuItems->Count(), 8);
}

TEST_F(LauncherTest, MenuLinesAreCentredAroundTheMenuBlock) {
  Disc.Write("m.avi", "");
  for (int n = 1; n <= 8; ++n) {
    std::string ini;
    for (int i = 1; i <= n; ++i) ini += "[Item" + std::to_string(i) + "]\nMainFile=" + Disc.File("m.avi") + "\n";
    WriteConfig(ini);
    TfrmMain* w = CreateWindow();
    ASSERT_EQ(w->MenuItems->Count(), n);
    for (int i = 0; i < n; ++i) {
      TNewFadeLabel* line = w->MenuItems->Items(i)->Label;
      EXPECT_EQ(line->BoundsRect(), Bounds(14, 160 - 20 * n + 40 * i, 320, 32)) << n << " lines, line " << i;
      EXPECT_TRUE(line->Visible());
      EXPECT_EQ(line->Parent(), w->oInsideContainer);
      EXPECT_EQ(line->Owner(), w->pnlInsideCover);
    }
  }
}

TEST_F(LauncherTest, MenuLinesHaveTheMenuLook) {
  Disc.Write("m.avi", "");
  WriteConfig("[Item1]\nMainFile=" + Disc.File("m.avi") + "\nCaption=A && B\n");
  TNewFadeLabel* line = CreateWindow()->MenuItems->Items(0)->Label;
  EXPECT_EQ(line->Alignment(), TAlignment::taCenter);
  EXPECT_FALSE(line->AutoSize());
  EXPECT_EQ(line->Font()->Size(), 18);
  EXPECT_EQ(line->Font()->Color(), 0x808080);
  EXPECT_EQ(line->Font()->Name(), "MS Sans Serif") << "the face comes from the window";
  EXPECT_EQ(line->FrameCount(), 5);
  EXPECT_EQ(line->FrameDelay(), 50u);
  EXPECT_EQ(line->ColorHighLighted(), clWhite);
  EXPECT_TRUE(line->Transparent());
  EXPECT_EQ(line->DrawColor(), 0x808080);
}

TEST_F(LauncherTest, DestroyingTheWindowFreesEntriesAndTheirLines) {
  Disc.Write("m.avi", "");
  WriteConfig("[Item1]\nMainFile=" + Disc.File("m.avi") + "\n[Item2]\nMainFile=" + Disc.File("m.avi") + "\n");
  TfrmMain* w = CreateWindow();
  const int before = w->oInsideContainer->ControlCount();
  w->FormDestroy(w);
  EXPECT_EQ(w->MenuItems, nullptr);
  EXPECT_EQ(w->oInsideContainer->ControlCount(), before - 2);
  EXPECT_EQ(w->pnlInsideCover->ComponentCount(), 0);
}

TEST_F(LauncherTest, CaptionAndNotesCarryTheVersion) {
  TfrmMain* w = CreateWindow();
  EXPECT_EQ(w->VersionText, "v?.?.?.?") << "a file without version information";
  EXPECT_EQ(w->Caption(), "Quorvane + v?.?.?.? by Velk");
  const auto& paragraphs = w->mmoNotes->Document().Paragraphs;
  ASSERT_EQ(paragraphs.size(), 7u);
  const char* texts[] = {"", "Quorvane + v?.?.?.?", "by", "Velk", "", "Click a line above to view information",
                         "Double click it to view feature."};
  const TFontStyles styles[] = {0, fsBold | fsUnderline, 0, fsBold | fsUnderline, 0, 0, 0};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(paragraphs[i].Text(), texts[i]);
    EXPECT_EQ(paragraphs[i].Alignment, TAlignment::taCenter);
    ASSERT_EQ(paragraphs[i].Runs.size(), 1u);
    EXPECT_EQ(paragraphs[i].Runs[0].Style, styles[i]) << i;
  }
}

}  // namespace
