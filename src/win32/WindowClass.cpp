#include "win32/WindowClass.h"

bool RegisterWindowClass(const char* name, WNDPROC procedure, HINSTANCE instance, UINT style,
                         HICON icon, HBRUSH background) {
  WNDCLASSA wc = {};
  wc.style = style;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
