#include <gtest/gtest.h>

#include <string>

#include "platform/Profile.h"
#include "platform/TextDecoding.h"
#include "platform/Utf.h"
#include "support/TempDir.h"

using platform::DecodeText;
using platform::TTextEncoding;

namespace {

std::string Utf16(const std::u16string& text, bool bigEndian, bool mark = true) {
  std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

TEST(TextDecoding, DecidesOnceForTheWholeFile) {
  const struct {
    const char* Name;
    std::string Bytes;
    TTextEncoding Encoding;
    std::string Text;
  } cases[] = {
      {"plain ASCII", "abc", TTextEncoding::Utf8, "abc"},
      {"valid UTF-8", "Caf\xC3\xA9", TTextEncoding::Utf8, "Caf\xC3\xA9"},
      {"UTF-8 with a mark", "\xEF\xBB\xBF" "Caf\xC3\xA9", TTextEncoding::Utf8WithMark, "Caf\xC3\xA9"},
      {"Windows-1252", "Caf\xE9 \x80", TTextEncoding::Windows1252, "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"one bad byte makes all of it Windows-1252", "\xC3\xA9 and \xE9", TTextEncoding::Windows1252,
       "\xC3\x83\xC2\xA9 and \xC3\xA9"},
      {"a mark before bytes that are not UTF-8", "\xEF\xBB\xBF\xE9", TTextEncoding::Windows1252, "\xC3\xA9"},
      {"the five undefined bytes become C1 controls", "\x81\x8D\x8F\x90\x9D", TTextEncoding::Windows1252,
       "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"UTF-16LE", Utf16(u"K=\u00E9\u20AC", false), TTextEncoding::Utf16Le, "K=\xC3\xA9\xE2\x82\xAC"},
      {"UTF-16BE", Utf16(u"K=\u00E9\u20AC", true), TTextEncoding::Utf16Be, "K=\xC3\xA9\xE2\x82\xAC"},
      {"UTF-16 surrogate pair", Utf16(u"\U0001F600", false), TTextEncoding::Utf16Le, "\xF0\x9F\x98\x80"},
      {"odd-length UTF-16", Utf16(u"ab", false) + "c", TTextEncoding::Utf16Le, "ab\xEF\xBF\xBD"},
      {"unpaired surrogate", Utf16(u"a", true) + std::string("\xD8\x00", 2), TTextEncoding::Utf16Be,
       "a\xEF\xBF\xBD"},
      {"a lone UTF-16 mark", "\xFF\xFE", TTextEncoding::Utf16Le, ""},
      {"a lone UTF-8 mark", "\xEF\xBB\xBF", TTextEncoding::Utf8WithMark, ""},
      {"UTF-16 without a mark is not guessed", Utf16(u"a", false, false), TTextEncoding::Utf8,
       std::string("a\0", 2)},
      {"empty", "", TTextEncoding::Utf8, ""},
  };
  for (const auto& c : cases) {
    TTextEncoding found{};
    EXPECT_EQ(DecodeText(c.Bytes, &found), c.Text) << c.Name;
    EXPECT_EQ(found, c.Encoding) << c.Name;
  }
}

TEST(TextDecoding, CutsWholeCharactersOnly) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const struct {
    size_t Count;
    std::string Expected;
  } cases[] = {{0, ""}, {1, "a"}, {2, "a\xC3\xA9"}, {3, "a\xC3\xA9\xE2\x82\xAC"}, {4, text}, {9, text}};
  for (const auto& c : cases) EXPECT_EQ(platform::FirstCharacters(text, c.Count), c.Expected) << c.Count;
}

// The same INI file saved four ways gives the same values.
TEST(ProfileEncodings, TheSameFileSavedFourWaysReadsAlike) {
  const std::u16string lines[] = {
      u"; Disc configuration",
      u"[Item1]",
      u"Caption=Caf\u00E9 \u2013 \u201CDirector\u2019s Cut\u201D",
      u"MainFile = Vid\u00E9o\\Feature.AVI ",
      u"[Item2]",
      u"Caption='Euro \u20AC'",
  };
  auto join = [&](const std::u16string& eol) {
    std::u16string all;
    for (const std::u16string& line : lines) all += line + eol;
    return all;
  };
  auto toUtf8 = [](const std::u16string& s) { return platform::Utf16ToUtf8(s); };
  // Windows-1252 bytes of the same text.
  auto to1252 = [](const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
      switch (c) {
        case u'\u2013': out += '\x96'; break;
        case u'\u201C': out += '\x93'; break;
        case u'\u201D': out += '\x94'; break;
        case u'\u2019': out += '\x92'; break;
        case u'\u20AC': out += '\x80'; break;
        default: out += static_cast<char>(c); break;
      }
    }
    return out;
  };
  TempDir dir;
  const struct {
    const char* Name;
    std::string Bytes;
  } files[] = {
      {"utf8-crlf.ini", toUtf8(join(u"\r\n"))},
      {"utf8-mark-cr.ini", "\xEF\xBB\xBF" + toUtf8(join(u"\r"))},
      {"utf16le-crlf.ini", Utf16(join(u"\r\n"), false)},
      {"utf16be-lf.ini", Utf16(join(u"\n"), true)},
      {"cp1252-cr.ini", to1252(join(u"\r"))},
  };
  for (const auto& f : files) {
    const std::string path = dir.Write(f.Name, f.Bytes);
    EXPECT_EQ(platform::GetPrivateProfileString("item1", "Caption", "-", path),
              "Caf\xC3\xA9 \xE2\x80\x93 \xE2\x80\x9C" "Director\xE2\x80\x99s Cut\xE2\x80\x9D")
        << f.Name;
    EXPECT_EQ(platform::GetPrivateProfileString("Item1", "MainFile", "-", path), "Vid\xC3\xA9o\\Feature.AVI") << f.Name;
    EXPECT_EQ(platform::GetPrivateProfileString("ITEM2", "caption", "-", path), "Euro \xE2\x82\xAC") << f.Name;
  }
}

TEST(ProfileEncodings, TheValueLimitCountsCharacters) {
  TempDir dir;
  std::string value;
  for (int i = 0; i < 2100; ++i) value += "\xC3\xA9";
  const struct {
    const char* Name;
    std::string Bytes;
  } files[] = {
      {"utf8.ini", "[S]\nK=" + value + "\n"},
      {"utf16.ini", Utf16(u"[S]\r\nK=" + std::u16string(2100, u'\u00E9') + u"\r\n", false)},
      {"cp1252.ini", "[S]\nK=" + std::string(2100, '\xE9') + "\n"},
  };
  std::string expected;
  for (int i = 0; i < 2047; ++i) expected += "\xC3\xA9";
  for (const auto& f : files)
    EXPECT_EQ(platform::GetPrivateProfileString("S", "K", "", dir.Write(f.Name, f.Bytes)), expected) << f.Name;
}

}  // namespace
