#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TempFiles.h"
#include "support/PeFiles.h"
#include "platform/FileVersion.h"
#include "VersionReading.h"

using namespace platform;

namespace {

using namespace test_pe;
using platform_test::ReadVersion;

// A smallest ELF file with a name table and a .qv_version section, in any class and byte order.
Bytes MakeElf(Version v, bool is64, bool little) {
  auto put = [&](Bytes& b, std::size_t at, std::uint64_t value, int size) {
    if (b.size() < at + size) b.resize(at + size);
    for (int i = 0; i < size; ++i)
      b[at + i] = static_cast<char>((value >> (8 * (little ? i : size - 1 - i))) & 0xFF);
  };
  const std::string names = std::string("\0.shstrtab\0.qv_version\0", 23);
  const std::size_t namesAt = 0x40 + 16, recordAt = 0x80, tableAt = 0x100;
  const std::size_t entry = is64 ? 64 : 40;
  Bytes b(tableAt + 3 * entry, '\0');
  std::memcpy(&b[0], "\x7F" "ELF", 4);
  b[4] = is64 ? 2 : 1;
  b[5] = little ? 1 : 2;
  b[6] = 1;
  put(b, is64 ? 0x28 : 0x20, tableAt, is64 ? 8 : 4);
  put(b, is64 ? 0x3A : 0x2E, entry, 2);
  put(b, is64 ? 0x3C : 0x30, 3, 2);
  put(b, is64 ? 0x3E : 0x32, 1, 2);
  std::memcpy(&b[namesAt], names.data(), names.size());
  const std::uint32_t record[13] = {0xFEEF04BDu, 0x10000, (std::uint32_t{v.major} << 16) | v.minor,
                                    (std::uint32_t{v.release} << 16) | v.build};
  for (int i = 0; i < 13; ++i) put(b, recordAt + 4 * i, record[i], 4);
  auto section = [&](int index, std::uint32_t name, std::uint32_t type, std::uint64_t offset,
                     std::uint64_t size) {
    std::size_t at = tableAt + index * entry;
    put(b, at, name, 4);
    put(b, at + 4, type, 4);
    put(b, at + (is64 ? 24 : 16), offset, is64 ? 8 : 4);
    put(b, at + (is64 ? 32 : 20), size, is64 ? 8 : 4);
  };
  section(1, 1, 3 /* SHT_STRTAB */, namesAt, names.size());
  section(2, 11, 1 /* SHT_PROGBITS */, recordAt, 52);
  return b;
}

using V4 = std::array<int, 4>;

TEST(FileVersion, ReadsWellFormedFilesOfEveryKind) {
  TempDir dir;
  struct Row {
    const char* name;
    Bytes content;
    V4 expected;
  };
  const Row rows[] = {
      {"pe32.exe", MakePe({1, 2, 3, 4}, false), V4{1, 2, 3, 4}},
      {"pe32plus.DLL", MakePe({65535, 0, 7, 65534}, true), V4{65535, 0, 7, 65534}},
      {"elf64le", MakeElf({2, 0, 0, 1}, true, true), V4{2, 0, 0, 1}},
      {"elf32le", MakeElf({3, 1, 4, 1}, false, true), V4{3, 1, 4, 1}},
      {"elf64be", MakeElf({5, 9, 2, 6}, true, false), V4{5, 9, 2, 6}},
      {"elf32be", MakeElf({5, 3, 5, 8}, false, false), V4{5, 3, 5, 8}},
  };
  for (const Row& row : rows) {
    auto version = ReadVersion(dir.Write(row.name, row.content));
    ASSERT_TRUE(version.has_value()) << row.name;
    EXPECT_EQ(*version, row.expected) << row.name;
  }
}

TEST(FileVersion, DamagedFilesHaveNoVersion) {
  TempDir dir;
  struct Row {
    const char* name;
    std::function<void(Bytes&)> damage;
  };
  const Row rows[] = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"text", [](Bytes& b) { b = "MZ is just text here"; }},
      {"truncated in headers", [](Bytes& b) { b.resize(kPeHeader + 30); }},
      {"truncated in the section table", [](Bytes& b) { b.resize(kPeHeader + 24 + 224 + 10); }},
      {"truncated in the resource tree", [](Bytes& b) { b.resize(kLangDir + 4); }},
      {"truncated in the block", [](Bytes& b) { b.resize(kFixedInfo + 20); }},
      {"pe offset beyond the file", [](Bytes& b) { Put32(b, 0x3C, 0xFFFFFFF0u); }},
      {"no PE signature", [](Bytes& b) { b[kPeHeader] = 'N'; }},
      {"unknown optional header", [](Bytes& b) { Put16(b, kPeHeader + 24, 0x107); }},
      {"optional header too small", [](Bytes& b) { Put16(b, kPeHeader + 20, 40); }},
      {"no sections", [](Bytes& b) { Put16(b, kPeHeader + 6, 0); }},
      {"section raw data beyond file", [](Bytes& b) { Put32(b, kPeHeader + 24 + 224 + 20, 0x7FFFFFF0); }},
      {"resource rva outside sections", [](Bytes& b) { Put32(b, kPeHeader + 24 + 96 + 16, 0x900000); }},
      {"no version type", [](Bytes& b) { Put32(b, kTypeEntry, 3); }},
      {"type is a named entry", [](Bytes& b) { Put32(b, kTypeEntry, 0x80000010u); }},
      {"huge entry counts", [](Bytes& b) { Put16(b, kRsrcRaw + 12, 0xFFFF); Put16(b, kRsrcRaw + 14, 0xFFFF); }},
      {"language loops to the root", [](Bytes& b) { Put32(b, kLangEntry + 4, 0x80000000u); }},
      {"name points at itself", [](Bytes& b) { Put32(b, kNameEntry + 4, 0x80000000u | 0x18); }},
      {"directory offset far outside", [](Bytes& b) { Put32(b, kNameEntry + 4, 0xFFFFFFFFu); }},
      {"data entry beyond the tree", [](Bytes& b) { Put32(b, kLangEntry + 4, 0x7FFFFFF0u); }},
      {"data rva outside sections", [](Bytes& b) { Put32(b, kDataEntry, 0x10); }},
      {"data size huge", [](Bytes& b) { Put32(b, kDataEntry + 4, 0xFFFFFFF0u); }},
      {"block longer than data", [](Bytes& b) { Put16(b, kBlock, 0xFFFF); }},
      {"wrong block key", [](Bytes& b) { Put16(b, kBlock + 6, 'X'); }},
      {"value longer than block", [](Bytes& b) { Put16(b, kBlock + 2, 200); }},
      {"bad fixed signature", [](Bytes& b) { Put32(b, kFixedInfo, 0xFEEF04BC); }},
      {"fixed record too short", [](Bytes& b) { Put16(b, kBlock + 2, 20); }},
  };
  for (const Row& row : rows) {
    Bytes file = MakePe({1, 2, 3, 4}, false);
    row.damage(file);
    EXPECT_EQ(ReadVersion(dir.Write("damaged.exe", file)), std::nullopt) << row.name;
  }
}

