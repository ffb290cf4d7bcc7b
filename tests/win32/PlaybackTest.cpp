// Clips in the running program with the platform's real MCI: the player's commands, the
// main panel's transport, trackbar, counter and play mode, a capture's clip loaded into the
// player, clips that cannot be opened, and the YVU9 decompressor against the program's own
// conversion, in-process and as the driver DLL.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <vfw.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/VideoWindow.h"
#include "capture/AviFormat.h"
#include "capture/PixelKernels.h"
#include "capture/Yvu9Decode.h"
#include "capture/win32/StillCapture.h"
#include "playback/RgbCodec.h"
#include "playback/VideoPlayer.h"
#include "playback/Yvu9Codec.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "win32/ModalDriver.h"
#include "win32/Recorders.h"
#include "win32/ViewState.h"
#include "win32/WindowMessages.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct SentCommand {
  MCIDEVICEID Device;
  UINT Command;
  DWORD_PTR Flags;
};
std::vector<SentCommand> g_sent;

void RecordCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags) {
  g_sent.push_back({device, command, flags});
}

int CountSent(UINT command) {
  int n = 0;
  for (const SentCommand& c : g_sent) n += c.Command == command;
  return n;
}

// A UYVY picture of one colour: luma `y`, chroma u, v.
Bytes SolidUyvy(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
  Bytes out(static_cast<size_t>(width) * height * 2);
  for (size_t i = 0; i < out.size(); i += 4) {
    out[i] = u;
    out[i + 1] = y;
    out[i + 2] = v;
    out[i + 3] = y;
  }
  return out;
}

// Frame i of the test clips: luma rising frame by frame, a fixed colour cast.
Bytes ClipPicture(uint32_t i, int width = 352, int height = 240) {
  return SolidUyvy(width, height, static_cast<uint8_t>(30 + (i * 7) % 200), 90, 170);
}

// Writes a clip with the program's own writer and converters, as a capture would.
void WriteClip(const std::string& path, AviImageFormat format, uint32_t frames, uint32_t durationMs,
               int width = 352, int height = 240) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  StdFileSink sink(f);
  const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  ASSERT_TRUE(WriteAviHeader(sink, FinishedAviHeaderValues(format, w, h, frames, durationMs)));
  const uint32_t s = AviFrameBytes(format, w, h);
  const AviFrameConverter convert = CaptureFrameConverter(format, w, h);
  Bytes frame(s);
  for (uint32_t i = 0; i < frames; ++i) {
    convert(ClipPicture(i, width, height).data(), frame.data());
    const auto head = BuildFrameChunkHead(s);
    ASSERT_TRUE(sink.Write(head.data(), head.size()));
    ASSERT_TRUE(sink.Write(frame.data(), frame.size()));
  }
  ASSERT_TRUE(WriteAviIndex(sink, frames, s));
  std::fclose(f);
}

std::string ClipPath(const char* name) {
  return std::string("c:\\") + name;
}

void Click(int x, int y) {
  SendMessageA(MainPanel.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}
void ClickPlay() {
  Click(261, 15);
}
void ClickPause() {
  Click(247, 15);
}
void ClickStop() {
  Click(275, 15);
}

int Lit(int flag) {
  return MainPanelSkin.LitFlags[flag];
}

struct Transport {
  int Play, Pause, Stop;
  bool operator==(const Transport&) const = default;
};
Transport TransportFlags() {
  return {Lit(kLitPlay), Lit(kLitPause), Lit(kLitStop)};
}
void PrintTo(const Transport& t, std::ostream* os) {
  *os << "{play " << t.Play << ", pause " << t.Pause << ", stop " << t.Stop << "}";
}

HWND Trackbar() {
  return GetDlgItem(MainPanel.Window, IDC_POSITION_TRACKBAR);
}
LRESULT TrackbarPosition() {
  return SendMessageA(Trackbar(), TBM_GETPOS, 0, 0);
}

void MoveTrackbar(WORD code, WORD position) {
  SendMessageA(MainPanel.Window, WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(Trackbar()));
}

// Runs the panel's messages until `done` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (!done()) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    Pump(10);
  }
  return true;
}

