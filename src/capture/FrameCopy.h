// The two frame copy routines of the grab: W x H UYVY pixels out of a surface whose rows
// are `skip` bytes longer than the picture, into a buffer without row padding. W is a
// multiple of 4, at least 4; H at least 1. They write nothing but the destination.
#pragma once

#include <cstddef>
#include <cstdint>

// 32 bits a step, W / 2 steps a row.
void CopyFramePlain(const uint8_t* source, uint8_t* destination, size_t skip, int width,
                    int height);

// W / 4 64-bit words a row (two to a vector move where the processor has one); the same
// bytes as CopyFramePlain.
void CopyFrameMmx(const uint8_t* source, uint8_t* destination, size_t skip, int width, int height);
