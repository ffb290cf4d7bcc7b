// The main panel inside the running program: placement, which buttons respond, the lit
// flags after each mode command, and the source options the arrow buttons change.
#include <gtest/gtest.h>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "hw/Decoder.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/MainPanel.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

LPARAM At(int x, int y) {
  return MAKELPARAM(x, y);
}

// A click as the pointer makes it: press and release at one point of the panel.
void Click(int x, int y) {
  SendMessageA(MainPanel.Window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, At(x, y));
}

// Points inside some buttons.
constexpr POINT kAtCaptureMode = {63, 48};
constexpr POINT kAtLiveVideoMode = {79, 48};
constexpr POINT kAtFullScreen = {114, 48};
constexpr POINT kAtShowHide = {383, 33};
constexpr POINT kAtLeft = {368, 33};
constexpr POINT kAtRight = {397, 33};
constexpr POINT kAtUp = {383, 19};
constexpr POINT kAtDown = {383, 48};
constexpr POINT kAtPlay = {261, 15};

void Click(POINT p) {
  Click(p.x, p.y);
}

int Lit(int flag) {
  return MainPanelSkin.LitFlags[flag];
}

class MainPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
  void TearDown() override { ResetProgramState(); }

  void Run(const std::function<void(SimBoard&)>& body) {
    TestBoard board;
    RunProgram([&] {
      ASSERT_NE(MainPanel.Window, nullptr);
      body(board.Board());
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
    });
  }
};

TEST_F(MainPanelTest, SitsCentredFivePixelsBelowTheVideoWindow) {
  Run([](SimBoard&) {
    RECT video, panel, client;
    GetWindowRect(VideoWindow.Window, &video);
    GetWindowRect(MainPanel.Window, &panel);
    GetClientRect(MainPanel.Window, &client);
    EXPECT_EQ(panel.left, video.left - (420 - (video.right - video.left)) / 2);
    EXPECT_EQ(panel.top, video.bottom + 5);
    EXPECT_EQ(client.right, 420);
    EXPECT_EQ(client.bottom, 70);
    char title[64] = {};
    GetWindowTextA(MainPanel.Window, title, sizeof title);
    EXPECT_STREQ(title, "Corvan Main Panel");
    EXPECT_EQ(GetWindowLongA(MainPanel.Window, GWL_STYLE) & WS_CAPTION, 0);
    // The cut-away corners are not part of the window.
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(MainPanel.Window, shape), ERROR);
    EXPECT_TRUE(PtInRegion(shape, 100, 60));
    EXPECT_TRUE(PtInRegion(shape, 10, 68));
    EXPECT_FALSE(PtInRegion(shape, 2, 68));
    EXPECT_FALSE(PtInRegion(shape, 417, 68));
    DeleteObject(shape);
    // The trackbar sits over the skin's strip for it, disabled until a clip is loaded.
    HWND trackbar = GetDlgItem(MainPanel.Window, IDC_POSITION_TRACKBAR);
    RECT t;
    GetWindowRect(trackbar, &t);
    POINT origin = {0, 0};
    ClientToScreen(MainPanel.Window, &origin);
    EXPECT_EQ(t.left - origin.x, 137);
    EXPECT_EQ(t.top - origin.y, 10);
    EXPECT_EQ(t.right - t.left, 100);
    EXPECT_FALSE(IsWindowEnabled(trackbar));
    // A second creation does nothing.
    HWND first = MainPanel.Window;
    CreateMainPanel();
    EXPECT_EQ(MainPanel.Window, first);
  });
}

