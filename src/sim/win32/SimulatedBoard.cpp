#include "sim/win32/SimulatedBoard.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace {

std::unique_ptr<RealClock> g_clock;
std::unique_ptr<SimBoard> g_board;

std::optional<DWORD> ReadDword(HKEY key, const char* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

// A multi-string comes back with its strings on separate lines.
std::optional<std::string> ReadString(HKEY key, const char* name, bool allowMulti = false) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ && !(allowMulti && type == REG_MULTI_SZ))) {
    return std::nullopt;
  }
  std::string text(size, '\0');
  if (size && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                               &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(size);
  if (type == REG_MULTI_SZ) {
    for (char& c : text) {
      if (c == '\0') c = '\n';
    }
  }
  text.resize(strnlen(text.c_str(), text.size()));
  return text;
}

}  // namespace

SimScenario LoadSimScenario() {
  SimScenario scenario;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSimulatorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return scenario;
  }
  if (auto v = ReadDword(key, "Decoder")) scenario.decoderPresent = *v != 0;
  if (auto v = ReadDword(key, "DecoderLate"))
    scenario.decoderDeafAddressings = static_cast<int>(*v);
  if (auto v = ReadDword(key, "Tuner"); v && *v <= 2) scenario.tuner = static_cast<int>(*v);
  if (auto v = ReadString(key, "Composite")) {
    if (auto s = ParseSourceStandard(*v)) scenario.compositeStandard = *s;
  }
  if (auto v = ReadString(key, "SVideo")) {
    if (auto s = ParseSourceStandard(*v)) scenario.svideoStandard = *s;
  }
  if (auto v = ReadDword(key, "StuckScl")) scenario.stuckScl = *v == 1;
  if (auto v = ReadDword(key, "StuckSda")) scenario.stuckSda = *v == 1;
  if (auto v = ReadString(key, "BusTrace")) scenario.busTrace = *v;
  if (auto v = ReadString(key, "EngineStats")) scenario.engineStats = *v;
  if (auto v = ReadString(key, "Stations", true)) {
    if (auto world = ParseBroadcastWorld(*v)) scenario.broadcast = std::move(*world);
  }
  RegCloseKey(key);
  return scenario;
}

void PowerUpSimulatedBoard(const SimScenario& scenario) {
  PowerDownSimulatedBoard();
  // The video engine waits for deadlines 16.7 ms apart; the default timer tick is too coarse.
  timeBeginPeriod(1);
  g_clock = std::make_unique<RealClock>();
  g_board = std::make_unique<SimBoard>(scenario, *g_clock);
  InstallPortIo(g_board.get());
}

void PowerDownSimulatedBoard() {
  InstallPortIo(nullptr);
  if (!g_board) return;
  g_board.reset();
  g_clock.reset();
  timeEndPeriod(1);
}

SimBoard* SimulatedBoard() {
  return g_board.get();
}
