// Start-up, message loop and way out of the real program code, on the simulated board.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/Startup.h"
#include "app/VideoWindow.h"
#include "capture/win32/FrameGrab.h"
#include "hw/Decoder.h"
#include "resource.h"
#include "shared/Settings.h"
#include "win32/MessageBox.h"
#include "win32/Recorders.h"

namespace {

using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    trace_ = TempPath("lumetra_startup_trace.txt");
    DeleteFileA(trace_.c_str());
  }
  void TearDown() override {
    ResetProgramState();
    DeleteFileA(trace_.c_str());
  }
  SimScenario Traced(SimScenario scenario = {}) {
    scenario.busTrace = trace_;
    return scenario;
  }
  // Trace lines without their timestamps.
  std::vector<std::string> Trace() {
    std::vector<std::string> bodies;
    for (const auto& line : ReadLines(trace_)) bodies.push_back(line.substr(line.find(' ') + 1));
    return bodies;
  }
  // The texts of the messages shown, so that an unexpected one says what it was.
  static std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : RecordedMessages()) texts.push_back(m.text);
    return texts;
  }
  static size_t CountStatusReads(const std::vector<std::string>& trace) {
    return std::count_if(trace.begin(), trace.end(), [](const std::string& line) {
      return line.rfind("S 48+ 1F+ Sr 49+ r", 0) == 0;
    });
  }

  std::string trace_;
};

TEST_F(StartupTest, MissingDecoderStopsAfterFiveProbesWithOneMessage) {
  SimScenario scenario = Traced();
  scenario.decoderPresent = false;
  {
    TestBoard board(scenario);
    EXPECT_EQ(RunProgram(), 0);
  }
  ASSERT_EQ(RecordedMessages().size(), 1u);
  const RecordedMessage& m = RecordedMessages()[0];
  EXPECT_EQ(m.text,
            "Your display card doesn't have a SAA7111A EVIP.\nA SAA7111A EVIP is required for "
            "this application to run.");
  EXPECT_EQ(m.caption, "Corvan Telvista");
  EXPECT_EQ(m.style, 0x40010u);
  EXPECT_EQ(m.owner, nullptr);
  EXPECT_EQ(VideoWindow.Window, nullptr);
  EXPECT_EQ(Startup.LogoWindow, nullptr);
  EXPECT_EQ(Trace(), std::vector<std::string>(5, "S 48-")) << "nothing but the five probes";
}

TEST_F(StartupTest, DecoderAnsweringOnTheFifthProbeLetsStartUpGoOn) {
  SimScenario scenario = Traced();
  scenario.decoderDeafAddressings = 4;
  {
    TestBoard board(scenario);
    EXPECT_EQ(RunProgram(), 0);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
  const auto trace = Trace();
  ASSERT_GE(trace.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 5),
            (std::vector<std::string>{"S 48-", "S 48-", "S 48-", "S 48-", "S 48+ P"}));
  EXPECT_EQ(trace[5], "S 48+ 01+ 00+ P") << "initialisation follows the probe";
}

TEST_F(StartupTest, SecondInstanceIsRefusedAfterTheProbeAlone) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kVideoWindowClass;
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND first = CreateWindowExA(0, kVideoWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
  ASSERT_NE(first, nullptr);
  {
    TestBoard board(Traced());
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_TRUE(board.Board().Decoder().WriteLog().empty());
  }
  DestroyWindow(first);
  UnregisterClassA(kVideoWindowClass, wc.hInstance);

  ASSERT_EQ(RecordedMessages().size(), 1u);
  EXPECT_EQ(RecordedMessages()[0].text,
            "Another Lumetra is running.\nYou cannot run two Lumetra simultaneously.");
  EXPECT_EQ(RecordedMessages()[0].style, 0x40010u);
  EXPECT_EQ(Trace(), std::vector<std::string>{"S 48+ P"});
}

TEST_F(StartupTest, DirectXVersionStrings) {
  struct Case {
    const char* version;
    bool passes;
  };
  const Case cases[] = {
      {"4.05.00.0616", true},
      {"4.04.00.0068", false},
      {"4.06.02.0436", true},
      {"4.09.00.0904", true},
      {"4.05", true},
      {"4.0", false},
      {"", false},
      {"4.x5.00", false},
      {"10.0", false},
      {nullptr, false},
  };
  for (const Case& c : cases) {
    ScopedDirectXVersion version(c.version);
    EXPECT_EQ(CheckDirectXVersion(), c.passes) << (c.version ? c.version : "(missing)");
  }
}

TEST_F(StartupTest, OldDirectXIsRefusedBeforeAnyDecoderWrite) {
  ScopedDirectXVersion version("4.04.00.0068");
  TestBoard board;
  EXPECT_EQ(RunProgram(), 0);
  ASSERT_EQ(RecordedMessages().size(), 1u);
  EXPECT_EQ(RecordedMessages()[0].text,
            "Please install DirectX 5 or higher version before running this application.");
  EXPECT_EQ(RecordedMessages()[0].style, 0x40010u);
  EXPECT_TRUE(board.Board().Decoder().WriteLog().empty());
  EXPECT_EQ(VideoWindow.Window, nullptr);
}

