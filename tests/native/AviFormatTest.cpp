// The AVI header in both of its columns, the index, the conversion pass from a raw capture
// file, and what ffprobe and ffmpeg make of the files it writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/AviFormat.h"
#include "capture/PixelKernels.h"
#include "shared/LittleEndian.h"
#include "shared/VideoStandards.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Code(const uint8_t* p) {
  return std::string(reinterpret_cast<const char*>(p), 4);
}

// One row of the header table: a number of 2 or 4 bytes, or a four-character code.
struct Field {
  uint32_t Offset;
  uint32_t Size;
  uint32_t Value;
  const char* Name;
};

void ExpectFields(const uint8_t* header, const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    const uint32_t actual = f.Size == 2 ? GetLe16(header + f.Offset) : GetLe32(header + f.Offset);
    EXPECT_EQ(actual, f.Value) << f.Name << " at " << f.Offset;
  }
}

// The rows that are the same in both columns: codes, fixed sizes, zeros.
void ExpectCommonFields(const uint8_t* h) {
  EXPECT_EQ(Code(h + 0), "RIFF");
  EXPECT_EQ(Code(h + 8), "AVI ");
  EXPECT_EQ(Code(h + 12), "LIST");
  EXPECT_EQ(Code(h + 20), "hdrl");
  EXPECT_EQ(Code(h + 24), "avih");
  EXPECT_EQ(Code(h + 88), "LIST");
  EXPECT_EQ(Code(h + 96), "strl");
  EXPECT_EQ(Code(h + 100), "strh");
  EXPECT_EQ(Code(h + 108), "vids");
  EXPECT_EQ(Code(h + 164), "strf");
  EXPECT_EQ(Code(h + 212), "LIST");
  EXPECT_EQ(Code(h + 220), "movi");
  ExpectFields(h, {{16, 4, 192, "hdrl list size"},
                   {28, 4, 56, "avih size"},
                   {36, 4, 0, "max bytes per second"},
                   {40, 4, 0, "padding granularity"},
                   {44, 4, 0x810, "flags"},
                   {52, 4, 0, "initial frames"},
                   {56, 4, 1, "streams"},
                   {72, 4, 0, "reserved"},
                   {76, 4, 0, "reserved"},
                   {80, 4, 0, "reserved"},
                   {84, 4, 0, "reserved"},
                   {92, 4, 116, "strl list size"},
                   {104, 4, 56, "strh size"},
                   {116, 4, 0, "strh flags"},
                   {120, 2, 0, "priority"},
                   {122, 2, 0, "language"},
                   {124, 4, 0, "strh initial frames"},
                   {136, 4, 0, "start"},
                   {148, 4, 0xFFFFFFFF, "quality"},
                   {152, 4, 0, "sample size"},
                   {156, 2, 0, "rect left"},
                   {158, 2, 0, "rect top"},
                   {168, 4, 40, "strf size"},
                   {172, 4, 40, "bitmap header size"},
                   {184, 2, 1, "planes"},
                   {196, 4, 0, "x resolution"},
                   {200, 4, 0, "y resolution"},
                   {204, 4, 0, "colours used"},
                   {208, 4, 0, "important colours"}});
}

// A UYVY picture whose every byte depends on its place and on the picture's number.
Bytes UyvyPicture(uint32_t w, uint32_t h, uint32_t picture) {
  Bytes p(size_t{w} * h * 2);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t m = 0; m < w / 2; ++m) {
      uint8_t* q = &p[(size_t{y} * w + 2 * m) * 2];
      q[0] = static_cast<uint8_t>(7 * m + 3 * y + 40 * picture);      // U
      q[1] = static_cast<uint8_t>(2 * m + 5 * y + 11 * picture);      // Y0
      q[2] = static_cast<uint8_t>(200 - 3 * m + y + 29 * picture);    // V
      q[3] = static_cast<uint8_t>(2 * m + 1 + 9 * y + 11 * picture);  // Y1
    }
  return p;
}

uint8_t U(const Bytes& p, uint32_t w, uint32_t x, uint32_t y) {
  return p[(size_t{y} * w + (x & ~1u)) * 2];
}
uint8_t V(const Bytes& p, uint32_t w, uint32_t x, uint32_t y) {
  return p[(size_t{y} * w + (x & ~1u)) * 2 + 2];
}
uint8_t Y(const Bytes& p, uint32_t w, uint32_t x, uint32_t y) {
  return p[(size_t{y} * w + x) * 2 + 1];
}

