// Features of DIB controls: the registry, items, moving with snapping and highlighting.
#include <gtest/gtest.h>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/Streaming.h"

namespace {

class Features : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Container = new TDIBImageContainer(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 400, 300);
    Image = new TDIBImage(Form.get());
    Image->SetParent(Container);
    Image->SetBounds(100, 100, 50, 40);
  }
  void TearDown() override { MouseIdle(nullptr); }
  template <class T>
  T* AddFeature(const std::string& name) {
    TDIBFeatureItem* item = Image->DIBFeatures()->Add();
    item->SetFeatureClassName(name);
    return dynamic_cast<T*>(item->Feature());
  }
  // A drag inside the control from (x0, y0) by (dx, dy), in the control's coordinates.
  void Drag(int x0, int y0, int dx, int dy) {
    Image->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(x0, y0));
    Image->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(x0 + dx, y0 + dy));
    Image->Perform(WM_LBUTTONUP, 0, MakeMousePos(x0 + dx, y0 + dy));
  }
  std::unique_ptr<TForm> Form;
  TDIBImageContainer* Container = nullptr;
  TDIBImage* Image = nullptr;
};

TEST_F(Features, ClassNamesAreFoundIgnoringLetterCaseAndUnknownOnesLeaveTheItemAlone) {
  auto* moving = AddFeature<TMoveableDIB>("tmoveabledib");
  ASSERT_NE(moving, nullptr);
  EXPECT_EQ(moving->Control(), Image);
  EXPECT_EQ(moving->Owner(), Image);
  TDIBFeatureItem* item = Image->DIBFeatures()->Items(0);
  EXPECT_EQ(item->DisplayName(), "Moveable DIB");
  try {
    item->SetFeatureClassName("TNoSuchFeature");
    FAIL();
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "TNoSuchFeature has not been registered");
  }
  EXPECT_EQ(item->Feature(), moving) << "a failed assignment keeps the previous feature";
  EXPECT_EQ(item->FeatureClassName(), "tmoveabledib");
  item->SetFeatureClassName("");
  EXPECT_EQ(item->Feature(), nullptr);
  EXPECT_EQ(item->DisplayName(), "DIB feature");
  EXPECT_EQ(FindDIBFeature("THIGHLIGHTDIB")->DisplayName(), "Highlight dib");
}

TEST_F(Features, DraggingSnapsTowardZero) {
  auto* moving = AddFeature<TMoveableDIB>("TMoveableDIB");
  const struct {
    int Snap, Dx, Dy, Moved, MovedY;
  } rows[] = {{5, 7, 0, 5, 0}, {5, 4, 0, 0, 0}, {5, -7, -12, -5, -10}, {0, 3, -2, 3, -2}, {1, 3, 2, 3, 2}, {10, 25, 9, 20, 0}};
  for (const auto& r : rows) {
    moving->SetSnapSize(static_cast<uint8_t>(r.Snap));
    Image->SetBounds(100, 100, 50, 40);
    Drag(10, 10, r.Dx, r.Dy);
    EXPECT_EQ(Image->Left(), 100 + r.Moved) << "snap " << r.Snap << " dx " << r.Dx;
    EXPECT_EQ(Image->Top(), 100 + r.MovedY) << "snap " << r.Snap << " dy " << r.Dy;
  }
}

TEST_F(Features, AllowedDirectionsAndArrowKeys) {
  auto* moving = AddFeature<TMoveableDIB>("TMoveableDIB");
  moving->SetAllowVertical(false);
  Drag(10, 10, 6, 6);
  EXPECT_EQ(Image->BoundsRect(), Bounds(106, 100, 50, 40)) << "a diagonal drag moves only sideways";
  moving->SetSnapSize(4);
  Image->Perform(WM_KEYDOWN, VK_UP);
  Image->Perform(WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(Image->BoundsRect(), Bounds(110, 100, 50, 40));
  moving->SetAllowVertical(true);
  Image->Perform(WM_KEYDOWN, VK_DOWN);
  Image->Perform(WM_KEYDOWN, VK_LEFT);
  EXPECT_EQ(Image->BoundsRect(), Bounds(106, 104, 50, 40));
  moving->SetSnapSize(0);
  Image->Perform(WM_KEYDOWN, VK_LEFT);
  EXPECT_EQ(Image->Left(), 106) << "arrows with snap 0 do not move";
}

TEST_F(Features, MovingTakesTheChildrenAlongAndDisabledItemsPassNothing) {
  auto* follower = new TDIBImage(Form.get());
  follower->SetParent(Container);
  follower->SetBounds(10, 10, 20, 20);
  Image->Children()->Add()->SetControl(follower);
  AddFeature<TMoveableDIB>("TMoveableDIB");
  Drag(5, 5, -30, 12);
  EXPECT_EQ(Image->BoundsRect(), Bounds(70, 112, 50, 40));
  EXPECT_EQ(follower->BoundsRect(), Bounds(-20, 22, 20, 20));
  Image->DIBFeatures()->Items(0)->SetEnabled(false);
  Drag(5, 5, 20, 20);
  EXPECT_EQ(Image->BoundsRect(), Bounds(70, 112, 50, 40));
}

TEST_F(Features, NegativePositionsComeAsSigned16BitWords) {
  AddFeature<TMoveableDIB>("TMoveableDIB");
  Image->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(20, 20));
  Image->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(-5, 15));  // left of the control
  EXPECT_EQ(Image->BoundsRect(), Bounds(75, 95, 50, 40));
}

