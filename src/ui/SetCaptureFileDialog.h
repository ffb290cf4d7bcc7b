// "Set Capture File": where still captures go (clipboard or a BMP file, numbered or not),
// their size, and the AVI file of frame-sequence and video capture. Edits a working copy
// of CaptureOptions that only OK writes back.
#pragma once

#include <windows.h>

// A name typed or pasted beyond the 254 characters a name field holds.
inline constexpr char kNameTooLongMessage[] = "The file name is too long.";
inline constexpr UINT kNameTooLongStyle = MB_TOPMOST | MB_ICONHAND;

// Modal, owned by the main panel; returns when the dialog ends.
void ShowSetCaptureFileDialog();
INT_PTR CALLBACK SetCaptureFileDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
