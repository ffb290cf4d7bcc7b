// The standard file dialogs behind the Set Capture File dialog's two Browse buttons and
// the main panel's Open Video File button. Each asks again, after a message, until the
// user picks a name of the right type or cancels.
#pragma once

#include <windows.h>

#include "capture/CaptureNames.h"

inline constexpr char kUnsupportedFileTypeMessage[] = "Not supported file type.";

// Save pickers: `workingName` takes the chosen name when its extension is .bmp / .avi and
// is left alone when the user cancels.
void PickStillFileName(HWND owner, char (&workingName)[kCaptureNameCapacity]);
void PickAviFileName(HWND owner, char (&workingName)[kCaptureNameCapacity]);

// Open picker for a clip: 1 with the player's videoFileName set, 0 (the name untouched)
// when cancelled or when a picker of this kind is already open.
int PickVideoFile(HWND owner);
