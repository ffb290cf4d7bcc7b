// The display chain against the recording card: the objects it asks for and in which
// order, the port's connection, the output format, the surfaces and colour key, the
// messages it shows when the card lacks something, and the way it is torn down.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "shared/Settings.h"
#include "ui/ViewState.h"
#include "win32/DisplayChainFixture.h"
#include "win32/Recorders.h"

namespace display_test {
namespace {

// ---------------------------------------------------------------------------
// DisplayCreate

TEST_F(DisplayChainTest, CreateAsksForEachObjectInOrder) {
  DDVIDEOPORTCAPS first = card_.config.ports[0], last = first;
  first.dwMaxWidth = 640;
  last.dwMaxWidth = 720;
  last.dwFX = DDVPFX_INTERLEAVE;
  card_.config.ports = {first, last};

  EXPECT_TRUE(DisplayCreate(true));
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "DirectDrawCreate driver=null",
                               "DD.GetCaps hel=null",
                               "DD.QueryInterface container",
                               "Container.EnumVideoPorts flags=0 id=0 context=null",
                               "DirectDrawCreateClipper flags=0",
                           }));
  EXPECT_TRUE(Messages().empty());
  // The last port enumerated is the one kept.
  EXPECT_EQ(Display.PortCaps.dwMaxWidth, 720u);
  EXPECT_EQ(Display.PortCaps.dwFX, static_cast<DWORD>(DDVPFX_INTERLEAVE));
  EXPECT_EQ(Display.PortCaps.dwSize, 72u);
  EXPECT_NE(Display.DirectDrawObject, nullptr);
  EXPECT_NE(Display.VideoPortContainer, nullptr);
  EXPECT_NE(Display.Clipper, nullptr);
}

TEST_F(DisplayChainTest, CreateFailuresEachShowTheirOneMessageOnlyWhenReporting) {
  struct Case {
    const char* name;
    std::function<void(RecordingCard::Config&)> breakCard;
    const char* message;
    size_t callsBeforeFailure;
  };
  const std::vector<Case> cases = {
      {"no DirectDraw", [](RecordingCard::Config& c) { c.createResult = DDERR_NODIRECTDRAWHW; },
       "Unable to create the DirectDraw object", 1},
      // A driver without a video port never gets as far as the overlay test.
      {"neither video port nor overlay",
       [](RecordingCard::Config& c) {
         c.caps2 = 0;
         c.caps = 0;
       },
       kVideoPortText, 2},
      {"no overlay", [](RecordingCard::Config& c) { c.caps = DDCAPS_OVERLAYSTRETCH; }, kOverlayText,
       2},
      {"no container", [](RecordingCard::Config& c) { c.container = false; },
       "Unable to create the VideoPort object", 3},
      {"no clipper", [](RecordingCard::Config& c) { c.clipper = false; },
       "Unable to create the Clipper object", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool report : {true, false}) {
      card_.config = RecordingCard().config;
      c.breakCard(card_.config);
      card_.ClearCalls();
      RecordedMessages().clear();
      EXPECT_FALSE(DisplayCreate(report));
      EXPECT_EQ(card_.Calls().size(), c.callsBeforeFailure);
      // Nothing is released on the way out: that is the caller's DisplayRelease.
      EXPECT_TRUE(card_.Calls({"Release"}).empty());
      if (report) {
        EXPECT_EQ(Messages(), std::vector<std::string>{Box("none", c.message, 0x30)});
      } else {
        EXPECT_TRUE(Messages().empty());
      }
      DisplayRelease();
    }
  }
}

TEST_F(DisplayChainTest, CreateWithoutAnyDirectDrawSaysSo) {
  InstallDirectDrawProvider(nullptr);
  EXPECT_FALSE(DisplayCreate(true));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{Box("none", "Unable to create the DirectDraw object", 0x30)});
}

// ---------------------------------------------------------------------------
// OpenVideoPort

