#pragma once
// An interval timer whose hidden message window and system timer exist only while it runs, so
// that the many controls that own one cost no windows until one of them repeats.
#include <cstdint>
#include <memory>

#include "toolkit/Classes.h"
#include "toolkit/MessageWindow.h"

class TDIBTimer : public TComponent {
public:
  QV_CLASS(TDIBTimer)
  explicit TDIBTimer(TComponent* owner);
  // Stops the timer and releases its window before the component goes.
  ~TDIBTimer() override;

  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  // Restarts the timer on every assignment, the same handler included.
  void SetOnTimer(TNotifyEvent handler);

  // Raises OnTimer; descendants may replace it.
  virtual void Tick();

  // The hidden window while the timer runs, nullptr while it is stopped.
  TMessageWindow* TimerWindow() const { return FTimerWindow.get(); }

private:
  void RestartTimer();
  void WndProc(TMessage& message);

  uint32_t FInterval = 1000;
  std::unique_ptr<TMessageWindow> FTimerWindow;
  TNotifyEvent FOnTimer;
  bool FEnabled = false;
};

// Publishes the timer to stored forms.
void RegisterDIBTimerClasses();