// Stand-ins for the pixel kernels with outputs a reader can predict from the UYVY bytes:
// RGB frames bottom row first with blue = U, green = Y, red = V; YVU9 frames with the
// Y plane, then each 4 x 4 block's top-left V, then its top-left U.
AviFrameConverter PredictableConverter(AviImageFormat format, uint32_t w, uint32_t h) {
  if (format == AviImageFormat::Rgb24)
    return [w, h](const uint8_t* in, uint8_t* out) {
      for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* row = in + size_t{h - 1 - r} * w * 2;
        for (uint32_t x = 0; x < w; ++x) {
          *out++ = row[(x & ~1u) * 2];
          *out++ = row[x * 2 + 1];
          *out++ = row[(x & ~1u) * 2 + 2];
        }
      }
    };
  return [w, h](const uint8_t* in, uint8_t* out) {
    for (size_t i = 0; i < size_t{w} * h; ++i) *out++ = in[i * 2 + 1];
    for (int chroma : {2, 0})
      for (uint32_t by = 0; by < h; by += 4)
        for (uint32_t bx = 0; bx < w; bx += 4) *out++ = in[(size_t{by} * w + bx) * 2 + chroma];
  };
}

// The raw capture file as capture writes it: its own header, then "00db" chunks.
Bytes RawCaptureFile(uint32_t w, uint32_t h, uint32_t pictures) {
  const auto header = BuildAviHeader(RawCaptureHeaderValues(w, h));
  Bytes file(header.begin(), header.end());
  for (uint32_t i = 0; i < pictures; ++i) {
    const auto head = BuildFrameChunkHead(RawFrameBytes(w, h));
    const Bytes picture = UyvyPicture(w, h, i);
    file.insert(file.end(), head.begin(), head.end());
    file.insert(file.end(), picture.begin(), picture.end());
  }
  return file;
}

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(Bytes bytes, size_t start = kRawFirstFrameOffset)
      : bytes_(std::move(bytes)), pos_(start) {}
  bool Read(void* data, size_t size, size_t& got) override {
    ++reads_;
    if (reads_ == failingRead) return false;
    got = pos_ < bytes_.size() ? std::min(size, bytes_.size() - pos_) : 0;
    std::memcpy(data, bytes_.data() + pos_, got);
    pos_ += got;
    return true;
  }
  int failingRead = 0;

 private:
  Bytes bytes_;
  size_t pos_;
  int reads_ = 0;
};