TEST_F(DisplayChainTest, OpenVideoPortDescribesTheDecodersConnection) {
  DDVIDEOPORTCONNECT other = card_.config.connections[0];
  other.dwPortWidth = 16;
  other.guidTypeID = GUID{};
  card_.config.connections = {other, card_.config.connections[0], other};
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();

  EXPECT_TRUE(OpenVideoPort());
  EXPECT_EQ(card_.Calls(),
            (std::vector<std::string>{
                "Container.GetVideoPortConnectInfo port=0 list=null",
                "Container.GetVideoPortConnectInfo port=0 n=3 list",
                "Container.CreateVideoPort flags=0 field=720x251 vbi=720 us=1 pps=1 id=0 "
                "type=8/CCIR656/" +
                    Hex(DDVPCONNECT_INTERLACED),
            }));
  EXPECT_NE(Display.VideoPort, nullptr);

  // A 288-line standard describes 288-line fields.
  DisplayRelease();
  Settings.VideoStandard = 5;
  FillVideoPortConfig();
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();
  EXPECT_TRUE(OpenVideoPort());
  EXPECT_NE(LastCall("").find("field=720x288 "), std::string::npos) << LastCall("");
}

TEST_F(DisplayChainTest, OpenVideoPortNeedsACompatibleConnection) {
  DDVIDEOPORTCONNECT widthOnly = card_.config.connections[0];
  widthOnly.guidTypeID = GUID{};
  DDVIDEOPORTCONNECT typeOnly = card_.config.connections[0];
  typeOnly.dwPortWidth = 16;
  DDVIDEOPORTCONNECT neither = typeOnly;
  neither.guidTypeID = GUID{};

  struct Case {
    const char* name;
    std::vector<DDVIDEOPORTCONNECT> connections;
    HRESULT countResult;
    HRESULT createResult;
    bool opens;
    bool triesToCreate;
  };
  const std::vector<Case> cases = {
      {"8-bit width alone", {neither, widthOnly}, DD_OK, DD_OK, true, true},
      {"CCIR 656 type alone", {typeOnly}, DD_OK, DD_OK, true, true},
      {"no compatible entry", {neither, neither}, DD_OK, DD_OK, false, false},
      {"no entries", {}, DD_OK, DD_OK, false, false},
      {"count fails", {widthOnly}, DDERR_GENERIC, DD_OK, false, false},
      {"port refused", {widthOnly}, DD_OK, DDERR_CURRENTLYNOTAVAIL, false, true},
      // Only DD_OK counts as created.
      {"port with a warning", {widthOnly}, DD_OK, S_FALSE, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config.connections = c.connections;
    card_.config.connectResult = c.countResult;
    card_.config.createPortResult = c.createResult;
    ASSERT_TRUE(DisplayCreate(true));
    card_.ClearCalls();
    EXPECT_EQ(OpenVideoPort(), c.opens);
    EXPECT_EQ(card_.Calls({"Container.CreateVideoPort"}).size(), c.triesToCreate ? 1u : 0u);
    EXPECT_EQ(card_.Calls({"Container.GetVideoPortConnectInfo"}).size(),
              c.connections.empty() || FAILED(c.countResult) ? 1u : 2u);
    DisplayRelease();
  }
}

// ---------------------------------------------------------------------------
// ChooseOutputFormat, CreateSurfaces, SetOverlayColorKey

class DisplayChainFormatTest : public DisplayChainTest {
 protected:
  void SetUp() override {
    DisplayChainTest::SetUp();
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    ASSERT_TRUE(ChooseOutputFormat());
    card_.ClearCalls();
  }
};

TEST_F(DisplayChainFormatTest, TheLastUyvyEntryWins) {
  card_.config.outputFormats = {Uyvy(1), Yuy2(2), Uyvy(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "Port.GetOutputFormats in=UYVY/16 flags=0x1 list=null",
                               "Port.GetOutputFormats in=UYVY/16 flags=0x1 n=3 list",
                           }));
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 3u);
  EXPECT_EQ(Display.InputFormat.dwFlags, static_cast<DWORD>(DDPF_FOURCC));
  EXPECT_EQ(Display.InputFormat.dwFourCC, kFourccUyvy);

  card_.config.outputFormats = {Yuy2(1), Uyvy(2), Yuy2(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 2u);

  // Without a UYVY entry, the first; with one entry, that one whatever it is.
  card_.config.outputFormats = {Yuy2(1), Rgb(16, 0xF800, 0x07E0, 0x1F), Yuy2(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 1u);
  card_.config.outputFormats = {Rgb(32, 0xFF0000, 0xFF00, 0xFF)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwRGBBitCount, 32u);
}

TEST_F(DisplayChainFormatTest, NoFormatsNoOutput) {
  card_.config.outputFormats = {};
  EXPECT_FALSE(ChooseOutputFormat());
  card_.config.outputFormats = {Uyvy()};
  card_.config.outputCountResult = DDERR_INVALIDPARAMS;
  EXPECT_FALSE(ChooseOutputFormat());
  card_.config.outputCountResult = DD_OK;
  card_.config.outputFillResult = DDERR_INVALIDPARAMS;
  EXPECT_FALSE(ChooseOutputFormat());
  EXPECT_EQ(card_.Calls().size(), 4u);  // one count each, one fill
}

TEST_F(DisplayChainFormatTest, InterleavingPortGetsAFrameHighOverlayThenOneLineMore) {
  Settings.VideoStandard = 3;
  FillVideoPortConfig();
  Display.PortCaps.dwFX |= DDVPFX_INTERLEAVE;
  card_.config.overlayCreate = [](const DDSURFACEDESC& d) {
    return d.dwHeight == 576 ? DDERR_OUTOFVIDEOMEMORY : DD_OK;
  };
  ASSERT_TRUE(ChooseOutputFormat());
  card_.ClearCalls();

  EXPECT_TRUE(CreateSurfaces());
  const DWORD primaryFlags = DDSD_CAPS;
  const DWORD overlayFlags =
      DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_BACKBUFFERCOUNT;
  const DWORD overlayCaps =
      DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_VIDEOPORT | DDSCAPS_COMPLEX | DDSCAPS_FLIP;
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "DD.SetCooperativeLevel hwnd=null flags=" + Hex(DDSCL_NORMAL),
                               "DD.CreateSurface flags=" + Hex(primaryFlags) +
                                   " caps=" + Hex(DDSCAPS_PRIMARYSURFACE) + " w=0 h=0 back=0 pf=-",
                               "Primary.GetSurfaceDesc",
                               "DD.CreateSurface flags=" + Hex(overlayFlags) +
                                   " caps=" + Hex(overlayCaps) + " w=720 h=576 back=1 pf=UYVY/16",
                               "DD.CreateSurface flags=" + Hex(overlayFlags) +
                                   " caps=" + Hex(overlayCaps) + " w=720 h=289 back=1 pf=UYVY/16",
                           }));
  EXPECT_EQ(Display.OverlayBuffers, 2);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  // The screen is measured from the primary surface, not from the window system.
  EXPECT_EQ(ScreenRect.right, 800);
  EXPECT_EQ(ScreenRect.bottom, 600);
}

