#include "app/VideoWindow.h"

#include <algorithm>
#include <utility>

#include "app/SettingsStore.h"
#include "capture/win32/CaptureActivity.h"
#include "capture/win32/CaptureHooks.h"
#include "capture/win32/SequenceCapture.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "display/win32/VideoView.h"
#include "hw/Audio.h"
#include "hw/Decoder.h"
#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "playback/VideoPlayer.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/AboutBox.h"
#include "ui/CaptureDialogs.h"
#include "ui/MainPanel.h"
#include "ui/OnScreenDisplay.h"
#include "ui/SetCaptureFileDialog.h"
#include "ui/SourceOptions.h"
#include "ui/TunerPanel.h"
#include "ui/VideoFormatDialog.h"
#include "ui/VideoSourceDialog.h"
#include "win32/ModalLoops.h"
#include "win32/WindowClass.h"

VideoWindowState VideoWindow;
VideoWindowInputState VideoWindowInput;

namespace {

bool TunerSelected() {
  return Settings.VideoConnector == kConnectorTuner;
}

void NotifyMainPanelOfSize() {
  if (Panels.MainPanel) SendMessageA(Panels.MainPanel, kMsgVideoSizeChanged, 0, 0);
}

// Every change of ViewMode or FullScreen ends here, whatever asked for it (a panel button,
// the menu, a key, a dialog, a clip): the panel shows the mode the window is in.
void ModeChanged() {
  MainPanelShowMode();
}

// The one place that decides whether the capture commands can run now; the menu greys
// them by it and the commands are ignored by it.
// One capture at a time: while one runs the others are greyed and ignored.
bool CaptureCommandsAvailable() {
  return VideoWindow.ViewMode == kCaptureMode && !CaptureInProgress();
}

// While the entry timer runs the channel display shows the bare number.
void ShowEnteredNumber(int number) {
  ShowChannelOsd(VideoWindow.Window, number);
}

void EnterFullScreen(HWND window) {
  if (Panels.TunerPanel) ShowWindow(Panels.TunerPanel, SW_MINIMIZE);
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kStyleFullScreen));
  ShowWindow(window, SW_SHOWMAXIMIZED);
  SetWindowPos(window, nullptr, 0, 0, ScreenRect.right, ScreenRect.bottom, SWP_NOZORDER);
  VideoWindow.SavedWidth = VideoWindow.PictureWidth;
  VideoWindow.SavedHeight = VideoWindow.PictureHeight;
  VideoWindow.FullScreen = 1;
  VideoWindowInput.PanelShown = 0;
  PlaceVideo(window);
  ModeChanged();
}

void LeaveFullScreen(HWND window) {
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kStyleLiveWindow));
  // Twice: the first pass changes the frame, the second measures the new frame.
  SizeVideoWindow(window, VideoWindow.SavedWidth, VideoWindow.SavedHeight);
  SizeVideoWindow(window, VideoWindow.SavedWidth, VideoWindow.SavedHeight);
  VideoWindow.FullScreen = 0;
  PlaceVideo(window);
  VideoWindow.PictureWidth = VideoWindow.SavedWidth;
  VideoWindow.PictureHeight = VideoWindow.SavedHeight;
  NotifyMainPanelOfSize();
  ModeChanged();
}

// The display has given up live video for good: say so and end, the tuner's sound off.
void EndWithoutLiveVideo() {
  if (TunerSelected()) AudioMute();
  ShowWindow(VideoWindow.Window, SW_HIDE);
  ShowProductMessage(nullptr, kNoLiveVideoMessage, kNoLiveVideoStyle);
  RequestQuit();
}

// Around a capture: the player lets go of the file, the main panel steps aside, and the
// clip written waits in the player.
void ReleaseClip() {
  CloseVideo(VideoWindow.Window);
}

void MinimiseMainPanel() {
  if (Panels.MainPanel) ShowWindow(Panels.MainPanel, SW_MINIMIZE);
}

void RestoreMainPanel() {
  if (Panels.MainPanel) ShowWindow(Panels.MainPanel, SW_RESTORE);
}

void HandOnCapturedClip() {
  if (Panels.MainPanel) SendMessageA(Panels.MainPanel, kMsgCapturedVideoReady, 0, 0);
}

// The window as the display and the captures see it, and the size the port configuration
// measured, kept as the window's own.
VideoView CurrentView() {
  return VideoView{VideoWindow.Window, VideoWindow.PictureWidth, VideoWindow.PictureHeight,
                   VideoWindow.ViewMode == kPlaybackMode};
}