class MemorySink final : public ByteSink {
 public:
  bool Write(const void* data, size_t size) override {
    ++writes;
    if (bytes.size() + size > capacity) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  Bytes bytes;
  size_t capacity = SIZE_MAX;
  int writes = 0;
};

struct ParsedAvi {
  uint32_t MoviCode = 0;               // file offset of "movi"
  std::vector<uint32_t> FrameChunks;   // file offsets of the "00db" chunks in "movi"
  std::vector<uint32_t> IndexOffsets;  // entry offsets, relative to "movi"
  std::vector<uint32_t> IndexFlags, IndexSizes;
};

// Walks the RIFF tree the way a reader does: every size must lead exactly to the next
// chunk and the outer sizes must add up to the file.
ParsedAvi ParseAvi(const Bytes& f) {
  ParsedAvi parsed;
  EXPECT_EQ(Code(&f[0]), "RIFF");
  EXPECT_EQ(GetLe32(&f[4]) + 8u, f.size()) << "RIFF size";
  size_t pos = 12;
  while (pos + 8 <= f.size()) {
    const std::string id = Code(&f[pos]);
    const uint32_t size = GetLe32(&f[pos + 4]);
    EXPECT_LE(pos + 8 + size, f.size()) << id;
    if (id == "LIST" && Code(&f[pos + 8]) == "movi") {
      parsed.MoviCode = static_cast<uint32_t>(pos + 8);
      for (size_t c = pos + 12; c < pos + 8 + size; c += 8 + GetLe32(&f[c + 4])) {
        EXPECT_EQ(Code(&f[c]), "00db");
        parsed.FrameChunks.push_back(static_cast<uint32_t>(c));
      }
    } else if (id == "idx1") {
      for (size_t e = pos + 8; e < pos + 8 + size; e += 16) {
        EXPECT_EQ(Code(&f[e]), "00db");
        parsed.IndexFlags.push_back(GetLe32(&f[e + 4]));
        parsed.IndexOffsets.push_back(GetLe32(&f[e + 8]));
        parsed.IndexSizes.push_back(GetLe32(&f[e + 12]));
      }
    }
    pos += 8 + size;
  }
  EXPECT_EQ(pos, f.size());
  return parsed;
}

struct Converted {
  AviConversionResult Result;
  Bytes File;
  std::vector<uint32_t> Progress;
};

Converted Convert(AviImageFormat format, uint32_t w, uint32_t h, uint32_t frames,
                  uint32_t durationMs, MemorySource source) {
  Converted c;
  MemorySink sink;
  AviConversionJob job;
  job.Format = format;
  job.Width = w;
  job.Height = h;
  job.Frames = frames;
  job.DurationMs = durationMs;
  job.Convert = PredictableConverter(format, w, h);
  job.Progress = [&c](uint32_t done) { c.Progress.push_back(done); };
  c.Result = ConvertRawToAvi(source, sink, job);
  c.File = std::move(sink.bytes);
  return c;
}

Bytes Frame(const Bytes& file, const ParsedAvi& avi, size_t i) {
  const uint32_t at = avi.FrameChunks.at(i);
  return Bytes(file.begin() + at + 8, file.begin() + at + 8 + GetLe32(&file[at + 4]));
}

Bytes Predicted(AviImageFormat format, uint32_t w, uint32_t h, const Bytes& picture) {
  Bytes out(AviFrameBytes(format, w, h));
  PredictableConverter(format, w, h)(picture.data(), out.data());
  return out;
}

}  // namespace

TEST(AviHeader, FinishedColumnRgbOneFrameOfASecond) {
  const auto h = BuildAviHeader(FinishedAviHeaderValues(AviImageFormat::Rgb24, 352, 240, 1, 1000));
  ExpectCommonFields(h.data());
  ExpectFields(h.data(), {{4, 4, 253688, "RIFF size"},
                          {32, 4, 1000000, "microseconds per frame"},
                          {48, 4, 1, "total frames"},
                          {60, 4, 253440, "suggested buffer"},
                          {64, 4, 352, "width"},
                          {68, 4, 240, "height"},
                          {112, 4, 0, "handler"},
                          {128, 4, 1000, "scale"},
                          {132, 4, 1000, "rate"},
                          {140, 4, 1, "length"},
                          {144, 4, 253440, "strh suggested buffer"},
                          {160, 2, 352, "rect right"},
                          {162, 2, 240, "rect bottom"},
                          {176, 4, 352, "bitmap width"},
                          {180, 4, 240, "bitmap height"},
                          {186, 2, 24, "bits per pixel"},
                          {188, 4, 0, "compression"},
                          {192, 4, 253440, "image size"},
                          {216, 4, 253452, "movi list size"}});
}

TEST(AviHeader, FinishedColumnYvu9ThreeFrames) {
  const auto h = BuildAviHeader(FinishedAviHeaderValues(AviImageFormat::Yvu9, 352, 288, 3, 100));
  ExpectCommonFields(h.data());
  // S = 114,048; 224 + 3 x 114,056 + 48.
  ExpectFields(h.data(), {{4, 4, 342440, "RIFF size"},
                          {32, 4, 33333, "microseconds per frame"},
                          {48, 4, 3, "total frames"},
                          {60, 4, 114048, "suggested buffer"},
                          {64, 4, 352, "width"},
                          {68, 4, 288, "height"},
                          {112, 4, 0x39555659, "handler"},
                          {128, 4, 100, "scale"},
                          {132, 4, 3000, "rate"},
                          {140, 4, 3, "length"},
                          {144, 4, 114048, "strh suggested buffer"},
                          {160, 2, 352, "rect right"},
                          {162, 2, 288, "rect bottom"},
                          {176, 4, 352, "bitmap width"},
                          {180, 4, 288, "bitmap height"},
                          {186, 2, 9, "bits per pixel"},
                          {188, 4, 0x39555659, "compression"},
                          {192, 4, 114048, "image size"},
                          {216, 4, 342172, "movi list size"}});
  EXPECT_EQ(Code(h.data() + 112), "YVU9");
}

