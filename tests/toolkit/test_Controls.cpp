#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

// A windowless control that records the messages it is sent.
class Probe : public TGraphicControl {
public:
  Probe(TComponent* owner, std::vector<std::string>& log, std::string name) : TGraphicControl(owner), Log(log) {
    SetName(name);
    OnClick = [this](TObject*) { Log.push_back(Name() + " click"); };
    OnDblClick = [this](TObject*) { Log.push_back(Name() + " dblclick"); };
  }
  std::vector<std::string>& Log;

protected:
  void CMMouseEnter(TMessage&) override { Log.push_back(Name() + " enter"); }
  void CMMouseLeave(TMessage&) override { Log.push_back(Name() + " leave"); }
};

class MouseRouting : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    A = new Probe(Form.get(), Log, "A");
    A->SetParent(Form.get());
    A->SetBounds(10, 10, 50, 50);
    B = new Probe(Form.get(), Log, "B");
    B->SetParent(Form.get());
    B->SetBounds(40, 40, 50, 50);  // overlaps A and lies above it
  }
  void Send(unsigned msg, int x, int y) { Form->Perform(msg, msg == WM_MOUSEMOVE ? 0u : unsigned{MK_LBUTTON}, MakeMousePos(x, y)); }
  std::vector<std::string> Log;
  std::unique_ptr<TForm> Form;
  Probe* A = nullptr;
  Probe* B = nullptr;
};

TEST_F(MouseRouting, EnterAndLeaveFollowTheTopmostControlUnderThePointer) {
  Send(WM_MOUSEMOVE, 20, 20);
  Send(WM_MOUSEMOVE, 25, 25);
  Send(WM_MOUSEMOVE, 45, 45);
  Send(WM_MOUSEMOVE, 200, 150);
  EXPECT_EQ(Log, (std::vector<std::string>{"A enter", "A leave", "B enter", "B leave"}));
}

TEST_F(MouseRouting, HiddenAndDisabledControlsAreNotHit) {
  B->Hide();
  Send(WM_MOUSEMOVE, 45, 45);
  A->SetEnabled(false);
  Send(WM_MOUSEMOVE, 46, 46);
  EXPECT_EQ(Log, (std::vector<std::string>{"A enter", "A leave"}));
}

TEST_F(MouseRouting, LeavingTheWindowLeavesTheControl) {
  Send(WM_MOUSEMOVE, 20, 20);
  Form->PeerMouseLeft();
  EXPECT_EQ(Log, (std::vector<std::string>{"A enter", "A leave"}));
}

TEST_F(MouseRouting, ClickAndDoubleClickComeOnceEach) {
  // What the system sends for a double click: down, up, double click, up.
  Send(WM_LBUTTONDOWN, 20, 20);
  Send(WM_LBUTTONUP, 20, 20);
  Send(WM_LBUTTONDBLCLK, 20, 20);
  Send(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(Log, (std::vector<std::string>{"A click", "A dblclick"}));
}

TEST_F(MouseRouting, CaptureHoldsTheMouseUntilRelease) {
  Send(WM_LBUTTONDOWN, 20, 20);
  EXPECT_TRUE(A->MouseCapture());
  std::vector<std::pair<int, int>> moves;
  A->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); };
  Form->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMousePos(45, 45));  // over B, button held: still A's
  Send(WM_LBUTTONUP, 200, 150);
  EXPECT_FALSE(A->MouseCapture());
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0], std::make_pair(35, 35)) << "in A's coordinates";
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "A click"), 0) << "released outside: no click";
}

TEST(Alignment, AlignedPanelsShareTheClientArea) {
  TForm form(nullptr);
  form.SetBorderStyle(TBorderStyle::bsSingle);
  form.SetClientSize(700, 473);
  auto* left = new TPanel(&form);
  left->SetParent(&form);
  left->SetBounds(0, 0, 360, 10);
  left->SetAlign(TAlign::alLeft);
  auto* next = new TPanel(&form);
  next->SetParent(&form);
  next->SetBounds(360, 0, 340, 10);
  next->SetAlign(TAlign::alLeft);
  auto* inner = new TPanel(&form);
  inner->SetParent(next);
  inner->SetBevelOuter(TBevelCut::bvNone);
  inner->SetBevelInner(TBevelCut::bvRaised);
  auto* fill = new TPanel(&form);
  fill->SetParent(inner);
  fill->SetAlign(TAlign::alClient);
  inner->SetAlign(TAlign::alClient);
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 0, 360, 473));
  EXPECT_EQ(next->BoundsRect(), Bounds(360, 0, 340, 473));
  EXPECT_EQ(inner->BoundsRect(), Bounds(1, 1, 338, 471)) << "inside a one-pixel bevel";
  EXPECT_EQ(fill->BoundsRect(), Bounds(1, 1, 336, 469));
  left->Hide();
  EXPECT_EQ(next->Left(), 0);
}