void LoadCaptured(const std::string& path) {
  std::snprintf(CaptureOptions.aviFileName, sizeof CaptureOptions.aviFileName, "%s", path.c_str());
  SendMessageA(MainPanel.Window, kMsgCapturedVideoReady, 0, 0);
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    Playback = PlaybackState{};
    CaptureOptions = CaptureOptionsData{};
    g_sent.clear();
    SetMciCommandObserver(RecordCommand);
  }
  void TearDown() override {
    SetMciCommandObserver(nullptr);
    if (Playback.videoOpen) CloseVideo(VideoWindow.Window);
    ResetProgramState();
    Playback = PlaybackState{};
  }

  void Run(const std::function<void()>& body) {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
    TestBoard board;
    bool ran = false;
    RunProgram([&] {
      ran = true;
      ASSERT_NE(MainPanel.Window, nullptr);
      RecordedMessages().clear();
      g_sent.clear();
      body();
      if (Playback.videoOpen) CloseVideo(VideoWindow.Window);
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
    });
    ASSERT_TRUE(ran);
  }
};

TEST_F(PlaybackTest, CapturedClipWaitsThenPlaysToItsEndAndStopReturnsToCaptureMode) {
  for (const auto format : {AviImageFormat::Rgb24, AviImageFormat::Yvu9}) {
    SCOPED_TRACE(static_cast<int>(format));
    const std::string path = ClipPath("clip_end.avi");
    WriteClip(path, format, 12, 1200);
    Run([&] {
      Click(63, 48);  // Capture Mode
      ASSERT_EQ(VideoWindow.ViewMode, kCaptureMode);
      const std::vector<int> captureFlags(MainPanelSkin.LitFlags.begin(),
                                          MainPanelSkin.LitFlags.begin() + kModeFlagCount);
      EXPECT_FALSE(IsWindowEnabled(Trackbar()));
      LoadCaptured(path);
      ASSERT_TRUE(RecordedMessages().empty()) << RecordedMessages()[0].text;
      ASSERT_EQ(Playback.videoOpen, 1);
      EXPECT_EQ(Playback.videoLength, 12u);
      EXPECT_STREQ(Playback.videoFileName, path.c_str());
      // Waiting: only Play available, still in capture mode.
      EXPECT_EQ(TransportFlags(), (Transport{0, 1, 1}));
      EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
      EXPECT_TRUE(IsWindowEnabled(Trackbar()));
      EXPECT_EQ(SendMessageA(Trackbar(), TBM_GETRANGEMAX, 0, 0), 11);
      EXPECT_EQ(SendMessageA(Trackbar(), TBM_GETRANGEMIN, 0, 0), 0);
      // The window shows the clip, placed over its whole client area.
      EXPECT_GE(CountSent(MCI_PUT), 1);

      g_sent.clear();
      ClickPlay();
      EXPECT_EQ(VideoWindow.ViewMode, kPlaybackMode);
      EXPECT_EQ(TransportFlags(), (Transport{1, 0, 0}));
      for (int flag = 0; flag < kModeFlagCount; ++flag) EXPECT_EQ(Lit(flag), 1) << flag;
      EXPECT_EQ(Playback.videoPlaying, 1);
      // The counter climbs while the clip plays; the notice ends the play at its start. The
      // clip lasts long enough for several position ticks on a busy machine too.
      LRESULT highest = 0;
      ASSERT_TRUE(PumpUntil(
          [&] {
            highest = std::max(highest, TrackbarPosition());
            return Playback.videoPlaying == 0;
          },
          5000));
      EXPECT_GE(highest, 2);
      EXPECT_EQ(VideoPosition(), 0u);
      EXPECT_EQ(TrackbarPosition(), 0);
      EXPECT_EQ(TransportFlags(), (Transport{0, 1, 0}));
      EXPECT_EQ(VideoWindow.ViewMode, kPlaybackMode);
      EXPECT_EQ(CountSent(MCI_PLAY), 1);
      EXPECT_EQ(CountSent(MCI_SEEK), 1);

      ClickStop();
      EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
      EXPECT_EQ(TransportFlags(), (Transport{0, 1, 1}));
      const std::vector<int> after(MainPanelSkin.LitFlags.begin(),
                                   MainPanelSkin.LitFlags.begin() + kModeFlagCount);
      EXPECT_EQ(after, captureFlags);
      EXPECT_EQ(Lit(kLitCaptureMode), 1);
      EXPECT_EQ(Lit(kLitFullScreen), 1);
      EXPECT_EQ(Lit(kLitCaptureVideo), 0);
      EXPECT_TRUE(IsWindowEnabled(Trackbar()));
      EXPECT_TRUE(RecordedMessages().empty());
    });
  }
}

