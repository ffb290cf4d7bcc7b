// YVU9 planar frames back to RGB: the way the program's own UYVY to YVU9 conversion
// inverts. Each pixel keeps its Y; the V and U of its 4 x 4 block stand for the pair's
// chroma, and the pair goes through the same fixed-point converter as the program's RGB
// AVI frames. So a picture whose chroma is constant over each block comes back exactly
// as the RGB capture of it would have been written.
#pragma once

#include <cstddef>
#include <cstdint>

// A width and height the planar layout can carry: positive multiples of 4.
bool IsYvu9Geometry(int width, int height);
// Bytes of one YVU9 frame: W x H x 9 / 8.
size_t Yvu9FrameBytes(int width, int height);
// Bytes of one bottom-up RGB row at 24 or 32 bits a pixel, padded to 4 bytes.
size_t RgbRowBytes(int width, int bitsPerPixel);

// A YVU9 frame (Y, V, U planes, each top row first) to UYVY, rows top first.
bool Yvu9ToUyvy(const uint8_t* yvu9, int width, int height, uint8_t* uyvy);

// A YVU9 frame to RGB rows bottom first, 24 bits (B, G, R) or 32 bits (B, G, R, 0) a
// pixel, each row RgbRowBytes long. False, writing nothing, for another geometry or depth.
bool Yvu9ToRgb(const uint8_t* yvu9, int width, int height, int bitsPerPixel, uint8_t* rgb);
