#include <gtest/gtest.h>

#include "LauncherFixture.h"

namespace {

class Information : public LauncherTest {
protected:
  TNewFadeLabel* Line(const std::string& informationLine) {
    Disc.Write("m.avi", "");
    WriteConfig("[Item1]\nMainFile=" + Disc.File("m.avi") + "\n" + informationLine);
    Window = CreateWindow();
    return Window->MenuItems->Items(0)->Label;
  }
  void Click(TNewFadeLabel* line) {
    ProtectedCall([&] {
      line->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(5, 5));
      line->Perform(WM_LBUTTONUP, 0, MakeMousePos(5, 5));
    });
  }
  TfrmMain* Window = nullptr;
};

TEST_F(Information, PlainTextFileIsShownLeftJustified) {
  const std::string file = Disc.Write("Info/a.txt", "First line\r\nSecond line\n");
  TNewFadeLabel* line = Line("InformationFile=" + file + "\n");
  Click(line);
  EXPECT_TRUE(Boxes.empty());
  const auto& paragraphs = Window->mmoNotes->Document().Paragraphs;
  ASSERT_EQ(paragraphs.size(), 2u);
  EXPECT_EQ(paragraphs[0].Text(), "First line");
  EXPECT_EQ(paragraphs[1].Text(), "Second line");
  EXPECT_EQ(paragraphs[0].Alignment, TAlignment::taLeftJustify);
  EXPECT_EQ(Window->mmoNotes->SelStart(), 0);
}

TEST_F(Information, RichTextFileKeepsItsOwnFormatting) {
  const std::string file = Disc.Write("Info/a.rtf", "{\\rtf1\\pard\\qc\\b Head\\b0\\par\\pard Body\\par}");
  Click(Line("InformationFile=" + file + "\n"));
  const auto& paragraphs = Window->mmoNotes->Document().Paragraphs;
  ASSERT_EQ(paragraphs.size(), 2u);
  EXPECT_EQ(paragraphs[0].Alignment, TAlignment::taCenter);
  EXPECT_EQ(paragraphs[0].Runs[0].Style, static_cast<TFontStyles>(fsBold));
  EXPECT_EQ(paragraphs[1].Alignment, TAlignment::taLeftJustify);
}

TEST_F(Information, MissingFileGivesOneNoticeAndKeepsTheNotes) {
  TNewFadeLabel* line = Line("InformationFile=" + Disc.File("nope.txt") + "\n");
  const std::string before = Window->mmoNotes->Text();
  Click(line);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "InformationFile not found\r\n" + Disc.File("nope.txt"));
  EXPECT_EQ(Boxes[0].Flags, static_cast<unsigned>(MB_OK));
  EXPECT_EQ(Window->mmoNotes->Text(), before);
  EXPECT_EQ(Window->mmoNotes->ParagraphAlignment(), TAlignment::taLeftJustify);
}

TEST_F(Information, NoInformationFileFailsWithTheFileError) {
  TNewFadeLabel* line = Line("");
  const std::string before = Window->mmoNotes->Text();
  Click(line);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Cannot open file ");
  EXPECT_EQ(Boxes[0].Caption, "Quorvane +");
  EXPECT_EQ(Boxes[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(Window->mmoNotes->Text(), before);
}

}  // namespace
