// The RIFF/AVI layout shared by the raw capture file and the finished AVI, its index, and
// the streaming pass that turns a raw capture into a finished file. No platform calls:
// the Win32 side supplies the file handles through ByteSource and ByteSink, picks the
// messages from the result, and deletes the AVI whenever the pass does not return Ok.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "shared/FourCc.h"

// Values of CaptureOptions' aviFormat.
enum class AviImageFormat : uint32_t {
  Rgb24 = 0,  // uncompressed 24-bit bitmap frames, bottom row first
  Yvu9 = 1,   // Y plane, then V, then U, each top row first
};

constexpr uint32_t kAviHeaderSize = 224;
constexpr uint32_t kAviChunkHeadSize = 8;     // four-character code and 32-bit size
constexpr uint32_t kAviIndexEntrySize = 16;   // id, flags, offset, size
constexpr uint32_t kAviMoviCodeOffset = 220;  // index offsets count from the "movi" code
// The raw file's header plus the head of its first frame chunk: where the first picture starts.
constexpr uint32_t kRawFirstFrameOffset = kAviHeaderSize + kAviChunkHeadSize;

// The values that differ between the two columns of the header. Suggested buffer size
// (avih and strh) and the bitmap's image size are the same number in both columns.
struct AviHeaderValues {
  uint32_t RiffSize;
  uint32_t MicroSecPerFrame;
  uint32_t TotalFrames;
  uint32_t FrameBytes;  // suggested buffer sizes and strf image size
  uint32_t Width;
  uint32_t Height;
  uint32_t Handler;  // strh fccHandler
  uint32_t Scale;
  uint32_t Rate;
  uint32_t Length;
  uint16_t BitCount;
  uint32_t Compression;  // strf biCompression
  uint32_t MoviListSize;
};

// S: bytes of one finished frame (W x H x 3, or W x H x 9 / 8 for YVU9).
uint32_t AviFrameBytes(AviImageFormat format, uint32_t width, uint32_t height);
// Sr: bytes of one raw UYVY picture.
uint32_t RawFrameBytes(uint32_t width, uint32_t height);
// 224 + N x (S + 8) + 8 + 16 x N, and 224 + N x (Sr + 8): in 64 bits, so a caller can
// tell when a count would no longer fit the 32-bit RIFF fields.
uint64_t FinishedAviFileSize(AviImageFormat format, uint32_t width, uint32_t height,
                             uint32_t frames);
uint64_t RawCaptureFileSize(uint32_t width, uint32_t height, uint32_t frames);

// The finished file's column for N frames lasting D milliseconds. A zero duration is
// recorded as 1 ms a frame, so scale and rate never describe an impossible rate.
AviHeaderValues FinishedAviHeaderValues(AviImageFormat format, uint32_t width, uint32_t height,
                                        uint32_t frames, uint32_t durationMs);
// The raw capture file's column: zero counts, UYVY at 16 bits a pixel.
AviHeaderValues RawCaptureHeaderValues(uint32_t width, uint32_t height);

std::array<uint8_t, kAviHeaderSize> BuildAviHeader(const AviHeaderValues& values);
// "00db" and the 32-bit size: the head of every frame chunk, raw or finished.
std::array<uint8_t, kAviChunkHeadSize> BuildFrameChunkHead(uint32_t size);

// Frame sequences are recorded at 30 pictures a second: D = N x 1000 / 30.
uint32_t FrameSequenceDurationMs(uint32_t frames);
// Video capture takes one picture a field, so N pictures stand for N field periods: the
// time from the first picture's field to the last one's spans N - 1 of them, and a single
// picture lasts one period of `fieldRate`. At least 1 ms a frame.
uint32_t VideoCaptureDurationMs(uint64_t firstToLastMicroseconds, uint32_t frames,
                                double fieldRate);

// Where the writers put their bytes. Write returns true only when every byte was written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, size_t size) = 0;
};

// Where the conversion reads the raw file. Read returns false when the read call itself
// fails; fewer bytes than asked (got < size) means the end of the file and is no error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool Read(void* data, size_t size, size_t& got) = 0;
};

// Adapters over a C stream the caller opened in binary mode and still owns.
class StdFileSink final : public ByteSink {
 public:
  explicit StdFileSink(std::FILE* file) : file_(file) {}
  bool Write(const void* data, size_t size) override;

 private:
  std::FILE* file_;
};

class StdFileSource final : public ByteSource {
 public:
  explicit StdFileSource(std::FILE* file) : file_(file) {}
  bool Read(void* data, size_t size, size_t& got) override;

 private:
  std::FILE* file_;
};

bool WriteAviHeader(ByteSink& file, const AviHeaderValues& values);
// "idx1", 16 x N, then one key-frame entry per frame. False at the first failed write.
bool WriteAviIndex(ByteSink& file, uint32_t frames, uint32_t frameBytes);

// Converts one raw UYVY picture (Sr bytes, rows top to bottom) into one finished frame of
// S bytes: for 24-bit RGB the rows last to first with the fixed-point converter, for
// YVU9 the planar converter.
using AviFrameConverter = std::function<void(const uint8_t* uyvy, uint8_t* frame)>;

// The capture converters for a format: fixed-point BGR24 bottom row first, or YVU9.
AviFrameConverter CaptureFrameConverter(AviImageFormat format, uint32_t width, uint32_t height);

struct AviConversionJob {
  AviImageFormat Format = AviImageFormat::Rgb24;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t Frames = 0;        // N, at least 1
  uint32_t DurationMs = 0;    // D
  AviFrameConverter Convert;  // required; the program passes CaptureFrameConverter
  std::function<void(uint32_t framesDone)> Progress;  // after each frame; may be empty
};

enum class AviConversionResult {
  Ok,
  RawBufferFailed,     // "(lpUYVY)"
  OutputBufferFailed,  // "(lpRGB24)" or "(lpYVU9 Planar)" by format
  ReadFailed,          // a read call on the raw file failed
  WriteFailed,         // header, a frame chunk or the index could not be written
};

// The conversion pass: `raw` must stand at kRawFirstFrameOffset of the raw capture file,
// `avi` at the start of the new file. Writes the header with its final values, N frame
// chunks and the index, every write checked, in large blocks. Each picture is one read
// of Sr + 8 bytes (the picture and the next chunk's head); a raw file shorter than N
// pictures is not an error: a missing part keeps what the read buffer last held.
AviConversionResult ConvertRawToAvi(ByteSource& raw, ByteSink& avi, const AviConversionJob& job);

// The same pass between two named files through C streams, for tools and tests:
// opens, converts, closes, and removes the AVI again unless everything succeeded,
// closing included. The raw file is left in place.
enum class AviFileConversionResult {
  Ok,
  RawOpenFailed,
  AviCreateFailed,
  ConversionFailed,  // see `detail`
  CloseFailed,
};
AviFileConversionResult ConvertRawFileToAvi(const char* rawPath, const char* aviPath,
                                            const AviConversionJob& job,
                                            AviConversionResult* detail = nullptr);
