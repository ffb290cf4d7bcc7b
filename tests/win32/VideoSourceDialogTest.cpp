// The Video Source dialog and the About box inside the running program: opened through the
// video window's commands, driven through their controls, checked against the decoder's
// registers, the tuner, the stored settings and the windows they leave.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "hw/ChannelPlans.h"
#include "hw/Decoder.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/AboutBox.h"
#include "ui/MainPanel.h"
#include "ui/TunerPanel.h"
#include "ui/VideoSourceDialog.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

constexpr uint8_t kRegBrightness = 0x0A;
constexpr uint8_t kRegContrast = 0x0B;
constexpr uint8_t kRegSaturation = 0x0C;
constexpr uint8_t kRegHue = 0x0D;
constexpr uint8_t kRegChrominance = 0x0E;

void Command(int id) {
  SendMessageA(VideoWindow.Window, WM_COMMAND, id, 0);
}

HWND Dialog() {
  return VideoSourceDialog.Window;
}

void Scroll(int bar, int code, int position = 0) {
  SendMessageA(Dialog(), WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), bar)));
}

void Press(int button) {
  SendDlgItemMessageA(Dialog(), button, BM_CLICK, 0, 0);
}

void ChooseStandard(int index) {
  SendDlgItemMessageA(Dialog(), IDC_STANDARD_LIST, CB_SETCURSEL, index, 0);
  SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_STANDARD_LIST, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), IDC_STANDARD_LIST)));
}

