#include "ui/MainPanel.h"

#include <commctrl.h>

#include <array>
#include <cstdio>

#include "capture/win32/StillCapture.h"
#include "display/win32/OverlayPlacement.h"
#include "hw/Decoder.h"
#include "hw/SourceControl.h"
#include "playback/VideoPlayer.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/ClipTransport.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"

MainPanelState MainPanel;
SkinPanel MainPanelSkin;

namespace {

// The face's rectangles, shared with the skin generator.
struct LayoutRow {
  int Id;
  RECT Area;  // (left, top) - (right, bottom)
};
constexpr LayoutRow kLayout[] = {
#define MAIN_HOT_AREA(id, left, top, right, bottom) {id, {left, top, right, bottom}},
#define MAIN_FIELD(name, x, y, width, height)
#include "main_panel_layout.inc"
#undef MAIN_HOT_AREA
#undef MAIN_FIELD
};
#define MAIN_HOT_AREA(id, left, top, right, bottom)
#define MAIN_FIELD(name, x, y, width, height) \
  constexpr SkinRect kMain##name = {x, y, width, height};
#include "main_panel_layout.inc"
#undef MAIN_HOT_AREA
#undef MAIN_FIELD

constexpr RECT LayoutArea(int id) {
  for (const LayoutRow& row : kLayout)
    if (row.Id == id) return row.Area;
  return {};
}

// One row of the panel's table.
struct ButtonRow {
  int Id;
  RECT Area;
  const char* Tooltip;
  int LitFlag;
  UINT_PTR RepeatTimer;
  bool SmallPressedLook;  // pressed look 12 x 12 from the top left corner
};

// In hit-test order.
constexpr ButtonRow kButtons[] = {
    {kButtonCaptureMode, LayoutArea(kButtonCaptureMode), "Capture Mode", kLitCaptureMode, 0, false},
    {kButtonLiveVideoMode, LayoutArea(kButtonLiveVideoMode), "LiveVideo Mode", kLitLiveVideoMode, 0,
     false},
    {kButtonSpare, LayoutArea(kButtonSpare), "", kLitSpare, 0, false},
    {kButtonFullScreen, LayoutArea(kButtonFullScreen), "Full Screen  (Ctrl+S)", kLitFullScreen, 0,
     false},
    {kButtonAbout, LayoutArea(kButtonAbout), "About", -1, 0, true},
    {kButtonExit, LayoutArea(kButtonExit), "Exit", -1, 0, true},
    {kButtonMinimize, LayoutArea(kButtonMinimize), "Minimize", -1, 0, true},
    {kButtonLogo, LayoutArea(kButtonLogo), "About", -1, 0, false},
    {kButtonVideoFormat, LayoutArea(kButtonVideoFormat), "Video Format", kLitVideoFormat, 0, false},
    {kButtonSourceOptions, LayoutArea(kButtonSourceOptions), "Show/Hide Video Source Options",
     kLitSourceOptions, 0, false},
    {kButtonSetCaptureFile, LayoutArea(kButtonSetCaptureFile), "Set Capture File",
     kLitSetCaptureFile, 0, false},
    {kButtonCaptureVideo, LayoutArea(kButtonCaptureVideo), "Capture Video  (F7)", kLitCaptureVideo,
     0, false},
    {kButtonCaptureFrames, LayoutArea(kButtonCaptureFrames), "Capture Frames  (F6)",
     kLitCaptureFrames, 0, false},
    {kButtonCaptureSingleFrame, LayoutArea(kButtonCaptureSingleFrame), "Capture Single Frame  (F5)",
     kLitCaptureSingleFrame, 0, false},
    {kButtonLeft, LayoutArea(kButtonLeft), "Left", kLitLeft, kTimerArrowLeftRight, false},
    {kButtonRight, LayoutArea(kButtonRight), "Right", kLitRight, kTimerArrowLeftRight, false},
    {kButtonUp, LayoutArea(kButtonUp), "Up", kLitUp, kTimerArrowUpDown, false},
    {kButtonDown, LayoutArea(kButtonDown), "Down", kLitDown, kTimerArrowUpDown, false},
    {kButtonOpenVideoFile, LayoutArea(kButtonOpenVideoFile), "Open Video File", -1, 0, false},
    {kButtonPlay, LayoutArea(kButtonPlay), "Play", kLitPlay, 0, false},
    {kButtonPause, LayoutArea(kButtonPause), "Pause", kLitPause, 0, false},
    {kButtonStop, LayoutArea(kButtonStop), "Stop", kLitStop, 0, false},
};

// The table and the layout name the same buttons in the same order.
constexpr bool SameOrderAsLayout() {
  if (std::size(kButtons) != std::size(kLayout)) return false;
  for (size_t i = 0; i < std::size(kButtons); ++i)
    if (kButtons[i].Id != kLayout[i].Id) return false;
  return true;
}
static_assert(SameOrderAsLayout());
constexpr size_t kButtonCount = std::size(kButtons);

struct ButtonGeometry {
  std::array<std::array<POINT, 4>, kButtonCount> Polygons;
  std::array<SkinRect, kButtonCount> PressedLooks;
};

constexpr ButtonGeometry MakeGeometry() {
  ButtonGeometry g{};
  for (size_t i = 0; i < kButtonCount; ++i) {
    const RECT& r = kButtons[i].Area;
    g.Polygons[i] = {POINT{r.left, r.top}, POINT{r.right, r.top}, POINT{r.right, r.bottom},
                     POINT{r.left, r.bottom}};
    g.PressedLooks[i] = kButtons[i].SmallPressedLook
                            ? SkinRect{r.left, r.top, 12, 12}
                            : SkinRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  return g;
}
constexpr ButtonGeometry kGeometry = MakeGeometry();

std::array<HotArea, kButtonCount> MakeHotAreas() {
  std::array<HotArea, kButtonCount> areas{};
  for (size_t i = 0; i < kButtonCount; ++i) {
    const ButtonRow& b = kButtons[i];
    areas[i] = HotArea{b.Id,
                       kGeometry.Polygons[i],
                       {&kGeometry.PressedLooks[i], 1},
                       b.RepeatTimer,
                       b.RepeatTimer ? kArrowRepeatMs : 0,
                       b.LitFlag};
  }
  return areas;
}
// The logo has no pressed look.
const std::array<HotArea, kButtonCount> kHotAreas = [] {
  auto areas = MakeHotAreas();
  for (HotArea& a : areas) {
    if (a.Id == kButtonLogo) a.PressedLook = {};
  }
  return areas;
}();

// A 419 x 66 body with a strip below it from x 6 to 414 down to y 69.
constexpr POINT kShape[] = {{0, 0},    {0, 66},   {6, 66},   {6, 69},
                            {414, 69}, {414, 66}, {419, 66}, {419, 0}};

constexpr SkinRect kReadOut = kMainReadOut;
constexpr SkinRect kPositionCounter = {176, 42, 34, 12};
constexpr SkinRect kSizeReadOut = {210, 42, 60, 12};
constexpr SkinRect kWholePanel = {0, 0, kMainPanelWidth, kMainPanelHeight};

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr char kFace[] = "Times New Roman";

HWND VideoWindowHandle() {
  return VideoWindow.Window;
}

void SendToVideoWindow(UINT command) {
  SendMessageA(VideoWindowHandle(), WM_COMMAND, command, 0);
}

void RepaintVideoWindow() {
  SendMessageA(VideoWindowHandle(), WM_PAINT, 0, 0);
}

SkinRect RectOf(const ButtonRow& b) {
  return SkinRect{b.Area.left, b.Area.top, b.Area.right - b.Area.left, b.Area.bottom - b.Area.top};
}

SkinRect AreaOf(int id) {
  for (const ButtonRow& b : kButtons) {
    if (b.Id == id) return RectOf(b);
  }
  return {};
}

SkinRect LitRectOf(int flag) {
  for (const ButtonRow& b : kButtons) {
    if (b.LitFlag == flag) return RectOf(b);
  }
  return {};
}

void Text(HDC dc, const char* text, RECT r, UINT alignment) {
  DrawTextA(dc, text, -1, &r, DT_SINGLELINE | alignment);
}

void DrawReadOuts(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  HFONT font = CreatePixelFont(dc, kFace, 10);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, kGreen);
  const int mode = VideoWindow.ViewMode;
  const char* modeName = mode == kLiveVideoMode  ? "Live"
                         : mode == kCaptureMode  ? "Capture"
                         : mode == kPlaybackMode ? "Play"
                                                 : "";
  Text(dc, modeName, RECT{141, 29, 175, 40}, DT_LEFT);
  SelectObject(dc, oldFont);
  DeleteObject(font);

  font = CreatePixelFont(dc, kFace, 9);
  oldFont = SelectObject(dc, font);
  SetTextColor(dc, kYellow);
  char text[64];
  if (mode == kPlaybackMode) {
    Text(dc, Playback.videoFileName, RECT{176, 29, 277, 40}, DT_RIGHT);
    snprintf(text, sizeof text, "%d", static_cast<int>(Playback.videoLength));
    Text(dc, text, RECT{148, 42, 175, 54}, DT_LEFT);
    snprintf(text, sizeof text, "%d", static_cast<int>(VideoPosition()) + 1);
    Text(dc, text, RECT{176, 42, 210, 54}, DT_LEFT);
  } else if (mode == kLiveVideoMode || mode == kCaptureMode) {
    Text(dc, VideoStandardName(Settings.VideoStandard), RECT{176, 29, 229, 40}, DT_RIGHT);
    Text(dc, ConnectorNamesOf(Settings.VideoConnector).Name, RECT{236, 29, 277, 40}, DT_RIGHT);
  }
  SetTextColor(dc, kWhite);
  char size[32];
  MainPanelSizeText(size);
  Text(dc, size, RECT{210, 42, 270, 54}, DT_RIGHT);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void Paint(HWND panel) {
  InvalidateRect(panel, nullptr, FALSE);
  PAINTSTRUCT ps;
  BeginPaint(panel, &ps);
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, MainPanelSkin.Palette, FALSE);
  const SkinImage& normal = MainPanelSkin.Normal;
  // Restore only what the last press touched where that is enough.
  switch (MainPanelSkin.PressedId) {
    case kButtonCaptureSingleFrame:
    case kButtonOpenVideoFile:
    case kButtonUp:
    case kButtonDown:
      DrawSkinRect(dc, normal, AreaOf(MainPanelSkin.PressedId));
      break;
    case kButtonPlay:
      DrawSkinRect(dc, normal, AreaOf(kButtonPlay));
      DrawSkinRect(dc, normal, kReadOut);
      break;
    case kButtonPause:
      DrawSkinRect(dc, normal, AreaOf(kButtonPause));
      DrawSkinRect(dc, normal, kPositionCounter);
      break;
    case kButtonLeft:
    case kButtonRight:
      if (MainPanel.SourceOption == kOptionInput) {
        DrawSkinRect(dc, normal, kWholePanel);
      } else {
        DrawSkinRect(dc, normal, AreaOf(MainPanelSkin.PressedId));
        DrawSkinRect(dc, normal, kReadOut);
      }
      break;
    default:
      DrawSkinRect(dc, normal, kWholePanel);
      break;
  }
  DrawReadOuts(dc);
  for (int flag = 0; flag < kMainLitFlagCount; ++flag) {
    if (MainPanelSkin.LitFlags[flag]) DrawSkinRect(dc, MainPanelSkin.Lit, LitRectOf(flag));
  }
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
  EndPaint(panel, &ps);
}

void SetFlags(std::initializer_list<std::pair<int, int>> flags) {
  for (auto [flag, value] : flags) MainPanelSkin.LitFlags[flag] = value;
}

// What Live and Capture Mode make available: the capture buttons only in Capture Mode,
// full screen only from Live.
void ShowModeFlags(int mode) {
  const int capture = mode == kCaptureMode ? 1 : 0;
  SetFlags({{kLitCaptureMode, capture},
            {kLitLiveVideoMode, 1 - capture},
            {kLitFullScreen, capture},
            {kLitSetCaptureFile, 1 - capture},
            {kLitCaptureVideo, 1 - capture},
            {kLitCaptureFrames, 1 - capture},
            {kLitCaptureSingleFrame, 1 - capture}});
}

void AfterCommand(HWND, int id) {
  switch (id) {
    case kButtonSourceOptions: {
      const int lit = MainPanel.SourceOption == kOptionNone ? 1 : 0;
      SetFlags({{kLitLeft, lit}, {kLitRight, lit}, {kLitUp, lit}, {kLitDown, lit}});
      break;
    }
    case kButtonStop:
      SetFlags({{kLitPlay, 0}, {kLitPause, 1}, {kLitStop, 1}});
      break;
  }
}

// Left or Right on the input row: the camera inputs in turn; the picture follows at once.
void ChangeInput(bool left) {
  SourceStepInput(left);
  RepaintVideoWindow();
  if (Settings.VideoConnector == kConnectorTuner) {
    ShowTunerPanel();
  } else if (TunerPanelExists()) {
    EndTunerPanel();
  }
}

void ChangeStandard(bool left) {
  const int s = SourceStepStandard(left);
  RepaintVideoWindow();
  SourceFitCaptureMode(s);
}

void ChangeSourceOption(bool left) {
  switch (MainPanel.SourceOption) {
    case kOptionBrightness:
    case kOptionContrast:
    case kOptionSaturation:
    case kOptionHue:
      SourceStepPictureControl(
          static_cast<PictureControl>(MainPanel.SourceOption - kOptionBrightness), left ? -8 : 8);
      RepaintVideoWindow();
      break;
    case kOptionInput:
      ChangeInput(left);
      break;
    case kOptionStandard:
      ChangeStandard(left);
      break;
  }
}

void OnCommand(HWND panel, WPARAM id) {
  switch (id) {
    case kButtonAbout:
    case kButtonLogo:
      SendToVideoWindow(ID_ABOUT);
      SetFocus(panel);
      ShowWindow(panel, SW_SHOW);
      break;
    case kButtonExit:
      EndDialog(panel, 1);
      ReleaseSkinPalette(MainPanelSkin);
      MainPanel.Created = 0;
      SendMessageA(VideoWindowHandle(), WM_DESTROY, 0, 0);
      ReleaseVideoDriver();
      break;
    case kButtonMinimize:
      ShowWindow(panel, SW_MINIMIZE);
      break;
    case kButtonLiveVideoMode:
      SendToVideoWindow(ID_LIVE_VIDEO_MODE);
      SetFocus(panel);
      ShowWindow(panel, SW_SHOW);
      break;
    case kButtonCaptureMode:
      SendToVideoWindow(ID_CAPTURE_MODE);
      SetFocus(panel);
      ShowWindow(panel, SW_SHOW);
      break;
    case kButtonVideoFormat:
      SendToVideoWindow(ID_VIDEO_FORMAT);
      break;
    case kButtonSourceOptions:
      MainPanel.SourceOption =
          MainPanel.SourceOption == kOptionNone ? kOptionBrightness : kOptionNone;
      RepaintVideoWindow();
      break;
    case kButtonSetCaptureFile:
      SendToVideoWindow(ID_SET_CAPTURE_FILE);
      break;
    case kButtonCaptureSingleFrame:
      SendToVideoWindow(ID_SINGLE_FRAME);
      break;
    case kButtonCaptureFrames:
      SendToVideoWindow(ID_FRAMES);
      SetFocus(panel);
      break;
    case kButtonCaptureVideo:
      SendToVideoWindow(ID_VIDEO);
      SetFocus(panel);
      break;
    case kButtonFullScreen:
      SendToVideoWindow(VideoWindow.FullScreen == 1 ? ID_LEAVE_FULL_SCREEN : ID_FULL_SCREEN);
      break;
    case kButtonUp:
      if (MainPanel.SourceOption != kOptionNone)
        MainPanel.SourceOption = MainPanel.SourceOption == kOptionBrightness
                                     ? kOptionStandard
                                     : MainPanel.SourceOption - 1;
      RepaintVideoWindow();
      break;
    case kButtonDown:
      if (MainPanel.SourceOption != kOptionNone)
        MainPanel.SourceOption = MainPanel.SourceOption == kOptionStandard
                                     ? kOptionBrightness
                                     : MainPanel.SourceOption + 1;
      RepaintVideoWindow();
      break;
    case kButtonLeft:
    case kButtonRight:
      ChangeSourceOption(id == kButtonLeft);
      break;
    case kButtonOpenVideoFile:
      OpenClip(panel);
      break;
    case kButtonPlay:
      PlayClip(panel);
      break;
    case kButtonPause:
      PauseClip(panel);
      break;
    case kButtonStop:
      StopClip(panel);
      break;
    default:
      break;
  }
}

// Message 1225: the window's client size as it is now, over the size read-out.
void ShowClientSize(HWND panel) {
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, MainPanelSkin.Palette, FALSE);
  DrawSkinRect(dc, MainPanelSkin.Normal, kSizeReadOut);
  HFONT font = CreatePixelFont(dc, kFace, 9);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWhite);
  char text[32];
  MainPanelSizeText(text);
  Text(dc, text, RECT{210, 42, 270, 54}, DT_RIGHT);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
}

