// The video standards the decoder handles, numbered as VideoStandard stores them, with
// what each means for the picture, the video port's field and the field rate. The
// decoder, the display chain, the captures and the simulated board all read them here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// VideoStandard values.
enum : uint32_t {
  kNtscM = 0,
  kNtscN = 1,
  kNtsc443 = 2,
  kPalBghi = 3,
  kPalM = 4,
  kPalN = 5,
  kPal443 = 6,
  kVideoStandardCount = 7,
};

// Two picture sizes: the 240-line standards send 11 blanking lines above their picture,
// so their video port field is 251 lines; the 288-line ones fill the field with picture.
inline constexpr uint32_t kPictureHeight240 = 240;
inline constexpr uint32_t kPictureHeight288 = 288;
inline constexpr uint32_t kBlankingLines240 = 11;
inline constexpr uint32_t kFieldHeight240 = kBlankingLines240 + kPictureHeight240;
inline constexpr uint32_t kFieldHeight288 = kPictureHeight288;

enum class FieldRate { Hz50, Hz59_94 };

// Fields per second.
inline constexpr double kFieldRate50 = 50.0;
inline constexpr double kFieldRate59_94 = 60000.0 / 1001.0;

struct VideoStandardInfo {
  const char* Name;        // as the main panel's read-out shows it
  uint32_t PictureHeight;  // kPictureHeight240 or kPictureHeight288
  FieldRate Rate;
  const char* SpacedName;  // as the Video Source dialog and the source options list it
};

inline constexpr std::array<VideoStandardInfo, kVideoStandardCount> kVideoStandards = {{
    {"NTSC-M", kPictureHeight240, FieldRate::Hz59_94, "NTSC - M"},
    {"NTSC-N", kPictureHeight240, FieldRate::Hz50, "NTSC - N"},
    {"NTSC-4.43", kPictureHeight240, FieldRate::Hz59_94, "NTSC - 4.43"},
    {"PAL-BGHI", kPictureHeight288, FieldRate::Hz50, "PAL - BGHI"},
    {"PAL-M", kPictureHeight240, FieldRate::Hz59_94, "PAL - M"},
    {"PAL-N", kPictureHeight288, FieldRate::Hz50, "PAL - N"},
    {"PAL-4.43", kPictureHeight288, FieldRate::Hz59_94, "PAL - 4.43"},
}};

constexpr bool IsValidVideoStandard(int64_t standard) {
  return standard >= 0 && standard < kVideoStandardCount;
}

// 0, 1, 2 and 4: 352 x 240 pictures in 251-line fields.
constexpr bool IsStandard240Line(int64_t standard) {
  return IsValidVideoStandard(standard) &&
         kVideoStandards[static_cast<std::size_t>(standard)].PictureHeight == kPictureHeight240;
}

// Picture lines a field shows (240 or 288): the video window's height in Capture Mode
// and the height of every grabbed picture. `otherwise` for a value that names no standard.
constexpr uint32_t PictureHeightForStandard(int64_t standard, uint32_t otherwise = 0) {
  if (!IsValidVideoStandard(standard)) return otherwise;
  return kVideoStandards[static_cast<std::size_t>(standard)].PictureHeight;
}

// Lines of the video port's field (251 or 288), blanking included.
constexpr uint32_t VideoPortFieldHeight(int64_t standard, uint32_t otherwise = 0) {
  if (!IsValidVideoStandard(standard)) return otherwise;
  return IsStandard240Line(standard) ? kFieldHeight240 : kFieldHeight288;
}

// Blanking lines above the picture in the video port's field (11 or 0).
constexpr uint32_t FieldBlankingLines(int64_t standard) {
  return IsStandard240Line(standard) ? kBlankingLines240 : 0;
}

// NTSC-M, NTSC-4.43, PAL-M and PAL-4.43 run at 59.94 fields a second, the others at 50.
constexpr bool StandardIs60Hz(int64_t standard) {
  return IsValidVideoStandard(standard) &&
         kVideoStandards[static_cast<std::size_t>(standard)].Rate == FieldRate::Hz59_94;
}

// Fields per second; 0 for a value that names no standard.
constexpr double FieldRateForStandard(int64_t standard) {
  if (!IsValidVideoStandard(standard)) return 0.0;
  return StandardIs60Hz(standard) ? kFieldRate59_94 : kFieldRate50;
}

// "NTSC-M" .. "PAL-4.43"; "" for a value that names no standard.
constexpr const char* VideoStandardName(int64_t standard) {
  return IsValidVideoStandard(standard) ? kVideoStandards[static_cast<std::size_t>(standard)].Name
                                        : "";
}