TEST(AviHeader, RawColumnHoldsNoCountsForEitherStandard) {
  for (uint32_t height : {240u, 288u}) {
    SCOPED_TRACE(height);
    const uint32_t sr = 352 * height * 2;
    const auto h = BuildAviHeader(RawCaptureHeaderValues(352, height));
    ExpectCommonFields(h.data());
    ExpectFields(h.data(), {{4, 4, 0, "RIFF size"},
                            {32, 4, 0, "microseconds per frame"},
                            {48, 4, 0, "total frames"},
                            {60, 4, sr, "suggested buffer"},
                            {64, 4, 352, "width"},
                            {68, 4, height, "height"},
                            {112, 4, 0, "handler"},
                            {128, 4, 0, "scale"},
                            {132, 4, 0, "rate"},
                            {140, 4, 0, "length"},
                            {144, 4, sr, "strh suggested buffer"},
                            {160, 2, 352, "rect right"},
                            {162, 2, height, "rect bottom"},
                            {176, 4, 352, "bitmap width"},
                            {180, 4, height, "bitmap height"},
                            {186, 2, 16, "bits per pixel"},
                            {188, 4, 0x59565955, "compression"},
                            {192, 4, sr, "image size"},
                            {216, 4, 0, "movi list size"}});
  }
  EXPECT_EQ(BuildFrameChunkHead(168960),
            (std::array<uint8_t, 8>{'0', '0', 'd', 'b', 0x00, 0x94, 0x02, 0x00}));
}

TEST(AviHeader, FrameSequenceRecordsThirtyPicturesASecond) {
  // 7 pictures: D = 233, 33,285 microseconds a frame.
  EXPECT_EQ(FrameSequenceDurationMs(7), 233u);
  auto v = FinishedAviHeaderValues(AviImageFormat::Rgb24, 352, 240, 7, FrameSequenceDurationMs(7));
  EXPECT_EQ(v.MicroSecPerFrame, 33285u);
  EXPECT_EQ(v.Scale, 233u);
  EXPECT_EQ(v.Rate, 7000u);
  // 30 pictures: one second exactly.
  v = FinishedAviHeaderValues(AviImageFormat::Yvu9, 352, 240, 30, FrameSequenceDurationMs(30));
  EXPECT_EQ(v.Scale, 1000u);
  EXPECT_EQ(v.Rate, 30000u);
  EXPECT_EQ(v.MicroSecPerFrame, 33333u);
}

TEST(AviHeader, VideoDurationIsTheRateThePicturesWereTakenAt) {
  // 46 pictures of a 59.94-field source, 45 field periods from first to last: stored at
  // the source's rate, not at 69 a second.
  const uint32_t d = VideoCaptureDurationMs(45 * 1001000 / 60, 46, kFieldRate59_94);
  EXPECT_EQ(d, 767u);
  const auto v = FinishedAviHeaderValues(AviImageFormat::Rgb24, 352, 240, 46, d);
  EXPECT_NEAR(static_cast<double>(v.Rate) / v.Scale, kFieldRate59_94, 0.05);
  // Five seconds of 50 fields: 250 pictures, 5.000 s.
  EXPECT_EQ(VideoCaptureDurationMs(249 * 20000, 250, kFieldRate50), 5000u);
  // One picture lasts one field; a span measured as nothing still gives 1 ms a frame.
  EXPECT_EQ(VideoCaptureDurationMs(0, 1, kFieldRate50), 20u);
  EXPECT_EQ(VideoCaptureDurationMs(0, 1, kFieldRate59_94), 17u);
  EXPECT_EQ(VideoCaptureDurationMs(0, 6, kFieldRate50), 6u);
  // A zero duration handed straight to the header is treated alike.
  const auto z = FinishedAviHeaderValues(AviImageFormat::Yvu9, 352, 240, 4, 0);
  EXPECT_EQ(z.Scale, 4u);
  EXPECT_EQ(z.MicroSecPerFrame, 1000u);
}

TEST(AviHeader, LongDurationsDoNotWrapTheFrameTime) {
  // 80 minutes of 50 fields a second: D x 1000 passes 32 bits.
  const uint32_t d = 80 * 60 * 1000;
  const auto v = FinishedAviHeaderValues(AviImageFormat::Yvu9, 352, 288, 240000, d);
  EXPECT_EQ(v.MicroSecPerFrame, 20000u);
  EXPECT_EQ(v.Scale, d);
  EXPECT_EQ(v.Rate, 240000000u);
}

