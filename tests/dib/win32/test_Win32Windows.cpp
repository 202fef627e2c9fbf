// The Win32 backend's windows, driven by the system's own messages: the form's frame, painting,
// the pointer, keys and focus, closing, timers and the message loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/win32/Win32Input.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

#include "platform/win32/Win32Api.h"
#include "platform/win32/WideText.h"

namespace {

using TLog = std::vector<std::string>;

HWND WindowOf(TWinControl* control) { return reinterpret_cast<HWND>(control->Handle()); }

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

void Post(TWinControl* control, UINT msg, WPARAM wp, LPARAM lp) { ::PostMessageW(WindowOf(control), msg, wp, lp); }

void Pump() { Backend().ProcessMessages(); }

// A windowless control that notes what reaches it.
class TProbe : public TGraphicControl {
public:
  QV_CLASS(TProbe)
  TProbe(TComponent* owner, TWinControl* parent, TLog& log, const std::string& name) : TGraphicControl(owner), Log(log) {
    SetName(name);
    SetParent(parent);
    OnClick = [this](TObject*) { Log.push_back(Name() + " click"); };
  }
  TLog& Log;

protected:
  void CMMouseEnter(TMessage&) override { Log.push_back(Name() + " enter"); }
  void CMMouseLeave(TMessage&) override { Log.push_back(Name() + " leave"); }
};

// A windowed control that takes keys and notes them.
class TKeyProbe : public TCustomControl {
public:
  QV_CLASS(TKeyProbe)
  TKeyProbe(TComponent* owner, TWinControl* parent, TLog& log, const std::string& name) : TCustomControl(owner), Log(log) {
    SetName(name);
    SetParent(parent);
    SetTabStop(true);
    OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) { Log.push_back(Name() + " down " + std::to_string(key)); };
    OnKeyPress = [this](TObject*, char32_t& key) { Log.push_back(Name() + " press " + std::to_string(key)); };
    OnEnter = [this](TObject*) { Log.push_back(Name() + " enter"); };
    OnExit = [this](TObject*) { Log.push_back(Name() + " exit"); };
  }
  TLog& Log;
  int Paints = 0;
  TRect PaintRect;

protected:
  void Paint() override {
    ++Paints;
    TRect box;
    Canvas()->Handle()->GetClipBox(box);
    PaintRect = box;
  }
};

using win32_input::TDesktopTurn;

class Win32Windows : public testing::Test {
protected:
  void SetUp() override {
    Turn = std::make_unique<TDesktopTurn>();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBorderStyle(TBorderStyle::bsSingle);
    Form->SetBorderIcons(biSystemMenu | biMinimize);
    Form->SetClientSize(300, 200);
    Form->SetPosition(TPosition::poScreenCenter);
    Panel = new TPanel(Form.get());
    Panel->SetParent(Form.get());
    Panel->SetBounds(0, 0, 300, 200);
    Form->Show();
    Pump();
  }
  void TearDown() override {
    Form.reset();
    Pump();
    Turn.reset();
  }
  std::unique_ptr<TDesktopTurn> Turn;
  std::unique_ptr<TForm> Form;
  TPanel* Panel = nullptr;
};

