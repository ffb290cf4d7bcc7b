// Frame-sequence capture (a picture per Capture in the Capture Frames dialog, whose steps
// are here) and video capture (a picture per field until a key): raw pictures into
// kRawCaptureFileName while capturing, then one conversion into aviFileName.
#pragma once

#include <windows.h>

#include <cstdint>

#include "capture/FrameLimit.h"
#include "capture/win32/CaptureHooks.h"

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
};
extern SequenceCaptureState SequenceCapture;

// Sets SequenceCapture.FrameLimit from the free space of the drives the capture writes
// (the raw file's and aviFileName's). 1 when the space could be read.
int ComputeFrameLimit();

// Runs the Capture Frames dialog (through the hooks) and converts what it took; returns 1.
// Nothing happens while another capture runs; the dialog does not open when aviFileName
// cannot be written.
int CaptureFrames();

// The Capture Frames dialog's steps. Opening puts the panels aside, measures the frame
// limit and creates the raw file and the picture buffer; a failed opening has cleaned up
// after itself, and the panels stay aside.
enum class FramesOpening { Ready, NoRawFile, NoMemory };
FramesOpening OpenFrameSequence();
// One picture appended, or why not: no room left (the limit), no field, no surface.
enum class FrameTaken { Appended, NoRoom, NoVsync, NoLock };
FrameTaken TakeSequenceFrame();
// Done: the buffer goes and the raw file is closed, the pictures taken so far kept.
void CloseFrameSequence();
// 1 when a capture ran to its end (even if its conversion failed), 0 when abandoned,
// refused while another capture runs, or when aviFileName cannot be written.
int CaptureVideo();
