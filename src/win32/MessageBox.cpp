#include "win32/MessageBox.h"

#include "win32/ModalLoops.h"

namespace {
MessageBoxHook g_hook = nullptr;
}

int ShowProductMessage(HWND owner, const char* text, UINT style) {
  if (g_hook) return g_hook(owner, text, kProductCaption, style);
  const ModalScope modal(owner, false);
  return MessageBoxA(owner, text, kProductCaption, style);
}

void SetMessageBoxHook(MessageBoxHook hook) {
  g_hook = hook;
}