std::string Text(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

SCROLLINFO ScrollInfo(int bar) {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(GetDlgItem(Dialog(), bar), SB_CTL, &si);
  return si;
}

int CheckedInput() {
  for (int id : {IDC_SVIDEO, IDC_COMPOSITE, IDC_TUNER})
    if (IsDlgButtonChecked(Dialog(), id) == BST_CHECKED) return id;
  return 0;
}

// Every window of this thread with the caption, shown or not.
int WindowsTitled(const char* title) {
  struct Search {
    const char* Title;
    int Count;
  } search = {title, 0};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[128] = {};
        GetWindowTextA(w, text, sizeof text);
        if (std::string(text) == s->Title) ++s->Count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Count;
}

bool TunerSubmenuEnabled() {
  return (GetMenuState(VideoWindow.ContextMenu, 3, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
}

class VideoSourceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
  void TearDown() override { ResetProgramState(); }

  void Run(const std::function<void(SimBoard&)>& body, const SimScenario& scenario = {}) {
    TestBoard board(scenario);
    RunProgram([&] {
      ASSERT_NE(MainPanel.Window, nullptr);
      body(board.Board());
      Command(ID_EXIT);
    });
  }
};

TEST_F(VideoSourceDialogTest, OpensOnceShowingTheStoredSettings) {
  Run([](SimBoard&) {
    Settings.Brightness = 5;
    Settings.Contrast = 255;
    Settings.VideoStandard = kPalN;
    Command(ID_VIDEO_SOURCE);
    HWND first = Dialog();
    ASSERT_NE(first, nullptr);
    Command(ID_VIDEO_SOURCE);
    EXPECT_EQ(Dialog(), first);
    EXPECT_EQ(WindowsTitled("Video Source"), 1);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(GetWindow(first, GW_OWNER), MainPanel.Window);

    EXPECT_EQ(CheckedInput(), IDC_COMPOSITE);
    EXPECT_EQ(SendDlgItemMessageA(first, IDC_STANDARD_LIST, CB_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(SendDlgItemMessageA(first, IDC_STANDARD_LIST, CB_GETCURSEL, 0, 0), kPalN);
    char name[32] = {};
    SendDlgItemMessageA(first, IDC_STANDARD_LIST, CB_GETLBTEXT, kPalBghi,
                        reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(name, "PAL - BGHI");
    const SCROLLINFO si = ScrollInfo(IDC_BRIGHTNESS_BAR);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 264);
    EXPECT_EQ(si.nPage, 10u);
    EXPECT_EQ(si.nPos, 5);
    EXPECT_EQ(Text(first, IDC_BRIGHTNESS_VALUE), "5");
    EXPECT_EQ(Text(first, IDC_CONTRAST_VALUE), "255");
    EXPECT_EQ(ScrollInfo(IDC_CONTRAST_BAR).nPos, 255);

    // Closed, it is gone, not hidden, and the command opens it again.
    Press(IDCANCEL);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(VideoSourceDialog.VideoSourceOpen, 0);
    EXPECT_EQ(WindowsTitled("Video Source"), 0);
    Command(ID_VIDEO_SOURCE);
    EXPECT_NE(Dialog(), nullptr);
    EXPECT_EQ(WindowsTitled("Video Source"), 1);
    Press(IDOK);
    EXPECT_EQ(WindowsTitled("Video Source"), 0);
  });
}

TEST_F(VideoSourceDialogTest, ScrollCodesClampAndWriteTheDecoderAtOnce) {
  Run([](SimBoard& board) {
    Settings.Brightness = 5;
    Settings.Contrast = 250;
    Command(ID_VIDEO_SOURCE);
    ASSERT_NE(Dialog(), nullptr);

    Scroll(IDC_BRIGHTNESS_BAR, SB_PAGELEFT);  // the trough left of the thumb
    EXPECT_EQ(VideoSourceDialog.Working.Brightness, 0);
    EXPECT_EQ(Text(Dialog(), IDC_BRIGHTNESS_VALUE), "0");
    EXPECT_EQ(ScrollInfo(IDC_BRIGHTNESS_BAR).nPos, 0);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 0x00);
    Scroll(IDC_BRIGHTNESS_BAR, SB_LINELEFT);
    EXPECT_EQ(VideoSourceDialog.Working.Brightness, 0);
    Scroll(IDC_BRIGHTNESS_BAR, SB_LINERIGHT);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 0x01);
    Scroll(IDC_BRIGHTNESS_BAR, SB_THUMBTRACK, 255);
    EXPECT_EQ(Text(Dialog(), IDC_BRIGHTNESS_VALUE), "255");
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 0xFF);
    Scroll(IDC_BRIGHTNESS_BAR, SB_ENDSCROLL, 17);  // other codes keep the value
    EXPECT_EQ(VideoSourceDialog.Working.Brightness, 255);

    Scroll(IDC_CONTRAST_BAR, SB_PAGERIGHT);
    EXPECT_EQ(Text(Dialog(), IDC_CONTRAST_VALUE), "255");
    EXPECT_EQ(board.Decoder().Register(kRegContrast), 127);
    Scroll(IDC_SATURATION_BAR, SB_THUMBPOSITION, 201);
    EXPECT_EQ(board.Decoder().Register(kRegSaturation), 100);
    Scroll(IDC_HUE_BAR, SB_THUMBPOSITION, 127);
    EXPECT_EQ(board.Decoder().Register(kRegHue), 0xFF);
    Scroll(IDC_HUE_BAR, SB_LINERIGHT);
    EXPECT_EQ(Text(Dialog(), IDC_HUE_VALUE), "128");
    EXPECT_EQ(board.Decoder().Register(kRegHue), 0x00);
    EXPECT_EQ(Settings.Brightness, 5) << "nothing is stored before OK";

    // A scroll bar that is none of the four.
    RecordedMessages().clear();
    const LRESULT handled =
        SendMessageA(Dialog(), WM_HSCROLL, SB_LINELEFT,
                     reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), IDC_STANDARD_LIST)));
    EXPECT_EQ(handled, FALSE);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].text, "Invalid control ID");
    EXPECT_EQ(RecordedMessages()[0].caption, "Corvan Telvista");
    EXPECT_EQ(RecordedMessages()[0].style, static_cast<UINT>(MB_OK));
    Press(IDCANCEL);
  });
}

