// The video window: where the picture is shown, and the one receiver of commands
// from the keys, the panels and the menu.
#pragma once

#include <windows.h>

inline constexpr char kVideoWindowClass[] = "QUENDALUMETRA";
inline constexpr char kVideoWindowTitle[] = "Corvan Telvista";

// Styles by situation. The low bits 0x0008 and 0x0308 mean nothing on a top-level window
// and are kept as the window has always carried them.
inline constexpr DWORD kStyleCreation = 0x80040008;     // WS_POPUP | WS_THICKFRAME
inline constexpr DWORD kStyleLiveWindow = 0x80840308;   // WS_POPUP | WS_BORDER | WS_THICKFRAME
inline constexpr DWORD kStyleFullScreen = 0x80000000;   // WS_POPUP
inline constexpr DWORD kStyleCaptureMode = 0x00400008;  // WS_DLGFRAME

inline constexpr UINT kMsgStartLiveVideo = 1124;

inline constexpr UINT_PTR kTimerOverlay = 1;
inline constexpr UINT_PTR kTimerChannelEntry = 2;
inline constexpr UINT_PTR kTimerChannelDisplay = 3;
inline constexpr UINT kChannelEntryMs = 1300;

// Both 9999: Capture Mode was entered from full screen.
inline constexpr int kSavedFromFullScreen = 9999;

enum ViewModeValue { kLiveVideoMode = 1, kCaptureMode = 2, kPlaybackMode = 3 };

struct VideoWindowState {
  HWND Window = nullptr;
  HMENU ContextMenu = nullptr;
  int ViewMode = kLiveVideoMode;
  int FullScreen = 0;
  int PictureWidth = 0;
  int PictureHeight = 0;
  int SavedWidth = 0;
  int SavedHeight = 0;
  int PanelShown = 0;
  int Dragging = 0;
  POINT DragPoint = {0, 0};
  int DigitCount = 0;
  int EnteredNumber = 0;
  int EntryTimerActive = 0;
};
extern VideoWindowState VideoWindow;

// The whole screen, as the display chain measures it.
extern RECT ScreenRect;

bool CreateVideoWindow(HINSTANCE instance, int showCommand);
// Sizes the window for a client area, centred across and a third of the way down.
void SizeVideoWindow(HWND window, int clientWidth, int clientHeight);
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Ends the program the way Exit does: mute the tuner's sound, release the display,
// leave the message loop.
void EndProgram();
