#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "TempFiles.h"

using namespace platform;
using namespace std::string_literals;

namespace {

const std::string kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";

struct ParseCase {
  const char* name;
  std::string body;  // after the header
  std::string key;
  std::string value;  // "" = default value
  DWORD type;
  std::string data;
};

class RegistryParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegistryParse, GivesTypedValue) {
  const ParseCase& c = GetParam();
  RegistryHive hive = RegistryHive::Parse(kHeader + c.body);
  const RegistryValue* value = hive.FindValue(c.key, c.value);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, c.type);
  EXPECT_EQ(value->data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryParse,
    ::testing::Values(
        ParseCase{"PlainString", "[Software\\\\P] 1\n\"Dir\"=\"C:\\\\Program Files\\\\P\"\n",
                  "Software\\P", "Dir", REG_SZ, "C:\\Program Files\\P"},
        ParseCase{"DefaultValue", "[Software\\\\P] 1\n@=\"def\"\n", "Software\\P", "", REG_SZ,
                  "def"},
        ParseCase{"Escapes", "[K]\n\"E\"=\"q\\\"b\\\\n\\nr\\rt\\tz\\0e\"\n", "K", "E", REG_SZ,
                  "q\"b\\n\nr\rt\tz\0e"s},
        ParseCase{"HexEscapeToUtf8", "[K]\n\"U\"=\"caf\\x00e9 \\x20ac\"\n", "K", "U", REG_SZ,
                  "caf\xC3\xA9 \xE2\x82\xAC"},
        ParseCase{"SurrogatePair", "[K]\n\"U\"=\"\\xd83d\\xde00\"\n", "K", "U", REG_SZ,
                  "\xF0\x9F\x98\x80"},
        ParseCase{"OctalEscape", "[K]\n\"O\"=\"a\\033b\\101\"\n", "K", "O", REG_SZ, "a\x1B" "bA"},
        ParseCase{"RawUtf8", "[K]\n\"R\"=\"\xC3\xA9t\xC3\xA9\"\n", "K", "R", REG_SZ,
                  "\xC3\xA9t\xC3\xA9"},
        ParseCase{"ExpandString", "[K]\n\"P\"=str(2):\"%SystemRoot%\\\\system32\"\n", "K", "P",
                  REG_EXPAND_SZ, "%SystemRoot%\\system32"},
        ParseCase{"MultiString", "[K]\n\"M\"=str(7):\"one\\0two\\0\"\n", "K", "M", REG_MULTI_SZ,
                  "one\0two"s},
        ParseCase{"HexExpandWithContinuation",
                  "[K]\n\"H\"=hex(2):25,00,41,00,\\\n  25,00,5c,00,\\\n  78,00,00,00\n", "K", "H",
                  REG_EXPAND_SZ, "%A%\\x"},
        ParseCase{"HexStringTypeOne", "[K]\n\"S\"=hex(1):41,00,42,00,00,00\n", "K", "S", REG_SZ,
                  "AB"},
        ParseCase{"Dword", "[K]\n\"D\"=dword:0000000a\n", "K", "D", REG_DWORD,
                  "\x0a\0\0\0"s},
        ParseCase{"Binary", "[K]\n\"B\"=hex:de,ad,\\\n  be,ef\n", "K", "B", REG_BINARY,
                  "\xDE\xAD\xBE\xEF"},
        ParseCase{"Qword", "[K]\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n", "K", "Q", REG_QWORD,
                  "\x01\0\0\0\0\0\0\0"s},
        ParseCase{"KeyAndValueNamesIgnoreCase", "[SOFTWARE\\\\Vendor]\n\"InstallDir\"=\"x\"\n",
                  "software\\VENDOR", "INSTALLDIR", REG_SZ, "x"},
        ParseCase{"BlankLinesCommentsAndMetadata",
                  "\n;; comment\n[K] 1672531200\n#time=1d93d2c3b9e1f00\n#class=\"c\"\n\r\n"
                  "\"V\"=\"w\"\r\n",
                  "K", "V", REG_SZ, "w"},
        ParseCase{"LaterValueWins", "[K]\n\"V\"=\"1\"\n[k]\n\"v\"=\"2\"\n", "K", "V", REG_SZ, "2"},
        ParseCase{"EscapedBracketInKeyName", "[A\\\\B\\]C]\n\"V\"=\"1\"\n", "a\\b]c", "V",
                  REG_SZ, "1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenCase {
  const char* name;
  std::string text;
  std::string key;    // key looked at
  bool keyExists;
  std::string value;  // value that must be missing, or "" for none
};

class RegistryBrokenFile : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(RegistryBrokenFile, KeepsWhatParsesAndDropsTheRest) {
  const BrokenCase& c = GetParam();
  RegistryHive hive = RegistryHive::Parse(c.text);
  EXPECT_EQ(hive.KeyExists(c.key), c.keyExists);
  if (!c.value.empty()) {
    EXPECT_EQ(hive.FindValue(c.key, c.value), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegistryBrokenFile,
    ::testing::Values(
        BrokenCase{"NoHeader", "[K]\n\"V\"=\"x\"\n", "K", false, ""},
        BrokenCase{"OtherVersion", "WINE REGISTRY Version 1\n[K]\n", "K", false, ""},
        BrokenCase{"Empty", "", "K", false, ""},
        BrokenCase{"UnterminatedString", kHeader + "[K]\n\"V\"=\"never closed\n", "K", true, "V"},
        BrokenCase{"UnterminatedName", kHeader + "[K]\n\"V=\"x\n", "K", true, "V"},
        BrokenCase{"TrailingBackslashInString", kHeader + "[K]\n\"V\"=\"abc\\", "K", true, "V"},
        BrokenCase{"UnterminatedKeyDropsItsValues",
                   kHeader + "[K]\n[K\\\\Sub\n\"V\"=\"x\"\n", "K", true, "V"},
        BrokenCase{"TruncatedInHexContinuation", kHeader + "[K]\n\"H\"=hex:01,02,\\", "K", true,
                   "H"},
        BrokenCase{"BadHexDigit", kHeader + "[K]\n\"H\"=hex:01,zz\n", "K", true, "H"},
        BrokenCase{"DwordTooLong", kHeader + "[K]\n\"D\"=dword:123456789\n", "K", true, "D"},
        BrokenCase{"UnknownDataForm", kHeader + "[K]\n\"V\"=foo:1\n", "K", true, "V"},
        BrokenCase{"BinaryGarbage",
                   kHeader + "\x00\xff\xfe[\x01\x80\n\"\xc3\x28\"=hex(zz):\n\x00[K\xff"s,
                   "K", false, ""},
        BrokenCase{"LinkLoop",
                   kHeader + "[A] 1\n#link\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,"
                             "00,69,00,73,00,74,00,72,00,79,00,5c,00,4d,00,61,00,63,00,68,00,69,"
                             "00,6e,00,65,00,5c,00,41,00\n",
                   "A\\X", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryHive, KeysExistWithTheirAncestorsAndTheRootAlways) {
  RegistryHive hive = RegistryHive::Parse(kHeader + "[Software\\\\A\\\\B]\n");
  EXPECT_TRUE(hive.KeyExists(""));
  EXPECT_TRUE(hive.KeyExists("Software"));
  EXPECT_TRUE(hive.KeyExists("software\\a\\"));
  EXPECT_TRUE(hive.KeyExists("\\Software\\A\\B\\"));
  EXPECT_FALSE(hive.KeyExists("Software\\A\\B\\C"));
  EXPECT_FALSE(hive.KeyExists("Software\\AB"));
}

TEST(RegistryHive, DeepKeyHeadersAreDroppedNotRecursedInto) {
  std::string deep = "[";
  for (int i = 0; i < 100000; ++i) deep += "a\\\\";
  RegistryHive hive = RegistryHive::Parse(kHeader + deep + "]\n\"V\"=\"x\"\n[K]\n");
  EXPECT_FALSE(hive.KeyExists("a"));
  EXPECT_TRUE(hive.KeyExists("K"));
}

// The lines that make the key above them a link to `target`, a kernel path as Wine writes it.
std::string LinkTo(std::u16string target) {
  std::string hex = "#link\n\"SymbolicLinkValue\"=hex(6):";
  const char* digits = "0123456789abcdef";
  for (char16_t unit : target)
    for (int byte : {unit & 0xFF, unit >> 8})
      hex.append({digits[byte >> 4], digits[byte & 15], ','});
  hex.back() = '\n';
  return hex;
}

// Names in several scripts, some written as escapes, and two links whose names and targets are
// in another letter case than the keys they lead to.
const std::string kNamesInManyScripts =
    kHeader +
    "[Software\\\\KÉY]\n\"Ärger\"=\"latin\"\n"
    "[ΣΟΦΊΑ\\\\Οδός]\n\"ΣΣ\"=\"greek\"\n"
    "[Программы\\\\ДАННЫЕ]\n\"Дом\"=\"cyrillic\"\n"
    "[Caf\\x00c9]\n\"\\x00c9t\\x00e9\"=\"escaped\"\n"
    "[\xF0\x90\x90\x80]\n\"Ⱥ\"=\"longer when folded\"\n"
    "[Vendor]\n\"InstallDir\"=\"ascii\"\n"
    "[Ссылка]\n" + LinkTo(u"\\Registry\\Machine\\ΣΟΦΊΑ") +
    "[Ĉu]\n" + LinkTo(u"\\Registry\\Machine\\ссылка\\οδΌΣ") +
    "[Ĉu\\\\Below]\n";

TEST(RegistryHive, FindsKeysWhateverTheCaseOfTheirLetters) {
  const RegistryHive hive = RegistryHive::Parse(kNamesInManyScripts);
  struct Row {
    const char* path;
    bool exists;
  } const rows[] = {
      {"software\\kéy", true},
      {"SOFTWARE\\KÉY", true},
      {"σοφία\\ΟΔΌΣ", true},
      {"ΣΟΦΊΑ\\οδόσ", true},  // a final sigma is a sigma
      {"программы\\данные", true},
      {"ПРОГРАММЫ\\дАнНыЕ", true},
      {"café", true},
      {"\xF0\x90\x90\xA8", true},
      {"VENDOR", true},
      {"ссылка\\οδός", true},         // through a link
      {"ĉU\\below", false},          // the link leads elsewhere: its own children are hidden
      {"ĉu", true},                  // two links one after the other
      {"Software\\KEY", false},      // E is not É
      {"Software\\KÈY", false},      // nor is È
      {"ΣΟΦΙΑ\\Οδός", false},        // Ι is not Ί
      {"Программы\\ДАННЫE", false},  // a Latin E at the end
      {"CAF", false},
      {"Vendors", false},
  };
  for (const Row& row : rows) EXPECT_EQ(hive.KeyExists(row.path), row.exists) << row.path;
}

TEST(RegistryHive, FindsValuesWhateverTheCaseOfTheirLetters) {
  const RegistryHive hive = RegistryHive::Parse(kNamesInManyScripts);
  struct Row {
    const char* key;
    const char* value;
    const char* data;  // nullptr: not found
  } const rows[] = {
      {"Software\\KÉY", "ärger", "latin"},
      {"software\\kéy", "ÄRGER", "latin"},
      {"ΣΟΦΊΑ\\Οδός", "σς", "greek"},
      {"ΣΟΦΊΑ\\Οδός", "ΣΣ", "greek"},
      {"Программы\\ДАННЫЕ", "дОМ", "cyrillic"},
      {"caf\xC3\xA9", "ÉTÉ", "escaped"},
      {"\xF0\x90\x90\x80", "ⱥ", "longer when folded"},
      {"Vendor", "INSTALLDIR", "ascii"},
      {"ссылка\\ΟΔΌΣ", "σσ", "greek"},
      {"ĉu", "ΣΣ", "greek"},  // through two links
      {"Software\\KÉY", "Arger", nullptr},
      {"Software\\KÉY", "Ärgern", nullptr},
      {"ΣΟΦΊΑ\\Οδός", "ΣΕ", nullptr},
      {"Программы\\ДАННЫЕ", "Дoм", nullptr},  // a Latin o
      {"Vendor", "InstallDi", nullptr},
  };
  for (const Row& row : rows) {
    const RegistryValue* value = hive.FindValue(row.key, row.value);
    if (!row.data) {
      EXPECT_EQ(value, nullptr) << row.key << " / " << row.value;
      continue;
    }
    EXPECT_EQ(value ? value->data : "(missing)", row.data) << row.key << " / " << row.value;
  }
}

TEST(RegistryHive, NormalisePathFoldsEveryLetterAndKeepsOneSeparator) {
  struct Row {
    std::string path;
    std::string normal;
  } const rows[] = {
      {"", ""},
      {"\\\\\\", ""},
      {"SOFTWARE\\Classes\\.AVI", "software\\classes\\.avi"},
      {"\\\\Software\\\\\\KÉY\\", "software\\kéy"},
      {"ΣΟΦΊΑ\\Οδός\\ДОМ", "σοφία\\οδόσ\\дом"},
      {"\xF0\x90\x90\x80\\Ⱥ", "\xF0\x90\x90\xA8\\ⱥ"},
      {"A\xFF" "B\\\xC3", "a\xFF" "b\\\xC3"},  // bytes that are not UTF-8 stay as they are
  };
  for (const Row& row : rows) {
    const std::string normal = RegistryHive::NormalisePath(row.path);
    EXPECT_EQ(normal, row.normal) << row.path;
    EXPECT_EQ(RegistryHive::NormalisePath(normal), normal) << row.path;
  }
}

// A prefix folder with both files, used through the Win32-style calls.
class RegistryPrefix : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("system.reg",
              kHeader +
                  "[Software\\\\Classes\\\\.avi] 1\n@=\"machine.avi\"\n\"Both\"=\"machine\"\n"
                  "\"MachineOnly\"=\"m\"\n\n"
                  "[Software\\\\Classes\\\\MachineKey] 1\n@=\"mk\"\n\n"
                  "[Software\\\\Player] 1\n\"Dir\"=\"C:\\\\Players\\\\P\"\n"
                  "\"Path\"=str(2):\"%ProgramFiles%\\\\P\"\n\"Count\"=dword:00000003\n"
                  "\"Multi\"=str(7):\"a\\0b\"\n\n"
                  "[System\\\\ControlSet001\\\\Hardware Profiles\\\\Current\\\\Software\\\\Fonts]"
                  " 1\n\"LogPixels\"=dword:00000060\n\"Name\"=\"linked\"\n\n"
                  "[System\\\\CurrentControlSet] 1\n#link\n"
                  "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,"
                  "79,00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,"
                  "74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,00,"
                  "74,00,30,00,30,00,31,00\n");
    dir.Write("user.reg",
              kHeader + "[Software\\\\Classes\\\\.avi] 1\n\"Both\"=\"user\"\n\n"
                        "[Software\\\\Classes\\\\UserKey] 1\n@=\"uk\"\n\n"
                        "[Software\\\\Vendor] 1\n\"Folder\"=\"D:\\\\Media\\\\\"\n");
    SetWinePrefixOverride(dir.Path());
  }
  void TearDown() override { SetWinePrefixOverride(std::nullopt); }

  // Reads a value as text through the calls, or the error code as "#code".
  static std::string Read(HKEY root, const char* key, const char* value, DWORD* typeOut = nullptr) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(root, key, 0, KEY_READ, &opened);
    if (status != ERROR_SUCCESS) return "#" + std::to_string(status);
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExA(opened, value, nullptr, &type, nullptr, &size);
    std::string data(size, '?');
    if (status == ERROR_SUCCESS)
      status = RegQueryValueExA(opened, value, nullptr, &type,
                                reinterpret_cast<std::uint8_t*>(data.data()), &size);
    EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
    if (status != ERROR_SUCCESS) return "#" + std::to_string(status);
    if (typeOut) *typeOut = type;
    return data;
  }

  TempDir dir;
};

TEST_F(RegistryPrefix, RootsMapToTheFiles) {
  struct Row {
    HKEY root;
    const char* key;
    const char* value;
    std::string expected;
  };
  const Row rows[] = {
      {HKEY_LOCAL_MACHINE, "Software\\Player", "Dir", "C:\\Players\\P\0"s},
      {HKEY_CURRENT_USER, "Software\\Vendor", "Folder", "D:\\Media\\\0"s},
      {HKEY_LOCAL_MACHINE, "Software\\Vendor", "Folder", "#2"},
      // Classes root: the user's value wins, the machine fills in, keys of either exist.
      {HKEY_CLASSES_ROOT, ".avi", "Both", "user\0"s},
      {HKEY_CLASSES_ROOT, ".AVI", "MachineOnly", "m\0"s},
      {HKEY_CLASSES_ROOT, ".avi", "", "machine.avi\0"s},
      {HKEY_CLASSES_ROOT, "UserKey", nullptr, "uk\0"s},
      {HKEY_CLASSES_ROOT, "MachineKey", "", "mk\0"s},
      {HKEY_CLASSES_ROOT, "NoSuchKey", "", "#2"},
      // Current config goes through the CurrentControlSet link.
      {HKEY_CURRENT_CONFIG, "Software\\Fonts", "Name", "linked\0"s},
      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts",
       "Name", "linked\0"s},
      {HKEY_USERS, ".Default", "", "#2"},
      {HKEY_LOCAL_MACHINE, "Software\\Player\\", "Missing", "#2"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Read(row.root, row.key, row.value), row.expected) << row.key << " / "
                                                                 << (row.value ? row.value : "@");
}

TEST_F(RegistryPrefix, ValuesKeepTheirTypes) {
  DWORD type = 0;
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Player", "Path", &type),
            "%ProgramFiles%\\P\0"s);
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Player", "Count", &type),
            "\3\0\0\0"s);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Player", "Multi", &type),
            "a\0b\0\0"s);
  EXPECT_EQ(type, REG_MULTI_SZ);
}

