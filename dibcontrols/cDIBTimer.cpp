#include "dibcontrols/cDIBTimer.h"

#include "toolkit/Forms.h"
#include "toolkit/TypInfo.h"

namespace {
constexpr uintptr_t kTimerId = 1;
}

TDIBTimer::TDIBTimer(TComponent* owner) : TComponent(owner) {}

TDIBTimer::~TDIBTimer() {
  FEnabled = false;
  RestartTimer();
  FTimerWindow.reset();
}

void TDIBTimer::SetInterval(uint32_t value) {
  if (value == FInterval) return;
  FInterval = value;
  RestartTimer();
}

void TDIBTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  RestartTimer();
}

void TDIBTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  RestartTimer();
}

void TDIBTimer::Tick() {
  if (FOnTimer) FOnTimer(this);
}

void TDIBTimer::RestartTimer() {
  if (FTimerWindow) {
    FTimerWindow->KillTimer(kTimerId);
    FTimerWindow.reset();
  }
  if (FInterval == 0 || !FEnabled || !FOnTimer) return;
  FTimerWindow = std::make_unique<TMessageWindow>([this](TMessage& m) { WndProc(m); });
  try {
    if (!FTimerWindow->SetTimer(kTimerId, FInterval)) throw EOutOfResources("Not enough timers available");
  } catch (const EOutOfResources&) {
    // Nobody is told: the timer simply stays stopped.
    FEnabled = false;
    FTimerWindow.reset();
  }
}

void TDIBTimer::WndProc(TMessage& message) {
  if (message.Msg != WM_TIMER) {
    DefWindowProc(message);
    return;
  }
  try {
    Tick();
  } catch (...) {
    // The application's report shows it; the timer keeps running.
    if (Application) Application->HandleException(std::current_exception());
  }
}

void RegisterDIBTimerClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  // Enabled is written whatever its value: a new timer starts disabled, and a stored one must come
  // back as it was.
  RegisterClassInfo<TDIBTimer, TComponent>()
      .Boolean("Enabled", &TDIBTimer::Enabled, &TDIBTimer::SetEnabled)
      .Integer("Interval", &TDIBTimer::Interval, &TDIBTimer::SetInterval, 1000)
      .Event("OnTimer", &TDIBTimer::OnTimer, &TDIBTimer::SetOnTimer);
}
