#include "app/VideoWindow.h"

#include "shared/Settings.h"
#include "app/Startup.h"
#include "hw/Decoder.h"
#include "resource.h"

VideoWindowState VideoWindow;

namespace {

void EndProgram() {
  // Muting the tuner's sound and releasing the display chain join here.
  PostQuitMessage(0);
}

}  // namespace

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

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      VideoWindow.Window = window;
      VideoWindow.PictureWidth = 352;
      if (IsValidVideoStandard(Settings.VideoStandard)) {
        VideoWindow.PictureHeight =
            IsStandard240Line(static_cast<uint32_t>(Settings.VideoStandard)) ? 240 : 288;
      }
      SizeVideoWindow(window, VideoWindow.PictureWidth, VideoWindow.PictureHeight);
      PostMessageA(window, kMsgStartLiveVideo, 0, 0);
      return 0;
    case WM_DESTROY:
      EndProgram();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == ID_EXIT) EndProgram();
      return 0;
    case kMsgStartLiveVideo:
      // Live video (video port, overlay and refresh timer) joins here.
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool CreateVideoWindow(HINSTANCE instance, int) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = VideoWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kVideoWindowClass;
  if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  HWND window = CreateWindowExA(0, kVideoWindowClass, kVideoWindowTitle, kStyleCreation, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return false;
  // The context menu (resource 124) joins here.
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return true;
}
