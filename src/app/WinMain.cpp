#include <windows.h>

#include "app/Startup.h"
#include "sim/win32/SimBoardDriver.h"
#include "sim/win32/SimDirectDraw.h"
#include "sim/win32/SimulatedBoard.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // No board is fitted on this machine: the simulated one stands behind the ports, the
  // board driver and DirectDraw.
  PowerUpSimulatedBoard(LoadSimScenario());
  InstallSimulatedBoardDriver();
  InstallSimulatedDirectDraw();
  const int code = RunApplication(instance, showCommand);
  RemoveSimulatedDirectDraw();
  RemoveSimulatedBoardDriver();
  PowerDownSimulatedBoard();
  return code;
}
