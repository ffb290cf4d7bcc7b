#include "ui/AboutBox.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/ViewState.h"
#include "win32/Program.h"

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;  // the default button takes the focus
    case WM_COMMAND:
      // OK or Enter, Esc or the close box.
      if (wParam == IDOK || wParam == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void ShowAboutBox() {
  RunModalDialog(IDD_ABOUT, Panels.MainPanel, AboutBoxProc);
}