TEST(FileVersion, DamagedElfFilesHaveNoVersion) {
  TempDir dir;
  struct Row {
    const char* name;
    std::function<void(Bytes&)> damage;
  };
  const Row rows[] = {
      {"truncated header", [](Bytes& b) { b.resize(30); }},
      {"unknown class", [](Bytes& b) { b[4] = 7; }},
      {"table beyond the file", [](Bytes& b) { Put32(b, 0x28, 0xFFFFFF00u); }},
      {"table cut short", [](Bytes& b) { b.resize(0x100 + 64 + 10); }},
      {"name table index out of range", [](Bytes& b) { Put16(b, 0x3E, 9); }},
      {"extended count without section zero", [](Bytes& b) { Put16(b, 0x3C, 0); }},
      {"extended count huge", [](Bytes& b) { Put16(b, 0x3C, 0); Put32(b, 0x100 + 32, 0xFFFFFFFFu); Put32(b, 0x100 + 36, 0xFFFF); }},
      {"name offset beyond names", [](Bytes& b) { Put32(b, 0x100 + 128, 0xFFFFFFF0u); }},
      {"record beyond the file", [](Bytes& b) { Put32(b, 0x100 + 128 + 24, 0xFFFFF000u); }},
      {"record signature", [](Bytes& b) { b[0x80] = 0; }},
      {"small entry size", [](Bytes& b) { Put16(b, 0x3A, 16); }},
  };
  for (const Row& row : rows) {
    Bytes file = MakeElf({1, 2, 3, 4}, true, true);
    row.damage(file);
    EXPECT_EQ(ReadVersion(dir.Write("damaged", file)), std::nullopt) << row.name;
  }
}

TEST(FileVersion, MissingFilesAndDirectoriesHaveNoVersion) {
  TempDir dir;
  for (const std::string& name : {dir.File("missing.exe"), dir.Path(), std::string()})
    EXPECT_EQ(GetFileVersionInfoSizeA(name.c_str(), nullptr), 0u) << name;
  EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
}

TEST(FileVersion, ShortBufferCutsTheBlockSoQueriesStayInside) {
  TempDir dir;
  std::string file = dir.Write("p.exe", MakePe({1, 2, 3, 4}, false));
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
  ASSERT_GT(size, 60u);
  std::vector<std::uint8_t> data(60, 0xCC);
  ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, 60, data.data()));
  void* fixed = nullptr;
  UINT length = 0;
  EXPECT_FALSE(VerQueryValueA(data.data(), "\\", &fixed, &length));
  data.assign(size, 0);
  ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, data.data()));
  EXPECT_FALSE(VerQueryValueA(data.data(), "\\StringFileInfo", &fixed, &length));
}

}  // namespace
