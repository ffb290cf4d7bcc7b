// The video window: where the picture is shown, and the one receiver of commands.
#pragma once

#include <windows.h>

inline constexpr char kVideoWindowClass[] = "QUENDALUMETRA";
inline constexpr char kVideoWindowTitle[] = "Corvan Telvista";

inline constexpr DWORD kStyleCreation = 0x80040008;

inline constexpr UINT kMsgStartLiveVideo = 1124;

struct VideoWindowState {
  HWND Window = nullptr;
  int ViewMode = 1;  // 1 LiveVideo, 2 Capture, 3 playback
  int PictureWidth = 0;
  int PictureHeight = 0;
};
extern VideoWindowState VideoWindow;

bool CreateVideoWindow(HINSTANCE instance, int showCommand);
// Sizes the window for a client area, centred across and a third of the way down.
void SizeVideoWindow(HWND window, int clientWidth, int clientHeight);
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
