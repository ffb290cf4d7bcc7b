// The video window's sizes, styles and commands in every mode, driven by messages
// inside the program's own message loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "hw/Audio.h"
#include "hw/ChannelPlans.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/MainPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

// Style bits the window manager adds on its own.
constexpr DWORD kManagedBits = WS_VISIBLE | WS_CLIPSIBLINGS | WS_MAXIMIZE | WS_MINIMIZE;

struct Geometry {
  RECT window;
  SIZE client;
  DWORD style;
};

Geometry Measure() {
  Geometry g = {};
  GetWindowRect(VideoWindow.Window, &g.window);
  RECT c;
  GetClientRect(VideoWindow.Window, &c);
  g.client = SIZE{c.right, c.bottom};
  g.style = static_cast<DWORD>(GetWindowLongA(VideoWindow.Window, GWL_STYLE)) & ~kManagedBits;
  return g;
}

void Command(int id) {
  SendMessageA(VideoWindow.Window, WM_COMMAND, id, 0);
}

// Sets the window to a client size as a user's resize would leave it.
void ResizeClient(int width, int height) {
  SizeVideoWindow(VideoWindow.Window, width, height);
  VideoWindow.PictureWidth = width;
  VideoWindow.PictureHeight = height;
}

class VideoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
  void TearDown() override { ResetProgramState(); }

  // Runs the program on a default board; `body` runs inside its message loop.
  void Run(const std::function<void(SimBoard&)>& body, SimScenario scenario = {}) {
    TestBoard board(scenario);
    RunProgram([&] {
      body(board.Board());
      Command(ID_EXIT);
    });
  }
};

