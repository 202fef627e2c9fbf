#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../TempFiles.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

using namespace platform;
using platform_test::ReadFile;
using platform_test::ScopedEnv;

namespace {

// A stand-in program: writes its working directory and then each argument in brackets, one a
// line, to the file named by QV_RECORD.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$QV_RECORD\"\n";

std::string Expected(const std::string& cwd, const std::vector<std::string>& args) {
  std::string text = cwd + "\n";
  for (const std::string& arg : args) text += "[" + arg + "]\n";
  return text;
}

class ShellLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    record = dir.File("record.txt");
    recorder = dir.Write("bin/player", kRecorder, true);
  }

  // Launches and waits until the program has ended; the last error on failure.
  BOOL Run(const std::string& file, const char* params, const char* verb = "Open",
           const char* directory = nullptr) {
    ScopedEnv env("QV_RECORD", record.c_str());
    SHELLEXECUTEINFOA info{};
    info.cbSize = 60;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = params;
    info.lpDirectory = directory;
    info.nShow = SW_SHOWNORMAL;
    BOOL ok = ShellExecuteExA(&info);
    if (!ok) {
      EXPECT_EQ(info.hProcess, nullptr);
      return ok;
    }
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(info.hInstApp), 32u);
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 100), 0u);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    return ok;
  }

  std::string Cwd() const { return std::filesystem::current_path().string(); }

  TempDir dir;
  std::string record;
  std::string recorder;
};

TEST_F(ShellLaunch, ArgumentsArriveAsTheWindowsRulesSplitThemAndNoShellReadsThem) {
  const std::string mark = dir.File("pwned");
  struct Row {
    std::string params;
    std::vector<std::string> args;
  };
  const std::vector<Row> rows = {
      {"", {}},
      {"/x \"C:\\My Videos\\a b.avi\"", {"/x", "C:\\My Videos\\a b.avi"}},
      {"a;touch " + mark + " ; b", {"a;touch", mark, ";", "b"}},
      {"\"$(touch " + mark + ")\" `touch " + mark + "`", {"$(touch " + mark + ")", "`touch", mark + "`"}},
      {"line1\nline2 $HOME '*' *", {"line1\nline2", "$HOME", "'*'", "*"}},
      {"say \\\"hi\\\" \"q\"\"q\" back\\\\\"slash x\"", {"say", "\"hi\"", "q\"q", "back\\slash x"}},
      {"| & > " + mark + " <", {"|", "&", ">", mark, "<"}},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(Run(recorder, row.params.c_str())) << row.params;
    EXPECT_EQ(ReadFile(record), Expected(Cwd(), row.args)) << row.params;
  }
  EXPECT_FALSE(std::filesystem::exists(mark));
}

TEST_F(ShellLaunch, RunsInTheGivenDirectoryOrInheritsTheCurrentOne) {
  ASSERT_TRUE(Run(recorder, "a", "open", dir.Path().c_str()));
  EXPECT_EQ(ReadFile(record), Expected(dir.Path(), {"a"}));
  ASSERT_TRUE(Run(recorder, "b", nullptr, nullptr));
  EXPECT_EQ(ReadFile(record), Expected(Cwd(), {"b"}));
  EXPECT_FALSE(Run(recorder, "c", "open", (dir.File("missing")).c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(ShellLaunch, ABareNameIsSearchedInTheWorkingDirectoryThenOnPath) {
  {
    ScopedEnv path("PATH", (dir.File("bin")).c_str());
    ASSERT_TRUE(Run("player", "on-path"));
    EXPECT_EQ(ReadFile(record), Expected(Cwd(), {"on-path"}));
  }
  ScopedEnv path("PATH", "/nonexistent");
  dir.Write("work/local-player", kRecorder, true);
  ASSERT_TRUE(Run("local-player", "local", "Open", (dir.File("work")).c_str()));
  EXPECT_EQ(ReadFile(record), Expected(dir.File("work"), {"local"}));
  EXPECT_FALSE(Run("player", ""));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellLaunch, RefusesWhatNothingCanStart) {
  ScopedEnv path("PATH", (dir.File("empty-bin")).c_str());
  dir.Write("setup.exe", "MZ");
  dir.Write("codec.INF", "[Version]");
  dir.Write("notes.txt", "text");
  dir.Write("not-executable.sh", "#!/bin/sh\n");
  struct Row {
    std::string file;
    const char* verb;
    LONG error;
  };
  const Row rows[] = {
      {dir.File("missing.exe"), "Open", ERROR_FILE_NOT_FOUND},
      {"", "Open", ERROR_FILE_NOT_FOUND},
      {dir.Path(), "Open", ERROR_FILE_NOT_FOUND},  // a directory is not a file
      {dir.File("setup.exe"), "Open", ERROR_NO_ASSOCIATION},   // no wine
      {dir.File("codec.INF"), "Install", ERROR_NO_ASSOCIATION},
      {dir.File("notes.txt"), "Install", ERROR_NO_ASSOCIATION},
      {dir.File("notes.txt"), "Open", ERROR_NO_ASSOCIATION},   // no xdg-open
      {dir.File("not-executable.sh"), "Open", ERROR_NO_ASSOCIATION},
      {recorder, "Print", ERROR_NO_ASSOCIATION},
  };
  for (const Row& row : rows) {
    SetLastError(0);
    EXPECT_FALSE(Run(row.file, "", row.verb)) << row.file << " " << row.verb;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(row.error)) << row.file << " " << row.verb;
  }
  EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(ShellLaunch, WindowsProgramsInstallersAndDocumentsGoToTheirHelpers) {
  // Stand-ins for wine and xdg-open that record how they were called.
  dir.Write("helpers/wine", kRecorder, true);
  dir.Write("helpers/xdg-open", kRecorder, true);
  ScopedEnv path("PATH", (dir.File("helpers")).c_str());
  const std::string exe = dir.Write("media/Setup Player.EXE", "MZ");
  const std::string inf = dir.Write("media/codec.inf", "[Version]");
  const std::string msi = dir.Write("media/pack.msi", "x");
  const std::string doc = dir.Write("media/readme.html", "<p>");
  auto wineName = [](std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return "Z:" + path;
  };
  struct Row {
    std::string file;
    const char* verb;
    const char* params;
    std::vector<std::string> args;
  };
  const Row rows[] = {
      {exe, "Open", "/S \"a b\"", {exe, "/S", "a b"}},
      {inf, "INSTALL", "ignored", {"rundll32", "setupapi.dll,InstallHinfSection", "DefaultInstall",
                                    "132", wineName(inf)}},
      {msi, "open", "/quiet", {"msiexec", "/i", wineName(msi), "/quiet"}},
      {doc, "Open", "ignored", {doc}},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(Run(row.file, row.params, row.verb)) << row.file;
    EXPECT_EQ(ReadFile(record), Expected(Cwd(), row.args)) << row.file;
  }
}

TEST_F(ShellLaunch, WaitEndsWhenTheProcessEnds) {
  std::string sleeper = dir.Write("sleeper", "#!/bin/sh\nsleep 0.4\nexit 3\n", true);
  SHELLEXECUTEINFOA info{};
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = "Open";
  info.lpFile = sleeper.c_str();
  ASSERT_TRUE(ShellExecuteExA(&info));
  ASSERT_NE(info.hProcess, nullptr);

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 100), WAIT_TIMEOUT);
  auto afterTimeout = std::chrono::steady_clock::now();
  EXPECT_GE(afterTimeout - start, std::chrono::milliseconds(90));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(350));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(CloseHandle(info.hProcess));

  // A released or made-up handle fails every call.
  HANDLE bogus = reinterpret_cast<HANDLE>(std::uintptr_t{0x5678});
  for (HANDLE h : {info.hProcess, bogus, HANDLE{}}) {
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForInputIdle(h, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(h));
  }
}

