#include <gtest/gtest.h>

#include "platform/CodePages.h"

using namespace platform;

TEST(CodePages, Windows1252MapsTheHighRangeAndKeepsTheUndefinedBytesDefined) {
  EXPECT_EQ(Windows1252ToUtf8("\x80\x92\x93\x94"), "\u20AC\u2019\u201C\u201D");
  EXPECT_EQ(Windows1252ToUtf8("caf\xE9"), "caf\u00E9");
  // The five undefined bytes come out as the C1 controls of the same number.
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(CodePages, OtherPagesGoThroughTheirOwnTables) {
  struct Row {
    unsigned Page;
    std::string Bytes, Utf8;
  } rows[] = {
      {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "\u041F\u0440\u0438\u0432\u0435\u0442"},
      {1250, "\x8A\x9A", "\u0160\u0161"},
      {1253, "\xC1", "\u0391"},
      {932, "\x93\xFA\x96\x7B", "\u65E5\u672C"},
      {65001, "\xC3\xA9", "\u00E9"},
      // A page nobody knows reads as Windows-1252.
      {4711, "\x80", "\u20AC"},
  };
  for (const Row& r : rows) EXPECT_EQ(CodePageToUtf8(r.Page, r.Bytes), r.Utf8) << r.Page;
}

TEST(CodePages, BrokenDoubleByteTextGivesReplacementCharacters) {
  // A lead byte at the end and a lead byte before an invalid trail.
  EXPECT_EQ(CodePageToUtf8(932, "A\x93"), "A\uFFFD");
  EXPECT_EQ(CodePageToUtf8(65001, "\xFF" "a"), "\uFFFD" "a");
}

TEST(CodePages, CharsetsNameTheirPages) {
  EXPECT_EQ(CharsetToCodePage(0), 1252u);
  EXPECT_EQ(CharsetToCodePage(204), 1251u);
  EXPECT_EQ(CharsetToCodePage(128), 932u);
  EXPECT_EQ(CharsetToCodePage(2), 0u);  // symbol
  EXPECT_TRUE(IsDoubleByteCodePage(936));
  EXPECT_FALSE(IsDoubleByteCodePage(1251));
}

TEST(CodePages, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "caf\xE9"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}