void KeepMeasuredSize(int width, int height) {
  VideoWindow.PictureWidth = width;
  VideoWindow.PictureHeight = height;
}

// Live video rebuilt for the field of a new standard.
void RebuildForStandard(int standard) {
  Display.VideoPortConfig.FieldHeight = VideoPortFieldHeight(standard);
  DisplayRelease();
  VideoWindowTick();
}

void FitCaptureMode(int standard) {
  if (VideoWindow.ViewMode != kCaptureMode || !VideoWindow.Window) return;
  const PictureSize size = CaptureModeSize(standard, VideoWindow.PictureHeight);
  VideoWindow.PictureWidth = size.Width;
  VideoWindow.PictureHeight = size.Height;
  // Twice: the first pass changes the frame, the second measures the new frame.
  SizeVideoWindow(VideoWindow.Window, size.Width, size.Height);
  SizeVideoWindow(VideoWindow.Window, size.Width, size.Height);
}

void SwitchToCaptureMode(HWND window) {
  if (VideoWindow.FullScreen) {
    VideoWindowInput.WindowedBeforeFullScreen = {VideoWindow.SavedWidth, VideoWindow.SavedHeight};
    VideoWindow.SavedWidth = VideoWindow.SavedHeight = kSavedFromFullScreen;
  } else {
    VideoWindow.SavedWidth = VideoWindow.PictureWidth;
    VideoWindow.SavedHeight = VideoWindow.PictureHeight;
  }
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kStyleCaptureMode));
  const PictureSize size = CaptureModeSize(Settings.VideoStandard, VideoWindow.PictureHeight);
  VideoWindow.PictureWidth = size.Width;
  VideoWindow.PictureHeight = size.Height;
  // One pixel short first, so the window always goes through a real size change.
  SizeVideoWindow(window, VideoWindow.PictureWidth - 1, VideoWindow.PictureHeight - 1);
  SizeVideoWindow(window, VideoWindow.PictureWidth, VideoWindow.PictureHeight);
  VideoWindow.ViewMode = kCaptureMode;
  VideoWindow.FullScreen = 0;
  ModeChanged();
}

void SwitchToLiveVideoMode(HWND window) {
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kStyleLiveWindow));
  if (VideoWindow.SavedWidth == kSavedFromFullScreen &&
      VideoWindow.SavedHeight == kSavedFromFullScreen) {
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kStyleFullScreen));
    ShowWindow(window, SW_SHOWMAXIMIZED);
    // A later Esc returns to the window from before full screen, not to Capture Mode's.
    VideoWindow.SavedWidth = VideoWindowInput.WindowedBeforeFullScreen.cx;
    VideoWindow.SavedHeight = VideoWindowInput.WindowedBeforeFullScreen.cy;
    VideoWindow.FullScreen = 1;
    VideoWindow.PictureWidth = ScreenRect.right;
    VideoWindow.PictureHeight = ScreenRect.bottom;
    SetWindowPos(window, nullptr, 0, 0, VideoWindow.PictureWidth, VideoWindow.PictureHeight,
                 SWP_NOZORDER);
  } else {
    VideoWindow.PictureWidth = VideoWindow.SavedWidth;
    VideoWindow.PictureHeight = VideoWindow.SavedHeight;
    SizeVideoWindow(window, VideoWindow.PictureWidth, VideoWindow.PictureHeight);
    SizeVideoWindow(window, VideoWindow.PictureWidth, VideoWindow.PictureHeight);
    VideoWindow.FullScreen = 0;
  }
  VideoWindow.ViewMode = kLiveVideoMode;
  PlaceVideo(window);
  ModeChanged();
}

void EnterPlayMode() {
  if (VideoWindow.ViewMode == kPlaybackMode) return;
  VideoWindowInput.SavedViewMode = VideoWindow.ViewMode;
  VideoWindow.ViewMode = kPlaybackMode;
  ModeChanged();
}

void LeavePlayMode() {
  if (VideoWindow.ViewMode != kPlaybackMode) return;
  VideoWindow.ViewMode = VideoWindowInput.SavedViewMode;
  ModeChanged();
}