TEST_F(Features, HighlightingFollowsThePointerUnlessTheControlHasTheKeyboard) {
  auto* light = AddFeature<THighlightDIB>("THighlightDIB");
  light->SetHighlightOpacity(128);
  Image->Perform(CM_MOUSEENTER);
  EXPECT_EQ(Image->Opacity(), 128);
  Image->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(Image->Opacity(), 255);
  Image->Perform(WM_SETFOCUS);
  EXPECT_EQ(Image->Opacity(), 128) << "focus highlights";
  Image->SetOpacity(200);
  Image->Perform(CM_MOUSEENTER);
  EXPECT_EQ(Image->Opacity(), 200) << "a control that has the keyboard does not change on entering";
  Image->Perform(CM_MOUSELEAVE);
  Image->Perform(WM_KILLFOCUS);
  EXPECT_EQ(Image->Opacity(), 255);
}

TEST_F(Features, HighlightKeepsStillWhileTheCaptureIsHeldAndTheReleaseCompletesTheLeave) {
  AddFeature<THighlightDIB>("THighlightDIB")->SetHighlightOpacity(100);
  Image->Perform(CM_MOUSEENTER);
  Image->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(5, 5));
  ASSERT_TRUE(Image->MouseCapture());
  Image->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(Image->Opacity(), 100) << "no change while the capture is held";
  EXPECT_TRUE(Image->Hot());
  Image->Perform(WM_LBUTTONUP, 0, MakeMousePos(80, 80));
  EXPECT_FALSE(Image->MouseCapture());
  EXPECT_FALSE(Image->Hot()) << "the capture was let go first, so the leave completed";
}

TEST_F(Features, StoredParametersComeBackAtLoadingCompletion) {
  auto* moving = AddFeature<TMoveableDIB>("TMoveableDIB");
  moving->SetSnapSize(10);
  moving->SetAllowVertical(false);
  TMemoryStream bytes;
  {
    TWriter writer(bytes);
    writer.WriteProperties(Image->DIBFeatures()->Items(0));
  }
  // A second control reads the item as a stored form would, and applies it when loaded.
  auto* copy = new TDIBImage(Form.get());
  copy->SetParent(Container);
  copy->BeginLoading();
  TDIBFeatureItem* item = copy->DIBFeatures()->Add();
  bytes.SetPosition(0);
  TReader reader(bytes);
  reader.ReadProperties(item);
  ASSERT_NE(item->ParameterData(), nullptr);
  copy->Loaded();
  auto* restored = dynamic_cast<TMoveableDIB*>(item->Feature());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->SnapSize(), 10);
  EXPECT_FALSE(restored->AllowVertical());
  EXPECT_EQ(restored->Control(), copy);
  // Every cut of the block fails with the stream's own error, never a crash.
  const std::vector<uint8_t> block = *item->ParameterData();
  for (size_t cut = 1; cut < block.size(); ++cut) {  // an empty block stores nothing
    auto* victim = new TDIBImage(Form.get());
    victim->SetParent(Container);
    TMemoryStream stored;
    {
      TWriter writer(stored);
      writer.WriteStr("FeatureClassName");
      writer.WriteString("");
      writer.WriteStr("DIBFeatureParameters");
      writer.WriteBinary(block.data(), static_cast<uint32_t>(cut));
      writer.WriteStr("");
    }
    stored.SetPosition(0);
    TReader r(stored);
    TDIBFeatureItem* v = victim->DIBFeatures()->Add();
    r.ReadProperties(v);
    EXPECT_THROW(v->ApplyParameters(), Exception) << "cut at " << cut;
    delete victim;
  }
}

}  // namespace
