// What the simulated display card can do: the capabilities its DirectDraw driver
// reports and the failures it shows. Defaults describe a card with a video port, an
// autoflipping overlay and a destination colour key on the desktop's own format.
#pragma once

#include <cstdint>

struct SimCardScenario {
  bool directDraw = true;            // false: DirectDrawCreate fails
  bool videoPort = true;             // false: no DDCAPS2_VIDEOPORT, no port
  bool overlay = true;               // false: no DDCAPS_OVERLAY, overlay surfaces refused
  bool container = true;             // false: no IDDVideoPortContainer behind the DirectDraw object
  bool clipper = true;               // false: DirectDrawCreateClipper fails
  bool autoflip = true;              // false: the port cannot flip the overlay by itself
  bool interleave = false;           // true: the port can interleave both fields into one surface
  int primaryBits = 0;               // 8, 16, 24 or 32 reported for the primary; 0: the desktop's
  bool primary555 = false;           // with 16 bits: 5-5-5 masks instead of 5-6-5
  bool refuseColorKey = false;       // the overlay refuses the destination colour key
  int loseSurfacesAfterSeconds = 0;  // > 0: the first overlay is lost this long after creation
  int failOverlays = 0;              // the first N overlay creations fail for want of memory
  // The port's bandwidth answers: 0 destination type, the key always needed; 1 destination
  // type, the overlay shown without a key where the window is uncovered; 2 and 3 the same
  // two of the source type.
  int bandwidth = 0;
  // Overlay alignment, strict by default so a misapplied rule shows: the source's left
  // edge and width, the destination's left edge and width, in pixels.
  uint32_t alignBoundarySrc = 4;
  uint32_t alignSizeSrc = 8;
  uint32_t alignBoundaryDest = 8;
  uint32_t alignSizeDest = 1;
};

// From HKEY_CURRENT_USER\Software\QUENDA\Simulator; every value is optional and a
// missing or malformed one keeps its default.
SimCardScenario LoadSimCardScenario();