// Checks the mode and the input, and greys what would do nothing now.
void PrepareContextMenu(HMENU menu) {
  if (menu != VideoWindow.ContextMenu) return;
  const auto enabled = [](bool on) { return static_cast<UINT>(on ? MF_ENABLED : MF_GRAYED); };
  const auto checked = [](bool on) { return static_cast<UINT>(on ? MF_CHECKED : MF_UNCHECKED); };
  const int mode = VideoWindow.ViewMode;
  CheckMenuItem(menu, ID_LIVE_VIDEO_MODE, MF_BYCOMMAND | checked(mode == kLiveVideoMode));
  CheckMenuItem(menu, ID_CAPTURE_MODE, MF_BYCOMMAND | checked(mode == kCaptureMode));
  const bool tuner = TunerSelected();
  EnableMenuItem(menu, kTunerSubmenuPosition, MF_BYPOSITION | enabled(tuner));
  CheckMenuItem(menu, kTunerSubmenuPosition, MF_BYPOSITION | checked(tuner));
  EnableMenuItem(menu, ID_PANEL, MF_BYCOMMAND | enabled(tuner));
  EnableMenuItem(menu, ID_AUTOSCAN, MF_BYCOMMAND | enabled(tuner));
  const bool capture = CaptureCommandsAvailable();
  for (UINT id : {ID_SINGLE_FRAME, ID_FRAMES, ID_VIDEO})
    EnableMenuItem(menu, id, MF_BYCOMMAND | enabled(capture));
  EnableMenuItem(menu, ID_VIDEO_SOURCE, MF_BYCOMMAND | enabled(!VideoSourceDialog.VideoSourceOpen));
}

void StopEntryTimer(HWND window) {
  if (VideoWindow.EntryTimerActive) {
    VideoWindow.EntryTimerActive = 0;
    KillTimer(window, kTimerChannelEntry);
  }
}

void StartEntryTimer(HWND window) {
  VideoWindow.EntryTimerActive = 1;
  SetTimer(window, kTimerChannelEntry, kChannelEntryMs, nullptr);
}

// Keypad digits build a slot number 1..100; a single digit waits for the timer.
void ChannelDigit(HWND window, int digit) {
  if (digit != 0) {
    if (VideoWindowInput.DigitCount == 0) {
      VideoWindowInput.EnteredNumber = digit;
      VideoWindowInput.DigitCount = 1;
      StartEntryTimer(window);
      ShowEnteredNumber(VideoWindowInput.EnteredNumber);
    } else if (VideoWindowInput.DigitCount == 1) {
      StopEntryTimer(window);
      SelectChannel(VideoWindowInput.EnteredNumber * 10 + digit);
      VideoWindowInput.DigitCount = 0;
    }
    return;
  }
  if (VideoWindowInput.DigitCount == 1) {
    VideoWindowInput.EnteredNumber *= 10;
    if (VideoWindowInput.EnteredNumber == 10) {
      // "10" may still become 100.
      VideoWindowInput.DigitCount = 2;
      if (!VideoWindow.EntryTimerActive) StartEntryTimer(window);
      ShowEnteredNumber(10);
    } else {
      StopEntryTimer(window);
      SelectChannel(VideoWindowInput.EnteredNumber);
      VideoWindowInput.DigitCount = 0;
    }
  } else if (VideoWindowInput.DigitCount == 2) {
    StopEntryTimer(window);
    SelectChannel(kLastChannelSlot);
    VideoWindowInput.DigitCount = 0;
  }
}

void EndChannelEntry(HWND window) {
  if (!VideoWindow.EntryTimerActive) return;
  VideoWindow.EntryTimerActive = 0;
  KillTimer(window, kTimerChannelEntry);
  SelectChannel(VideoWindowInput.EnteredNumber);
  VideoWindowInput.DigitCount = 0;
}

void TogglePanelInFullScreen() {
  HWND panel = Panels.MainPanel;
  if (VideoWindowInput.PanelShown == 1 && panel && !IsIconic(panel)) {
    VideoWindowInput.PanelShown = 0;
    return;
  }
  if (panel) {
    BringWindowToTop(panel);
    ShowWindow(panel, SW_RESTORE);
  }
  VideoWindowInput.PanelShown = 1;
}

POINT ScreenPointFromLParam(HWND window, LPARAM lParam) {
  POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ClientToScreen(window, &p);
  return p;
}