// The thumb dragged with the pointer to the right end of its bar.
TEST_F(VideoSourceDialogTest, ThumbDraggedToTheRightEndGives255) {
  Run([](SimBoard& board) {
    Command(ID_VIDEO_SOURCE);
    ASSERT_NE(Dialog(), nullptr);
    Pump(100);
    POINT before;
    GetCursorPos(&before);
    HWND bar = GetDlgItem(Dialog(), IDC_BRIGHTNESS_BAR);
    SCROLLBARINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetScrollBarInfo(bar, OBJID_CLIENT, &info));
    RECT r;
    GetWindowRect(bar, &r);
    const int y = (r.top + r.bottom) / 2;
    const int thumb = r.left + (info.xyThumbTop + info.xyThumbBottom) / 2;
    const auto at = [y](int x, DWORD flags) {
      INPUT in = {};
      in.type = INPUT_MOUSE;
      in.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
      in.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
      in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
      return in;
    };
    // One event per tick, as a hand makes them: the scroll bar follows the drag in a loop
    // of its own, which still runs the thread's timers.
    static std::vector<INPUT> pending;
    pending = {at(thumb, 0), at(thumb, MOUSEEVENTF_LEFTDOWN), at(thumb + 20, 0), at(r.right - 2, 0),
               at(r.right - 2, MOUSEEVENTF_LEFTUP)};
    const UINT_PTR timer = SetTimer(nullptr, 0, 40, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
      if (pending.empty()) return;
      SendInput(1, &pending.front(), sizeof(INPUT));
      pending.erase(pending.begin());
    });
    for (int i = 0; i < 100 && !pending.empty(); ++i) Pump(20);
    Pump(200);
    KillTimer(nullptr, timer);
    SetCursorPos(before.x, before.y);  // the pointer is not left over the later tests' windows
    EXPECT_EQ(VideoSourceDialog.Working.Brightness, 255);
    EXPECT_EQ(Text(Dialog(), IDC_BRIGHTNESS_VALUE), "255");
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 0xFF);
    Press(IDCANCEL);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 128);
  });
}

TEST_F(VideoSourceDialogTest, CancelPutsTheStoredSettingsBackAndOkKeepsTheWorkingCopy) {
  Run([](SimBoard& board) {
    Settings.Brightness = 100;
    Settings.Contrast = 60;
    Settings.Saturation = 90;
    Settings.Hue = 10;
    ASSERT_EQ(Settings.VideoStandard, kNtscM);
    const SettingsData stored = Settings;

    // Changes, then Default, then Cancel: the hardware is as stored again.
    Command(ID_VIDEO_SOURCE);
    Scroll(IDC_BRIGHTNESS_BAR, SB_THUMBTRACK, 200);
    Press(IDC_SVIDEO);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeSVideo);
    ChooseStandard(kPalBghi);
    EXPECT_EQ(board.Decoder().Register(kRegChrominance),
              kStandardRegisterSets[kPalBghi].chrominance);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 288u);
    Press(IDC_DEFAULT);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 128);
    EXPECT_EQ(board.Decoder().Register(kRegContrast), 71);
    EXPECT_EQ(board.Decoder().Register(kRegSaturation), 64);
    EXPECT_EQ(board.Decoder().Register(kRegHue), 0);
    EXPECT_EQ(CheckedInput(), IDC_COMPOSITE);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeComposite);
    EXPECT_EQ(SendDlgItemMessageA(Dialog(), IDC_STANDARD_LIST, CB_GETCURSEL, 0, 0), kNtscM);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 251u);
    EXPECT_EQ(Text(Dialog(), IDC_CONTRAST_VALUE), "142");
    Press(IDC_SVIDEO);
    ChooseStandard(kPal443);
    Press(IDCANCEL);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 100);
    EXPECT_EQ(board.Decoder().Register(kRegContrast), 30);
    EXPECT_EQ(board.Decoder().Register(kRegSaturation), 45);
    EXPECT_EQ(board.Decoder().Register(kRegHue), 138);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeComposite);
    EXPECT_EQ(board.Decoder().Register(kRegChrominance), kStandardRegisterSets[kNtscM].chrominance);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 251u);
    EXPECT_EQ(0, std::memcmp(&Settings, &stored, sizeof Settings)) << "Cancel stores nothing";

    // The same changes kept.
    Command(ID_VIDEO_SOURCE);
    Scroll(IDC_BRIGHTNESS_BAR, SB_THUMBTRACK, 200);
    Press(IDC_SVIDEO);
    ChooseStandard(kPalBghi);
    Press(IDOK);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(Settings.Brightness, 200);
    EXPECT_EQ(Settings.Contrast, 60);
    EXPECT_EQ(Settings.VideoConnector, kConnectorSVideo);
    EXPECT_EQ(Settings.VideoStandard, kPalBghi);
    EXPECT_EQ(board.Decoder().Register(kRegBrightness), 200);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeSVideo);
    EXPECT_FALSE(TunerSubmenuEnabled());
    EXPECT_FALSE(TunerPanelExists());
    EXPECT_EQ(VideoWindow.PictureHeight, 240) << "only Capture Mode follows the standard";
  });
}

