// The simulated board as the program uses it: its scenario comes from the
// simulator's own registry key (HKEY_CURRENT_USER\Software\QUENDA\Simulator),
// which the program itself never reads.
#pragma once

#include "sim/SimBoard.h"
#include "sim/SimScenario.h"

inline constexpr char kSimulatorKey[] = "Software\\QUENDA\\Simulator";

// Every value is optional; a missing or malformed one keeps its default.
SimScenario LoadSimScenario();

// Powers the board up on the wall clock and installs it behind the ports.
void PowerUpSimulatedBoard(const SimScenario& scenario);
void PowerDownSimulatedBoard();
SimBoard* SimulatedBoard();