HBRUSH TrackbarBackground(HDC dc) {
  SelectPalette(dc, MainPanelSkin.Palette, TRUE);
  SetFocus(nullptr);  // the trackbar never keeps the keyboard focus
  if (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) {
    if (!MainPanel.PaletteBrush) MainPanel.PaletteBrush = CreateSolidBrush(0x02C0C0C0);
    return MainPanel.PaletteBrush;
  }
  if (!MainPanel.PlainBrush) MainPanel.PlainBrush = CreateSolidBrush(0x02C3DBE3);
  return MainPanel.PlainBrush;
}

void InitPanel(HWND panel) {
  MainPanel.Window = panel;
  ResetMainPanelLitFlags();
  MainPanelSkin.Style = PanelStyle::Main;
  MainPanelSkin.Table = kHotAreas;
  InitSkinPanel(panel, MainPanelSkin, kShape, IDB_MAIN_PANEL_NORMAL, IDB_MAIN_PANEL_PRESSED,
                IDB_MAIN_PANEL_LIT, PC_NOCOLLAPSE);
  PreloadVideoDriver();
  SetWindowPos(GetDlgItem(panel, IDC_POSITION_TRACKBAR), nullptr, kMainTrackbar.X, kMainTrackbar.Y,
               kMainTrackbar.Width, kMainTrackbar.Height, SWP_NOZORDER);
  TunerPanel.AudioModeIndicator = 1;
}