TEST_F(MainPanelTest, ModeButtonsSwitchTheVideoWindowAndTheLitFlagsFollow) {
  Run([](SimBoard&) {
    // At start the live mode's own button and the capture buttons are unavailable.
    EXPECT_EQ(Lit(kLitLiveVideoMode), 1);
    EXPECT_EQ(Lit(kLitCaptureMode), 0);
    EXPECT_EQ(Lit(kLitCaptureSingleFrame), 1);
    EXPECT_EQ(Lit(kLitSpare), 1);
    Click(kAtLiveVideoMode);  // lit: nothing happens
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
    Click(kAtPlay);  // lit as well
    EXPECT_EQ(GetCapture(), nullptr);

    Click(kAtCaptureMode);
    EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
    EXPECT_EQ(Lit(kLitCaptureMode), 1);
    EXPECT_EQ(Lit(kLitLiveVideoMode), 0);
    EXPECT_EQ(Lit(kLitFullScreen), 1);
    for (int flag :
         {kLitCaptureVideo, kLitCaptureFrames, kLitCaptureSingleFrame, kLitSetCaptureFile})
      EXPECT_EQ(Lit(flag), 0) << flag;
    Click(kAtFullScreen);  // unavailable in Capture Mode
    EXPECT_EQ(VideoWindow.FullScreen, 0);

    Click(kAtLiveVideoMode);
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
    EXPECT_EQ(Lit(kLitCaptureMode), 0);
    EXPECT_EQ(Lit(kLitLiveVideoMode), 1);
    EXPECT_EQ(Lit(kLitCaptureSingleFrame), 1);

    Click(kAtFullScreen);
    EXPECT_EQ(VideoWindow.FullScreen, 1);
    Click(kAtFullScreen);
    EXPECT_EQ(VideoWindow.FullScreen, 0);

    // The menu's items and the Ctrl keys leave the panel as its own buttons do.
    const std::vector<int> live = MainPanelSkin.LitFlags;
    Click(kAtCaptureMode);
    const std::vector<int> capture = MainPanelSkin.LitFlags;
    Click(kAtLiveVideoMode);
    for (auto [toCapture, toLive] :
         {std::pair{ID_CAPTURE_MODE, ID_LIVE_VIDEO_MODE}, std::pair{ID_CTRL_C, ID_CTRL_V}}) {
      SendMessageA(VideoWindow.Window, WM_COMMAND, toCapture, 0);
      EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
      EXPECT_EQ(MainPanelSkin.LitFlags, capture) << toCapture;
      SendMessageA(VideoWindow.Window, WM_COMMAND, toLive, 0);
      EXPECT_EQ(MainPanelSkin.LitFlags, live) << toLive;
    }
  });
}

TEST_F(MainPanelTest, ShowHideSelectsBrightnessAndUnlocksTheArrows) {
  Run([](SimBoard&) {
    Click(kAtUp);  // lit while the options are hidden
    EXPECT_EQ(MainPanel.SourceOption, kOptionNone);
    Click(kAtShowHide);
    EXPECT_EQ(MainPanel.SourceOption, kOptionBrightness);
    for (int flag : {kLitLeft, kLitRight, kLitUp, kLitDown}) EXPECT_EQ(Lit(flag), 0);
    Click(kAtUp);
    EXPECT_EQ(MainPanel.SourceOption, kOptionStandard);
    Click(kAtDown);
    EXPECT_EQ(MainPanel.SourceOption, kOptionBrightness);
    Click(kAtDown);
    EXPECT_EQ(MainPanel.SourceOption, kOptionContrast);
    Click(kAtShowHide);
    EXPECT_EQ(MainPanel.SourceOption, kOptionNone);
    for (int flag : {kLitLeft, kLitRight, kLitUp, kLitDown}) EXPECT_EQ(Lit(flag), 1);
  });
}

TEST_F(MainPanelTest, PictureSettingsStepByEightAndReachTheDecoder) {
  Run([](SimBoard& board) {
    Click(kAtShowHide);
    Settings.Brightness = 250;
    Click(kAtRight);
    EXPECT_EQ(Settings.Brightness, 255);
    EXPECT_EQ(board.Decoder().Register(0x0A), 0xFF);
    Settings.Brightness = 5;
    Click(kAtLeft);
    EXPECT_EQ(Settings.Brightness, 0);
    EXPECT_EQ(board.Decoder().Register(0x0A), 0x00);

    Click(kAtDown);
    Settings.Contrast = 200;
    Click(kAtRight);
    EXPECT_EQ(Settings.Contrast, 208);
    EXPECT_EQ(board.Decoder().Register(0x0B), 104);

    Click(kAtDown);
    Click(kAtDown);
    Settings.Hue = 100;
    Click(kAtLeft);
    EXPECT_EQ(Settings.Hue, 92);
    EXPECT_EQ(board.Decoder().Register(0x0D), 92 + 128);
  });
}

TEST_F(MainPanelTest, HoldingRightOnHueThroughFiveTicksRaisesItBySixSteps) {
  Run([](SimBoard&) {
    Click(kAtShowHide);
    Click(kAtDown);
    Click(kAtDown);
    Click(kAtDown);  // hue
    ASSERT_EQ(MainPanel.SourceOption, kOptionHue);
    Settings.Hue = 100;
    SendMessageA(MainPanel.Window, WM_LBUTTONDOWN, MK_LBUTTON, At(kAtRight.x, kAtRight.y));
    for (int i = 0; i < 5; ++i) SendMessageA(MainPanel.Window, WM_TIMER, 9, 0);
    SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, At(kAtRight.x, kAtRight.y));
    EXPECT_EQ(Settings.Hue, 148);
  });
}

