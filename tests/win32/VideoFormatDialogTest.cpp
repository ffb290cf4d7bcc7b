// The Video Format dialog opened from the main panel: which size is selected in each view
// mode, what OK applies (a window size, full screen, leaving full screen) and when the
// AVI format is stored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "ModalDriver.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/DisplayChain.h"
#include "resource.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"
#include "ui/MainPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

const std::vector<std::string> kLiveEntries = {"160 x 120", "176 x 120", "320 x 240",  "352 x 240",
                                               "640 x 480", "720 x 480", "Full Screen"};
const std::vector<std::string> kFormats = {"24-bit  RGB", "YVU9 Planar  (Indeo Raw)"};

// Opens the dialog with the panel's button and runs `action` on it.
void WithVideoFormat(const std::function<void(HWND)>& action) {
  ModalDriver driver({{"Video Format", action}});
  ClickPanel(kPanelVideoFormat.x, kPanelVideoFormat.y);
  EXPECT_EQ(driver.Pending(), 0u);
}

bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void ExpectClient(int width, int height) {
  const SIZE s = ClientSize(VideoWindow.Window);
  EXPECT_EQ(s.cx, width);
  EXPECT_EQ(s.cy, height);
}

}  // namespace

TEST(VideoFormatDialog, LiveVideoOffersSixSizesAndFullScreenAndOkAppliesTheChoice) {
  RunWithPanel([](SimBoard&) {
    CaptureOptions = {};
    WithVideoFormat([](HWND dialog) {
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), MainPanel.Window);
      EXPECT_FALSE(IsWindowEnabled(MainPanel.Window));
      EXPECT_EQ(ComboEntries(dialog, IDC_IMAGE_SIZE), kLiveEntries);
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), 3);  // the window is 352 x 240
      EXPECT_EQ(ComboEntries(dialog, IDC_IMAGE_FORMAT), kFormats);
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_FORMAT), 0);
      EXPECT_TRUE(Enabled(dialog, IDC_FULL_SCREEN));
      EXPECT_EQ(TabOrder(dialog), (std::vector<int>{IDC_IMAGE_SIZE, IDC_FULL_SCREEN,
                                                    IDC_IMAGE_FORMAT, IDOK, IDCANCEL}));
      ChooseEntry(dialog, IDC_IMAGE_SIZE, 4);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
      PressButton(dialog, IDOK);
    });
    ExpectClient(640, 480);
    EXPECT_EQ(CaptureOptions.aviFormat, 1);
    EXPECT_EQ(VideoWindow.FullScreen, 0);
    EXPECT_TRUE(IsWindowVisible(MainPanel.Window));
    // The read-out shows the new size at once, before live video is placed in it again.
    char size[32];
    MainPanelSizeText(size);
    EXPECT_STREQ(size, "640 x 480");

    // Cancel changes nothing, whatever was chosen.
    WithVideoFormat([](HWND dialog) {
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_FORMAT), 1);
      ChooseEntry(dialog, IDC_IMAGE_SIZE, 0);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 0);
      PressButton(dialog, IDCANCEL);
    });
    ExpectClient(640, 480);
    EXPECT_EQ(CaptureOptions.aviFormat, 1);
  });
}

TEST(VideoFormatDialog, WithNoMatchingSizeNothingIsSelectedAndOkStillStoresTheFormat) {
  RunWithPanel([](SimBoard&) {
    CaptureOptions = {};
    SizeVideoWindow(VideoWindow.Window, 400, 300);
    Pump(600);  // the overlay refresh takes the new client size
    ASSERT_EQ(VideoWindow.PictureWidth, 400);
    WithVideoFormat([](HWND dialog) {
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), -1);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
      PressButton(dialog, IDOK);
    });
    ExpectClient(400, 300);
    EXPECT_EQ(CaptureOptions.aviFormat, 1);
  });
}

