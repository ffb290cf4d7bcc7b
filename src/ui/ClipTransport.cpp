#include "ui/ClipTransport.h"

#include <commctrl.h>

#include <cstdio>

#include "capture/win32/StillCapture.h"
#include "display/win32/OverlayPlacement.h"
#include "playback/VideoPlayer.h"
#include "resource.h"
#include "ui/FilePickers.h"
#include "ui/MainPanel.h"
#include "ui/SkinPanel.h"
#include "ui/ViewState.h"

namespace {

// Once a clip was loaded the trackbar stays usable: it can bring play mode back.
void EnableTrackbar(HWND panel) {
  EnableWindow(ClipTrackbar(panel), TRUE);
}

void SetTrackbarRange(HWND panel) {
  const auto last = static_cast<WORD>(Playback.videoLength - 1);
  SendMessageA(ClipTrackbar(panel), TBM_SETRANGE, TRUE, MAKELPARAM(0, last));
}

void SetTrackbarPosition(HWND panel, uint32_t position) {
  SendMessageA(ClipTrackbar(panel), TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
}

// Only on the way in, so a second clip keeps the mode from before the first.
void EnterPlayMode(HWND panel) {
  if (VideoWindow.ViewMode == kPlaybackMode) return;
  SendMessageA(VideoWindow.Window, WM_COMMAND, kCmdEnterPlayMode, 0);
  ForceRepaint(panel);
}

// Loaded, at the start or where a play ended: Play and Stop available.
void ShowClipReady(HWND panel) {
  EnableTrackbar(panel);
  MainPanelShowTransport(panel, 0, 1, 0);
}

}  // namespace

HWND ClipTrackbar(HWND panel) {
  return GetDlgItem(panel, IDC_POSITION_TRACKBAR);
}

void OpenClip(HWND panel) {
  if (!PickVideoFile(panel)) return;
  if (!OpenVideo(VideoWindow.Window)) return;
  ShowFirstFrame(panel);
  ShowClipReady(panel);
  SetTrackbarRange(panel);
  SetTrackbarPosition(panel, 0);
  EnterPlayMode(panel);
  ForceRepaint(panel);
}

void PlayClip(HWND panel) {
  EnableTrackbar(panel);
  MainPanelShowTransport(panel, 1, 0, 0);
  EnterPlayMode(panel);
  const bool alreadyPlaying = Playback.videoPlaying != 0;
  if (PlayVideo(panel) || alreadyPlaying) {
    SetTimer(panel, kTimerPlaybackPosition, kPlaybackPositionMs, nullptr);
  } else {
    // The device refused to play: no notice will come, so the clip stays ready.
    ShowClipReady(panel);
  }
  ForceRepaint(panel);
}

void PauseClip(HWND panel) {
  StopVideo();
  KillTimer(panel, kTimerPlaybackPosition);
  ShowClipReady(panel);
  ForceRepaint(panel);
}

void StopClip(HWND panel) {
  EnableTrackbar(panel);
  StopVideo();
  KillTimer(panel, kTimerPlaybackPosition);
  SendMessageA(VideoWindow.Window, WM_COMMAND, kCmdLeavePlayMode, 0);
  PaintColorKey();
}

// Timer 11: the frame counter and the trackbar follow the clip.
void ShowPlaybackPosition(HWND panel) {
  const uint32_t p = VideoPosition();
  if (p >= Playback.videoLength) return;
  MainPanelShowPosition(panel, p);
  SetTrackbarPosition(panel, p);
}

// MM_MCINOTIFY. Notices of a device closed since (an earlier clip) are not ours.
void ClipNotice(HWND panel, WPARAM code, LPARAM device) {
  if (!Playback.videoOpen || static_cast<MCIDEVICEID>(device) != Playback.videoDevice) return;
  if (IsEndOfPlay(code)) {
    Playback.videoPlaying = 0;
    SeekVideoToStart();
    // Whatever the play left covered or erased in the window shows the clip's start again.
    if (VideoWindow.ViewMode == kPlaybackMode) PaintColorKey();
  } else if (code == MCI_NOTIFY_FAILURE && Playback.videoPlaying) {
    // The clip broke off (a damaged frame): it stays where it is, ready to play again.
    Playback.videoPlaying = 0;
  } else {
    return;
  }
  KillTimer(panel, kTimerPlaybackPosition);
  SetTrackbarPosition(panel, VideoPosition());
  ShowClipReady(panel);
  ForceRepaint(panel);
}

void TrackbarMoved(HWND panel, WPARAM wParam) {
  const int length = static_cast<int>(Playback.videoLength);
  int p = 0;
  switch (LOWORD(wParam)) {
    case TB_PAGEUP:
      p = static_cast<int>(SendMessageA(ClipTrackbar(panel), TBM_GETPOS, 0, 0));
      if (p < 0) p = 0;
      SeekVideo(panel, static_cast<uint32_t>(p));
      break;
    case TB_PAGEDOWN:
      p = static_cast<int>(SendMessageA(ClipTrackbar(panel), TBM_GETPOS, 0, 0));
      if (p >= length) p = length - 1;
      SeekVideo(panel, static_cast<uint32_t>(p));
      break;
    case TB_THUMBTRACK:
      SeekVideo(panel, HIWORD(wParam));
      break;
  }
  if (VideoWindow.ViewMode != kPlaybackMode) {
    MainPanelShowTransport(panel, 0, 1, 0);
    EnterPlayMode(panel);
  }
  ForceRepaint(panel);
}

// Message 1224: the clip a capture just wrote waits in the player; the mode stays.
void LoadCapturedClip(HWND panel) {
  std::snprintf(Playback.videoFileName, sizeof Playback.videoFileName, "%s",
                CaptureOptions.aviFileName);
  if (!OpenVideo(VideoWindow.Window)) return;
  EnableTrackbar(panel);
  MainPanelShowTransport(panel, 0, 1, 1);
  SetTrackbarRange(panel);
  SetTrackbarPosition(panel, 0);
  ForceRepaint(panel);
}
