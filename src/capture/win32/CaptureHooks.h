// What the application does around a capture, installed by it: the clip player lets go of
// its file (it may be the one about to be replaced), the panels step aside while a capture
// runs and come back after it, the clip written is handed on to be played, and the
// dialogs the user sees (the Capture Frames dialog, the notice during a video capture, the
// conversion's progress) are put up and taken down. A hook not installed does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

struct CaptureHooks {
  std::function<void()> ReleaseClip;
  std::function<void()> HidePanels;
  std::function<void()> RestorePanels;
  std::function<void()> CapturedVideoReady;
  // Runs the Capture Frames dialog modally: 1 after Done, 0 when it could not start.
  std::function<int()> RunFramesDialog;
  std::function<void()> ShowVideoNotice;
  std::function<void()> CloseVideoNotice;
  std::function<void(uint32_t frames)> ShowConversionProgress;
  std::function<void()> StepConversionProgress;
  std::function<void()> CloseConversionProgress;
};
void SetCaptureHooks(CaptureHooks hooks);
const CaptureHooks& InstalledCaptureHooks();

// Calls one of InstalledCaptureHooks(), when it is there.
template <typename Hook, typename... Args>
void CallCaptureHook(Hook CaptureHooks::*hook, Args&&... args) {
  if (const auto& call = InstalledCaptureHooks().*hook) call(std::forward<Args>(args)...);
}
