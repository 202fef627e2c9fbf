// Picture controls in stored forms: a window of a container, images, features and children goes
// to the text form and comes back behaving the same.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dib/cDIBImageList.h"
#include "dibcontrols/DIBControlsRegistration.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Forms.h"
#include "toolkit/Streaming.h"

namespace {

struct TPictureWindow {
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TDIBImageList* List = nullptr;
  TDIBImageContainer* Container = nullptr;
  TDIBImage* Dragged = nullptr;
  TDIBImage* Follower = nullptr;
};

// The window built in code, as a program would build it before it had a stored form.
TPictureWindow BuildInCode() {
  RegisterDIBControlClasses();
  TPictureWindow w;
  w.Form->SetName("frmPictures");
  w.List = new TDIBImageList(w.Form.get());
  w.List->SetName("dilPictures");
  TDIBImagesItem* item = w.List->DIBImages()->Add();
  item->DIB()->SetSize(2, 2);
  item->SetDisplayName("Square");
  w.Container = new TDIBImageContainer(w.Form.get());
  w.Container->SetName("dicScene");
  w.Container->SetParent(w.Form.get());
  w.Container->SetBounds(0, 0, 400, 300);
  w.Container->SetDIBImageList(w.List);
  w.Container->SetTileMethod(TTileMethod::tmTile);
  w.Dragged = new TDIBImage(w.Form.get());
  w.Dragged->SetName("imgDragged");
  w.Dragged->SetParent(w.Container);
  w.Dragged->SetBounds(40, 50, 64, 48);
  w.Dragged->SetDIBImageList(w.List);
  w.Dragged->IndexMain()->SetDIBIndex(0);
  w.Dragged->SetStretch(true);
  w.Dragged->SetOpacity(200);
  w.Dragged->SetAngle(30);
  w.Dragged->SetAccelerator(U'd');
  w.Dragged->SetDIBTabOrder(0);
  w.Follower = new TDIBImage(w.Form.get());
  w.Follower->SetName("imgFollower");
  w.Follower->SetParent(w.Container);
  w.Follower->SetBounds(120, 50, 32, 32);
  w.Follower->SetScale(50.0);
  TDIBFeatureItem* moving = w.Dragged->DIBFeatures()->Add();
  moving->SetFeatureClassName("TMoveableDIB");
  static_cast<TMoveableDIB*>(moving->Feature())->SetSnapSize(10);
  w.Dragged->DIBFeatures()->Add()->SetFeatureClassName("THighlightDIB");
  w.Dragged->Children()->Add()->SetControl(w.Follower);
  return w;
}

TPictureWindow ReadBack(const std::string& text) {
  RegisterDIBControlClasses();
  TPictureWindow w;
  TextToComponent(text, w.Form.get());
  w.List = dynamic_cast<TDIBImageList*>(w.Form->FindComponent("dilPictures"));
  w.Container = dynamic_cast<TDIBImageContainer*>(w.Form->FindComponent("dicScene"));
  w.Dragged = dynamic_cast<TDIBImage*>(w.Form->FindComponent("imgDragged"));
  w.Follower = dynamic_cast<TDIBImage*>(w.Form->FindComponent("imgFollower"));
  return w;
}

TEST(StoredLayouts, AWindowOfPictureControlsRoundTripsThroughTheTextForm) {
  TPictureWindow original = BuildInCode();
  const std::string text = ComponentToText(original.Form.get());
  // The picture controls' own properties are written even where they hold their initial value.
  for (const char* line : {"Accelerator = 'd'", "DIBTabOrder = 0", "Opacity = 200", "Angle = 30", "Center = False",
                           "Scale = 50", "Stretch = True", "TileMethod = tmTile", "IndexMain.DIBIndex = 0",
                           "DIBImageList = dilPictures", "Control = imgFollower", "FeatureClassName = 'TMoveableDIB'",
                           "DIBTabOrder = -1", "Accelerator = #0"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  TPictureWindow copy = ReadBack(text);
  ASSERT_TRUE(copy.List && copy.Container && copy.Dragged && copy.Follower) << text;
  EXPECT_EQ(ComponentToText(copy.Form.get()), text);
  EXPECT_EQ(copy.Dragged->Parent(), copy.Container);
  EXPECT_EQ(copy.Dragged->DIBImageList(), copy.List);
  EXPECT_EQ(copy.Dragged->IndexMain()->DIBImageList(), copy.List);
  EXPECT_EQ(copy.Dragged->IndexMain()->DIBIndex(), 0);
  EXPECT_EQ(copy.Container->DIBImageList(), copy.List);
  EXPECT_EQ(copy.Dragged->DIBTabOrder(), 0) << "the container rebuilds its tab list after loading";
  EXPECT_EQ(copy.Follower->DIBTabOrder(), -1);
  EXPECT_EQ(copy.Dragged->Accelerator(), U'd');
  EXPECT_TRUE(copy.Dragged->Stretch());
  EXPECT_EQ(copy.Follower->Scale(), 50.0);
  ASSERT_EQ(copy.Dragged->Children()->Count(), 1);
  EXPECT_EQ(copy.Dragged->Children()->Items(0)->Control(), copy.Follower);
  ASSERT_EQ(copy.Dragged->DIBFeatures()->Count(), 2);
  auto* moving = dynamic_cast<TMoveableDIB*>(copy.Dragged->DIBFeatures()->Items(0)->Feature());
  ASSERT_NE(moving, nullptr) << "features are created from their stored parameters at loading completion";
  EXPECT_EQ(moving->SnapSize(), 10);
  EXPECT_NE(dynamic_cast<THighlightDIB*>(copy.Dragged->DIBFeatures()->Items(1)->Feature()), nullptr);
}

TEST(StoredLayouts, TheLoadedWindowBehavesLikeTheOneBuiltInCode) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored ? "read from the text form" : "built in code");
    TPictureWindow built = BuildInCode();
    TPictureWindow w = stored ? ReadBack(ComponentToText(built.Form.get())) : std::move(built);
    // A drag by (27, 14) snaps to (20, 10) and takes the follower along.
    w.Dragged->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(5, 5));
    w.Dragged->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(32, 19));
    w.Dragged->Perform(WM_LBUTTONUP, 0, MakeMousePos(32, 19));
    MouseIdle(nullptr);
    EXPECT_EQ(w.Dragged->Left(), 60);
    EXPECT_EQ(w.Dragged->Top(), 60);
    EXPECT_EQ(w.Follower->Left(), 140);
    EXPECT_EQ(w.Follower->Top(), 60);
    // Removing the follower takes it out of the stored children too.
    delete w.Follower;
    EXPECT_EQ(w.Dragged->Children()->Count(), 0);
  }
}