TEST_F(PlaybackTest, PauseHoldsThePositionAndPlayGoesOnFromIt) {
  const std::string path = ClipPath("clip_pause.avi");
  WriteClip(path, AviImageFormat::Rgb24, 90, 3000);
  Run([&] {
    LoadCaptured(path);
    ASSERT_EQ(Playback.videoOpen, 1);
    ClickPlay();
    Pump(500);
    ClickPause();
    EXPECT_EQ(Playback.videoPlaying, 0);
    EXPECT_EQ(TransportFlags(), (Transport{0, 1, 0}));
    const uint32_t held = VideoPosition();
    EXPECT_GT(held, 0u);
    EXPECT_LT(held, 90u);
    Pump(300);
    EXPECT_EQ(VideoPosition(), held);
    // The counter stopped with the clip.
    EXPECT_LE(TrackbarPosition(), static_cast<LRESULT>(held));
    ClickPlay();
    Pump(300);
    EXPECT_GT(VideoPosition(), held);
    ClickStop();
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
    EXPECT_EQ(Playback.videoPlaying, 0);
  });
}

TEST_F(PlaybackTest, TrackbarSeeksStoppedAndPlayingClipsAndBringsPlayModeBack) {
  const std::string path = ClipPath("clip_seek.avi");
  WriteClip(path, AviImageFormat::Rgb24, 90, 3000);
  Run([&] {
    LoadCaptured(path);
    // Stopped: the position moves, nothing plays, and play mode begins with Pause unavailable.
    MoveTrackbar(TB_THUMBTRACK, 40);
    EXPECT_EQ(VideoPosition(), 40u);
    EXPECT_EQ(Playback.videoPlaying, 0);
    EXPECT_EQ(VideoWindow.ViewMode, kPlaybackMode);
    EXPECT_EQ(TransportFlags(), (Transport{0, 1, 0}));
    EXPECT_EQ(VideoWindowInput.SavedViewMode, kLiveVideoMode);
    // Page moves read the trackbar's own position, kept inside the clip.
    SendMessageA(Trackbar(), TBM_SETPOS, TRUE, 20);
    MoveTrackbar(TB_PAGEUP, 0);
    EXPECT_EQ(VideoPosition(), 20u);
    // Other codes move nothing.
    MoveTrackbar(TB_ENDTRACK, 70);
    EXPECT_EQ(VideoPosition(), 20u);

    // Playing: the play goes on from the new frame.
    ClickPlay();
    ASSERT_EQ(Playback.videoPlaying, 1);
    g_sent.clear();
    MoveTrackbar(TB_THUMBTRACK, 75);
    EXPECT_EQ(Playback.videoPlaying, 1);
    std::vector<UINT> moves;
    for (const SentCommand& c : g_sent)
      if (c.Command != MCI_STATUS) moves.push_back(c.Command);
    EXPECT_EQ(moves, (std::vector<UINT>{MCI_PAUSE, MCI_SEEK, MCI_PLAY}));
    Pump(200);
    EXPECT_GE(VideoPosition(), 75u);
    ClickStop();
    EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
    EXPECT_EQ(Lit(kLitCaptureMode), 0);
    EXPECT_EQ(Lit(kLitLiveVideoMode), 1);
  });
}

TEST_F(PlaybackTest, PlayerSendsOnePlayAndNothingWithoutAClip) {
  const std::string path = ClipPath("clip_player.avi");
  WriteClip(path, AviImageFormat::Rgb24, 30, 1000);
  Run([&] {
    // No clip: fitting and repainting send nothing.
    PlaceVideo(VideoWindow.Window);
    RepaintVideo();
    EXPECT_TRUE(g_sent.empty());

    std::snprintf(Playback.videoFileName, sizeof Playback.videoFileName, "%s", path.c_str());
    ASSERT_EQ(OpenVideo(VideoWindow.Window), 1);
    g_sent.clear();
    RepaintVideo();
    EXPECT_EQ(CountSent(MCI_UPDATE), 1);
    EXPECT_TRUE(PlayVideo(MainPanel.Window));
    EXPECT_FALSE(PlayVideo(MainPanel.Window));
    EXPECT_FALSE(ShowFirstFrame(MainPanel.Window));
    EXPECT_EQ(CountSent(MCI_PLAY), 1);
    // While playing the device draws for itself.
    RepaintVideo();
    EXPECT_EQ(CountSent(MCI_UPDATE), 1);
    // Resizing the window fits the picture to it.
    g_sent.clear();
    SizeVideoWindow(VideoWindow.Window, 400, 300);
    EXPECT_GE(CountSent(MCI_PUT), 1);
    StopVideo();
    EXPECT_EQ(Playback.videoPlaying, 0);
    EXPECT_EQ(CountSent(MCI_STOP), 1);
    StopVideo();
    PauseVideo();
    EXPECT_EQ(CountSent(MCI_STOP), 1);
    EXPECT_EQ(CountSent(MCI_PAUSE), 0);

    // A second open closes the first clip before it tries, so a failure leaves none open;
    // a file that is not there never reaches the device.
    const MCIDEVICEID first = Playback.videoDevice;
    std::snprintf(Playback.videoFileName, sizeof Playback.videoFileName, "c:\\no_such_clip.avi");
    g_sent.clear();
    EXPECT_EQ(OpenVideo(VideoWindow.Window), 0);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].Command, static_cast<UINT>(MCI_CLOSE));
    EXPECT_EQ(g_sent[0].Device, first);
    EXPECT_EQ(Playback.videoOpen, 0);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].text, "Unable to open c:\\no_such_clip.avi");
    EXPECT_EQ(RecordedMessages()[0].caption, "Corvan Telvista");
    EXPECT_EQ(RecordedMessages()[0].style, static_cast<UINT>(MB_TOPMOST | MB_ICONERROR));
  });
}

