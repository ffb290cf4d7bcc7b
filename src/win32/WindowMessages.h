// The program's private window messages, the command ids that cross windows without
// being resource ids, and every window's timers with their periods: one table, so a
// number is never taken twice.
#pragma once

#include <windows.h>

// Private messages, all with wParam 0 and lParam 0.
inline constexpr UINT kMsgStartLiveVideo = 1124;      // video window to itself, after creation
inline constexpr UINT kMsgCapturedVideoReady = 1224;  // capture to the main panel: open aviFileName
inline constexpr UINT kMsgVideoSizeChanged = 1225;    // video window to the main panel

// WM_COMMAND to the tuner panel, from its close button and from the Video Source dialog.
inline constexpr UINT kCmdCloseTunerPanel = 1082;

// WM_COMMAND to the video window from the clip transport: a clip takes the window into
// play mode, and Stop returns it to the mode from before.
inline constexpr UINT kCmdEnterPlayMode = 40090;
inline constexpr UINT kCmdLeavePlayMode = 40091;

// Video window timers: the overlay refresh tick (slower while a display rebuild keeps
// failing), the end of a channel-number entry, the erasing of the channel display.
inline constexpr UINT_PTR kTimerOverlay = 1;
inline constexpr UINT kOverlayTickMs = 200;
inline constexpr UINT kOverlayRetryMs = 2000;
inline constexpr UINT_PTR kTimerChannelEntry = 2;
inline constexpr UINT kChannelEntryMs = 1300;
inline constexpr UINT_PTR kTimerChannelDisplay = 3;
inline constexpr UINT kChannelDisplayMs = 2000;

// Main panel timers: auto-repeat of the Left/Right and Up/Down arrow buttons, and the
// playback position tick.
inline constexpr UINT_PTR kTimerArrowLeftRight = 9;
inline constexpr UINT_PTR kTimerArrowUpDown = 10;
inline constexpr UINT kArrowRepeatMs = 200;
inline constexpr UINT_PTR kTimerPlaybackPosition = 11;
inline constexpr UINT kPlaybackPositionMs = 30;

// Tuner panel timers: auto-repeat of the volume and channel rockers, and the erasing of
// the volume and "Mute" displays.
inline constexpr UINT_PTR kTimerVolumeRepeat = 5;
inline constexpr UINT kVolumeRepeatMs = 400;
inline constexpr UINT_PTR kTimerChannelRepeat = 6;
inline constexpr UINT kChannelRepeatMs = 300;
inline constexpr UINT_PTR kTimerVolumeDisplay = 7;
inline constexpr UINT_PTR kTimerMuteDisplay = 8;
inline constexpr UINT kNoticeDisplayMs = 3000;
