#include <gtest/gtest.h>

#include <string>

#include "platform/Profile.h"
#include "support/TempDir.h"

using platform::GetPrivateProfileString;

namespace {

struct ReadCase {
  const char* Name;
  const char* Section;
  const char* Key;
  const char* Expected;
};

TEST(ProfileReader, ReadsValuesByTheReadingRules) {
  TempDir dir;
  const std::string file = dir.Write("a.ini",
                                     "; a comment line\r\n"
                                     "[Item1]\r\n"
                                     "MainFile = Video\\a.avi  \r\n"
                                     "Caption=\"  Quoted  \"\r\n"
                                     "Single='x y'\r\n"
                                     "Half=\"only the start\r\n"
                                     "Mixed=\"a'\r\n"
                                     "Inner=a \"b\" c\r\n"
                                     "Empty=\r\n"
                                     "Blank=    \r\n"
                                     "EqualsInside=a=b\r\n"
                                     "no equals sign here\r\n"
                                     "  [ Spaced Section ]  \r\n"
                                     "Key=spaced\n"
                                     "[item1]\n"
                                     "Later=the second section of the same name is not read\n");
  const ReadCase cases[] = {
      {"blanks around the value go", "Item1", "MainFile", "Video\\a.avi"},
      {"section and key without regard to case", "ITEM1", "mainfile", "Video\\a.avi"},
      {"double quotes go, blanks inside stay", "Item1", "Caption", "  Quoted  "},
      {"single quotes go", "Item1", "Single", "x y"},
      {"a lone quote stays", "Item1", "Half", "\"only the start"},
      {"quotes must pair", "Item1", "Mixed", "\"a'"},
      {"inner quotes stay", "Item1", "Inner", "a \"b\" c"},
      {"empty value is empty, not the default", "Item1", "Empty", ""},
      {"blank value is empty", "Item1", "Blank", ""},
      {"only the first = separates", "Item1", "EqualsInside", "a=b"},
      {"section names are trimmed", "Spaced Section", "Key", "spaced"},
      {"missing key gives the default", "Item1", "Nothing", "DEF"},
      {"missing section gives the default", "Item9", "MainFile", "DEF"},
      {"a duplicate section is not read", "Item1", "Later", "DEF"},
  };
  for (const ReadCase& c : cases)
    EXPECT_EQ(GetPrivateProfileString(c.Section, c.Key, "DEF", file), c.Expected) << c.Name;
}

struct FileCase {
  const char* Name;
  std::string Content;  // the whole file, section [S]
  const char* Key;
  std::string Expected;
};

TEST(ProfileReader, CountsCtrlZAsABlankWhereItTrims) {
  // Each case is a file of its own: what matters is how the file ends.
  const FileCase cases[] = {
      {"a ^Z right after the last value", "[S]\r\nKey=Value\x1A", "Key", "Value"},
      {"a ^Z on a line after the last one", "[S]\r\nKey=Value\r\n\x1A", "Key", "Value"},
      {"a value of only ^Z is empty", "[S]\r\nKey=\x1A", "Key", ""},
      {"^Z among other blanks", "[S]\r\nKey = \x1A Value \x1A\t\r\n", "Key", "Value"},
      {"quotes go after the ^Z", "[S]\r\nKey=\"a b\"\x1A", "Key", "a b"},
      {"a ^Z inside quotes stays", "[S]\r\nKey=\"a\x1A\"\r\n", "Key", "a\x1A"},
      {"a ^Z inside a value stays", "[S]\r\nKey=a\x1A" "b\r\n", "Key", "a\x1A" "b"},
      {"key names are trimmed of ^Z", "[S]\r\n\x1AKey\x1A=v\r\n", "Key", "v"},
      {"section names are trimmed of ^Z", "[\x1AS\x1A]\x1A\r\nKey=v\r\n", "Key", "v"},
      {"a ^Z inside a key name stays", "[S]\r\nK\x1A" "ey=v\r\n", "Key", "DEF"},
      {"UTF-16 text ends in ^Z too",
       std::string("\xFF\xFE[\0S\0]\0\n\0K\0e\0y\0=\0V\0\x1A\0", 22), "Key", "V"},
  };
  TempDir dir;
  int n = 0;
  for (const FileCase& c : cases) {
    const std::string file = dir.Write("z" + std::to_string(n++) + ".ini", c.Content);
    EXPECT_EQ(GetPrivateProfileString("S", c.Key, "DEF", file), c.Expected) << c.Name;
  }
}

TEST(ProfileReader, MissingOrUnreadableFilesGiveDefaults) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileString("S", "K", "d", dir.File("missing.ini")), "d");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "d", dir.Path()), "d") << "a folder is not a file";
  EXPECT_EQ(GetPrivateProfileString("S", "K", "d", ""), "d");
}

TEST(ProfileReader, CutsLongValuesTo2047Characters) {
  TempDir dir;
  const std::string longValue(5000, 'x');
  const std::string file = dir.Write("long.ini", "[S]\nK=" + longValue + "\nAfter=1\n");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", file), std::string(2047, 'x'));
  EXPECT_EQ(GetPrivateProfileString("S", "After", "", file), "1");
  EXPECT_EQ(GetPrivateProfileString("S", "Missing", longValue, file).size(), 2047u) << "defaults are cut too";
}

TEST(ProfileReader, SurvivesBinaryGarbage) {
  TempDir dir;
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  const std::string file = dir.Write("garbage.ini", garbage + "\n[S]\nK=v\n" + garbage);
  EXPECT_EQ(GetPrivateProfileString("S", "K", "d", file), "v");
  EXPECT_EQ(GetPrivateProfileString("T", "K", "d", file), "d");
  const std::string nuls = dir.Write("nuls.ini", std::string("[S]\nK=a\0b\n", 10));
  EXPECT_EQ(GetPrivateProfileString("S", "K", "d", nuls), "a") << "a value ends at a NUL byte";
}

}  // namespace
