// The video window as the rest of the program sees it: its handle, mode and picture
// size, the screen it can fill, and the two panels' handles. The video window's own
// procedure lives in app/; the display, capture, panel and playback code read this
// state and write only what they share (PictureWidth and PictureHeight from the port
// configuration, ViewMode from playback, the windowed size from the Video Format dialog).
#pragma once

#include <windows.h>

enum ViewModeValue { kLiveVideoMode = 1, kCaptureMode = 2, kPlaybackMode = 3 };

// SavedWidth and SavedHeight both this: Capture Mode was entered from full screen.
inline constexpr int kSavedFromFullScreen = 9999;

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
extern VideoWindowState VideoWindow;

// (0, 0, width, height) of the screen in pixels; written by the display chain only.
extern RECT ScreenRect;

// Handles of the two skinned control panels; null while a panel does not exist.
struct PanelHandles {
  HWND MainPanel = nullptr;
  HWND TunerPanel = nullptr;
};
extern PanelHandles Panels;

// Sizes the video window for a client area, centred across and a third of the way down.
void SizeVideoWindow(HWND window, int clientWidth, int clientHeight);
