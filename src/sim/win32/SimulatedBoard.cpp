#include "sim/win32/SimulatedBoard.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <string>
#include <utility>

#include "sim/win32/ScenarioValues.h"

namespace {

std::unique_ptr<RealClock> g_clock;
std::unique_ptr<SimBoard> g_board;

}  // namespace

SimScenario LoadSimScenario() {
  SimScenario scenario;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSimulatorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return scenario;
  }
  if (auto v = ReadScenarioDword(key, "Decoder")) scenario.decoderPresent = *v != 0;
  if (auto v = ReadScenarioDword(key, "DecoderLate"))
    scenario.decoderDeafAddressings = static_cast<int>(*v);
  if (auto v = ReadScenarioDword(key, "Tuner"); v && *v <= 2) scenario.tuner = static_cast<int>(*v);
  if (auto v = ReadScenarioString(key, "Composite")) {
    if (auto s = ParseSourceStandard(*v)) scenario.compositeStandard = *s;
  }
  if (auto v = ReadScenarioString(key, "SVideo")) {
    if (auto s = ParseSourceStandard(*v)) scenario.svideoStandard = *s;
  }
  if (auto v = ReadScenarioDword(key, "StuckScl")) scenario.stuckScl = *v == 1;
  if (auto v = ReadScenarioDword(key, "StuckSda")) scenario.stuckSda = *v == 1;
  if (auto v = ReadScenarioString(key, "BusTrace")) scenario.busTrace = *v;
  if (auto v = ReadScenarioString(key, "EngineStats")) scenario.engineStats = *v;
  if (auto v = ReadScenarioString(key, "Stations", true)) {
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
