// The Win32 services behind the platform calls, on the real system: the registry, the
// environment, short names, files with names outside the ANSI code page, and the shell.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "../TempFiles.h"
#include "platform/Environment.h"
#include "platform/FileReading.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace {

// Our names, not the system's types of the same names.
using namespace platform;
using platform::BOOL;
using platform::DWORD;
using platform::HANDLE;
using platform::HKEY;
using platform::LONG;

// A key of its own below HKEY_CURRENT_USER\Software, made for one test and removed with
// everything in it afterwards.
class SystemRegistry : public ::testing::Test {
protected:
  void SetUp() override {
    Path = "Software\\Quorvane Tests\\" + std::to_string(::GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(::RegCreateKeyExW(win32::CurrentUser, win32::Wide(Path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &Key, nullptr),
              platform::ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(Key);
    ::RegDeleteTreeW(win32::CurrentUser, win32::Wide(Path).c_str());
  }
  void SetText(const std::string& name, const std::string& value, ::DWORD type = platform::REG_SZ) {
    const std::wstring wide = win32::Wide(value);
    ASSERT_EQ(::RegSetValueExW(Key, win32::Wide(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(wide.c_str()),
                               static_cast<::DWORD>((wide.size() + 1) * sizeof(wchar_t))),
              platform::ERROR_SUCCESS);
  }
  // What a definition file's registry reference reads: the key opened with KEY_READ, the value as text.
  std::string Read(const std::string& keyPath, const std::string& valueName, DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "#no key";
    DWORD size = 0;
    std::string value;
    LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
      value.resize(size);
      status = RegQueryValueExA(key, valueName.c_str(), nullptr, type, reinterpret_cast<std::uint8_t*>(value.data()), &size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : "#" + std::to_string(status);
  }

  std::string Path;
  ::HKEY Key = nullptr;
};

TEST_F(SystemRegistry, ReadsTextValuesInUtf8WithTheirTypes) {
  SetText("Folder", "C:\\Programme\\Spieler\\");
  SetText("", "default value");
  SetText("\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C", "D:\\\xE6\x98\xA0\xE7\x94\xBB\\");  // Cyrillic name, CJK folder
  SetText("Expand", "%SystemRoot%\\x", platform::REG_EXPAND_SZ);
  const ::DWORD number = 42;
  ASSERT_EQ(::RegSetValueExW(Key, L"Count", 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            platform::ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(Read(Path, "Folder", &type), std::string("C:\\Programme\\Spieler\\\0", 22));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Read(Path, "", &type), std::string("default value\0", 14));
  EXPECT_EQ(Read(Path, "\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C"), std::string("D:\\\xE6\x98\xA0\xE7\x94\xBB\\\0", 11));
  EXPECT_EQ(Read(Path, "Expand", &type), std::string("%SystemRoot%\\x\0", 15)) << "read as stored, not expanded";
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(Read(Path, "Count", &type), std::string("\x2A\0\0\0", 4));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Read(Path, "Missing"), "#2");
  EXPECT_EQ(Read(Path + "\\NoSuchKey", ""), "#no key");
}

TEST_F(SystemRegistry, MatchesNamesInEveryScriptWithoutRegardToCase) {
  ::HKEY child = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(Key, win32::Wide("K\xC3\x89Y").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr),
            platform::ERROR_SUCCESS);
  const std::wstring value = L"v";
  ::RegSetValueExW(child, win32::Wide("\xC3\x84rger").c_str(), 0, platform::REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), 4);
  ::RegCloseKey(child);
  EXPECT_EQ(Read(Path + "\\K\xC3\xA9y", "\xC3\xA4RGER"), std::string("v\0", 2));
}

TEST_F(SystemRegistry, SizesFollowTheUtf8TextNotTheStoredUtf16) {
  SetText("V", "\xC3\xA9t\xC3\xA9");  // 3 characters, 5 bytes of UTF-8
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  std::uint8_t small[3] = {'x', 'x', 'x'};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(small[0], 'x') << "nothing is copied when the room is short";
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS) << "closing a predefined key does nothing";
}

TEST(SystemEnvironment, ExpandsWithTheSystemAndSizesInUtf8) {
  platform_test::ScopedEnv name("QV_TEST_\xC3\x9C", "\xE6\x98\xA0\xE7\x94\xBB");
  platform_test::ScopedEnv empty("QV_TEST_EMPTY", "");
  char buffer[64];
  EXPECT_EQ(platform::ExpandEnvironmentStringsA("%qv_test_\xC3\xBC%\\x", buffer, sizeof buffer), 9u);
  EXPECT_STREQ(buffer, "\xE6\x98\xA0\xE7\x94\xBB\\x");
  EXPECT_EQ(platform::ExpandEnvironmentStringsA("[%QV_TEST_EMPTY%]", buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "[]");
  EXPECT_EQ(GetEnvironmentVariableText("QV_TEST_EMPTY"), std::optional<std::string>(""));
  EXPECT_EQ(GetEnvironmentVariableText("QV_TEST_NEVER_SET"), std::nullopt);
}

// Wine marks itself with an export of its ntdll.
bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

TEST(SystemEnvironment, TheClosingPercentOfAnUndefinedNameMayOpenTheNextReference) {
  platform_test::ScopedEnv a("QV_TEST_ALPHA", "alpha");
  platform_test::ScopedEnv u("QV_TEST_UNDEFINED", nullptr);
  char buffer[64];
  platform::ExpandEnvironmentStringsA("%QV_TEST_UNDEFINED%QV_TEST_ALPHA%", buffer, sizeof buffer);
  // Windows goes on from the closing "%" of an undefined name, so it opens the next reference;
  // Wine keeps the whole undefined reference and goes on after it. The program takes the system's
  // answer, so on Windows it expands as Windows does.
  EXPECT_STREQ(buffer, RunningUnderWine() ? "%QV_TEST_UNDEFINED%QV_TEST_ALPHA%" : "%QV_TEST_UNDEFINEDalpha");
}

TEST(SystemPaths, ShortNamesAreTheSystemsAndMissingPathsHaveNone) {
  TempDir dir;
  const std::string folder = dir.File("A long folder name");
  std::filesystem::create_directories(Utf8Path(folder));
  char buffer[255];
  const DWORD length = platform::GetShortPathNameA(folder.c_str(), buffer, sizeof buffer);
  ASSERT_GT(length, 0u);
  const std::string shortName(buffer, length);
  EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
  EXPECT_TRUE(DirectoryExists(shortName)) << "the short name leads to the same folder";
  EXPECT_EQ(platform::GetShortPathNameA(dir.File("missing").c_str(), buffer, sizeof buffer), 0u);
  EXPECT_EQ(platform::GetShortPathNameA("", buffer, sizeof buffer), 0u);
  const std::string exe = ExecutablePath(nullptr);
  EXPECT_TRUE(FileExists(exe)) << exe;
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
}

TEST(SystemFiles, NamesOutsideTheAnsiCodePageAreReadAndFoldersAreNoFiles) {
  TempDir dir;
  const std::string name = dir.File("\xE6\x98\xA0\xE7\x94\xBB \xD0\x94.ini");
  {
    std::FILE* out = OpenNativeFile(name, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("[S]\r\nK=v\r\n", out);
    std::fclose(out);
  }
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(ReadWholeFile(name, 100), std::optional<std::string>("[S]\r\nK=v\r\n"));
  EXPECT_EQ(ReadWholeFile(name, 5), std::nullopt) << "larger than allowed";
  EXPECT_EQ(OpenNativeFile(dir.Path(), "rb"), nullptr);
  EXPECT_EQ(ReadWholeFile(dir.Path(), 100), std::nullopt);
  RandomAccessFile file(name);
  ASSERT_TRUE(file.IsOpen());
  char bytes[3];
  EXPECT_TRUE(file.ReadAt(5, bytes, 3));
  EXPECT_EQ(std::string(bytes, 3), "K=v");
  EXPECT_FALSE(file.ReadAt(9, bytes, 3)) << "past the end";
}

struct TLaunch {
  BOOL Started;
  DWORD Error;
  HANDLE Process;
};

TLaunch Launch(const std::string& file, const std::string& parameters, const std::string& directory) {
  platform::SHELLEXECUTEINFOA info{};
  info.cbSize = 60;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = "Open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  platform::SetLastError(0);
  const BOOL started = platform::ShellExecuteExA(&info);
  return {started, platform::GetLastError(), info.hProcess};
}

TEST(SystemShell, TheParametersReachTheProgramAsOneTextAndItIsWaitedFor) {
  TempDir dir;
  const std::string folder = dir.File("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 x");  // outside code page 1252
  std::filesystem::create_directories(Utf8Path(folder));
  const std::string parameters = "--play \"C:\\Video\\a b.avi\" \xC3\xBC %1 ; & | `x`";
  const TLaunch launch = Launch(QV_STAND_IN, parameters, folder);
  ASSERT_TRUE(launch.Started) << launch.Error;
  ASSERT_NE(launch.Process, nullptr);
  // A console program never waits for input: the first phase ends at once.
  const DWORD idle = platform::WaitForInputIdle(launch.Process, 100);
  EXPECT_TRUE(idle == 0 || idle == WAIT_FAILED) << idle;
  int waits = 0;
  while (platform::WaitForSingleObject(launch.Process, 100) == WAIT_TIMEOUT) ASSERT_LT(++waits, 300);
  DWORD code = 0;
  EXPECT_TRUE(platform::GetExitCodeProcess(launch.Process, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_GT(platform::GetProcessId(launch.Process), 0);
  EXPECT_TRUE(platform::CloseHandle(launch.Process));
  const std::string record = platform_test::ReadFile(folder + "/stand-in.txt");
  EXPECT_NE(record.find(parameters), std::string::npos) << record;
  EXPECT_NE(record.find("folder: " + AbsolutePath(folder)), std::string::npos) << record;
}

TEST(SystemShell, ARefusedLaunchFailsAtOnceWithoutTheSystemsBox) {
  TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  const TLaunch launch = Launch(dir.File("missing.exe"), "/x", "");
  EXPECT_FALSE(launch.Started);
  EXPECT_EQ(launch.Process, nullptr);
  EXPECT_TRUE(launch.Error == ERROR_FILE_NOT_FOUND || launch.Error == ERROR_PATH_NOT_FOUND) << launch.Error;
  // No box waits for a user: the refusal comes back in well under the time a box would stand.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(platform::WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_FALSE(platform::CloseHandle(nullptr));
}

}  // namespace
