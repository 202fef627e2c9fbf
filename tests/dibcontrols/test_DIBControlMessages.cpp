// DIB controls driven by messages: hover and capture, auto-repeat, focus and keys in their
// container, tab navigation, accelerators, Children and construction rules.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Forms.h"

namespace {

using TLog = std::vector<std::string>;

class TProbe : public TDIBImage {
public:
  TProbe(TComponent* owner, TWinControl* parent, TLog& log, const std::string& name) : TDIBImage(owner), Log(log) {
    SetName(name);
    SetParent(parent);
    OnMouseEnter = [this](TObject*) { Log.push_back(Name() + " enter"); };
    OnMouseLeave = [this](TObject*) { Log.push_back(Name() + " leave"); };
    OnEnter = [this](TObject*) { Log.push_back(Name() + " onenter"); };
    OnExit = [this](TObject*) { Log.push_back(Name() + " onexit"); };
    OnClick = [this](TObject*) { Log.push_back(Name() + " click"); };
    OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) { Log.push_back(Name() + " keydown " + std::to_string(key)); };
    OnKeyPress = [this](TObject*, char32_t& ch) { Log.push_back(Name() + " keypress " + std::string(1, static_cast<char>(ch))); };
    OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
      Log.push_back(Name() + " down " + std::to_string(x) + "," + std::to_string(y));
    };
  }
  TLog& Log;
  void HighlightOn() override { Log.push_back(Name() + " highlight on"); }
  void HighlightOff() override { Log.push_back(Name() + " highlight off"); }
};

class DIBControls : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBorderStyle(TBorderStyle::bsNone);
    Form->SetBounds(0, 0, 400, 300);
    Container = new TDIBImageContainer(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 400, 300);
    A = new TProbe(Form.get(), Container, Log, "A");
    A->SetBounds(10, 10, 50, 50);
    B = new TProbe(Form.get(), Container, Log, "B");
    B->SetBounds(100, 10, 50, 50);
  }
  void TearDown() override {
    ChangeSystemFocus(nullptr);
    MouseIdle(nullptr);
  }
  void Mouse(unsigned msg, int x, int y, uintptr_t keys = 0) { Container->Perform(msg, keys, MakeMousePos(x, y)); }
  TLog Log;
  std::unique_ptr<TForm> Form;
  TDIBImageContainer* Container = nullptr;
  TProbe* A = nullptr;
  TProbe* B = nullptr;
};

TEST_F(DIBControls, HoverRaisesEnterAndLeaveWithTheHighlight) {
  Mouse(WM_MOUSEMOVE, 20, 20);
  EXPECT_TRUE(A->Hot());
  Mouse(WM_MOUSEMOVE, 120, 20);
  Mouse(WM_MOUSEMOVE, 300, 200);
  EXPECT_EQ(Log, (TLog{"A highlight on", "A enter", "A leave", "A highlight off", "B highlight on", "B enter",
                       "B leave", "B highlight off"}));
  EXPECT_FALSE(A->Hot());
}

TEST_F(DIBControls, AControlHoldingTheCaptureStaysHotUntilTheButtonIsReleased) {
  Mouse(WM_MOUSEMOVE, 20, 20);
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  ASSERT_TRUE(A->MouseCapture());
  Log.clear();
  Mouse(WM_MOUSEMOVE, 120, 20, MK_LBUTTON);  // dragged off onto B
  EXPECT_TRUE(A->Hot()) << "no leave while the capture is held";
  EXPECT_FALSE(A->PointerInside());
  EXPECT_EQ(Log, TLog{}) << "B hears nothing while A holds the capture";
  Mouse(WM_LBUTTONUP, 120, 20);
  EXPECT_FALSE(A->MouseCapture());
  EXPECT_TRUE(A->Hot()) << "the capture was released only after the release's own leave";
  EXPECT_EQ(Log, TLog{}) << "no click: released away from A";
}

TEST_F(DIBControls, ReleasingTheCaptureFirstCompletesThePendingLeave) {
  Mouse(WM_MOUSEMOVE, 20, 20);
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, 120, 20, MK_LBUTTON);
  Log.clear();
  A->SetMouseCapture(false);  // what a highlight feature does on the button release
  A->Perform(WM_LBUTTONUP, 0, MakeMousePos(110, 10));
  EXPECT_EQ(Log, (TLog{"A leave", "A highlight off"}));
  EXPECT_FALSE(A->Hot());
}

TEST_F(DIBControls, AutoRepeatSendsTheLastPressAgainUntilTheRelease) {
  A->SetAutoRepeat(true);
  A->SetRepeatInterval(1);
  Mouse(WM_MOUSEMOVE, 20, 20);
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, 25, 30, MK_LBUTTON);
  EXPECT_TRUE(A->RepeatTimer()->Enabled());
  Log.clear();
  for (int i = 0; i < 500 && Log.size() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Backend().ProcessMessages();
  }
  ASSERT_GE(Log.size(), 2u);
  EXPECT_EQ(Log[0], "A down 15,20") << "repeated at the latest pointer position";
  Mouse(WM_LBUTTONUP, 25, 30);
  EXPECT_FALSE(A->RepeatTimer()->Enabled());
  A->StopRepeat();
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  A->RepeatTimer()->Tick();
  EXPECT_FALSE(A->RepeatTimer()->Enabled()) << "a requested stop ends the repeat at the next tick";
}

