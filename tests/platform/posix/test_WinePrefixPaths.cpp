// Paths where Windows-style paths meet a POSIX file system: drive letters through the Wine
// prefix's dosdevices, short names that are the names themselves, the program's own path.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "../TempFiles.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

using namespace platform;
using platform_test::ScopedEnv;

namespace {

TEST(ExpandEnvironmentStrings, TheClosingPercentOfAnUndefinedNameMayOpenTheNextReference) {
  // As Windows expands it; the system's own call does so on Windows (Wine keeps the whole
  // undefined reference and goes on after it).
  ScopedEnv a("QV_TEST_ALPHA", "alpha");
  ScopedEnv u("QV_TEST_UNDEFINED", nullptr);
  char buffer[64];
  EXPECT_EQ(ExpandEnvironmentStringsA("%QV_TEST_UNDEFINED%QV_TEST_ALPHA%", buffer, sizeof buffer), 24u);
  EXPECT_STREQ(buffer, "%QV_TEST_UNDEFINEDalpha");
}

class PathsInPrefix : public ::testing::Test {
 protected:
  void SetUp() override {
    drive = dir.File("drive_c");
    std::filesystem::create_directories(drive + "/Windows");
    dir.Write("drive_c/Windows/x.dll", "x");
    std::filesystem::create_directories(dir.File("prefix/dosdevices"));
    std::filesystem::create_directory_symlink(drive, dir.File("prefix/dosdevices/c:"));
    SetWinePrefixOverride(dir.File("prefix"));
  }
  void TearDown() override { SetWinePrefixOverride(std::nullopt); }

  TempDir dir;
  std::string drive;
};

TEST_F(PathsInPrefix, NativePathMapsSeparatorsAndDrives) {
  const std::string c = dir.File("prefix/dosdevices/c:");
  struct Row {
    std::string in, out;
  };
  const Row rows[] = {
      {"C:\\Windows\\x.dll", c + "/Windows/x.dll"},
      {"c:\\Windows\\", c + "/Windows/"},
      {"C:", c},
      {"C:rel\\f", c + "/rel/f"},
      {"D:\\Media\\a.avi", "D:/Media/a.avi"},  // no such drive: kept, and it will not exist
      {"sub\\dir\\f.txt", "sub/dir/f.txt"},
      {"/usr/bin/env", "/usr/bin/env"},
      {"", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(NativePath(row.in), row.out) << row.in;
}

TEST_F(PathsInPrefix, FileExistsOnlyForFiles) {
  EXPECT_TRUE(FileExists("C:\\Windows\\x.dll"));
  EXPECT_TRUE(FileExists(drive + "/Windows/x.dll"));
  EXPECT_FALSE(FileExists("C:\\Windows"));
  EXPECT_FALSE(FileExists("C:\\Windows\\missing.dll"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DirectoryExists("C:\\Windows\\"));
}

TEST_F(PathsInPrefix, ShortPathIsThePathItselfWhenItExists) {
  char buffer[255];
  struct Row {
    std::string in;
    bool exists;
  };
  const Row rows[] = {{"C:\\Windows\\", true}, {drive, true}, {"C:\\Windows\\x.dll", true},
                      {"C:\\Nowhere\\", false}, {"", false}};
  for (const Row& row : rows) {
    std::memset(buffer, 'z', sizeof buffer);
    DWORD length = GetShortPathNameA(row.in.c_str(), buffer, sizeof buffer);
    if (row.exists) {
      EXPECT_EQ(length, row.in.size()) << row.in;
      EXPECT_EQ(std::string(buffer), row.in);
    } else {
      EXPECT_EQ(length, 0u) << row.in;
    }
  }
  std::string longName = "C:\\Windows\\";
  EXPECT_EQ(GetShortPathNameA(longName.c_str(), buffer, 5), longName.size() + 1);
}

TEST(ExecutablePath, IsAbsoluteAndKeepsSymbolicLinks) {
  TempDir dir;
  std::string link = dir.File("quorvane");
  std::filesystem::create_symlink("/proc/self/exe", link);
  std::string real = std::filesystem::read_symlink("/proc/self/exe").string();

  EXPECT_EQ(ExecutablePath(link.c_str()), link);
  EXPECT_EQ(ExecutablePath((dir.Path() + "/./quorvane").c_str()), link);
  {
    ScopedEnv path("PATH", dir.Path().c_str());
    EXPECT_EQ(ExecutablePath("quorvane"), link);
  }
  std::string saved = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.Path());
  std::string relative = ExecutablePath("./quorvane");
  std::string bare = ExecutablePath("quorvane");  // not on PATH, so not found that way
  std::filesystem::current_path(saved);
  EXPECT_EQ(relative, std::filesystem::canonical(dir.Path()).string() + "/quorvane");
  EXPECT_EQ(bare, real);
  EXPECT_EQ(ExecutablePath(nullptr), real);
  EXPECT_EQ(ExecutablePath("/no/such/program"), real);
}

}  // namespace
