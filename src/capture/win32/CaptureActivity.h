// Whether a capture runs: a still being taken, the Capture Frames dialog open, a video
// capture or its conversion. One capture at a time: every capture command asks here
// first, and menus grey their capture items while it says so.
#pragma once

bool CaptureInProgress();

// Marks a capture as running for its lifetime.
class CaptureActivity {
 public:
  CaptureActivity();
  ~CaptureActivity();
  CaptureActivity(const CaptureActivity&) = delete;
  CaptureActivity& operator=(const CaptureActivity&) = delete;
};
