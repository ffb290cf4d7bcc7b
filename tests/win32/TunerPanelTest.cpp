// The tuner panel inside the running program, driven by pointer and timer messages, and
// the on-screen display it and the tuner draw over the picture. Drawing is checked on
// the windows' own pixels against the same text rendered apart, never against artwork.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "hw/Audio.h"
#include "hw/ChannelPlans.h"
#include "hw/Decoder.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/OnScreenDisplay.h"
#include "ui/OsdLayout.h"
#include "ui/SkinPanel.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kRed = 0xFF0000;

// One point inside each button, away from its neighbours.
constexpr struct {
  int Id;
  POINT At;
} kButtons[] = {
    {kTunerChannelDown, {56, 224}}, {kTunerChannelUp, {85, 228}}, {kTunerMinimise, {60, 84}},
    {kTunerClose, {78, 84}},        {kTunerDigit1, {36, 108}},    {kTunerDigit2, {70, 108}},
    {kTunerDigit3, {101, 108}},     {kTunerDigit4, {36, 131}},    {kTunerDigit5, {70, 131}},
    {kTunerDigit6, {101, 131}},     {kTunerDigit7, {36, 155}},    {kTunerDigit8, {70, 155}},
    {kTunerDigit9, {101, 155}},     {kTunerDigit0, {70, 177}},    {kTunerRecall, {40, 178}},
    {kTunerEnter, {100, 177}},      {kTunerAutoscan, {70, 206}},  {kTunerChannelList, {112, 240}},
    {kTunerVolumeDown, {55, 258}},  {kTunerVolumeUp, {85, 258}},  {kTunerMute, {25, 240}},
};

POINT PointOf(int id) {
  for (const auto& b : kButtons) {
    if (b.Id == id) return b.At;
  }
  ADD_FAILURE() << "no point for " << id;
  return POINT{0, 0};
}

LPARAM At(POINT p) {
  return MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)),
                    static_cast<WORD>(static_cast<short>(p.y)));
}

HWND Panel() {
  return TunerPanelWindow();
}

void Press(int id) {
  SendMessageA(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, At(PointOf(id)));
}
void Release(int id, int dx = 0) {
  POINT p = PointOf(id);
  p.x += dx;
  SendMessageA(Panel(), WM_LBUTTONUP, 0, At(p));
}
void Click(int id) {
  Press(id);
  Release(id);
}
void Tick(UINT_PTR timer) {
  SendMessageA(Panel(), WM_TIMER, timer, 0);
}
void Command(int id) {
  SendMessageA(VideoWindow.Window, WM_COMMAND, id, 0);
}

// Commands that reach the video window.
WNDPROC g_videoProc = nullptr;
std::vector<WPARAM> g_videoCommands;
LRESULT CALLBACK RecordingVideoProc(HWND w, UINT m, WPARAM wParam, LPARAM lParam) {
  if (m == WM_COMMAND) g_videoCommands.push_back(wParam);
  return CallWindowProcA(g_videoProc, w, m, wParam, lParam);
}

// Pixels of a rectangle, 0xRRGGBB, row by row.
struct Pixels {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Bits;
  uint32_t At(int x, int y) const { return Bits[static_cast<size_t>(y * Width + x)]; }
  int Count(uint32_t colour) const {
    int n = 0;
    for (uint32_t b : Bits) n += b == colour;
    return n;
  }
  std::vector<bool> Mask(uint32_t colour) const {
    std::vector<bool> mask;
    for (uint32_t b : Bits) mask.push_back(b == colour);
    return mask;
  }
};

// A 32-bit DIB section of `r`'s size with its own DC; `draw` paints into it in the
// coordinates of `r`'s owner.
Pixels Capture(const RECT& r, const std::function<void(HDC)>& draw) {
  Pixels p;
  p.Width = r.right - r.left;
  p.Height = r.bottom - r.top;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = p.Width;
  bi.bmiHeader.biHeight = -p.Height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SetViewportOrgEx(dc, -r.left, -r.top, nullptr);
  draw(dc);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  p.Bits.assign(pixels, pixels + p.Width * p.Height);
  for (uint32_t& b : p.Bits) b &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return p;
}

