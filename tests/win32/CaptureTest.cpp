// Captures end to end on the simulated board, inside the program's own message loop:
// the board driver and the field wait, the grab's rows, stills in every size, the
// clipboard, numbered names, frame sequences and video into AVI files, and every way a
// capture can fail.
//
// CAPTURE_SMALL_DIR, when set, names a Unix directory on a small file system (a few
// megabytes); the tests that need a full disk use it through drive z: and are skipped
// without it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Startup.h"
#include "app/VideoWindow.h"
#include "capture/AviFormat.h"
#include "shared/LittleEndian.h"
#include "capture/FrameLimit.h"
#include "capture/win32/AviConversion.h"
#include "capture/win32/BoardDriver.h"
#include "capture/win32/CaptureActivity.h"
#include "capture/win32/FrameGrab.h"
#include "capture/win32/SequenceCapture.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/DisplayChain.h"
#include "playback/VideoPlayer.h"
#include "resource.h"
#include "shared/Settings.h"
#include "sim/win32/SimBoardDriver.h"
#include "ui/CaptureDialogs.h"
#include "ui/MainPanel.h"
#include "ui/ViewState.h"
#include "win32/ImportPatch.h"
#include "win32/Recorders.h"

namespace {

constexpr int kPal = 3;  // a 288-row standard

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(name.c_str(), "rb")) {
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
  }
  return bytes;
}

bool Exists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return GetLe32(&b[at]);
}

void Command(int id) {
  SendMessageA(VideoWindow.Window, WM_COMMAND, id, 0);
}

// An earlier file that a capture must never lose.
void WriteEarlierFile(const std::string& name) {
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fputs("earlier capture", f);
    std::fclose(f);
  }
}

std::string Contents(const std::string& name) {
  const auto bytes = ReadFile(name);
  return {bytes.begin(), bytes.end()};
}

// Temporary files a capture left in a folder ("c:\" or a path ending in '\').
int TemporaryFilesIn(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "lum*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// The small file system as a Windows directory, or "" when none was given.
std::string SmallDirectory() {
  const char* unix = std::getenv("CAPTURE_SMALL_DIR");
  if (!unix || !*unix) return {};
  std::string dir = std::string("z:") + unix;
  for (char& c : dir) {
    if (c == '/') c = '\\';
  }
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

// ---------------------------------------------------------------------------
// Board drivers that answer differently from the simulated board's.

HANDLE AbsentOpen(const char*) {
  return INVALID_HANDLE_VALUE;
}
HANDLE PresentOpen(const char*) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1234));
}
BOOL RefusingControl(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*) {
  return FALSE;
}
BOOL NoClose(HANDLE) {
  return TRUE;
}

// A status block whose field bit never moves.
std::vector<uint8_t> g_frozenBlock(kDriverStatusBlockSize);
BOOL FrozenControl(HANDLE, DWORD code, void*, DWORD, void* out, DWORD, DWORD*) {
  if (code != kBoardDriverStatusBlockCode) return FALSE;
  uint8_t* block = g_frozenBlock.data();
  std::memcpy(out, &block, sizeof block);
  return TRUE;
}

// The test moves the bit of that block itself.
void ToggleFrozenBit() {
  auto* word = reinterpret_cast<uint32_t*>(g_frozenBlock.data() + kDriverStatusWordOffset);
  std::atomic_ref<uint32_t>(*word).fetch_xor(kDriverStatusFieldBit);
}

int64_t QueryTicks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t TicksOfMs(int64_t ms) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * ms / 1000;
}

// Milliseconds on the clock the wait itself keeps: the tick count can lag it by a tick.
double PreciseMs() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(QueryTicks()) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

constexpr BoardDriverCalls kAbsentDriver = {AbsentOpen, RefusingControl, NoClose};
constexpr BoardDriverCalls kRefusingDriver = {PresentOpen, RefusingControl, NoClose};
constexpr BoardDriverCalls kFrozenDriver = {PresentOpen, FrozenControl, NoClose};

void UseDriver(const BoardDriverCalls* calls) {
  InstallBoardDriverCalls(calls);
  OpenBoardDriver();
}

// ---------------------------------------------------------------------------
// A stand-in main panel that records what captures send it.

std::vector<UINT> g_panelMessages;

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgCapturedVideoReady) g_panelMessages.push_back(message);
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateStandInPanel() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CaptureTestPanel";
  RegisterClassA(&wc);
  g_panelMessages.clear();
  return CreateWindowExA(0, "CaptureTestPanel", "panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                         200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Driving the modal Capture Frames dialog from its own message loop.

std::function<void(HWND)> g_dialogScript;
UINT_PTR g_dialogTimer = 0;

void CALLBACK DialogScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowA("#32770", "Capture Frames");
  if (!dialog) return;  // not open yet
  KillTimer(nullptr, id);
  g_dialogTimer = 0;
  auto script = std::move(g_dialogScript);
  g_dialogScript = nullptr;
  if (script) script(dialog);
}

void RunFramesDialog(std::function<void(HWND)> script) {
  g_dialogScript = std::move(script);
  g_dialogTimer = SetTimer(nullptr, 0, 20, DialogScriptTimer);
  Command(ID_FRAMES_KEY);
}

// A script whose dialog never opened.
void DropFramesDialogScript() {
  if (g_dialogTimer) KillTimer(nullptr, g_dialogTimer);
  g_dialogTimer = 0;
  g_dialogScript = nullptr;
}

void Press(HWND dialog, int button) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

int ShownCount(HWND dialog) {
  return static_cast<int>(GetDlgItemInt(dialog, IDC_FRAME_COUNT, nullptr, FALSE));
}

