#include "playback/VideoPlayer.h"

#include <digitalv.h>

#include <cstdio>

#include "capture/AviClip.h"
#include "playback/RgbCodec.h"
#include "win32/MessageBox.h"

PlaybackState Playback;

namespace {

MciCommandObserver g_observer = nullptr;

constexpr UINT kOpenFailureStyle = MB_TOPMOST | MB_ICONERROR;

MCIERROR Send(MCIDEVICEID device, UINT command, DWORD_PTR flags, void* parameters) {
  if (g_observer) g_observer(device, command, flags);
  return mciSendCommandA(device, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
}

bool StatusItem(DWORD item, DWORD_PTR& value) {
  MCI_STATUS_PARMS status = {};
  status.dwItem = item;
  if (Send(Playback.videoDevice, MCI_STATUS, MCI_STATUS_ITEM, &status) != 0) return false;
  value = status.dwReturn;
  return true;
}

int FailOpen() {
  char text[300];
  std::snprintf(text, sizeof text, kUnableToOpenVideoMessage, Playback.videoFileName);
  ShowProductMessage(nullptr, text, kOpenFailureStyle);
  Playback.videoOpen = 0;
  return 0;
}

class ClipFile final : public ClipByteSource {
 public:
  explicit ClipFile(const char* path)
      : file_(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ClipFile() override {
    if (IsOpen()) CloseHandle(file_);
  }
  ClipFile(const ClipFile&) = delete;
  ClipFile& operator=(const ClipFile&) = delete;

  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  uint64_t Size() override {
    LARGE_INTEGER size = {};
    return GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }
  bool ReadAt(uint64_t offset, void* data, size_t size) override {
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    auto* out = static_cast<char*>(data);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return false;
    while (size > 0) {
      const DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
      DWORD got = 0;
      if (!ReadFile(file_, out, want, &got, nullptr) || got == 0) return false;
      out += got;
      size -= got;
    }
    return true;
  }

 private:
  HANDLE file_;
};

// The clip's structure as the program reads it; MCI's player trusts it blindly.
bool CheckClip(const char* path, AviClipInfo& info) {
  ClipFile file(path);
  return file.IsOpen() && CheckAviClip(file, info) == AviClipFault::None;
}

bool Play(HWND notifyWindow, DWORD flags, DWORD from, DWORD to) {
  if (Playback.videoPlaying) return false;
  MCI_PLAY_PARMS play = {};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWindow);
  play.dwFrom = from;
  play.dwTo = to;
  // A refused play sends no notice, so nothing may wait for one.
  if (Send(Playback.videoDevice, MCI_PLAY, MCI_NOTIFY | flags, &play) != 0) return false;
  Playback.videoPlaying = 1;
  return true;
}

}  // namespace

void SetMciCommandObserver(MciCommandObserver observer) {
  g_observer = observer;
}

int PreloadVideoDriver() {
  MCI_OPEN_PARMSA open = {};
  open.lpstrDeviceType = "avivideo";
  return Send(0, MCI_OPEN, MCI_OPEN_TYPE, &open) == 0 ? 1 : 0;
}

void ReleaseVideoDriver() {
  const MCIDEVICEID device = mciGetDeviceIDA("avivideo");
  if (device) Send(device, MCI_CLOSE, 0, nullptr);
}

int OpenVideo(HWND window) {
  if (Playback.videoOpen) CloseVideo(window);
  AviClipInfo clip;
  if (!CheckClip(Playback.videoFileName, clip)) return FailOpen();
  // Uncompressed 24-bit frames would otherwise reach whatever codec the system offers by
  // default (see RgbCodec.h).
  if (clip.Compression == BI_RGB && clip.BitCount == 24) InstallRgbDecompressor();
  MCI_OPEN_PARMSA open = {};
  open.lpstrElementName = Playback.videoFileName;
  if (Send(0, MCI_OPEN, MCI_OPEN_ELEMENT, &open) != 0) {
    RemoveRgbDecompressor();
    return FailOpen();
  }
  Playback.videoDevice = static_cast<MCIDEVICEID>(open.wDeviceID);
  Playback.videoOpen = 1;
  Playback.videoWindow = window;

  MCI_DGV_WINDOW_PARMSA show = {};
  show.hWnd = window;
  show.nCmdShow = SW_SHOW;
  Send(Playback.videoDevice, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_DGV_WINDOW_STATE, &show);
  MCI_GENERIC_PARMS realize = {};
  Send(Playback.videoDevice, MCI_REALIZE, MCI_DGV_REALIZE_BKGD, &realize);
  PlaceVideo(window);

  // A clip without a length in frames cannot be played or positioned: closed again, so
  // the panel never holds a clip the user cannot leave.
  DWORD_PTR length = 0;
  if (!StatusItem(MCI_STATUS_LENGTH, length) || length == 0) {
    Send(Playback.videoDevice, MCI_CLOSE, 0, nullptr);
    Playback.videoDevice = 0;
    RemoveRgbDecompressor();
    return FailOpen();
  }
  Playback.videoLength = static_cast<uint32_t>(length);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  return 1;
}

void CloseVideo(HWND window) {
  // Only our own clip: a stale identifier may by now name another device.
  if (Playback.videoOpen) Send(Playback.videoDevice, MCI_CLOSE, 0, nullptr);
  RemoveRgbDecompressor();
  Playback.videoDevice = 0;
  Playback.videoPlaying = 0;
  Playback.videoOpen = 0;
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

bool PlayVideo(HWND notifyWindow) {
  return Play(notifyWindow, 0, 0, 0);
}

bool ShowFirstFrame(HWND notifyWindow) {
  return Play(notifyWindow, MCI_FROM | MCI_TO, 0, 0);
}

void PauseVideo() {
  if (!Playback.videoPlaying) return;
  MCI_GENERIC_PARMS pause = {};
  Send(Playback.videoDevice, MCI_PAUSE, 0, &pause);
  Playback.videoPlaying = 0;
}

void StopVideo() {
  if (!Playback.videoPlaying) return;
  MCI_GENERIC_PARMS stop = {};
  Send(Playback.videoDevice, MCI_STOP, 0, &stop);
  Playback.videoPlaying = 0;
}

void SeekVideo(HWND notifyWindow, uint32_t frame) {
  const bool wasPlaying = Playback.videoPlaying != 0;
  if (wasPlaying) PauseVideo();
  MCI_SEEK_PARMS seek = {};
  seek.dwTo = frame;
  Send(Playback.videoDevice, MCI_SEEK, MCI_TO, &seek);
  if (wasPlaying) PlayVideo(notifyWindow);
}

void SeekVideoToStart() {
  MCI_SEEK_PARMS seek = {};
  Send(Playback.videoDevice, MCI_SEEK, MCI_SEEK_TO_START, &seek);
}

bool IsEndOfPlay(WPARAM code) {
  if (code != MCI_NOTIFY_SUCCESSFUL || !Playback.videoOpen || !Playback.videoPlaying) return false;
  DWORD_PTR mode = 0;
  return !StatusItem(MCI_STATUS_MODE, mode) || mode != MCI_MODE_PLAY;
}

uint32_t VideoPosition() {
  DWORD_PTR position = 0;
  if (!StatusItem(MCI_STATUS_POSITION, position)) return 0;
  return static_cast<uint32_t>(position);
}

void PlaceVideo(HWND window) {
  if (!Playback.videoOpen) return;
  MCI_DGV_PUT_PARMS put = {};
  GetClientRect(window, &put.rc);
  Send(Playback.videoDevice, MCI_PUT, MCI_DGV_RECT | MCI_DGV_PUT_DESTINATION, &put);
}

void RepaintVideo() {
  if (Playback.videoPlaying || !Playback.videoOpen) return;
  HWND window = Playback.videoWindow;
  MCI_DGV_UPDATE_PARMS update = {};
  GetClientRect(window, &update.rc);
  update.hDC = GetDC(window);
  Send(Playback.videoDevice, MCI_UPDATE, MCI_DGV_UPDATE_HDC | MCI_DGV_RECT, &update);
  ReleaseDC(window, update.hDC);
}
