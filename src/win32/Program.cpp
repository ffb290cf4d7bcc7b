#include "win32/Program.h"

#include <commctrl.h>

ProgramState Program;

HINSTANCE ProgramInstance() {
  return Program.Instance ? Program.Instance : GetModuleHandleA(nullptr);
}

void RunModalDialog(int templateId, HWND owner, DLGPROC procedure) {
  InitCommonControls();
  DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), owner, procedure, 0);
}