// Players are started without waiting: whether their handle is released while they run or none
// was asked for, they are reaped when they end, with no further shell call, so no zombie lingers.
TEST_F(ShellLaunch, AProcessNobodyWaitsForIsReapedWhenItEnds) {
  const std::string pidFile = dir.File("pid");
  const std::string sleeper = dir.Write("sleeper", "#!/bin/sh\necho $$ > \"$1\"\nsleep 0.2\n", true);
  for (const ULONG mask : {ULONG{SEE_MASK_NOCLOSEPROCESS}, ULONG{0}}) {
    std::filesystem::remove(pidFile);
    SHELLEXECUTEINFOA info{};
    info.fMask = mask;
    info.lpFile = sleeper.c_str();
    info.lpParameters = pidFile.c_str();
    ASSERT_TRUE(ShellExecuteExA(&info));
    if (info.hProcess) {
      EXPECT_TRUE(CloseHandle(info.hProcess));
    }
    pid_t pid = 0;
    for (int i = 0; i < 200 && pid <= 0; ++i) {
      ::usleep(10 * 1000);
      pid = static_cast<pid_t>(std::atoi(ReadFile(pidFile).c_str()));
    }
    ASSERT_GT(pid, 0) << mask;
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
      ::usleep(10 * 1000);
      gone = !std::filesystem::exists("/proc/" + std::to_string(pid));
    }
    EXPECT_TRUE(gone) << "no zombie left behind, mask " << mask;
    errno = 0;
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
}

TEST_F(ShellLaunch, NativeProgramsGetArgumentsThatNameFilesAsNativePaths) {
  dir.Write("disc/Video/feature.avi", "x");
  const std::string disc = dir.File("disc");
  const std::string old = Cwd();
  std::filesystem::current_path(dir.Path());
  platform::SetProgramFolder(disc);
  const struct {
    const char* Params;
    std::vector<std::string> Args;
  } rows[] = {
      {"--play \"disc\\VIDEO\\Feature.avi\"", {"--play", disc + "/Video/feature.avi"}},
      {"Video\\feature.avi", {disc + "/Video/feature.avi"}},  // found beside the launcher only
      {"/x=disc Video\\none.avi C:\\nowhere\\a.avi", {"/x=disc", "Video\\none.avi", "C:\\nowhere\\a.avi"}},
      {"disc", {disc}},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(Run(recorder, row.Params)) << row.Params;
    EXPECT_EQ(ReadFile(record), Expected(dir.Path(), row.Args)) << row.Params;
  }
  platform::SetProgramFolder("");
  std::filesystem::current_path(old);
}

TEST_F(ShellLaunch, TheChildInheritsNoExtraDescriptors) {
  int fd = ::open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::dup2(fd, 200), 200);
  std::string probe = dir.Write(
      "probe", "#!/bin/sh\nif [ -e /proc/$$/fd/200 ]; then echo open; else echo closed; fi > \"$QV_RECORD\"\n",
      true);
  bool ran = Run(probe, "");
  ::close(200);
  ::close(fd);
  ASSERT_TRUE(ran);
  EXPECT_EQ(ReadFile(record), "closed\n");
}

}  // namespace
