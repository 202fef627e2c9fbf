#include "toolkit/MessageWindow.h"

#include "toolkit/Controls.h"

namespace {
int gWindowCount = 0;
TTimerRefusal gRefusal;
}  // namespace

TMessageWindow::TMessageWindow(TWndMethod method) : FMethod(std::move(method)) { ++gWindowCount; }

TMessageWindow::~TMessageWindow() {
  FTimers.clear();
  --gWindowCount;
}

int TMessageWindow::Count() { return gWindowCount; }

bool TMessageWindow::SetTimer(uintptr_t id, unsigned intervalMs) {
  FTimers.erase(id);
  if (gRefusal && gRefusal(intervalMs)) return false;
  std::unique_ptr<ITimerPeer> peer;
  if (BackendInstalled()) {
    peer = Backend().CreateTimerPeer([this, id] { ProtectedCall([&] { Perform(WM_TIMER, id); }); });
    if (!peer) return false;
    peer->Start(intervalMs);
  }
  // Without a backend (tools, some tests) the timer exists but only ticks when sent WM_TIMER.
  FTimers[id] = std::move(peer);
  return true;
}

bool TMessageWindow::KillTimer(uintptr_t id) { return FTimers.erase(id) != 0; }

intptr_t TMessageWindow::Perform(unsigned msg, uintptr_t wparam, intptr_t lparam) {
  TMessage message{msg, wparam, lparam, 0};
  if (FMethod) FMethod(message);
  else DefWindowProc(message);
  return message.Result;
}

void DefWindowProc(TMessage& message) { message.Result = 0; }

TTimerRefusal SetTimerRefusal(TTimerRefusal refusal) {
  TTimerRefusal previous = std::move(gRefusal);
  gRefusal = std::move(refusal);
  return previous;
}