TEST_F(DIBControls, AClickFocusesOnlyAControlInTheTabOrder) {
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(Log, (TLog{"A down 10,10", "A click"}));
  EXPECT_EQ(Container->ActiveControl(), nullptr);
  EXPECT_EQ(A->DIBTabOrder(), -1);
  A->SetDIBTabOrder(0);
  B->SetDIBTabOrder(5);
  EXPECT_EQ(B->DIBTabOrder(), 1) << "beyond the end appends";
  EXPECT_TRUE(Container->TabStop());
  Log.clear();
  A->Click();
  EXPECT_EQ(Container->ActiveControl(), A);
  EXPECT_TRUE(A->Focused());
  // The focus handling runs once more through the activation; it raises OnEnter both times.
  EXPECT_EQ(Log, (TLog{"A click", "A highlight on", "A onenter", "A onenter"}));
  Log.clear();
  B->Click();
  EXPECT_EQ(Log, (TLog{"B click", "B highlight on", "A onexit", "A highlight off", "B onenter", "B onenter"}));
}

TEST_F(DIBControls, KeysGoToTheActiveControlAsItsDialogCodeAllows) {
  A->SetDIBTabOrder(0);
  B->SetDIBTabOrder(1);
  Form->Show();
  Container->SetFocus();
  EXPECT_EQ(Container->ActiveControl(), A) << "the container's enter action activates the first control";
  Log.clear();
  auto key = [&](unsigned msg, unsigned k, bool shift = false) {
    return DispatchKeyMessage(Container, msg, k, MakeKeyData(shift, false, false));
  };
  key(WM_KEYDOWN, VK_LEFT);
  key(WM_KEYDOWN, 'Q');
  key(WM_CHAR, 'q');
  EXPECT_EQ(Log, (TLog{"A keydown 37", "A keydown 81", "A keypress q"}));
  EXPECT_EQ(A->Perform(WM_GETDLGCODE), static_cast<intptr_t>(DLGC_WANTARROWS));
  Log.clear();
  EXPECT_TRUE(key(WM_KEYDOWN, VK_TAB)) << "Tab stays with the container and moves on";
  EXPECT_EQ(Container->ActiveControl(), B);
  EXPECT_TRUE(key(WM_KEYDOWN, VK_TAB, true));
  EXPECT_EQ(Container->ActiveControl(), A);
  A->SetDialogKeys(dkAllKeys);
  Log.clear();
  key(WM_KEYDOWN, VK_TAB);
  EXPECT_EQ(Log, (TLog{"A keydown 9"})) << "a control that wants all keys gets Tab too";
  EXPECT_EQ(Container->ActiveControl(), A);
  A->SetDialogKeys(0);
  EXPECT_EQ(A->Perform(WM_GETDLGCODE), 0);
}

TEST_F(DIBControls, TabOrderSkipsDisabledControlsAndRanksWindowedChildrenLast) {
  auto* c = new TProbe(Form.get(), Container, Log, "C");
  auto* notes = new TRichEdit(Form.get());
  notes->SetParent(Container);
  notes->SetTabStop(true);
  A->SetDIBTabOrder(0);
  B->SetDIBTabOrder(1);
  c->SetDIBTabOrder(2);
  B->SetEnabled(false);
  EXPECT_EQ(Container->TabOrderRank(c), 2);
  EXPECT_EQ(Container->TabOrderRank(notes), notes->TabOrder() + Container->ControlCount());
  EXPECT_EQ(Container->NextDIBControl(nullptr, true), A);
  EXPECT_EQ(Container->FirstTabChild(), A);
  EXPECT_EQ(Container->LastTabChild(), notes);
  Container->ActivateControl(A);
  EXPECT_TRUE(Container->SelectNextChild());
  EXPECT_EQ(Container->ActiveControl(), c) << "the disabled control is skipped";
  EXPECT_TRUE(Container->SelectNextChild()) << "from the last enabled DIB control to the windowed tab stop";
  EXPECT_EQ(Container->ActiveControl(), notes);
  EXPECT_TRUE(Container->SelectPrevChild()) << "from the first windowed child back to the last DIB control";
  EXPECT_EQ(Container->ActiveControl(), c);
  EXPECT_TRUE(Container->SelectPrevChild());
  EXPECT_EQ(Container->ActiveControl(), A);
}

