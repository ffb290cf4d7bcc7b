#include "win32/Program.h"

ProgramState Program;

HINSTANCE ProgramInstance() {
  return Program.Instance ? Program.Instance : GetModuleHandleA(nullptr);
}
