// Clips checked before the player sees them: the program's own files pass with their
// figures, and a corpus of damaged files made here from them is refused for the fault
// each one carries, without reading outside the file.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "capture/AviClip.h"
#include "capture/AviFormat.h"
#include "shared/LittleEndian.h"

namespace {

using Bytes = std::vector<uint8_t>;

class MemoryClip final : public ClipByteSource {
 public:
  explicit MemoryClip(const Bytes& bytes) : bytes_(bytes) {}
  uint64_t Size() override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, void* data, size_t size) override {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    std::memcpy(data, bytes_.data() + offset, size);
    return true;
  }

 private:
  const Bytes& bytes_;
};

class VectorSink final : public ByteSink {
 public:
  bool Write(const void* data, size_t size) override {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  Bytes bytes;
};

// A clip as the program writes it, frames of bytes counting up.
Bytes Clip(AviImageFormat format, uint32_t w, uint32_t h, uint32_t frames) {
  VectorSink sink;
  EXPECT_TRUE(WriteAviHeader(sink, FinishedAviHeaderValues(format, w, h, frames, frames * 33)));
  const uint32_t s = AviFrameBytes(format, w, h);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto head = BuildFrameChunkHead(s);
    sink.Write(head.data(), head.size());
    Bytes frame(s);
    for (uint32_t b = 0; b < s; ++b) frame[b] = static_cast<uint8_t>(i + b);
    sink.Write(frame.data(), frame.size());
  }
  EXPECT_TRUE(WriteAviIndex(sink, frames, s));
  return sink.bytes;
}

AviClipFault Check(const Bytes& file, AviClipInfo* out = nullptr) {
  MemoryClip source(file);
  AviClipInfo info;
  const AviClipFault fault = CheckAviClip(source, info);
  if (out) *out = info;
  return fault;
}

// Offsets in the program's 224-byte header.
constexpr size_t kTotalFrames = 48;
constexpr size_t kStreamType = 108;
constexpr size_t kStrfCode = 164;
constexpr size_t kBitmapWidth = 176;
constexpr size_t kBitmapHeight = 180;
constexpr size_t kBitCount = 186;
constexpr size_t kCompression = 188;
constexpr size_t kSizeImage = 192;
constexpr size_t kMoviCode = 220;
constexpr size_t kFirstFrame = 224;

void Put32(Bytes& f, size_t at, uint32_t v) {
  PutLe32(&f[at], v);
}

size_t IndexAt(const Bytes& f, uint32_t frames) {
  return f.size() - size_t{frames} * 16;
}

}  // namespace

TEST(AviClip, TheProgramsOwnClipsPassWithTheirFigures) {
  AviClipInfo info;
  ASSERT_EQ(Check(Clip(AviImageFormat::Rgb24, 352, 240, 3), &info), AviClipFault::None);
  EXPECT_EQ(info.Width, 352u);
  EXPECT_EQ(info.Height, 240u);
  EXPECT_FALSE(info.TopDown);
  EXPECT_EQ(info.BitCount, 24);
  EXPECT_EQ(info.Compression, 0u);
  EXPECT_EQ(info.Handler, 0u);
  EXPECT_EQ(info.HeaderFrames, 3u);
  EXPECT_EQ(info.FileFrames, 3u);

  ASSERT_EQ(Check(Clip(AviImageFormat::Yvu9, 64, 48, 2), &info), AviClipFault::None);
  EXPECT_EQ(info.Compression, MakeFourcc('Y', 'V', 'U', '9'));
  EXPECT_EQ(info.FileFrames, 2u);
}