TEST_F(VideoSourceDialogTest, OkInCaptureModeSizesTheWindowForTheStandard) {
  Run([](SimBoard& board) {
    Command(ID_CAPTURE_MODE);
    Command(ID_VIDEO_SOURCE);
    ChooseStandard(kPalN);
    Press(IDOK);
    RECT client;
    GetClientRect(VideoWindow.Window, &client);
    EXPECT_EQ(VideoWindow.PictureWidth, 352);
    EXPECT_EQ(VideoWindow.PictureHeight, 288);
    EXPECT_EQ(client.right, 352);
    EXPECT_EQ(client.bottom, 288);

    // Tried while the window still has the 288-line size: live video is rebuilt for the
    // 251-line field all the same, without waiting for a retry.
    Command(ID_VIDEO_SOURCE);
    ChooseStandard(kPalM);
    EXPECT_NE(Display.OverlaySurface, nullptr);
    EXPECT_EQ(Placement.DisplayLost, 0);
    EXPECT_TRUE(board.Engine().Running());
    Press(IDOK);
    GetClientRect(VideoWindow.Window, &client);
    EXPECT_EQ(client.bottom, 240);
  });
}

TEST_F(VideoSourceDialogTest, TunerAnsweringAtC2IsChosenAndKeptWithItsPanel) {
  Run([](SimBoard& board) {
    Settings.CableStandard = 3;
    Settings.CurrentChannel = 8;
    // Start from S-Video: the tuner panel would return there.
    Command(ID_VIDEO_SOURCE);
    Press(IDC_SVIDEO);
    Press(IDOK);
    ASSERT_EQ(Settings.VideoConnector, kConnectorSVideo);

    Command(ID_VIDEO_SOURCE);
    const uint32_t writes = board.Tuner().Writes();
    Press(IDC_TUNER);
    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(CheckedInput(), IDC_TUNER);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeTuner);
    EXPECT_EQ(board.Tuner().Writes(), writes + 1);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(3)[8] >> 16 & 0x7FFF);
    EXPECT_FALSE(TunerPanelExists()) << "the panel comes with OK";
    Press(IDOK);
    EXPECT_EQ(Settings.VideoConnector, kConnectorTuner);
    EXPECT_TRUE(TunerPanelExists());
    EXPECT_TRUE(TunerSubmenuEnabled());

    // Cancel takes back the sound routing with the picture, both ways.
    Command(ID_VIDEO_SOURCE);
    Press(IDC_SVIDEO);
    EXPECT_EQ(board.Expander().Latch(), 0xFC);
    Press(IDCANCEL);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeTuner);
    EXPECT_EQ(board.Expander().Latch(), 0xFE);
    Settings.VideoConnector = kConnectorSVideo;
    Command(ID_VIDEO_SOURCE);
    Press(IDC_TUNER);
    EXPECT_EQ(board.Expander().Latch(), 0xFE);
    Press(IDCANCEL);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeSVideo);
    EXPECT_EQ(board.Expander().Latch(), 0xFC);
    Settings.VideoConnector = kConnectorTuner;

    // Leaving the Tuner for Composite lands on Composite, not on the input the Tuner
    // was chosen from.
    Command(ID_VIDEO_SOURCE);
    Press(IDC_COMPOSITE);
    Press(IDOK);
    EXPECT_FALSE(TunerPanelExists());
    EXPECT_EQ(Settings.VideoConnector, kConnectorComposite);
    EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeComposite);
    EXPECT_FALSE(TunerSubmenuEnabled());
  });
}

