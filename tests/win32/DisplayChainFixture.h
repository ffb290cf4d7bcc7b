// The display tests' fixture: a bare popup stands in for the video window, the recording
// card stands behind DdDirectDrawCreate, and the display state starts fresh each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "win32/RecordingDirectDraw.h"

namespace display_test {

// The texts as the user reads them.
inline constexpr char kVideoPortText[] =
    "Your display device (or driver) does not support a video port.  A video port is required "
    "for this application to run.";
inline constexpr char kOverlayText[] =
    "Your display device (or driver) does not support an overlay. Hardware overlay support is "
    "required for this application to run.";
inline constexpr char kNoLiveVideoText[] =
    "Can't play live video. Please change to other display\nmodes or close other video players, "
    "then run again.";

// Where the stand-in window's client area starts on the screen.
inline constexpr int kWindowX = 100, kWindowY = 100;

// Takes a posted quit message off the queue; true when there was one.
bool QuitPosted();

// How the overlay's UpdateOverlay calls read in the log.
inline const std::string kOverlayShowKeyed = "flags=" + Hex(DDOVER_SHOW | DDOVER_KEYDEST);
inline const std::string kOverlayShow = "flags=" + Hex(DDOVER_SHOW);
inline const std::string kOverlayHide =
    "Overlay.UpdateOverlay src=null to=Primary dest=null flags=" + Hex(DDOVER_HIDE);
std::string ShowCall(const char* source, const char* dest, const std::string& flags);

// Overlay answers of typical hardware: it stretches but cannot shrink; it has no key.
HRESULT RefuseShrinking(const RECT& source, const RECT& dest, DWORD flags);
HRESULT RefuseKey(const RECT& source, const RECT& dest, DWORD flags);

class DisplayChainTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Start-up and kMsgStartLiveVideo, as the program runs them.
  void StartLive() {
    ASSERT_TRUE(DisplayCreate(true));
    StartLiveVideoOrEnd(window_);
  }

  void MoveClient(int x, int y, int width, int height) {
    SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The last call starting with `prefix`, or nothing.
  std::string LastCall(const char* prefix) const {
    const std::vector<std::string> calls = card_.Calls({prefix});
    return calls.empty() ? std::string() : calls.back();
  }

  // kTimerOverlay ticks counted over a stretch of running the message loop.
  int TicksDuring(DWORD ms);

  // The message boxes shown, as "owner|caption|text|style".
  std::vector<std::string> Messages() const;
  static std::string Box(const char* owner, const char* text, UINT style);

  RecordingCard card_;
  HWND window_ = nullptr;
};

}  // namespace display_test
