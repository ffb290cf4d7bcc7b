// AVI clips in the video window through the Media Control Interface: one open clip at a
// time, a playing flag and the clip's length in frames. Positions are frame numbers from 0.
// Playback uses only the Win32 base layer and sits beside display and capture, which call
// it (the colour-key repaint shows a still clip; a capture closes the clip before it
// rewrites the file), as the panels do.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>

struct PlaybackState {
  char videoFileName[256] = {};
  MCIDEVICEID videoDevice = 0;
  int videoOpen = 0;
  int videoPlaying = 0;  // a play command is running
  uint32_t videoLength = 0;
  HWND videoWindow = nullptr;  // the window the open clip shows in
};
extern PlaybackState Playback;

inline constexpr char kUnableToOpenVideoMessage[] = "Unable to open %s";

// Opens the "avivideo" device once without a file, so the first clip opens quickly.
int PreloadVideoDriver();
void ReleaseVideoDriver();

// Opens Playback.videoFileName for display in `window`, closing any clip first. 1 on
// success; 0 after telling the user. The program reads the file's headers and index
// first, and a file it would not trust never reaches the device. A file the device opens but cannot
// report a length for is closed again and fails the same way.
int OpenVideo(HWND window);
void CloseVideo(HWND window);
// Plays on from the current position; the completion notice goes to `notifyWindow`.
// False when a play is already running or the device refused it (nothing is running then).
bool PlayVideo(HWND notifyWindow);
// Plays the range 0..0, which shows the first frame and then sends the completion notice.
bool ShowFirstFrame(HWND notifyWindow);
void PauseVideo();
void StopVideo();
// Moves to `frame`; a running play goes on from there.
void SeekVideo(HWND notifyWindow, uint32_t frame);
// Back to frame 0 (after the completion notice).
void SeekVideoToStart();
// The completion notice of the play that is running: the device says so and has stopped.
// Some devices also report a play that was stopped or paused on purpose as successful;
// those notices come when nothing, or a newer play, is running, and are not the end.
bool IsEndOfPlay(WPARAM code);
// The current frame, or 0 when the device cannot say.
uint32_t VideoPosition();
// Fits the picture to the window's client area. Nothing without an open clip.
void PlaceVideo(HWND window);
// Redraws a still clip picture into the window it shows in. Nothing while playing.
void RepaintVideo();

// Tests watch the commands sent (they still go to MCI); nullptr stops watching.
using MciCommandObserver = void (*)(MCIDEVICEID device, UINT command, DWORD_PTR flags);
void SetMciCommandObserver(MciCommandObserver observer);
