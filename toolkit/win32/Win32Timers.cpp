#include "toolkit/win32/Win32Timers.h"

#include <algorithm>
#include <unordered_map>

#include "toolkit/Controls.h"

#include "platform/win32/Win32Api.h"

namespace win32 {

namespace {

constexpr wchar_t kTimerClass[] = L"QuorvaneTimers";

class TTimerPeer;

struct TTimers {
  HWND Window = nullptr;
  ATOM Class = 0;
  // Identifiers are never used twice, so a tick still queued for a timer that is gone finds none.
  UINT_PTR NextId = 1;
  std::unordered_map<UINT_PTR, TTimerPeer*> Running;
};

TTimers& Timers() {
  static auto* timers = new TTimers;  // never destroyed: a timer may outlive the backend
  return *timers;
}

class TTimerPeer : public ITimerPeer {
public:
  explicit TTimerPeer(std::function<void()> onTick) : FOnTick(std::move(onTick)), FId(Timers().NextId++) {
    Timers().Running[FId] = this;
  }
  ~TTimerPeer() override {
    Stop();
    Timers().Running.erase(FId);
  }
  void Start(unsigned intervalMs) override {
    const HWND window = Timers().Window;
    if (!window) return;
    const UINT interval = std::clamp<UINT>(intervalMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    FStarted = ::SetTimer(window, FId, interval, nullptr) != 0;
  }
  void Stop() override {
    if (FStarted && Timers().Window) ::KillTimer(Timers().Window, FId);
    FStarted = false;
  }
  void Tick() {
    // A tick queued before the timer stopped is not one.
    if (!FStarted) return;
    // A tick may stop and destroy this very timer: run a copy of the handler.
    const std::function<void()> tick = FOnTick;
    ProtectedCall(tick);
  }

private:
  std::function<void()> FOnTick;
  UINT_PTR FId;
  bool FStarted = false;
};

LRESULT CALLBACK TimerWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    auto& running = Timers().Running;
    if (auto it = running.find(static_cast<UINT_PTR>(wp)); it != running.end()) it->second->Tick();
    return 0;
  }
  return ::DefWindowProcW(window, msg, wp, lp);
}

}  // namespace

void CreateTimerWindow() {
  TTimers& timers = Timers();
  if (timers.Window) return;
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (!timers.Class) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TimerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTimerClass;
    timers.Class = ::RegisterClassExW(&wc);
  }
  timers.Window = ::CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

void DestroyTimerWindow() {
  TTimers& timers = Timers();
  if (timers.Window) ::DestroyWindow(timers.Window);
  timers.Window = nullptr;
  if (timers.Class) ::UnregisterClassW(kTimerClass, ::GetModuleHandleW(nullptr));
  timers.Class = 0;
}

void WakeMessageLoop() {
  if (const HWND window = Timers().Window) ::PostMessageW(window, WM_NULL, 0, 0);
}

std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> onTick) {
  return std::make_unique<TTimerPeer>(std::move(onTick));
}

}  // namespace win32
