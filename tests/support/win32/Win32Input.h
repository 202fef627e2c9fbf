#pragma once
// Real input for the Win32 backend's tests: the pointer and the keyboard through SendInput, as a
// hand on the mouse and the keys gives them, then the backend's own message processing until it
// has arrived. Wine's null display driver queues SendInput's events like a real display does (the
// pointer moves, the window under it and the focus window get their messages), so the tests run
// headless there and unchanged on Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "toolkit/Backend.h"
#include "toolkit/Forms.h"

#include "platform/win32/Win32Api.h"

namespace win32_input {

// The form the keys are meant for (ShowActive).
inline HWND gKeysWindow = nullptr;

inline HWND WindowOf(TWinControl* control) { return reinterpret_cast<HWND>(control->Handle()); }

// Processes what the system has queued, a few rounds with short pauses: what one message starts
// (a tracked leave, a capture check the backend posts to itself) arrives a moment later.
inline void Settle(int rounds = 8) {
  for (int i = 0; i < rounds; ++i) {
    Backend().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  Backend().ProcessMessages();
}

// Processes messages until a condition holds, for what the system reports in its own time: Wine
// tells a window that the pointer left it for another program's window at its next tracking tick,
// up to the hover time (400 ms) later, where Windows tells at once. False when the time ran out.
template <class TCondition>
bool SettleUntil(TCondition done, std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Settle(1);
  }
  return true;
}

// The pointer and the screen are shared by every program on the desktop, the other test programs
// that run beside this one included: tests that show windows take turns.
class TDesktopTurn {
public:
  TDesktopTurn() : FMutex(::CreateMutexW(nullptr, FALSE, L"Local\\Quorvane.Tests.Desktop")) {
    if (FMutex) ::WaitForSingleObject(FMutex, 120000);
  }
  ~TDesktopTurn() {
    if (!FMutex) return;
    ::ReleaseMutex(FMutex);
    ::CloseHandle(FMutex);
  }
  TDesktopTurn(const TDesktopTurn&) = delete;
  TDesktopTurn& operator=(const TDesktopTurn&) = delete;

private:
  HANDLE FMutex;
};

inline void Send(std::vector<INPUT> inputs) {
  const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  ASSERT_EQ(sent, inputs.size()) << "the system refused the input (error " << ::GetLastError() << ")";
  Settle();
}

// Moves the pointer to a screen point. Absolute positions are in 65536ths of the primary screen;
// rounding up lands on the very pixel, as both Windows and Wine scale them back down.
inline void PointerToScreen(TPoint p) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = static_cast<LONG>((static_cast<int64_t>(p.X) * 65536 + width - 1) / width);
  move.mi.dy = static_cast<LONG>((static_cast<int64_t>(p.Y) * 65536 + height - 1) / height);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Send({move});
  POINT at{};
  ::GetCursorPos(&at);
  EXPECT_TRUE(at.x == p.X && at.y == p.Y) << "the pointer went to " << at.x << "," << at.y << ", not " << p.X << ","
                                          << p.Y;
}

// Moves the pointer to a point in a control's client coordinates (windowless controls too).
inline void PointerTo(TControl* control, TPoint p) { PointerToScreen(control->ClientToScreen(p)); }

// The far corner of the screen, where no test puts a window: nothing is under the pointer there.
inline void ParkPointer() {
  PointerToScreen({::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1});
}

inline INPUT Button(DWORD flags) {
  INPUT button{};
  button.type = INPUT_MOUSE;
  button.mi.dwFlags = flags;
  return button;
}

inline void PressLeft() { Send({Button(MOUSEEVENTF_LEFTDOWN)}); }
inline void ReleaseLeft() { Send({Button(MOUSEEVENTF_LEFTUP)}); }
// Two clicks in one go, well inside the double-click time. It waits out that time first: a press
// shortly before at the same place would make its first click the second of another double click.
inline void DoubleClickLeft() {
  std::this_thread::sleep_for(std::chrono::milliseconds(::GetDoubleClickTime() + 20));
  Send({Button(MOUSEEVENTF_LEFTDOWN), Button(MOUSEEVENTF_LEFTUP), Button(MOUSEEVENTF_LEFTDOWN),
        Button(MOUSEEVENTF_LEFTUP)});
}

