// Win32 tests run under Wine on a virtual display. Message boxes are recorded, never shown.
#include <gtest/gtest.h>

#include "win32/Recorders.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallMessageRecorder();
  return RUN_ALL_TESTS();
}
