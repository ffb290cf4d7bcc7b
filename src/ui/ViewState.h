// The video window as the panels and dialogs see it: its handle, mode and picture size,
// its context menu, and the two panels' handles. The video window itself (app/) owns this
// state and its instance and changes the mode only through its mode machine; the panels
// read it and write only what they share (the windowed size from the Video Format dialog,
// their own handles).
#pragma once

#include <windows.h>

enum ViewModeValue { kLiveVideoMode = 1, kCaptureMode = 2, kPlaybackMode = 3 };

struct VideoWindowState {
  HWND Window = nullptr;
  int ViewMode = kLiveVideoMode;
  int FullScreen = 0;
  int PictureWidth = 0;  // the client size in pixels
  int PictureHeight = 0;
  int SavedWidth = 0;  // the client size to return to from full screen or Capture Mode
  int SavedHeight = 0;
  int EntryTimerActive = 0;  // channel digits are being collected
  // The menu a right click opens; the tuner panel checks its "Panel" item and the Video
  // Source dialog enables its "Tuner" submenu.
  HMENU ContextMenu = nullptr;
};
// The context menu's "Tuner" submenu, by position.
inline constexpr UINT kTunerSubmenuPosition = 3;
// Defined with the video window, which writes it.
extern VideoWindowState VideoWindow;

// Handles of the two skinned control panels; null while a panel does not exist.
struct PanelHandles {
  HWND MainPanel = nullptr;
  HWND TunerPanel = nullptr;
};
extern PanelHandles Panels;

// Sizes the video window for a client area, centred across and a third of the way down.
void SizeVideoWindow(HWND window, int clientWidth, int clientHeight);

// WM_COMMAND to the video window from the clip transport: a clip takes the window into
// play mode, and Stop returns it to the mode from before.
inline constexpr UINT kCmdEnterPlayMode = 40090;
inline constexpr UINT kCmdLeavePlayMode = 40091;

// The video window's timer that erases the channel display, armed by the on-screen
// display and handled by the video window.
inline constexpr UINT_PTR kTimerChannelDisplay = 3;
inline constexpr UINT kChannelDisplayMs = 2000;
