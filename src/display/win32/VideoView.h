// The video window as the display chain and the captures see it: the window they key,
// clip, grab for and report to, its picture size, and whether a clip shows in it. The
// application owns the window and its state and hands them over here, on demand; the
// port configuration's measurement of the picture goes back the same way.
#pragma once

#include <windows.h>

#include <functional>

struct VideoView {
  HWND Window = nullptr;
  int PictureWidth = 0;  // the client size in pixels
  int PictureHeight = 0;
  bool ShowsClip = false;  // play mode: the clip's picture, not live video
};

struct VideoViewHooks {
  std::function<VideoView()> Current;
  std::function<void(int width, int height)> PictureMeasured;
};
void SetVideoViewHooks(VideoViewHooks hooks);

// An empty view until the application has handed one over.
VideoView CurrentVideoView();
HWND VideoViewWindow();
void ReportPictureSize(int width, int height);
