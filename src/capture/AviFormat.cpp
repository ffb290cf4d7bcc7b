#include "capture/AviFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "capture/PixelKernels.h"
#include "shared/LittleEndian.h"

namespace {

constexpr uint32_t kAviFlagHasIndex = 0x10;
constexpr uint32_t kAviFlagTrustChunkType = 0x800;
constexpr uint32_t kIndexFlagKeyFrame = 0x10;
constexpr uint32_t kQualityDefault = 0xFFFFFFFF;

// Frames are gathered into blocks of about this size before they are written: a few
// large writes instead of three small ones per frame, and a block small enough to be
// still in cache when the write copies it out.
constexpr size_t kWriteBlockBytes = 1u << 20;

void PutIndexEntry(uint8_t* p, uint32_t i, uint32_t frameBytes) {
  PutLe32(p + 0, kFourccFrameChunk);
  PutLe32(p + 4, kIndexFlagKeyFrame);
  PutLe32(p + 8, 4 + i * (frameBytes + kAviChunkHeadSize));
  PutLe32(p + 12, frameBytes);
}

std::unique_ptr<uint8_t[]> TryAllocate(size_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

uint32_t Saturate32(uint64_t v) {
  return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
}

// Collects output in one buffer and hands it to the sink when full.
class BlockWriter {
 public:
  BlockWriter(ByteSink& sink, uint8_t* buffer, size_t capacity)
      : sink_(sink), buffer_(buffer), capacity_(capacity) {}

  // `size` contiguous bytes to fill (size <= capacity), or nullptr when making room failed.
  uint8_t* Reserve(size_t size) {
    if (capacity_ - used_ < size && !Flush()) return nullptr;
    uint8_t* p = buffer_ + used_;
    used_ += size;
    return p;
  }

  bool Flush() {
    const bool ok = used_ == 0 || sink_.Write(buffer_, used_);
    used_ = 0;
    return ok;
  }

 private:
  ByteSink& sink_;
  uint8_t* buffer_;
  size_t capacity_;
  size_t used_ = 0;
};

}  // namespace

uint32_t AviFrameBytes(AviImageFormat format, uint32_t width, uint32_t height) {
  return format == AviImageFormat::Yvu9 ? width * height * 9 / 8 : width * height * 3;
}

uint32_t RawFrameBytes(uint32_t width, uint32_t height) {
  return width * height * 2;
}

uint64_t FinishedAviFileSize(AviImageFormat format, uint32_t width, uint32_t height,
                             uint32_t frames) {
  const uint64_t chunk = uint64_t{AviFrameBytes(format, width, height)} + kAviChunkHeadSize;
  return kAviHeaderSize + frames * chunk + kAviChunkHeadSize +
         uint64_t{kAviIndexEntrySize} * frames;
}

uint64_t RawCaptureFileSize(uint32_t width, uint32_t height, uint32_t frames) {
  return kAviHeaderSize + frames * (uint64_t{RawFrameBytes(width, height)} + kAviChunkHeadSize);
}

AviHeaderValues FinishedAviHeaderValues(AviImageFormat format, uint32_t width, uint32_t height,
                                        uint32_t frames, uint32_t durationMs) {
  const uint32_t s = AviFrameBytes(format, width, height);
  const uint64_t n = frames;
  const uint64_t d = durationMs != 0 ? durationMs : std::max<uint64_t>(n, 1);
  const bool yvu9 = format == AviImageFormat::Yvu9;
  AviHeaderValues v{};
  v.RiffSize = Saturate32(FinishedAviFileSize(format, width, height, frames) - 8);
  // Widened: in 32 bits D x 1000 wraps after 71 minutes.
  v.MicroSecPerFrame = n != 0 ? Saturate32(d * 1000 / n) : 0;
  v.TotalFrames = frames;
  v.FrameBytes = s;
  v.Width = width;
  v.Height = height;
  v.Handler = yvu9 ? kFourccYvu9 : 0;
  v.Scale = static_cast<uint32_t>(d);
  v.Rate = Saturate32(n * 1000);
  v.Length = frames;
  v.BitCount = yvu9 ? 9 : 24;
  v.Compression = yvu9 ? kFourccYvu9 : 0;
  v.MoviListSize = Saturate32(n * (uint64_t{s} + kAviChunkHeadSize) + 4);
  return v;
}

AviHeaderValues RawCaptureHeaderValues(uint32_t width, uint32_t height) {
  AviHeaderValues v{};
  v.FrameBytes = RawFrameBytes(width, height);
  v.Width = width;
  v.Height = height;
  v.BitCount = 16;
  v.Compression = kFourccUyvy;
  return v;
}

std::array<uint8_t, kAviHeaderSize> BuildAviHeader(const AviHeaderValues& v) {
  std::array<uint8_t, kAviHeaderSize> h{};
  uint8_t* p = h.data();
  PutLe32(p + 0, kFourccRiff);
  PutLe32(p + 4, v.RiffSize);
  PutLe32(p + 8, kFourccAvi);
  PutLe32(p + 12, kFourccList);
  PutLe32(p + 16, 192);  // "hdrl" up to the "movi" list
  PutLe32(p + 20, kFourccHdrl);
  PutLe32(p + 24, kFourccAvih);
  PutLe32(p + 28, 56);
  PutLe32(p + 32, v.MicroSecPerFrame);
  PutLe32(p + 36, 0);  // maximum bytes per second
  PutLe32(p + 40, 0);  // padding granularity
  PutLe32(p + 44, kAviFlagHasIndex | kAviFlagTrustChunkType);
  PutLe32(p + 48, v.TotalFrames);
  PutLe32(p + 52, 0);  // initial frames
  PutLe32(p + 56, 1);  // streams
  PutLe32(p + 60, v.FrameBytes);
  PutLe32(p + 64, v.Width);
  PutLe32(p + 68, v.Height);
  // 72..87: reserved, zero
  PutLe32(p + 88, kFourccList);
  PutLe32(p + 92, 116);  // "strl" with its two chunks
  PutLe32(p + 96, kFourccStrl);
  PutLe32(p + 100, kFourccStrh);
  PutLe32(p + 104, 56);
  PutLe32(p + 108, kFourccVids);
  PutLe32(p + 112, v.Handler);
  PutLe32(p + 116, 0);  // flags
  PutLe16(p + 120, 0);  // priority
  PutLe16(p + 122, 0);  // language
  PutLe32(p + 124, 0);  // initial frames
  PutLe32(p + 128, v.Scale);
  PutLe32(p + 132, v.Rate);
  PutLe32(p + 136, 0);  // start
  PutLe32(p + 140, v.Length);
  PutLe32(p + 144, v.FrameBytes);
  PutLe32(p + 148, kQualityDefault);
  PutLe32(p + 152, 0);  // sample size: 0, one frame a chunk
  PutLe16(p + 156, 0);  // frame rectangle left, top, right, bottom
  PutLe16(p + 158, 0);
  PutLe16(p + 160, static_cast<uint16_t>(v.Width));
  PutLe16(p + 162, static_cast<uint16_t>(v.Height));
  PutLe32(p + 164, kFourccStrf);
  PutLe32(p + 168, 40);
  PutLe32(p + 172, 40);  // bitmap header size
  PutLe32(p + 176, v.Width);
  PutLe32(p + 180, v.Height);
  PutLe16(p + 184, 1);  // planes
  PutLe16(p + 186, v.BitCount);
  PutLe32(p + 188, v.Compression);
  PutLe32(p + 192, v.FrameBytes);
  // 196..211: resolutions and colour counts, zero
  PutLe32(p + 212, kFourccList);
  PutLe32(p + 216, v.MoviListSize);
  PutLe32(p + 220, kFourccMovi);
  return h;
}

std::array<uint8_t, kAviChunkHeadSize> BuildFrameChunkHead(uint32_t size) {
  std::array<uint8_t, kAviChunkHeadSize> h{};
  PutLe32(h.data(), kFourccFrameChunk);
  PutLe32(h.data() + 4, size);
  return h;
}

uint32_t FrameSequenceDurationMs(uint32_t frames) {
  return static_cast<uint32_t>(uint64_t{frames} * 1000 / 30);
}

uint32_t VideoCaptureDurationMs(uint64_t firstToLastMicroseconds, uint32_t frames,
                                double fieldRate) {
  if (frames == 0) return 0;
  double ms = 0;
  if (frames == 1) {
    ms = fieldRate > 0 ? 1000.0 / fieldRate : 0;
  } else {
    ms = static_cast<double>(firstToLastMicroseconds) / 1000.0 * frames / (frames - 1);
  }
  const double rounded = std::floor(ms + 0.5);
  if (rounded < frames) return frames;
  return rounded >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(rounded);
}

bool StdFileSink::Write(const void* data, size_t size) {
  return std::fwrite(data, 1, size, file_) == size;
}

bool StdFileSource::Read(void* data, size_t size, size_t& got) {
  got = std::fread(data, 1, size, file_);
  return got == size || !std::ferror(file_);
}

bool WriteAviHeader(ByteSink& file, const AviHeaderValues& values) {
  const auto header = BuildAviHeader(values);
  return file.Write(header.data(), header.size());
}

bool WriteAviIndex(ByteSink& file, uint32_t frames, uint32_t frameBytes) {
  uint8_t head[kAviChunkHeadSize];
  PutLe32(head, kFourccIdx1);
  PutLe32(head + 4, kAviIndexEntrySize * frames);
  if (!file.Write(head, sizeof head)) return false;
  constexpr uint32_t kEntriesPerWrite = 4096;
  uint8_t block[kEntriesPerWrite * kAviIndexEntrySize];
  for (uint32_t first = 0; first < frames; first += kEntriesPerWrite) {
    const uint32_t count = std::min(kEntriesPerWrite, frames - first);
    for (uint32_t k = 0; k < count; ++k)
      PutIndexEntry(block + k * kAviIndexEntrySize, first + k, frameBytes);
    if (!file.Write(block, size_t{count} * kAviIndexEntrySize)) return false;
  }
  return true;
}

AviFrameConverter CaptureFrameConverter(AviImageFormat format, uint32_t width, uint32_t height) {
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (format == AviImageFormat::Yvu9)
    return [w, h](const uint8_t* uyvy, uint8_t* frame) { UyvyToYvu9(uyvy, w, h, frame); };
  return [w, h](const uint8_t* uyvy, uint8_t* frame) { UyvyFrameToBgr24Fixed(uyvy, w, h, frame); };
}

AviConversionResult ConvertRawToAvi(ByteSource& raw, ByteSink& avi, const AviConversionJob& job) {
  const uint32_t s = AviFrameBytes(job.Format, job.Width, job.Height);
  const size_t rawRead = size_t{RawFrameBytes(job.Width, job.Height)} + kAviChunkHeadSize;
  const size_t chunk = size_t{s} + kAviChunkHeadSize;

  // Zero-filled: a raw file that ends early leaves the unread part as the buffer held it.
  const auto rawBuffer = TryAllocate(rawRead);
  if (!rawBuffer) return AviConversionResult::RawBufferFailed;

  const size_t blockFrames =
      std::clamp<size_t>(kWriteBlockBytes / chunk, 1, std::max(job.Frames, 1u));
  size_t capacity = std::max<size_t>(blockFrames * chunk, kAviHeaderSize);
  auto block = TryAllocate(capacity);
  if (!block && capacity > chunk) {
    capacity = std::max<size_t>(chunk, kAviHeaderSize);
    block = TryAllocate(capacity);
  }
  if (!block) return AviConversionResult::OutputBufferFailed;
  BlockWriter out(avi, block.get(), capacity);

  const auto header = BuildAviHeader(
      FinishedAviHeaderValues(job.Format, job.Width, job.Height, job.Frames, job.DurationMs));
  uint8_t* p = out.Reserve(header.size());
  if (!p) return AviConversionResult::WriteFailed;
  std::memcpy(p, header.data(), header.size());

  for (uint32_t i = 0; i < job.Frames; ++i) {
    size_t got = 0;
    if (!raw.Read(rawBuffer.get(), rawRead, got)) return AviConversionResult::ReadFailed;
    // The frame goes straight into the output block, behind its chunk head.
    p = out.Reserve(chunk);
    if (!p) return AviConversionResult::WriteFailed;
    PutLe32(p, kFourccFrameChunk);
    PutLe32(p + 4, s);
    job.Convert(rawBuffer.get(), p + kAviChunkHeadSize);
    if (job.Progress) job.Progress(i + 1);
  }

  p = out.Reserve(kAviChunkHeadSize);
  if (!p) return AviConversionResult::WriteFailed;
  PutLe32(p, kFourccIdx1);
  PutLe32(p + 4, kAviIndexEntrySize * job.Frames);
  for (uint32_t i = 0; i < job.Frames; ++i) {
    p = out.Reserve(kAviIndexEntrySize);
    if (!p) return AviConversionResult::WriteFailed;
    PutIndexEntry(p, i, s);
  }
  return out.Flush() ? AviConversionResult::Ok : AviConversionResult::WriteFailed;
}

AviFileConversionResult ConvertRawFileToAvi(const char* rawPath, const char* aviPath,
                                            const AviConversionJob& job,
                                            AviConversionResult* detail) {
  std::FILE* raw = std::fopen(rawPath, "rb");
  if (!raw) return AviFileConversionResult::RawOpenFailed;
  std::FILE* avi = std::fopen(aviPath, "wb");
  if (!avi) {
    std::fclose(raw);
    return AviFileConversionResult::AviCreateFailed;
  }
  // Reads and writes are already whole frames and blocks; a stream buffer would only copy.
  std::setvbuf(raw, nullptr, _IONBF, 0);
  std::setvbuf(avi, nullptr, _IONBF, 0);

  AviConversionResult result = AviConversionResult::ReadFailed;
  if (std::fseek(raw, kRawFirstFrameOffset, SEEK_SET) == 0) {
    StdFileSource source(raw);
    StdFileSink sink(avi);
    result = ConvertRawToAvi(source, sink, job);
  }
  if (detail) *detail = result;
  std::fclose(raw);
  const bool closed = std::fclose(avi) == 0;
  if (result == AviConversionResult::Ok && closed) return AviFileConversionResult::Ok;
  std::remove(aviPath);
  return result != AviConversionResult::Ok ? AviFileConversionResult::ConversionFailed
                                           : AviFileConversionResult::CloseFailed;
}