void OnCommand(HWND window, int id) {
  const int mode = VideoWindow.ViewMode;
  switch (id) {
    case ID_ABOUT:
      ShowAboutBox();
      break;
    case ID_VIDEO_SOURCE:
      ShowVideoSourceDialog();
      break;
    case ID_VIDEO_FORMAT:
      ShowVideoFormatDialog();
      break;
    case ID_SET_CAPTURE_FILE:
      ShowSetCaptureFileDialog();
      break;
    case ID_EXIT:
      EndProgram();
      break;
    case ID_FULL_SCREEN:
      if (mode == kLiveVideoMode && !VideoWindow.FullScreen) EnterFullScreen(window);
      break;
    case ID_CAPTURE_FRAME:
    case ID_SINGLE_FRAME:
      if (CaptureCommandsAvailable()) CaptureStill();
      break;
    case ID_CAPTURE_VIDEO:
    case ID_VIDEO:
      if (CaptureCommandsAvailable()) CaptureVideo();
      break;
    case ID_LIVE_VIDEO_MODE:
    case ID_CTRL_V:
      if (mode != kLiveVideoMode) SwitchToLiveVideoMode(window);
      break;
    case ID_CAPTURE_MODE:
    case ID_CTRL_C:
      if (mode != kCaptureMode) SwitchToCaptureMode(window);
      break;
    case ID_FRAMES:
    case ID_FRAMES_KEY:
      if (CaptureCommandsAvailable()) CaptureFrames();
      break;
    case kCmdEnterPlayMode:
      EnterPlayMode();
      break;
    case kCmdLeavePlayMode:
      LeavePlayMode();
      break;
    case ID_CHANNEL_UP:
      if (TunerSelected()) StepChannel(ChannelStep::Up);
      break;
    case ID_CHANNEL_DOWN:
      if (TunerSelected()) StepChannel(ChannelStep::Down);
      break;
    case ID_AUTOSCAN:
      if (TunerSelected()) TunerAutoScan();
      break;
    case ID_ENTER:
      EndChannelEntry(window);
      break;
    case ID_PANEL:
      if (TunerSelected()) {
        if (HWND panel = Panels.TunerPanel)
          ShowWindow(panel, IsIconic(panel) ? SW_RESTORE : SW_MINIMIZE);
        else
          ShowTunerPanel();
      }
      break;
    case ID_LEAVE_FULL_SCREEN:
      if (VideoWindow.FullScreen) LeaveFullScreen(window);
      break;
    default:
      if (id >= ID_DIGIT_1 && id <= ID_DIGIT_0 && TunerSelected()) {
        ChannelDigit(window, id == ID_DIGIT_0 ? 0 : id - ID_DIGIT_1 + 1);
      }
      break;
  }
}

}  // namespace

void ConnectVideoWindow() {
  SetVideoViewHooks(VideoViewHooks{CurrentView, KeepMeasuredSize});
  SetSourceHooks(SourceHooks{RebuildForStandard, FitCaptureMode});
  SetClipRepaint(RepaintVideo);
  CaptureHooks capture;
  capture.ReleaseClip = ReleaseClip;
  capture.HidePanels = MinimiseMainPanel;
  capture.RestorePanels = RestoreMainPanel;
  capture.CapturedVideoReady = HandOnCapturedClip;
  capture.RunFramesDialog = RunCaptureFramesDialog;
  capture.ShowVideoNotice = ShowCaptureNotice;
  capture.CloseVideoNotice = CloseCaptureNotice;
  capture.ShowConversionProgress = ShowConversionProgress;
  capture.StepConversionProgress = StepConversionProgress;
  capture.CloseConversionProgress = CloseConversionProgress;
  SetCaptureHooks(std::move(capture));
}

void VideoWindowTick() {
  if (!OverlayTick()) EndWithoutLiveVideo();
}

void StartLiveVideoOrEnd(HWND window) {
  const LiveVideoStart outcome = StartLiveVideo();
  if (outcome == LiveVideoStart::Running) return;
  if (outcome == LiveVideoStart::PortNotStarted) {
    // The program stays, without live video and without the refresh tick.
    ShowProductMessage(window, kVideoPortNotStartedMessage, kErrorStyle);
    return;
  }
  ShowWindow(window, SW_HIDE);
  if (outcome == LiveVideoStart::NoVideoPort)
    ShowProductMessage(window, kNoVideoPortMessage, kErrorStyle);
  else
    ShowProductMessage(window, kNoLiveVideoMessage, kNoLiveVideoStyle);
  DisplayRelease();
  RequestQuit();
}

