// Loading the covers into the window's image list and image controls, and the cover switch.
#include <fstream>
#include <sstream>

#include "LauncherFixture.h"

namespace {

std::string Picture() {
  std::ifstream in(std::string(QV_TEST_DATA) + "/pictures/bmp24.bmp", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class Covers : public LauncherTest {
protected:
  void SetUp() override {
    LauncherTest::SetUp();
    Disc.Write("front.bmp", Picture());
    Disc.Write("back.bmp", Picture());
  }
  TfrmMain* WindowWithFront(const std::string& extraKeys) {
    WriteConfig("[Front Cover]\nPictureFile=" + Disc.File("front.bmp") + "\n" + extraKeys);
    return CreateWindow();
  }
};

TEST_F(Covers, OpacityTakesTheLowEightBitsOfTheNumber) {
  const struct {
    const char* Text;
    int Opacity;
  } rows[] = {{"128", 128}, {"0x80", 128}, {"abc", 255}, {"300", 44}, {"-1", 255}, {"256", 0}};
  for (const auto& row : rows) {
    TfrmMain* window = WindowWithFront(std::string("Opacity=") + row.Text + "\n");
    EXPECT_EQ(window->oImageFrontCover->Opacity(), row.Opacity) << row.Text;
  }
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(Covers, OnlyACapitalCCentresEverythingElseStretches) {
  const struct {
    const char* Line;
    bool Center;
  } rows[] = {{"Mode=Center\n", true}, {"Mode=C\n", true}, {"Mode=center\n", false},
              {"Mode=S\n", false},     {"Mode=\n", false}, {"", false}};
  for (const auto& row : rows) {
    TfrmMain* window = WindowWithFront(row.Line);
    EXPECT_EQ(window->oImageFrontCover->Center(), row.Center) << row.Line;
    EXPECT_EQ(window->oImageFrontCover->Stretch(), !row.Center) << row.Line;
  }
}

TEST_F(Covers, ItemsAreAppendedFrontInsideBackAndShownByTheirControls) {
  WriteConfig("[Front Cover]\nPictureFile=" + Disc.File("front.bmp") + "\n[Inside Cover]\nPictureFile=" + Disc.File("back.bmp") + "\nOpacity=0x80\n"
              "[Back Cover]\nPictureFile=" + Disc.File("back.bmp") + "\n");
  TfrmMain* window = CreateWindow();
  EXPECT_EQ(window->DIBImageList1->DIBImages()->Count(), 3);
  EXPECT_EQ(window->oImageFrontCover->IndexMain()->DIBIndex(), 0);
  EXPECT_EQ(window->oImageInsideCover->IndexMain()->DIBIndex(), 1);
  EXPECT_EQ(window->oImageBackCover->IndexMain()->DIBIndex(), 2);
  EXPECT_EQ(window->DIBImageList1->DIBImages()->Items(0)->DIB()->Width(), 20);
  EXPECT_EQ(window->oImageFrontCover->Hint(), "Double click to switch between front & back cover");
  EXPECT_EQ(window->DIBImageContainer1->Hint(), "") << "the hint is the image's, not the container's";
  EXPECT_TRUE(window->pnlFrontCover->Visible());
  EXPECT_TRUE(Boxes.empty());
}

// A kind of picture no decoder of the system claims: Windows plays metafiles, Linux does not.
#ifdef _WIN32
constexpr const char* kUnknownKind = "tga";
#else
constexpr const char* kUnknownKind = "wmf";
#endif

TEST_F(Covers, AFailedCoverShowsItsTextAndLeavesItsEmptyItem) {
  WriteConfig("[Front Cover]\nPictureFile=" + Disc.File("missing.bmp") + "\nOpacity=10\n[Inside Cover]\nPictureFile=notes." +
              kUnknownKind + "\n"
              "[Back Cover]\nPictureFile=" + Disc.File("back.bmp") + "\n");
  TfrmMain* window = CreateWindow();
  ASSERT_EQ(Boxes.size(), 2u);
  EXPECT_EQ(Boxes[0].Text, "Cannot open file " + Disc.File("missing.bmp"));
  EXPECT_EQ(Boxes[0].Caption, "Quorvane +");
  EXPECT_EQ(Boxes[0].Flags, static_cast<unsigned>(MB_OK));
  EXPECT_EQ(Boxes[1].Text, std::string("Unknown picture file extension (.") + kUnknownKind + ")");
  EXPECT_EQ(window->DIBImageList1->DIBImages()->Count(), 3) << "the failed loads keep their items";
  EXPECT_EQ(window->oImageFrontCover->IndexMain()->DIBIndex(), 0);
  EXPECT_EQ(window->oImageFrontCover->Opacity(), 255) << "nothing after the failure is applied";
  EXPECT_FALSE(window->pnlFrontCover->Visible());
  EXPECT_EQ(window->Width(), 346);
  EXPECT_FALSE(window->oImageFrontCover->Hint().empty()) << "the back cover loaded: the hint is set all the same";
}

TEST_F(Covers, WithoutAFrontCoverTheWindowKeepsOnlyTheInsidePanel) {
  WriteConfig("[Front Cover]\nPictureFile=\n");
  TfrmMain* window = CreateWindow();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(window->DIBImageList1->DIBImages()->Count(), 0);
  EXPECT_FALSE(window->pnlFrontCover->Visible());
  EXPECT_EQ(window->Width(), 346);
  EXPECT_EQ(window->ClientWidth(), 340);
}

TEST_F(Covers, ADoubleClickSwitchesFrontAndBackOnlyWithABackCover) {
  TfrmMain* window = WindowWithFront("");
  window->oImageFrontCover->DblClick();
  EXPECT_TRUE(window->oImageFrontCover->Visible()) << "no back cover: nothing changes";
  EXPECT_EQ(window->oImageFrontCover->Tag(), 0);
  WriteConfig("[Front Cover]\nPictureFile=" + Disc.File("front.bmp") + "\n[Back Cover]\nPictureFile=" + Disc.File("back.bmp") + "\n");
  window = CreateWindow();
  window->oImageFrontCover->DblClick();
  EXPECT_FALSE(window->oImageFrontCover->Visible());
  EXPECT_TRUE(window->oImageBackCover->Visible());
  EXPECT_EQ(window->oImageFrontCover->Tag(), 1);
  window->oImageBackCover->DblClick();
  EXPECT_TRUE(window->oImageFrontCover->Visible());
  EXPECT_FALSE(window->oImageBackCover->Visible());
  EXPECT_EQ(window->oImageFrontCover->Tag(), 0);
}

TEST_F(Covers, TheCoverControlsStandWhereTheLayoutPutsThem) {
  TfrmMain* window = WindowWithFront("");
  EXPECT_EQ(window->DIBImageContainer1->BoundsRect(), Bounds(1, 1, 358, 471));
  EXPECT_EQ(window->oImageFrontCover->BoundsRect(), Bounds(1, 1, 340, 469));
  EXPECT_EQ(window->oImageBackCover->BoundsRect(), Bounds(1, 1, 340, 469));
  EXPECT_EQ(window->Panel2->BoundsRect(), Bounds(341, 1, 16, 469));
  EXPECT_EQ(window->oInsideContainer->BoundsRect(), Bounds(1, 1, 338, 471));
  EXPECT_EQ(window->oImageInsideCover->BoundsRect(), Bounds(1, 1, 336, 469));
  EXPECT_EQ(window->mmoNotes->BoundsRect(), Bounds(6, 325, 326, 138));
}

}  // namespace