TEST(AviIndex, EntriesPointAtEachChunkAndStopAtTheFirstFailedWrite) {
  MemorySink sink;
  ASSERT_TRUE(WriteAviIndex(sink, 3, 114048));
  ASSERT_EQ(sink.bytes.size(), 8u + 48u);
  EXPECT_EQ(Code(&sink.bytes[0]), "idx1");
  EXPECT_EQ(GetLe32(&sink.bytes[4]), 48u);
  const uint32_t offsets[] = {4, 114060, 228116};
  for (int i = 0; i < 3; ++i) {
    const uint8_t* e = &sink.bytes[8 + 16 * i];
    EXPECT_EQ(Code(e), "00db");
    EXPECT_EQ(GetLe32(e + 4), 0x10u);
    EXPECT_EQ(GetLe32(e + 8), offsets[i]);
    EXPECT_EQ(GetLe32(e + 12), 114048u);
  }

  // Many entries go out in several writes without a seam.
  MemorySink many;
  ASSERT_TRUE(WriteAviIndex(many, 10000, 95040));
  ASSERT_EQ(many.bytes.size(), 8u + 160000u);
  for (uint32_t i : {0u, 4095u, 4096u, 8191u, 8192u, 9999u})
    EXPECT_EQ(GetLe32(&many.bytes[8 + 16 * i + 8]), 4 + i * 95048) << i;

  MemorySink failing;
  failing.capacity = 8 + 16 * 5000;
  EXPECT_FALSE(WriteAviIndex(failing, 10000, 95040));
  EXPECT_EQ(failing.writes, 3) << "head, first block, failed second block, and nothing after";
}

TEST(RawToAvi, OneRgbFrameOfASecondHasItsSizesAndOffsets) {
  const Converted c =
      Convert(AviImageFormat::Rgb24, 352, 240, 1, 1000, MemorySource(RawCaptureFile(352, 240, 1)));
  ASSERT_EQ(c.Result, AviConversionResult::Ok);
  ASSERT_EQ(c.File.size(), 253696u);
  EXPECT_EQ(FinishedAviFileSize(AviImageFormat::Rgb24, 352, 240, 1), 253696u);
  const auto header =
      BuildAviHeader(FinishedAviHeaderValues(AviImageFormat::Rgb24, 352, 240, 1, 1000));
  EXPECT_TRUE(std::equal(header.begin(), header.end(), c.File.begin()));
  const ParsedAvi avi = ParseAvi(c.File);
  EXPECT_EQ(avi.MoviCode, 220u);
  ASSERT_EQ(avi.IndexOffsets, std::vector<uint32_t>{4});
  EXPECT_EQ(avi.MoviCode + avi.IndexOffsets[0], avi.FrameChunks.at(0));
  EXPECT_EQ(Frame(c.File, avi, 0),
            Predicted(AviImageFormat::Rgb24, 352, 240, UyvyPicture(352, 240, 0)));
  EXPECT_EQ(c.Progress, std::vector<uint32_t>{1});
}

TEST(RawToAvi, ManyFramesStayAlignedAndInOrderInBothFormats) {
  // Enough frames that the output spans several write blocks.
  for (AviImageFormat format : {AviImageFormat::Rgb24, AviImageFormat::Yvu9}) {
    for (uint32_t h : {240u, 288u}) {
      SCOPED_TRACE(testing::Message() << "format " << int(format) << ", " << h << " rows");
      const uint32_t n = 41;
      const Converted c = Convert(format, 352, h, n, 1367, MemorySource(RawCaptureFile(352, h, n)));
      ASSERT_EQ(c.Result, AviConversionResult::Ok);
      ASSERT_EQ(c.File.size(), FinishedAviFileSize(format, 352, h, n));
      const ParsedAvi avi = ParseAvi(c.File);
      ASSERT_EQ(avi.FrameChunks.size(), n);
      ASSERT_EQ(avi.IndexOffsets.size(), n);
      const uint32_t s = AviFrameBytes(format, 352, h);
      for (uint32_t i = 0; i < n; ++i) {
        EXPECT_EQ(avi.MoviCode + avi.IndexOffsets[i], avi.FrameChunks[i]) << i;
        EXPECT_EQ(avi.IndexFlags[i], 0x10u);
        EXPECT_EQ(avi.IndexSizes[i], s);
        EXPECT_EQ(Frame(c.File, avi, i), Predicted(format, 352, h, UyvyPicture(352, h, i))) << i;
      }
      std::vector<uint32_t> steps(n);
      for (uint32_t i = 0; i < n; ++i) steps[i] = i + 1;
      EXPECT_EQ(c.Progress, steps);
    }
  }
}

