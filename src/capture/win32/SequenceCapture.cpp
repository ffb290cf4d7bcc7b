#include "capture/win32/SequenceCapture.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "capture/AviFormat.h"
#include "capture/CaptureNames.h"
#include "capture/win32/AviConversion.h"
#include "capture/win32/CaptureActivity.h"
#include "capture/win32/FrameGrab.h"
#include "capture/win32/ReplacingFile.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/OverlayPlacement.h"
#include "display/win32/VideoView.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"
#include "win32/Handles.h"
#include "win32/MessageBox.h"

SequenceCaptureState SequenceCapture;

namespace {

void Say(HWND owner, const char* text, UINT style) {
  ShowProductMessage(owner, text, style);
}

void MinimiseMainPanel() {
  CallCaptureHook(&CaptureHooks::HidePanels);
}

void RestoreMainPanel() {
  CallCaptureHook(&CaptureHooks::RestorePanels);
}

// A capture whose AVI could not be written records nothing: the name and a file beside it
// are tried before the first picture, and the user is told at once.
bool AviTargetWritable() {
  // The player may hold the very file the capture will replace: it lets go first.
  CallCaptureHook(&CaptureHooks::ReleaseClip);
  ReplacingFile probe;
  if (probe.Create(CaptureOptions.aviFileName, FILE_ATTRIBUTE_NORMAL)) return true;
  ShowCaptureMessageWithName(kCreateFileMessage, CaptureOptions.aviFileName, kErrorStyle);
  return false;
}

uint64_t PerformanceCount() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<uint64_t>(now.QuadPart);
}

uint64_t MicrosecondsBetween(uint64_t first, uint64_t last) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return (last - first) * 1000000 / static_cast<uint64_t>(frequency.QuadPart);
}

// The directory a file lands in: its free space is what the file can use.
std::string DirectoryOf(const char* name) {
  char full[MAX_PATH];
  char* part = nullptr;
  const DWORD length = GetFullPathNameA(name, sizeof full, full, &part);
  if (length == 0 || length >= sizeof full) return {};
  if (part) *part = '\0';
  return full;
}

std::string VolumeOf(const std::string& directory) {
  char volume[MAX_PATH];
  if (!GetVolumePathNameA(directory.c_str(), volume, sizeof volume)) return directory;
  return volume;
}

