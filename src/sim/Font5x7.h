// The dot font the simulated pictures write their texts in: 5 x 7 dots for each
// printable ASCII character.
#pragma once

#include <array>
#include <cstdint>

// Seven rows, top first, each as five bits with the leftmost dot in bit 4.
using Glyph = std::array<uint8_t, 7>;

// The glyph of `c`; characters outside ' '..'~' draw as '?'.
const Glyph& GlyphFor(char c);
