#include "app/ProgramState.h"

#include "app/Startup.h"
#include "app/VideoWindow.h"
#include "capture/win32/FrameGrab.h"
#include "capture/win32/SequenceCapture.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "hw/Audio.h"
#include "hw/Tuner.h"
#include "playback/VideoPlayer.h"
#include "shared/Settings.h"
#include "ui/CaptureDialogs.h"
#include "ui/ChannelSettingDialog.h"
#include "ui/MainPanel.h"
#include "ui/TunerPanel.h"
#include "ui/VideoSourceDialog.h"
#include "ui/ViewState.h"
#include "win32/ModalLoops.h"
#include "win32/Program.h"

// The board driver's state is not here: it belongs to whoever installed the driver (the
// entry point, or a test), like the simulated board itself.
void ResetProgramGlobals() {
  // Before the video window's state goes: the clip was opened in that window.
  if (Playback.videoOpen && VideoWindow.Window) CloseVideo(VideoWindow.Window);
  Playback = PlaybackState{};
  // The display chain's state lives as long as the process, not the run: a run that
  // ended waiting to rebuild its chain would have the next run's first tick rebuild over
  // a working chain and lose it.
  Display = DisplayState{};
  Placement = OverlayPlacementState{};
  Startup = StartupState{};
  Program = ProgramState{};
  FrameGrab = FrameGrabState{};
  VideoWindow = VideoWindowState{};
  VideoWindowInput = VideoWindowInputState{};
  ScreenRect = RECT{0, 0, 0, 0};
  Panels = PanelHandles{};
  ReleaseSkinPalette(MainPanelSkin);
  MainPanel = MainPanelState{};
  MainPanelSkin.PressedId = -1;
  TunerPanel = TunerPanelState{};
  VideoSourceDialog = VideoSourceDialogState{};
  if (ChannelSetting.Checked) DeleteObject(ChannelSetting.Checked);
  if (ChannelSetting.Unchecked) DeleteObject(ChannelSetting.Unchecked);
  ChannelSetting = ChannelSettingState{};
  Audio = AudioState{};
  Tuner = TunerState{};
  Settings = SettingsData{};
  if (SequenceCapture.RawFile != INVALID_HANDLE_VALUE) CloseHandle(SequenceCapture.RawFile);
  if (SequenceCapture.Picture) GlobalFree(SequenceCapture.Picture);
  SequenceCapture = SequenceCaptureState{};
  CaptureDialogs = CaptureDialogsState{};
  CaptureOptions = CaptureOptionsData{};
  ResetQuitRequest();
}
