// Still capture: two grabs averaged, enlarged by the size factor, converted to 24-bit
// colour and saved as a BMP file or placed on the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>

#include "capture/CaptureNames.h"

// The capture settings of the running program: memory only, edited by the Set Capture
// File and Video Format dialogs.
struct CaptureOptionsData {
  bool toClipboard = false;
  bool numberedNames = false;
  uint32_t nameCounter = 1;
  int sizeFactor = 1;  // 1..5
  char stillFileName[kCaptureNameCapacity] = "c:\\capture.bmp";
  char aviFileName[kCaptureNameCapacity] = "c:\\capture.avi";
  int aviFormat = 0;  // 0 24-bit RGB, 1 YVU9 planar
};
extern CaptureOptionsData CaptureOptions;

// Boxes of every capture: top-most, with no icon, the error icon or the information icon.
inline constexpr UINT kCaptureNoticeStyle = MB_TOPMOST;                        // 0x40000
inline constexpr UINT kCaptureSummaryStyle = MB_TOPMOST | MB_ICONINFORMATION;  // 0x40040

inline constexpr char kNoFirstGrabMemoryMessage[] = "Unable to allocate memory for lpUYVU.";
inline constexpr char kNoStillImageMemoryMessage[] = "Unable to allocate memory for lpRGB24.";
inline constexpr char kVsyncTimeoutMessage[] = "Fail to wait for VSYNC.";
inline constexpr char kLockFailedMessage[] = "Unable to lock overlay surface.";
inline constexpr char kNoSecondGrabMemoryMessage[] = "Unable to allocate memory for lpUYVU_2.";
inline constexpr char kNoEnlargedMemoryMessage[] = "Unable to allocate memory for lpBuffer.";
inline constexpr char kClipboardMessage[] = "Unable to open clipboard.";
inline constexpr char kClipboardBitmapMessage[] = "Unable to copy the picture to clipboard.";
inline constexpr char kCreateFileMessage[] = "Unable to create file.\n(%s)";
inline constexpr char kWriteFileMessage[] = "Unable to write file.\n(%s)";

// 1 on success; 0 after the failure has been shown, with an earlier file of that name
// kept and the options unchanged, or at once while another capture runs.
int CaptureStill();

// Shows a capture message built from `format` and one name.
void ShowCaptureMessageWithName(const char* format, const char* name, UINT style);