// The colour frame i of the test clips has on the screen: the program's own RGB of it.
COLORREF ClipColour(uint32_t i) {
  const Bytes pair = ClipPicture(i, 4, 4);
  uint8_t bgr[6];
  UyvyToBgr24Fixed(pair.data(), bgr);
  return RGB(bgr[2], bgr[1], bgr[0]);
}

// What the video window shows at its centre, as the screen has it.
COLORREF ShownColour() {
  HDC dc = GetDC(VideoWindow.Window);
  RECT client;
  GetClientRect(VideoWindow.Window, &client);
  const COLORREF c = GetPixel(dc, client.right / 2, client.bottom / 2);
  ReleaseDC(VideoWindow.Window, dc);
  return c;
}

std::string Hex(COLORREF c) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(c));
  return text;
}

// Whether the decompressor a player gets for uncompressed 24-bit frames, naming no
// handler, is the program's own.
bool DefaultRgbDecompressorIsOurs() {
  BITMAPINFOHEADER in = {};
  in.biSize = sizeof in;
  in.biWidth = 352;
  in.biHeight = 240;
  in.biPlanes = 1;
  in.biBitCount = 24;
  in.biCompression = BI_RGB;
  HIC codec = ICLocate(ICTYPE_VIDEO, 0, &in, nullptr, ICMODE_DECOMPRESS);
  if (!codec) return false;
  ICINFO info = {};
  ICGetInfo(codec, &info, sizeof info);
  ICClose(codec);
  return std::wstring(info.szDescription) == L"Corvan uncompressed RGB";
}

// Clips of both formats show their frames in the window in exactly the program's colours;
// the RGB decompressor stands in for the system's default only while an RGB clip is open.
TEST_F(PlaybackTest, TheWindowShowsTheClipsFrames) {
  for (const auto format : {AviImageFormat::Yvu9, AviImageFormat::Rgb24}) {
    SCOPED_TRACE(static_cast<int>(format));
    const std::string path = ClipPath("clip_colours.avi");
    WriteClip(path, format, 20, 2000);
    Run([&] {
      LoadCaptured(path);
      ASSERT_EQ(Playback.videoOpen, 1);
      EXPECT_EQ(DefaultRgbDecompressorIsOurs(), format == AviImageFormat::Rgb24);
      std::vector<COLORREF> shown;
      for (const WORD frame : {WORD{10}, WORD{3}, WORD{19}}) {
        MoveTrackbar(TB_THUMBTRACK, frame);
        ASSERT_EQ(VideoPosition(), frame);
        SendMessageA(VideoWindow.Window, WM_PAINT, 0, 0);
        shown.push_back(ShownColour());
        EXPECT_EQ(Hex(shown.back()), Hex(ClipColour(frame))) << "frame " << frame;
      }
      // Three frames of three luma levels: three different pictures, none the colour key.
      EXPECT_NE(shown[0], shown[1]);
      EXPECT_NE(shown[1], shown[2]);
      EXPECT_NE(shown[0], shown[2]);
      CloseVideo(VideoWindow.Window);
      EXPECT_FALSE(DefaultRgbDecompressorIsOurs());
    });
  }
}

// Open Video File, answered in the real file dialog.
void OpenThroughDialog(const std::string& path, bool cancel = false) {
  ModalDriver driver({cancel ? CancelFileDialog("Open") : PickInFileDialog("Open", path)});
  Click(320, 46);
  EXPECT_EQ(driver.Pending(), 0u);
}

