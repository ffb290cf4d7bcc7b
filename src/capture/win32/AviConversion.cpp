#include "capture/win32/AviConversion.h"

#include "capture/CaptureNames.h"
#include "capture/win32/CaptureHooks.h"
#include "capture/win32/ReplacingFile.h"
#include "capture/win32/StillCapture.h"
#include "display/win32/VideoView.h"
#include "win32/Handles.h"
#include "win32/MessageBox.h"

namespace {

void Say(const char* text, UINT style) {
  ShowProductMessage(VideoViewWindow(), text, style);
}

}  // namespace

bool HandleSink::Write(const void* data, size_t size) {
  return WriteToFile(file_, data, size);
}

bool HandleSource::Read(void* data, size_t size, size_t& got) {
  got = 0;
  auto* p = static_cast<uint8_t*>(data);
  while (got < size) {
    const size_t left = size - got;
    const DWORD ask = left > kMaxFileCallBytes ? kMaxFileCallBytes : static_cast<DWORD>(left);
    DWORD read = 0;
    if (!ReadFile(file_, p + got, ask, &read, nullptr)) return false;
    if (read == 0) break;
    got += read;
  }
  return true;
}

int ConvertRawToAvi(int format, const RawCaptureShape& shape, uint32_t durationMs) {
  const char* aviName = CaptureOptions.aviFileName;
  FileHandle raw(CreateFileA(kRawCaptureFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!raw.Valid()) {
    Say(kRawOpenMessage, kErrorStyle);
    return 0;
  }
  SetFilePointer(raw.Get(), kRawFirstFrameOffset, nullptr, FILE_BEGIN);
  // Written beside aviFileName and moved onto it when complete: an earlier file of that
  // name survives every failure of the pass.
  ReplacingFile avi;
  if (!avi.Create(aviName, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN)) {
    raw.Close();
    ShowCaptureMessageWithName(kCreateFileMessage, aviName, kErrorStyle);
    return 0;
  }

  const auto imageFormat = static_cast<AviImageFormat>(format);
  AviConversionJob job;
  job.Format = imageFormat;
  job.Width = shape.Width;
  job.Height = shape.Height;
  job.Frames = shape.Frames;
  job.DurationMs = durationMs;
  job.Convert = CaptureFrameConverter(imageFormat, shape.Width, shape.Height);
  job.Progress = [](uint32_t) { CallCaptureHook(&CaptureHooks::StepConversionProgress); };

  HandleSource source(raw.Get());
  HandleSink sink(avi.Handle());
  AviConversionResult result = ConvertRawToAvi(source, sink, job);
  if (result == AviConversionResult::Ok && !avi.Commit()) result = AviConversionResult::WriteFailed;
  avi.Discard();
  raw.Close();
  if (result == AviConversionResult::Ok) return 1;

  switch (result) {
    case AviConversionResult::RawBufferFailed:
      Say(kRawBufferMessage, kCaptureNoticeStyle);
      break;
    case AviConversionResult::OutputBufferFailed:
      Say(imageFormat == AviImageFormat::Yvu9 ? kYvu9BufferMessage : kRgbBufferMessage,
          kCaptureNoticeStyle);
      break;
    case AviConversionResult::ReadFailed:
      Say(kRawReadMessage, kCaptureNoticeStyle);
      break;
    default:
      ShowCaptureMessageWithName(kWriteFileMessage, aviName, kCaptureNoticeStyle);
      break;
  }
  return 0;
}