TEST_F(StartupTest, DetectedSignalRunsTheLoopAndSwitchesOutputOffLast) {
  HWND seenWindow = nullptr;
  DWORD seenStyle = 0;
  RECT seenClient = {};
  char seenTitle[64] = {};
  bool logoHidden = false;
  Writes writes;
  {
    TestBoard board(Traced());
    EXPECT_EQ(RunProgram([&] {
                seenWindow = FindWindowA("QUENDALUMETRA", nullptr);
                seenStyle = static_cast<DWORD>(GetWindowLongA(seenWindow, GWL_STYLE));
                GetClientRect(seenWindow, &seenClient);
                GetWindowTextA(seenWindow, seenTitle, sizeof seenTitle);
                logoHidden = !IsWindowVisible(Startup.LogoWindow);
                SendMessageA(seenWindow, WM_COMMAND, ID_EXIT, 0);
              }),
              0);
    writes = board.Board().Decoder().WriteLog();
    EXPECT_FALSE(board.Board().Decoder().OutputEnabled());
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
  ASSERT_NE(seenWindow, nullptr);
  EXPECT_EQ(seenWindow, VideoWindow.Window);
  EXPECT_STREQ(seenTitle, "Corvan Telvista");
  EXPECT_EQ(seenStyle & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0x80040008u);
  EXPECT_EQ(seenClient.right, 352);
  EXPECT_EQ(seenClient.bottom, 240);
  EXPECT_TRUE(logoHidden);
  EXPECT_TRUE(Startup.DetectionSucceeded);
  EXPECT_EQ(Settings.VideoStandard, 0);
  EXPECT_EQ(Settings.VideoConnector, 1002);

  // Initial table, the accepted first trial, the stored picture settings, output off.
  Writes expected;
  for (const auto& e : kDecoderInitTable) expected.emplace_back(e.reg, e.value);
  Writes tail = {{0x08, 0x48}, {0x09, 0x10}, {0x0E, 0x01}, {0x02, 0xD3}, {0x0A, 0x80},
                 {0x0B, 0x48}, {0x0C, 0x40}, {0x0D, 0x00}, {0x11, 0x84}};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(writes, expected);

  const auto trace = Trace();
  EXPECT_EQ(CountStatusReads(trace), 1u);
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), "S 48+ 11+ 84+ P");
}

TEST_F(StartupTest, PalSourceSettlesOnStandardThreeAfterFiveReadsEach) {
  SimScenario scenario = Traced();
  scenario.compositeStandard = kPalBghi;
  {
    TestBoard board(scenario);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(board.Board().Decoder().Register(0x08), 0x08);
  }
  EXPECT_EQ(Settings.VideoStandard, 3);
  EXPECT_EQ(Settings.VideoConnector, 1002);
  EXPECT_EQ(CountStatusReads(Trace()), 11u);
}

TEST_F(StartupTest, NoSignalFallsBackToTheStoredStandardOnComposite) {
  SimScenario scenario = Traced();
  scenario.compositeStandard = kNoSource;
  Writes writes;
  {
    TestBoard board(scenario);
    EXPECT_EQ(RunProgram(), 0);
    writes = board.Board().Decoder().WriteLog();
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{});
  EXPECT_FALSE(Startup.DetectionSucceeded);
  EXPECT_EQ(CountStatusReads(Trace()), 28u) << "two full detections";
  EXPECT_EQ(Settings.VideoStandard, 0);
  EXPECT_EQ(Settings.VideoConnector, 1002);
  // After the second detection's table: the stored standard, the pictures, composite again.
  const Writes tail = {{0x08, 0x48}, {0x09, 0x10}, {0x0E, 0x01}, {0x0A, 0x80}, {0x0B, 0x48},
                       {0x0C, 0x40}, {0x0D, 0x00}, {0x02, 0xD3}, {0x11, 0x84}};
  ASSERT_GE(writes.size(), tail.size());
  EXPECT_EQ(Writes(writes.end() - tail.size(), writes.end()), tail);
}

TEST_F(StartupTest, RestoreAfterFailedDetectionKeepsOnlyCameraInputs) {
  struct Case {
    int32_t stored;
    int32_t after;
    uint8_t inputRegister;
  };
  for (const Case& c : {Case{1001, 1001, 0xD4}, Case{1002, 1002, 0xD3}, Case{1003, 1002, 0xD3},
                        Case{7, 1002, 0xD3}}) {
    TestBoard board;
    Settings = DefaultSettings();
    Settings.VideoConnector = c.stored;
    Settings.Hue = 0;
    RestorePictureAndInput(false);
    EXPECT_EQ(Settings.VideoConnector, c.after);
    const Writes expected = {
        {0x0A, 0x80}, {0x0B, 0x48}, {0x0C, 0x40}, {0x0D, 0x80}, {0x02, c.inputRegister}};
    EXPECT_EQ(board.Board().Decoder().WriteLog(), expected) << c.stored;
  }
  TestBoard board;
  Settings.VideoConnector = 1003;
  RestorePictureAndInput(true);
  EXPECT_EQ(Settings.VideoConnector, 1003) << "a detected input is never re-selected";
  EXPECT_EQ(board.Board().Decoder().WriteLog().size(), 4u);
}

