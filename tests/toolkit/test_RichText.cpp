#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/CodePages.h"
#include "toolkit/RichText.h"

void PrintTo(const TTextRun& r, std::ostream* os) {
  *os << "{\"" << r.Text << "\" style " << r.Style << " font \"" << r.FontName << "\" size " << r.FontSize
      << std::hex << " color " << r.Color << " highlight " << r.Highlight << std::dec << "}";
}

namespace {

const std::string kRtf = std::string(QV_TEST_DATA) + "/rtf/";
const std::string kMalformed = std::string(QV_TEST_DATA) + "/malformed/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TRichDocument Parse(std::string_view data, TAlignment alignment = TAlignment::taLeftJustify) {
  TRichDocument doc;
  EXPECT_TRUE(ParseRichText(data, doc, alignment)) << data.substr(0, 60);
  return doc;
}

// The run whose text is the words, else the first that contains them.
TTextRun RunWith(const TRichDocument& doc, const std::string& words) {
  for (const TParagraph& p : doc.Paragraphs)
    for (const TTextRun& r : p.Runs)
      if (r.Text == words) return r;
  for (const TParagraph& p : doc.Paragraphs)
    for (const TTextRun& r : p.Runs)
      if (r.Text.find(words) != std::string::npos) return r;
  ADD_FAILURE() << "no run holds " << words;
  return {};
}

TTextRun Format(TFontStyles style, const std::string& font, int size, TColor color = clDefault,
                TColor highlight = clNone) {
  TTextRun r;
  r.Style = style;
  r.FontName = font;
  r.FontSize = size;
  r.Color = color;
  r.Highlight = highlight;
  return r;
}

struct TExpectedParagraph {
  std::string Text;
  TAlignment Alignment;
  bool Justified = false;
};

