// What the dialog tests share: running the program, clicking the main panel, and
// reading and setting a dialog's combo boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/SimScenario.h"

class SimBoard;

// Runs the program on a simulated board and `body` inside its message loop once live
// video flows, then exits.
void RunWithPanel(const std::function<void(SimBoard&)>& body, const SimScenario& scenario = {});

// A press and release at a point of the main panel, as the pointer makes them.
void ClickPanel(int x, int y);
inline constexpr POINT kPanelVideoFormat = {300, 46};
inline constexpr POINT kPanelSetCaptureFile = {340, 46};
inline constexpr POINT kPanelCaptureMode = {63, 48};

std::vector<std::string> ComboEntries(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);
// Selects an entry the way the list does when the user picks it.
void ChooseEntry(HWND dialog, int id, int index);

// The client size of a window.
SIZE ClientSize(HWND window);

// The ids Tab visits, from the first tab stop round to it again.
std::vector<int> TabOrder(HWND dialog);
