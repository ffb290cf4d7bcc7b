#include "ui/TunerPanel.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "display/win32/OverlayPlacement.h"
#include "hw/Audio.h"
#include "hw/Decoder.h"
#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/ChannelSettingDialog.h"
#include "ui/OnScreenDisplay.h"
#include "ui/ViewState.h"

TunerPanelState TunerPanel;

namespace {

// The window region: the skin's corners are cut away.
constexpr POINT kShape[] = {{5, 0},     {2, 2},     {0, 5},     {0, 297}, {2, 300}, {6, 303},
                            {133, 303}, {137, 300}, {139, 297}, {139, 5}, {137, 2}, {134, 0}};

// Hot areas: polygons in client coordinates and the rectangles of their pressed looks.
constexpr POINT kChannelDownArea[] = {{67, 217}, {57, 218}, {49, 222}, {41, 230},
                                      {39, 238}, {53, 238}, {58, 231}, {67, 228}};
constexpr SkinRect kChannelDownLook[] = {
    {38, 231, 21, 12}, {42, 223, 28, 12}, {51, 219, 10, 10}, {59, 216, 12, 17}};
constexpr POINT kChannelUpArea[] = {{71, 217}, {71, 228}, {79, 231}, {86, 238},
                                    {97, 239}, {99, 230}, {91, 224}, {82, 219}};
constexpr SkinRect kChannelUpLook[] = {{71, 217, 14, 20}, {85, 225, 17, 21}};
constexpr POINT kMinimiseArea[] = {{66, 78}, {58, 79}, {48, 84}, {58, 89}, {66, 90}};
constexpr SkinRect kMinimiseLook[] = {{47, 78, 23, 19}};
constexpr POINT kCloseArea[] = {{71, 78}, {71, 90}, {81, 89}, {89, 85}, {80, 78}};
constexpr SkinRect kCloseLook[] = {{71, 78, 25, 19}};
constexpr POINT kDigit1Area[] = {{36, 101}, {28, 103}, {23, 108}, {28, 114},
                                 {36, 115}, {44, 114}, {49, 108}, {44, 102}};
constexpr SkinRect kDigit1Look[] = {{23, 101, 30, 18}};
constexpr POINT kDigit2Area[] = {{69, 101}, {62, 103}, {57, 108}, {61, 114},
                                 {69, 115}, {77, 114}, {83, 108}, {78, 102}};
constexpr SkinRect kDigit2Look[] = {{57, 101, 30, 18}};
constexpr POINT kDigit3Area[] = {{101, 101}, {95, 103},  {88, 108},  {91, 114},
                                 {101, 115}, {109, 114}, {115, 108}, {108, 102}};
constexpr SkinRect kDigit3Look[] = {{88, 101, 30, 18}};
constexpr POINT kDigit4Area[] = {{36, 125}, {26, 126}, {23, 131}, {28, 137},
                                 {36, 139}, {44, 137}, {49, 131}, {44, 126}};
constexpr SkinRect kDigit4Look[] = {{23, 125, 30, 18}};
constexpr POINT kDigit5Area[] = {{69, 125}, {62, 126}, {57, 131}, {62, 137},
                                 {70, 139}, {78, 137}, {83, 132}, {78, 126}};
constexpr SkinRect kDigit5Look[] = {{57, 125, 30, 18}};
constexpr POINT kDigit6Area[] = {{101, 125}, {94, 126},  {88, 131},  {93, 137},
                                 {102, 138}, {110, 136}, {115, 132}, {108, 126}};
constexpr SkinRect kDigit6Look[] = {{88, 125, 30, 18}};
constexpr POINT kDigit7Area[] = {{36, 148}, {29, 150}, {23, 154}, {28, 161},
                                 {36, 163}, {44, 160}, {49, 155}, {45, 149}};
constexpr SkinRect kDigit7Look[] = {{23, 148, 30, 18}};
constexpr POINT kDigit8Area[] = {{70, 148}, {62, 149}, {57, 154}, {62, 161},
                                 {70, 162}, {79, 160}, {82, 156}, {78, 150}};
constexpr SkinRect kDigit8Look[] = {{57, 148, 30, 18}};
constexpr POINT kDigit9Area[] = {{101, 148}, {94, 149},  {88, 154},  {93, 161},
                                 {101, 162}, {110, 160}, {115, 156}, {110, 150}};
constexpr SkinRect kDigit9Look[] = {{88, 148, 30, 18}};
constexpr POINT kDigit0Area[] = {{69, 170}, {62, 172}, {57, 176}, {62, 184},
                                 {69, 185}, {78, 183}, {83, 177}, {78, 172}};
constexpr SkinRect kDigit0Look[] = {{57, 170, 30, 18}};
constexpr POINT kRecallArea[] = {{51, 167}, {34, 170}, {22, 177}, {34, 185}, {51, 188}};
constexpr SkinRect kRecallLook[] = {{22, 167, 31, 26}};
constexpr POINT kEnterArea[] = {{88, 167},  {88, 188},  {104, 185},
                                {116, 176}, {112, 172}, {102, 169}};
constexpr SkinRect kEnterLook[] = {{88, 167, 31, 26}};
constexpr POINT kAutoscanArea[] = {{70, 200}, {49, 203}, {30, 213},  {42, 221},
                                   {70, 211}, {96, 220}, {108, 213}, {90, 203}};
constexpr SkinRect kAutoscanLook[] = {
    {30, 200, 20, 23}, {50, 200, 6, 19}, {56, 200, 35, 18}, {90, 200, 13, 23}, {103, 200, 7, 20}};
constexpr POINT kChannelListArea[] = {{112, 217}, {101, 224}, {106, 234}, {107, 240}, {105, 248},
                                      {101, 253}, {112, 260}, {118, 251}, {121, 240}, {119, 226}};
constexpr SkinRect kChannelListLook[] = {{105, 219, 24, 10}, {100, 223, 24, 46}};
constexpr POINT kVolumeDownArea[] = {{40, 247}, {40, 251}, {49, 262}, {59, 267}, {68, 268},
                                     {67, 257}, {61, 255}, {53, 246}, {43, 246}};
constexpr SkinRect kVolumeDownLook[] = {{40, 247, 31, 28}};
constexpr POINT kVolumeUpArea[] = {{71, 257}, {71, 268}, {86, 264}, {94, 258},
                                   {99, 248}, {95, 246}, {86, 246}, {78, 254}};
constexpr SkinRect kVolumeUpLook[] = {{71, 246, 31, 27}};
constexpr POINT kMuteArea[] = {{27, 217}, {20, 227}, {17, 238}, {19, 249}, {26, 261},
                               {38, 254}, {33, 245}, {32, 239}, {34, 231}, {38, 225}};
constexpr SkinRect kMuteLook[] = {{17, 217, 12, 5}, {17, 222, 23, 44}};

// In hit-test order: where two areas meet, the earlier one takes the press.
constexpr HotArea kHotAreas[] = {
    {kTunerChannelDown, kChannelDownArea, kChannelDownLook, kTimerChannelRepeat, kChannelRepeatMs},
    {kTunerChannelUp, kChannelUpArea, kChannelUpLook, kTimerChannelRepeat, kChannelRepeatMs},
    {kTunerMinimise, kMinimiseArea, kMinimiseLook},
    {kTunerClose, kCloseArea, kCloseLook},
    {kTunerDigit1, kDigit1Area, kDigit1Look},
    {kTunerDigit2, kDigit2Area, kDigit2Look},
    {kTunerDigit3, kDigit3Area, kDigit3Look},
    {kTunerDigit4, kDigit4Area, kDigit4Look},
    {kTunerDigit5, kDigit5Area, kDigit5Look},
    {kTunerDigit6, kDigit6Area, kDigit6Look},
    {kTunerDigit7, kDigit7Area, kDigit7Look},
    {kTunerDigit8, kDigit8Area, kDigit8Look},
    {kTunerDigit9, kDigit9Area, kDigit9Look},
    {kTunerDigit0, kDigit0Area, kDigit0Look},
    {kTunerRecall, kRecallArea, kRecallLook},
    {kTunerEnter, kEnterArea, kEnterLook},
    {kTunerAutoscan, kAutoscanArea, kAutoscanLook},
    {kTunerChannelList, kChannelListArea, kChannelListLook},
    {kTunerVolumeDown, kVolumeDownArea, kVolumeDownLook, kTimerVolumeRepeat, kVolumeRepeatMs},
    {kTunerVolumeUp, kVolumeUpArea, kVolumeUpLook, kTimerVolumeRepeat, kVolumeRepeatMs},
    {kTunerMute, kMuteArea, kMuteLook},
};

// Buttons forwarded to the video window, which handles them like the keypad keys.
struct Forward {
  int Button;
  int Command;
};
constexpr Forward kForwards[] = {
    {kTunerDigit1, ID_DIGIT_1},
    {kTunerDigit2, ID_DIGIT_2},
    {kTunerDigit3, ID_DIGIT_3},
    {kTunerDigit4, ID_DIGIT_4},
    {kTunerDigit5, ID_DIGIT_5},
    {kTunerDigit6, ID_DIGIT_6},
    {kTunerDigit7, ID_DIGIT_7},
    {kTunerDigit8, ID_DIGIT_8},
    {kTunerDigit9, ID_DIGIT_9},
    {kTunerDigit0, ID_DIGIT_0},
    {kTunerEnter, ID_ENTER},
    {kTunerChannelUp, ID_CHANNEL_UP},
    {kTunerChannelDown, ID_CHANNEL_DOWN},
};

constexpr char kFace[] = "Times New Roman";
constexpr int kFontHeight = 11;
constexpr COLORREF kChannelTextColour = RGB(0, 255, 0);
constexpr COLORREF kVolumeColour = RGB(255, 255, 0);
constexpr int kTopBandHeight = 70;  // above every repeating button
constexpr int kBarSegments = 11;

void SendToVideoWindow(int command) {
  SendMessageA(VideoWindow.Window, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

bool IsVolumeButton(int id) {
  return id == kTunerVolumeDown || id == kTunerVolumeUp;
}

// Shows the volume display and (re)arms its erase timer.
void ShowVolumeFor(HWND panel) {
  KillTimer(panel, kTimerVolumeDisplay);
  ShowVolumeOsd();
  SetTimer(panel, kTimerVolumeDisplay, kNoticeDisplayMs, nullptr);
}

// Runs after each release of a held button, whether or not it acted.
void AfterRelease(HWND panel, int id) {
  if (IsVolumeButton(id)) ShowVolumeFor(panel);
}

void Paint(HWND panel) {
  PAINTSTRUCT ps;
  BeginPaint(panel, &ps);
  HDC dc = GetDC(panel);
  HPALETTE oldPalette = SelectPalette(dc, TunerPanel.Skin.Palette, FALSE);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  HBRUSH brush = CreateSolidBrush(kVolumeColour);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HFONT font = CreatePixelFont(dc, kFace, kFontHeight);
  HGDIOBJ oldFont = SelectObject(dc, font);

  // While a repeating button is held only the band above the rockers is restored, so the
  // held button keeps its pressed look.
  const SkinImage& skin = TunerPanel.Skin.Normal;
  DrawSkinRect(dc, skin, 0, 0, kTunerPanelWidth,
               TunerPanel.Skin.RepeatActive ? kTopBandHeight : kTunerPanelHeight);

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kChannelTextColour);
  char text[32];
  const int slot = Settings.CurrentChannel;
  const int length = std::snprintf(text, sizeof text, "CH %d", slot);
  TextOutA(dc, 24, 20, text, length);
  TextOutA(dc, 90, 20, TunerPanel.AudioModeIndicator == 1 ? "MTS" : "SAP", 3);
  if (slot >= 0 && slot < kChannelSlots) {
    const char* name = Settings.Channels[static_cast<size_t>(slot)].Name;
    RECT nameRect = {24, 35, 118, 50};
    DrawTextA(dc, name, static_cast<int>(strnlen(name, sizeof ChannelEntry::Name)), &nameRect,
              DT_SINGLELINE);
  }

  const bool muted = Audio.Muted;
  DrawSkinImage(dc, muted ? TunerPanel.MutedMark : TunerPanel.SoundOnMark, 20, 50);
  TunerPanel.ShownMark = muted ? IDB_SOUND_MUTED : IDB_SOUND_ON;

  SetTextColor(dc, kVolumeColour);
  const int volumeLength = std::snprintf(text, sizeof text, "%d", VolumeLevel(Audio.Volume));
  TextOutA(dc, 107, 50, text, volumeLength);

  const int lit = TunerVolumeSegments(Audio.Volume);
  for (int i = 0; i < kBarSegments; ++i) {
    const int x = 40 + 6 * i;
    if (i < lit) {
      Rectangle(dc, x, 52, x + 4, 62);
    } else {
      Rectangle(dc, x, 56, x + 4, 58);
    }
  }

  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  SelectObject(dc, oldPen);
  SelectPalette(dc, oldPalette, FALSE);
  ReleaseDC(panel, dc);
  EndPaint(panel, &ps);
}

void ToggleMute(HWND panel) {
  KillTimer(panel, kTimerMuteDisplay);
  if (!Audio.Muted) {
    ShowMuteOsd();
    SetTimer(panel, kTimerMuteDisplay, kNoticeDisplayMs, nullptr);
    AudioMuteOn();
  } else {
    PaintColorKey();  // erases any notice
    AudioMuteOff();
  }
}

// The scan blocks the thread with both panels out of the way; the main panel stays
// minimised afterwards.
void Autoscan(HWND panel) {
  ShowWindow(panel, SW_MINIMIZE);
  if (Panels.MainPanel) ShowWindow(Panels.MainPanel, SW_MINIMIZE);
  SendToVideoWindow(ID_AUTOSCAN);
  ShowWindow(panel, SW_RESTORE);
}

// Leaves the Tuner input for the one in force before it. The sound stays muted, and
// Muted keeps its value.
void Close() {
  AudioMute();
  Settings.VideoConnector = TunerPanel.InputBeforeTuner == kConnectorSVideo
                                ? int32_t{kConnectorSVideo}
                                : int32_t{kConnectorComposite};
  SourceSelectInput(static_cast<uint32_t>(Settings.VideoConnector), TunerProbe::BothAddresses);
  if (VideoWindow.Window) SendMessageA(VideoWindow.Window, WM_PAINT, 0, 0);
  EndTunerPanel();
  if (Panels.MainPanel) SendMessageA(Panels.MainPanel, WM_PAINT, 0, 0);
}

void OnCommand(HWND panel, WPARAM id) {
  for (const Forward& f : kForwards) {
    if (id == static_cast<WPARAM>(f.Button)) {
      SendToVideoWindow(f.Command);
      return;
    }
  }
  switch (id) {
    case kTunerRecall:
      SelectChannel(Tuner.PreviousChannel);
      break;
    case kTunerAutoscan:
      Autoscan(panel);
      break;
    case kTunerChannelList:
      InitCommonControls();
      ShowChannelSettingDialog(panel);
      break;
    case kTunerVolumeDown:
      AudioVolumeDown();
      break;
    case kTunerVolumeUp:
      AudioVolumeUp();
      break;
    case kTunerMute:
      ToggleMute(panel);
      break;
    case kTunerMinimise:
      ShowWindow(panel, SW_MINIMIZE);
      break;
    case kTunerClose:
      Close();
      break;
  }
}

void OnTimer(HWND panel, UINT_PTR timer) {
  switch (timer) {
    case kTimerVolumeRepeat:
      if (PanelRepeatTick(panel, TunerPanel.Skin, timer)) ShowVolumeOsd();
      break;
    case kTimerChannelRepeat:
      PanelRepeatTick(panel, TunerPanel.Skin, timer);
      break;
    case kTimerVolumeDisplay:
    case kTimerMuteDisplay:
      KillTimer(panel, timer);
      PaintColorKey();
      break;
  }
}

}  // namespace

INT_PTR CALLBACK TunerPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  SkinPanel& skin = TunerPanel.Skin;
  if (INT_PTR result;
      HandleSkinPanelMessage(panel, skin, message, wParam, lParam, AfterRelease, result))
    return result;
  switch (message) {
    case WM_INITDIALOG:
      skin.Style = PanelStyle::Tuner;
      skin.Table = kHotAreas;
      if (VideoWindow.ContextMenu) CheckMenuItem(VideoWindow.ContextMenu, ID_PANEL, MF_CHECKED);
      InitSkinPanel(panel, skin, kShape, IDB_TUNER_PANEL_NORMAL, IDB_TUNER_PANEL_PRESSED, 0, 0);
      TunerPanel.SoundOnMark = LoadSkinImage(IDB_SOUND_ON);
      TunerPanel.MutedMark = LoadSkinImage(IDB_SOUND_MUTED);
      return TRUE;
    case WM_PAINT:
      Paint(panel);
      return TRUE;
    case WM_TIMER:
      OnTimer(panel, wParam);
      return TRUE;
    case WM_COMMAND:
      OnCommand(panel, wParam);
      return TRUE;
    case WM_DESTROY:
      ReleaseSkinPalette(skin);
      if (Panels.TunerPanel == panel) Panels.TunerPanel = nullptr;
      return TRUE;
  }
  return FALSE;
}