void EndProgram() {
  if (TunerSelected()) AudioMute();
  DisplayRelease();
  RequestQuit();
}

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      VideoWindow.Window = window;
      {
        const PictureSize size = CaptureModeSize(Settings.VideoStandard, VideoWindow.PictureHeight);
        VideoWindow.PictureWidth = size.Width;
        VideoWindow.PictureHeight = size.Height;
      }
      SizeVideoWindow(window, VideoWindow.PictureWidth, VideoWindow.PictureHeight);
      PostMessageA(window, kMsgStartLiveVideo, 0, 0);
      return 0;
    case WM_DESTROY:
      EndProgram();
      return 0;
    case WM_SIZE:
      NotifyMainPanelOfSize();
      PlaceVideo(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      PaintColorKey();
      if (MainPanel.SourceOption != kOptionNone) DrawSourceOptions();
      return 0;
    }
    case WM_ENDSESSION:
      if (wParam) {
        // The loop may never run again: do everything the way out does, at once.
        if (TunerSelected()) AudioMute();
        DisplayRelease();
        SaveSettings();
        DecoderDisableOutput();
      }
      return 0;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam));
      return 0;
    case WM_INITMENUPOPUP:
      if (!HIWORD(lParam)) PrepareContextMenu(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kTimerChannelEntry) {
        EndChannelEntry(window);
      } else if (wParam == kTimerChannelDisplay) {
        KillTimer(window, kTimerChannelDisplay);
        PaintColorKey();
      } else {
        VideoWindowTick();
      }
      return 0;
    case WM_MOUSEMOVE:
      if (VideoWindowInput.Dragging) {
        const POINT p = ScreenPointFromLParam(window, lParam);
        RECT r;
        GetWindowRect(window, &r);
        MoveWindow(window, r.left + p.x - VideoWindowInput.DragPoint.x,
                   r.top + p.y - VideoWindowInput.DragPoint.y, r.right - r.left, r.bottom - r.top,
                   TRUE);
        VideoWindowInput.DragPoint = p;
      }
      return 0;
    case WM_LBUTTONDOWN:
      if (VideoWindow.FullScreen) {
        TogglePanelInFullScreen();
      } else {
        const POINT local = {static_cast<short>(LOWORD(lParam)),
                             static_cast<short>(HIWORD(lParam))};
        RECT client;
        GetClientRect(window, &client);
        if (PtInRect(&client, local)) {
          VideoWindowInput.Dragging = 1;
          VideoWindowInput.DragPoint = ScreenPointFromLParam(window, lParam);
          SetCapture(window);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      VideoWindowInput.Dragging = 0;
      ReleaseCapture();
      return 0;
    case WM_RBUTTONDOWN:
      if (VideoWindow.FullScreen) {
        TogglePanelInFullScreen();
      } else if (VideoWindow.ContextMenu) {
        const POINT p = ScreenPointFromLParam(window, lParam);
        TrackPopupMenu(VideoWindow.ContextMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0,
                       window, nullptr);
        // The menu's loop may have swallowed a quit that came while it was open.
        if (QuitRequested()) PostQuitMessage(0);
      }
      return 0;
    case WM_MBUTTONDOWN:
      if (VideoWindow.FullScreen) TogglePanelInFullScreen();
      return 0;
    case kMsgStartLiveVideo:
      StartLiveVideoOrEnd(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool CreateVideoWindow(HINSTANCE instance, int) {
  ConnectVideoWindow();
  if (!RegisterWindowClass(kVideoWindowClass, VideoWindowProc, instance, CS_HREDRAW | CS_VREDRAW,
                           LoadIconA(instance, MAKEINTRESOURCEA(IDI_LUMETRA)),
                           static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))))
    return false;

  // Born at its size, centred as SizeVideoWindow places it: nothing ever finds the
  // window at 0 x 0 before WM_CREATE has sized it.
  const PictureSize size = CaptureModeSize(Settings.VideoStandard, VideoWindow.PictureHeight);
  RECT frame = {0, 0, size.Width, size.Height};
  AdjustWindowRectEx(&frame, kStyleCreation, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 3);
  HWND window = CreateWindowExA(0, kVideoWindowClass, kVideoWindowTitle, kStyleCreation, x, y,
                                width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return false;
  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
  VideoWindow.ContextMenu = menu ? GetSubMenu(menu, 0) : nullptr;
  if (!VideoWindow.ContextMenu) return false;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return true;
}
