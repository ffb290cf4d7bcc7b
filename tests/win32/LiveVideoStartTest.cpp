// Starting live video against the recording card: every call from the port's connection
// to the placed overlay, the key decision, the failures that end the program or leave it
// without video, and the prescale level that a narrow window needs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "shared/Settings.h"
#include "ui/ViewState.h"
#include "win32/DisplayChainFixture.h"
#include "win32/Recorders.h"

namespace display_test {
namespace {

// ---------------------------------------------------------------------------
// StartVideoPort and StartLiveVideo

TEST_F(DisplayChainTest, LiveVideoStartCallsTheCardInOrder) {
  card_.config.yInterpAndColorkey = 1000;  // below the others: the key is always used
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();
  VideoWindow.PictureWidth = VideoWindow.PictureHeight = 0;

  StartLiveVideoOrEnd(window_);
  const std::string keyedAt = ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed);
  EXPECT_EQ(card_.Calls(),
            (std::vector<std::string>{
                "Container.GetVideoPortConnectInfo port=0 list=null",
                "Container.GetVideoPortConnectInfo port=0 n=1 list",
                "Container.CreateVideoPort flags=0 field=720x251 vbi=720 us=1 pps=1 id=0 "
                "type=8/CCIR656/0x20",
                "Port.GetOutputFormats in=UYVY/16 flags=0x1 list=null",
                "Port.GetOutputFormats in=UYVY/16 flags=0x1 n=1 list",
                "DD.SetCooperativeLevel hwnd=null flags=0x8",
                "DD.CreateSurface flags=0x1 caps=0x200 w=0 h=0 back=0 pf=-",
                "Primary.GetSurfaceDesc",
                "DD.CreateSurface flags=0x1027 caps=0x8004098 w=720 h=251 back=1 pf=UYVY/16",
                "Clipper.SetHWnd flags=0 hwnd=video",
                "Primary.SetClipper clipper",
                "Primary.GetSurfaceDesc",
                "Primary.SetColorKey flags=0x4 low=0xf81f high=0xf81f",
                "Port.GetBandwidthInfo pf=UYVY/16 w=0 h=0 flags=0x4",
                "Port.GetBandwidthInfo pf=UYVY/16 w=720 h=251 flags=0x1",
                "Port.SetTargetSurface Overlay flags=0x1",
                // CONVERT | PRESCALE | AUTOFLIP: the window is one field high.
                "Port.StartVideo flags=0x43 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0",
                "Clipper.GetClipList rect=null list=null",
                "Clipper.GetClipList rect=null list",
                "DD.GetCaps hel=null",
                "DD.GetCaps hel=null",
                keyedAt,
            }));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Display.PortStarting, 0);
  EXPECT_EQ(Display.KeyAlways, 1);
  EXPECT_EQ(Display.ColorKey, 0xF81Fu);
  EXPECT_EQ(Display.OverlayBuffers, 2);
  EXPECT_EQ(Display.OverlayUnavailable, 0);
  // The picture size is the real client area's.
  EXPECT_EQ(VideoWindow.PictureWidth, 352);
  EXPECT_EQ(VideoWindow.PictureHeight, 240);
  EXPECT_EQ(FullSourceRect().right, 716);
  EXPECT_FALSE(QuitPosted());
  EXPECT_TRUE(IsWindowVisible(window_));

  // The refresh tick runs every 200 ms.
  EXPECT_GE(TicksDuring(1100), 2);
}

