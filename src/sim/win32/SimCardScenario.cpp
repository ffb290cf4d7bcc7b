#include "sim/win32/SimCardScenario.h"

#include <windows.h>

#include <optional>

#include "sim/win32/ScenarioValues.h"
#include "sim/win32/SimulatedBoard.h"

SimCardScenario LoadSimCardScenario() {
  SimCardScenario card;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSimulatorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return card;
  }
  if (auto v = ReadScenarioDword(key, "NoDirectDraw")) card.directDraw = *v == 0;
  if (auto v = ReadScenarioDword(key, "NoVideoPort")) card.videoPort = *v == 0;
  if (auto v = ReadScenarioDword(key, "NoOverlay")) card.overlay = *v == 0;
  if (auto v = ReadScenarioDword(key, "NoContainer")) card.container = *v == 0;
  if (auto v = ReadScenarioDword(key, "NoClipper")) card.clipper = *v == 0;
  if (auto v = ReadScenarioDword(key, "NoAutoflip")) card.autoflip = *v == 0;
  if (auto v = ReadScenarioDword(key, "Interleave")) card.interleave = *v == 1;
  if (auto v = ReadScenarioDword(key, "PrimaryBits");
      v && (*v == 8 || *v == 16 || *v == 24 || *v == 32))
    card.primaryBits = static_cast<int>(*v);
  if (auto v = ReadScenarioDword(key, "Primary555")) card.primary555 = *v == 1;
  if (auto v = ReadScenarioDword(key, "RefuseColorKey")) card.refuseColorKey = *v == 1;
  if (auto v = ReadScenarioDword(key, "LoseSurfaces"); v && *v <= 24 * 3600)
    card.loseSurfacesAfterSeconds = static_cast<int>(*v);
  if (auto v = ReadScenarioDword(key, "FailOverlays"); v && *v <= 100)
    card.failOverlays = static_cast<int>(*v);
  if (auto v = ReadScenarioDword(key, "Bandwidth"); v && *v <= 3)
    card.bandwidth = static_cast<int>(*v);
  // A UYVY pair never splits, so the source rules are even; all are at most 64.
  const auto alignment = [key](const char* name, uint32_t& field, bool even) {
    if (auto v = ReadScenarioDword(key, name); v && *v >= 1 && *v <= 64 && !(even && *v % 2))
      field = *v;
  };
  alignment("AlignBoundarySrc", card.alignBoundarySrc, true);
  alignment("AlignSizeSrc", card.alignSizeSrc, true);
  alignment("AlignBoundaryDest", card.alignBoundaryDest, false);
  alignment("AlignSizeDest", card.alignSizeDest, false);
  RegCloseKey(key);
  return card;
}
