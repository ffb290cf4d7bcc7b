// The dialogs around a capture: the Capture Frames dialog, which takes a picture per
// Capture until Done; the notice shown while video is captured; and the progress of the
// conversion into the AVI file. The captures reach them through the hooks the
// application installs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "resource.h"

inline constexpr int kCaptureFramesDialogId = IDD_CAPTURE_FRAMES;
inline constexpr int kFrameCountId = IDC_FRAME_COUNT;
inline constexpr int kCaptureButtonId = IDC_CAPTURE;
inline constexpr int kDoneButtonId = IDC_DONE;
inline constexpr int kCaptureNoticeId = IDD_CAPTURE_NOTICE;
inline constexpr int kProgressDialogId = IDD_CONVERSION_PROGRESS;
inline constexpr int kProgressBarId = IDC_CONVERSION_BAR;

inline constexpr char kFramesCreateMessage[] = "Unable to create file for capture frames.";
inline constexpr char kFramesMemoryMessage[] =
    "Unable to allocate memory for lpUYVY for capture frames";
inline constexpr char kFramesDiskSpaceMessage[] =
    "You don't have sufficient disk space to capture frames.";
inline constexpr char kFramesVsyncMessage[] = "Fail to wait for VSYNC for capture frames.";
inline constexpr char kFramesLockMessage[] = "Unable to lock overlay surface for capture frames.";

struct CaptureDialogsState {
  HWND Notice = nullptr;          // the video capture notice while it shows
  HWND ProgressDialog = nullptr;  // the conversion's progress while it runs
};
extern CaptureDialogsState CaptureDialogs;

// The Capture Frames dialog, modal over the main panel (or the video window without one):
// 1 after Done, 0 when the sequence could not start (already reported).
int RunCaptureFramesDialog();

// The modeless notice over the video window, painted at once: nothing is dispatched
// while video is captured.
void ShowCaptureNotice();
void CloseCaptureNotice();

// The modeless progress dialog over the video window, its bar ranged 0..frames; each step
// moves it by one picture.
void ShowConversionProgress(uint32_t frames);
void StepConversionProgress();
void CloseConversionProgress();
