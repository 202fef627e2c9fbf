#include "platform/ComLibrary.h"

namespace platform {
void CoInitialize() {}
}  // namespace platform