TEST(RawToAvi, ARawFileShorterThanItsCountRepeatsWhatTheBufferHeld) {
  // Three frames asked of a file holding two: the third is the second again, and a file
  // holding none gives zero pictures rather than a failure.
  Converted c =
      Convert(AviImageFormat::Yvu9, 352, 240, 3, 100, MemorySource(RawCaptureFile(352, 240, 2)));
  ASSERT_EQ(c.Result, AviConversionResult::Ok);
  ParsedAvi avi = ParseAvi(c.File);
  ASSERT_EQ(avi.FrameChunks.size(), 3u);
  EXPECT_EQ(Frame(c.File, avi, 2), Frame(c.File, avi, 1));
  EXPECT_NE(Frame(c.File, avi, 1), Frame(c.File, avi, 0));

  c = Convert(AviImageFormat::Yvu9, 352, 240, 2, 100, MemorySource(RawCaptureFile(352, 240, 0)));
  ASSERT_EQ(c.Result, AviConversionResult::Ok);
  avi = ParseAvi(c.File);
  EXPECT_EQ(Frame(c.File, avi, 0), Bytes(95040, 0));
}

TEST(RawToAvi, FailedReadsAndWritesAreReported) {
  MemorySource source(RawCaptureFile(352, 240, 5));
  source.failingRead = 3;
  EXPECT_EQ(Convert(AviImageFormat::Rgb24, 352, 240, 5, 100, std::move(source)).Result,
            AviConversionResult::ReadFailed);

  // Room for the header and three frames only: the fourth cannot be written.
  for (AviImageFormat format : {AviImageFormat::Rgb24, AviImageFormat::Yvu9}) {
    const uint32_t s = AviFrameBytes(format, 352, 240);
    for (size_t capacity : {size_t{0}, size_t{100}, size_t{224} + 3 * (s + 8) + s,
                            size_t(FinishedAviFileSize(format, 352, 240, 6) - 1)}) {
      MemorySink sink;
      sink.capacity = capacity;
      MemorySource raw(RawCaptureFile(352, 240, 6));
      AviConversionJob job;
      job.Format = format;
      job.Width = 352;
      job.Height = 240;
      job.Frames = 6;
      job.DurationMs = 200;
      job.Convert = PredictableConverter(format, 352, 240);
      EXPECT_EQ(ConvertRawToAvi(raw, sink, job), AviConversionResult::WriteFailed) << capacity;
    }
  }
}

namespace {

// A directory of its own for each test that writes files.
class AviFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("avi_" + std::to_string(getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::string WriteRaw(uint32_t w, uint32_t h, uint32_t pictures) {
    const std::string path = PathOf("temp.avi");
    const Bytes raw = RawCaptureFile(w, h, pictures);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    return path;
  }

  static AviConversionJob Job(AviImageFormat format, uint32_t w, uint32_t h, uint32_t n,
                              uint32_t d) {
    AviConversionJob job;
    job.Format = format;
    job.Width = w;
    job.Height = h;
    job.Frames = n;
    job.DurationMs = d;
    job.Convert = PredictableConverter(format, w, h);
    return job;
  }

  std::filesystem::path dir_;
};

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command and returns its standard output, or "<failed>" if it did not exit 0.
std::string RunTool(const std::string& command, Bytes* binary = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return "<failed>";
  char buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) {
    if (binary)
      binary->insert(binary->end(), buf, buf + got);
    else
      out.append(buf, got);
  }
  return pclose(p) == 0 ? out : "<failed>";
}

}  // namespace

