// The tuner panel: the remote control of the TV input. A skinned 140 x 304 window with a
// keypad, channel and volume rockers, mute, recall, autoscan and channel list, showing
// the channel, its name, the audio mode and the volume. It exists only while the Tuner
// input is in use; its handle lives in Panels.TunerPanel.
#pragma once

#include <windows.h>

#include "ui/SkinPanel.h"

// WM_COMMAND to the tuner panel, from its close button and from the Video Source dialog.
inline constexpr UINT kCmdCloseTunerPanel = 1082;

// The panel's timers: auto-repeat of the volume and channel rockers, and the erasing of
// the volume and "Mute" displays.
inline constexpr UINT_PTR kTimerVolumeRepeat = 5;
inline constexpr UINT kVolumeRepeatMs = 400;
inline constexpr UINT_PTR kTimerChannelRepeat = 6;
inline constexpr UINT kChannelRepeatMs = 300;
inline constexpr UINT_PTR kTimerVolumeDisplay = 7;
inline constexpr UINT_PTR kTimerMuteDisplay = 8;
inline constexpr UINT kNoticeDisplayMs = 3000;

// Hot-area ids: each is also the command the panel sends itself on release.
enum TunerButton : int {
  kTunerClose = kCmdCloseTunerPanel,  // also sent by the Video Source dialog
  kTunerMinimise = 1085,
  kTunerDigit1 = 1086,
  kTunerDigit2 = 1087,
  kTunerChannelDown = 1088,
  kTunerDigit3 = 1089,
  kTunerDigit4 = 1090,
  kTunerDigit5 = 1091,
  kTunerDigit6 = 1092,
  kTunerDigit7 = 1093,
  kTunerDigit8 = 1094,
  kTunerDigit9 = 1095,
  kTunerDigit0 = 1096,
  kTunerChannelUp = 1097,
  kTunerAutoscan = 1099,
  kTunerChannelList = 1100,
  kTunerRecall = 1101,
  kTunerEnter = 1103,
  kTunerMute = 1104,
  kTunerVolumeDown = 90001,
  kTunerVolumeUp = 90002,
};

inline constexpr int kTunerPanelWidth = 140;
inline constexpr int kTunerPanelHeight = 304;
inline constexpr char kTunerPanelTitle[] = "Corvan Tuner Panel";

struct TunerPanelState {
  SkinPanel Skin;
  SkinImage SoundOnMark;
  SkinImage MutedMark;
  // 1 shows "MTS", anything else "SAP"; the main panel sets it when it is created.
  int AudioModeIndicator = 0;
  // The input the panel returns to when it closes: S-Video (1001) or else Composite.
  int InputBeforeTuner = 1002;
  // The sound mark the last paint drew (its resource id), 0 before the first paint.
  int ShownMark = 0;
};
extern TunerPanelState TunerPanel;

// Creates and shows the panel unless it exists.
void ShowTunerPanel();
HWND TunerPanelWindow();
bool TunerPanelExists();
// Ends the panel without its closing steps (the main panel does this when it leaves the
// Tuner input itself).
void EndTunerPanel();
// Called where the Tuner input gets chosen, with the input in force until then.
void RememberInputBeforeTuner(int connector);

// Volume bar segments lit on the panel for a Volume of 234..255: 0..11.
constexpr int TunerVolumeSegments(int volume) {
  return (volume - 233) / 2;
}

INT_PTR CALLBACK TunerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
