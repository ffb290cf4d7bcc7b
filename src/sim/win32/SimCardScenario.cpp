#include "sim/win32/SimCardScenario.h"

#include <windows.h>

#include <optional>

#include "sim/win32/SimulatedBoard.h"

namespace {

std::optional<DWORD> ReadDword(HKEY key, const char* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

SimCardScenario LoadSimCardScenario() {
  SimCardScenario card;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSimulatorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return card;
  }
  if (auto v = ReadDword(key, "NoDirectDraw")) card.directDraw = *v == 0;
  if (auto v = ReadDword(key, "NoVideoPort")) card.videoPort = *v == 0;
  if (auto v = ReadDword(key, "NoOverlay")) card.overlay = *v == 0;
  if (auto v = ReadDword(key, "NoContainer")) card.container = *v == 0;
  if (auto v = ReadDword(key, "NoClipper")) card.clipper = *v == 0;
  if (auto v = ReadDword(key, "NoAutoflip")) card.autoflip = *v == 0;
  if (auto v = ReadDword(key, "Interleave")) card.interleave = *v == 1;
  if (auto v = ReadDword(key, "PrimaryBits"); v && (*v == 8 || *v == 16 || *v == 24 || *v == 32))
    card.primaryBits = static_cast<int>(*v);
  if (auto v = ReadDword(key, "Primary555")) card.primary555 = *v == 1;
  if (auto v = ReadDword(key, "RefuseColorKey")) card.refuseColorKey = *v == 1;
  if (auto v = ReadDword(key, "LoseSurfaces"); v && *v <= 24 * 3600)
    card.loseSurfacesAfterSeconds = static_cast<int>(*v);
  RegCloseKey(key);
  return card;
}
