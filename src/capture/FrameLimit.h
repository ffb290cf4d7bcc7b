// How many pictures a frame-sequence or video capture may take: as many as the free disk
// space allows for the raw file and the finished AVI together, and never so many that
// either file reaches 4 GiB, where its 32-bit RIFF fields would wrap.
#pragma once

#include <cstdint>
#include <optional>

constexpr uint32_t kNoFrameLimit = 0xFFFFFFFF;

// B, the disk budget of one W x H picture for aviFormat: its raw and its finished frame
// plus 48 bytes of chunk heads and index. 0 for a format capture cannot convert to.
uint32_t FramePictureBudget(int aviFormat, uint32_t width, uint32_t height);

// Free space of the drives a capture writes; nullopt where it could not be read.
struct CaptureDriveSpace {
  std::optional<uint64_t> RawDrive;  // the raw capture file's
  std::optional<uint64_t> AviDrive;  // aviFileName's; not consulted when SameDrive
  bool SameDrive = true;
};

// (F - reserve) div budget - 1, and 0 when F - reserve is less than two budgets.
uint32_t FrameLimitForFreeSpace(uint64_t freeBytes, uint64_t reserve, uint64_t budget);

// The most pictures for which both the raw file (W x H x 2 a picture) and the finished
// AVI stay below 4 GiB; for an unknown format, the raw file alone.
uint32_t FrameLimitForFileSize(int aviFormat, uint32_t width, uint32_t height);

// The frame limit of a capture of W x H pictures. On one drive, its free space less 464
// bytes of headers is shared at B a picture. On two, each drive must hold its own file:
// the raw share (W x H x 2 + 24) and the finished share (the rest of B), with 232
// bytes of headers each. A drive whose space is unknown sets no bound; an unknown
// format sets none either, beyond the 4 GiB bound that always applies.
uint32_t ComputeFrameLimit(int aviFormat, uint32_t width, uint32_t height,
                           const CaptureDriveSpace& space);