inline INPUT KeyEvent(WORD virtualKey, bool up) {
  INPUT key{};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = virtualKey;
  key.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return key;
}

// A key pressed and released with modifiers held (VK_SHIFT, VK_MENU for Alt), all in one call, so
// that no modifier stays down for the next test whatever happens.
inline void Tap(WORD virtualKey, std::initializer_list<WORD> held = {}) {
  // Keys go to the foreground window, which a test program beside this one may have taken.
  if (gKeysWindow && ::IsWindow(gKeysWindow) && ::GetForegroundWindow() != gKeysWindow)
    ::SetForegroundWindow(gKeysWindow);
  std::vector<INPUT> keys;
  for (WORD modifier : held) keys.push_back(KeyEvent(modifier, false));
  keys.push_back(KeyEvent(virtualKey, false));
  keys.push_back(KeyEvent(virtualKey, true));
  for (auto it = std::rbegin(held); it != std::rend(held); ++it) keys.push_back(KeyEvent(*it, true));
  Send(keys);
}

// Where the tests put their forms: near the far corner of the screen, where the other test
// programs, which run beside these and show their forms at the origin or centred, put none.
inline void PlaceForm(TForm& form, int width, int height) {
  form.SetBorderStyle(TBorderStyle::bsNone);
  form.SetBounds(::GetSystemMetrics(SM_CXSCREEN) - width - 40, ::GetSystemMetrics(SM_CYSCREEN) - height - 40, width,
                 height);
}

// Shows the form and makes it the foreground window, so that keys reach its focus.
inline void ShowActive(TForm& form) {
  form.Show();
  gKeysWindow = WindowOf(&form);
  ::SetForegroundWindow(gKeysWindow);
  Settle();
  ASSERT_EQ(::GetForegroundWindow(), gKeysWindow) << "the form could not be brought to the foreground";
}

// A test with a form of its own on the shared desktop: it takes its turn, parks the pointer, and
// at the end leaves nothing behind for the next test (no form, no pointer over a window).
class TDesktopTest : public testing::Test {
protected:
  void OpenForm(int width, int height) {
    Turn = std::make_unique<TDesktopTurn>();
    ParkPointer();
    Form = std::make_unique<TForm>(nullptr);
    PlaceForm(*Form, width, height);
  }
  void TearDown() override {
    ParkPointer();
    Form.reset();
    MouseIdle(nullptr);
    Settle();
    Turn.reset();
  }
  std::unique_ptr<TDesktopTurn> Turn;
  std::unique_ptr<TForm> Form;
};

// The colours a window shows now, read back from its device context: 0xRRGGBB, rows top-down.
// (Under Wine's null driver and with Windows' desktop composition alike, the window's device
// context reads what was last drawn into the window; on Windows the window must not be covered.)
class TWindowPixels {
public:
  explicit TWindowPixels(TWinControl* control) {
    const HWND window = WindowOf(control);
    RECT client{};
    ::GetClientRect(window, &client);
    FWidth = client.right;
    FHeight = client.bottom;
    FPixels.assign(static_cast<size_t>(FWidth) * FHeight, 0);
    if (FWidth <= 0 || FHeight <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = -FHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC source = ::GetDC(window);
    HDC memory = ::CreateCompatibleDC(source);
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
      HGDIOBJ old = ::SelectObject(memory, bitmap);
      ::BitBlt(memory, 0, 0, FWidth, FHeight, source, 0, 0, SRCCOPY);
      ::GdiFlush();
      const auto* words = static_cast<const uint32_t*>(bits);
      for (size_t i = 0; i < FPixels.size(); ++i) FPixels[i] = words[i] & 0xFFFFFFu;
      ::SelectObject(memory, old);
    }
    if (bitmap) ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(window, source);
  }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  uint32_t At(int x, int y) const { return FPixels[static_cast<size_t>(y) * FWidth + x]; }
  // Whether the colour shows anywhere in the rectangle.
  bool Shows(const TRect& r, uint32_t rgb) const {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        if (At(x, y) == rgb) return true;
    return false;
  }

private:
  int FWidth = 0, FHeight = 0;
  std::vector<uint32_t> FPixels;
};

}  // namespace win32_input