// What a window shows in `r` of its client area.
Pixels Snapshot(HWND window, const RECT& r) {
  return Capture(r, [&](HDC dc) {
    HDC source = GetDC(window);
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left, r.top, SRCCOPY);
    ReleaseDC(window, source);
  });
}

// The same text drawn on black the way the program draws it.
Pixels Expected(const RECT& area, int fontHeight, COLORREF colour,
                const std::function<void(HDC)>& draw) {
  return Capture(area, [&](HDC dc) {
    RECT all = area;
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HFONT font = CreatePixelFont(dc, "Times New Roman", fontHeight);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    draw(dc);
    SelectObject(dc, old);
    DeleteObject(font);
  });
}

RECT ToRect(const OsdRect& r) {
  return RECT{r.Left, r.Top, r.Right, r.Bottom};
}

int Width() {
  return VideoWindow.PictureWidth;
}
int Height() {
  return VideoWindow.PictureHeight;
}

// The channel display as the video window shows it, and as `text` would look there.
void ExpectChannelText(const char* text) {
  const RECT r = ToRect(ChannelOsdRect(Width(), Height()));
  const Pixels shown = Snapshot(VideoWindow.Window, r);
  const Pixels expected = Expected(r, Height() / 12, RGB(0, 255, 0), [&](HDC dc) {
    RECT t = r;
    DrawTextA(dc, text, -1, &t, DT_SINGLELINE | DT_RIGHT);
  });
  ASSERT_GT(expected.Count(kGreen), 0);
  EXPECT_EQ(shown.Mask(kGreen), expected.Mask(kGreen))
      << "channel display is not \"" << text << "\"";
}

void ExpectBottomText(const char* text, uint32_t colour) {
  const RECT r = ToRect(BottomOsdRect(Width(), Height()));
  // The bars sit left of the text; look only right of the last one.
  const RECT area = {OsdBarRect(Width(), Height(), 20, 21).Right + 1, r.top, r.right, r.bottom};
  const Pixels shown = Snapshot(VideoWindow.Window, area);
  const Pixels expected = Expected(
      area, Height() / 12, RGB(colour >> 16, colour >> 8 & 0xFF, colour & 0xFF), [&](HDC dc) {
        RECT t = r;
        DrawTextA(dc, text, -1, &t, DT_SINGLELINE | DT_RIGHT);
      });
  ASSERT_GT(expected.Count(colour), 0);
  EXPECT_EQ(shown.Mask(colour), expected.Mask(colour))
      << "bottom display is not \"" << text << "\"";
}

// Tall bars of the volume display now on the picture, and whether the marks are all there.
int TallBars(bool* marksComplete = nullptr) {
  const RECT all = {0, 0, Width(), Height()};
  const Pixels p = Snapshot(VideoWindow.Window, all);
  int tall = 0;
  bool complete = true;
  for (int i = 0; i < kOsdBarPositions; ++i) {
    const OsdRect bar = OsdBarRect(Width(), Height(), i, 21);
    const OsdRect mark = OsdBarRect(Width(), Height(), i, 0);
    if (p.At(bar.Left + 1, bar.Top + 1) == kYellow) ++tall;
    if (p.At(mark.Left + 1, mark.Top + 1) != kYellow) complete = false;
  }
  if (marksComplete) *marksComplete = complete;
  return tall;
}

class TunerPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    g_videoCommands.clear();
  }
  void TearDown() override { ResetProgramState(); }

  // Runs the program with the Tuner input and its panel open; `body` runs in its loop.
  void Run(const std::function<void(SimBoard&)>& body, SimScenario scenario = {}) {
    TestBoard board(scenario);
    RunProgram([&] {
      g_videoProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
          VideoWindow.Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingVideoProc)));
      Settings.VideoConnector = kConnectorTuner;
      Command(ID_PANEL);
      Pump(50);
      g_videoCommands.clear();
      EXPECT_TRUE(TunerPanelExists()) << "the tuner panel did not open";
      if (TunerPanelExists()) body(board.Board());
      Command(ID_EXIT);
    });
  }
};