TEST_F(DisplayChainFormatTest, OverlaySurfaceFailures) {
  struct Case {
    const char* name;
    std::function<void(RecordingCard::Config&)> breakCard;
    DWORD portCaps;
    size_t overlayAttempts;
  };
  const std::vector<Case> cases = {
      {"no autoflip", [](RecordingCard::Config&) {}, DDVPCAPS_INTERLACED, 0},
      {"both sizes refused",
       [](RecordingCard::Config& c) {
         c.overlayCreate = [](const DDSURFACEDESC&) { return DDERR_OUTOFVIDEOMEMORY; };
       },
       DDVPCAPS_AUTOFLIP, 2},
      {"cooperative level refused",
       [](RecordingCard::Config& c) { c.cooperativeResult = DDERR_EXCLUSIVEMODEALREADYSET; },
       DDVPCAPS_AUTOFLIP, 0},
      {"no primary", [](RecordingCard::Config& c) { c.primaryResult = DDERR_OUTOFMEMORY; },
       DDVPCAPS_AUTOFLIP, 0},
      {"primary not described",
       [](RecordingCard::Config& c) { c.primaryDescResult = DDERR_GENERIC; }, DDVPCAPS_AUTOFLIP, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config = RecordingCard().config;
    c.breakCard(card_.config);
    Display.PortCaps.dwCaps = c.portCaps;
    Display.OverlayBuffers = 0;
    card_.ClearCalls();
    EXPECT_FALSE(CreateSurfaces());
    EXPECT_EQ(Display.OverlaySurface, nullptr);
    EXPECT_EQ(Display.OverlayBuffers, 0);
    size_t attempts = 0;
    for (const std::string& call : card_.Calls({"DD.CreateSurface"}))
      attempts += call.find("w=720") != std::string::npos;
    EXPECT_EQ(attempts, c.overlayAttempts);
    if (Display.PrimarySurface) {
      Display.PrimarySurface->Release();
      Display.PrimarySurface = nullptr;
    }
  }
}

TEST_F(DisplayChainFormatTest, ColorKeyIsMagentaInThePrimarysFormat) {
  struct Case {
    DDPIXELFORMAT format;
    bool described;
    DWORD key;
  };
  const std::vector<Case> cases = {
      {Rgb(16, 0xF800, 0x07E0, 0x001F), true, 0xF81F},
      {Rgb(16, 0x7C00, 0x03E0, 0x001F), true, 0x7C1F},
      {Rgb(8, 0, 0, 0, DDPF_PALETTEINDEXED8), true, 253},
      {Rgb(24, 0xFF0000, 0xFF00, 0xFF), true, 0xFF00FF},
      {Rgb(32, 0xFF0000, 0xFF00, 0xFF), true, 0xFF00FF},
      {Rgb(16, 0xF800, 0x07E0, 0x001F), false, 0},  // no pixel format in the description
      {Uyvy(), true, 0},
  };
  for (const Case& c : cases) {
    card_.config.primaryFormat = c.format;
    card_.config.primaryHasFormat = c.described;
    ASSERT_TRUE(CreateSurfaces());
    card_.ClearCalls();
    SetOverlayColorKey();
    EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                                 "Primary.GetSurfaceDesc",
                                 "Primary.SetColorKey flags=" + Hex(DDCKEY_DESTOVERLAY) +
                                     " low=" + Hex(c.key) + " high=" + Hex(c.key),
                             }));
    EXPECT_EQ(Display.ColorKey, c.key);
    DisplayRelease();
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    ASSERT_TRUE(ChooseOutputFormat());
  }
}

