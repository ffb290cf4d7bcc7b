// The simulated card's scenario values, read from the simulator's registry key, as the
// running program meets them: bandwidth answers that let the overlay show without the
// key, and overlay creations that fail.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "resource.h"
#include "sim/win32/OverlayScanout.h"
#include "sim/win32/SimulatedBoard.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

class SimCardScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    RegDeleteTreeA(HKEY_CURRENT_USER, kSimulatorKey);
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSimulatorKey);
    ResetProgramState();
  }

  static void SetScenario(const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSimulatorKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }

  // Runs the program on the scenario; `body` runs in its loop once fields flow.
  static void Run(const std::function<void(SimBoard&)>& body) {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    TestBoard board;
    bool ran = false;
    RunProgram([&] {
      ran = true;
      for (int i = 0; i < 200 && board.Board().Engine().Stats().rendered < 4; ++i) Pump(10);
      body(board.Board());
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
    });
    ASSERT_TRUE(ran) << "the program did not reach its message loop";
  }
};

// The share of a screen rectangle that is exactly `colour`.
double ScreenFraction(const RECT& r, COLORREF colour) {
  HDC screen = GetDC(nullptr);
  int same = 0, all = 0;
  for (int y = r.top; y < r.bottom; y += 2)
    for (int x = r.left; x < r.right; x += 2, ++all) same += GetPixel(screen, x, y) == colour;
  ReleaseDC(nullptr, screen);
  return all ? static_cast<double>(same) / all : 0.0;
}

TEST_F(SimCardScenarioTest, BandwidthDecidesWhetherTheUncoveredWindowIsKeyed) {
  for (const DWORD bandwidth : {0u, 1u, 2u, 3u}) {
    SCOPED_TRACE(bandwidth);
    SetScenario("Bandwidth", bandwidth);
    const bool unkeyed = bandwidth == 1 || bandwidth == 3;
    Run([&](SimBoard&) {
      ASSERT_NE(Display.OverlaySurface, nullptr);
      EXPECT_EQ(Display.KeyAlways, unkeyed ? 0 : 1);
      EXPECT_TRUE(RecordedMessages().empty());
      const HWND scanout = FindWindowA(kOverlayScanoutClass, nullptr);
      ASSERT_NE(scanout, nullptr);
      ASSERT_TRUE(IsWindowVisible(scanout));

      // Text drawn over the picture: kept on top by the key, painted over without it.
      const RECT text = {40, 120, 140, 160};
      HDC dc = GetDC(VideoWindow.Window);
      HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
      FillRect(dc, &text, white);
      DeleteObject(white);
      ReleaseDC(VideoWindow.Window, dc);
      RECT onScreen = text;
      MapWindowPoints(VideoWindow.Window, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
      double shown = 0;
      for (int i = 0; i < 40; ++i) {
        Pump(25);
        shown = ScreenFraction(onScreen, RGB(255, 255, 255));
        if (unkeyed ? shown < 0.2 : shown == 1.0) break;
      }
      if (unkeyed) {
        EXPECT_LT(shown, 0.2) << "an unkeyed overlay covers everything in its rectangle";
      } else {
        EXPECT_EQ(shown, 1.0) << "the key keeps what is drawn over the picture on top";
      }
    });
  }
}

TEST_F(SimCardScenarioTest, AFailedFirstOverlayIsRetriedOneRowTaller) {
  SetScenario("FailOverlays", 1);
  Run([](SimBoard& board) {
    EXPECT_TRUE(RecordedMessages().empty());
    ASSERT_NE(Display.OverlaySurface, nullptr);
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(Display.OverlaySurface->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwHeight, 252u) << "one row more than the 251-line field";
    EXPECT_EQ(Display.OverlayBuffers, 2);
    const uint64_t before = board.Engine().Stats().rendered;
    Pump(200);
    EXPECT_GT(board.Engine().Stats().rendered, before) << "live video flows";
  });

  // Failing twice leaves no overlay: the program says so and ends.
  ResetProgramState();
  SetScenario("FailOverlays", 2);
  UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  TestBoard board;
  RunProgram();
  ASSERT_EQ(RecordedMessages().size(), 1u);
  EXPECT_EQ(RecordedMessages()[0].text, kNoLiveVideoMessage);
}

}  // namespace