TEST(StoredLayouts, DamagedFormsFailWithTheReadersErrors) {
  const std::string text = ComponentToText(BuildInCode().Form.get());
  const auto expectFailure = [](const std::string& damaged) {
    RegisterDIBControlClasses();
    auto form = std::make_unique<TForm>(nullptr);
    EXPECT_ANY_THROW(TextToComponent(damaged, form.get())) << damaged;
  };
  std::string unknown = text;
  unknown.replace(unknown.find("TileMethod = tmTile"), 19, "TileMethod = tmSpiral");
  expectFailure(unknown);
  std::string twoLetters = text;
  twoLetters.replace(twoLetters.find("Accelerator = 'd'"), 17, "Accelerator = 'dd'");
  expectFailure(twoLetters);
  // A child naming a control the form does not hold is read as naming none.
  std::string orphan = text;
  orphan.replace(orphan.find("Control = imgFollower"), 21, "Control = imgNobody");
  TPictureWindow w = ReadBack(orphan);
  ASSERT_EQ(w.Dragged->Children()->Count(), 1);
  EXPECT_EQ(w.Dragged->Children()->Items(0)->Control(), nullptr);
  // Every cut of the text fails cleanly, never crashes or leaks (the sanitizer run checks).
  // (The last "end" must lose a letter at least: the final line break alone is not needed.)
  for (size_t cut = 0; cut + 1 < text.size(); cut += 7) expectFailure(text.substr(0, cut));
}

}  // namespace