TEST_F(AviFiles, AFailedWriteLeavesNoAviBehind) {
  // A file size limit makes the fourth frame's write fail for real.
  const uint32_t s = AviFrameBytes(AviImageFormat::Rgb24, 352, 240);
  const std::string raw = WriteRaw(352, 240, 6);
  const std::string out = PathOf("capture.avi");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 224 + 3 * (s + 8) + 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  AviConversionResult detail = AviConversionResult::Ok;
  const auto result = ConvertRawFileToAvi(raw.c_str(), out.c_str(),
                                          Job(AviImageFormat::Rgb24, 352, 240, 6, 200), &detail);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(result, AviFileConversionResult::ConversionFailed);
  EXPECT_EQ(detail, AviConversionResult::WriteFailed);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(std::filesystem::exists(raw)) << "the raw file is the caller's to delete";

  EXPECT_EQ(ConvertRawFileToAvi(PathOf("missing.avi").c_str(), out.c_str(),
                                Job(AviImageFormat::Rgb24, 352, 240, 6, 200)),
            AviFileConversionResult::RawOpenFailed);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(ConvertRawFileToAvi(raw.c_str(), PathOf("no/such/dir.avi").c_str(),
                                Job(AviImageFormat::Rgb24, 352, 240, 6, 200)),
            AviFileConversionResult::AviCreateFailed);
}

TEST_F(AviFiles, FfprobeReadsCountSizeAndRateOfBothFormats) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
  struct Case {
    AviImageFormat Format;
    uint32_t Height, Frames, DurationMs;
    const char *Codec, *PixFmt, *Rate;
  };
  const Case cases[] = {
      {AviImageFormat::Rgb24, 240, 7, FrameSequenceDurationMs(7), "rawvideo", "bgr24", "7000/233"},
      {AviImageFormat::Yvu9, 240, 7, FrameSequenceDurationMs(7), "rawvideo", "yuv410p", "7000/233"},
      {AviImageFormat::Rgb24, 288, 12, 240, "rawvideo", "bgr24", "50/1"},
      {AviImageFormat::Yvu9, 288, 12, 240, "rawvideo", "yuv410p", "50/1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(k.Format) << ", " << k.Height << " rows");
    const std::string raw = WriteRaw(352, k.Height, k.Frames);
    const std::string out = PathOf("capture.avi");
    ASSERT_EQ(ConvertRawFileToAvi(raw.c_str(), out.c_str(),
                                  Job(k.Format, 352, k.Height, k.Frames, k.DurationMs)),
              AviFileConversionResult::Ok);
    const std::string probe = RunTool(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,pix_fmt,width,height,nb_frames,nb_read_frames,r_frame_rate,"
        "avg_frame_rate -of default=noprint_wrappers=1 '" +
        out + "'");
    const std::string expected =
        std::string("codec_name=") + k.Codec + "\nwidth=352\nheight=" + std::to_string(k.Height) +
        "\npix_fmt=" + k.PixFmt + "\nr_frame_rate=" + k.Rate + "\navg_frame_rate=" + k.Rate +
        "\nnb_frames=" + std::to_string(k.Frames) + "\nnb_read_frames=" + std::to_string(k.Frames) +
        "\n";
    EXPECT_EQ(probe, expected);
  }
}

