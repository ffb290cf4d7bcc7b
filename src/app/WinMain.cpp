#include <windows.h>

#include "app/BoardChoice.h"
#include "app/Startup.h"
#include "sim/win32/SimBoardDriver.h"
#include "sim/win32/SimDirectDraw.h"
#include "sim/win32/SimulatedBoard.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  if (ChooseBoard(ParseBoardSwitch(commandLine), PlatformBoardDriverCalls()) ==
      BoardKind::Machine) {
    return RunOnMachineBoard(instance, showCommand);
  }
  // No board here: the simulated one stands behind the ports, the board driver and
  // DirectDraw.
  PowerUpSimulatedBoard(LoadSimScenario());
  InstallSimulatedBoardDriver();
  InstallSimulatedDirectDraw();
  const int code = RunApplication(instance, showCommand);
  RemoveSimulatedDirectDraw();
  RemoveSimulatedBoardDriver();
  PowerDownSimulatedBoard();
  return code;
}
