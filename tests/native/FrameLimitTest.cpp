// The frame limit: the free-space rule at its edges, the bound that keeps the
// raw file and the finished AVI inside their 32-bit sizes, and drives measured apart.
#include <gtest/gtest.h>

#include "capture/AviFormat.h"
#include "capture/FrameLimit.h"

namespace {

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

CaptureDriveSpace OneDrive(uint64_t free) {
  return {free, std::nullopt, true};
}

}  // namespace

TEST(FrameLimit, BudgetsFollowTheFormatAndThePictureSize) {
  EXPECT_EQ(FramePictureBudget(0, 352, 240), 422448u);
  EXPECT_EQ(FramePictureBudget(1, 352, 240), 264048u);
  // A 288-row picture takes more room than a 240-row one.
  EXPECT_EQ(FramePictureBudget(0, 352, 288), 506928u);
  EXPECT_EQ(FramePictureBudget(1, 352, 288), 316848u);
  EXPECT_EQ(FramePictureBudget(2, 352, 240), 0u);
  EXPECT_EQ(FramePictureBudget(-1, 352, 240), 0u);
}

TEST(FrameLimit, EveryPictureTheLimitAllowsFitsWithItsConversion) {
  // Raw file and finished AVI on one drive: whatever the free space, the limit's pictures
  // and their conversion fit in it together.
  for (int format : {0, 1})
    for (uint32_t height : {240u, 288u})
      for (uint64_t free :
           {uint64_t{464 + 10 * 422448}, uint64_t{5'000'000}, uint64_t{77'777'777}}) {
        SCOPED_TRACE(testing::Message() << format << " " << height << " " << free);
        const auto f = static_cast<AviImageFormat>(format);
        const uint32_t n = ComputeFrameLimit(format, 352, height, OneDrive(free));
        EXPECT_LE(RawCaptureFileSize(352, height, n) + FinishedAviFileSize(f, 352, height, n),
                  free);
      }
  // Room for ten 240-row RGB pictures and their reserve takes seven of 288 rows.
  EXPECT_EQ(ComputeFrameLimit(0, 352, 288, OneDrive(464 + 10 * 422448)), 7u);
}

TEST(FrameLimit, FreeSpaceOnOneDrive) {
  for (int format : {0, 1}) {
    SCOPED_TRACE(format);
    for (uint32_t height : {240u, 288u}) {
      const uint64_t b = FramePictureBudget(format, 352, height);
      // Ten budgets beyond the 464 reserved bytes: nine pictures.
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(464 + 10 * b)), 9u);
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(464 + 10 * b - 1)), 8u);
      // Below two budgets nothing at all, not a wrapped count.
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(464 + 2 * b)), 1u);
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(464 + 2 * b - 1)), 0u);
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(464 + b - 1)), 0u);
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(463)), 0u);
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, OneDrive(0)), 0u);
    }
  }
}

TEST(FrameLimit, NeitherFileReachesFourGiB) {
  // Whether the space is unknown or plentiful, the count stops where the larger of the
  // two files would next reach 4 GiB.
  for (int format : {0, 1})
    for (uint32_t height : {240u, 288u}) {
      SCOPED_TRACE(testing::Message() << "format " << format << ", " << height << " rows");
      const auto f = static_cast<AviImageFormat>(format);
      const uint32_t limit = ComputeFrameLimit(format, 352, height, OneDrive(uint64_t{1} << 42));
      EXPECT_EQ(ComputeFrameLimit(format, 352, height, {}), limit);
      EXPECT_EQ(FrameLimitForFileSize(format, 352, height), limit);
      EXPECT_LT(FinishedAviFileSize(f, 352, height, limit), kFourGiB);
      EXPECT_LT(RawCaptureFileSize(352, height, limit), kFourGiB);
      EXPECT_TRUE(FinishedAviFileSize(f, 352, height, limit + 1) >= kFourGiB ||
                  RawCaptureFileSize(352, height, limit + 1) >= kFourGiB);
      // Thousands of frames, not a handful: the bound is no accident of rounding.
      EXPECT_GT(limit, 8000u);
    }
  // 24-bit RGB at 240 rows: 232 + N x (253,440 + 24) < 4 GiB.
  EXPECT_EQ(FrameLimitForFileSize(0, 352, 240), (kFourGiB - 1 - 232) / 253464);
}

TEST(FrameLimit, AnUnknownFormatIsBoundOnlyByTheRawFile) {
  const uint32_t raw = FrameLimitForFileSize(7, 352, 240);
  EXPECT_LT(RawCaptureFileSize(352, 240, raw), kFourGiB);
  EXPECT_GE(RawCaptureFileSize(352, 240, raw + 1), kFourGiB);
  EXPECT_EQ(ComputeFrameLimit(7, 352, 240, OneDrive(0)), raw);
  EXPECT_EQ(ComputeFrameLimit(7, 352, 240, {}), raw);
}

TEST(FrameLimit, TwoDrivesEachHoldTheirOwnFile) {
  const uint64_t rawShare = 352 * 240 * 2 + 24;
  const uint64_t rgbShare = 422448 - rawShare;  // 253,440 + 24
  const uint64_t plenty = uint64_t{1} << 40;
  // The raw drive with room for ten raw pictures beyond its header: nine.
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {232 + 10 * rawShare, plenty, false}), 9u);
  // The AVI drive with room for twenty finished frames: nineteen.
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {plenty, 232 + 20 * rgbShare, false}), 19u);
  EXPECT_EQ(ComputeFrameLimit(1, 352, 240, {plenty, 232 + 20 * (95040 + 24), false}), 19u);
  // The tighter drive wins; an unreadable one sets no bound.
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {232 + 10 * rawShare, 232 + 20 * rgbShare, false}), 9u);
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {std::nullopt, 232 + 20 * rgbShare, false}), 19u);
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {232 + 10 * rawShare, std::nullopt, false}), 9u);
  // The same two amounts on one drive would have to share it.
  EXPECT_LT(ComputeFrameLimit(0, 352, 240, OneDrive(232 + 20 * rgbShare)), 19u);
  // Two readable drives with room to spare still stop below 4 GiB.
  EXPECT_EQ(ComputeFrameLimit(0, 352, 240, {plenty, plenty, false}),
            FrameLimitForFileSize(0, 352, 240));
}
