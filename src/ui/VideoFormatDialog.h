// "Video Format": the size of the live picture (six window sizes or full screen) and the
// image format of the AVI files that frame-sequence and video capture write.
#pragma once

#include <windows.h>

// Modal, owned by the main panel; returns when the dialog ends.
void ShowVideoFormatDialog();
INT_PTR CALLBACK VideoFormatDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