TEST_F(VideoSourceDialogTest, TunerNotAnsweringAtC2KeepsTheInput) {
  for (int tuner : {2, 0}) {
    SCOPED_TRACE(tuner == 2 ? "tuner only at 0xC0" : "no tuner");
    SimScenario scenario;
    scenario.tuner = tuner;
    Run(
        [](SimBoard& board) {
          Command(ID_VIDEO_SOURCE);
          const uint32_t writes = board.Tuner().Writes();
          RecordedMessages().clear();
          Press(IDC_TUNER);
          ASSERT_EQ(RecordedMessages().size(), 1u);
          const RecordedMessage& m = RecordedMessages()[0];
          EXPECT_EQ(m.text, "Cannot find a TUNER.\nA TUNER is required for this function to run.");
          EXPECT_EQ(m.caption, "Corvan Telvista");
          EXPECT_EQ(m.style, static_cast<UINT>(MB_TOPMOST | MB_ICONHAND));
          EXPECT_EQ(m.owner, Dialog());
          EXPECT_EQ(CheckedInput(), IDC_COMPOSITE);
          EXPECT_EQ(board.Decoder().InputMode(), kDecoderModeComposite);
          EXPECT_EQ(board.Tuner().Writes(), writes);
          Press(IDOK);
          EXPECT_EQ(Settings.VideoConnector, kConnectorComposite);
          EXPECT_FALSE(TunerPanelExists());
        },
        scenario);
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
}

// ---------------------------------------------------------------------------
// The About box, modal: a script runs inside its own loop.

std::function<void(HWND)> g_aboutScript;

void CALLBACK AboutScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowA("#32770", "About Corvan Telvista");
  if (!dialog) return;
  KillTimer(nullptr, id);
  auto script = std::move(g_aboutScript);
  g_aboutScript = nullptr;
  if (script) script(dialog);
}

TEST_F(VideoSourceDialogTest, AboutBoxShowsTheProductLineAndEndsEveryWay) {
  Run([](SimBoard&) {
    const std::function<void(HWND)> ways[] = {
        [](HWND d) { SendDlgItemMessageA(d, IDOK, BM_CLICK, 0, 0); },
        [](HWND d) { SendMessageA(d, WM_COMMAND, IDOK, 0); },      // Enter
        [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); },  // Esc
        [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int opened = 0;
    for (const auto& way : ways) {
      g_aboutScript = [&](HWND d) {
        ++opened;
        EXPECT_EQ(GetWindow(d, GW_OWNER), MainPanel.Window);
        EXPECT_FALSE(IsWindowEnabled(MainPanel.Window)) << "modal over the panel";
        RECT units = {0, 0, 193, 85};
        MapDialogRect(d, &units);
        RECT client;
        GetClientRect(d, &client);
        EXPECT_EQ(client.right, units.right);
        EXPECT_EQ(client.bottom, units.bottom);
        HWND text = FindWindowExA(d, nullptr, "Static", nullptr);
        bool sawLine = false, sawIcon = false;
        for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
          char s[256] = {};
          GetWindowTextA(c, s, sizeof s);
          sawLine = sawLine || std::string(s).rfind("Corvan Telvista  Version 2.21\n\n", 0) == 0;
          sawIcon = sawIcon || SendMessageA(c, STM_GETICON, 0, 0) != 0;
        }
        EXPECT_NE(text, nullptr);
        EXPECT_TRUE(sawLine);
        EXPECT_TRUE(sawIcon);
        way(d);
      };
      SetTimer(nullptr, 0, 20, AboutScriptTimer);
      // The panel's About button goes through the same command.
      if (opened % 2)
        SendMessageA(MainPanel.Window, WM_COMMAND, kButtonAbout, 0);
      else
        Command(ID_ABOUT);
      EXPECT_EQ(FindWindowA("#32770", "About Corvan Telvista"), nullptr);
      EXPECT_TRUE(IsWindowEnabled(MainPanel.Window));
    }
    EXPECT_EQ(opened, 4);
  });
}

}  // namespace