TEST_F(TunerPanelTest, PanelCommandCreatesThenMinimisesAndRestores) {
  TestBoard board;
  RunProgram([] {
    ASSERT_EQ(Settings.VideoConnector, kConnectorComposite);
    Command(ID_PANEL);  // only with the Tuner input
    EXPECT_FALSE(TunerPanelExists());

    Settings.VideoConnector = kConnectorTuner;
    Command(ID_PANEL);
    ASSERT_TRUE(TunerPanelExists());
    HWND panel = Panel();
    char title[64] = {};
    GetWindowTextA(panel, title, sizeof title);
    EXPECT_STREQ(title, "Corvan Tuner Panel");
    RECT r;
    GetWindowRect(panel, &r);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) - 180);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 304) / 3);
    EXPECT_EQ(r.right - r.left, 140);
    EXPECT_EQ(r.bottom - r.top, 304);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_EQ(GetMenuState(VideoWindow.ContextMenu, ID_PANEL, MF_BYCOMMAND) & MF_CHECKED,
              static_cast<UINT>(MF_CHECKED));

    Command(ID_PANEL);
    EXPECT_TRUE(IsIconic(panel));
    Command(ID_PANEL);
    EXPECT_FALSE(IsIconic(panel));
    EXPECT_EQ(Panel(), panel) << "the panel exists once";

    Command(ID_FULL_SCREEN);  // full screen puts the panel away
    EXPECT_TRUE(IsIconic(panel));
    Command(ID_LEAVE_FULL_SCREEN);
    Command(ID_EXIT);
  });
}

TEST_F(TunerPanelTest, EveryButtonIsHitInsideItsOwnArea) {
  Run([](SimBoard&) {
    for (const auto& b : kButtons) EXPECT_EQ(HitTest(Panel(), TunerPanel.Skin, b.At), b.Id);
    // Between the buttons the face drags the panel.
    EXPECT_EQ(HitTest(Panel(), TunerPanel.Skin, POINT{10, 10}), 0);
    EXPECT_EQ(HitTest(Panel(), TunerPanel.Skin, POINT{70, 292}), 0);
  });
}

TEST_F(TunerPanelTest, DigitActsOnceAndOnlyWhenReleasedAtThePressPixel) {
  Run([](SimBoard&) {
    Press(kTunerDigit5);
    Release(kTunerDigit5, 1);
    EXPECT_TRUE(g_videoCommands.empty());
    EXPECT_EQ(VideoWindowInput.DigitCount, 0);

    Click(kTunerDigit5);
    EXPECT_EQ(g_videoCommands, (std::vector<WPARAM>{ID_DIGIT_5}));
    // The entry shows the bare number while it waits for a second digit.
    EXPECT_EQ(VideoWindow.EntryTimerActive, 1);
    ExpectChannelText("5");
  });
}

TEST_F(TunerPanelTest, KeypadAndRockersReachTheVideoWindow) {
  Run([](SimBoard&) {
    const std::pair<int, int> forwards[] = {
        {kTunerDigit1, ID_DIGIT_1},       {kTunerDigit2, ID_DIGIT_2},
        {kTunerDigit3, ID_DIGIT_3},       {kTunerDigit4, ID_DIGIT_4},
        {kTunerDigit6, ID_DIGIT_6},       {kTunerDigit7, ID_DIGIT_7},
        {kTunerDigit8, ID_DIGIT_8},       {kTunerDigit9, ID_DIGIT_9},
        {kTunerDigit0, ID_DIGIT_0},       {kTunerEnter, ID_ENTER},
        {kTunerChannelUp, ID_CHANNEL_UP}, {kTunerChannelDown, ID_CHANNEL_DOWN},
    };
    for (const auto& [button, command] : forwards) {
      g_videoCommands.clear();
      Click(button);
      EXPECT_EQ(g_videoCommands, (std::vector<WPARAM>{static_cast<WPARAM>(command)}))
          << "button " << button;
    }
  });
}