TEST_F(PlaybackTest, OpenVideoFileShowsTheFirstFrameAndEntersPlayModeOnce) {
  const std::string first = ClipPath("clip_open_a.avi");
  const std::string second = ClipPath("clip_open_b.avi");
  const std::string broken = ClipPath("clip_open_broken.avi");
  WriteClip(first, AviImageFormat::Rgb24, 250, 8333, 64, 48);
  WriteClip(second, AviImageFormat::Yvu9, 40, 1333, 64, 48);
  if (FILE* f = std::fopen(broken.c_str(), "wb")) {
    std::fputs("not a clip at all", f);
    std::fclose(f);
  }
  Run([&] {
    Click(63, 48);  // Capture Mode
    ASSERT_EQ(VideoWindow.ViewMode, kCaptureMode);
    const std::vector<int> captureFlags(MainPanelSkin.LitFlags.begin(),
                                        MainPanelSkin.LitFlags.begin() + kModeFlagCount);

    // Cancelled, or a file the device cannot open: nothing changes.
    OpenThroughDialog("", true);
    OpenThroughDialog(broken);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].text, "Unable to open " + broken);
    RecordedMessages().clear();
    EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
    EXPECT_EQ(TransportFlags(), (Transport{1, 1, 1}));
    EXPECT_FALSE(IsWindowEnabled(Trackbar()));

    OpenThroughDialog(first);
    ASSERT_EQ(Playback.videoOpen, 1);
    EXPECT_STREQ(Playback.videoFileName, first.c_str());
    EXPECT_EQ(Playback.videoLength, 250u);
    EXPECT_EQ(VideoWindow.ViewMode, kPlaybackMode);
    EXPECT_EQ(TransportFlags(), (Transport{0, 1, 0}));
    for (int flag = 0; flag < kModeFlagCount; ++flag) EXPECT_EQ(Lit(flag), 1) << flag;
    EXPECT_TRUE(IsWindowEnabled(Trackbar()));
    EXPECT_EQ(SendMessageA(Trackbar(), TBM_GETRANGEMAX, 0, 0), 249);
    EXPECT_EQ(TrackbarPosition(), 0);
    // The first frame's play of frames 0..0 ends at once; the clip then waits at its start.
    EXPECT_TRUE(PumpUntil([] { return Playback.videoPlaying == 0; }, 2000));
    EXPECT_EQ(VideoPosition(), 0u);
    EXPECT_EQ(TransportFlags(), (Transport{0, 1, 0}));

    // A second clip in play mode keeps the mode from before the first.
    OpenThroughDialog(second);
    ASSERT_EQ(Playback.videoOpen, 1);
    EXPECT_EQ(Playback.videoLength, 40u);
    EXPECT_EQ(SendMessageA(Trackbar(), TBM_GETRANGEMAX, 0, 0), 39);
    EXPECT_EQ(VideoWindowInput.SavedViewMode, kCaptureMode);
    // The window shows the clip's first frame, not the live picture.
    EXPECT_TRUE(PumpUntil([] { return Playback.videoPlaying == 0; }, 2000));
    Pump(300);
    EXPECT_EQ(Hex(ShownColour()), Hex(ClipColour(0)));
    ClickPlay();
    EXPECT_TRUE(PumpUntil([] { return Playback.videoPlaying == 0; }, 5000));
    ClickStop();
    EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
    const std::vector<int> after(MainPanelSkin.LitFlags.begin(),
                                 MainPanelSkin.LitFlags.begin() + kModeFlagCount);
    EXPECT_EQ(after, captureFlags);
    EXPECT_EQ(TransportFlags(), (Transport{0, 1, 1}));
    EXPECT_TRUE(RecordedMessages().empty());
  });
}

uint32_t FramesInHeader(const std::string& path) {
  uint32_t frames = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 48, SEEK_SET);
    if (std::fread(&frames, sizeof frames, 1, f) != 1) frames = 0;
    std::fclose(f);
  }
  return frames;
}

