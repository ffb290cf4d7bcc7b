#include "win32/Program.h"

#include <commctrl.h>

#include "win32/ModalLoops.h"

ProgramState Program;

HINSTANCE ProgramInstance() {
  return Program.Instance ? Program.Instance : GetModuleHandleA(nullptr);
}

void RunModalDialog(int templateId, HWND owner, DLGPROC procedure) {
  InitCommonControls();
  if (QuitRequested()) return;
  const ModalScope modal(owner);
  DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId), owner, procedure, 0);
}
