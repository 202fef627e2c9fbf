// Image controls in a container in a real window of the Win32 backend, driven by real input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dibcontrols/cDIBFeatures.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "support/win32/Win32Input.h"
#include "toolkit/Forms.h"

namespace {

using namespace win32_input;
using TLog = std::vector<std::string>;

constexpr uint32_t kGreen = 0xFF20C040;  // the picture's pixels, 0xAARRGGBB

class Win32Container : public TDesktopTest {
protected:
  void SetUp() override {
    OpenForm(200, 150);
    List = new TDIBImageList(Form.get());
    TDIBImagesItem* item = List->DIBImages()->Add();
    item->DIB()->SetSize(60, 40);
    for (int i = 0; i < 60 * 40; ++i) item->DIB()->Pixels()[i] = kGreen;
    Container = new TDIBImageContainer(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 200, 150);
    Container->SetColor(clBlack);
    Image = MakeImage("Image", 20, 30, 0);
    ShowActive(*Form);
  }
  TDIBImage* MakeImage(const std::string& name, int left, int top, int tabOrder) {
    auto* image = new TDIBImage(Form.get());
    image->SetName(name);
    image->SetParent(Container);
    image->SetDIBImageList(List);
    image->IndexMain()->SetDIBIndex(0);
    image->SetBounds(left, top, 60, 40);
    image->SetDIBTabOrder(tabOrder);
    image->OnMouseEnter = [this, name](TObject*) { Log.push_back(name + " enter"); };
    image->OnMouseLeave = [this, name](TObject*) { Log.push_back(name + " leave"); };
    image->OnClick = [this, name](TObject*) { Log.push_back(name + " click"); };
    image->OnDblClick = [this, name](TObject*) { Log.push_back(name + " dblclick"); };
    image->OnKeyDown = [this, name](TObject*, uint16_t& key, TShiftState) {
      Log.push_back(name + " key " + std::to_string(key));
    };
    return image;
  }
  bool Logged(const std::string& entry) const { return std::find(Log.begin(), Log.end(), entry) != Log.end(); }

