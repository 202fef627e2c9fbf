#include <gtest/gtest.h>

#include "LauncherFixture.h"

namespace {

// The program's path comes from argv[0] on Linux, so a test can run the program as if from the
// disc; on Windows the system gives it (the test program's own), and quorvane.exe's windowless
// runs are tested end to end.
#ifndef _WIN32
int RunProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return RunLauncher(static_cast<int>(args.size()), argv.data());
}

TEST_F(LauncherTest, WindowlessRunWithoutEntriesEndsWithTheListIndexFailure) {
  const int code = RunProgram({TfrmMain::ExePath(), "/nogui"});
  EXPECT_EQ(code, 1);
  ASSERT_EQ(Boxes.size(), 1u) << "no notice before the report";
  EXPECT_EQ(Boxes[0].Caption, "Application Error");
  EXPECT_EQ(Boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP | MB_TASKMODAL));
  EXPECT_TRUE(Boxes[0].Text.starts_with("Exception EListError in module quorvane at ")) << Boxes[0].Text;
  EXPECT_TRUE(Boxes[0].Text.ends_with(".\nList index out of bounds (0).")) << Boxes[0].Text;
}

TEST_F(LauncherTest, WindowlessRunShowsConfigurationNoticesFirst) {
  WriteConfig("[Item1]\nMainFile=" + Disc.File("missing.avi") + "\n");
  const int code = RunProgram({TfrmMain::ExePath(), "/NOGUI"});
  EXPECT_EQ(code, 0) << "entry 1 still runs; with no definition files nothing is started";
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "MainFile not found\r\n" + Disc.File("missing.avi"));
}
#endif

TEST(FailureReports, FullStopRuleAndFatalText) {
  EXPECT_EQ(WithFullStop("Cannot open file "), "Cannot open file ") << "a blank sorts before the stop";
  EXPECT_EQ(WithFullStop("ends in a stop."), "ends in a stop.");
  EXPECT_EQ(WithFullStop("ends in a comma,"), "ends in a comma,") << "',' sorts before '.'";
  EXPECT_EQ(WithFullStop("line\r\n"), "line\r\n");
  EXPECT_EQ(WithFullStop(""), "");
  const std::string fatal = FatalExceptionText(EListError("List index out of bounds (0)"), "quorvane");
  EXPECT_TRUE(fatal.starts_with("Exception EListError in module quorvane at ")) << fatal;
  EXPECT_TRUE(fatal.ends_with(".\nList index out of bounds (0).")) << fatal;
  const std::string stop = FatalExceptionText(Exception("Already stopped."), "q");
  EXPECT_TRUE(stop.ends_with(".\nAlready stopped.")) << stop;
  const std::string empty = FatalExceptionText(Exception(""), "q");
  EXPECT_TRUE(empty.ends_with(".\n")) << empty;
}

TEST_F(LauncherTest, FailureEscapingAnEventHandlerIsReportedAndTheProgramGoesOn) {
  TApplication app(nullptr);
  app.SetTitle(ApplicationTitle);
  ProtectedCall([] { throw EFOpenError("Cannot open file "); });
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Cannot open file ");
  EXPECT_EQ(Boxes[0].Caption, "Quorvane +");
  EXPECT_EQ(Boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
}

}  // namespace
