#include "capture/win32/CaptureHooks.h"

namespace {
CaptureHooks Hooks;
}  // namespace

void SetCaptureHooks(CaptureHooks hooks) {
  Hooks = std::move(hooks);
}

const CaptureHooks& InstalledCaptureHooks() {
  return Hooks;
}