// ---------------------------------------------------------------------------

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    CaptureOptions = CaptureOptionsData{};
    SequenceCapture = SequenceCaptureState{};
    InstallBoardDriverCalls(nullptr);
    DeleteFileA(kRawCaptureFileName);
  }
  void TearDown() override {
    if (Panels.MainPanel) DestroyWindow(Panels.MainPanel);
    ResetProgramState();
    InstallBoardDriverCalls(nullptr);
  }

  // Runs the program on a board whose composite input carries `standard`; `body` runs in
  // Capture Mode once live video flows.
  void Run(const std::function<void(SimBoard&)>& body, int standard = 0) {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    SimScenario scenario;
    scenario.compositeStandard = standard;
    TestBoard board(scenario);
    bool ran = false;
    RunProgram([&] {
      ran = true;
      for (int i = 0; i < 200 && board.Board().Engine().Stats().rendered < 4; ++i) Pump(10);
      if (!board.Board().Engine().Running()) {
        for (const auto& m : RecordedMessages()) ADD_FAILURE() << "message: " << m.text;
      }
      ASSERT_TRUE(board.Board().Engine().Running());
      Command(ID_CAPTURE_MODE);
      RecordedMessages().clear();
      body(board.Board());
      Command(ID_EXIT);
    });
    ASSERT_TRUE(ran) << "the program did not reach its message loop";
  }

  static std::vector<RecordedMessage>& Messages() { return RecordedMessages(); }
};

// ---------------------------------------------------------------------------
// Board driver, field wait, grab

TEST_F(CaptureTest, FieldWaitFollowsTheBoardDriver) {
  Run([](SimBoard& board) {
    EXPECT_EQ(BoardDriver.DriverStatusBlock, board.Engine().DriverStatusBlock());

    // Each wait ends at the next field: 30 waits see 30 new fields, and only a busy
    // machine taking the waiting thread away for a whole field makes one wait for two.
    ASSERT_EQ(WaitForVsync(), 1);
    const DWORD start = GetTickCount();
    const uint64_t fieldsBefore = board.Engine().Stats().rendered;
    for (int i = 0; i < 30; ++i) ASSERT_EQ(WaitForVsync(), 1);
    const uint64_t fields = board.Engine().Stats().rendered - fieldsBefore;
    const DWORD elapsed = GetTickCount() - start;
    std::printf("report: 30 field waits: %lu ms, %llu fields delivered meanwhile\n", elapsed,
                static_cast<unsigned long long>(fields));
    EXPECT_GE(fields + 1, 30u);
    EXPECT_LE(fields, 60u);

    UseDriver(&kAbsentDriver);
    EXPECT_EQ(BoardDriver.DriverStatusBlock, nullptr);
    EXPECT_EQ(WaitForVsync(), 1);  // unsynchronised, at once
    // Without the simulated driver the platform is asked, and this machine has no board.
    UseDriver(nullptr);
    EXPECT_EQ(BoardDriver.DriverStatusBlock, nullptr);
    UseDriver(&kRefusingDriver);
    EXPECT_EQ(BoardDriver.DriverStatusBlock, nullptr);

    UseDriver(&kFrozenDriver);
    // Two changes before the next one is due, the second 10 ms after the first: a wait
    // that slept towards the due time would find the bit back where it started.
    FrameGrab.LastField = {BoardDriver.DriverStatusBlock, 0, QueryTicks() - TicksOfMs(2)};
    std::thread mover([] {
      Sleep(2);
      ToggleFrozenBit();
      Sleep(10);
      ToggleFrozenBit();
    });
    EXPECT_EQ(WaitForVsync(), 1);
    mover.join();
    // The second change came while the caller was busy with the first: the next wait
    // returns at once rather than lose it, and the one after waits for a change again.
    EXPECT_EQ(WaitForVsync(), 1);
    // A bit that never moves: the wait gives up, though only after eight fields' time
    // whatever the processor, so a slow field is never taken for a missing one.
    const double frozenStart = PreciseMs();
    EXPECT_EQ(WaitForVsync(), 0);
    const double waited = PreciseMs() - frozenStart;
    std::printf("report: a wait for a bit that never moves gave up after %.0f ms\n", waited);
    EXPECT_GE(waited, static_cast<double>(kVsyncLeastWaitMs));
    // On a processor that gets through the polls at once, the time still holds.
    const double fastStart = PreciseMs();
    EXPECT_EQ(WaitForFieldChange(16, kVsyncLeastWaitMs), 0);
    EXPECT_GE(PreciseMs() - fastStart, static_cast<double>(kVsyncLeastWaitMs));
    // A wait that sleeps between polls would take hours over its count: time ends it too.
    const double countlessStart = PreciseMs();
    EXPECT_EQ(WaitForFieldChange(UINT32_MAX, kVsyncLeastWaitMs), 0);
    const double countless = PreciseMs() - countlessStart;
    std::printf("report: a wait with no poll limit gave up after %.0f ms\n", countless);
    EXPECT_LT(countless, static_cast<double>(20 * kVsyncMostWaitMs));
  });
}

