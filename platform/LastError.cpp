#include "platform/WinTypes.h"

namespace platform {

namespace {
thread_local DWORD lastError = 0;
}

void SetLastError(DWORD error) { lastError = error; }

DWORD GetLastError() { return lastError; }

}  // namespace platform
