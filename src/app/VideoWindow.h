// The video window: where the picture is shown, and the one receiver of commands
// from the keys, the panels and the menu.
#pragma once

#include <windows.h>

#include "display/win32/DisplayChain.h"
#include "ui/ViewState.h"
#include "win32/MessageBox.h"

inline constexpr char kVideoWindowClass[] = "QUENDALUMETRA";
inline constexpr const char* kVideoWindowTitle = kProductCaption;

// Styles by situation. The low bits mean nothing on a top-level window and are kept as
// the window has always carried them.
inline constexpr DWORD kStyleLowBits = 0x0008;
inline constexpr DWORD kStyleLiveWindowLowBits = 0x0308;
inline constexpr DWORD kStyleCreation = WS_POPUP | WS_THICKFRAME | kStyleLowBits;
inline constexpr DWORD kStyleLiveWindow =
    WS_POPUP | WS_BORDER | WS_THICKFRAME | kStyleLiveWindowLowBits;
inline constexpr DWORD kStyleFullScreen = WS_POPUP;
inline constexpr DWORD kStyleCaptureMode = WS_DLGFRAME | kStyleLowBits;
static_assert(kStyleCreation == 0x80040008);
static_assert(kStyleLiveWindow == 0x80840308);
static_assert(kStyleFullScreen == 0x80000000);
static_assert(kStyleCaptureMode == 0x00400008);

// SavedWidth and SavedHeight both this: Capture Mode was entered from full screen.
inline constexpr int kSavedFromFullScreen = 9999;

// Posted by the video window to itself after creation (wParam 0, lParam 0): start live video.
inline constexpr UINT kMsgStartLiveVideo = 1124;

// The window's own timer ends a channel-number entry. Its other timers are armed from below
// (the display's overlay tick, the on-screen display's erasing of the channel display):
// no id may be taken twice.
inline constexpr UINT_PTR kTimerChannelEntry = 2;
inline constexpr UINT kChannelEntryMs = 1300;
static_assert(kTimerChannelEntry != kTimerOverlay && kTimerChannelEntry != kTimerChannelDisplay &&
              kTimerOverlay != kTimerChannelDisplay);

// What only the video window's own procedure uses: the main panel's toggle
// in full screen, dragging, and the channel digits collected so far.
struct VideoWindowInputState {
  int PanelShown = 0;
  int Dragging = 0;
  POINT DragPoint = {0, 0};
  int DigitCount = 0;
  int EnteredNumber = 0;
  // The windowed size from before full screen, kept while Capture Mode interrupts it.
  SIZE WindowedBeforeFullScreen = {0, 0};
  // The mode a stopped clip returns to: the one from before the first clip.
  int SavedViewMode = 0;
};
extern VideoWindowInputState VideoWindowInput;

bool CreateVideoWindow(HINSTANCE instance, int showCommand);
// Hands the lower layers what they need of this window: its view for the display and the
// captures, where the measured picture size goes, and what the application does around a
// source change, a clip's repaint and a capture. CreateVideoWindow does it first.
void ConnectVideoWindow();
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// kMsgStartLiveVideo: starts live video in the window, or says why it cannot and, without
// a video port or an overlay, ends the program.
void StartLiveVideoOrEnd(HWND window);
// The overlay refresh tick; ends the program when live video cannot be restored.
void VideoWindowTick();

// Ends the program the way Exit does: mute the tuner's sound, release the display,
// leave the message loop.
void EndProgram();