TEST_F(DIBControls, StoredTabOrdersAreRebuiltAndTheActiveControlNeverDangles) {
  auto* c = new TProbe(Form.get(), Container, Log, "C");
  A->BeginLoading();
  B->BeginLoading();
  c->BeginLoading();
  A->SetDIBTabOrder(7);
  B->SetDIBTabOrder(2);
  c->SetDIBTabOrder(7);  // the later one takes the slot
  A->Loaded();
  B->Loaded();
  c->Loaded();
  Container->RebuildDIBTabOrder();
  ASSERT_EQ(Container->DIBTabList().Count(), 2);
  EXPECT_EQ(Container->DIBTabList().Items(0), B);
  EXPECT_EQ(Container->DIBTabList().Items(1), c);
  Container->ActivateControl(c);
  delete c;
  EXPECT_EQ(Container->ActiveControl(), nullptr);
  EXPECT_EQ(Container->DIBTabList().Count(), 1);
  Container->ActivateControl(B);
  B->SetParent(nullptr);
  EXPECT_EQ(Container->ActiveControl(), nullptr);
}

TEST_F(DIBControls, AltWithTheAcceleratorClicksAnEnabledVisibleControl) {
  A->SetAccelerator('a');
  Form->Show();
  Log.clear();
  Container->Perform(CM_DIALOGCHAR, 'a', MakeKeyData(false, false, false));
  EXPECT_EQ(Log, TLog{}) << "without Alt nothing happens";
  Container->Perform(CM_DIALOGCHAR, 'a', MakeKeyData(false, false, true));
  EXPECT_EQ(Log, (TLog{"A click"}));
  A->SetEnabled(false);
  Log.clear();
  Container->Perform(CM_DIALOGCHAR, 'a', MakeKeyData(false, false, true));
  EXPECT_EQ(Log, TLog{});
}

TEST_F(DIBControls, ChildrenMoveWithTheControlAndCyclesStop) {
  A->Children()->Add()->SetControl(B);
  B->Children()->Add()->SetControl(A);  // a cycle
  A->SetBounds(20, 15, 50, 50);
  EXPECT_EQ(B->BoundsRect(), Bounds(110, 15, 50, 50));
  EXPECT_EQ(A->BoundsRect(), Bounds(20, 15, 50, 50)) << "the cycle's way back is dropped";
  A->SetBounds(20, 15, 80, 80);
  EXPECT_EQ(B->BoundsRect(), Bounds(110, 15, 50, 50)) << "resizing moves nothing";
  try {
    A->Children()->Add()->SetControl(B);
    FAIL();
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "Control already exists in list.");
  }
  try {
    A->Children()->Items(0)->SetControl(nullptr);
    FAIL();
  } catch (const EFeatureError& e) {
    EXPECT_STREQ(e.what(), "You cannot set Control to nil");
  }
  delete B;
  EXPECT_EQ(A->Children()->Count(), 1) << "the item naming the removed control went, the refused one stays empty";
}

TEST_F(DIBControls, AControlLivesOnlyInADIBContainer) {
  auto expectFailure = [](auto make, const char* text) {
    try {
      make();
      ADD_FAILURE() << "no failure";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), text);
    }
  };
  expectFailure([] { TDIBImage image(nullptr); }, "Owner cannot be nil");
  TForm lonely(nullptr);
  expectFailure([&] { new TDIBImage(&lonely); }, "Parent must be a TDIBContainer");
  EXPECT_EQ(lonely.ComponentCount(), 0) << "a refused construction leaves nothing";
  expectFailure([&] { A->SetParent(&lonely); }, "Parent must be a TDIBContainer");
  EXPECT_EQ(A->Parent(), Container);
  A->SetParent(Form.get());  // the form owns a container: that becomes the parent
  EXPECT_EQ(A->Parent(), Container);
}

TEST_F(DIBControls, StretchAutoSizeAndScaleExcludeEachOtherAsStated) {
  EXPECT_EQ(A->Opacity(), 255);
  A->SetScale(50);
  EXPECT_FALSE(A->Stretch());
  A->SetAutoSize(true);
  A->SetStretch(true);
  EXPECT_FALSE(A->AutoSize()) << "the later of Stretch and AutoSize wins";
  A->SetAutoSize(true);
  EXPECT_FALSE(A->Stretch());
  TDIBImageList list(Form.get());
  TDIBImagesItem* item = list.DIBImages()->Add();
  item->DIB()->SetSize(200, 100);
  A->SetDIBImageList(&list);
  A->SetScale(100);
  A->SetAngle(90);
  A->IndexMain()->SetDIBIndex(0);
  EXPECT_EQ(A->Width(), 100);
  EXPECT_EQ(A->Height(), 200) << "a quarter turn with AutoSize turns the control";
  EXPECT_EQ(RotatedSize(5, 5, 0, 50, 50), (TPoint{2, 2})) << "halves round to even";
  EXPECT_EQ(RotatedSize(7, 7, 0, 50, 50), (TPoint{4, 4}));
}

}  // namespace
