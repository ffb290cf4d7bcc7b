// The Set Capture File dialog opened from the main panel in Capture Mode: the working copy
// that only OK writes back, numbered names ticked and cleared, renaming through the real
// Save As dialog, the sizes of each standard, and numbered names through a capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "ModalDriver.h"
#include "app/VideoWindow.h"
#include "capture/win32/StillCapture.h"
#include "resource.h"
#include "shared/VideoStandards.h"
#include "ui/MainPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

const std::vector<std::string> kSizes240 = {"352 x 240", "704 x 480", "1056 x 720", "1408 x 960",
                                            "1760 x 1200"};
const std::vector<std::string> kSizes288 = {"352 x 288", "704 x 576", "1056 x 864", "1408 x 1152",
                                            "1760 x 1440"};

// Capture Mode, then the dialog from the panel's button; `more` drives dialogs it opens.
void WithSetCaptureFile(const std::function<void(HWND)>& action, std::vector<ModalStep> more = {}) {
  if (VideoWindow.ViewMode != kCaptureMode) ClickPanel(kPanelCaptureMode.x, kPanelCaptureMode.y);
  std::vector<ModalStep> steps = {{"Set Capture File", action}};
  for (ModalStep& step : more) steps.push_back(std::move(step));
  ModalDriver driver(std::move(steps));
  ClickPanel(kPanelSetCaptureFile.x, kPanelSetCaptureFile.y);
  EXPECT_EQ(driver.Pending(), 0u);
}

bool Enabled(HWND dialog, int id) {
  return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool Checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Type(HWND dialog, int id, const std::string& text) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

long FileSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  return size;
}

}  // namespace

