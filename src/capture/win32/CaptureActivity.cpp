#include "capture/win32/CaptureActivity.h"

namespace {
int RunningCaptures = 0;
}

bool CaptureInProgress() {
  return RunningCaptures > 0;
}

CaptureActivity::CaptureActivity() {
  ++RunningCaptures;
}

CaptureActivity::~CaptureActivity() {
  --RunningCaptures;
}
