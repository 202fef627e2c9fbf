// Our readers of what discs carry beside the system's own, over the same files: the profile
// reader against GetPrivateProfileStringA, the version reader against GetFileVersionInfoA and
// VerQueryValueA. Where our reading rules differ from the system on purpose, the table says so.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../VersionReading.h"
#include "platform/Profile.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"
#include "support/TempDir.h"

namespace {

using V4 = std::array<int, 4>;

std::string SystemProfileString(const std::string& section, const std::string& key, const std::string& file) {
  std::vector<char> buffer(2048, '\0');
  const ::DWORD got = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "DEF", buffer.data(),
                                                 static_cast<::DWORD>(buffer.size()), file.c_str());
  return std::string(buffer.data(), got);
}

TEST(SystemReaders, TheProfileReaderReadsAsTheSystemDoes) {
  TempDir dir;
  const std::string longValue(3000, 'v');
  struct Row {
    const char* Name;
    std::string Content;
    const char* Section;
    const char* Key;
    std::string Ours;
    // What the system answers where it differs on purpose; empty when it answers as we do.
    std::optional<std::string> System = std::nullopt;
  };
  const Row rows[] = {
      {"trimmed value", "[Item1]\r\nMainFile = Video\\a.avi  \r\n", "Item1", "MainFile", "Video\\a.avi"},
      {"names without regard to case", "[Item1]\r\nMainFile=x\r\n", "ITEM1", "mainfile", "x"},
      {"double quotes go", "[S]\r\nK=\"  q  \"\r\n", "S", "K", "  q  "},
      {"single quotes go", "[S]\r\nK='x y'\r\n", "S", "K", "x y"},
      {"a lone quote stays", "[S]\r\nK=\"only the start\r\n", "S", "K", "\"only the start"},
      {"inner quotes stay", "[S]\r\nK=a \"b\" c\r\n", "S", "K", "a \"b\" c"},
      {"empty value", "[S]\r\nK=\r\n", "S", "K", ""},
      {"missing key", "[S]\r\nK=1\r\n", "S", "Other", "DEF"},
      {"missing section", "[S]\r\nK=1\r\n", "T", "K", "DEF"},
      {"only the first = separates", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
      {"section names trimmed", "  [ Spaced ]  \r\nK=s\r\n", "Spaced", "K", "s"},
      {"line feeds alone", "[S]\nK=lf\n", "S", "K", "lf"},
      {"no line end at the end", "[S]\r\nK=last", "S", "K", "last"},
      {"a trailing ^Z is a blank", "[S]\r\nK=value\x1A", "S", "K", "value"},
      {"long values are cut to 2047", "[S]\r\nK=" + longValue + "\r\n", "S", "K", longValue.substr(0, 2047)},
      {"UTF-16 with its mark, ASCII text",
       std::string("\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0u\0t\0f\0\r\0\n\0", 26), "S", "K", "utf"},
      {"UTF-8 text", "[S]\r\nK=caf\xC3\xA9\r\n", "S", "K", "caf\xC3\xA9"},
      // The system hands out its ANSI code page; we read the file's own encoding into UTF-8.
      {"Windows-1252 text", "[S]\r\nK=caf\xE9\r\n", "S", "K", "caf\xC3\xA9", "caf\xE9"},
      {"UTF-16 text outside ASCII", std::string("\xFF\xFE[\0S\0]\0\n\0K\0=\0\xE9\0\n\0", 16), "S", "K", "\xC3\xA9",
       "\xE9"},
      {"the first of two sections of one name", "[S]\r\nK=first\r\n[S]\r\nK=second\r\nL=later\r\n", "S", "K", "first"},
      {"a key only in the second section of that name", "[S]\r\nK=first\r\n[S]\r\nL=later\r\n", "S", "L", "DEF"},
      // A comment is a line that starts with ";" to us; to the system it is a key like any other.
      {"a comment line", "[S]\r\n;K=commented\r\nK=real\r\n", "S", ";K", "DEF", "commented"},
  };
  for (const Row& row : rows) {
    const std::string file = dir.Write("read.ini", row.Content);
    EXPECT_EQ(platform::GetPrivateProfileString(row.Section, row.Key, "DEF", file), row.Ours) << row.Name;
    EXPECT_EQ(SystemProfileString(row.Section, row.Key, file), row.System.value_or(row.Ours)) << row.Name;
  }
}

std::optional<V4> SystemFileVersion(const std::string& file) {
  ::DWORD handle = 0;
  const ::DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &handle);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return std::nullopt;
  void* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(data.data(), "\\", &fixed, &length) || length < sizeof(::VS_FIXEDFILEINFO)) return std::nullopt;
  const auto* info = static_cast<const ::VS_FIXEDFILEINFO*>(fixed);
  return V4{int(HIWORD(info->dwFileVersionMS)), int(LOWORD(info->dwFileVersionMS)), int(HIWORD(info->dwFileVersionLS)),
            int(LOWORD(info->dwFileVersionLS))};
}

std::string SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return win32::Narrow(std::wstring_view(buffer, length));
}

std::string ThisProgram() {
  wchar_t buffer[MAX_PATH];
  const ::DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return win32::Narrow(std::wstring_view(buffer, length));
}

TEST(SystemReaders, TheVersionReaderReadsTheSystemsOwnFilesAsTheSystemDoes) {
  // The system's libraries and programs, and this test program with its own version resource.
  std::vector<std::string> files{ThisProgram()};
  for (const auto& entry : std::filesystem::directory_iterator(SystemFolder())) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".dll" || extension == ".exe")) files.push_back(entry.path().string());
    if (files.size() >= 150) break;
  }
  int withVersion = 0;
  for (const std::string& file : files) {
    const auto ours = platform_test::ReadVersion(file);
    EXPECT_EQ(ours, SystemFileVersion(file)) << file;
    withVersion += ours.has_value();
  }
  EXPECT_GT(withVersion, 20) << "the system folder holds files with version resources";
  EXPECT_EQ(platform_test::ReadVersion(ThisProgram()), (V4{7, 8, 9, 10}));
}

}  // namespace