HWND TunerPanelWindow() {
  return Panels.TunerPanel;
}

bool TunerPanelExists() {
  return Panels.TunerPanel != nullptr;
}

void ShowTunerPanel() {
  if (TunerPanelExists()) return;
  InitCommonControls();
  HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TUNER_PANEL),
                                  nullptr, TunerPanelProc, 0);
  if (!panel) return;
  SetWindowTextA(panel, kTunerPanelTitle);
  MoveWindow(panel, GetSystemMetrics(SM_CXSCREEN) - 180,
             (GetSystemMetrics(SM_CYSCREEN) - kTunerPanelHeight) / 3, kTunerPanelWidth,
             kTunerPanelHeight, TRUE);
  ShowWindow(panel, SW_SHOWNORMAL);
  Panels.TunerPanel = panel;
}

void EndTunerPanel() {
  HWND panel = Panels.TunerPanel;
  if (!panel) return;
  Panels.TunerPanel = nullptr;
  EndDialog(panel, 1);
  // EndDialog only hides a modeless dialog: destroy it, so its palette goes and a panel
  // shown again does not leave this one behind.
  DestroyWindow(panel);
}

void RememberInputBeforeTuner(int connector) {
  // Choosing the Tuner again while it is in use keeps what it returns to.
  if (connector == kConnectorSVideo || connector == kConnectorComposite)
    TunerPanel.InputBeforeTuner = connector;
}