TEST_F(MainPanelTest, StandardCycleSetsPlanFieldHeightAndCaptureSize) {
  Run([](SimBoard& board) {
    Click(kAtShowHide);
    Click(kAtUp);  // video standard
    Settings.VideoStandard = kPalN;
    Click(kAtRight);
    EXPECT_EQ(Settings.VideoStandard, kPal443);
    EXPECT_EQ(Settings.CableStandard, 2);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 288u);
    Click(kAtRight);
    EXPECT_EQ(Settings.VideoStandard, kNtscM);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 251u);
    Click(kAtLeft);
    Click(kAtLeft);
    Click(kAtLeft);
    Click(kAtLeft);
    EXPECT_EQ(Settings.VideoStandard, kPalBghi);
    EXPECT_EQ(Settings.CableStandard, 0);
    EXPECT_EQ(board.Decoder().Register(0x08), kStandardRegisterSets[kPalBghi].sync);
    // Live video came back on the new height.
    EXPECT_NE(Display.OverlaySurface, nullptr);

    Click(kAtCaptureMode);
    RECT client;
    GetClientRect(VideoWindow.Window, &client);
    EXPECT_EQ(client.bottom, 288);
    Click(kAtRight);  // PAL-M: a 240-line picture
    GetClientRect(VideoWindow.Window, &client);
    EXPECT_EQ(client.right, 352);
    EXPECT_EQ(client.bottom, 240);
    EXPECT_EQ(VideoWindow.PictureHeight, 240);
  });
}

TEST_F(MainPanelTest, InputStepsBetweenCameraInputsOnly) {
  Run([](SimBoard& board) {
    Click(kAtShowHide);
    Click(kAtUp);
    Click(kAtUp);
    ASSERT_EQ(MainPanel.SourceOption, kOptionInput);
    Settings.VideoConnector = kConnectorComposite;
    Click(kAtRight);
    EXPECT_EQ(Settings.VideoConnector, kConnectorSVideo);
    EXPECT_EQ(board.Decoder().Register(0x02), 0xD4);  // Y and C apart
    Click(kAtLeft);
    EXPECT_EQ(Settings.VideoConnector, kConnectorComposite);
    EXPECT_EQ(board.Decoder().Register(0x02), 0xD3);
    Settings.VideoConnector = kConnectorTuner;
    Click(kAtLeft);
    EXPECT_EQ(Settings.VideoConnector, kConnectorTuner);
    EXPECT_EQ(board.Decoder().Register(0x02), 0xD3);
    // On the Tuner input the arrows only bring up its panel; leaving the input ends it.
    EXPECT_TRUE(TunerPanelExists());
    EXPECT_EQ(TunerPanel.AudioModeIndicator, 1);  // "MTS"
    Settings.VideoConnector = kConnectorSVideo;
    Click(kAtLeft);
    EXPECT_EQ(Settings.VideoConnector, kConnectorComposite);
    EXPECT_FALSE(TunerPanelExists());
  });
}

TEST_F(MainPanelTest, PressMoveOutReleaseDoesNothing) {
  Run([](SimBoard&) {
    SendMessageA(MainPanel.Window, WM_LBUTTONDOWN, MK_LBUTTON,
                 At(kAtCaptureMode.x, kAtCaptureMode.y));
    SendMessageA(MainPanel.Window, WM_MOUSEMOVE, MK_LBUTTON, At(200, 60));
    SendMessageA(MainPanel.Window, WM_MOUSEMOVE, MK_LBUTTON,
                 At(kAtCaptureMode.x, kAtCaptureMode.y));
    SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, At(kAtCaptureMode.x, kAtCaptureMode.y));
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
    EXPECT_EQ(Lit(kLitCaptureMode), 0);
  });
}

}  // namespace

namespace {

TEST_F(MainPanelTest, QuickSecondClickIsAPressToo) {
  Run([](SimBoard&) {
    Click(kAtShowHide);
    ASSERT_EQ(MainPanel.SourceOption, kOptionBrightness);
    // Two clicks in quick succession arrive as a press and a double click.
    Click(kAtDown);
    SendMessageA(MainPanel.Window, WM_LBUTTONDBLCLK, MK_LBUTTON, At(kAtDown.x, kAtDown.y));
    SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, At(kAtDown.x, kAtDown.y));
    EXPECT_EQ(MainPanel.SourceOption, kOptionSaturation);
  });
}

}  // namespace
