// The main panel: the skinned 420 x 70 control surface under the video window. Its buttons
// switch modes, go full screen, start captures, open dialogs and step through and change
// the source options; its read-out shows the mode, standard, input and picture size.
#pragma once

#include <windows.h>

#include <array>

#include "hw/SourceControl.h"
#include "ui/SkinPanel.h"
#include "ui/ViewState.h"

// Private messages to the main panel, with wParam 0 and lParam 0: the video window's size
// changed (redraw the size read-out), and a capture wrote a clip (open aviFileName).
inline constexpr UINT kMsgCapturedVideoReady = 1224;
inline constexpr UINT kMsgVideoSizeChanged = 1225;

// The panel's timers: auto-repeat of the Left/Right and Up/Down arrow buttons, and the
// playback position tick.
inline constexpr UINT_PTR kTimerArrowLeftRight = 9;
inline constexpr UINT_PTR kTimerArrowUpDown = 10;
inline constexpr UINT kArrowRepeatMs = 200;
inline constexpr UINT_PTR kTimerPlaybackPosition = 11;
inline constexpr UINT kPlaybackPositionMs = 30;

// Buttons with a lit (latched or unavailable) look, in the order the paint handler draws
// them. The first fourteen are the mode flags.
enum MainLitFlag {
  kLitCaptureMode,
  kLitLiveVideoMode,
  kLitSpare,
  kLitFullScreen,
  kLitCaptureVideo,
  kLitCaptureFrames,
  kLitCaptureSingleFrame,
  kLitSetCaptureFile,
  kLitVideoFormat,
  kLitSourceOptions,
  kLitLeft,
  kLitRight,
  kLitUp,
  kLitDown,
  kLitPlay,
  kLitPause,
  kLitStop,
  kMainLitFlagCount,
};
inline constexpr int kModeFlagCount = 14;

// Hot-area ids: also the commands the panel sends itself.
enum MainPanelButton {
  kButtonOpenVideoFile = 101,
  kButtonPlay = 102,
  kButtonPause = 103,
  kButtonStop = 104,
  kButtonAbout = 105,
  kButtonExit = 1153,
  kButtonMinimize = 1154,
  kButtonLogo = 1155,
  kButtonLiveVideoMode = 1157,
  kButtonCaptureMode = 1158,
  kButtonVideoFormat = 1160,
  kButtonSourceOptions = 1161,
  kButtonSetCaptureFile = 1162,
  kButtonCaptureSingleFrame = 1164,
  kButtonCaptureFrames = 1165,
  kButtonCaptureVideo = 1166,
  kButtonSpare = 1167,
  kButtonFullScreen = 1168,
  kButtonUp = 1171,
  kButtonLeft = 1172,
  kButtonRight = 1173,
  kButtonDown = 1174,
};

// SourceOption values: which option the arrow buttons change (0: the options are hidden).
enum SourceOptionValue {
  kOptionNone = 0,
  kOptionBrightness = 1,
  kOptionContrast = 2,
  kOptionSaturation = 3,
  kOptionHue = 4,
  kOptionInput = 5,
  kOptionStandard = 6,
};
// The four picture rows in the order of the source service's controls.
static_assert(kOptionContrast - kOptionBrightness == static_cast<int>(PictureControl::Contrast));
static_assert(kOptionSaturation - kOptionBrightness ==
              static_cast<int>(PictureControl::Saturation));
static_assert(kOptionHue - kOptionBrightness == static_cast<int>(PictureControl::Hue));

inline constexpr int kMainPanelWidth = 420;
inline constexpr int kMainPanelHeight = 70;
inline constexpr char kMainPanelTitle[] = "Corvan Main Panel";

struct MainPanelState {
  HWND Window = nullptr;  // MainPanelWindow
  int Created = 0;        // MainPanelCreated
  HWND Tooltips = nullptr;
  HBRUSH PaletteBrush = nullptr;  // trackbar background on a palette device
  HBRUSH PlainBrush = nullptr;    // and on any other
  int SourceOption = kOptionNone;
  // Play mode's save area: the mode flags from before the first clip.
  std::array<int, kModeFlagCount> SavedModeFlags = {};
  // The mode the lit flags show.
  int ShownMode = kLiveVideoMode;
};
extern MainPanelState MainPanel;
extern SkinPanel MainPanelSkin;

void CreateMainPanel();
INT_PTR CALLBACK MainPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

// The lit flags as a fresh panel has them.
void ResetMainPanelLitFlags();

// The video window tells the panel after every mode change: the lit flags and the
// read-outs show the mode it is in now.
void MainPanelShowMode();

// The clip transport's looks, drawn at once: the lit flags of Play, Pause and Stop, and
// the frame counter (position + 1).
void MainPanelShowTransport(HWND panel, int play, int pause, int stop);
void MainPanelShowPosition(HWND panel, uint32_t position);

// The size read-out: the video window's client size ("352 x 240"); a minimised window
// keeps the picture size it had.
void MainPanelSizeText(char (&text)[32]);