TEST_F(DisplayChainTest, BandwidthAnswersDecideKeyAlways) {
  struct Case {
    const char* name;
    DWORD type;
    DWORD yInterpAndColorkey;
    DWORD secondFlags;
    int keyAlways;
  };
  const std::vector<Case> cases = {
      {"source, below both", DDVPBCAPS_SOURCE, 1000, DDVPB_OVERLAY, 0},
      {"source, between", DDVPBCAPS_SOURCE, 2500, DDVPB_OVERLAY, 1},
      {"destination, above both", DDVPBCAPS_DESTINATION, 4000, DDVPB_VIDEOPORT, 0},
      {"destination, below both", DDVPBCAPS_DESTINATION, 1000, DDVPB_VIDEOPORT, 1},
      // Anything but exactly the source type reads as the other type.
      {"both types", DDVPBCAPS_SOURCE | DDVPBCAPS_DESTINATION, 4000, DDVPB_VIDEOPORT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config.bandwidthType = c.type;
    card_.config.yInterpAndColorkey = c.yInterpAndColorkey;
    Display.KeyAlways = 1 - c.keyAlways;
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    card_.ClearCalls();
    EXPECT_TRUE(StartVideoPort());
    EXPECT_EQ(card_.Calls({"Port.GetBandwidthInfo"}),
              (std::vector<std::string>{
                  "Port.GetBandwidthInfo pf=UYVY/16 w=0 h=0 flags=0x4",
                  "Port.GetBandwidthInfo pf=UYVY/16 w=720 h=251 flags=" + Hex(c.secondFlags),
              }));
    EXPECT_EQ(Display.KeyAlways, c.keyAlways);
    // Fully visible: the key only when it is always used.
    EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
              std::vector<std::string>{ShowCall("4,12,716,251", "100,100,452,340",
                                                c.keyAlways ? kOverlayShowKeyed : kOverlayShow)});
    DisplayRelease();
  }
}

TEST_F(DisplayChainTest, NoVideoPortEndsTheProgram) {
  card_.config.connections = {};
  StartLive();
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            Box("video", "Unable to create the video port object", 0x40010)});
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(card_.LiveReferences(), 0u);
}

TEST_F(DisplayChainTest, NoOverlaySurfaceEndsTheProgram) {
  for (bool autoflip : {false, true}) {
    SCOPED_TRACE(autoflip ? "overlay refused" : "port without autoflip");
    card_.config.ports[0].dwCaps = autoflip ? DDVPCAPS_AUTOFLIP : DDVPCAPS_INTERLACED;
    card_.config.overlayCreate = [](const DDSURFACEDESC&) { return DDERR_NOOVERLAYHW; };
    RecordedMessages().clear();
    ShowWindow(window_, SW_SHOWNA);
    Display.OverlayUnavailable = 0;
    StartLive();
    EXPECT_EQ(Display.OverlayUnavailable, 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{Box("video", kNoLiveVideoText, 0x40030)});
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(card_.LiveReferences(), 0u);
    EXPECT_TRUE(card_.Calls({"Port.SetTargetSurface"}).empty());
  }
}