TEST_F(StartupTest, DestroyingTheVideoWindowEndsTheProgram) {
  TestBoard board;
  EXPECT_EQ(RunProgram([] { DestroyWindow(VideoWindow.Window); }), 0);
  EXPECT_FALSE(board.Board().Decoder().OutputEnabled());
}

TEST_F(StartupTest, LogoSizeAndPlacement) {
  struct Case {
    int screenW, screenH, logoW, logoH;
  };
  for (const Case& c : {Case{640, 480, 480, 360}, Case{800, 600, 640, 480},
                        Case{1024, 768, 640, 480}, Case{320, 200, 240, 150}}) {
    const SIZE size = LogoSizeForScreen(c.screenW, c.screenH);
    EXPECT_EQ(size.cx, c.logoW) << c.screenW;
    EXPECT_EQ(size.cy, c.logoH) << c.screenW;
  }
  CreateLogoWindow(GetModuleHandleA(nullptr));
  ASSERT_NE(Startup.LogoWindow, nullptr);
  RECT window, client;
  GetWindowRect(Startup.LogoWindow, &window);
  GetClientRect(Startup.LogoWindow, &client);
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  const SIZE expected = LogoSizeForScreen(screenW, screenH);
  EXPECT_EQ(window.left, (screenW - expected.cx) / 2);
  EXPECT_EQ(window.top, (screenH - expected.cy) / 2);
  EXPECT_EQ(client.right, expected.cx);
  EXPECT_EQ(client.bottom, expected.cy);
  EXPECT_TRUE(GetWindowLongA(Startup.LogoWindow, GWL_EXSTYLE) & WS_EX_TOPMOST);
  char className[32] = {};
  GetClassNameA(Startup.LogoWindow, className, sizeof className);
  EXPECT_STREQ(className, "LOGOCLASS");

  // The painted logo is the bitmap: its centre is not the white class background.
  UpdateWindow(Startup.LogoWindow);
  PaintLogo(Startup.LogoWindow);
  HDC dc = GetDC(Startup.LogoWindow);
  int nonWhite = 0;
  for (int x = 10; x < expected.cx; x += 37) {
    if (GetPixel(dc, x, expected.cy / 2) != RGB(255, 255, 255)) ++nonWhite;
  }
  ReleaseDC(Startup.LogoWindow, dc);
  EXPECT_GT(nonWhite, 5);
}

TEST_F(StartupTest, LogoBitmapHasTheExpectedForm) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(153), MAKEINTRESOURCEA(2));
  ASSERT_NE(found, nullptr);
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
  EXPECT_EQ(header->biSize, 40u);
  EXPECT_EQ(header->biWidth, 640);
  EXPECT_EQ(header->biHeight, 480);
  EXPECT_EQ(header->biBitCount, 8);
  EXPECT_EQ(header->biClrUsed, 236u);
  EXPECT_EQ(SizeofResource(module, found), 40u + 236 * 4 + 640 * 480);
}

TEST_F(StartupTest, ProcessorChecksPickTheMmxCopyOnThisMachine) {
  // Every processor that runs the tests has CPUID and MMX, in 64-bit and in 32-bit code.
  EXPECT_TRUE(CpuidAvailable());
  EXPECT_TRUE(CpuHasMmx());
  SelectFrameCopyRoutine();
  EXPECT_EQ(FrameGrab.FrameCopyRoutine, FrameCopy::Mmx);
}

TEST_F(StartupTest, AcceleratorTableIsExactlyTheKeyCommands) {
  HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(108));
  ASSERT_NE(table, nullptr);
  ACCEL entries[64];
  const int count = CopyAcceleratorTableA(table, entries, 64);
  std::vector<std::tuple<int, int, int>> got;
  for (int i = 0; i < count; ++i) {
    got.emplace_back(entries[i].fVirt & ~FNOINVERT, entries[i].key, entries[i].cmd);
  }
  std::vector<std::tuple<int, int, int>> expected = {
      {FVIRTKEY | FCONTROL, 'S', 40010}, {FVIRTKEY, VK_F5, 40011},
      {FVIRTKEY, VK_F7, 40012},          {FVIRTKEY | FCONTROL, 'V', 40022},
      {FVIRTKEY | FCONTROL, 'C', 40023}, {FVIRTKEY, VK_F6, 40025},
      {FVIRTKEY, VK_ADD, 40026},         {FVIRTKEY, VK_SUBTRACT, 40027},
      {FVIRTKEY, VK_NUMPAD0, 40038},     {FVIRTKEY, VK_RETURN, 40039},
      {FVIRTKEY, VK_ESCAPE, 40057},
  };
  for (int d = 1; d <= 9; ++d) expected.emplace_back(FVIRTKEY, VK_NUMPAD0 + d, 40028 + d);
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  DestroyAcceleratorTable(table);
}

}  // namespace
