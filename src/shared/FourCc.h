// Four-character codes: pixel formats and the RIFF/AVI chunk and list ids. Stored as
// 32-bit numbers with the first character in the lowest byte, so a code written little
// endian reads as its characters in order.
#pragma once

#include <cstdint>

constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// Pixel formats, by byte order in memory.
inline constexpr uint32_t kFourccUyvy = MakeFourcc('U', 'Y', 'V', 'Y');  // U Y0 V Y1
inline constexpr uint32_t kFourccYuy2 = MakeFourcc('Y', 'U', 'Y', '2');  // Y0 U Y1 V
inline constexpr uint32_t kFourccYvu9 = MakeFourcc('Y', 'V', 'U', '9');  // Y, V, U planes
static_assert(kFourccUyvy == 0x59565955 && kFourccYuy2 == 0x32595559 && kFourccYvu9 == 0x39555659);

// RIFF/AVI chunks and lists.
inline constexpr uint32_t kFourccRiff = MakeFourcc('R', 'I', 'F', 'F');
inline constexpr uint32_t kFourccList = MakeFourcc('L', 'I', 'S', 'T');
inline constexpr uint32_t kFourccAvi = MakeFourcc('A', 'V', 'I', ' ');         // RIFF form
inline constexpr uint32_t kFourccHdrl = MakeFourcc('h', 'd', 'r', 'l');        // header list
inline constexpr uint32_t kFourccAvih = MakeFourcc('a', 'v', 'i', 'h');        // main header
inline constexpr uint32_t kFourccStrl = MakeFourcc('s', 't', 'r', 'l');        // stream list
inline constexpr uint32_t kFourccStrh = MakeFourcc('s', 't', 'r', 'h');        // stream header
inline constexpr uint32_t kFourccVids = MakeFourcc('v', 'i', 'd', 's');        // video stream
inline constexpr uint32_t kFourccStrf = MakeFourcc('s', 't', 'r', 'f');        // stream format
inline constexpr uint32_t kFourccMovi = MakeFourcc('m', 'o', 'v', 'i');        // frame list
inline constexpr uint32_t kFourccIdx1 = MakeFourcc('i', 'd', 'x', '1');        // index
inline constexpr uint32_t kFourccFrameChunk = MakeFourcc('0', '0', 'd', 'b');  // stream 0 bitmap
