// Keeping the overlay over the video window against the recording card: where it is
// shown and with or without the key, the colour key painted into the window, and the
// refresh tick that follows moves, covering windows, minimising and lost surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "hw/PortIo.h"
#include "shared/Settings.h"
#include "sim/SimBoard.h"
#include "sim/SimClock.h"
#include "ui/ViewState.h"
#include "win32/DisplayChainFixture.h"
#include "win32/Recorders.h"

namespace display_test {
namespace {

// ---------------------------------------------------------------------------
// UpdateOverlayPosition

class DisplayChainPlacementTest : public DisplayChainTest {
 protected:
  void SetUp() override {
    DisplayChainTest::SetUp();
    StartLive();
    ASSERT_TRUE(Messages().empty());
    card_.ClearCalls();
  }
};

TEST_F(DisplayChainPlacementTest, FullyVisibleWindowUsesTheKeyOnlyWhenAlwaysKeyed) {
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  Display.KeyAlways = 1;
  EXPECT_TRUE(UpdateOverlayPosition());
  // A refused key over a fully visible window: shown without it.
  card_.config.updateOverlay = RefuseKey;
  EXPECT_TRUE(UpdateOverlayPosition());
  // Refused altogether: hidden.
  card_.config.updateOverlay = [](const RECT&, const RECT&, DWORD) { return DDERR_GENERIC; };
  EXPECT_FALSE(UpdateOverlayPosition());
  const char* dest = "100,100,452,340";
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("4,12,716,251", dest, kOverlayShow),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShow),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShow),
                kOverlayHide,
            }));
}

TEST_F(DisplayChainPlacementTest, CoveredWindowIsShownKeyedOrNotAtAll) {
  // Two visible pieces: the overlay spans the client area and the key cuts it.
  card_.config.clipRects = std::vector<RECT>{{100, 100, 452, 200}, {100, 200, 300, 340}};
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  card_.config.updateOverlay = RefuseKey;
  EXPECT_FALSE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed),
                ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed),
                kOverlayHide,
            }));
}

TEST_F(DisplayChainPlacementTest, OnlyTheVisiblePartOfThePictureIsShown) {
  Display.KeyAlways = 0;
  // The right half of the client area is all that is visible.
  card_.config.clipRects = std::vector<RECT>{{276, 100, 452, 340}};
  EXPECT_TRUE(UpdateOverlayPosition());
  // Wholly covered, and hanging off the right of the 800-pixel screen: the on-screen part.
  MoveClient(700, 100, 352, 240);
  card_.config.clipRects = std::vector<RECT>{};
  EXPECT_TRUE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("360,12,716,251", "276,100,452,340", kOverlayShow),
                ShowCall("4,12,206,251", "700,100,800,340", kOverlayShowKeyed),
            }));
}

TEST_F(DisplayChainPlacementTest, BothRectanglesFollowTheDriversAlignment) {
  card_.config.caps |= DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZESRC;
  card_.config.alignBoundaryDest = 8;
  card_.config.alignBoundarySrc = 4;
  card_.config.alignSizeSrc = 8;
  card_.config.alignSizeDest = 64;  // no size flag for the destination: ignored
  MoveClient(101, 100, 352, 240);
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  // Destination left 101 -> 104; it maps to source column 3 x 712 / 352 + 4 = 10 -> 12,
  // and the source width 704 is a multiple of 8 already.
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            std::vector<std::string>{ShowCall("12,12,716,251", "104,100,453,340", kOverlayShow)});
}

TEST_F(DisplayChainPlacementTest, MinimisedWindowHidesTheOverlay) {
  ShowWindow(window_, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window_));
  EXPECT_FALSE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls(), std::vector<std::string>{kOverlayHide});
  RECT unused;
  EXPECT_FALSE(GetClientScreenRect(unused));
  ShowWindow(window_, SW_RESTORE);
}

