// Real input through the Win32 backend: keys, focus and the pointer crossing into child windows
// and out of the form, given by SendInput as a person would.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/win32/Win32Input.h"
#include "support/HoverProbe.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

using namespace win32_input;
using test_support::TLog;
using test_support::THoverProbe;

class Win32Events : public TDesktopTest {
protected:
  void SetUp() override {
    OpenForm(300, 200);
    Container = new TPanel(Form.get());
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, 300, 200);
    First = new TPanel(Form.get());
    First->SetName("First");
    First->SetParent(Container);
    First->SetBounds(100, 10, 50, 50);
    First->SetTabStop(true);
    Notes = new TRichEdit(Form.get());
    Notes->SetName("Notes");
    Notes->SetParent(Container);
    Notes->SetBounds(100, 100, 150, 80);
    Notes->SetTabStop(true);
    ShowActive(*Form);
  }
  TPanel* Container = nullptr;
  TPanel* First = nullptr;
  TRichEdit* Notes = nullptr;
};

TEST_F(Win32Events, TabAndShiftTabMoveTheFocusInTabOrder) {
  TLog log;
  First->OnEnter = [&](TObject*) { log.push_back("First enter"); };
  Notes->OnEnter = [&](TObject*) { log.push_back("Notes enter"); };
  First->SetFocus();
  Settle();
  ASSERT_EQ(FocusedWindow(), First);
  Tap(VK_TAB);
  EXPECT_EQ(FocusedWindow(), Notes);
  EXPECT_EQ(::GetFocus(), WindowOf(Notes)) << "the system focus follows the toolkit's";
  Tap(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(FocusedWindow(), First);
  EXPECT_EQ(::GetFocus(), WindowOf(First));
  EXPECT_EQ(log, (TLog{"First enter", "Notes enter", "First enter"}));
}

TEST_F(Win32Events, KeysReachTheFocusedControlWithTheShiftStateOfTheirMoment) {
  TLog log;
  auto shiftOf = [](TShiftState shift) { return std::string(shift & ssShift ? " shift" : ""); };
  First->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState shift) {
    log.push_back("down " + std::to_string(key) + shiftOf(shift));
  };
  First->OnKeyPress = [&](TObject*, char32_t& ch) { log.push_back(std::string("press ") + static_cast<char>(ch)); };
  First->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState shift) {
    log.push_back("up " + std::to_string(key) + shiftOf(shift));
  };
  First->SetFocus();
  Settle();
  Tap('A', {VK_SHIFT});
  // The Shift key is a key of its own; the character is the one the keyboard layout gives.
  EXPECT_EQ(log, (TLog{"down 16 shift", "down 65 shift", "press A", "up 65 shift", "up 16"}));
}

TEST_F(Win32Events, ThePointerMovingIntoAChildWindowLeavesTheWindowlessControl) {
  TLog log;
  new THoverProbe(Form.get(), Container, log);
  // The notes panel is a native window the backend took over; First is a window of our own.
  for (TWinControl* child : {static_cast<TWinControl*>(Notes), static_cast<TWinControl*>(First)}) {
    SCOPED_TRACE(child->Name());
    log.clear();
    PointerTo(Container, {5, 150});
    PointerTo(Container, {30, 30});
    ASSERT_EQ(log, (TLog{"enter"}));
    // Straight from the windowless control into the child window beside it.
    PointerTo(child, {20, 20});
    EXPECT_EQ(log, (TLog{"enter", "leave"}));
    EXPECT_EQ(MouseControl(), child);
  }
  // Out of the form altogether: only the system's report of the leaving tells.
  log.clear();
  PointerTo(Container, {30, 30});
  ParkPointer();
  SettleUntil([&] { return log.size() >= 2; });
  EXPECT_EQ(log, (TLog{"enter", "leave"}));
  EXPECT_EQ(MouseControl(), nullptr);
}

TEST_F(Win32Events, ThePressedControlFollowsThePointerOutOfTheFormUntilTheRelease) {
  TLog log;
  auto* probe = new THoverProbe(Form.get(), Container, log);
  std::vector<TPoint> moves;
  probe->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); };
  probe->OnClick = [&](TObject*) { log.push_back("click"); };
  PointerTo(Container, {30, 30});
  PressLeft();
  ASSERT_EQ(GetCaptureControl(), probe);
  EXPECT_EQ(::GetCapture(), WindowOf(Container));
  moves.clear();
  ParkPointer();
  ASSERT_FALSE(moves.empty()) << "the system's capture brings the moves far outside the window";
  const TPoint far = probe->ScreenToClient({::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1});
  EXPECT_EQ(moves.back(), far);
  EXPECT_EQ(GetCaptureControl(), probe) << "the button still holds the pointer";
  EXPECT_EQ(log, (TLog{"enter", "leave"})) << "the holder alone hears of the pointer leaving";
  ReleaseLeft();
  EXPECT_EQ(GetCaptureControl(), nullptr);
  EXPECT_EQ(::GetCapture(), nullptr);
  EXPECT_EQ(MouseControl(), nullptr);
  // Back over the control it enters again, as after any leave.
  PointerTo(Container, {30, 30});
  EXPECT_EQ(log, (TLog{"enter", "leave", "enter"})) << "a release outside clicks nothing";
}

// The styles themselves, with short and long text, are the rich edit's own tests.
TEST_F(Win32Events, ANotesPanelWhoseWindowComesLaterShowsTheScrollBarsItWasAskedFor) {
  auto* late = new TRichEdit(Form.get());
  late->SetScrollBars(TScrollStyle::ssVertical);
  late->AddLine("one short line");
  late->SetParent(Container);
  late->SetBounds(10, 100, 80, 80);
  Settle();
  const LONG_PTR style = ::GetWindowLongPtrW(WindowOf(late), GWL_STYLE);
  EXPECT_NE(style & WS_VSCROLL, 0) << "asked for, though the text fits";
  EXPECT_EQ(style & WS_HSCROLL, 0);
}

}  // namespace

namespace {

// The system's own close key: Alt+F4 reaches the form as a close, with the focus in a child window.
TEST_F(Win32Events, AltF4ClosesTheFormFromAChildWindow) {
  First->SetFocus();
  Settle();
  ASSERT_EQ(::GetFocus(), WindowOf(First));
  Tap(VK_F4, {VK_MENU});
  EXPECT_FALSE(Form->Visible()) << "closed";
}

}  // namespace
