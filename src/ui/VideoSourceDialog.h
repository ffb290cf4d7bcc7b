// The Video Source dialog: input, video standard and the four picture controls. Every
// change reaches the decoder at once; OK keeps the changes in the Settings, Cancel puts
// the hardware back as stored. Modeless, owned by the main panel, one at a time.
#pragma once

#include <windows.h>

#include <cstdint>

// What the dialog edits; the Settings change only at OK.
struct VideoSourceWorkingCopy {
  int32_t Brightness = 0;
  int32_t Contrast = 0;
  int32_t Saturation = 0;
  int32_t Hue = 0;
  int32_t VideoConnector = 0;
  int32_t VideoStandard = 0;
};

struct VideoSourceDialogState {
  int VideoSourceOpen = 0;  // 1 while the dialog exists
  HWND Window = nullptr;    // the main loop hands it its keyboard navigation
  VideoSourceWorkingCopy Working;
};
extern VideoSourceDialogState VideoSourceDialog;

inline constexpr char kTunerMissingMessage[] =
    "Cannot find a TUNER.\nA TUNER is required for this function to run.";
inline constexpr char kInvalidControlMessage[] = "Invalid control ID";

// Scroll bars run 0..264 with a page of 10, so the thumb covers the values 0..255.
inline constexpr int kPictureScrollMax = 264;
inline constexpr int kPictureScrollPage = 10;

// Opens the dialog unless it is open already (then nothing, not even activation).
void ShowVideoSourceDialog();
INT_PTR CALLBACK VideoSourceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A picture setting after a scroll code: lines of 1, pages of 10, the thumb's position
// as given; clamped to 0..255. Other codes keep the value.
int ScrolledPictureValue(int value, int code, int thumbPosition);
