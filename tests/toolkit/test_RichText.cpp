#include <gtest/gtest.h>

#include "toolkit/ComCtrls.h"

namespace {

TEST(RichText, ParagraphsAlignmentAndStyles) {
  TRichDocument doc;
  ASSERT_TRUE(ParseRichText("{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}{\\colortbl;\\red0\\green0\\blue0;}"
                            "\\pard\\qc\\b\\ul Title\\ul0\\b0\\par\n"
                            "\\pard plain \\b bold\\b0  and \\i italic\\i0\\par "
                            "caf\\'e9 \\u8364?\\{x\\}\\par}",
                            doc, TAlignment::taLeftJustify));
  ASSERT_EQ(doc.Paragraphs.size(), 3u);
  EXPECT_EQ(doc.Paragraphs[0].Alignment, TAlignment::taCenter);
  ASSERT_EQ(doc.Paragraphs[0].Runs.size(), 1u);
  EXPECT_EQ(doc.Paragraphs[0].Runs[0], (TTextRun{"Title", fsBold | fsUnderline}));
  EXPECT_EQ(doc.Paragraphs[1].Alignment, TAlignment::taLeftJustify);
  EXPECT_EQ(doc.Paragraphs[1].Runs, (std::vector<TTextRun>{{"plain ", 0}, {"bold", fsBold}, {" and ", 0}, {"italic", fsItalic}}));
  EXPECT_EQ(doc.Paragraphs[2].Text(), "caf\xC3\xA9 \xE2\x82\xAC{x}") << "escapes, and the fallback after \\u skipped";
  EXPECT_EQ(doc.Text().find("Tahoma"), std::string::npos) << "the font table is not text";
}

TEST(RichText, PlainTextIsNotRichText) {
  TRichDocument doc;
  EXPECT_FALSE(ParseRichText("Making Of\r\n", doc, TAlignment::taLeftJustify));
  EXPECT_FALSE(ParseRichText("", doc, TAlignment::taLeftJustify));
  EXPECT_FALSE(ParseRichText(" {\\rtf1}", doc, TAlignment::taLeftJustify));
}

TEST(RichText, DamagedRichTextEndsCleanly) {
  const std::string inputs[] = {
      "{\\rtf1 unterminated \\b bold",
      "{\\rtf1 \\",
      "{\\rtf1 \\'",
      "{\\rtf1 \\'zz}",
      "{\\rtf1 \\u-99999999999999999999 x}",
      "{\\rtf1 \\uc99999999999 \\u65 abc}",
      "{\\rtf1 }}}}}} trailing",
      "{\\rtf1 " + std::string(100000, '{') + "deep" + std::string(100000, '}'),
      "{\\rtf1 \\" + std::string(5000, 'a') + " x}",
  };
  for (const std::string& input : inputs) {
    TRichDocument doc;
    EXPECT_TRUE(ParseRichText(input, doc, TAlignment::taCenter)) << input.substr(0, 40);
    (void)doc.Text();
  }
}

}  // namespace