  TLog Log;
  TDIBImageList* List = nullptr;
  TDIBImageContainer* Container = nullptr;
  TDIBImage* Image = nullptr;
};

// Compares what the window shows with the container's composition, every pixel; failures in hex.
void ExpectWindowShowsTheComposition(TDIBImageContainer* container, const char* after) {
  SCOPED_TRACE(after);
  const TWindowPixels shot(container);
  const TWinDIB* composed = container->CompositionDIB();
  ASSERT_EQ(shot.Width(), composed->Width());
  ASSERT_EQ(shot.Height(), composed->Height());
  int wrong = 0;
  for (int y = 0; y < shot.Height(); ++y)
    for (int x = 0; x < shot.Width(); ++x) {
      // The composition's rows are bottom-up; its pixels are 0xAARRGGBB.
      const uint32_t expected = composed->Pixels()[(composed->Height() - 1 - y) * composed->Width() + x] & 0xFFFFFFu;
      if (shot.At(x, y) == expected || ++wrong > 5) continue;
      char text[64];
      std::snprintf(text, sizeof text, "(%d,%d) OUT[%06X] != EXP[%06X]", x, y, shot.At(x, y), expected);
      ADD_FAILURE() << text;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(Win32Container, TheCompositionReachesTheWindowAndSoDoesEveryRepaint) {
  const TWindowPixels shot(Container);
  EXPECT_EQ(shot.At(25, 35), kGreen & 0xFFFFFFu) << "the picture";
  EXPECT_EQ(shot.At(5, 5), 0u) << "the container's colour";
  ExpectWindowShowsTheComposition(Container, "the first paint");
  // Repaints of a part: the picture fades, then moves half over where it was.
  Image->SetOpacity(128);
  Settle();
  EXPECT_NE(TWindowPixels(Container).At(25, 35), kGreen & 0xFFFFFFu);
  ExpectWindowShowsTheComposition(Container, "a fade");
  Image->SetBounds(50, 50, 60, 40);
  Settle();
  EXPECT_EQ(TWindowPixels(Container).At(25, 35), 0u);
  ExpectWindowShowsTheComposition(Container, "a move");
}

TEST_F(Win32Container, PointerAndButtonsReachTheImageControl) {
  PointerTo(Container, {150, 120});
  PointerTo(Container, {30, 40});
  EXPECT_EQ(Log, (TLog{"Image enter"}));
  PressLeft();
  PointerTo(Container, {150, 120});
  ParkPointer();  // off the window too
  EXPECT_TRUE(Image->MouseCapture());
  EXPECT_TRUE(Image->Hot()) << "the button holds the pointer: still hot";
  ReleaseLeft();
  EXPECT_FALSE(Image->MouseCapture());
  EXPECT_TRUE(Image->Hot()) << "released elsewhere, it stays hot until the pointer enters and leaves again";
  EXPECT_EQ(Log, (TLog{"Image enter"})) << "no leave and no click off the control";
  PointerTo(Container, {30, 40});
  PointerTo(Container, {150, 120});
  EXPECT_FALSE(Image->Hot());
  EXPECT_EQ(Log.back(), "Image leave");
  Log.clear();
  PointerTo(Container, {30, 40});
  DoubleClickLeft();
  EXPECT_EQ(Log, (TLog{"Image enter", "Image click", "Image dblclick"}));
}

TEST_F(Win32Container, AHighlightedImageReleasedElsewhereLeavesAtTheRelease) {
  TDIBFeatureItem* item = Image->DIBFeatures()->Add();
  item->SetFeatureClassName("THighlightDIB");
  dynamic_cast<THighlightDIB*>(item->Feature())->SetHighlightOpacity(100);
  PointerTo(Container, {30, 40});
  EXPECT_EQ(Image->Opacity(), 100);
  PressLeft();
  ParkPointer();
  EXPECT_TRUE(Image->Hot());
  EXPECT_EQ(Image->Opacity(), 100) << "the highlight keeps still while the button is held";
  ReleaseLeft();
  EXPECT_FALSE(Image->Hot()) << "the feature lets go of the capture first: the leave completes";
  EXPECT_EQ(Image->Opacity(), 255);
  EXPECT_EQ(Log, (TLog{"Image enter", "Image leave"}));
}

TEST_F(Win32Container, KeysReachTheActiveImageThroughTheContainer) {
  TDIBImage* second = MakeImage("Second", 100, 60, 1);
  Container->SetFocus();
  Settle();
  EXPECT_EQ(Container->ActiveControl(), Image);
  Tap(VK_LEFT);
  EXPECT_EQ(Log, (TLog{"Image key 37"}));
  // Tab and Shift+Tab go through the pictures of the container, which keeps the focus.
  Tap(VK_TAB);
  EXPECT_EQ(Container->ActiveControl(), second);
  Tap(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(Container->ActiveControl(), Image);
  EXPECT_EQ(::GetFocus(), WindowOf(Container));
}

// The active image hears the keys, but the system's close key still closes the window.
TEST_F(Win32Container, AltF4ClosesTheFormWhileAnImageIsActive) {
  Container->SetFocus();
  Settle();
  ASSERT_EQ(Container->ActiveControl(), Image);
  Tap(VK_F4, {VK_MENU});
  EXPECT_FALSE(Form->Visible());
}

TEST_F(Win32Container, AltWithTheAcceleratorClicksTheImage) {
  // A frame with a system menu, as the program's window has: the system also looks for the letter
  // in that menu, and must come back from it.
  Form->SetBorderStyle(TBorderStyle::bsSingle);
  Form->SetBorderIcons(biSystemMenu | biMinimize);
  Settle();
  Image->SetAccelerator('g');
  Tap('G');
  EXPECT_EQ(Log, TLog{}) << "without Alt the letter is no accelerator";
  Tap('G', {VK_MENU});
  EXPECT_EQ(Log, (TLog{"Image click"}));
  EXPECT_EQ(Container->ActiveControl(), Image) << "the click gives the picture the keyboard";
  EXPECT_EQ(FocusedWindow(), Container);
}

}  // namespace
