#include <gtest/gtest.h>
#include <cstdlib>

#include "toolkit/qt/QtBackend.h"

// GUI tests run on Qt's offscreen platform: no display is needed.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  TQtBackendScope backend(argc, argv);
  return RUN_ALL_TESTS();
}