TEST(SetCaptureFileDialog, EditsAWorkingCopyThatOnlyOkWritesBack) {
  RunWithPanel([](SimBoard&) {
    CaptureOptions = {};
    CaptureOptions.sizeFactor = 2;
    const CaptureOptionsData before = CaptureOptions;
    // Everything changed, then Cancel.
    auto changeEverything = [](HWND dialog) {
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), MainPanel.Window);
      EXPECT_TRUE(Checked(dialog, IDC_TO_FILE));
      EXPECT_FALSE(Checked(dialog, IDC_TO_CLIPBOARD));
      EXPECT_TRUE(Enabled(dialog, IDC_STILL_BROWSE));
      EXPECT_TRUE(Enabled(dialog, IDC_NUMBERED_NAMES));
      EXPECT_FALSE(Checked(dialog, IDC_NUMBERED_NAMES));
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), "c:\\capture.bmp");
      EXPECT_EQ(DialogItemText(dialog, IDC_AVI_NAME), "c:\\capture.avi");
      EXPECT_EQ(ComboEntries(dialog, IDC_CAPTURE_SIZE), kSizes240);
      EXPECT_EQ(ComboSelection(dialog, IDC_CAPTURE_SIZE), 1);
      // Tab goes down the dialog (through the chosen radio button), each Browse before the
      // name it fills.
      EXPECT_EQ(TabOrder(dialog),
                (std::vector<int>{IDC_TO_FILE, IDC_STILL_BROWSE, IDC_STILL_NAME, IDC_NUMBERED_NAMES,
                                  IDC_CAPTURE_SIZE, IDC_AVI_BROWSE, IDC_AVI_NAME, IDOK, IDCANCEL}));

      // Ticking numbers the name, clearing restores it.
      PressButton(dialog, IDC_NUMBERED_NAMES);
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), "c:\\capture001.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), "c:\\capture.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);

      // The clipboard disables the file controls but keeps the tick.
      PressButton(dialog, IDC_TO_CLIPBOARD);
      EXPECT_TRUE(Checked(dialog, IDC_TO_CLIPBOARD));
      EXPECT_FALSE(Enabled(dialog, IDC_STILL_BROWSE));
      EXPECT_FALSE(Enabled(dialog, IDC_NUMBERED_NAMES));
      EXPECT_TRUE(Checked(dialog, IDC_NUMBERED_NAMES));
      ChooseEntry(dialog, IDC_CAPTURE_SIZE, 4);
      Type(dialog, IDC_AVI_NAME, "c:\\clip.avi");
    };
    WithSetCaptureFile([&](HWND dialog) {
      changeEverything(dialog);
      PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(CaptureOptions.toClipboard, before.toClipboard);
    EXPECT_EQ(CaptureOptions.numberedNames, before.numberedNames);
    EXPECT_EQ(CaptureOptions.sizeFactor, 2);
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\capture.bmp");
    EXPECT_STREQ(CaptureOptions.aviFileName, "c:\\capture.avi");

    WithSetCaptureFile([&](HWND dialog) {
      changeEverything(dialog);
      PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(CaptureOptions.toClipboard);
    EXPECT_TRUE(CaptureOptions.numberedNames);
    EXPECT_EQ(CaptureOptions.nameCounter, 1u);
    EXPECT_EQ(CaptureOptions.sizeFactor, 5);
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\capture001.bmp");
    EXPECT_STREQ(CaptureOptions.aviFileName, "c:\\clip.avi");

    // Reopened, the clipboard choice keeps the file controls disabled; a typed name is
    // what clearing the tick starts from, and OK takes typed edits.
    WithSetCaptureFile([](HWND dialog) {
      EXPECT_TRUE(Checked(dialog, IDC_TO_CLIPBOARD));
      EXPECT_FALSE(Enabled(dialog, IDC_STILL_BROWSE));
      EXPECT_EQ(ComboSelection(dialog, IDC_CAPTURE_SIZE), 4);
      PressButton(dialog, IDC_TO_FILE);
      Type(dialog, IDC_STILL_NAME, "c:\\typed042.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), "c:\\typed.bmp");
      Type(dialog, IDC_AVI_NAME, "c:\\typed.avi");
      PressButton(dialog, IDOK);
    });
    EXPECT_FALSE(CaptureOptions.toClipboard);
    EXPECT_FALSE(CaptureOptions.numberedNames);
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\typed.bmp");
    EXPECT_STREQ(CaptureOptions.aviFileName, "c:\\typed.avi");
  });
}

TEST(SetCaptureFileDialog, BrowseKeepsTheCounterForTheSameNameAndRestartsItForAnother) {
  const std::string dir = TempPath("");
  RunWithPanel([&](SimBoard&) {
    CaptureOptions = {};
    CaptureOptions.numberedNames = true;
    CaptureOptions.nameCounter = 7;
    std::strcpy(CaptureOptions.stillFileName, (dir + "Frame007.bmp").c_str());
    RecordedMessages().clear();
    std::string shownAfterSame, shownAfterOther, aviShown;
    WithSetCaptureFile(
        [&](HWND dialog) {
          PressButton(dialog, IDC_STILL_BROWSE);  // the same name in capitals
          shownAfterSame = DialogItemText(dialog, IDC_STILL_NAME);
          PressButton(dialog, IDC_STILL_BROWSE);  // a new name, refused once
          shownAfterOther = DialogItemText(dialog, IDC_STILL_NAME);
          PressButton(dialog, IDC_AVI_BROWSE);  // a bare name
          aviShown = DialogItemText(dialog, IDC_AVI_NAME);
          PressButton(dialog, IDOK);
        },
        {PickInFileDialog("Save As", dir + "FRAME007.BMP"),
         PickInFileDialog("Save As", dir + "Other.png"),
         PickInFileDialog("Save As", dir + "Other.bmp"),
         PickInFileDialog("Save As", dir + "Clip")});
    EXPECT_EQ(shownAfterSame, Lower(dir + "frame007.bmp"));
    EXPECT_EQ(shownAfterOther, Lower(dir + "other001.bmp"));
    EXPECT_EQ(aviShown, dir + "Clip.avi");
    EXPECT_EQ(CaptureOptions.nameCounter, 1u);
    EXPECT_STREQ(CaptureOptions.stillFileName, Lower(dir + "other001.bmp").c_str());
    EXPECT_STREQ(CaptureOptions.aviFileName, (dir + "Clip.avi").c_str());
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].text, "Not supported file type.");

    // Cancelling the picker keeps the counter and still shows the name in lower case.
    CaptureOptions.nameCounter = 9;
    std::strcpy(CaptureOptions.stillFileName, "C:\\Keep009.bmp");
    WithSetCaptureFile(
        [&](HWND dialog) {
          PressButton(dialog, IDC_STILL_BROWSE);
          EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), "c:\\keep009.bmp");
          PressButton(dialog, IDOK);
        },
        {CancelFileDialog("Save As")});
    EXPECT_EQ(CaptureOptions.nameCounter, 9u);
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\keep009.bmp");
  });
}

