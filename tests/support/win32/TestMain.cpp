#include <gtest/gtest.h>

#include "platform/ComLibrary.h"
#include "toolkit/win32/Win32Backend.h"

// GUI tests run on the Win32 backend; under Wine memory pictures need no display.
int main(int argc, char** argv) {
  platform::CoInitialize();
  testing::InitGoogleTest(&argc, argv);
  TWin32BackendScope backend;
  return RUN_ALL_TESTS();
}
