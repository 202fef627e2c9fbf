#include <gtest/gtest.h>
#include <cstdlib>

#include "toolkit/qt/QtBackend.h"

// Surfaces that the toolkit draws into need the GUI backend; Qt's offscreen platform serves.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  TQtBackendScope backend(argc, argv);
  return RUN_ALL_TESTS();
}