TEST_F(TunerPanelTest, TypedChannelShowsNameAndNumberOnPictureAndPanel) {
  Run([](SimBoard& board) {
    std::strcpy(Settings.Channels[42].Name, "News");
    Click(kTunerDigit4);
    ExpectChannelText("4");
    Click(kTunerDigit2);
    EXPECT_EQ(Settings.CurrentChannel, 42);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(Settings.CableStandard)[42] >> 16 & 0x7FFF);
    ExpectChannelText("News  42");

    // The panel's read-out follows at once.
    const RECT top = {20, 15, 140, 50};
    const Pixels expected = Expected(top, 11, RGB(0, 255, 0), [](HDC dc) {
      TextOutA(dc, 24, 20, "CH 42", 5);
      TextOutA(dc, 90, 20, TunerPanel.AudioModeIndicator == 1 ? "MTS" : "SAP", 3);
      RECT name = {24, 35, 118, 50};
      DrawTextA(dc, "News", 4, &name, DT_SINGLELINE);
    });
    ASSERT_GT(expected.Count(kGreen), 0);
    const std::vector<bool> wanted = expected.Mask(kGreen);
    std::vector<bool> shown = Snapshot(Panel(), top).Mask(kGreen);
    // The skin restores the face under the texts; until it does, older texts stay under
    // the new ones.
    size_t missing = 0;
    for (size_t i = 0; i < wanted.size(); ++i) missing += wanted[i] && !shown[i];
    EXPECT_EQ(missing, 0u) << "the read-out did not follow the tuning";
    InvalidateRect(Panel(), nullptr, TRUE);
    UpdateWindow(Panel());
    shown = Snapshot(Panel(), top).Mask(kGreen);
    EXPECT_EQ(shown, wanted);

    // A slot without a name shows its number at the same right edge.
    Click(kTunerDigit7);
    Click(kTunerEnter);
    EXPECT_EQ(Settings.CurrentChannel, 7);
    ExpectChannelText("  7");
  });
}

TEST_F(TunerPanelTest, HeldVolumeUpStepsPerTickAndOnceMoreAtTheRelease) {
  Run([](SimBoard& board) {
    Audio.Volume = 250;
    Press(kTunerVolumeUp);
    EXPECT_TRUE(TunerPanel.Skin.RepeatActive);
    for (int tick = 1; tick <= 3; ++tick) {
      Tick(kTimerVolumeRepeat);
      EXPECT_EQ(Audio.Volume, 250 + tick);
      // The display over the picture follows each step.
      EXPECT_EQ(TallBars(), 250 + tick - 234) << "after tick " << tick;
    }
    Release(kTunerVolumeUp);
    EXPECT_EQ(Audio.Volume, 254);
    EXPECT_FALSE(TunerPanel.Skin.RepeatActive);
    EXPECT_EQ(board.Audio().Register(0x00), 254);
    bool marks = false;
    EXPECT_EQ(TallBars(&marks), 20);
    EXPECT_TRUE(marks);
    ExpectBottomText("20", kYellow);

    // A tick still queued from the hold changes nothing.
    Tick(kTimerVolumeRepeat);
    EXPECT_EQ(Audio.Volume, 254);

    // Timer 7 is armed, and its expiry erases the display.
    EXPECT_TRUE(KillTimer(Panel(), kTimerVolumeDisplay));
    Tick(kTimerVolumeDisplay);
    EXPECT_EQ(TallBars(&marks), 0);
    EXPECT_FALSE(marks);
  });
}