TEST_F(DisplayChainTest, OtherStartFailuresLeaveTheWindowWithoutVideo) {
  struct Case {
    const char* name;
    std::function<void(RecordingCard::Config&)> breakCard;
  };
  const std::vector<Case> cases = {
      {"no output format", [](RecordingCard::Config& c) { c.outputFormats = {}; }},
      {"bandwidth refused",
       [](RecordingCard::Config& c) { c.bandwidthResult = DDERR_INVALIDPARAMS; }},
      {"target refused", [](RecordingCard::Config& c) { c.targetResult = DDERR_INVALIDPARAMS; }},
      {"port never starts",
       [](RecordingCard::Config& c) {
         c.startVideo = [](const DDVIDEOPORTINFO&) { return DDERR_INVALIDPARAMS; };
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config = RecordingCard().config;
    c.breakCard(card_.config);
    RecordedMessages().clear();
    StartLive();
    EXPECT_EQ(Messages(),
              std::vector<std::string>{Box("video", "Unable to start video port ", 0x40010)});
    EXPECT_EQ(Display.OverlayUnavailable, 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(QuitPosted());
    // The chain stays as it was; no refresh tick runs.
    EXPECT_NE(Display.VideoPort, nullptr);
    EXPECT_EQ(TicksDuring(450), 0);
    DisplayRelease();
  }
  // A port that never started keeps asking to be started.
  EXPECT_EQ(Display.PortStarting, 1);
}

// ---------------------------------------------------------------------------
// RestartVideo and ConfigureVideoPort

TEST_F(DisplayChainTest, NarrowWindowFindsThePrescaleLevelTheOverlayCanStretch) {
  card_.config.updateOverlay = RefuseShrinking;
  card_.config.yInterpAndColorkey = 4000;  // KeyAlways 0: one try per level
  MoveClient(kWindowX, kWindowY, 100, 240);
  StartLive();
  ASSERT_TRUE(Messages().empty());
  const std::vector<std::string> starts = card_.Calls({"Port.StartVideo"});
  ASSERT_EQ(starts.size(), 4u);
  const char* widths[] = {"prescale=720x251", "prescale=360x251", "prescale=180x251",
                          "prescale=90x251"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NE(starts[i].find(widths[i]), std::string::npos) << starts[i];
    EXPECT_NE(starts[i].find("flags=0x43 "), std::string::npos) << starts[i];
  }
  // Each refused level hides the overlay again; the fourth is shown.
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("2,12,718,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,358,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,178,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,88,251", "100,100,200,340", kOverlayShow),
            }));
  EXPECT_EQ(Placement.PrescaleWidth, 90u);

  // Widening the window: the next tick goes back to the full width with UpdateVideo.
  MoveClient(kWindowX, kWindowY, 704, 480);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port."}),
            std::vector<std::string>{
                "Port.UpdateVideo flags=0x3 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0"});
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            std::vector<std::string>{ShowCall("8,12,712,251", "100,100,804,580", kOverlayShow)});
  EXPECT_EQ(VideoWindow.PictureWidth, 704);
  EXPECT_EQ(VideoWindow.PictureHeight, 480);
}

TEST_F(DisplayChainTest, WindowTooNarrowForEveryLevelStartsNoVideo) {
  card_.config.updateOverlay = RefuseShrinking;
  MoveClient(kWindowX, kWindowY, 40, 240);
  StartLive();
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}).size(), 5u);
  EXPECT_NE(LastCall("Port.StartVideo").find("prescale=45x251"), std::string::npos);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{Box("video", "Unable to start video port ", 0x40010)});
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"), kOverlayHide);
}

TEST_F(DisplayChainTest, PortConfigurationFollowsTheWindowAndStandard) {
  struct Case {
    int standard;
    int width, height;
    const char* start;
    const char* source;
  };
  const std::vector<Case> cases = {
      {0, 352, 240, "flags=0x43 origin=0,0 prescale=720x251", "4,12,716,251"},
      {0, 704, 480, "flags=0x3 origin=0,0 prescale=720x251", "8,12,712,251"},
      {0, 352, 120, "flags=0x43 origin=0,0 prescale=720x126", "4,7,716,126"},
      {3, 352, 288, "flags=0x43 origin=0,0 prescale=720x288", "4,1,716,288"},
      {6, 768, 576, "flags=0x3 origin=0,0 prescale=720x288", "9,1,711,288"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Format("standard %d, %dx%d", c.standard, c.width, c.height));
    Settings.VideoStandard = c.standard;
    FillVideoPortConfig();
    MoveClient(kWindowX, kWindowY, c.width, c.height);
    card_.ClearCalls();
    StartLive();
    const std::vector<std::string> starts = card_.Calls({"Port.StartVideo"});
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].rfind(std::string("Port.StartVideo ") + c.start, 0), 0u) << starts[0];
    EXPECT_EQ(
        card_.Calls({"Overlay.UpdateOverlay"}),
        std::vector<std::string>{ShowCall(
            c.source,
            RectText(RECT{kWindowX, kWindowY, kWindowX + c.width, kWindowY + c.height}).c_str(),
            kOverlayShowKeyed)});
    DisplayRelease();
  }
}

}  // namespace
}  // namespace display_test