// The key goes only where the overlay shows video: a strip the aligned overlay leaves
// uncovered, and the whole client area while the overlay is hidden, are black.
TEST_F(DisplayChainPlacementTest, PaintColorKeyKeysOnlyWhereTheOverlayShows) {
  const auto fill = [](const char* dest, const char* colour) {
    return std::string("Primary.Blt dest=") + dest +
           " src=null,null flags=" + Hex(DDBLT_COLORFILL) + " fill=" + colour;
  };
  PaintColorKey();
  EXPECT_EQ(card_.Calls(), std::vector<std::string>{fill("100,100,452,340", "0xf81f")});
  card_.config.caps |= DDCAPS_ALIGNBOUNDARYDEST;
  card_.config.alignBoundaryDest = 8;
  MoveClient(101, 100, 352, 240);
  ASSERT_TRUE(UpdateOverlayPosition());
  card_.ClearCalls();
  PaintColorKey();
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{fill("101,100,104,340", "0x0"),
                                                     fill("104,100,453,340", "0xf81f")}));
  HideOverlay();
  card_.ClearCalls();
  PaintColorKey();
  EXPECT_EQ(card_.Calls({"Primary.Blt"}), std::vector<std::string>{fill("101,100,453,340", "0x0")});
  card_.ClearCalls();

  // Playback draws its own picture; a minimised window and a key not yet chosen get nothing.
  VideoWindow.ViewMode = kPlaybackMode;
  PaintColorKey();
  VideoWindow.ViewMode = kLiveVideoMode;
  ShowWindow(window_, SW_MINIMIZE);
  PaintColorKey();
  ShowWindow(window_, SW_RESTORE);
  Display.ColorKey = 1;
  PaintColorKey();
  EXPECT_TRUE(card_.Calls().empty());
  Display.ColorKey = 0xF81F;
  DisplayRelease();
  PaintColorKey();
  EXPECT_EQ(card_.Calls({"Primary.Blt"}).size(), 0u);
}

// ---------------------------------------------------------------------------
// OverlayTick

TEST_F(DisplayChainPlacementTest, TickReconfiguresOnlyWhenThePlacementChanges) {
  // The first tick always places the overlay, even where start-up already put it.
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.IsLost", "Port."}),
            (std::vector<std::string>{
                "Overlay.IsLost",
                "Port.UpdateVideo flags=0x43 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0",
            }));
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.", "Port."}), std::vector<std::string>{"Overlay.IsLost"});

  // Moved: reconfigured at the new place.
  MoveClient(200, 150, 352, 240);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"),
            ShowCall("4,12,716,251", "200,150,552,390", kOverlayShowKeyed));
  // Covered in part, same rectangle: the partial flag alone triggers it.
  card_.config.clipRects = std::vector<RECT>{{200, 150, 300, 390}, {300, 150, 552, 200}};
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port.UpdateVideo"}).size(), 1u);
  EXPECT_EQ(Placement.PlacedPartial, 1);
  EXPECT_EQ(RectText(&Placement.PlacedRect), "200,150,552,390");
}

TEST_F(DisplayChainPlacementTest, TickFollowsAResizeThatKeepsTheVisiblePart) {
  // Hanging off the right of the 800-pixel screen: widening the window changes nothing
  // on the screen, yet the picture must be scaled to the new width.
  MoveClient(700, 100, 352, 240);
  card_.config.clipRects = std::vector<RECT>{{700, 100, 800, 340}};
  OverlayTick();
  EXPECT_EQ(VideoWindow.PictureWidth, 352);
  const std::string narrow = LastCall("Overlay.UpdateOverlay");
  MoveClient(700, 100, 600, 240);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port.UpdateVideo"}).size(), 1u);
  EXPECT_EQ(VideoWindow.PictureWidth, 600);
  EXPECT_EQ(RectText(&Placement.PlacedRect), "700,100,800,340");
  // The same 100 screen columns now show a narrower slice of the picture.
  EXPECT_NE(LastCall("Overlay.UpdateOverlay"), narrow);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_TRUE(card_.Calls({"Port.UpdateVideo"}).empty()) << "and then it stays";
}

TEST_F(DisplayChainPlacementTest, MinimiseForgetsThePlacementAndRestoreShowsItAgain) {
  OverlayTick();
  ShowWindow(window_, SW_MINIMIZE);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.", "Port."}),
            (std::vector<std::string>{"Overlay.IsLost", kOverlayHide}));
  EXPECT_EQ(Placement.PlacedPartial, -1);
  EXPECT_EQ(RectText(&Placement.PlacedRect), "0,0,0,0");

  ShowWindow(window_, SW_RESTORE);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port.UpdateVideo"}).size(), 1u);
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"),
            ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed));
}