TEST_F(TunerPanelTest, VolumeReleasedAwayFromThePressStillShowsTheDisplay) {
  Run([](SimBoard&) {
    Audio.Volume = 240;
    Press(kTunerVolumeDown);
    Release(kTunerVolumeDown, 1);
    EXPECT_EQ(Audio.Volume, 240);
    EXPECT_EQ(TallBars(), 6);
    EXPECT_TRUE(KillTimer(Panel(), kTimerVolumeDisplay));

    Click(kTunerVolumeDown);
    EXPECT_EQ(Audio.Volume, 239);
    Audio.Volume = 234;
    Click(kTunerVolumeDown);
    EXPECT_EQ(Audio.Volume, 234);
    bool marks = false;
    EXPECT_EQ(TallBars(&marks), 0);
    EXPECT_TRUE(marks);
    ExpectBottomText("0", kYellow);
  });
}

TEST_F(TunerPanelTest, MuteShowsItsNoticeAndMarkAndAVolumeStepEndsIt) {
  Run([](SimBoard& board) {
    Click(kTunerMute);
    EXPECT_TRUE(Audio.Muted);
    EXPECT_EQ(board.Audio().Register(0x08), 0xEF);
    EXPECT_EQ(TunerPanel.ShownMark, IDB_SOUND_MUTED);
    ExpectBottomText("Mute", kRed);
    EXPECT_TRUE(KillTimer(Panel(), kTimerMuteDisplay));
    Tick(kTimerMuteDisplay);
    EXPECT_EQ(Snapshot(VideoWindow.Window, ToRect(BottomOsdRect(Width(), Height()))).Count(kRed),
              0);

    // Sound comes back with a volume step.
    Click(kTunerVolumeUp);
    EXPECT_FALSE(Audio.Muted);
    EXPECT_EQ(Audio.Volume, 246);
    EXPECT_EQ(board.Audio().Register(0x08), 0xCF);
    EXPECT_EQ(board.Audio().Register(0x00), 246);
    EXPECT_EQ(TunerPanel.ShownMark, IDB_SOUND_ON);

    // And with mute pressed again, which also erases the notice.
    Click(kTunerMute);
    ASSERT_TRUE(Audio.Muted);
    Click(kTunerMute);
    EXPECT_FALSE(Audio.Muted);
    EXPECT_EQ(board.Audio().Register(0x08), 0xCF);
    EXPECT_EQ(Snapshot(VideoWindow.Window, ToRect(BottomOsdRect(Width(), Height()))).Count(kRed),
              0);
    EXPECT_FALSE(KillTimer(Panel(), kTimerMuteDisplay)) << "mute off stops the erase timer";
  });
}

// Each display's erase timer would otherwise erase whatever display came after it.
TEST_F(TunerPanelTest, ANewerDisplayOutlastsTheEraseTimerOfTheOneBefore) {
  Run([](SimBoard&) {
    HWND video = VideoWindow.Window;
    SelectChannel(3);
    Click(kTunerVolumeUp);
    EXPECT_FALSE(KillTimer(video, kTimerChannelDisplay));
    Click(kTunerMute);
    EXPECT_FALSE(KillTimer(Panel(), kTimerVolumeDisplay));
    SelectChannel(4);
    EXPECT_FALSE(KillTimer(Panel(), kTimerMuteDisplay));
    EXPECT_TRUE(KillTimer(video, kTimerChannelDisplay));

    // In real time: "Mute" a second after a volume step stays its three seconds.
    Click(kTunerMute);  // sound on again
    Click(kTunerVolumeDown);
    Pump(1000);
    Click(kTunerMute);
    Pump(2500);  // 3.5 s after the volume step
    const RECT bottom = ToRect(BottomOsdRect(Width(), Height()));
    EXPECT_GT(Snapshot(video, bottom).Count(kRed), 0);
    Pump(1000);
    EXPECT_EQ(Snapshot(video, bottom).Count(kRed), 0);
  });
}