TEST_F(AviFiles, FfmpegDecodesTheKnownPicturesOfBothFormats) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  const uint32_t w = 352, h = 240, n = 3;
  const std::string raw = WriteRaw(w, h, n);

  // RGB: ffmpeg hands back top row first, so a picture stored upside down shows here.
  const std::string rgb = PathOf("rgb.avi");
  ASSERT_EQ(ConvertRawFileToAvi(raw.c_str(), rgb.c_str(), Job(AviImageFormat::Rgb24, w, h, n, 100)),
            AviFileConversionResult::Ok);
  Bytes decoded;
  ASSERT_NE(RunTool("ffmpeg -v error -i '" + rgb + "' -f rawvideo -pix_fmt bgr24 -", &decoded),
            "<failed>");
  ASSERT_EQ(decoded.size(), size_t{n} * w * h * 3);
  for (uint32_t i = 0; i < n; ++i) {
    const Bytes picture = UyvyPicture(w, h, i);
    int mismatches = 0;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* px = &decoded[((size_t{i} * h + y) * w + x) * 3];
        if (px[0] != U(picture, w, x, y) || px[1] != Y(picture, w, x, y) ||
            px[2] != V(picture, w, x, y))
          ++mismatches;
      }
    EXPECT_EQ(mismatches, 0) << "frame " << i;
  }

  // YVU9: ffmpeg's planar order is Y, U, V, so the swap of the chroma planes shows here.
  const std::string yvu9 = PathOf("yvu9.avi");
  ASSERT_EQ(ConvertRawFileToAvi(raw.c_str(), yvu9.c_str(), Job(AviImageFormat::Yvu9, w, h, n, 100)),
            AviFileConversionResult::Ok);
  decoded.clear();
  ASSERT_NE(RunTool("ffmpeg -v error -i '" + yvu9 + "' -f rawvideo -pix_fmt yuv410p -", &decoded),
            "<failed>");
  const size_t plane = size_t{w} * h, chroma = plane / 16;
  ASSERT_EQ(decoded.size(), n * (plane + 2 * chroma));
  for (uint32_t i = 0; i < n; ++i) {
    const Bytes picture = UyvyPicture(w, h, i);
    const uint8_t* f = &decoded[i * (plane + 2 * chroma)];
    int mismatches = 0;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) mismatches += f[y * w + x] != Y(picture, w, x, y);
    for (uint32_t by = 0; by < h / 4; ++by)
      for (uint32_t bx = 0; bx < w / 4; ++bx) {
        mismatches += f[plane + by * (w / 4) + bx] != U(picture, w, 4 * bx, 4 * by);
        mismatches += f[plane + chroma + by * (w / 4) + bx] != V(picture, w, 4 * bx, 4 * by);
      }
    EXPECT_EQ(mismatches, 0) << "frame " << i;
  }
}

TEST_F(AviFiles, CaptureConvertersGiveTheSamePictureInBothFormats) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  // Luma ramps under one colour a frame, so YVU9's quarter-size chroma loses nothing;
  // the last colour drives blue and red past 255.
  const uint32_t w = 352, h = 288;
  const uint8_t colours[][2] = {{90, 170}, {200, 60}, {255, 255}};
  const uint32_t n = std::size(colours);
  Bytes raw = RawCaptureFile(w, h, 0);
  std::vector<Bytes> pictures;
  for (const auto& c : colours) {
    Bytes p(size_t{w} * h * 2);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* q = &p[(size_t{y} * w + x) * 2];
        q[0] = x % 2 ? c[1] : c[0];
        q[1] = static_cast<uint8_t>(16 + (x + 2 * y) % 220);
      }
    const auto head = BuildFrameChunkHead(RawFrameBytes(w, h));
    raw.insert(raw.end(), head.begin(), head.end());
    raw.insert(raw.end(), p.begin(), p.end());
    pictures.push_back(std::move(p));
  }
  const std::string rawPath = PathOf("temp.avi");
  std::ofstream(rawPath, std::ios::binary)
      .write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));

  Bytes decoded[2];
  for (AviImageFormat format : {AviImageFormat::Rgb24, AviImageFormat::Yvu9}) {
    AviConversionJob job = Job(format, w, h, n, 100);
    job.Convert = CaptureFrameConverter(format, w, h);
    const std::string out = PathOf("capture.avi");
    ASSERT_EQ(ConvertRawFileToAvi(rawPath.c_str(), out.c_str(), job), AviFileConversionResult::Ok);
    // The converters' colour formula is full range; AVI cannot say so, the reader is told.
    ASSERT_NE(
        RunTool("ffmpeg -v error -color_range pc -i '" + out + "' -f rawvideo -pix_fmt bgr24 -",
                &decoded[static_cast<int>(format)]),
        "<failed>");
    ASSERT_EQ(decoded[static_cast<int>(format)].size(), size_t{n} * w * h * 3);
  }
  for (uint32_t i = 0; i < n; ++i) {
    int exact = 0, close = 0;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; x += 2) {
        uint8_t bgr[6];
        UyvyToBgr24Fixed(&pictures[i][(size_t{y} * w + x) * 2], bgr);
        const size_t at = ((size_t{i} * h + y) * w + x) * 3;
        // ffmpeg's own YUV-to-BGR paths round within 2.
        for (int k = 0; k < 6; ++k) {
          exact += decoded[0][at + k] != bgr[k];
          close += std::abs(decoded[1][at + k] - bgr[k]) > 2;
        }
      }
    EXPECT_EQ(exact, 0) << "24-bit RGB frame " << i;
    EXPECT_EQ(close, 0) << "YVU9 frame " << i;
  }
}
