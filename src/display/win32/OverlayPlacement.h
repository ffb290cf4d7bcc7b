// Starts the port's video into the overlay and keeps the overlay over the visible part
// of the video window's client area: the port's crops and prescaling, the overlay's
// source and destination, the colour key painted into the window, and the 200 ms tick
// that repairs moves, covering windows and lost surfaces (rebuilding the display chain
// when it must).
#pragma once

#include <windows.h>

#include <functional>

struct OverlayPlacementState {
  DWORD PrescaleWidth = 0;  // 720 >> level
  DWORD LeftCrop = 0;
  DWORD TopCrop = 0;
  DWORD SourceBottom = 0;
  DWORD PrescaleHeight = 0;
  // What the last tick placed; the partial flag -1 makes the first tick place the overlay.
  RECT PlacedRect = {0, 0, 0, 0};
  int PlacedPartial = -1;
  // The client area it was placed for: a window resized with its visible part unchanged
  // (hanging off the screen) needs a new scale all the same.
  RECT PlacedClient = {0, 0, 0, 0};
  int DisplayLost = 0;  // the overlay is missing or lost until the chain is rebuilt
  // Where the overlay shows video, in screen pixels; empty while it is hidden. Only there
  // does the window hold the key: anywhere else the key would stand in for the picture.
  RECT ShownRect = {0, 0, 0, 0};
  RECT ShownInClient = {0, 0, 0, 0};  // the same in client coordinates, when last set
};
extern OverlayPlacementState Placement;

// Output format to a running port with a placed overlay; starts the refresh timer.
bool StartVideoPort();
// How the first start of live video went. Only PortNotStarted leaves the program running
// (without live video); after the others the display is to be released and the program
// ended, which is the application's to do.
enum class LiveVideoStart { Running, NoVideoPort, NoOverlay, PortNotStarted };
// The first start of live video, once the video window exists: opens and starts the port.
LiveVideoStart StartLiveVideo();

// False while the video window is minimised.
bool GetClientScreenRect(RECT& rect);
// The screen rectangle the overlay covers; `partial` 1 when the window is covered in part.
bool GetOverlayDestRect(RECT& rect, int& partial);
bool MapDestToSource(RECT& source, const RECT& fullSource, const RECT& dest);
void AlignSourceRect(RECT& rect);
void AlignDestRect(RECT& rect);
// (LeftCrop, TopCrop, PrescaleWidth - LeftCrop, SourceBottom).
RECT FullSourceRect();
void HideOverlay();
// Before the thread blocks for a long time (the processing after a capture): hides the
// overlay and paints its place black at once, as nothing will repair the picture until
// the thread runs again; the next tick places the overlay afresh.
void PauseOverlay();
bool UpdateOverlayPosition();
bool ConfigureVideoPort(int level);
// Tries the prescale levels 0..4 until one places the overlay.
bool RestartVideo();
// Fills the part of the client area the overlay covers with the colour key, so the
// overlay shows through, and the rest (all of it while no overlay is up) with black. In
// play mode the clip's picture is drawn instead, by what the application installs here.
void PaintColorKey();
void SetClipRepaint(std::function<void()> repaint);
// The video window's refresh tick (kTimerOverlay), and the rebuild after a standard change.
// False when live video cannot be restored (no overlay to be had): the display has been
// released, and the program cannot go on.
bool OverlayTick();
