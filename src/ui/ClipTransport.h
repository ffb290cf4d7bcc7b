// The main panel's clip controls: Open Video File, Play, Pause and Stop, the position
// trackbar and its timer, and the two notices a clip sends the panel. A clip takes the
// video window into play mode and Stop brings it back; the panel draws the looks.
#pragma once

#include <windows.h>

HWND ClipTrackbar(HWND panel);

void OpenClip(HWND panel);
void PlayClip(HWND panel);
void PauseClip(HWND panel);
void StopClip(HWND panel);
// kTimerPlaybackPosition: the frame counter and the trackbar follow the clip.
void ShowPlaybackPosition(HWND panel);
// MM_MCINOTIFY.
void ClipNotice(HWND panel, WPARAM code, LPARAM device);
// WM_HSCROLL from the trackbar.
void TrackbarMoved(HWND panel, WPARAM wParam);
// kMsgCapturedVideoReady: the clip a capture just wrote waits in the player.
void LoadCapturedClip(HWND panel);