TEST(TextLayout, AcceleratorsAndWordWrap) {
  auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };
  auto lines = LayoutTextLines("&Main && more", DT_SINGLELINE, 1000, width);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Text, "Main & more");
  EXPECT_EQ(lines[0].Accelerator, 0);
  lines = LayoutTextLines("a&&&b&", DT_SINGLELINE, 1000, width);
  EXPECT_EQ(lines[0].Text, "a&b&");
  EXPECT_EQ(lines[0].Accelerator, 2);
  lines = LayoutTextLines("&x", DT_NOPREFIX, 1000, width);
  EXPECT_EQ(lines[0].Text, "&x");
  EXPECT_EQ(lines[0].Accelerator, -1);
  lines = LayoutTextLines("one two three four", DT_WORDBREAK, 100, width);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Text, "one two");
  EXPECT_EQ(lines[1].Text, "three four");
  lines = LayoutTextLines("unbreakable word", DT_WORDBREAK, 30, width);
  EXPECT_EQ(lines.size(), 2u) << "a word wider than the line stands alone";
  lines = LayoutTextLines("a\r\nb\nc", 0, 1000, width);
  EXPECT_EQ(lines.size(), 3u);
}

TEST(DeviceContext, SaveRestoreOriginAndClip) {
  auto section = Backend().CreateDIBSection(100, 80);
  TDeviceContext& dc = section->DC();
  TRect box;
  EXPECT_EQ(dc.GetClipBox(box), SIMPLEREGION);
  EXPECT_EQ(box, (TRect{0, 0, 100, 80}));
  const int level = dc.SaveDC();
  dc.MoveOrigin(10, 20);
  EXPECT_EQ(dc.IntersectClipRect({0, 0, 30, 30}), SIMPLEREGION);
  dc.GetClipBox(box);
  EXPECT_EQ(box, (TRect{0, 0, 30, 30}));
  EXPECT_EQ(dc.ExcludeClipRect({0, 0, 10, 30}), SIMPLEREGION);
  EXPECT_FALSE(dc.RectVisible({0, 0, 10, 10}));
  EXPECT_TRUE(dc.RectVisible({10, 0, 11, 1}));
  dc.FillRect({-50, -50, 200, 200}, 0x0000FF);  // red, clipped to (20..40, 20..50) on the picture
  EXPECT_EQ(dc.IntersectClipRect({500, 500, 600, 600}), NULLREGION);
  EXPECT_TRUE(dc.RestoreDC(level));
  EXPECT_EQ(dc.ViewportOrg(), (TPoint{0, 0}));
  dc.GetClipBox(box);
  EXPECT_EQ(box, (TRect{0, 0, 100, 80}));
  // Rows are bottom-up: picture row y is memory row 79 - y.
  auto red = [&](int x, int y) {
    const uint8_t* p = section->Bits() + ((79 - y) * 100 + x) * 4;
    return p[2] == 255 && p[1] == 0 && p[0] == 0;
  };
  EXPECT_TRUE(red(20, 20));
  EXPECT_TRUE(red(39, 49));
  EXPECT_FALSE(red(19, 20));
  EXPECT_FALSE(red(40, 20));
  EXPECT_FALSE(red(20, 19));
  EXPECT_FALSE(red(20, 50));
}

TEST(MessageBoxes, TheSeamAnswersAndRecords) {
  std::vector<TMessageBoxRequest> seen;
  TMessageBoxHandler previous = SetMessageBoxHandler([&](const TMessageBoxRequest& r) {
    seen.push_back(r);
    return IDYES;
  });
  EXPECT_EQ(MessageBox("Text\r\nmore", "Caption", MB_YESNO | MB_ICONQUESTION), IDYES);
  SetMessageBoxHandler(previous);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Text, "Text\r\nmore");
  EXPECT_EQ(seen[0].Caption, "Caption");
  EXPECT_EQ(seen[0].Flags, 0x24u);
}

TEST(Timers, TickOnlyWhileEnabledWithAHandler) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(1);
  EXPECT_FALSE(timer.Running()) << "no handler yet";
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  EXPECT_TRUE(timer.Running());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
  timer.Tick();
  EXPECT_EQ(ticks, 1);
}

}  // namespace

namespace {

TEST_F(MouseRouting, ACaptureWhoseReleaseWentElsewhereEndsAtTheNextPress) {
  // A double click that opens a modal box: the box takes the release, the capture stays.
  Send(WM_LBUTTONDOWN, 20, 20);
  Send(WM_LBUTTONUP, 20, 20);
  Send(WM_LBUTTONDBLCLK, 20, 20);
  EXPECT_TRUE(A->MouseCapture());
  Log.clear();
  Send(WM_LBUTTONDOWN, 70, 70);  // on B
  Send(WM_LBUTTONUP, 70, 70);
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "B click"), 1);
  EXPECT_FALSE(A->MouseCapture());
}

}  // namespace

namespace {

class TFailingForm : public TForm {
public:
  explicit TFailingForm(TComponent* owner) : TForm(owner) {
    OnCreate = [](TObject*) { throw EConvertError("Creation went wrong"); };
  }
};

TEST(Application, AFailureEscapingACreationHandlerIsReportedAndStartUpGoesOn) {
  std::vector<TMessageBoxRequest> seen;
  TMessageBoxHandler previous = SetMessageBoxHandler([&](const TMessageBoxRequest& r) {
    seen.push_back(r);
    return IDOK;
  });
  {
    TApplication app(nullptr);
    app.SetTitle("Title");
    TFailingForm* form = app.CreateForm<TFailingForm>();
    EXPECT_EQ(app.MainForm(), form) << "the form exists and is the main form";
  }
  SetMessageBoxHandler(previous);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Text, "Creation went wrong.");
  EXPECT_EQ(seen[0].Caption, "Title");
  EXPECT_EQ(seen[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONSTOP));
}

}  // namespace
