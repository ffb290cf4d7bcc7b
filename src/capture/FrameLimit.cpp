#include "capture/FrameLimit.h"

#include <algorithm>

#include "capture/AviFormat.h"
#include "shared/VideoStandards.h"

namespace {

constexpr uint32_t kBudgetSlack = 48;  // raw and finished chunk heads, index entry, spare
constexpr uint32_t kRawShareSlack = 24;
constexpr uint64_t kSharedDriveReserve = 464;  // both files' headers
constexpr uint64_t kSingleFileReserve = 232;   // one file's header
constexpr uint64_t kLargestFileSize = 0xFFFFFFFF;

bool KnownFormat(int aviFormat) {
  return aviFormat == 0 || aviFormat == 1;
}

uint32_t FramesBelow4GiB(uint64_t fixedBytes, uint64_t bytesPerFrame) {
  return static_cast<uint32_t>(
      std::min<uint64_t>((kLargestFileSize - fixedBytes) / bytesPerFrame, kNoFrameLimit));
}

}  // namespace

uint32_t FramePictureBudget(int aviFormat, uint32_t width, uint32_t height) {
  if (!KnownFormat(aviFormat)) return 0;
  const auto format = static_cast<AviImageFormat>(aviFormat);
  return RawFrameBytes(width, height) + AviFrameBytes(format, width, height) + kBudgetSlack;
}

uint32_t FrameLimitForFreeSpace(uint64_t freeBytes, uint64_t reserve, uint64_t budget) {
  if (freeBytes < reserve || freeBytes - reserve < 2 * budget) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>((freeBytes - reserve) / budget - 1, kNoFrameLimit));
}

uint32_t FrameLimitForFileSize(int aviFormat, uint32_t width, uint32_t height) {
  // Raw: header, then per picture its chunk head and UYVY bytes.
  uint32_t limit =
      FramesBelow4GiB(kAviHeaderSize, uint64_t{RawFrameBytes(width, height)} + kAviChunkHeadSize);
  if (KnownFormat(aviFormat)) {
    // Finished: header and index head, then per frame its chunk and its index entry.
    const auto format = static_cast<AviImageFormat>(aviFormat);
    const uint64_t perFrame =
        uint64_t{AviFrameBytes(format, width, height)} + kAviChunkHeadSize + kAviIndexEntrySize;
    limit = std::min(limit, FramesBelow4GiB(kAviHeaderSize + kAviChunkHeadSize, perFrame));
  }
  return limit;
}

uint32_t ComputeFrameLimit(int aviFormat, uint32_t width, uint32_t height,
                           const CaptureDriveSpace& space) {
  uint32_t limit = FrameLimitForFileSize(aviFormat, width, height);
  if (!KnownFormat(aviFormat)) return limit;
  const uint32_t budget = FramePictureBudget(aviFormat, width, height);
  if (space.SameDrive) {
    if (space.RawDrive)
      limit = std::min(limit, FrameLimitForFreeSpace(*space.RawDrive, kSharedDriveReserve, budget));
    return limit;
  }
  const uint32_t rawShare = RawFrameBytes(width, height) + kRawShareSlack;
  if (space.RawDrive)
    limit = std::min(limit, FrameLimitForFreeSpace(*space.RawDrive, kSingleFileReserve, rawShare));
  if (space.AviDrive)
    limit = std::min(
        limit, FrameLimitForFreeSpace(*space.AviDrive, kSingleFileReserve, budget - rawShare));
  return limit;
}