TEST_F(TunerPanelTest, PanelShowsTheVolumeAsNumberAndBar) {
  Run([](SimBoard&) {
    const struct {
      int Volume;
      const char* Text;
      int Lit;
    } cases[] = {{245, "11", 6}, {234, "0", 0}, {255, "21", 11}};
    for (const auto& c : cases) {
      Audio.Volume = c.Volume;
      InvalidateRect(Panel(), nullptr, TRUE);
      UpdateWindow(Panel());
      const Pixels bar = Snapshot(Panel(), RECT{0, 0, 140, 70});
      for (int i = 0; i < 11; ++i) {
        const int x = 40 + 6 * i + 1;
        EXPECT_EQ(bar.At(x, 53) == kYellow, i < c.Lit) << c.Volume << ": segment " << i;
        EXPECT_EQ(bar.At(x, 56), kYellow) << c.Volume << ": segment " << i;
      }
      const RECT number = {105, 45, 140, 66};
      const Pixels shown = Snapshot(Panel(), number);
      const Pixels expected = Expected(number, 11, RGB(255, 255, 0), [&](HDC dc) {
        TextOutA(dc, 107, 50, c.Text, static_cast<int>(std::strlen(c.Text)));
      });
      EXPECT_EQ(shown.Mask(kYellow), expected.Mask(kYellow)) << c.Volume;
    }
  });
}

TEST_F(TunerPanelTest, RecallRetunesThePreviousSlot) {
  Run([](SimBoard& board) {
    Settings.CableStandard = 3;
    Settings.CurrentChannel = 5;
    Tuner.PreviousChannel = 5;
    const uint32_t writes = board.Tuner().Writes();
    Click(kTunerRecall);
    EXPECT_EQ(board.Tuner().Writes(), writes + 1);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(3)[5] >> 16 & 0x7FFF);
    EXPECT_EQ(Settings.CurrentChannel, 5);

    Settings.CurrentChannel = 9;
    Click(kTunerRecall);
    EXPECT_EQ(Settings.CurrentChannel, 5);
    EXPECT_EQ(Tuner.PreviousChannel, 9);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(3)[5] >> 16 & 0x7FFF);
    Click(kTunerRecall);
    EXPECT_EQ(Settings.CurrentChannel, 9);
  });
}

TEST_F(TunerPanelTest, HeldChannelRockerStepsPerTick) {
  Run([](SimBoard&) {
    for (int slot : {3, 4, 5, 6, 8}) Settings.Channels[slot].Checked = 1;
    Settings.CurrentChannel = 3;
    Press(kTunerChannelUp);
    Tick(kTimerChannelRepeat);
    Tick(kTimerChannelRepeat);
    EXPECT_EQ(Settings.CurrentChannel, 5);
    Release(kTunerChannelUp);
    EXPECT_EQ(Settings.CurrentChannel, 6);
    Click(kTunerChannelDown);
    EXPECT_EQ(Settings.CurrentChannel, 5);
    EXPECT_FALSE(KillTimer(Panel(), kTimerVolumeDisplay)) << "the channel rockers show no volume";
  });
}

TEST_F(TunerPanelTest, AutoscanRunsWithBothPanelsPutAway) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TestMainPanel";
  RegisterClassA(&wc);
  Run([&](SimBoard&) {
    Panels.MainPanel = CreateWindowExA(0, "TestMainPanel", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                       nullptr, nullptr, wc.hInstance, nullptr);
    static bool panelWasIconic;
    panelWasIconic = false;
    // The scan looks for key presses between slots: look at the panel from there.
    SetTunerHooks(TunerHooks{nullptr, [] {
                               panelWasIconic = panelWasIconic || IsIconic(Panel());
                               return false;
                             }});
    Click(kTunerAutoscan);
    EXPECT_TRUE(panelWasIconic);
    EXPECT_EQ(g_videoCommands, (std::vector<WPARAM>{ID_AUTOSCAN}));
    EXPECT_FALSE(IsIconic(Panel()));
    EXPECT_TRUE(IsIconic(Panels.MainPanel));
    ASSERT_GT(Settings.CurrentChannel, 0);
    EXPECT_EQ(Settings.Channels[static_cast<size_t>(Settings.CurrentChannel)].Checked, 1);
    DestroyWindow(Panels.MainPanel);
    Panels.MainPanel = nullptr;
  });
  UnregisterClassA("TestMainPanel", wc.hInstance);
}