TEST(RichTextFiles, WordProcessorFilesGiveTheirTextAndAlignment) {
  using enum TAlignment;
  const struct {
    const char* File;
    std::vector<TExpectedParagraph> Paragraphs;
  } cases[] = {
      {"formats.rtf",
       {{"Centred bold title", taCenter},
        {"Plain bold italic underlined struck end", taLeftJustify},
        {"Right red marked large serif", taRightJustify},
        {"Justified text with a\ttab and a\nline break.", taLeftJustify, true},
        {"Quotes \u2018single\u2019 and \u201Cdouble\u201D, it\u2019s \u2013 and \u2014 \u2022 \u20AC \u00BD \u00E9 \u00DF",
         taLeftJustify}}},
      {"table.rtf",
       {{"Before the table", taLeftJustify},
        {"Title\tLength\tCodec", taLeftJustify},
        {"Feature\t92 min\tDemo", taLeftJustify},
        {"After the table", taLeftJustify}}},
      {"cyrillic.rtf",
       {{"\u0413\u043B\u0430\u0432\u043D\u044B\u0439 \u0444\u0438\u043B\u044C\u043C \u0434\u0438\u0441\u043A\u0430",
         taLeftJustify},
        {"\u041D\u0443\u0436\u0435\u043D \u043A\u043E\u0434\u0435\u043A \u0432\u0435\u0440\u0441\u0438\u0438 1.0 "
         "\u0438\u043B\u0438 \u043D\u043E\u0432\u0435\u0435.",
         taLeftJustify}}},
      {"links-lists.rtf",
       {{"Visit the demo page for more.", taLeftJustify},
        {" \u2022\tFirst point", taLeftJustify},
        {" \u2022\tSecond point", taLeftJustify},
        {"Done.", taLeftJustify}}},
      {"astral.rtf", {{"Clef \U0001D11E and smile \U0001F600 and ok", taLeftJustify}}},
      {"wordpad-1251.rtf",
       {{"\u0413\u043B\u0430\u0432\u043D\u044B\u0439 \u0444\u0438\u043B\u044C\u043C", taCenter},
        {"\u041D\u0443\u0436\u0435\u043D \u043A\u043E\u0434\u0435\u043A \u00AB1.0\u00BB", taLeftJustify}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const TRichDocument doc = Parse(ReadFile(kRtf + c.File));
    ASSERT_EQ(doc.Paragraphs.size(), c.Paragraphs.size()) << doc.Text();
    for (size_t i = 0; i < c.Paragraphs.size(); ++i) {
      EXPECT_EQ(doc.Paragraphs[i].Text(), c.Paragraphs[i].Text) << i;
      EXPECT_EQ(doc.Paragraphs[i].Alignment, c.Paragraphs[i].Alignment) << i;
      EXPECT_EQ(doc.Paragraphs[i].Justified, c.Paragraphs[i].Justified) << i;
    }
  }
}

TEST(RichTextFiles, WordProcessorFilesGiveTheirCharacterFormats) {
  const TRichDocument formats = Parse(ReadFile(kRtf + "formats.rtf"));
  const TRichDocument cyrillic = Parse(ReadFile(kRtf + "wordpad-1251.rtf"));
  const TRichDocument links = Parse(ReadFile(kRtf + "links-lists.rtf"));
  const struct {
    const TRichDocument& Doc;
    const char* Words;
    TTextRun Expected;
  } cases[] = {
      {formats, "Plain", Format(0, "DejaVu Serif", 24)},
      {formats, "Centred bold title", Format(fsBold, "DejaVu Serif", 24)},
      {formats, "italic", Format(fsItalic, "DejaVu Serif", 24)},
      {formats, "underlined", Format(fsUnderline, "DejaVu Serif", 24)},
      {formats, "struck", Format(fsStrikeOut, "DejaVu Serif", 24)},
      {formats, "red", Format(0, "DejaVu Serif", 24, RGB(255, 0, 0))},
      {formats, "marked", Format(0, "DejaVu Serif", 24, clDefault, RGB(255, 255, 0))},
      {formats, "large", Format(0, "DejaVu Serif", 36)},
      {formats, "serif", Format(0, "DejaVu Serif", 24)},
      {links, "the demo page", Format(fsUnderline, "DejaVu Serif", 24, RGB(0, 0, 128))},
      {cyrillic, "\u0413\u043B\u0430\u0432", Format(fsBold, "Arial", 28, RGB(0, 0, 128))},
      {cyrillic, "\u041D\u0443\u0436", Format(0, "Courier New", 20)},
  };
  for (const auto& c : cases) {
    TTextRun run = RunWith(c.Doc, c.Words);
    run.Text.clear();
    EXPECT_EQ(run, c.Expected) << c.Words;
  }
}

TEST(RichText, WhatRealFilesHoldIsKept) {
  const struct {
    const char* Why;
    std::string Rtf;
    std::string Text;
  } cases[] = {
      {"Windows-1252 escapes", "{\\rtf1\\ansi \\'80 \\'92\\'93\\'94}", "\u20AC \u2019\u201C\u201D"},
      {"symbol words",
       "{\\rtf1 \\lquote\\rquote\\ldblquote\\rdblquote\\endash\\emdash\\bullet\\~\\emspace\\enspace}",
       "\u2018\u2019\u201C\u201D\u2013\u2014\u2022\u00A0\u2003\u2002"},
      {"the document's code page", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", "\u041F\u0440\u0438"},
      {"a font's character set over the document's page",
       "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset161 G;}{\\f1 L;}}\\f0\\'e1\\f1\\'e1}", "\u03B1\u00E1"},
      {"double-byte pairs, trail byte escaped or literal", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'83T}", "\u3042\u30B5"},
      {"\\uc is scoped to its group", "{\\rtf1 {\\uc2\\u233 xy}\\u233?z}", "\u00E9\u00E9z"},
      {"\\uc0 writes no fallback", "{\\rtf1\\uc0\\u233 x}", "\u00E9x"},
      {"the fallback may be an escape", "{\\rtf1\\u8364\\'80 x}", "\u20AC x"},
      {"negative \\u values", "{\\rtf1\\u-3913?}", "\uF0B7"},
      {"surrogate pairs", "{\\rtf1\\u-10179?\\u-8704?!}", "\U0001F600!"},
      {"lone surrogates", "{\\rtf1\\u-10179?x\\u-8704?}", "\uFFFDx\uFFFD"},
      {"control words longer than 32 letters",
       "{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmn x}", "x"},
      {"\\bin payload", "{\\rtf1 a\\bin6 }}{\\'x b}", "a b"},
      {"\\bin payload past the end", "{\\rtf1 a\\bin999 xyz}", "a"},
      {"nesting deeper than any limit",
       "{\\rtf1 " + std::string(5000, '{') + "deep" + std::string(5000, '}') + " tail}", "deep tail"},
      {"table cells and rows", "{\\rtf1\\trowd a\\cell\\cell c\\cell\\row\\trowd d\\cell\\row}", "a\t\tc\r\nd"},
      {"field results without instructions",
       "{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt the site}}.}", "see the site."},
      {"skipped destinations",
       "{\\rtf1{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}{\\*\\unknown u}{\\pict\\bin3 abc 00ff}x}", "x"},
      {"paragraph and line breaks", "{\\rtf1 a\\line b\\par c\\tab d\\par}", "a\nb\r\nc\td"},
      {"section and page breaks make no empty paragraphs", "{\\rtf1 a\\par\\sect b\\page c\\par\\sect}", "a\r\nb\r\nc"},
      {"hidden text", "{\\rtf1 a{\\v hidden\\u233?\\tab}b\\v c\\v0 d\\v e\\plain f}", "abdf"},
      {"escaped braces and backslash", "{\\rtf1 \\{x\\}\\\\}", "{x}\\"},
      {"the space after a control word is not text", "{\\rtf1 {\\b Demo Codec}\\b0  at}", "Demo Codec at"},
  };
  for (const auto& c : cases) {
    const TRichDocument doc = Parse(c.Rtf);
    EXPECT_EQ(doc.Text(), c.Text) << c.Why;
  }
}

TEST(RichText, CharacterFormatsFollowGroupsAndResets) {
  const TRichDocument doc = Parse(
      "{\\rtf1{\\fonttbl{\\f0 Tahoma;}{\\f1\\fswiss Verdana{\\*\\falt Arial};}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "a{\\b\\i\\ul\\strike\\f1\\fs30\\cf1\\highlight2 b}c\\ul d\\ulnone e\\b\\cf2 f\\plain g\\cf9 h\\f7 i}");
  ASSERT_EQ(doc.Paragraphs.size(), 1u);
  const std::vector<TTextRun> expected = {
      {"a", 0},
      [] {
        TTextRun r = Format(fsBold | fsItalic | fsUnderline | fsStrikeOut, "Verdana", 30, RGB(255, 0, 0), RGB(0, 0, 255));
        r.Text = "b";
        return r;
      }(),
      {"c", 0},
      {"d", fsUnderline},
      {"e", 0},
      [] {
        TTextRun r = Format(fsBold, "", 0, RGB(0, 0, 255));
        r.Text = "f";
        return r;
      }(),
      {"ghi", 0},
  };
  EXPECT_EQ(doc.Paragraphs[0].Runs, expected) << "an unknown colour or font index is the panel's own";
}

TEST(RichText, ParagraphAlignmentIsTakenWhereTheParagraphEnds) {
  using enum TAlignment;
  const TRichDocument doc =
      Parse("{\\rtf1\\pard\\qc a\\par\\pard b\\par\\qr c\\par{\\qj d\\par}\\pard\\qc\\ql e\\par f}", taCenter);
  const std::vector<std::pair<TAlignment, bool>> expected = {
      {taCenter, false}, {taCenter, false}, {taRightJustify, false},
      {taLeftJustify, true}, {taLeftJustify, false}, {taLeftJustify, false}};
  ASSERT_EQ(doc.Paragraphs.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(doc.Paragraphs[i].Alignment, expected[i].first) << i;
    EXPECT_EQ(doc.Paragraphs[i].Justified, expected[i].second) << i;
  }
}

TEST(RichText, PlainTextIsNotRichText) {
  for (const char* text : {"Making Of\r\n", "", " {\\rtf1}", "{\\rt", "{rtf1}"}) {
    TRichDocument doc;
    doc.Paragraphs.resize(1);
    EXPECT_FALSE(ParseRichText(text, doc, TAlignment::taLeftJustify)) << text;
    EXPECT_EQ(doc.Paragraphs.size(), 1u) << "the document is left alone";
  }
}

TEST(RichText, DamagedRichTextEndsCleanlyWithValidText) {
  struct TCase {
    std::string Name;
    std::string Data;
    std::string Start;  // what the text must begin with
  };
  std::vector<TCase> cases = {
      {"truncated.rtf", ReadFile(kMalformed + "truncated.rtf"), "Centred bold title\r\nPlain bold"},
      {"unbalanced.rtf", ReadFile(kMalformed + "unbalanced.rtf"), ""},
      {"huge-bin.rtf", ReadFile(kMalformed + "huge-bin.rtf"), "before"},
      {"huge-unicode.rtf", ReadFile(kMalformed + "huge-unicode.rtf"), "a\uFFFDb\uFFFDc\uFFFDdA"},
      {"unknown-codepage.rtf", ReadFile(kMalformed + "unknown-codepage.rtf"), "caf\u00E9 \u20AC"},
      {"junk.rtf", ReadFile(kMalformed + "junk.rtf"), ""},
      {"nested 100,000 deep", "{\\rtf1 " + std::string(100000, '{') + "deep" + std::string(100000, '}'), "deep"},
      {"only opening braces", "{\\rtf1 " + std::string(1 << 20, '{'), ""},
      {"a long control word", "{\\rtf1 \\" + std::string(1 << 20, 'a') + "9999999999999 x}", "x"},
      {"ends in a backslash", "{\\rtf1 x\\", "x"},
      {"ends in an escape", "{\\rtf1 x\\'", "x"},
      {"ends after a lead byte", "{\\rtf1\\ansicpg936 x\\'b0", "x"},
  };
  ASSERT_FALSE(cases[0].Data.empty()) << "test data missing";
  for (const TCase& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const TRichDocument doc = Parse(c.Data);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.Name;
    const std::string text = doc.Text();
    EXPECT_EQ(text.substr(0, c.Start.size()), c.Start) << c.Name;
    for (const TParagraph& p : doc.Paragraphs)
      for (const TTextRun& r : p.Runs) EXPECT_TRUE(platform::IsValidUtf8(r.Text) && platform::IsValidUtf8(r.FontName)) << c.Name;
  }
}

TEST(RichText, HostileDocumentsStopAtTheLimits) {
  const struct {
    const char* Why;
    std::string Piece;
  } cases[] = {
      {"paragraphs", "\\par "},
      {"runs", "\\b a\\b0 a"},
      {"text", "abcdefgh"},
  };
  for (const auto& c : cases) {
    std::string data = "{\\rtf1 ";
    while (data.size() < (std::size_t{20} << 20)) data += c.Piece;
    const TRichDocument doc = Parse(data);
    std::size_t runs = 0, bytes = 0;
    for (const TParagraph& p : doc.Paragraphs) {
      runs += p.Runs.size();
      for (const TTextRun& r : p.Runs) bytes += r.Text.size();
    }
    EXPECT_LE(doc.Paragraphs.size(), TRichTextLimits::Paragraphs) << c.Why;
    EXPECT_LE(runs, TRichTextLimits::Runs) << c.Why;
    EXPECT_LE(bytes, TRichTextLimits::TextBytes) << c.Why;
  }
}

}  // namespace
