// The pass that turns the raw capture file into the finished AVI under aviFileName, with
// its messages; each picture converted steps the progress the application shows.
#pragma once

#include <windows.h>

#include <cstdint>

#include "capture/AviFormat.h"

inline constexpr char kRawOpenMessage[] = "Unable to open file.\n(c:\\temp.avi)";
inline constexpr char kRawBufferMessage[] = "Fail to allocate memory buffer. (lpUYVY)";
inline constexpr char kRgbBufferMessage[] = "Fail to allocate memory buffer. (lpRGB24)";
inline constexpr char kYvu9BufferMessage[] = "Fail to allocate memory buffer. (lpYVU9 Planar)";
inline constexpr char kRawReadMessage[] = "Fail to read file.\n(c:\\temp.avi)";

// The raw file's pictures: how many, and their geometry.
struct RawCaptureShape {
  uint32_t Frames = 0;
  uint32_t Width = 0;
  uint32_t Height = 0;
};

// Reads kRawCaptureFileName, writes aviFileName in `format` (0 or 1) with a duration of
// `durationMs`. 1 on success; 0 after the message, with aviFileName as it was before (an
// earlier file of that name kept). The raw file stays for the caller.
int ConvertRawToAvi(int format, const RawCaptureShape& shape, uint32_t durationMs);

// ByteSink and ByteSource over file handles the caller owns.
class HandleSink final : public ByteSink {
 public:
  explicit HandleSink(HANDLE file) : file_(file) {}
  bool Write(const void* data, size_t size) override;

 private:
  HANDLE file_;
};

class HandleSource final : public ByteSource {
 public:
  explicit HandleSource(HANDLE file) : file_(file) {}
  bool Read(void* data, size_t size, size_t& got) override;

 private:
  HANDLE file_;
};
