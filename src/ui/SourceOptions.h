// The source options panel: brightness, contrast, saturation, hue, input and standard drawn
// over the picture while the main panel has a source option selected.
#pragma once

#include <windows.h>

// Draws the panel on the video window; run by its paint handler after the colour key.
void DrawSourceOptions();

// Segments lit for a picture setting 0..255: 0..32.
constexpr int SourceOptionSegments(int value) {
  return (value + 1) / 8;
}
