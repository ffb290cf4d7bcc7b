// The process's instance handle: every unit that loads resources or creates windows
// takes it from here.
#pragma once

#include <windows.h>

struct ProgramState {
  HINSTANCE Instance = nullptr;  // saved by start-up
};
extern ProgramState Program;

// Program.Instance, or the executable's own module before start-up has saved it.
HINSTANCE ProgramInstance();

// Runs a dialog of the program's resources modally (common controls initialised first) and
// returns when it ends; its result is not used.
void RunModalDialog(int templateId, HWND owner, DLGPROC procedure);