void CreateTooltips(HWND panel) {
  MainPanel.Tooltips =
      CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr, nullptr, nullptr);
  for (const ButtonRow& b : kButtons) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = panel;
    tool.uId = static_cast<UINT_PTR>(b.Id);
    tool.rect = b.Area;
    tool.lpszText = const_cast<char*>(b.Tooltip);
    SendMessageA(MainPanel.Tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace

void ResetMainPanelLitFlags() {
  MainPanelSkin.LitFlags.assign(kMainLitFlagCount, 1);
  MainPanel.ShownMode = kLiveVideoMode;
  SetFlags(
      {{kLitCaptureMode, 0}, {kLitFullScreen, 0}, {kLitVideoFormat, 0}, {kLitSourceOptions, 0}});
}

void MainPanelShowMode() {
  const int mode = VideoWindow.ViewMode;
  if (mode == kPlaybackMode) {
    // Everything but the transport is unavailable while a clip holds the window.
    if (MainPanel.ShownMode != kPlaybackMode) {
      for (int flag = 0; flag < kModeFlagCount; ++flag) {
        MainPanel.SavedModeFlags[flag] = MainPanelSkin.LitFlags[flag];
        MainPanelSkin.LitFlags[flag] = 1;
      }
    }
  } else {
    if (MainPanel.ShownMode == kPlaybackMode) {
      for (int flag = 0; flag < kModeFlagCount; ++flag)
        MainPanelSkin.LitFlags[flag] = MainPanel.SavedModeFlags[flag];
    }
    ShowModeFlags(mode);
  }
  MainPanel.ShownMode = mode;
  if (MainPanel.Window) ForceRepaint(MainPanel.Window);
}

void MainPanelShowTransport(HWND panel, int play, int pause, int stop) {
  SetFlags({{kLitPlay, play}, {kLitPause, pause}, {kLitStop, stop}});
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, MainPanelSkin.Palette, FALSE);
  for (int flag : {kLitPlay, kLitPause, kLitStop}) {
    const SkinImage& image =
        MainPanelSkin.LitFlags[flag] ? MainPanelSkin.Lit : MainPanelSkin.Normal;
    DrawSkinRect(dc, image, LitRectOf(flag));
  }
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
}

