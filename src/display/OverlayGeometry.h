// The arithmetic of the overlay: which part of the video port's field is shown, how the
// port prescales it, how screen rectangles map onto the overlay surface and snap to the
// driver's alignment, and which colour key a screen format gets. No window system here,
// so all of it is checked natively.
#pragma once

#include <cstdint>

#include "shared/VideoStandards.h"

// A rectangle as the window system stores one: right and bottom exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The video port's field, 720 pixels wide whatever the standard; its height is the
// standard's (VideoPortFieldHeight).
inline constexpr uint32_t kFieldWidth = 720;

// The driver's overlay alignment capabilities (the DDCAPS_ALIGN* bits of dwCaps).
inline constexpr uint32_t kAlignBoundaryDest = 0x00000002;
inline constexpr uint32_t kAlignSizeDest = 0x00000004;
inline constexpr uint32_t kAlignBoundarySrc = 0x00000008;
inline constexpr uint32_t kAlignSizeSrc = 0x00000010;

// Left rounded up to a multiple of `boundary`, then the width cut down to a multiple of
// `size`; a zero value disables its rule. Unsigned throughout, as the driver computes.
Rect AlignRect(Rect rect, bool boundaryRule, uint32_t boundary, bool sizeRule, uint32_t size);
Rect AlignSourceRule(Rect rect, uint32_t capsFlags, uint32_t boundarySrc, uint32_t sizeSrc);
Rect AlignDestRule(Rect rect, uint32_t capsFlags, uint32_t boundaryDest, uint32_t sizeDest);

// The part of the full source rectangle that the visible part `dest` of the client
// area `client` (both in screen pixels) shows. False when the client area is empty.
bool MapDestRectToSource(Rect& source, const Rect& fullSource, const Rect& dest,
                         const Rect& client);

// How the port is configured for one prescale level and client size.
struct PortGeometry {
  uint32_t PrescaleWidth = 0;   // 720 >> level
  uint32_t LeftCrop = 0;        // columns cut at each side
  uint32_t TopCrop = 0;         // blanking lines cut, plus one
  uint32_t SourceBottom = 0;    // last shown line, exclusive
  uint32_t PrescaleHeight = 0;  // lines the port delivers
  bool Prescale = false;        // the port scales (DDVP_PRESCALE)
};

// `previous` matters only for a VideoStandard outside both groups, which keeps the
// crops it had.
PortGeometry ComputePortGeometry(const PortGeometry& previous, uint32_t level, int32_t clientWidth,
                                 int32_t clientHeight, int32_t videoStandard, uint32_t fieldHeight);

// (LeftCrop, TopCrop, PrescaleWidth - LeftCrop, SourceBottom) in overlay surface pixels.
Rect FullSourceRect(const PortGeometry& geometry);

// The destination colour key for an RGB screen format: magenta at every depth, a
// palette index at 8 bits, 0 where the format is not recognised.
uint32_t ColorKeyForFormat(bool isRgb, uint32_t bitCount, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask);

// Whether the overlay needs the colour key even over a fully visible window, from the
// port's bandwidth answers (`sourceType`: the first answer was DDVPBCAPS_SOURCE).
int KeyAlwaysFromBandwidth(bool sourceType, uint32_t yInterpAndColorkey, uint32_t yInterpolate,
                           uint32_t colorkey);