TEST_F(DisplayChainPlacementTest, LostSurfacesAreRebuiltWithoutAMessage) {
  OverlayTick();
  card_.LoseSurfaces();
  card_.ClearCalls();
  OverlayTick();
  const std::vector<std::string> calls = card_.Calls();
  ASSERT_GE(calls.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 9),
            (std::vector<std::string>{
                "Overlay.IsLost",
                "Release Port",
                "Release Overlay",
                "Release Primary",
                "Release Container",
                "Release DirectDraw",
                "Release Clipper",
                "DirectDrawCreate driver=null",
                "DD.GetCaps hel=null",
            }));
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}).size(), 1u);
  EXPECT_EQ(Placement.DisplayLost, 0);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(QuitPosted());
  EXPECT_GE(TicksDuring(1100), 2);
}

TEST_F(DisplayChainPlacementTest, FailingRebuildRetriesEveryTwoSeconds) {
  card_.LoseSurfaces();
  // The driver lost its video port: DisplayCreate fails, and says nothing.
  card_.config.caps2 = 0;
  OverlayTick();
  EXPECT_EQ(Placement.DisplayLost, 1);
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(TicksDuring(1200), 0);
  EXPECT_GE(TicksDuring(1300), 1);

  // The port cannot be opened either: the same.
  card_.config.caps2 = DDCAPS2_VIDEOPORT;
  card_.config.connections = {};
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.IsLost"}).size(), 0u);  // nothing left to ask
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(TicksDuring(1200), 0);

  // Nor started.
  card_.config = RecordingCard().config;
  card_.config.targetResult = DDERR_GENERIC;
  OverlayTick();
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(TicksDuring(1200), 0);
  EXPECT_TRUE(Messages().empty());

  // Repaired: back to the 200 ms tick.
  card_.config = RecordingCard().config;
  OverlayTick();
  EXPECT_EQ(Placement.DisplayLost, 0);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  EXPECT_GE(TicksDuring(1100), 2);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(DisplayChainPlacementTest, OverlayGoneForGoodEndsTheProgram) {
  for (int connector : {1002, 1003}) {
    SCOPED_TRACE(connector);
    // Only the bus, for the sound processor: the card stays the recording one.
    FakeClock clock;
    SimBoard board(SimScenario{}, clock);
    InstallPortIo(&board);
    Settings.VideoConnector = connector;
    RecordedMessages().clear();
    ShowWindow(window_, SW_SHOWNA);
    card_.config.ports[0].dwCaps = DDVPCAPS_INTERLACED;  // no autoflip after the loss
    card_.LoseSurfaces();
    VideoWindowTick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Box("none", kNoLiveVideoText, 0x40030)});
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(Display.DirectDrawObject, nullptr);
    EXPECT_EQ(TicksDuring(300), 0);
    // The tuner's sound is muted on the way out; other inputs have none to mute.
    InstallPortIo(nullptr);
    const auto& writes = board.Audio().WriteLog();
    const bool muted = std::find(writes.begin(), writes.end(),
                                 std::pair<uint8_t, uint8_t>(0x08, 0xEF)) != writes.end();
    EXPECT_EQ(muted, connector == 1003);
  }
}

TEST_F(DisplayChainTest, StandardChangeRebuildsWithTheNewFieldHeight) {
  StartLive();
  MoveClient(kWindowX, kWindowY, 352, 288);
  Settings.VideoStandard = 3;
  FillVideoPortConfig();
  DisplayRelease();
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Container.CreateVideoPort"}).size(), 1u);
  EXPECT_NE(LastCall("Container.CreateVideoPort").find("field=720x288"), std::string::npos);
  EXPECT_NE(LastCall("DD.CreateSurface").find("w=720 h=288 back=1"), std::string::npos);
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}),
            std::vector<std::string>{
                "Port.StartVideo flags=0x43 origin=0,0 prescale=720x288 in=UYVY/16 vbi=0"});
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace display_test