TEST_F(Win32Windows, TheFormHasAFixedSingleFrameRoundItsClientSizeCentredOnTheWorkArea) {
  const HWND window = WindowOf(Form.get());
  RECT client{}, frame{}, area{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD), 0u) << "fixed in size, no maximise button";
  ::GetWindowRect(window, &frame);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 1);
  EXPECT_EQ(::GetParent(WindowOf(Panel)), window);
  Form->SetCaption("Disc \xE2\x80\x93 Setup");
  wchar_t caption[64] = {};
  ::GetWindowTextW(window, caption, 64);
  EXPECT_EQ(win32::Narrow(caption), "Disc \xE2\x80\x93 Setup");
  Form->SetBorderStyle(TBorderStyle::bsSizeable);
  Form->SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300) << "the client size stays when the frame changes";
  EXPECT_NE(::GetWindowLongPtrW(window, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
}

TEST_F(Win32Windows, UpdatePaintsWhatIsInvalidThroughTheWindowsDeviceContext) {
  TLog log;
  auto* window = new TKeyProbe(Form.get(), Panel, log, "window");
  window->SetBounds(10, 10, 100, 50);
  Pump();
  window->Paints = 0;
  window->InvalidateRect({20, 5, 30, 15});
  window->Update();
  EXPECT_EQ(window->Paints, 1);
  EXPECT_EQ(window->PaintRect, (TRect{20, 5, 30, 15})) << "the paint is clipped to what was invalid";
  window->Update();
  EXPECT_EQ(window->Paints, 1) << "nothing is invalid any more";
  window->InvalidateRect({0, 0, 100, 50});
  window->Peer()->ValidateRect({0, 0, 100, 50});
  window->Update();
  EXPECT_EQ(window->Paints, 1) << "validated before it was painted";
  TPaintStruct outside;
  EXPECT_EQ(window->Peer()->BeginPaint(outside), nullptr) << "no paint in progress";
  // A window inside paints with the part of its parent it covers.
  auto* inner = new TKeyProbe(Form.get(), window, log, "inner");
  inner->SetBounds(0, 0, 20, 20);
  Pump();
  inner->Paints = window->Paints = 0;
  window->InvalidateRect({0, 0, 10, 10});
  window->Update();
  EXPECT_EQ(window->Paints, 1);
  EXPECT_EQ(inner->Paints, 1);
}

TEST_F(Win32Windows, PressAndReleaseOverAWindowlessChildClickItAndHoldTheCapture) {
  TLog log;
  auto* probe = new TProbe(Form.get(), Panel, log, "probe");
  probe->SetBounds(50, 40, 30, 20);
  // The pointer really is where the messages say, so that the system reports no leaving.
  const TPoint over = Panel->ClientToScreen({60, 50});
  ::SetCursorPos(over.X, over.Y);
  Post(Panel, WM_MOUSEMOVE, 0, At(60, 50));
  Pump();
  EXPECT_EQ(MouseControl(), probe);
  Post(Panel, WM_LBUTTONDOWN, MK_LBUTTON, At(60, 50));
  Pump();
  EXPECT_EQ(GetCaptureControl(), probe);
  EXPECT_EQ(::GetCapture(), WindowOf(Panel)) << "the system's capture is the parent window's";
  Post(Panel, WM_LBUTTONUP, 0, At(61, 51));
  Pump();
  EXPECT_EQ(GetCaptureControl(), nullptr);
  EXPECT_EQ(::GetCapture(), nullptr);
  const TPoint away = Panel->ClientToScreen({200, 150});
  ::SetCursorPos(away.X, away.Y);
  Post(Panel, WM_MOUSEMOVE, 0, At(200, 150));
  Pump();
  EXPECT_EQ(MouseControl(), Panel);
  EXPECT_EQ(log, (TLog{"probe enter", "probe click", "probe leave"}));
}

// The visible hint window of this thread and its text; nullptr when none shows.
HWND ShownHint(std::wstring& text) {
  struct TFound {
    HWND Window = nullptr;
  } found;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        if (std::wstring(name) != TOOLTIPS_CLASSW || !::IsWindowVisible(window)) return TRUE;
        reinterpret_cast<TFound*>(data)->Window = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  if (!found.Window) return nullptr;
  wchar_t buffer[256] = {};
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.lpszText = buffer;
  ::SendMessageW(found.Window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool));
  text = buffer;
  return found.Window;
}

TEST_F(Win32Windows, ARestingPointerShowsTheHintOfTheControlUnderItUntilAPress) {
  TLog log;
  auto* probe = new TProbe(Form.get(), Panel, log, "probe");
  probe->SetBounds(50, 40, 30, 20);
  probe->SetHint("Play the disc");
  probe->SetShowHint(true);
  const TPoint over = Panel->ClientToScreen({60, 50});
  ::SetCursorPos(over.X, over.Y);
  Post(Panel, WM_MOUSEMOVE, 0, At(60, 50));
  Post(Panel, WM_MOUSEHOVER, 0, At(60, 50));
  Pump();
  std::wstring text;
  ASSERT_NE(ShownHint(text), nullptr);
  EXPECT_EQ(win32::Narrow(text), "Play the disc");
  Post(Panel, WM_LBUTTONDOWN, MK_LBUTTON, At(60, 50));
  Post(Panel, WM_LBUTTONUP, 0, At(60, 50));
  Pump();
  EXPECT_EQ(ShownHint(text), nullptr);
  // Over the panel itself, which shows no hints, a rest shows none.
  Post(Panel, WM_MOUSEMOVE, 0, At(200, 150));
  Post(Panel, WM_MOUSEHOVER, 0, At(200, 150));
  Pump();
  EXPECT_EQ(ShownHint(text), nullptr);
}

TEST_F(Win32Windows, KeysReachTheFocusedControlAndCharactersOnlyFollowKeysNoNotificationTook) {
  TLog log;
  auto* first = new TKeyProbe(Form.get(), Panel, log, "first");
  first->SetBounds(10, 10, 50, 20);
  auto* second = new TKeyProbe(Form.get(), Panel, log, "second");
  second->SetBounds(10, 40, 50, 20);
  Pump();
  first->SetFocus();
  Pump();
  ASSERT_EQ(FocusedWindow(), first);
  EXPECT_EQ(::GetFocus(), WindowOf(first));
  const UINT scanA = ::MapVirtualKeyW('A', MAPVK_VK_TO_VSC);
  Post(first, WM_KEYDOWN, 'A', static_cast<LPARAM>(1 | scanA << 16));
  Pump();
  // Tab is the form's: it moves the focus and types nothing.
  const UINT scanTab = ::MapVirtualKeyW(VK_TAB, MAPVK_VK_TO_VSC);
  Post(first, WM_KEYDOWN, VK_TAB, static_cast<LPARAM>(1 | scanTab << 16));
  Pump();
  EXPECT_EQ(FocusedWindow(), second);
  EXPECT_EQ(::GetFocus(), WindowOf(second)) << "the system focus follows the toolkit's";
  Post(second, WM_CHAR, 0xD83D, 1);  // one character beyond the first plane, in two halves
  Post(second, WM_CHAR, 0xDE00, 1);
  Pump();
  EXPECT_EQ(log, (TLog{"first enter", "first down 65", "first press 97", "first exit", "second enter",
                       "second press 128512"}));
}