// A surface filled with a pattern that names each byte's row and column shows where the
// grab starts and that nothing is padded or skipped.
void FillSurfaceWithPattern(SimBoard& board, int& pitch) {
  board.Engine().Stop();
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(Display.OverlaySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  pitch = desc.lPitch;
  auto* bits = static_cast<uint8_t*>(desc.lpSurface);
  for (DWORD row = 0; row < desc.dwHeight; ++row) {
    for (int x = 0; x < pitch; ++x) bits[row * pitch + x] = static_cast<uint8_t>(row * 7 + x);
  }
  Display.OverlaySurface->Unlock(nullptr);
}

DWORD SurfaceRows() {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  Display.OverlaySurface->GetSurfaceDesc(&desc);
  return desc.dwHeight;
}

TEST_F(CaptureTest, GrabCopiesThePictureFromItsFirstRow) {
  for (const int standard : {0, kPal}) {
    SCOPED_TRACE(standard);
    Run(
        [&](SimBoard& board) {
          int pitch = 0;
          FillSurfaceWithPattern(board, pitch);
          const int width = VideoWindow.PictureWidth, height = VideoWindow.PictureHeight;
          ASSERT_EQ(height, standard == 0 ? 240 : 288);
          ASSERT_GE(pitch, 2 * width + 8);
          const int first = FirstPictureRow();
          EXPECT_EQ(first, standard == 0 ? 11 : 1);
          for (const FrameCopy routine : {FrameCopy::Plain, FrameCopy::Mmx}) {
            FrameGrab.FrameCopyRoutine = routine;
            std::vector<uint8_t> buffer(static_cast<size_t>(width) * height * 2 + 16, 0xEE);
            ASSERT_EQ(GrabFrame(buffer.data(), kGrabLockFlags, first), DD_OK);
            // Rows the surface does not have are never read: the last row copied stands
            // in for them.
            const int rows = std::min<int>(height, static_cast<int>(SurfaceRows()) - first);
            bool same = true;
            for (int y = 0; y < height && same; ++y) {
              for (int x = 0; x < width * 2 && same; ++x) {
                const uint8_t want =
                    static_cast<uint8_t>((first + std::min(y, rows - 1)) * 7 + 8 + x);
                same = buffer[y * width * 2 + x] == want;
              }
            }
            EXPECT_TRUE(same) << "surface rows " << SurfaceRows();
            EXPECT_EQ(buffer[static_cast<size_t>(width) * height * 2], 0xEE);  // no overrun
          }
          // A surface someone else holds locked: the lock's error, nothing copied.
          DDSURFACEDESC desc = {};
          desc.dwSize = sizeof desc;
          ASSERT_EQ(Display.OverlaySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
          std::vector<uint8_t> untouched(static_cast<size_t>(width) * height * 2, 0xEE);
          EXPECT_TRUE(FAILED(GrabFrame(untouched.data(), kGrabLockFlags, first)));
          EXPECT_EQ(untouched[0], 0xEE);
          Display.OverlaySurface->Unlock(nullptr);
        },
        standard);
  }
}

// ---------------------------------------------------------------------------
// Stills

// Which channels of the eight 75% bars are lit (blue, green, red), left to right: white,
// yellow, cyan, green, magenta, red, blue, black.
constexpr bool kBars[8][3] = {{1, 1, 1}, {0, 1, 1}, {1, 1, 0}, {0, 1, 0},
                              {1, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0, 0}};

// The test card's bars across the upper part of the picture, read from a bottom-up BMP:
// lit channels well up, dark ones well down, whatever the picture controls are set to.
void ExpectColourBars(const std::vector<uint8_t>& bmp, int width, int height) {
  const int y = height / 5;  // well inside the bars
  const size_t row = 54 + static_cast<size_t>(height - 1 - y) * width * 3;
  for (int bar = 0; bar < 8; ++bar) {
    const int x = (2 * bar + 1) * width / 16;
    for (int c = 0; c < 3; ++c) {
      const int value = bmp[row + x * 3 + c];
      if (kBars[bar][c]) {
        EXPECT_GT(value, 150) << "bar " << bar << " channel " << c;
      } else {
        EXPECT_LT(value, 70) << "bar " << bar << " channel " << c;
      }
    }
  }
}

TEST_F(CaptureTest, StillsInBothStandardsAndEverySize) {
  for (const int standard : {0, kPal}) {
    Run(
        [&](SimBoard&) {
          const int width = 352, height = standard == 0 ? 240 : 288;
          for (int factor = 1; factor <= 5; ++factor) {
            SCOPED_TRACE(testing::Message() << "standard " << standard << " factor " << factor);
            CaptureOptions.sizeFactor = factor;
            std::snprintf(CaptureOptions.stillFileName, sizeof CaptureOptions.stillFileName,
                          "c:\\still_%d_%d.bmp", height, factor);
            // A longer file of the same name must be replaced, not written into.
            if (FILE* f = std::fopen(CaptureOptions.stillFileName, "wb")) {
              std::vector<char> junk(9'000'000, 'x');
              std::fwrite(junk.data(), 1, junk.size(), f);
              std::fclose(f);
            }
            ASSERT_EQ(CaptureStill(), 1);
            const auto bmp = ReadFile(CaptureOptions.stillFileName);
            const uint32_t wd = width * factor, hd = height * factor;
            ASSERT_EQ(bmp.size(), wd * hd * 3 + 54);
            EXPECT_EQ(bmp[0], 'B');
            EXPECT_EQ(bmp[1], 'M');
            EXPECT_EQ(U32(bmp, 2), bmp.size());
            EXPECT_EQ(U32(bmp, 18), wd);
            EXPECT_EQ(U32(bmp, 22), hd);
            ExpectColourBars(bmp, static_cast<int>(wd), static_cast<int>(hd));
          }
          EXPECT_TRUE(Messages().empty());
          EXPECT_EQ(CaptureOptions.nameCounter, 1u);  // numbering is off
        },
        standard);
  }
  EXPECT_EQ(ReadFile("c:\\still_240_1.bmp").size(), 253'494u);
  EXPECT_EQ(ReadFile("c:\\still_288_5.bmp").size(), 7'603'254u);
}

TEST_F(CaptureTest, StillOnTheClipboardAndNumberedNames) {
  Run([](SimBoard&) {
    CaptureOptions.numberedNames = true;
    std::strcpy(CaptureOptions.stillFileName, "c:\\shot001.bmp");
    DeleteFileA("c:\\shot001.bmp");
    DeleteFileA("c:\\shot002.bmp");

    // F5 in Capture Mode.
    Command(ID_CAPTURE_FRAME);
    EXPECT_TRUE(Exists("c:\\shot001.bmp"));
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\shot002.bmp");
    EXPECT_EQ(CaptureOptions.nameCounter, 2u);

    // The clipboard takes the picture instead of a file, and the name still advances.
    CaptureOptions.toClipboard = true;
    CaptureOptions.sizeFactor = 2;
    ASSERT_EQ(CaptureStill(), 1);
    EXPECT_FALSE(Exists("c:\\shot002.bmp"));
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\shot003.bmp");
    EXPECT_EQ(CaptureOptions.nameCounter, 3u);
    ASSERT_TRUE(OpenClipboard(VideoWindow.Window));
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 704);
    EXPECT_EQ(info.bmHeight, 480);
    // Read back as a 24-bit bottom-up DIB, it is the same test card.
    std::vector<uint8_t> dib(54 + 704 * 480 * 3);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 704;
    bi.bmiHeader.biHeight = 480;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 480, dib.data() + 54, &bi, DIB_RGB_COLORS), 480);
    ReleaseDC(nullptr, dc);
    CloseClipboard();
    ExpectColourBars(dib, 704, 480);
    EXPECT_TRUE(Messages().empty());

    // Not in Capture Mode, F5 does nothing.
    Command(ID_LIVE_VIDEO_MODE);
    CaptureOptions.toClipboard = false;
    Command(ID_CAPTURE_FRAME);
    EXPECT_FALSE(Exists("c:\\shot003.bmp"));
  });
}

