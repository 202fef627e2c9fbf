#include "platform/Guid.h"
#include "platform/SystemHooks.h"
#include "platform/win32/Win32Api.h"

namespace platform {

bool SystemCreateGuid(TGuid& guid) {
  GUID made{};
  if (FAILED(::CoCreateGuid(&made))) return false;
  guid.D1 = made.Data1;
  guid.D2 = made.Data2;
  guid.D3 = made.Data3;
  for (int i = 0; i < 8; ++i) guid.D4[i] = made.Data4[i];
  return true;
}

}  // namespace platform