TEST(AviClip, DamagedFilesAreRefusedForTheirFault) {
  const uint32_t n = 4;
  const Bytes good = Clip(AviImageFormat::Rgb24, 8, 4, n);
  const uint32_t frameBytes = 8 * 4 * 3;
  struct Case {
    std::string Name;
    Bytes File;
    AviClipFault Fault;
  };
  std::vector<Case> cases;
  auto with = [&](std::string name, AviClipFault fault, auto&& change) {
    Bytes f = good;
    change(f);
    cases.push_back({std::move(name), std::move(f), fault});
  };
  with("empty", AviClipFault::NotAvi, [](Bytes& f) { f.clear(); });
  with("a WAVE file", AviClipFault::NotAvi,
       [](Bytes& f) { Put32(f, 8, MakeFourcc('W', 'A', 'V', 'E')); });
  with("cut at 230 bytes", AviClipFault::Truncated, [](Bytes& f) { f.resize(230); });
  with("cut in the index", AviClipFault::Truncated, [](Bytes& f) { f.resize(f.size() - 8); });
  with("no main header", AviClipFault::BadHeader,
       [](Bytes& f) { Put32(f, 24, MakeFourcc('J', 'U', 'N', 'K')); });
  with("no stream format", AviClipFault::BadHeader,
       [](Bytes& f) { Put32(f, kStrfCode, MakeFourcc('J', 'U', 'N', 'K')); });
  with("audio only", AviClipFault::NoVideoStream,
       [](Bytes& f) { Put32(f, kStreamType, MakeFourcc('a', 'u', 'd', 's')); });
  with("zero width", AviClipFault::BadGeometry, [](Bytes& f) { Put32(f, kBitmapWidth, 0); });
  with("height of -2^31", AviClipFault::BadGeometry,
       [](Bytes& f) { Put32(f, kBitmapHeight, 0x80000000u); });
  with("a huge width", AviClipFault::BadGeometry, [](Bytes& f) { Put32(f, kBitmapWidth, 100000); });
  with("12-bit RGB", AviClipFault::UnsupportedFormat, [](Bytes& f) { PutLe16(&f[kBitCount], 12); });
  with("image size not the picture's", AviClipFault::FrameSizeMismatch,
       [&](Bytes& f) { Put32(f, kSizeImage, frameBytes - 24); });
  // Taller frames than the bitmap says: each chunk holds more than one picture.
  with("RGB frames longer than the picture", AviClipFault::FrameSizeMismatch, [](Bytes& f) {
    Put32(f, kBitmapHeight, 3);
    Put32(f, kSizeImage, 0);
  });
  with("30 frames promised", AviClipFault::FramesMissing,
       [](Bytes& f) { Put32(f, kTotalFrames, 30); });
  with("no frame promised", AviClipFault::NoFrames, [](Bytes& f) { Put32(f, kTotalFrames, 0); });
  with("a frame chunk past the frame list", AviClipFault::Truncated,
       [](Bytes& f) { Put32(f, kFirstFrame + 4, 0x7FFFFFF0); });
  with("an index entry past the frame list", AviClipFault::IndexOutside,
       [&](Bytes& f) { Put32(f, IndexAt(f, n) + 3 * 16 + 12, 0x10000); });
  with("an index entry before the frame list", AviClipFault::IndexOutside,
       [&](Bytes& f) { Put32(f, IndexAt(f, n) + 16 + 8, 0); });
  for (const Case& c : cases) {
    EXPECT_EQ(Check(c.File), c.Fault) << c.Name;
  }

  // What other writers do and the player handles is left alone: top-down rows, offsets
  // counted from the start of the file, compressed frames of any size, more frames than
  // the header counts.
  Bytes topDown = good;
  Put32(topDown, kBitmapHeight, static_cast<uint32_t>(-4));
  AviClipInfo info;
  EXPECT_EQ(Check(topDown, &info), AviClipFault::None);
  EXPECT_TRUE(info.TopDown);
  EXPECT_EQ(info.Height, 4u);
  Bytes absolute = good;
  for (uint32_t i = 0; i < n; ++i) {
    const size_t at = IndexAt(absolute, n) + i * 16 + 8;
    Put32(absolute, at, GetLe32(&absolute[at]) + kMoviCode);
  }
  EXPECT_EQ(Check(absolute), AviClipFault::None);
  Bytes compressed = good;
  Put32(compressed, kCompression, MakeFourcc('M', 'J', 'P', 'G'));
  Put32(compressed, kSizeImage, 7);
  EXPECT_EQ(Check(compressed), AviClipFault::None);
  Bytes fewer = good;
  Put32(fewer, kTotalFrames, 2);
  EXPECT_EQ(Check(fewer, &info), AviClipFault::None);
  EXPECT_EQ(info.FileFrames, n);
}

// Every prefix of a clip is refused, and no damage makes the check read outside the file
// (the sanitizer build watches the reads) or pass a clip without frames.
TEST(AviClip, CutAndScrambledFilesNeverPassUnchecked) {
  const Bytes good = Clip(AviImageFormat::Yvu9, 8, 4, 3);
  for (size_t length = 0; length < good.size(); ++length) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_NE(Check(cut), AviClipFault::None) << length;
  }
  std::mt19937 rng(17);
  for (int round = 0; round < 3000; ++round) {
    Bytes f = good;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      f[rng() % f.size()] = static_cast<uint8_t>(rng());
    }
    AviClipInfo info;
    if (Check(f, &info) == AviClipFault::None) {
      EXPECT_GE(info.FileFrames, info.HeaderFrames);
      EXPECT_GE(info.HeaderFrames, 1u);
    }
  }
}
