#pragma once
// The system's timers, carried by one message-only window: each peer is a timer of that window.
#include <functional>
#include <memory>

#include "toolkit/Backend.h"

namespace win32 {

// Makes the window (once the backend starts) and destroys it (when it ends); timers that live on
// after it do nothing.
void CreateTimerWindow();
void DestroyTimerWindow();
// Posts a message that does nothing but end a wait for messages.
void WakeMessageLoop();

std::unique_ptr<ITimerPeer> CreateTimerPeer(std::function<void()> onTick);

}  // namespace win32