TEST_F(TunerPanelTest, CloseLeavesTheTunerForTheInputBeforeIt) {
  Run([](SimBoard& board) {
    AudioMuteOn();
    HWND panel = Panel();
    Click(kTunerClose);
    EXPECT_FALSE(TunerPanelExists());
    EXPECT_FALSE(IsWindow(panel)) << "a closed panel is gone, not hidden";
    EXPECT_EQ(Settings.VideoConnector, kConnectorComposite);
    EXPECT_EQ(board.Decoder().InputMode(), 3);
    EXPECT_TRUE(Audio.Muted) << "sound stays off until mute or volume";
    EXPECT_EQ(board.Audio().Register(0x08), 0xEF);
    Command(ID_PANEL);  // not the Tuner input any more
    EXPECT_FALSE(TunerPanelExists());

    // Chosen from S-Video, the Tuner goes back to S-Video, with its sound routing.
    RememberInputBeforeTuner(kConnectorSVideo);
    RememberInputBeforeTuner(kConnectorTuner);  // choosing the Tuner again changes nothing
    Settings.VideoConnector = kConnectorTuner;
    Command(ID_PANEL);
    ASSERT_TRUE(TunerPanelExists());
    SendMessageA(Panel(), WM_COMMAND, kTunerClose, 0);  // as the Video Source dialog does
    EXPECT_FALSE(TunerPanelExists());
    EXPECT_EQ(Settings.VideoConnector, kConnectorSVideo);
    EXPECT_EQ(board.Decoder().InputMode(), 4);
    EXPECT_EQ(board.Expander().Latch(), 0xFC);
  });
}

TEST_F(TunerPanelTest, ChannelDisplayStaysUntilTwoSecondsAfterTheLastChange) {
  Run([](SimBoard&) {
    const RECT r = ToRect(ChannelOsdRect(Width(), Height()));
    SelectChannel(7);
    ASSERT_GT(Snapshot(VideoWindow.Window, r).Count(kGreen), 0);
    Pump(1000);
    SelectChannel(8);
    ExpectChannelText("  8");
    Pump(1500);  // 2.5 s after the first: still up
    EXPECT_GT(Snapshot(VideoWindow.Window, r).Count(kGreen), 0);
    Pump(1000);
    EXPECT_EQ(Snapshot(VideoWindow.Window, r).Count(kGreen), 0);
  });
}

// Bars and marks fill exactly their rectangles: 8 x 17 and 5 x 4 on an NTSC field,
// 8 x 20 tall from line 246 on a PAL one.
TEST_F(TunerPanelTest, VolumeBarsFillTheirRectanglesForBothFieldSizes) {
  for (int standard : {0, 3}) {
    SimScenario scenario;
    scenario.compositeStandard = standard;
    Run(
        [standard](SimBoard&) {
          ASSERT_EQ(Height(), standard == 0 ? 240 : 288);
          Audio.Volume = 245;
          ShowVolumeOsd();
          const Pixels p = Snapshot(VideoWindow.Window, RECT{0, 0, Width(), Height()});
          for (const OsdRect& r :
               {OsdBarRect(Width(), Height(), 10, 11), OsdBarRect(Width(), Height(), 11, 11)}) {
            EXPECT_EQ(p.At(r.Left, r.Top), kYellow);
            EXPECT_EQ(p.At(r.Right - 1, r.Bottom - 1), kYellow);
            EXPECT_NE(p.At(r.Left - 1, r.Top), kYellow);
            EXPECT_NE(p.At(r.Right, r.Top), kYellow);
            EXPECT_NE(p.At(r.Left, r.Top - 1), kYellow);
            EXPECT_NE(p.At(r.Left, r.Bottom), kYellow);
          }
          bool marks = false;
          EXPECT_EQ(TallBars(&marks), 11);
          EXPECT_TRUE(marks);
          ExpectBottomText("11", kYellow);
          if (standard == 3) {
            EXPECT_EQ(OsdBarRect(Width(), Height(), 0, 11).Top, 246);
          }
        },
        scenario);
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
}

}  // namespace
