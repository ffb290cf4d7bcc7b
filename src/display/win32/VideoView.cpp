#include "display/win32/VideoView.h"

#include <utility>

namespace {
VideoViewHooks Hooks;
}  // namespace

void SetVideoViewHooks(VideoViewHooks hooks) {
  Hooks = std::move(hooks);
}

VideoView CurrentVideoView() {
  return Hooks.Current ? Hooks.Current() : VideoView{};
}

HWND VideoViewWindow() {
  return CurrentVideoView().Window;
}

void ReportPictureSize(int width, int height) {
  if (Hooks.PictureMeasured) Hooks.PictureMeasured(width, height);
}
