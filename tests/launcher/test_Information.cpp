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

// A plain-text file as the disc's home system saves it, in another letter case than written.
TEST_F(Information, PlainTextIsDecodedAndFoundInAnyLetterCase) {
  const struct {
    const char* Name;
    std::string Bytes;
  } files[] = {
      {"cp1252.TXT", "Caf\xE9 \x96 1\rZ\xFC" "rich"},
      {"utf16.TXT", std::string("\xFF\xFE" "C\0a\0f\0\xE9\0 \0\x13\x20 \0" "1\0\r\0\n\0Z\0\xFC\0r\0i\0" "c\0h\0", 34)},
      {"utf8.TXT", "\xEF\xBB\xBF" "Caf\xC3\xA9 \xE2\x80\x93 1\nZ\xC3\xBCrich"},
  };
  for (const auto& f : files) {
    Disc.Write(std::string("Info/") + f.Name, f.Bytes);
    TNewFadeLabel* line = Line("InformationFile=" + Disc.File("INFO/") + f.Name + "\n");
    Click(line);
    EXPECT_TRUE(Boxes.empty()) << f.Name;
    const auto& paragraphs = Window->mmoNotes->Document().Paragraphs;
    ASSERT_EQ(paragraphs.size(), 2u) << f.Name;
    EXPECT_EQ(paragraphs[0].Text(), "Caf\xC3\xA9 \xE2\x80\x93 1") << f.Name;
    EXPECT_EQ(paragraphs[1].Text(), "Z\xC3\xBCrich") << f.Name;
  }
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

// A file system entry that is no file: a named pipe, which only POSIX file systems hold.
#ifndef _WIN32
TEST_F(Information, AnInformationFileThatIsAPipeFailsWithTheFileError) {
  const std::string fifo = Disc.File("pipe.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TNewFadeLabel* line = Line("InformationFile=" + fifo + "\n");
  Click(line);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Cannot open file " + fifo + ".") << "the failure report adds its full stop";
}
#endif

// A double click arrives as the toolkit delivers it: down, up, double click, up, through the
// container the lines live in. A refusal reaches the failure report; the window goes on.
TEST_F(Information, DoubleClickRunsTheFeatureAndItsFailureIsReported) {
  Disc.Write("codec.ini", "[Main]\nDescription=Demo Codec\n");
  TNewFadeLabel* line = Line("CodecNeededDefinitionFile=" + Disc.File("codec.ini") + "\n");
  TWinControl* container = Window->oInsideContainer;
  const intptr_t at = MakeMousePos(line->Left() + 5, line->Top() + 5);
  Answers = {IDOK, IDNO};
  for (unsigned msg : {unsigned{WM_LBUTTONDOWN}, unsigned{WM_LBUTTONUP}, unsigned{WM_LBUTTONDBLCLK}, unsigned{WM_LBUTTONUP}})
    ProtectedCall([&] { container->Perform(msg, msg == WM_LBUTTONUP ? 0u : unsigned{MK_LBUTTON}, at); });
  ASSERT_EQ(Boxes.size(), 3u);
  EXPECT_EQ(Boxes[0].Text, "Cannot open file ") << "the first click shows the (missing) information";
  EXPECT_EQ(Boxes[1].Text,
            "Demo Codec is not installed\r\n\r\nYou MUST install it to view the feature.\r\n\r\nDo you wish to install now?");
  EXPECT_EQ(Boxes[2].Text, "User aborted installation of Demo Codec.");
  EXPECT_EQ(Boxes[2].Caption, "Quorvane +");
  EXPECT_EQ(Boxes[2].Flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
}

}  // namespace
