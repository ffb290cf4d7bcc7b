// Which board the program drives, chosen once at start-up before anything touches it:
// the machine's own when its driver answers, the simulated one otherwise, unless the
// command line says which.
#pragma once

#include <windows.h>

#include "capture/win32/BoardDriver.h"

enum class BoardSwitch { None, Hardware, Simulate };
enum class BoardKind { Simulated, Machine };

// "/hardware" or "/simulate" (also with '-', any case); the last one given wins and
// other words are left alone.
BoardSwitch ParseBoardSwitch(const char* commandLine);

// A switch decides without asking the driver; otherwise the machine's board exactly
// when its driver's device opens through `driver`.
BoardKind ChooseBoard(BoardSwitch given, const BoardDriverCalls& driver);

// Runs the program on the machine's ports, DirectDraw and board driver. Where the
// system refuses the ports, says so once and returns 0.
int RunOnMachineBoard(HINSTANCE instance, int showCommand);

inline constexpr char kNoPortAccessMessage[] =
    "Corvan Telvista has no access to the display card's I/O ports, through which it "
    "drives the video board.\n"
    "On Windows NT and later the ports need the port access library InpOut32: put "
    "inpout32.dll (inpoutx64.dll for the 64-bit program) in the program's folder and start "
    "the program once as an administrator, so that the library can install its driver. "
    "To use the simulated board instead, start the program with /simulate.";