HBITMAP WINAPI FailingCreateDIBitmap(HDC, const BITMAPINFOHEADER*, DWORD, const void*,
                                     const BITMAPINFO*, UINT) {
  return nullptr;
}
HANDLE WINAPI FailingSetClipboardData(UINT, HANDLE) {
  return nullptr;
}

TEST_F(CaptureTest, AStillTheClipboardDidNotTakeIsAFailure) {
  Run([](SimBoard&) {
    CaptureOptions.toClipboard = true;
    CaptureOptions.numberedNames = true;
    std::strcpy(CaptureOptions.stillFileName, "c:\\clip001.bmp");
    for (const bool bitmapFails : {true, false}) {
      SCOPED_TRACE(bitmapFails ? "no bitmap" : "clipboard refuses it");
      Messages().clear();
      ImportPatch patch(bitmapFails ? "gdi32.dll" : "user32.dll",
                        bitmapFails ? "CreateDIBitmap" : "SetClipboardData",
                        bitmapFails ? reinterpret_cast<void*>(&FailingCreateDIBitmap)
                                    : reinterpret_cast<void*>(&FailingSetClipboardData));
      ASSERT_TRUE(patch.Patched());
      EXPECT_EQ(CaptureStill(), 0);
      ASSERT_EQ(Messages().size(), 1u);
      EXPECT_EQ(Messages()[0].text, "Unable to copy the picture to clipboard.");
      EXPECT_EQ(Messages()[0].style, 0x40010u);
      EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\clip001.bmp");
      EXPECT_EQ(CaptureOptions.nameCounter, 1u);
    }
    // Unpatched, the same capture succeeds and the name moves on.
    Messages().clear();
    EXPECT_EQ(CaptureStill(), 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\clip002.bmp");
  });
}

TEST_F(CaptureTest, StillFailuresAreShownAndLeaveNothingBehind) {
  Run([](SimBoard& board) {
    CaptureOptions.numberedNames = true;
    std::strcpy(CaptureOptions.stillFileName, "c:\\fail001.bmp");
    DeleteFileA(CaptureOptions.stillFileName);
    auto expectUnchanged = [] {
      EXPECT_STREQ(CaptureOptions.stillFileName, "c:\\fail001.bmp");
      EXPECT_EQ(CaptureOptions.nameCounter, 1u);
      EXPECT_FALSE(Exists("c:\\fail001.bmp"));
    };

    // The field bit never moves.
    UseDriver(&kFrozenDriver);
    EXPECT_EQ(CaptureStill(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Fail to wait for VSYNC.");
    EXPECT_EQ(Messages()[0].caption, "Corvan Telvista");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    expectUnchanged();
    UseDriver(&kSimulatedBoardDriver);
    EXPECT_EQ(BoardDriver.DriverStatusBlock, board.Engine().DriverStatusBlock());

    // The overlay surface is held by someone else; an earlier picture of that name stays.
    Messages().clear();
    WriteEarlierFile("c:\\fail001.bmp");
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(Display.OverlaySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(CaptureStill(), 0);
    Display.OverlaySurface->Unlock(nullptr);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to lock overlay surface.");
    EXPECT_EQ(Messages()[0].style, 0x40000u);
    EXPECT_EQ(Contents("c:\\fail001.bmp"), "earlier capture");
    DeleteFileA("c:\\fail001.bmp");
    expectUnchanged();

    // No such drive.
    Messages().clear();
    std::strcpy(CaptureOptions.stillFileName, "q:\\nowhere\\fail001.bmp");
    EXPECT_EQ(CaptureStill(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to create file.\n(q:\\nowhere\\fail001.bmp)");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_STREQ(CaptureOptions.stillFileName, "q:\\nowhere\\fail001.bmp");
    EXPECT_EQ(CaptureOptions.nameCounter, 1u);
  });
}

TEST_F(CaptureTest, StillOnAFullDiskIsDeletedAndReported) {
  const std::string dir = SmallDirectory();
  if (dir.empty()) GTEST_SKIP() << "CAPTURE_SMALL_DIR not set";
  Run(
      [&](SimBoard&) {
        const std::string name = dir + "big001.bmp";
        WriteEarlierFile(name);
        CaptureOptions.numberedNames = true;
        CaptureOptions.sizeFactor = 5;  // 7.6 MB: more than the small disk holds
        std::strcpy(CaptureOptions.stillFileName, name.c_str());
        EXPECT_EQ(CaptureStill(), 0);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].text, "Unable to write file.\n(" + name + ")");
        EXPECT_EQ(Messages()[0].style, 0x40010u);
        EXPECT_EQ(Contents(name), "earlier capture");
        EXPECT_EQ(TemporaryFilesIn(dir), 0);
        EXPECT_EQ(CaptureOptions.stillFileName, name);
        EXPECT_EQ(CaptureOptions.nameCounter, 1u);

        // A picture that fits is written as usual.
        Messages().clear();
        CaptureOptions.sizeFactor = 1;
        EXPECT_EQ(CaptureStill(), 1);
        EXPECT_EQ(ReadFile(name).size(), 304'182u);
        EXPECT_TRUE(Messages().empty());
        DeleteFileA(name.c_str());
      },
      kPal);
}

// ---------------------------------------------------------------------------
// AVI files

struct AviFacts {
  uint32_t size = 0, microSecPerFrame = 0, frames = 0, width = 0, height = 0, scale = 0, rate = 0,
           compression = 0, bitCount = 0;
};

AviFacts ReadAvi(const char* name) {
  const auto b = ReadFile(name);
  AviFacts f;
  if (b.size() < 224) return f;
  f.size = static_cast<uint32_t>(b.size());
  f.microSecPerFrame = U32(b, 32);
  f.frames = U32(b, 48);
  f.width = U32(b, 64);
  f.height = U32(b, 68);
  f.scale = U32(b, 128);
  f.rate = U32(b, 132);
  f.bitCount = b[186] | b[187] << 8;
  f.compression = U32(b, 188);
  return f;
}

TEST_F(CaptureTest, VideoCaptureRecordsEveryField) {
  for (const int format : {0, 1}) {
    SCOPED_TRACE(format);
    Run([&](SimBoard& board) {
      HWND panel = CreateStandInPanel();
      Panels.MainPanel = panel;
      CaptureOptions.aviFormat = format;
      std::strcpy(CaptureOptions.aviFileName, format ? "c:\\video_yvu9.avi" : "c:\\video_rgb.avi");

      bool minimisedDuringCapture = false;
      uint64_t renderedAtKey = 0;
      // Short, as a short capture shows a wrongly stored rate most plainly.
      std::thread key([&] {
        Sleep(700);
        minimisedDuringCapture = IsIconic(panel) != FALSE;
        renderedAtKey = board.Engine().Stats().rendered;
        PostMessageA(VideoWindow.Window, WM_KEYDOWN, 'A', 0);
      });
      const auto statsBefore = board.Engine().Stats();
      const DWORD before = GetTickCount();
      // F7 in Capture Mode.
      Command(ID_CAPTURE_VIDEO);
      const DWORD took = GetTickCount() - before;
      const auto statsAfter = board.Engine().Stats();
      const uint64_t fields = statsAfter.rendered - statsBefore.rendered;
      key.join();
      EXPECT_TRUE(minimisedDuringCapture);
      EXPECT_FALSE(IsIconic(panel));
      EXPECT_GT(took, 600u);

      const AviFacts avi = ReadAvi(CaptureOptions.aviFileName);
      ASSERT_GT(avi.frames, 0u);
      EXPECT_EQ(avi.width, 352u);
      EXPECT_EQ(avi.height, 240u);
      EXPECT_EQ(avi.rate, avi.frames * 1000);
      const uint32_t s = format ? 352 * 240 * 9 / 8 : 352 * 240 * 3;
      EXPECT_EQ(avi.size, 224 + avi.frames * (s + 8) + 8 + 16 * avi.frames);
      EXPECT_EQ(avi.compression, format ? kFourccYvu9 : 0u);
      // One picture per field: never a field twice, and a busy machine makes the capture
      // miss at most half of the fields delivered. The stored rate is the one the
      // pictures were taken at: at most the field rate (a missed field lowers it).
      const uint64_t fieldsToKey = renderedAtKey - statsBefore.rendered;
      const double seconds = avi.scale / 1000.0;
      std::printf(
          "report: video capture, format %d: %u frames in %.3f s (%.3f frames/s), %llu fields "
          "delivered until the key\n",
          format, avi.frames, seconds, avi.frames / seconds,
          static_cast<unsigned long long>(fieldsToKey));
      EXPECT_LE(avi.frames, fields + 1);
      EXPECT_GE(avi.frames * 2, fieldsToKey);
      EXPECT_LE(avi.frames / seconds, 60000.0 / 1001.0 * 1.1);

      ASSERT_EQ(Messages().size(), 1u);
      char summary[96];
      std::snprintf(summary, sizeof summary, "Captured %d frames, %.3f seconds.",
                    static_cast<int>(avi.frames), avi.scale / 1000.0);
      EXPECT_EQ(Messages()[0].text, summary);
      EXPECT_EQ(Messages()[0].style, 0x40040u);
      EXPECT_FALSE(Exists(kRawCaptureFileName));
      EXPECT_EQ(g_panelMessages.size(), 1u);
      EXPECT_EQ(CaptureDialogs.ProgressDialog, nullptr);
    });
  }
}

TEST_F(CaptureTest, VideoCaptureEndedAtOnceOrAbandoned) {
  Run([](SimBoard&) {
    Panels.MainPanel = CreateStandInPanel();
    std::strcpy(CaptureOptions.aviFileName, "c:\\video_none.avi");
    WriteEarlierFile(CaptureOptions.aviFileName);

    // A key already waiting: nothing captured, nothing converted, nothing announced, and
    // the earlier file of that name is kept, as by every capture below that fails.
    PostMessageA(VideoWindow.Window, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(CaptureVideo(), 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(Exists(kRawCaptureFileName));
    EXPECT_TRUE(g_panelMessages.empty());
    EXPECT_FALSE(IsIconic(Panels.MainPanel));

    // The field bit stops: abandoned, nothing left, and the panel stays down.
    UseDriver(&kFrozenDriver);
    EXPECT_EQ(CaptureVideo(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Fail to wait for VSYNC.");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_FALSE(Exists(kRawCaptureFileName));
    EXPECT_TRUE(IsIconic(Panels.MainPanel));
    EXPECT_EQ(CaptureDialogs.Notice, nullptr);
    UseDriver(nullptr);

    // The surface is held elsewhere.
    Messages().clear();
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(Display.OverlaySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(CaptureVideo(), 0);
    Display.OverlaySurface->Unlock(nullptr);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to lock overlay surface.");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_FALSE(Exists(kRawCaptureFileName));

    // An image format the conversion does not know.
    Messages().clear();
    CaptureOptions.aviFormat = 2;
    std::thread key([] {
      Sleep(300);
      PostMessageA(VideoWindow.Window, WM_KEYDOWN, 'A', 0);
    });
    EXPECT_EQ(CaptureVideo(), 1);
    key.join();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unsupported image format.");
    EXPECT_FALSE(Exists(kRawCaptureFileName));
    EXPECT_TRUE(g_panelMessages.empty());
    EXPECT_EQ(Contents(CaptureOptions.aviFileName), "earlier capture");
    EXPECT_EQ(TemporaryFilesIn("c:\\"), 0);
    DeleteFileA(CaptureOptions.aviFileName);
  });
}

// ---------------------------------------------------------------------------
// Frame sequences

TEST_F(CaptureTest, FrameSequenceOfSevenPictures) {
  Run(
      [](SimBoard&) {
        HWND panel = CreateStandInPanel();
        Panels.MainPanel = panel;
        std::strcpy(CaptureOptions.aviFileName, "c:\\frames7.avi");
        bool minimised = false;
        LONG_PTR style = 0;
        RunFramesDialog([&](HWND dialog) {
          minimised = IsIconic(panel) != FALSE;
          style = GetWindowLongPtrA(dialog, GWL_STYLE);
          EXPECT_EQ(ShownCount(dialog), 0);
          for (int i = 1; i <= 7; ++i) {
            Press(dialog, IDC_CAPTURE);
            EXPECT_EQ(ShownCount(dialog), i);
            // One capture at a time: the other capture commands do nothing meanwhile.
            if (i == 3) {
              EXPECT_TRUE(CaptureInProgress());
              Command(ID_CAPTURE_VIDEO);
              Command(ID_FRAMES_KEY);
              Command(ID_CAPTURE_FRAME);
              EXPECT_TRUE(Messages().empty());
              EXPECT_EQ(ShownCount(dialog), 3);
              EXPECT_TRUE(IsWindow(dialog));
            }
          }
          EXPECT_TRUE(Exists(kRawCaptureFileName));
          Press(dialog, IDC_DONE);
        });
        EXPECT_TRUE(minimised);
        EXPECT_FALSE(CaptureInProgress());
        EXPECT_FALSE(style & WS_SYSMENU);  // no close box
        EXPECT_FALSE(IsIconic(panel));
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(g_panelMessages.size(), 1u);
        EXPECT_FALSE(Exists(kRawCaptureFileName));

        const AviFacts avi = ReadAvi(CaptureOptions.aviFileName);
        EXPECT_EQ(avi.frames, 7u);
        EXPECT_EQ(avi.scale, 233u);
        EXPECT_EQ(avi.rate, 7000u);
        EXPECT_EQ(avi.microSecPerFrame, 33'285u);
        EXPECT_EQ(avi.height, 288u);
        EXPECT_EQ(avi.size, 224 + 7 * (352 * 288 * 3 + 8) + 8 + 16 * 7u);

        // Done at once: nothing converted or announced, the raw file still goes and the
        // earlier file of that name stays.
        g_panelMessages.clear();
        std::strcpy(CaptureOptions.aviFileName, "c:\\frames0.avi");
        WriteEarlierFile(CaptureOptions.aviFileName);
        RunFramesDialog([](HWND dialog) { Press(dialog, IDC_DONE); });
        EXPECT_FALSE(Exists(kRawCaptureFileName));
        EXPECT_EQ(Contents(CaptureOptions.aviFileName), "earlier capture");
        DeleteFileA(CaptureOptions.aviFileName);
        EXPECT_TRUE(g_panelMessages.empty());
        EXPECT_FALSE(IsIconic(panel));
      },
      kPal);
}

TEST_F(CaptureTest, FrameSequenceStopsAtTheLimitAndAtAFailedWrite) {
  Run([](SimBoard&) {
    std::strcpy(CaptureOptions.aviFileName, "c:\\frames_limit.avi");

    // The limit as free space would set it: the third Capture is refused, once; Capture
    // is greyed and a key held on it says nothing more.
    RunFramesDialog([](HWND dialog) {
      EXPECT_NE(SequenceCapture.FrameLimit, 0u);
      SequenceCapture.FrameLimit = 2;
      for (int i = 0; i < 3; ++i) Press(dialog, IDC_CAPTURE);
      EXPECT_EQ(ShownCount(dialog), 2);
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CAPTURE)));
      MSG enter = {};
      enter.hwnd = dialog;
      enter.message = WM_KEYDOWN;
      enter.wParam = VK_RETURN;
      for (int i = 0; i < 3; ++i) IsDialogMessageA(dialog, &enter);
      Press(dialog, IDC_DONE);
    });
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "You don't have sufficient disk space to capture frames.");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_EQ(ReadAvi(CaptureOptions.aviFileName).frames, 2u);

    // The raw file stops taking pictures after three: the capture ends there as at the
    // limit, and the three are converted.
    Messages().clear();
    RunFramesDialog([](HWND dialog) {
      for (int i = 0; i < 3; ++i) Press(dialog, IDC_CAPTURE);
      CloseHandle(SequenceCapture.RawFile);
      SequenceCapture.RawFile =
          CreateFileA(kRawCaptureFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      Press(dialog, IDC_CAPTURE);  // the write fails
      Press(dialog, IDC_CAPTURE);  // refused like the limit
      EXPECT_EQ(ShownCount(dialog), 3);
      Press(dialog, IDC_DONE);
    });
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "You don't have sufficient disk space to capture frames.");
    EXPECT_EQ(ReadAvi(CaptureOptions.aviFileName).frames, 3u);
    EXPECT_FALSE(Exists(kRawCaptureFileName));

    // Failures of a Capture leave the dialog open for another try.
    Messages().clear();
    RunFramesDialog([](HWND dialog) {
      UseDriver(&kFrozenDriver);
      Press(dialog, IDC_CAPTURE);
      UseDriver(nullptr);
      DDSURFACEDESC desc = {};
      desc.dwSize = sizeof desc;
      Display.OverlaySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
      Press(dialog, IDC_CAPTURE);
      Display.OverlaySurface->Unlock(nullptr);
      Press(dialog, IDC_CAPTURE);
      EXPECT_EQ(ShownCount(dialog), 1);
      CaptureOptions.aviFormat = 7;
      Press(dialog, IDC_DONE);
    });
    // Nothing was written: the earlier clip of that name stays, and the main panel is not
    // told of a capture.
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_EQ(Messages()[0].text, "Fail to wait for VSYNC for capture frames.");
    EXPECT_EQ(Messages()[1].text, "Unable to lock overlay surface for capture frames.");
    EXPECT_EQ(Messages()[2].text, "Unsupported image format for capture frames.");
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Messages()[i].style, 0x40010u);
    EXPECT_FALSE(Exists(kRawCaptureFileName));
    EXPECT_EQ(ReadAvi(CaptureOptions.aviFileName).frames, 3u);
  });
}

// Rows of a bottom-up BGR picture in which most pixels are green: zero UYVY, rows that
// were never video. No row of the test card is more than an eighth green.
std::vector<int> GreenRows(const uint8_t* bgr, int width, int height) {
  std::vector<int> rows;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bgr + static_cast<size_t>(height - 1 - y) * width * 3;
    int green = 0;
    for (int x = 0; x < width; ++x) {
      const int b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
      green += g > r + 40 && g > b + 40;
    }
    if (2 * green > width) rows.push_back(y);
  }
  return rows;
}

TEST_F(CaptureTest, EveryRowOfEveryCaptureIsVideo) {
  for (const int standard : {0, kPal}) {
    Run(
        [&](SimBoard&) {
          const int width = 352, height = standard == 0 ? 240 : 288;
          for (const int factor : {1, 3}) {
            SCOPED_TRACE(testing::Message() << height << " rows, still factor " << factor);
            CaptureOptions.sizeFactor = factor;
            std::strcpy(CaptureOptions.stillFileName, "c:\\rows.bmp");
            ASSERT_EQ(CaptureStill(), 1);
            const auto bmp = ReadFile(CaptureOptions.stillFileName);
            ASSERT_EQ(bmp.size(), 54u + width * factor * height * factor * 3);
            EXPECT_EQ(GreenRows(bmp.data() + 54, width * factor, height * factor),
                      std::vector<int>{});
          }
          for (const int format : {0, 1}) {
            SCOPED_TRACE(testing::Message() << height << " rows, AVI format " << format);
            CaptureOptions.aviFormat = format;
            std::strcpy(CaptureOptions.aviFileName, "c:\\rows.avi");
            RunFramesDialog([](HWND dialog) {
              Press(dialog, IDC_CAPTURE);
              Press(dialog, IDC_DONE);
            });
            const auto avi = ReadFile(CaptureOptions.aviFileName);
            const size_t frame = 224 + 8;  // the first frame's chunk data
            const size_t bytes = AviFrameBytes(static_cast<AviImageFormat>(format), width, height);
            ASSERT_GE(avi.size(), frame + bytes);
            const uint8_t* data = avi.data() + frame;
            if (format == 0) {
              EXPECT_EQ(GreenRows(data, width, height), std::vector<int>{});
              continue;
            }
            // YVU9: no luma row is black below studio black, and the chroma of the grey
            // bottom rows is grey, not pulled towards green.
            std::vector<int> dark;
            for (int y = 0; y < height; ++y) {
              const uint8_t* row = data + static_cast<size_t>(y) * width;
              if (*std::max_element(row, row + width) < 8) dark.push_back(y);
            }
            EXPECT_EQ(dark, std::vector<int>{});
            const int cw = width / 4, ch = height / 4;
            for (int plane = 0; plane < 2; ++plane) {
              const uint8_t* last = data + width * height + plane * cw * ch + (ch - 1) * cw;
              for (int x = 0; x < cw; ++x) {
                EXPECT_NEAR(last[x], 128, 8) << "plane " << plane << " column " << x;
                if (std::abs(last[x] - 128) > 8) break;
              }
            }
          }
          EXPECT_TRUE(Messages().empty());
        },
        standard);
  }
}

TEST_F(CaptureTest, ATargetThatCannotBeWrittenIsRefusedBeforeRecording) {
  Run([](SimBoard&) {
    HWND panel = CreateStandInPanel();
    Panels.MainPanel = panel;
    CreateDirectoryA("c:\\a_folder.avi", nullptr);
    for (const char* name : {"q:\\nowhere\\video.avi", "c:\\a_folder.avi"}) {
      SCOPED_TRACE(name);
      std::strcpy(CaptureOptions.aviFileName, name);
      const std::string told = std::string("Unable to create file.\n(") + name + ")";

      // Video: one message, before anything is recorded or minimised.
      Messages().clear();
      PostMessageA(VideoWindow.Window, WM_KEYDOWN, 'A', 0);  // would end a capture at once
      EXPECT_EQ(CaptureVideo(), 0);
      MSG key;
      EXPECT_TRUE(PeekMessageA(&key, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
      ASSERT_EQ(Messages().size(), 1u);
      EXPECT_EQ(Messages()[0].text, told);
      EXPECT_EQ(Messages()[0].style, 0x40010u);
      EXPECT_FALSE(IsIconic(panel));

      // Frames: the same message, and the dialog never opens.
      Messages().clear();
      bool opened = false;
      RunFramesDialog([&](HWND dialog) {
        opened = true;
        Press(dialog, IDC_DONE);
      });
      Pump(100);
      DropFramesDialogScript();
      EXPECT_FALSE(opened);
      ASSERT_EQ(Messages().size(), 1u);
      EXPECT_EQ(Messages()[0].text, told);
      EXPECT_FALSE(Exists(kRawCaptureFileName));
      EXPECT_TRUE(g_panelMessages.empty());
      EXPECT_FALSE(CaptureInProgress());
    }
    RemoveDirectoryA("c:\\a_folder.avi");
  });
}

TEST_F(CaptureTest, FrameLimitMeasuresTheDriveTheAviGoesTo) {
  const std::string dir = SmallDirectory();
  if (dir.empty()) GTEST_SKIP() << "CAPTURE_SMALL_DIR not set";
  Run([&](SimBoard&) {
    const std::string name = dir + "limited.avi";
    std::strcpy(CaptureOptions.aviFileName, name.c_str());
    ULARGE_INTEGER small = {}, raw = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.c_str(), &small, nullptr, nullptr));
    ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &raw, nullptr, nullptr));
    CaptureDriveSpace space;
    space.RawDrive = raw.QuadPart;
    space.AviDrive = small.QuadPart;
    space.SameDrive = false;
    const uint32_t limit = ComputeFrameLimit(0, 352, 240, space);
    ASSERT_GT(limit, 0u);
    ASSERT_LT(limit, 40u);  // a few megabytes

    RunFramesDialog([&](HWND dialog) {
      EXPECT_EQ(SequenceCapture.FrameLimit, limit);
      for (uint32_t i = 0; i <= limit; ++i) Press(dialog, IDC_CAPTURE);
      EXPECT_EQ(ShownCount(dialog), static_cast<int>(limit));
      Press(dialog, IDC_DONE);
    });
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "You don't have sufficient disk space to capture frames.");
    // Every picture the limit let through fits in the finished file.
    EXPECT_EQ(ReadAvi(name.c_str()).frames, limit);
    CloseVideo(VideoWindow.Window);  // the main panel opened the new clip
    DeleteFileA(name.c_str());

    // Video that no key ends stops at the limit, and its summary says why.
    Messages().clear();
    EXPECT_EQ(CaptureVideo(), 1);
    EXPECT_EQ(ReadAvi(name.c_str()).frames, limit);
    ASSERT_EQ(Messages().size(), 1u);
    const std::string& summary = Messages()[0].text;
    EXPECT_EQ(summary.rfind("Captured " + std::to_string(limit) + " frames, ", 0), 0u) << summary;
    EXPECT_NE(summary.find("seconds.\n\nThe capture ended because the disk is nearly full."),
              std::string::npos)
        << summary;
    CloseVideo(VideoWindow.Window);
    DeleteFileA(name.c_str());
  });
}

// ---------------------------------------------------------------------------
// The conversion's own failures

// A raw capture file of `frames` pictures of 352 x 240.
void WriteRawFile(uint32_t frames) {
  FILE* f = std::fopen(kRawCaptureFileName, "wb");
  ASSERT_NE(f, nullptr);
  const auto header = BuildAviHeader(RawCaptureHeaderValues(352, 240));
  std::fwrite(header.data(), 1, header.size(), f);
  std::vector<uint8_t> picture(352 * 240 * 2, 0x80);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto head = BuildFrameChunkHead(static_cast<uint32_t>(picture.size()));
    std::fwrite(head.data(), 1, head.size(), f);
    std::fwrite(picture.data(), 1, picture.size(), f);
  }
  std::fclose(f);
}

TEST_F(CaptureTest, ConversionFailuresLeaveNoAvi) {
  Run([](SimBoard&) {
    const RawCaptureShape shape{3, 352, 240};
    std::strcpy(CaptureOptions.aviFileName, "c:\\converted.avi");
    DeleteFileA(CaptureOptions.aviFileName);

    EXPECT_EQ(ConvertRawToAvi(0, shape, 100), 0);  // no raw file
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to open file.\n(c:\\temp.avi)");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_FALSE(Exists(CaptureOptions.aviFileName));

    Messages().clear();
    WriteRawFile(3);
    std::strcpy(CaptureOptions.aviFileName, "q:\\nowhere\\converted.avi");
    EXPECT_EQ(ConvertRawToAvi(0, shape, 100), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to create file.\n(q:\\nowhere\\converted.avi)");
    EXPECT_EQ(Messages()[0].style, 0x40010u);
    EXPECT_TRUE(Exists(kRawCaptureFileName));  // the caller's to delete

    // With its progress dialog up, as the captures run it.
    Messages().clear();
    std::strcpy(CaptureOptions.aviFileName, "c:\\converted.avi");
    ShowConversionProgress(3);
    ASSERT_NE(CaptureDialogs.ProgressDialog, nullptr);
    HWND bar = GetDlgItem(CaptureDialogs.ProgressDialog, IDC_CONVERSION_BAR);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 3);
    EXPECT_EQ(ConvertRawToAvi(1, shape, 100), 1);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
    CloseConversionProgress();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ReadAvi(CaptureOptions.aviFileName).frames, 3u);
    DeleteFileA(kRawCaptureFileName);
  });
}

TEST_F(CaptureTest, ConversionOntoAFullDiskLeavesNoAvi) {
  const std::string dir = SmallDirectory();
  if (dir.empty()) GTEST_SKIP() << "CAPTURE_SMALL_DIR not set";
  Run([&](SimBoard&) {
    const std::string name = dir + "toobig.avi";
    std::strcpy(CaptureOptions.aviFileName, name.c_str());
    WriteEarlierFile(name);
    WriteRawFile(40);  // 10 MB of RGB frames: more than the small disk holds
    EXPECT_EQ(ConvertRawToAvi(0, {40, 352, 240}, 1000), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "Unable to write file.\n(" + name + ")");
    EXPECT_EQ(Messages()[0].style, 0x40000u);
    EXPECT_EQ(Contents(name), "earlier capture");
    EXPECT_EQ(TemporaryFilesIn(dir), 0);
    DeleteFileA(name.c_str());
    EXPECT_TRUE(Exists(kRawCaptureFileName));
    DeleteFileA(kRawCaptureFileName);
  });
}

}  // namespace
