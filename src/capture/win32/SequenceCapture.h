// Frame-sequence capture (a picture per Capture in a small dialog) and video capture (a
// picture per field until a key): raw pictures into kRawCaptureFileName while capturing,
// then one conversion into aviFileName.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "capture/FrameLimit.h"
#include "resource.h"

inline constexpr int kCaptureFramesDialogId = IDD_CAPTURE_FRAMES;
inline constexpr int kFrameCountId = IDC_FRAME_COUNT;
inline constexpr int kCaptureButtonId = IDC_CAPTURE;
inline constexpr int kDoneButtonId = IDC_DONE;
inline constexpr int kCaptureNoticeId = IDD_CAPTURE_NOTICE;

inline constexpr char kFramesCreateMessage[] = "Unable to create file for capture frames.";
inline constexpr char kFramesMemoryMessage[] =
    "Unable to allocate memory for lpUYVY for capture frames";
inline constexpr char kFramesDiskSpaceMessage[] =
    "You don't have sufficient disk space to capture frames.";
inline constexpr char kFramesVsyncMessage[] = "Fail to wait for VSYNC for capture frames.";
inline constexpr char kFramesLockMessage[] = "Unable to lock overlay surface for capture frames.";
inline constexpr char kFramesFormatMessage[] = "Unsupported image format for capture frames.";
inline constexpr char kVideoMemoryMessage[] = "Unable to allocate memory for lpUYVY.";
inline constexpr char kVideoFormatMessage[] = "Unsupported image format.";
inline constexpr char kVideoSummaryMessage[] = "Captured %d frames, %.3f seconds.";
inline constexpr char kVideoDiskSpaceMessage[] =
    "You don't have sufficient disk space to capture video.";
// Added to the summary when the frame limit, not a key, ended the capture.
inline constexpr char kVideoDiskSpaceEndMessage[] =
    "\n\nThe capture ended because the disk is nearly full.";
inline constexpr char kVideoFileSizeEndMessage[] =
    "\n\nThe capture ended because the file reached its largest size.";

struct SequenceCaptureState {
  HANDLE RawFile = INVALID_HANDLE_VALUE;
  uint8_t* Picture = nullptr;  // one raw picture, GlobalAlloc'd
  uint32_t Frames = 0;         // N
  uint32_t FrameLimit = kNoFrameLimit;
  bool LimitIsFileSize = false;  // the limit is the largest file's, not the free space's
  uint32_t Width = 0;            // the pictures' geometry, fixed when the raw file is created
  uint32_t Height = 0;
  HWND Notice = nullptr;  // the video capture notice while it shows
};
extern SequenceCaptureState SequenceCapture;

// What the application does around a capture: the clip player lets go of its file (it may
// be the one about to be replaced), the panels out of the way while it runs and back after
// it, and the clip it wrote handed on to be played.
struct CaptureHooks {
  std::function<void()> ReleaseClip;
  std::function<void()> HidePanels;
  std::function<void()> RestorePanels;
  std::function<void()> CapturedVideoReady;
};
void SetCaptureHooks(CaptureHooks hooks);

// Sets SequenceCapture.FrameLimit from the free space of the drives the capture writes
// (the raw file's and aviFileName's). 1 when the space could be read.
int ComputeFrameLimit();

// Runs the Capture Frames dialog modally; returns 1. Nothing happens while another
// capture runs; the dialog does not open when aviFileName cannot be written.
int CaptureFrames();
// 1 when a capture ran to its end (even if its conversion failed), 0 when abandoned,
// refused while another capture runs, or when aviFileName cannot be written.
int CaptureVideo();
