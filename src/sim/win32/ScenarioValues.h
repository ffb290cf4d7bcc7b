// Reading the simulator's scenario values from its registry key: a value of the wrong
// type or size reads as absent, so a scenario never runs on a half-read value.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

std::optional<DWORD> ReadScenarioDword(HKEY key, const char* name);
// A multi-string (where allowed) comes back with its strings on separate lines.
std::optional<std::string> ReadScenarioString(HKEY key, const char* name, bool allowMulti = false);