void MainPanelShowPosition(HWND panel, uint32_t position) {
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, MainPanelSkin.Palette, FALSE);
  DrawSkinRect(dc, MainPanelSkin.Normal, kPositionCounter);
  HFONT font = CreatePixelFont(dc, kFace, 9);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kYellow);
  char text[16];
  snprintf(text, sizeof text, "%d", static_cast<int>(position) + 1);
  Text(dc, text, RECT{176, 42, 210, 54}, DT_LEFT);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
}

void MainPanelSizeText(char (&text)[32]) {
  RECT client = {0, 0, VideoWindow.PictureWidth, VideoWindow.PictureHeight};
  if (HWND video = VideoWindowHandle(); video && !IsIconic(video)) GetClientRect(video, &client);
  snprintf(text, sizeof text, "%d x %d", static_cast<int>(client.right),
           static_cast<int>(client.bottom));
}

INT_PTR CALLBACK MainPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (INT_PTR result;
      HandleSkinPanelMessage(panel, MainPanelSkin, message, wParam, lParam, AfterCommand, result))
    return result;
  switch (message) {
    case WM_INITDIALOG:
      InitPanel(panel);
      return TRUE;
    case WM_PAINT:
      Paint(panel);
      return TRUE;
    case WM_TIMER:
      if (wParam == kTimerArrowLeftRight || wParam == kTimerArrowUpDown)
        PanelRepeatTick(panel, MainPanelSkin, wParam);
      if (wParam == kTimerPlaybackPosition) ShowPlaybackPosition(panel);
      return TRUE;
    case WM_COMMAND:
      OnCommand(panel, wParam);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(TrackbarBackground(reinterpret_cast<HDC>(wParam)));
    case kMsgVideoSizeChanged:
      ShowClientSize(panel);
      return TRUE;
    case kMsgCapturedVideoReady:
      LoadCapturedClip(panel);
      return TRUE;
    case MM_MCINOTIFY:
      ClipNotice(panel, wParam, lParam);
      return FALSE;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == ClipTrackbar(panel)) TrackbarMoved(panel, wParam);
      return TRUE;
  }
  return FALSE;
}

void CreateMainPanel() {
  if (MainPanel.Created == 1) return;
  InitCommonControls();
  HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN_PANEL),
                                  nullptr, MainPanelProc, 0);
  if (!panel) return;
  Panels.MainPanel = panel;
  SetWindowTextA(panel, kMainPanelTitle);
  RECT video = {};
  GetWindowRect(VideoWindowHandle(), &video);
  const int x = video.left - (kMainPanelWidth - (video.right - video.left)) / 2;
  SetWindowPos(panel, nullptr, x, video.bottom + 5, kMainPanelWidth, kMainPanelHeight,
               SWP_NOZORDER);
  ShowWindow(panel, SW_SHOWNORMAL);
  CreateTooltips(panel);
  MainPanel.Created = 1;
}