TEST_F(VideoWindowTest, OpensAtOneFieldCentredAThirdDown) {
  Run([](SimBoard&) {
    const Geometry g = Measure();
    EXPECT_EQ(g.client.cx, 352);
    EXPECT_EQ(g.client.cy, 240);
    EXPECT_EQ(g.style, kStyleCreation);
    const int width = g.window.right - g.window.left, height = g.window.bottom - g.window.top;
    EXPECT_EQ(g.window.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(g.window.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 3);
    EXPECT_EQ(VideoWindow.ViewMode, 1);
    EXPECT_EQ(VideoWindow.FullScreen, 0);

    // The context menu is loaded and kept: the "Tuner" submenu sits at position 3.
    ASSERT_NE(VideoWindow.ContextMenu, nullptr);
    HMENU tuner = GetSubMenu(VideoWindow.ContextMenu, 3);
    ASSERT_NE(tuner, nullptr);
    EXPECT_EQ(GetMenuItemID(tuner, 0), static_cast<UINT>(ID_PANEL));
    char text[32] = {};
    GetMenuStringA(VideoWindow.ContextMenu, 3, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Tuner");
  });
}

// The size the video window is created with, from a hook on window creation.
SIZE g_createdSize = {-1, -1};
LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    char name[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (std::string(name) == kVideoWindowClass) g_createdSize = {create->cx, create->cy};
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(VideoWindowTest, NeverExistsWithoutItsSize) {
  HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Run([](SimBoard&) {
    const Geometry g = Measure();
    EXPECT_EQ(g.client.cx, 352);
    EXPECT_EQ(g_createdSize.cx, g.window.right - g.window.left);
    EXPECT_EQ(g_createdSize.cy, g.window.bottom - g.window.top);
  });
  UnhookWindowsHookEx(hook);
}

TEST_F(VideoWindowTest, FullScreenAndBack) {
  Run([](SimBoard&) {
    Command(ID_LEAVE_FULL_SCREEN);  // not in full screen: nothing
    EXPECT_EQ(Measure().style, kStyleCreation);

    Command(ID_FULL_SCREEN);
    Geometry g = Measure();
    EXPECT_EQ(g.window.left, 0);
    EXPECT_EQ(g.window.top, 0);
    EXPECT_EQ(g.window.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(g.window.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(g.style, kStyleFullScreen);
    EXPECT_EQ(VideoWindow.FullScreen, 1);
    EXPECT_EQ(VideoWindow.SavedWidth, 352);
    EXPECT_EQ(VideoWindow.SavedHeight, 240);

    Command(ID_FULL_SCREEN);  // already full screen: nothing changes
    EXPECT_EQ(VideoWindow.SavedWidth, 352);

    Command(ID_LEAVE_FULL_SCREEN);
    g = Measure();
    EXPECT_EQ(g.client.cx, 352);
    EXPECT_EQ(g.client.cy, 240);
    EXPECT_EQ(g.style, kStyleLiveWindow);
    EXPECT_EQ(VideoWindow.FullScreen, 0);
  });
}

TEST_F(VideoWindowTest, CaptureModeFixesOneFieldAndLiveModeReturns) {
  Run([](SimBoard&) {
    ResizeClient(500, 400);
    Command(ID_CAPTURE_MODE);
    Geometry g = Measure();
    EXPECT_EQ(g.client.cx, 352);
    EXPECT_EQ(g.client.cy, 240);
    EXPECT_EQ(g.style, kStyleCaptureMode);
    EXPECT_EQ(VideoWindow.ViewMode, 2);

    Command(ID_FULL_SCREEN);  // Ctrl+S does nothing in Capture Mode
    EXPECT_EQ(VideoWindow.FullScreen, 0);
    EXPECT_EQ(Measure().style, kStyleCaptureMode);
    Command(ID_CAPTURE_MODE);  // already there
    EXPECT_EQ(VideoWindow.SavedWidth, 500);

    Command(ID_LIVE_VIDEO_MODE);
    g = Measure();
    EXPECT_EQ(g.client.cx, 500);
    EXPECT_EQ(g.client.cy, 400);
    EXPECT_EQ(g.style, kStyleLiveWindow);
    EXPECT_EQ(VideoWindow.ViewMode, 1);
    EXPECT_EQ(VideoWindow.FullScreen, 0);
  });
}

TEST_F(VideoWindowTest, CaptureModeFromFullScreenReturnsToFullScreen) {
  Run([](SimBoard&) {
    ResizeClient(500, 400);
    Command(ID_FULL_SCREEN);
    Command(ID_CAPTURE_MODE);
    EXPECT_EQ(VideoWindow.SavedWidth, 9999);
    EXPECT_EQ(VideoWindow.SavedHeight, 9999);
    EXPECT_EQ(VideoWindow.FullScreen, 0);
    Geometry g = Measure();
    EXPECT_EQ(g.client.cx, 352);
    EXPECT_EQ(g.style, kStyleCaptureMode);

    Command(ID_LIVE_VIDEO_MODE);
    g = Measure();
    EXPECT_EQ(g.window.left, 0);
    EXPECT_EQ(g.window.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(g.window.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(g.style, kStyleFullScreen);
    EXPECT_EQ(VideoWindow.FullScreen, 1);
    EXPECT_EQ(VideoWindow.PictureWidth, GetSystemMetrics(SM_CXSCREEN));

    // Esc still returns to the window the user had before full screen, not to the
    // capture size of the detour.
    Command(ID_LEAVE_FULL_SCREEN);
    g = Measure();
    EXPECT_EQ(g.client.cx, 500);
    EXPECT_EQ(g.client.cy, 400);
    EXPECT_EQ(g.style, kStyleLiveWindow);
  });
}

TEST_F(VideoWindowTest, CaptureModeFollowsTheStandardsFieldHeight) {
  SimScenario pal;
  pal.compositeStandard = 3;
  Run(
      [](SimBoard&) {
        EXPECT_EQ(Measure().client.cy, 288);
        ResizeClient(640, 480);
        Command(ID_CAPTURE_MODE);
        EXPECT_EQ(Measure().client.cx, 352);
        EXPECT_EQ(Measure().client.cy, 288);
      },
      pal);
}

TEST_F(VideoWindowTest, OversizedWindowIsPlacedAtTheOrigin) {
  Run([](SimBoard&) {
    SizeVideoWindow(VideoWindow.Window, 3000, 2000);
    RECT r;
    GetWindowRect(VideoWindow.Window, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
  });
}

TEST_F(VideoWindowTest, DragMovesByExactlyThePointersMovement) {
  Run([](SimBoard&) {
    HWND w = VideoWindow.Window;
    RECT before, after;
    GetWindowRect(w, &before);
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(VideoWindowInput.Dragging, 1);
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 25));
    // The window moved under the pointer: the same screen point is now at (10, 10) again.
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 12));
    SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 12));
    GetWindowRect(w, &after);
    EXPECT_EQ(after.left - before.left, 30 - 5);
    EXPECT_EQ(after.top - before.top, 15 + 2);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(VideoWindowInput.Dragging, 0);

    // A press outside the client area starts nothing; moves without a drag move nothing.
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 10));
    EXPECT_EQ(VideoWindowInput.Dragging, 0);
    SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
    RECT still;
    GetWindowRect(w, &still);
    EXPECT_EQ(still.left, after.left);
  });
}