// ---------------------------------------------------------------------------
// DisplayRelease

TEST_F(DisplayChainTest, ReleaseTearsDownInOrderAndIsSafeAnyTime) {
  DisplayRelease();  // nothing created yet
  EXPECT_TRUE(card_.Calls().empty());

  StartLive();
  ASSERT_GE(TicksDuring(450), 1);
  card_.ClearCalls();
  DisplayRelease();
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "Release Port",
                               "Release Overlay",
                               "Release Primary",
                               "Release Container",
                               "Release DirectDraw",
                               "Release Clipper",
                           }));
  EXPECT_EQ(card_.LiveReferences(), 0u);
  EXPECT_EQ(Display.VideoPort, nullptr);
  EXPECT_EQ(Display.OverlaySurface, nullptr);
  EXPECT_EQ(Display.PrimarySurface, nullptr);
  EXPECT_EQ(Display.VideoPortContainer, nullptr);
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(Display.Clipper, nullptr);
  // The refresh tick stops with the chain.
  EXPECT_EQ(TicksDuring(450), 0);

  card_.ClearCalls();
  DisplayRelease();
  EXPECT_TRUE(card_.Calls().empty());

  // A partly built chain releases what exists.
  card_.config.clipper = false;
  EXPECT_FALSE(DisplayCreate(false));
  card_.ClearCalls();
  DisplayRelease();
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{"Release Container", "Release DirectDraw"}));
}

}  // namespace
}  // namespace display_test
