// Painting through the window procedure, the pointer tracker, hints, screen geometry and the
// timer service, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/MessageWindow.h"

namespace {

using TLog = std::vector<std::string>;

std::string Str(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}

// Counts its own paints and the rectangles they cover.
class TPaintCounter : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::vector<TRect> Painted;
  int WindowPaints = 0;

protected:
  void PaintWindow(TDeviceContext& dc) override {
    ++WindowPaints;
    TCustomControl::PaintWindow(dc);
  }
  void WMPaint(TMessage& m) override {
    TPaintStruct ps;
    if (!m.WParam && Peer() && Peer()->BeginPaint(ps)) Painted.push_back(ps.Paint);
    TCustomControl::WMPaint(m);
  }
};

// A control that paints itself whole: its windowless children are not painted again after it.
class TSelfPainter : public TPaintCounter {
public:
  using TPaintCounter::TPaintCounter;
  int OwnPaints = 0;

protected:
  void WMPaint(TMessage& m) override {
    TPaintStruct ps;
    if (Peer() && Peer()->BeginPaint(ps)) {
      ++OwnPaints;
      Peer()->EndPaint(ps);
    }
    (void)m;
  }
};

class TPaintProbe : public TGraphicControl {
public:
  TPaintProbe(TComponent* owner, TWinControl* parent, TLog& log, const std::string& name) : TGraphicControl(owner), Log(log) {
    SetName(name);
    SetParent(parent);
  }
  TLog& Log;
  int Paints = 0;
  std::string HintAnswer;
  bool RefuseHint = false;

protected:
  void Paint() override { ++Paints; }
  void CMMouseEnter(TMessage&) override { Log.push_back(Name() + " enter"); }
  void CMMouseLeave(TMessage&) override { Log.push_back(Name() + " leave"); }
  void CMHintShow(TMessage& m) override {
    auto* info = reinterpret_cast<THintInfo*>(m.LParam);
    if (!HintAnswer.empty()) info->HintStr = HintAnswer;
    m.Result = RefuseHint ? 1 : 0;
  }
};

class PaintAndPointer : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBorderStyle(TBorderStyle::bsNone);
    Form->SetBounds(0, 0, 300, 200);
    Panel = new TPaintCounter(Form.get());
    Panel->SetParent(Form.get());
    Panel->SetBounds(10, 10, 200, 150);
    A = new TPaintProbe(Form.get(), Panel, Log, "A");
    A->SetBounds(10, 10, 40, 40);
    B = new TPaintProbe(Form.get(), Panel, Log, "B");
    B->SetBounds(100, 10, 40, 40);
    Inner = new TPanel(Form.get());
    Inner->SetParent(Panel);
    Inner->SetBounds(60, 80, 60, 40);
    Form->Show();
    Settle();
  }
  void TearDown() override { MouseIdle(nullptr); }
  void Settle() {
    for (int i = 0; i < 5; ++i) Backend().ProcessMessages();
  }
  void Reset() {
    Panel->Painted.clear();
    Panel->WindowPaints = 0;
    A->Paints = B->Paints = 0;
  }
  TLog Log;
  std::unique_ptr<TForm> Form;
  TPaintCounter* Panel = nullptr;
  TPanel* Inner = nullptr;
  TPaintProbe* A = nullptr;
  TPaintProbe* B = nullptr;
};

TEST_F(PaintAndPointer, UpdatePaintsOnlyWhatIsInvalid) {
  Reset();
  Panel->Update();
  EXPECT_TRUE(Panel->Painted.empty()) << "nothing invalid, nothing painted";
  A->Repaint();
  ASSERT_EQ(Panel->Painted.size(), 1u);
  EXPECT_EQ(Str(Panel->Painted[0]), Str(A->BoundsRect())) << "one windowless control repaints its own rectangle";
  EXPECT_EQ(A->Paints, 1);
  EXPECT_EQ(B->Paints, 0) << "a child outside the rectangle is not painted";
  Reset();
  Panel->InvalidateRect({0, 0, 5, 5});
  Panel->InvalidateRect({150, 100, 160, 110});
  Panel->Update();
  EXPECT_EQ(Panel->WindowPaints, 1) << "two invalid rectangles, one paint";
  EXPECT_EQ(A->Paints + B->Paints, 0);
}

TEST_F(PaintAndPointer, OpaqueChildrenAreTakenOutOfTheWindowsOwnPaint) {
  A->SetControlStyle(A->ControlStyle() | csOpaque);
  Reset();
  A->Repaint();
  EXPECT_EQ(Panel->WindowPaints, 0) << "the opaque child covers everything that was invalid";
  EXPECT_EQ(A->Paints, 1);
  Reset();
  Panel->InvalidateRect({0, 0, 60, 60});
  Panel->Update();
  EXPECT_EQ(Panel->WindowPaints, 1);
}

