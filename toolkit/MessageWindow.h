#pragma once
// Hidden windows that only receive messages, and the system timers they carry. A component that
// needs a timer of its own holds one while the timer runs; ticks arrive as WM_TIMER (WParam: the
// timer's identifier) through the window procedure it was made with.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "toolkit/Backend.h"
#include "toolkit/Messages.h"

class TMessageWindow {
public:
  using TWndMethod = std::function<void(TMessage&)>;
  explicit TMessageWindow(TWndMethod method);
  ~TMessageWindow();
  TMessageWindow(const TMessageWindow&) = delete;
  TMessageWindow& operator=(const TMessageWindow&) = delete;

  // Starts system timer `id` (restarting it when it runs). False when the system has no timer to
  // give; nothing runs then.
  bool SetTimer(uintptr_t id, unsigned intervalMs);
  // False when no such timer runs.
  bool KillTimer(uintptr_t id);
  bool TimerRunning(uintptr_t id) const { return FTimers.count(id) != 0; }
  intptr_t Perform(unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0);

  // How many message windows exist now (a stopped component should hold none).
  static int Count();

private:
  TWndMethod FMethod;
  std::map<uintptr_t, std::unique_ptr<ITimerPeer>> FTimers;
};

// The default window procedure: answers 0 and does nothing.
void DefWindowProc(TMessage& message);

// The seam through which tests make the timer service refuse: while a refusal is installed and
// answers true, SetTimer fails. Answers the refusal it replaces.
using TTimerRefusal = std::function<bool(unsigned intervalMs)>;
TTimerRefusal SetTimerRefusal(TTimerRefusal refusal);