// A capture writes over the clip the player holds: the player lets go of it first, and
// afterwards the new clip waits in the player, in capture mode.
TEST_F(PlaybackTest, CaptureReplacesTheOpenClipAndLoadsTheNewOne) {
  for (const int format : {0, 1}) {
    SCOPED_TRACE(format);
    const std::string path = ClipPath(format ? "cap_play_yvu9.avi" : "cap_play_rgb.avi");
    WriteClip(path, AviImageFormat::Rgb24, 3, 100);
    Run([&] {
      Click(63, 48);  // Capture Mode
      ASSERT_EQ(VideoWindow.ViewMode, kCaptureMode);
      Pump(300);  // live video flowing
      LoadCaptured(path);
      ASSERT_EQ(Playback.videoOpen, 1);
      ASSERT_EQ(Playback.videoLength, 3u);
      CaptureOptions.aviFormat = format;
      std::thread key([] {
        Sleep(1500);
        PostMessageA(VideoWindow.Window, WM_KEYDOWN, 'A', 0);
      });
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_CAPTURE_VIDEO, 0);
      key.join();
      ASSERT_EQ(RecordedMessages().size(), 1u);
      EXPECT_EQ(RecordedMessages()[0].text.rfind("Captured ", 0), 0u) << RecordedMessages()[0].text;
      const uint32_t frames = FramesInHeader(path);
      EXPECT_GT(frames, 3u);
      ASSERT_EQ(Playback.videoOpen, 1);
      EXPECT_EQ(Playback.videoLength, frames);
      EXPECT_EQ(TransportFlags(), (Transport{0, 1, 1}));
      EXPECT_EQ(VideoWindow.ViewMode, kCaptureMode);
      EXPECT_EQ(SendMessageA(Trackbar(), TBM_GETRANGEMAX, 0, 0), static_cast<LRESULT>(frames - 1));
    });
  }
}