std::optional<uint64_t> FreeBytes(const std::string& directory) {
  ULARGE_INTEGER available = {};
  if (directory.empty() || !GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

bool CreateRawFile() {
  SequenceCapture.RawFile = CreateFileA(
      kRawCaptureFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (SequenceCapture.RawFile == INVALID_HANDLE_VALUE) return false;
  const VideoView view = CurrentVideoView();
  SequenceCapture.Width = static_cast<uint32_t>(view.PictureWidth);
  SequenceCapture.Height = static_cast<uint32_t>(view.PictureHeight);
  const auto header =
      BuildAviHeader(RawCaptureHeaderValues(SequenceCapture.Width, SequenceCapture.Height));
  // A raw file that cannot take even its header takes no picture either.
  if (!WriteToFile(SequenceCapture.RawFile, header.data(), header.size()))
    SequenceCapture.FrameLimit = 0;
  return true;
}

void CloseRawFile() {
  if (SequenceCapture.RawFile != INVALID_HANDLE_VALUE) CloseHandle(SequenceCapture.RawFile);
  SequenceCapture.RawFile = INVALID_HANDLE_VALUE;
}

bool ObtainPicture() {
  SequenceCapture.Picture = static_cast<uint8_t*>(
      GlobalAlloc(GPTR, RawFrameBytes(SequenceCapture.Width, SequenceCapture.Height)));
  return SequenceCapture.Picture != nullptr;
}

void ReleasePicture() {
  if (SequenceCapture.Picture) GlobalFree(SequenceCapture.Picture);
  SequenceCapture.Picture = nullptr;
}

// Appends the picture as one chunk. A failed write ends the capture as the frame limit
// would: the pictures written before it are still converted.
void AppendPicture() {
  const uint32_t bytes = RawFrameBytes(SequenceCapture.Width, SequenceCapture.Height);
  const auto head = BuildFrameChunkHead(bytes);
  if (!WriteToFile(SequenceCapture.RawFile, head.data(), head.size()) ||
      !WriteToFile(SequenceCapture.RawFile, SequenceCapture.Picture, bytes)) {
    SequenceCapture.FrameLimit = SequenceCapture.Frames;
    return;
  }
  ++SequenceCapture.Frames;
}

// Conversion of the N pictures captured, between the progress dialog's opening and
// closing. Returns the conversion's result (0 for an unknown format).
int ConvertCapture(uint32_t durationMs, const char* unsupportedMessage) {
  PauseOverlay();
  CallCaptureHook(&CaptureHooks::ShowConversionProgress, SequenceCapture.Frames);
  int converted = 0;
  const int format = CaptureOptions.aviFormat;
  if (format == 0 || format == 1) {
    converted = ConvertRawToAvi(
        format, {SequenceCapture.Frames, SequenceCapture.Width, SequenceCapture.Height},
        durationMs);
  } else {
    Say(VideoViewWindow(), unsupportedMessage, kErrorStyle);
  }
  CallCaptureHook(&CaptureHooks::CloseConversionProgress);
  return converted;
}

void AnnounceCapturedVideo() {
  CallCaptureHook(&CaptureHooks::CapturedVideoReady);
}

}  // namespace

int ComputeFrameLimit() {
  const char* aviName = CaptureOptions.aviFileName;
  // The player may hold the very file the capture will replace: it lets go first. The
  // file itself stays until a finished capture takes its place.
  CallCaptureHook(&CaptureHooks::ReleaseClip);
  SetCurrentDirectoryA(aviName);

  const std::string rawDirectory = DirectoryOf(kRawCaptureFileName);
  const std::string aviDirectory = DirectoryOf(aviName);
  CaptureDriveSpace space;
  space.RawDrive = FreeBytes(rawDirectory);
  space.AviDrive = FreeBytes(aviDirectory);
  // Two drive letters may name one file system (under a mapped or substituted drive):
  // the same free space to the byte says so.
  space.SameDrive = _stricmp(VolumeOf(rawDirectory).c_str(), VolumeOf(aviDirectory).c_str()) == 0 ||
                    (space.RawDrive && space.RawDrive == space.AviDrive);
  const VideoView view = CurrentVideoView();
  const auto width = static_cast<uint32_t>(view.PictureWidth);
  const auto height = static_cast<uint32_t>(view.PictureHeight);
  SequenceCapture.FrameLimit = ::ComputeFrameLimit(CaptureOptions.aviFormat, width, height, space);
  SequenceCapture.LimitIsFileSize =
      SequenceCapture.FrameLimit == FrameLimitForFileSize(CaptureOptions.aviFormat, width, height);
  return space.RawDrive && space.AviDrive ? 1 : 0;
}

int CaptureFrames() {
  if (CaptureInProgress()) return 1;
  const CaptureActivity running;
  if (!AviTargetWritable()) return 1;
  SequenceCapture.Frames = 0;
  const auto& runDialog = InstalledCaptureHooks().RunFramesDialog;
  const int done = runDialog ? runDialog() : 0;
  // The dialog could not open its raw file or buffer: already reported and cleaned up,
  // and the main panel stays down.
  if (done != 1) return 1;
  // The main panel opens the new clip; a failed conversion left the earlier file of that
  // name, which is no capture of this run.
  if (SequenceCapture.Frames > 0 &&
      ConvertCapture(FrameSequenceDurationMs(SequenceCapture.Frames), kFramesFormatMessage))
    AnnounceCapturedVideo();
  DeleteFileA(kRawCaptureFileName);
  RestoreMainPanel();
  return 1;
}

FramesOpening OpenFrameSequence() {
  MinimiseMainPanel();
  SequenceCapture.Frames = 0;
  ComputeFrameLimit();
  if (!CreateRawFile()) return FramesOpening::NoRawFile;
  if (!ObtainPicture()) {
    CloseRawFile();
    DeleteFileA(kRawCaptureFileName);
    return FramesOpening::NoMemory;
  }
  return FramesOpening::Ready;
}

FrameTaken TakeSequenceFrame() {
  if (SequenceCapture.Frames >= SequenceCapture.FrameLimit) return FrameTaken::NoRoom;
  if (!WaitForVsync()) return FrameTaken::NoVsync;
  if (FAILED(GrabFrame(SequenceCapture.Picture, kGrabLockFlags, FirstPictureRow())))
    return FrameTaken::NoLock;
  AppendPicture();
  return FrameTaken::Appended;
}

void CloseFrameSequence() {
  ReleasePicture();
  CloseRawFile();
}

int CaptureVideo() {
  if (CaptureInProgress()) return 0;
  const CaptureActivity running;
  if (!AviTargetWritable()) return 0;
  MinimiseMainPanel();
  PaintColorKey();
  ComputeFrameLimit();
  SequenceCapture.Frames = 0;
  if (!CreateRawFile()) {
    ShowCaptureMessageWithName(kCreateFileMessage, CaptureOptions.aviFileName, kErrorStyle);
    return 0;
  }
  if (!ObtainPicture()) {
    CloseRawFile();
    DeleteFileA(kRawCaptureFileName);
    Say(VideoViewWindow(), kVideoMemoryMessage, kErrorStyle);
    return 0;
  }

  CallCaptureHook(&CaptureHooks::ShowVideoNotice);
  // When the first and the last picture's fields came: the pictures were taken at the
  // rate between them.
  uint64_t firstField = 0, lastField = 0;
  bool limitReached = false;

  const char* abandoned = nullptr;
  for (;;) {
    MSG key;
    if (PeekMessageA(&key, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) break;
    if (SequenceCapture.Frames >= SequenceCapture.FrameLimit) {
      limitReached = true;
      break;
    }
    if (!WaitForVsync()) {
      abandoned = kVsyncTimeoutMessage;
      break;
    }
    const uint64_t field = PerformanceCount();
    if (FAILED(GrabFrame(SequenceCapture.Picture, kGrabLockFlags, FirstPictureRow()))) {
      abandoned = kLockFailedMessage;
      break;
    }
    const uint32_t before = SequenceCapture.Frames;
    AppendPicture();
    if (SequenceCapture.Frames == before) continue;  // not written: the limit ends it
    if (before == 0) firstField = field;
    lastField = field;
  }
  // Closing the raw file and the conversion keep the thread from repairing the overlay.
  PauseOverlay();

  CallCaptureHook(&CaptureHooks::CloseVideoNotice);
  ReleasePicture();
  CloseRawFile();
  if (abandoned) {
    DeleteFileA(kRawCaptureFileName);
    Say(VideoViewWindow(), abandoned, kErrorStyle);
    return 0;
  }
  PaintColorKey();

  const uint32_t frames = SequenceCapture.Frames;
  bool converted = false;
  // A disk too full for one picture ends the capture before it starts: that is said too.
  if (frames == 0 && limitReached) Say(VideoViewWindow(), kVideoDiskSpaceMessage, kErrorStyle);
  if (frames > 0) {
    const uint32_t durationMs =
        VideoCaptureDurationMs(MicrosecondsBetween(firstField, lastField), frames,
                               FieldRateForStandard(Settings.VideoStandard));
    converted = ConvertCapture(durationMs, kVideoFormatMessage) != 0;
    if (converted) {
      char text[192];
      std::snprintf(text, sizeof text, kVideoSummaryMessage, static_cast<int>(frames),
                    durationMs / 1000.0);
      if (limitReached) {
        std::strncat(
            text,
            SequenceCapture.LimitIsFileSize ? kVideoFileSizeEndMessage : kVideoDiskSpaceEndMessage,
            sizeof text - std::strlen(text) - 1);
      }
      Say(VideoViewWindow(), text, kCaptureSummaryStyle);
    }
  }
  DeleteFileA(kRawCaptureFileName);
  RestoreMainPanel();
  if (converted) AnnounceCapturedVideo();
  return 1;
}
