// The picture-controls example's window as the program reads it from its compiled-in stored form:
// the form survives the component stream unchanged, and the loaded pictures drag, snap, follow
// and take keys as pictures set up in code do.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dibcontrols/cDIBFeatures.h"
#include "examples/picture-controls/PictureWindow.h"
#include "support/QtWindows.h"
#include "toolkit/Streaming.h"

namespace {

std::vector<uint8_t> TextToBinary(std::string_view text) {
  TBytesStream in(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  TMemoryStream out;
  ObjectTextToBinary(in, out);
  return out.TakeBytes();
}

std::string BinaryToText(const std::vector<uint8_t>& bytes) {
  TBytesStream in(bytes);
  TMemoryStream out;
  ObjectBinaryToText(in, out);
  return std::string(out.Bytes().begin(), out.Bytes().end());
}

class PictureWindow : public testing::Test {
protected:
  void TearDown() override {
    MouseIdle(nullptr);
    Owned.reset();
    QApplication::processEvents();
  }
  TPoint At(TControl* control) const { return TPoint{control->Left(), control->Top()}; }
  TControl* Named(const char* name) const { return dynamic_cast<TControl*>(Window.FindComponent(name)); }
  // A drag of picture B from (x0, y0) by (dx, dy), in B's coordinates, as its messages.
  void DragB(int x0, int y0, int dx, int dy) {
    TDIBImage* b = Window.Picture('B');
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(x0, y0));
    b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(x0 + dx, y0 + dy));
    b->Perform(WM_LBUTTONUP, 0, MakeMousePos(x0 + dx, y0 + dy));
    MouseIdle(nullptr);
  }
  // Keys as the window system delivers them; the window has to be shown and active for them.
  void Key(Qt::Key key) { QTest::keyClick(WidgetOf(Window.Scene()), key); }
  // B, C and their labels, which move together; A stays.
  void ExpectMovedBy(int dx, int dy) {
    EXPECT_EQ(At(Window.Picture('B')), (TPoint{150 + dx, 110 + dy}));
    EXPECT_EQ(At(Window.Picture('C')), (TPoint{250 + dx, 150 + dy}));
    EXPECT_EQ(At(Named("lblB")), (TPoint{236 + dx, 114 + dy}));
    EXPECT_EQ(At(Named("lblC")), (TPoint{360 + dx, 150 + dy}));
    EXPECT_EQ(At(Window.Picture('A')), (TPoint{30, 40}));
    EXPECT_EQ(At(Named("lblA")), (TPoint{36, 44}));
  }
  std::unique_ptr<TPictureWindow> Owned = std::make_unique<TPictureWindow>(nullptr);
  TPictureWindow& Window = *Owned;
};

TEST_F(PictureWindow, TheStoredFormComesBackUnchangedThroughTextAndBinary) {
  EXPECT_EQ(ComponentToText(&Window), kPictureWindowForm);
  TMemoryStream written;
  WriteComponentToStream(written, &Window);
  const std::vector<uint8_t> bytes = written.TakeBytes();
  EXPECT_EQ(bytes, TextToBinary(kPictureWindowForm)) << "the loaded window writes the bytes its text stands for";
  EXPECT_EQ(BinaryToText(bytes), kPictureWindowForm);
}

TEST_F(PictureWindow, TheLoadedFormHoldsThePicturesTheirFeaturesAndChildren) {
  TDIBImage* a = Window.Picture('A');
  TDIBImage* b = Window.Picture('B');
  TDIBImage* c = Window.Picture('C');
  ASSERT_TRUE(a && b && c);
  for (TDIBImage* picture : {a, b, c}) {
    EXPECT_EQ(picture->Parent(), Window.Scene());
    EXPECT_EQ(picture->DIBImageList(), Window.Images());
  }
  EXPECT_EQ(a->DIBTabOrder(), 0);
  EXPECT_EQ(b->DIBTabOrder(), 1);
  EXPECT_EQ(c->DIBTabOrder(), 2);
  EXPECT_EQ(c->Angle(), 30);
  EXPECT_TRUE(c->AutoSize());

  ASSERT_EQ(b->DIBFeatures()->Count(), 2);
  auto* moving = dynamic_cast<TMoveableDIB*>(b->DIBFeatures()->Items(0)->Feature());
  auto* highlight = dynamic_cast<THighlightDIB*>(b->DIBFeatures()->Items(1)->Feature());
  ASSERT_TRUE(moving && highlight) << "features come from their stored parameters";
  EXPECT_EQ(moving->SnapSize(), 10);
  EXPECT_TRUE(moving->AllowHorizontal() && moving->AllowVertical());
  EXPECT_EQ(highlight->HighlightOpacity(), 200);
  EXPECT_EQ(moving->Control(), b);
  EXPECT_EQ(a->DIBFeatures()->Count(), 0);
  EXPECT_EQ(c->DIBFeatures()->Count(), 0);

  ASSERT_EQ(b->Children()->Count(), 2);
  EXPECT_EQ(b->Children()->Items(0)->Control(), c);
  EXPECT_EQ(b->Children()->Items(1)->Control(), Named("lblB"));
  ASSERT_EQ(c->Children()->Count(), 1);
  EXPECT_EQ(c->Children()->Items(0)->Control(), Named("lblC"));

  // The handlers the form names log the picture's letter on the status line.
  b->Click();
  EXPECT_EQ(Named("lblStatus")->Caption(), "focus B") << "a click gives B the keyboard after OnClick";
  a->Perform(CM_MOUSEENTER);
  EXPECT_EQ(Named("lblStatus")->Caption(), "enter A");
}

TEST_F(PictureWindow, DraggingBSnapsToTenPixelsAndTakesItsChildrenAlong) {
  DragB(5, 5, 63, 47);
  ExpectMovedBy(60, 40);
  // Moves below the grid do nothing, and snapping cuts toward zero.
  DragB(20, 20, 9, -9);
  ExpectMovedBy(60, 40);
  DragB(50, 50, -25, -11);
  ExpectMovedBy(40, 30);
}

TEST_F(PictureWindow, ArrowKeysMoveTheFocusedPictureByTheSnapSize) {
  ShowActive(Window);
  TDIBImage* b = Window.Picture('B');
  Key(Qt::Key_Right);  // nothing has the keyboard yet
  ExpectMovedBy(0, 0);
  b->Click();
  ASSERT_EQ(Window.Scene()->ActiveControl(), b);
  Key(Qt::Key_Right);
  ExpectMovedBy(10, 0);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  Key(Qt::Key_Left);
  Key(Qt::Key_Up);
  ExpectMovedBy(0, 10);
  // Tab hands the keyboard to C, which has no moving feature: the arrows leave everything still.
  Key(Qt::Key_Tab);
  ASSERT_EQ(Window.Scene()->ActiveControl(), Window.Picture('C'));
  Key(Qt::Key_Left);
  ExpectMovedBy(0, 10);
}

TEST_F(PictureWindow, BLightsUpUnderThePointerAndWhileItHasTheKeyboard) {
  ShowActive(Window);
  TDIBImage* b = Window.Picture('B');
  EXPECT_EQ(b->Opacity(), 128);
  b->Perform(CM_MOUSEENTER);
  EXPECT_EQ(b->Opacity(), 200);
  b->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(b->Opacity(), 128);
  b->Click();
  EXPECT_EQ(b->Opacity(), 200);
  Key(Qt::Key_Tab);
  EXPECT_EQ(b->Opacity(), 128) << "losing the keyboard restores the opacity";
  EXPECT_EQ(Window.Picture('C')->Opacity(), 60) << "C has no highlight";
}

}  // namespace
