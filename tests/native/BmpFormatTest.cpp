// The still picture's BMP headers, field by field, and what ImageMagick and ffmpeg read
// from a file written with them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/BmpFormat.h"
#include "shared/LittleEndian.h"

namespace {

using Bytes = std::vector<uint8_t>;

void ExpectHeaders(uint32_t w, uint32_t h, uint32_t fileSize) {
  SCOPED_TRACE(testing::Message() << w << " x " << h);
  const auto b = BuildBmpHeaders(w, h);
  const uint8_t* p = b.data();
  EXPECT_EQ(GetLe16(p + 0), 0x4D42u);  // "BM"
  EXPECT_EQ(GetLe32(p + 2), fileSize);
  EXPECT_EQ(GetLe16(p + 6), 0u);
  EXPECT_EQ(GetLe16(p + 8), 0u);
  EXPECT_EQ(GetLe32(p + 10), 54u);
  EXPECT_EQ(GetLe32(p + 14), 40u);
  EXPECT_EQ(GetLe32(p + 18), w);
  EXPECT_EQ(GetLe32(p + 22), h);
  EXPECT_EQ(GetLe16(p + 26), 1u);
  EXPECT_EQ(GetLe16(p + 28), 24u);
  EXPECT_EQ(GetLe32(p + 30), 0u);
  EXPECT_EQ(GetLe32(p + 34), fileSize - 54);
  for (uint32_t offset : {38u, 42u, 46u, 50u}) EXPECT_EQ(GetLe32(p + offset), 0u) << offset;
  // The clipboard's info header is the file's second header.
  const auto info = BuildBmpInfoHeader(w, h);
  EXPECT_TRUE(std::equal(info.begin(), info.end(), b.begin() + 14));
}

// A picture, top row first, whose every pixel names its place: blue, green, red.
Bytes TopDownPicture(uint32_t w, uint32_t h) {
  Bytes p(size_t{w} * h * 3);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* px = &p[(size_t{y} * w + x) * 3];
      px[0] = static_cast<uint8_t>(x);
      px[1] = static_cast<uint8_t>(y);
      px[2] = static_cast<uint8_t>((x >> 8) * 16 + (y >> 8) + 5);
    }
  return p;
}

// Headers, then the picture's rows from the bottom up, as still capture stores them.
std::string WriteBmp(const std::filesystem::path& path, uint32_t w, uint32_t h,
                     const Bytes& topDown) {
  const auto headers = BuildBmpHeaders(w, h);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(headers.data()), headers.size());
  const Bytes pad(BmpRowBytes(w) - w * 3, 0);
  for (uint32_t r = h; r-- > 0;) {
    out.write(reinterpret_cast<const char*>(&topDown[size_t{r} * w * 3]), w * 3);
    out.write(reinterpret_cast<const char*>(pad.data()), static_cast<std::streamsize>(pad.size()));
  }
  return path.string();
}

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

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

class BmpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("bmp_" + std::to_string(getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

}  // namespace

TEST(BmpLayout, StillsOfFactorOneAndFiveHaveTheirHeaderAndPixelSizes) {
  StillSize s = StillCaptureSize(352, 240, 1);
  EXPECT_EQ(s.Width, 352u);
  EXPECT_EQ(s.Height, 240u);
  EXPECT_EQ(BmpFileSize(s.Width, s.Height), 253494u);
  ExpectHeaders(s.Width, s.Height, 253494);

  s = StillCaptureSize(352, 288, 5);
  EXPECT_EQ(s.Width, 1760u);
  EXPECT_EQ(s.Height, 1440u);
  EXPECT_EQ(BmpFileSize(s.Width, s.Height), 7603254u);
  ExpectHeaders(s.Width, s.Height, 7603254);
}

TEST(BmpLayout, CaptureRowsNeedNoPaddingButOtherWidthsArePadded) {
  for (uint32_t frameHeight : {240u, 288u})
    for (uint32_t factor = 1; factor <= 5; ++factor) {
      const StillSize s = StillCaptureSize(352, frameHeight, factor);
      EXPECT_EQ(BmpRowBytes(s.Width), s.Width * 3) << factor;
      EXPECT_EQ(BmpFileSize(s.Width, s.Height), s.Width * s.Height * 3 + 54) << factor;
    }
  EXPECT_EQ(BmpRowBytes(1), 4u);
  EXPECT_EQ(BmpRowBytes(3), 12u);
  EXPECT_EQ(BmpRowBytes(5), 16u);
  ExpectHeaders(5, 3, 54 + 48);
}

TEST_F(BmpFiles, ImageMagickAndFfmpegReadThePictureTheRightWayUp) {
  const bool identify = HaveTool("identify"), ffmpeg = HaveTool("ffmpeg");
  if (!identify && !ffmpeg) GTEST_SKIP() << "neither ImageMagick nor ffmpeg installed";
  for (uint32_t factor : {1u, 5u}) {
    const StillSize s = StillCaptureSize(352, factor == 1 ? 240 : 288, factor);
    SCOPED_TRACE(testing::Message() << s.Width << " x " << s.Height);
    const Bytes picture = TopDownPicture(s.Width, s.Height);
    const std::string path = WriteBmp(dir_ / "still.bmp", s.Width, s.Height, picture);
    ASSERT_EQ(std::filesystem::file_size(path), BmpFileSize(s.Width, s.Height));
    if (identify) {
      // BMP3: the format with the 40-byte info header.
      EXPECT_EQ(
          RunTool("identify -format '%m %w %h %z %[type]' '" + path + "'"),
          "BMP3 " + std::to_string(s.Width) + " " + std::to_string(s.Height) + " 8 TrueColor");
      // ImageMagick's own decoder, top row first, red, green, blue.
      Bytes rgb;
      ASSERT_NE(RunTool("convert '" + path + "' -depth 8 rgb:-", &rgb), "<failed>");
      ASSERT_EQ(rgb.size(), picture.size());
      size_t mismatches = 0;
      for (size_t i = 0; i < picture.size(); i += 3)
        mismatches +=
            rgb[i] != picture[i + 2] || rgb[i + 1] != picture[i + 1] || rgb[i + 2] != picture[i];
      EXPECT_EQ(mismatches, 0u);
    }
    if (ffmpeg) {
      Bytes bgr;
      ASSERT_NE(RunTool("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -", &bgr),
                "<failed>");
      EXPECT_TRUE(bgr == picture) << "ffmpeg decodes another picture";
    }
  }
}
