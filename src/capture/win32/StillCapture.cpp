#include "capture/win32/StillCapture.h"

#include <cstdio>
#include <cstring>

#include "capture/BmpFormat.h"
#include "capture/PixelKernels.h"
#include "capture/win32/CaptureActivity.h"
#include "capture/win32/FrameGrab.h"
#include "capture/win32/ReplacingFile.h"
#include "display/win32/VideoView.h"
#include "hw/Decoder.h"
#include "shared/Settings.h"
#include "win32/Handles.h"
#include "win32/MessageBox.h"

CaptureOptionsData CaptureOptions;

namespace {

int Fail(const char* message, UINT style) {
  ShowProductMessage(VideoViewWindow(), message, style);
  return 0;
}

int PlaceOnClipboard(const std::array<uint8_t, kBmpHeadersSize>& headers, const uint8_t* bgr) {
  BITMAPINFO info = {};
  std::memcpy(&info.bmiHeader, headers.data() + kBmpFileHeaderSize, kBmpInfoHeaderSize);
  HWND window = VideoViewWindow();
  HDC dc = GetDC(window);
  HBITMAP bitmap = CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bgr, &info, DIB_RGB_COLORS);
  ReleaseDC(window, dc);
  // A null bitmap would not fail SetClipboardData: it would promise the picture later.
  if (!bitmap) return Fail(kClipboardBitmapMessage, kErrorStyle);
  if (!OpenClipboard(window)) {
    DeleteObject(bitmap);
    return Fail(kClipboardMessage, kErrorStyle);
  }
  EmptyClipboard();
  // Once placed, the clipboard owns the bitmap.
  const bool placed = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
  CloseClipboard();
  if (!placed) {
    DeleteObject(bitmap);
    return Fail(kClipboardBitmapMessage, kErrorStyle);
  }
  return 1;
}

int WriteStillFile(const std::array<uint8_t, kBmpHeadersSize>& headers, const uint8_t* bgr,
                   size_t pixelBytes) {
  const char* name = CaptureOptions.stillFileName;
  ReplacingFile file;
  if (!file.Create(name, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN)) {
    ShowCaptureMessageWithName(kCreateFileMessage, name, kErrorStyle);
    return 0;
  }
  // A short or failed write must not pass for a picture, nor cost the earlier one.
  const bool written = WriteToFile(file.Handle(), headers.data(), headers.size()) &&
                       WriteToFile(file.Handle(), bgr, pixelBytes);
  if (!written || !file.Commit()) {
    file.Discard();
    ShowCaptureMessageWithName(kWriteFileMessage, name, kErrorStyle);
    return 0;
  }
  return 1;
}

}  // namespace

void ShowCaptureMessageWithName(const char* format, const char* name, UINT style) {
  char text[kCaptureNameCapacity + 64];
  std::snprintf(text, sizeof text, format, name);
  ShowProductMessage(VideoViewWindow(), text, style);
}

int CaptureStill() {
  if (CaptureInProgress()) return 0;
  const CaptureActivity running;
  const VideoView view = CurrentVideoView();
  const int width = view.PictureWidth;
  const int height = view.PictureHeight;
  const StillSize still =
      StillCaptureSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                       static_cast<uint32_t>(CaptureOptions.sizeFactor));
  const size_t grabBytes = static_cast<size_t>(width) * height * 2;
  const size_t pixelBytes = BmpPixelBytes(still.Width, still.Height);
  const bool rows240 = IsStandard240Line(Settings.VideoStandard);

  GlobalBuffer first(grabBytes);
  if (!first) return Fail(kNoFirstGrabMemoryMessage, kCaptureNoticeStyle);
  GlobalBuffer bgr(pixelBytes);
  if (!bgr) return Fail(kNoStillImageMemoryMessage, kCaptureNoticeStyle);

  // The two grabs are a field apart and one surface row apart on the 288-row standards,
  // so their average takes in both fields of the frame.
  if (!WaitForVsync()) return Fail(kVsyncTimeoutMessage, kErrorStyle);
  if (FAILED(GrabFrame(first.Data(), kStillGrabLockFlags, rows240 ? kBlankingLines240 : 0)))
    return Fail(kLockFailedMessage, kCaptureNoticeStyle);
  GlobalBuffer second(grabBytes);
  if (!second) return Fail(kNoSecondGrabMemoryMessage, kCaptureNoticeStyle);
  if (!WaitForVsync()) return Fail(kVsyncTimeoutMessage, kErrorStyle);
  if (FAILED(GrabFrame(second.Data(), kStillGrabLockFlags, rows240 ? kBlankingLines240 : 1)))
    return Fail(kLockFailedMessage, kCaptureNoticeStyle);

  for (size_t i = 0; i < grabBytes; ++i) {
    first.Data()[i] = static_cast<uint8_t>((first.Data()[i] + second.Data()[i]) >> 1);
  }

  GlobalBuffer enlarged(static_cast<size_t>(still.Width) * still.Height * 2);
  if (!enlarged) return Fail(kNoEnlargedMemoryMessage, kCaptureNoticeStyle);
  ScaleImage(first.Data(), width, height, kFourccUyvy, enlarged.Data(),
             static_cast<int>(still.Width), static_cast<int>(still.Height), kFourccUyvy);
  UyvyFrameToBgr24Float(enlarged.Data(), static_cast<int>(still.Width),
                        static_cast<int>(still.Height), bgr.Data());

  const auto headers = BuildBmpHeaders(still.Width, still.Height);
  const int stored = CaptureOptions.toClipboard ? PlaceOnClipboard(headers, bgr.Data())
                                                : WriteStillFile(headers, bgr.Data(), pixelBytes);
  if (!stored) return 0;

  if (CaptureOptions.numberedNames) {
    AdvanceNumberedStillName(CaptureOptions.stillFileName, CaptureOptions.nameCounter);
  }
  return 1;
}