TEST(VideoFormatDialog, FullScreenGoesFullScreenWithoutTheFormatAndOkThereLeavesIt) {
  RunWithPanel([](SimBoard&) {
    CaptureOptions = {};
    WithVideoFormat([](HWND dialog) {
      PressButton(dialog, IDC_FULL_SCREEN);
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), 6);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
      PressButton(dialog, IDOK);
    });
    EXPECT_EQ(VideoWindow.FullScreen, 1);
    EXPECT_EQ(CaptureOptions.aviFormat, 0);
    ExpectClient(ScreenRect.right, ScreenRect.bottom);

    // In full screen the maximised window selects "Full Screen"; a size leaves full
    // screen for a window of that size.
    Pump(600);
    WithVideoFormat([](HWND dialog) {
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), 6);
      ChooseEntry(dialog, IDC_IMAGE_SIZE, 2);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
      PressButton(dialog, IDOK);
    });
    EXPECT_EQ(VideoWindow.FullScreen, 0);
    ExpectClient(320, 240);
    EXPECT_EQ(VideoWindow.SavedWidth, 320);
    EXPECT_EQ(VideoWindow.SavedHeight, 240);
    EXPECT_EQ(VideoWindow.PictureWidth, 320);
    EXPECT_EQ(VideoWindow.PictureHeight, 240);
    EXPECT_EQ(CaptureOptions.aviFormat, 1);
  });
}

TEST(VideoFormatDialog, CaptureModeOffersOnlyTheFieldSizeOfTheStandard) {
  SimScenario pal;
  pal.compositeStandard = kPalBghi;
  RunWithPanel(
      [](SimBoard&) {
        CaptureOptions = {};
        ASSERT_EQ(Settings.VideoStandard, kPalBghi);
        ClickPanel(kPanelCaptureMode.x, kPanelCaptureMode.y);
        ASSERT_EQ(VideoWindow.ViewMode, kCaptureMode);
        ExpectClient(352, 288);
        WithVideoFormat([](HWND dialog) {
          EXPECT_EQ(ComboEntries(dialog, IDC_IMAGE_SIZE), std::vector<std::string>{"352 x 288"});
          EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), 0);
          EXPECT_FALSE(Enabled(dialog, IDC_FULL_SCREEN));
          ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
          PressButton(dialog, IDOK);
        });
        ExpectClient(352, 288);
        EXPECT_EQ(CaptureOptions.aviFormat, 1);
      },
      pal);

  // A 240-row standard offers its own size.
  RunWithPanel([](SimBoard&) {
    ClickPanel(kPanelCaptureMode.x, kPanelCaptureMode.y);
    WithVideoFormat([](HWND dialog) {
      EXPECT_EQ(ComboEntries(dialog, IDC_IMAGE_SIZE), std::vector<std::string>{"352 x 240"});
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), 0);
      PressButton(dialog, IDCANCEL);
    });
  });
}

TEST(VideoFormatDialog, PlaybackOffersNoSizesAndOkSizesTheWindowForOneField) {
  RunWithPanel([](SimBoard&) {
    CaptureOptions = {};
    SizeVideoWindow(VideoWindow.Window, 500, 400);
    VideoWindow.ViewMode = kPlaybackMode;
    WithVideoFormat([](HWND dialog) {
      EXPECT_TRUE(ComboEntries(dialog, IDC_IMAGE_SIZE).empty());
      EXPECT_TRUE(Enabled(dialog, IDC_FULL_SCREEN));
      PressButton(dialog, IDC_FULL_SCREEN);  // nothing to select
      EXPECT_EQ(ComboSelection(dialog, IDC_IMAGE_SIZE), -1);
      ChooseEntry(dialog, IDC_IMAGE_FORMAT, 1);
      PressButton(dialog, IDOK);
    });
    ExpectClient(352, 240);
    EXPECT_EQ(VideoWindow.FullScreen, 0);
    EXPECT_EQ(CaptureOptions.aviFormat, 1);
    VideoWindow.ViewMode = kLiveVideoMode;
  });
}