TEST_F(Win32Windows, AFormClosedByTheSystemIsHiddenByTheToolkit) {
  Post(Form.get(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(Form->Visible());
  EXPECT_FALSE(::IsWindowVisible(WindowOf(Form.get())));
  EXPECT_TRUE(::IsWindow(WindowOf(Form.get()))) << "closing is not destroying";
}

TEST_F(Win32Windows, AWindowTakenOffItsParentTakesTheWindowsInsideAndTheFocusWithIt) {
  TLog log;
  auto* outer = new TPanel(Form.get());
  outer->SetParent(Panel);
  auto* inner = new TKeyProbe(Form.get(), outer, log, "inner");
  Pump();
  inner->SetFocus();
  Pump();
  ASSERT_EQ(FocusedWindow(), inner);
  const HWND innerWindow = WindowOf(inner), outerWindow = WindowOf(outer);
  // The outer control's window goes, and with it the inner one, whose control stays.
  outer->SetParent(nullptr);
  Pump();
  EXPECT_FALSE(::IsWindow(innerWindow));
  EXPECT_FALSE(::IsWindow(outerWindow));
  EXPECT_NE(FocusedWindow(), inner);
  ASSERT_NE(inner->Peer(), nullptr);
  EXPECT_EQ(inner->Peer()->Handle(), 0u) << "the peer knows its window is gone";
  inner->Invalidate();
  inner->Update();
  inner->Peer()->SetBounds({1, 2, 3, 4});
  EXPECT_FALSE(inner->Peer()->Focused());
  delete outer;
  Pump();
}

TEST_F(Win32Windows, TheControlUnderAScreenPointIsTheInnermostWindow) {
  auto* inner = new TPanel(Form.get());
  inner->SetParent(Panel);
  inner->SetBounds(100, 50, 60, 40);
  Pump();
  EXPECT_EQ(Backend().ControlAtScreenPoint(Panel->ClientToScreen({110, 60})), inner);
  EXPECT_EQ(Backend().ControlAtScreenPoint(Panel->ClientToScreen({10, 10})), Panel);
  EXPECT_EQ(Panel->ScreenToClient(Panel->ClientToScreen({7, 9})), (TPoint{7, 9}));
}

TEST_F(Win32Windows, TheNotesPanelShowsTheDocumentsText) {
  auto* notes = new TRichEdit(Form.get());
  notes->SetParent(Panel);
  notes->SetBounds(10, 10, 200, 100);
  notes->AddLine("First line");
  notes->AddLine("Second \xC3\xA9");
  Pump();
  wchar_t text[64] = {};
  ::GetWindowTextW(WindowOf(notes), text, 64);
  EXPECT_EQ(win32::Narrow(text), "First line\r\nSecond \xC3\xA9");
  EXPECT_EQ(Backend().ControlAtScreenPoint(notes->ClientToScreen({5, 5})), notes) << "the native window is the panel's";
}

// The loop's quit stays set for the process, so it is tried in a process of its own.
TEST(Win32MessageLoopDeathTest, QuitEndsTheLoopAfterWhatWasQueuedAheadOfIt) {
  EXPECT_EXIT(
      {
        TDesktopTurn turn;  // left when the process ends
        TForm form(nullptr);
        form.Show();
        TTimer timer(nullptr);
        timer.SetInterval(10);
        timer.SetOnTimer([&](TObject*) {
          timer.SetEnabled(false);
          ::PostMessageW(WindowOf(&form), WM_CLOSE, 0, 0);
          Backend().Quit(0);
        });
        Backend().RunMessageLoop();
        std::exit(form.Visible() ? 4 : 3);
      },
      testing::ExitedWithCode(3), "");
}

TEST(Win32Timers, TicksArriveThroughTheLoopAndAStoppedTimerTicksNoMore) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(10);
  timer.SetOnTimer([&](TObject*) {
    if (++ticks == 3) timer.SetEnabled(false);
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (timer.Enabled() && std::chrono::steady_clock::now() < deadline) {
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(ticks, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Pump();
  EXPECT_EQ(ticks, 3);
}

TEST(Win32Timers, ProcessingMessagesReturnsWhileATimerOutrunsItsHandler) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(10);
  timer.SetOnTimer([&](TObject*) {
    ++ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const auto start = std::chrono::steady_clock::now();
  Pump();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_LE(ticks, 3);
}

}  // namespace
