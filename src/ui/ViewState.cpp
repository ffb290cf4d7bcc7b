#include "ui/ViewState.h"

PanelHandles Panels;

void SizeVideoWindow(HWND window, int clientWidth, int clientHeight) {
  ShowWindow(window, SW_RESTORE);
  RECT frame;
  GetWindowRect(window, &frame);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  const int bx = origin.x - frame.left;
  const int by = origin.y - frame.top;
  const int width = clientWidth + 2 * bx;
  const int height = clientHeight + bx + by;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER);
}