TEST_F(RegistryPrefix, QueryFollowsTheSizeConventions) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\PLAYER", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  char buffer[32];
  DWORD size = 5;  // "C:\Players\P" needs 13 with its NUL
  EXPECT_EQ(RegQueryValueExA(key, "Dir", nullptr, nullptr, reinterpret_cast<std::uint8_t*>(buffer),
                             &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 13u);
  size = 13;
  EXPECT_EQ(RegQueryValueExA(key, "Dir", nullptr, nullptr, reinterpret_cast<std::uint8_t*>(buffer),
                             &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "C:\\Players\\P");
  EXPECT_EQ(RegQueryValueExA(key, "Dir", nullptr, nullptr, reinterpret_cast<std::uint8_t*>(buffer),
                             nullptr),
            ERROR_INVALID_PARAMETER);

  // A key opened below an opened key, and the same key again with no sub-key.
  HKEY again = nullptr;
  EXPECT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  HKEY bogus = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
  EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, KEY_READ, &again), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryPrefix, AChangedFileIsReadAgain) {
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\New", "V"), "#2");
  dir.Write("user.reg", kHeader + "[Software\\\\New] 2\n\"V\"=\"fresh\"\n");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\New", "V"), "fresh\0"s);
}

TEST_F(RegistryPrefix, KeyAndValueNamesMatchInAnyScriptThroughTheCalls) {
  dir.Write("user.reg", kHeader + "[Software\\\\Éditeur\\\\Продукт] 2\n\"Ώρα\"=\"now\"\n");
  struct Row {
    const char* key;
    const char* value;
    std::string expected;
  } const rows[] = {
      {"SOFTWARE\\ÉDITEUR\\продукт", "ώρα", "now\0"s},
      {"software\\éditeur\\ПРОДУКТ", "ΏΡΑ", "now\0"s},
      {"Software\\Editeur\\Продукт", "Ώρα", "#2"},
      {"Software\\Éditeur\\Продукт", "Ωρα", "#2"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(Read(HKEY_CURRENT_USER, row.key, row.value), row.expected) << row.key << " / "
                                                                         << row.value;
}

TEST(RegistryMissingPrefix, EveryKeyIsMissing) {
  TempDir dir;
  for (const std::string& prefix : {dir.File("does-not-exist"), std::string()}) {
    SetWinePrefixOverride(prefix);
    HKEY key = nullptr;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG})
      EXPECT_EQ(RegOpenKeyExA(root, "Software", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
  }
  SetWinePrefixOverride(std::nullopt);
}

TEST(RegistryMissingPrefix, OversizedFileCountsAsAbsent) {
  TempDir dir;
  std::string file = dir.Write("system.reg", kHeader + "[Software\\\\Big]\n");
  std::filesystem::resize_file(file, kMaxRegistryFileSize + 1);  // sparse where the file system allows
  SetWinePrefixOverride(dir.Path());
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Big", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  SetWinePrefixOverride(std::nullopt);
}

}  // namespace
