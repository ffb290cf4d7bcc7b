#include "win32/DisplayChainFixture.h"

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "shared/Settings.h"
#include "ui/ViewState.h"
#include "win32/ModalLoops.h"
#include "win32/Recorders.h"

namespace display_test {

namespace {

constexpr char kTestWindowClass[] = "DisplayChainTestWindow";

int g_overlayTimerTicks = 0;

// A bare popup whose client area is its whole rectangle; it counts the refresh ticks.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimerOverlay) {
    ++g_overlayTimerTicks;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool QuitPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

std::string ShowCall(const char* source, const char* dest, const std::string& flags) {
  return std::string("Overlay.UpdateOverlay src=") + source + " to=Primary dest=" + dest + " " +
         flags;
}

// The overlay of typical hardware stretches but cannot shrink.
HRESULT RefuseShrinking(const RECT& source, const RECT& dest, DWORD) {
  const bool shrinks = source.right - source.left > dest.right - dest.left ||
                       source.bottom - source.top > dest.bottom - dest.top;
  return shrinks ? DDERR_INVALIDPARAMS : DD_OK;
}

HRESULT RefuseKey(const RECT&, const RECT&, DWORD flags) {
  return (flags & DDOVER_KEYDEST) ? DDERR_NOCOLORKEYHW : DD_OK;
}

void DisplayChainTest::SetUp() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = TestWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kTestWindowClass;
  RegisterClassA(&wc);
  RecordedMessages().clear();
  Display = DisplayState{};
  Placement = OverlayPlacementState{};
  ScreenRect = RECT{0, 0, 0, 0};
  VideoWindow = VideoWindowState{};
  Settings = SettingsData{};
  Settings.VideoStandard = 0;
  Settings.VideoConnector = 1002;
  window_ = CreateWindowExA(0, kTestWindowClass, "video", WS_POPUP | WS_VISIBLE, kWindowX, kWindowY,
                            352, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window_, nullptr);
  VideoWindow.Window = window_;
  // The display reaches the window through what the video window hands it.
  ConnectVideoWindow();
  g_overlayTimerTicks = 0;
  FillVideoPortConfig();
  InstallDirectDrawProvider(&card_);
}

void DisplayChainTest::TearDown() {
  DisplayRelease();
  EXPECT_EQ(card_.LiveReferences(), 0u) << "the chain leaks references";
  EXPECT_EQ(card_.Problems(), std::vector<std::string>{});
  InstallDirectDrawProvider(nullptr);
  DestroyWindow(window_);
  // A test that ended the program leaves neither its quit message nor its request.
  QuitPosted();
  ResetQuitRequest();
  Display = DisplayState{};
  Placement = OverlayPlacementState{};
  VideoWindow = VideoWindowState{};
  RecordedMessages().clear();
}

int DisplayChainTest::TicksDuring(DWORD ms) {
  g_overlayTimerTicks = 0;
  Pump(ms);
  return g_overlayTimerTicks;
}

std::vector<std::string> DisplayChainTest::Messages() const {
  std::vector<std::string> texts;
  for (const RecordedMessage& m : RecordedMessages()) {
    texts.push_back(Format("%s|%s|%s|",
                           m.owner == nullptr   ? "none"
                           : m.owner == window_ ? "video"
                                                : "other",
                           m.caption.c_str(), m.text.c_str()) +
                    Hex(m.style));
  }
  return texts;
}

std::string DisplayChainTest::Box(const char* owner, const char* text, UINT style) {
  return Format("%s|Corvan Telvista|%s|", owner, text) + Hex(style);
}

}  // namespace display_test