// Writes `path` as the program's RGB clip with some of its bytes changed.
void WriteDamagedClip(const std::string& path, size_t keep,
                      const std::function<void(Bytes&)>& damage) {
  const std::string whole = ClipPath("clip_whole.avi");
  WriteClip(whole, AviImageFormat::Rgb24, 5, 200);
  std::FILE* in = std::fopen(whole.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  Bytes file(keep);
  file.resize(std::fread(file.data(), 1, file.size(), in));
  std::fclose(in);
  damage(file);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
}

// Files that cannot be played, among them damage that used to bring the platform's player
// down: nothing changes in the panel, and the user is told once.
TEST_F(PlaybackTest, UnplayableFilesChangeNothing) {
  const std::string empty = ClipPath("clip_empty.avi");
  if (FILE* f = std::fopen(empty.c_str(), "wb")) std::fclose(f);
  const std::vector<std::pair<std::string, std::function<void(Bytes&)>>> damaged = {
      // Cut off in its second frame: no index, a chunk shorter than it says.
      {"clip_cut.avi", [](Bytes& f) { f.resize(kAviHeaderSize + 8 + 352 * 240 * 3 + 8 + 1000); }},
      {"clip_cut230.avi", [](Bytes& f) { f.resize(230); }},
      {"clip_audio_only.avi", [](Bytes& f) { std::memcpy(&f[108], "auds", 4); }},
      {"clip_promises_30.avi", [](Bytes& f) { f[48] = 30; }},
      // A bitmap two rows shorter than the frames.
      {"clip_long_frames.avi",
       [](Bytes& f) {
         f[180] = 238;
         std::memset(&f[192], 0, 4);
       }},
  };
  std::vector<std::string> paths = {empty};
  for (const auto& [name, damage] : damaged) {
    paths.push_back(ClipPath(name.c_str()));
    WriteDamagedClip(paths.back(), 8 << 20, damage);
  }
  Run([&] {
    for (const std::string& path : paths) {
      SCOPED_TRACE(path);
      RecordedMessages().clear();
      LoadCaptured(path);
      EXPECT_EQ(Playback.videoOpen, 0);
      ASSERT_EQ(RecordedMessages().size(), 1u);
      EXPECT_EQ(RecordedMessages()[0].text, "Unable to open " + path);
      EXPECT_EQ(TransportFlags(), (Transport{1, 1, 1}));
      EXPECT_EQ(VideoWindow.ViewMode, kLiveVideoMode);
      EXPECT_FALSE(IsWindowEnabled(Trackbar()));
      EXPECT_FALSE(DefaultRgbDecompressorIsOurs());
    }
  });
}

// ---------------------------------------------------------------------------
// The YVU9 decompressor

struct Formats {
  BITMAPINFOHEADER In = {};
  BITMAPINFOHEADER Out = {};
};

Formats Yvu9Formats(int width, int height) {
  Formats f;
  f.In.biSize = sizeof(BITMAPINFOHEADER);
  f.In.biWidth = width;
  f.In.biHeight = height;
  f.In.biPlanes = 1;
  f.In.biBitCount = 9;
  f.In.biCompression = mmioFOURCC('Y', 'V', 'U', '9');
  f.In.biSizeImage = static_cast<DWORD>(Yvu9FrameBytes(width, height));
  return f;
}

Bytes RandomYvu9(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes uyvy(static_cast<size_t>(width) * height * 2);
  for (auto& b : uyvy) b = static_cast<uint8_t>(rng());
  Bytes yvu9(Yvu9FrameBytes(width, height));
  UyvyToYvu9(uyvy.data(), width, height, yvu9.data());
  return yvu9;
}

// Decompresses one frame through an open codec the way a player does.
void CheckCodec(HIC codec) {
  ASSERT_NE(codec, nullptr);
  for (const int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    Formats f = Yvu9Formats(352, 240);
    EXPECT_EQ(ICDecompressQuery(codec, &f.In, nullptr), ICERR_OK);
    ASSERT_EQ(ICDecompressGetFormatSize(codec, &f.In), static_cast<LRESULT>(sizeof f.Out));
    ASSERT_EQ(ICDecompressGetFormat(codec, &f.In, &f.Out), ICERR_OK);
    EXPECT_EQ(f.Out.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(f.Out.biBitCount, 24);
    EXPECT_EQ(f.Out.biHeight, 240);
    EXPECT_EQ(f.Out.biSizeImage, 352u * 240 * 3);
    f.Out.biBitCount = static_cast<WORD>(bits);
    f.Out.biSizeImage = static_cast<DWORD>(RgbRowBytes(352, bits) * 240);
    ASSERT_EQ(ICDecompressBegin(codec, &f.In, &f.Out), ICERR_OK);
    const Bytes frame = RandomYvu9(352, 240, 5);
    Bytes out(f.Out.biSizeImage, 0xA7), expected(f.Out.biSizeImage);
    ASSERT_EQ(ICDecompress(codec, 0, &f.In, const_cast<uint8_t*>(frame.data()), &f.Out, out.data()),
              ICERR_OK);
    ASSERT_TRUE(Yvu9ToRgb(frame.data(), 352, 240, bits, expected.data()));
    EXPECT_EQ(out, expected);
    // A frame cut short is refused rather than read past its end.
    f.In.biSizeImage = 1000;
    EXPECT_NE(ICDecompress(codec, 0, &f.In, const_cast<uint8_t*>(frame.data()), &f.Out, out.data()),
              ICERR_OK);
    ICDecompressEnd(codec);
  }
  // Other inputs and outputs are not ours.
  Formats odd = Yvu9Formats(350, 240);
  EXPECT_NE(ICDecompressQuery(codec, &odd.In, nullptr), ICERR_OK);
  Formats f = Yvu9Formats(352, 240);
  f.Out = f.In;
  f.Out.biCompression = BI_RGB;
  f.Out.biBitCount = 16;
  EXPECT_NE(ICDecompressQuery(codec, &f.In, &f.Out), ICERR_OK);
  f.Out.biBitCount = 24;
  f.Out.biHeight = 120;
  EXPECT_NE(ICDecompressQuery(codec, &f.In, &f.Out), ICERR_OK);
  ICINFO info = {};
  ASSERT_EQ(ICGetInfo(codec, &info, sizeof info), static_cast<LRESULT>(sizeof info));
  EXPECT_EQ(info.fccHandler, mmioFOURCC('Y', 'V', 'U', '9'));
}

TEST(Yvu9Codec, InstalledForTheProcessDecodesAsTheProgramConverts) {
  InstallYvu9Decompressor();
  HIC codec = ICOpen(ICTYPE_VIDEO, mmioFOURCC('Y', 'V', 'U', '9'), ICMODE_DECOMPRESS);
  CheckCodec(codec);
  if (codec) ICClose(codec);
}

TEST(Yvu9Codec, DriverDllDecodesTheSame) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dll(path);
  dll = dll.substr(0, dll.find_last_of('\\') + 1) + "lumyvu9.dll";
  HMODULE module = LoadLibraryA(dll.c_str());
  ASSERT_NE(module, nullptr) << dll;
  auto proc =
      reinterpret_cast<DRIVERPROC>(reinterpret_cast<void*>(GetProcAddress(module, "DriverProc")));
  ASSERT_NE(proc, nullptr);
  // Installed under a code of its own, so it is this DLL that answers.
  const DWORD code = mmioFOURCC('Y', 'V', 'U', 'T');
  ASSERT_TRUE(
      ICInstall(ICTYPE_VIDEO, code, reinterpret_cast<LPARAM>(proc), nullptr, ICINSTALL_FUNCTION));
  HIC codec = ICOpen(ICTYPE_VIDEO, code, ICMODE_DECOMPRESS);
  CheckCodec(codec);
  if (codec) ICClose(codec);
  ICRemove(ICTYPE_VIDEO, code, 0);
  FreeLibrary(module);
}

// Uncompressed frames of an odd width (rows padded to 4 bytes) in either row order, to 24
// or 32 bits in either row order: every pixel where it belongs.
TEST(RgbCodec, CopiesEveryPixelToItsPlace) {
  const DWORD code = mmioFOURCC('R', 'G', 'B', 'T');
  ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, code, reinterpret_cast<LPARAM>(RgbDriverProc), nullptr,
                        ICINSTALL_FUNCTION));
  HIC codec = ICOpen(ICTYPE_VIDEO, code, ICMODE_DECOMPRESS);
  ASSERT_NE(codec, nullptr);
  constexpr int kWidth = 13, kRows = 5;
  // The pixel at (x, y), y counted from the top.
  auto pixel = [](int x, int y, int channel) {
    return static_cast<uint8_t>(x * 16 + y * 4 + channel);
  };
  for (const bool inTopDown : {false, true}) {
    BITMAPINFOHEADER in = {};
    in.biSize = sizeof in;
    in.biWidth = kWidth;
    in.biHeight = inTopDown ? -kRows : kRows;
    in.biPlanes = 1;
    in.biBitCount = 24;
    in.biCompression = BI_RGB;
    const size_t inRow = RgbRowBytes(kWidth, 24);
    in.biSizeImage = static_cast<DWORD>(inRow * kRows);
    Bytes frame(in.biSizeImage, 0xEE);
    for (int y = 0; y < kRows; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c)
          frame[inRow * (inTopDown ? y : kRows - 1 - y) + x * 3 + c] = pixel(x, y, c);
    BITMAPINFOHEADER out = {};
    ASSERT_EQ(ICDecompressGetFormat(codec, &in, &out), ICERR_OK);
    EXPECT_EQ(out.biHeight, kRows);
    EXPECT_EQ(out.biSizeImage, inRow * kRows);
    for (const int bits : {24, 32}) {
      for (const bool outTopDown : {false, true}) {
        SCOPED_TRACE(testing::Message() << inTopDown << " " << bits << " " << outTopDown);
        out.biBitCount = static_cast<WORD>(bits);
        out.biHeight = outTopDown ? -kRows : kRows;
        const size_t outRow = RgbRowBytes(kWidth, bits);
        ASSERT_EQ(ICDecompressBegin(codec, &in, &out), ICERR_OK);
        Bytes shown(outRow * kRows, 0xA7), expected(outRow * kRows, 0xA7);
        for (int y = 0; y < kRows; ++y)
          for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < bits / 8; ++c)
              expected[outRow * (outTopDown ? y : kRows - 1 - y) + x * (bits / 8) + c] =
                  c < 3 ? pixel(x, y, c) : 0;
        ASSERT_EQ(ICDecompress(codec, 0, &in, frame.data(), &out, shown.data()), ICERR_OK);
        for (int y = 0; y < kRows; ++y) {
          const auto row = static_cast<std::ptrdiff_t>(outRow * y);
          const auto used = static_cast<std::ptrdiff_t>(kWidth * (bits / 8));
          EXPECT_TRUE(
              std::equal(shown.begin() + row, shown.begin() + row + used, expected.begin() + row))
              << "row " << y;
        }
        ICDecompressEnd(codec);
      }
    }
    // A frame shorter than its picture is refused rather than read past its end.
    in.biSizeImage = static_cast<DWORD>(inRow * kRows - 1);
    Bytes sink(RgbRowBytes(kWidth, 32) * kRows);
    EXPECT_NE(ICDecompress(codec, 0, &in, frame.data(), &out, sink.data()), ICERR_OK);
    // Compressed or other depths are not its to take.
    in.biBitCount = 16;
    EXPECT_NE(ICDecompressQuery(codec, &in, nullptr), ICERR_OK);
    in.biBitCount = 24;
    in.biCompression = mmioFOURCC('Y', 'V', 'U', '9');
    EXPECT_NE(ICDecompressQuery(codec, &in, nullptr), ICERR_OK);
  }
  ICClose(codec);
  ICRemove(ICTYPE_VIDEO, code, 0);
}

}  // namespace