TEST_F(PaintAndPointer, AControlHandlingItsPaintMessageReplacesTheWholePaint) {
  auto* self = new TSelfPainter(Form.get());
  self->SetParent(Form.get());
  self->SetBounds(220, 10, 60, 60);
  auto* child = new TPaintProbe(Form.get(), self, Log, "C");
  child->SetBounds(0, 0, 10, 10);
  Settle();
  self->OwnPaints = 0;
  child->Paints = 0;
  child->Repaint();
  EXPECT_EQ(self->OwnPaints, 1);
  EXPECT_EQ(child->Paints, 0) << "the toolkit does not paint the children again afterwards";
}

TEST_F(PaintAndPointer, LeavingIntoAWindowedChildLeavesTheWindowlessOne) {
  Panel->Perform(WM_MOUSEMOVE, 0, MakeMousePos(20, 20));
  EXPECT_EQ(Log, (TLog{"A enter"}));
  // What the backend reports when the pointer moves on into the child window: no move reaches
  // the panel, the child window is now under the pointer.
  MouseIdle(Inner);
  EXPECT_EQ(Log, (TLog{"A enter", "A leave"}));
  EXPECT_EQ(MouseControl(), Inner);
  Panel->Perform(WM_MOUSEMOVE, 0, MakeMousePos(110, 20));
  EXPECT_EQ(Log, (TLog{"A enter", "A leave", "B enter"}));
}

TEST_F(PaintAndPointer, WhileACaptureIsHeldOnlyTheCapturingControlEntersAndLeaves) {
  Panel->Perform(WM_MOUSEMOVE, 0, MakeMousePos(20, 20));
  Panel->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMousePos(20, 20));
  ASSERT_TRUE(A->MouseCapture());
  Panel->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(110, 20));  // over B, button held
  Panel->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(20, 20));   // back over A
  Panel->Perform(WM_LBUTTONUP, 0, MakeMousePos(20, 20));
  EXPECT_EQ(Log, (TLog{"A enter", "A leave", "A enter"})) << "B hears nothing while A holds the capture";
}

TEST_F(PaintAndPointer, HintsFollowTheControlUnderThePointer) {
  Form->SetShowHint(true);
  A->SetHint("A's hint");
  Panel->SetHint("panel");
  EXPECT_TRUE(A->ShowHint()) << "taken from the form through ParentShowHint";
  EXPECT_EQ(Panel->HintAt({20, 20}), "A's hint");
  EXPECT_EQ(Panel->HintAt({110, 20}), "panel") << "a control without a hint shows its parent's";
  A->HintAnswer = "changed";
  EXPECT_EQ(Panel->HintAt({20, 20}), "changed");
  A->RefuseHint = true;
  EXPECT_EQ(Panel->HintAt({20, 20}), "");
  A->RefuseHint = false;
  A->SetShowHint(false);
  EXPECT_EQ(Panel->HintAt({20, 20}), "") << "the control under the pointer decides";
  EXPECT_EQ(Panel->HintAt({110, 20}), "panel");
  Form->SetShowHint(false);
  EXPECT_FALSE(B->ShowHint());
  EXPECT_EQ(Panel->HintAt({110, 20}), "");
}

TEST_F(PaintAndPointer, ClientToScreenGoesThroughEveryParentAndTheWindowsPlace) {
  const TPoint origin = Form->ClientToScreen({0, 0});
  const TPoint p = A->ClientToScreen({1, 2});
  EXPECT_EQ(p, (TPoint{origin.X + 10 + 10 + 1, origin.Y + 10 + 10 + 2}));
  EXPECT_EQ(A->ScreenToClient(p), (TPoint{1, 2}));
  EXPECT_EQ(Inner->ScreenToClient(Inner->ClientToScreen({3, 4})), (TPoint{3, 4}));
  const TSize screen = Backend().ScreenSize();
  EXPECT_GT(screen.cx, 0);
  EXPECT_GT(screen.cy, 0);
}

TEST(MessageWindows, TimerTicksArriveAsWMTimerAndTheServiceCanRefuse) {
  std::vector<uintptr_t> ticks;
  const int before = TMessageWindow::Count();
  {
    TMessageWindow window([&](TMessage& m) {
      if (m.Msg == WM_TIMER) ticks.push_back(m.WParam);
      else DefWindowProc(m);
    });
    EXPECT_EQ(TMessageWindow::Count(), before + 1);
    ASSERT_TRUE(window.SetTimer(1, 1));
    for (int i = 0; i < 500 && ticks.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      Backend().ProcessMessages();
    }
    ASSERT_FALSE(ticks.empty()) << "a running timer ticks through the window procedure";
    EXPECT_EQ(ticks.front(), 1u);
    EXPECT_TRUE(window.KillTimer(1));
    EXPECT_FALSE(window.KillTimer(1));
    TTimerRefusal previous = SetTimerRefusal([](unsigned) { return true; });
    EXPECT_FALSE(window.SetTimer(1, 10));
    EXPECT_FALSE(window.TimerRunning(1));
    SetTimerRefusal(previous);
  }
  EXPECT_EQ(TMessageWindow::Count(), before);
}

}  // namespace
