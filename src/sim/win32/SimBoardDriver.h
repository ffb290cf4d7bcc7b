// The simulated board's kernel driver: the board driver's device opens while a
// simulated board is installed behind the ports, and its control code answers with the
// status block of that board's video engine. Any other device name or handle goes to
// the platform.
#pragma once

#include "capture/win32/BoardDriver.h"

extern const BoardDriverCalls kSimulatedBoardDriver;

// Installed behind OpenBoardDriver until removed (the platform's calls then answer).
void InstallSimulatedBoardDriver();
void RemoveSimulatedBoardDriver();