TEST(SetCaptureFileDialog, NumberedNamesRoundTripThroughACapture) {
  const std::string dir = TempPath("");
  DeleteFileA((dir + "round001.bmp").c_str());
  DeleteFileA((dir + "round002.bmp").c_str());
  RunWithPanel([&](SimBoard&) {
    CaptureOptions = {};
    WithSetCaptureFile([&](HWND dialog) {
      Type(dialog, IDC_STILL_NAME, dir + "round.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);
      PressButton(dialog, IDOK);
    });
    EXPECT_STREQ(CaptureOptions.stillFileName, (dir + "round001.bmp").c_str());
    RecordedMessages().clear();
    SendMessageA(VideoWindow.Window, WM_COMMAND, ID_CAPTURE_FRAME, 0);  // F5
    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(FileSize(dir + "round001.bmp"), 253'494);
    EXPECT_STREQ(CaptureOptions.stillFileName, (dir + "round002.bmp").c_str());
    EXPECT_EQ(CaptureOptions.nameCounter, 2u);

    // The dialog shows the advanced name and counter; clearing the tick gives the plain
    // name back.
    WithSetCaptureFile([&](HWND dialog) {
      EXPECT_TRUE(Checked(dialog, IDC_NUMBERED_NAMES));
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), dir + "round002.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), dir + "round.bmp");
      PressButton(dialog, IDC_NUMBERED_NAMES);
      EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), dir + "round002.bmp");
      PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(CaptureOptions.numberedNames);
    EXPECT_EQ(CaptureOptions.nameCounter, 2u);
    EXPECT_STREQ(CaptureOptions.stillFileName, (dir + "round002.bmp").c_str());
  });
  EXPECT_EQ(FileSize(dir + "round002.bmp"), -1);
}

TEST(SetCaptureFileDialog, A288RowStandardListsItsSizesAndLongNamesAreNotNumbered) {
  SimScenario pal;
  pal.compositeStandard = kPalBghi;
  RunWithPanel(
      [](SimBoard&) {
        CaptureOptions = {};
        CaptureOptions.sizeFactor = 5;
        // 252 characters: three digits more would pass what the edit reads back.
        const std::string longName = "c:\\" + std::string(245, 'n') + ".bmp";
        std::strcpy(CaptureOptions.stillFileName, longName.c_str());
        WithSetCaptureFile([&](HWND dialog) {
          EXPECT_EQ(ComboEntries(dialog, IDC_CAPTURE_SIZE), kSizes288);
          EXPECT_EQ(ComboSelection(dialog, IDC_CAPTURE_SIZE), 4);
          EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), longName);
          PressButton(dialog, IDC_NUMBERED_NAMES);
          EXPECT_FALSE(Checked(dialog, IDC_NUMBERED_NAMES));
          EXPECT_EQ(DialogItemText(dialog, IDC_STILL_NAME), longName);
          PressButton(dialog, IDOK);
        });
        EXPECT_FALSE(CaptureOptions.numberedNames);
        EXPECT_EQ(CaptureOptions.sizeFactor, 5);
        EXPECT_STREQ(CaptureOptions.stillFileName, longName.c_str());

        // One character shorter takes the digits, and the name passes OK whole.
        const std::string fits = "c:\\" + std::string(244, 'n') + ".bmp";
        std::strcpy(CaptureOptions.stillFileName, fits.c_str());
        WithSetCaptureFile([&](HWND dialog) {
          PressButton(dialog, IDC_NUMBERED_NAMES);
          EXPECT_TRUE(Checked(dialog, IDC_NUMBERED_NAMES));
          PressButton(dialog, IDOK);
        });
        EXPECT_TRUE(CaptureOptions.numberedNames);
        EXPECT_EQ(std::string(CaptureOptions.stillFileName),
                  "c:\\" + std::string(244, 'n') + "001.bmp");
        EXPECT_EQ(std::strlen(CaptureOptions.stillFileName), 254u);

        // A longer name pasted into either field is cut at its end, extension first,
        // and the user is told so each time.
        RecordedMessages().clear();
        const std::string tooLong = "c:\\" + std::string(252, 'p') + ".avi";
        WithSetCaptureFile([&](HWND dialog) {
          for (const int field : {IDC_STILL_NAME, IDC_AVI_NAME}) {
            SendDlgItemMessageA(dialog, field, EM_SETSEL, 0, -1);
            SendDlgItemMessageA(dialog, field, EM_REPLACESEL, TRUE,
                                reinterpret_cast<LPARAM>(tooLong.c_str()));
            EXPECT_EQ(DialogItemText(dialog, field), tooLong.substr(0, 254));
          }
          PressButton(dialog, IDCANCEL);
        });
        ASSERT_EQ(RecordedMessages().size(), 2u);
        for (const auto& m : RecordedMessages()) {
          EXPECT_EQ(m.text, "The file name is too long.");
          EXPECT_EQ(m.style, 0x40010u);
        }
      },
      pal);
}