TEST_F(VideoWindowTest, SizeChangesAreReportedToTheMainPanel) {
  static int received;
  received = 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) CALLBACK -> LRESULT {
    if (m == kMsgVideoSizeChanged) ++received;
    return DefWindowProcA(h, m, w, l);
  };
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TestMainPanel";
  RegisterClassA(&wc);
  Run([&](SimBoard&) {
    Panels.MainPanel = CreateWindowExA(0, "TestMainPanel", "", WS_POPUP, 0, 0, 50, 50, nullptr,
                                       nullptr, wc.hInstance, nullptr);
    Command(ID_CAPTURE_MODE);
    EXPECT_GT(received, 0);
    const int afterCapture = received;

    // In full screen a click shows the panel; a second click only forgets that it did.
    Command(ID_LIVE_VIDEO_MODE);
    Command(ID_FULL_SCREEN);
    SendMessageA(VideoWindow.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(VideoWindowInput.PanelShown, 1);
    EXPECT_TRUE(IsWindowVisible(Panels.MainPanel));
    EXPECT_EQ(VideoWindowInput.Dragging, 0);
    SendMessageA(VideoWindow.Window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(VideoWindowInput.PanelShown, 0);
    Command(ID_LEAVE_FULL_SCREEN);
    EXPECT_GT(received, afterCapture);
    DestroyWindow(Panels.MainPanel);
    Panels.MainPanel = nullptr;
  });
  UnregisterClassA("TestMainPanel", wc.hInstance);
}

class ChannelEntryTest : public VideoWindowTest {
 protected:
  // Runs keypad commands with the Tuner input selected; returns the slot tuned last.
  void Entry(const std::vector<int>& ids, DWORD waitMs, int expectedSlot, const char* what) {
    Run([&](SimBoard& board) {
      Settings.VideoConnector = 1003;
      Settings.CurrentChannel = 1;
      const uint32_t writesBefore = board.Tuner().Writes();
      for (int id : ids) Command(id);
      // A timed entry ends with the entry timer, however late a busy machine delivers it.
      for (const DWORD start = GetTickCount();
           waitMs && board.Tuner().Writes() == writesBefore && GetTickCount() - start < 9000;)
        Pump(10);
      EXPECT_EQ(Settings.CurrentChannel, expectedSlot) << what;
      EXPECT_EQ(board.Tuner().Writes(), writesBefore + 1) << what << ": exactly one tuning";
      const uint32_t word = ChannelPlanFor(Settings.CableStandard)[expectedSlot];
      EXPECT_EQ(board.Tuner().Divider(), word >> 16 & 0x7FFF) << what;
      EXPECT_EQ(VideoWindowInput.DigitCount, 0);
      EXPECT_EQ(VideoWindow.EntryTimerActive, 0);
    });
  }
};

TEST_F(ChannelEntryTest, TwoDigitsSelectAtOnce) {
  Entry({ID_DIGIT_7, ID_DIGIT_5}, 0, 75, "7 5");
  Entry({ID_DIGIT_1, ID_DIGIT_0, ID_DIGIT_0}, 0, 100, "1 0 0");
  Entry({ID_DIGIT_1, ID_DIGIT_0, ID_ENTER}, 0, 10, "1 0 Enter");
  Entry({ID_DIGIT_2, ID_DIGIT_0}, 0, 20, "2 0");
  Entry({ID_DIGIT_0, ID_DIGIT_4, ID_DIGIT_2}, 0, 42, "leading 0 ignored");
}

TEST_F(ChannelEntryTest, OneDigitWaitsForTheTimer) {
  Run([](SimBoard& board) {
    Settings.VideoConnector = 1003;
    Command(ID_DIGIT_7);
    const DWORD start = GetTickCount();
    EXPECT_EQ(VideoWindow.EntryTimerActive, 1);
    EXPECT_EQ(board.Tuner().Writes(), 0u);
    while (Settings.CurrentChannel != 7 && GetTickCount() - start < 5000) Pump(10);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(Settings.CurrentChannel, 7);
    EXPECT_GE(elapsed, 1250u) << "tuned before the entry timer ran out";
    EXPECT_EQ(board.Tuner().Writes(), 1u);
  });
  // 1, 0, 5: the 5 is ignored and 10 is tuned when the timer runs out.
  Entry({ID_DIGIT_1, ID_DIGIT_0, ID_DIGIT_5}, 1700, 10, "1 0 5");
}

TEST_F(VideoWindowTest, TunerCommandsNeedTheTunerInput) {
  Run([](SimBoard& board) {
    ASSERT_EQ(Settings.VideoConnector, 1002);
    for (int id = ID_CHANNEL_UP; id <= ID_ENTER; ++id) Command(id);
    Pump(1500);
    EXPECT_EQ(board.Tuner().Writes(), 0u);
    EXPECT_EQ(Settings.CurrentChannel, 1);
    EXPECT_EQ(board.Audio().WriteLog().size(), 0u) << "no mute, no volume";
  });
}

TEST_F(VideoWindowTest, TuningMutesBeforeAndRestoresSoundAfter) {
  const std::string trace = TempPath("lumetra_tuning_trace.txt");
  DeleteFileA(trace.c_str());
  SimScenario scenario;
  scenario.busTrace = trace;
  Run(
      [](SimBoard&) {
        Settings.VideoConnector = 1003;
        Settings.CableStandard = 3;
        Command(ID_DIGIT_7);
        Command(ID_DIGIT_5);
      },
      scenario);
  std::vector<std::string> lines;
  for (const auto& line : ReadLines(trace)) lines.push_back(line.substr(line.find(' ') + 1));
  // US slot 75: 217.25 + 52 x 6 = 529.25 MHz; divider 16 x 575 = 9200 = 0x23F0, UHF.
  const std::vector<std::string> expected = {
      "S 82+ 08+ EF+ P",
      "S C0+ 23+ F0+ 8E+ 30+ P",
      "S 82+ 00+ F5+ Sr 82+ 01+ F5+ Sr 82+ 02+ F6+ Sr 82+ 03+ F6+ Sr 82+ 08+ CF+ P",
  };
  bool found = false;
  for (size_t i = 0; i + 3 <= lines.size(); ++i) {
    if (std::vector<std::string>(lines.begin() + i, lines.begin() + i + 3) == expected)
      found = true;
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(lines.back(), "S 48+ 11+ 84+ P");
  // Exit with the Tuner input mutes before the decoder output goes off.
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "S 82+ 08+ EF+ P");
  DeleteFileA(trace.c_str());
}

TEST_F(VideoWindowTest, EndSessionSwitchesTheOutputOffAtOnce) {
  Run([](SimBoard& board) {
    Settings.VideoConnector = 1003;
    SendMessageA(VideoWindow.Window, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(board.Decoder().OutputEnabled()) << "a cancelled shutdown changes nothing";
    SendMessageA(VideoWindow.Window, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(board.Decoder().OutputEnabled());
    EXPECT_EQ(board.Audio().Register(0x08), 0xEF);
  });
}

}  // namespace

namespace {
bool g_menuSeen = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu = FindWindowA("#32768", nullptr);
  if (menu && IsWindowVisible(menu)) g_menuSeen = true;
  KillTimer(nullptr, timer);
  EndMenu();
}
}  // namespace

TEST_F(VideoWindowTest, RightClickOpensTheContextMenuAndCtrlKeysSwitchModes) {
  Run([](SimBoard&) {
    g_menuSeen = false;
    SetTimer(nullptr, 0, 100, CloseMenu);
    // The menu runs its own loop inside the click until the timer closes it.
    SendMessageA(VideoWindow.Window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(g_menuSeen);

    char text[32] = {};
    HMENU capture = GetSubMenu(VideoWindow.ContextMenu, 4);
    GetMenuStringA(capture, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Single Frame\tF5");

    // The menu as it opened in LiveVideo Mode on a camera input: the mode checked, the
    // captures and the tuner's commands greyed, as they would do nothing.
    const auto state = [](UINT id) {
      return GetMenuState(VideoWindow.ContextMenu, id, MF_BYCOMMAND);
    };
    EXPECT_TRUE(state(ID_LIVE_VIDEO_MODE) & MF_CHECKED);
    EXPECT_FALSE(state(ID_CAPTURE_MODE) & MF_CHECKED);
    for (UINT id : {ID_SINGLE_FRAME, ID_FRAMES, ID_VIDEO, ID_PANEL, ID_AUTOSCAN})
      EXPECT_TRUE(state(id) & MF_GRAYED) << id;

    Command(ID_CTRL_C);
    EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
    Settings.VideoConnector = 1003;
    SetTimer(nullptr, 0, 100, CloseMenu);
    SendMessageA(VideoWindow.Window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(state(ID_CAPTURE_MODE) & MF_CHECKED);
    EXPECT_FALSE(state(ID_LIVE_VIDEO_MODE) & MF_CHECKED);
    for (UINT id : {ID_SINGLE_FRAME, ID_FRAMES, ID_VIDEO, ID_PANEL, ID_AUTOSCAN})
      EXPECT_FALSE(state(id) & MF_GRAYED) << id;
    EXPECT_TRUE(GetMenuState(VideoWindow.ContextMenu, kTunerSubmenuPosition, MF_BYPOSITION) &
                MF_CHECKED);
    Settings.VideoConnector = 1002;
    Command(ID_CTRL_V);
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
  });
}
