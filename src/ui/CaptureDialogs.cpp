#include "ui/CaptureDialogs.h"

#include <commctrl.h>

#include "capture/win32/SequenceCapture.h"
#include "ui/ViewState.h"
#include "win32/MessageBox.h"
#include "win32/ModalLoops.h"
#include "win32/Program.h"

CaptureDialogsState CaptureDialogs;

namespace {

void Say(HWND owner, const char* text) {
  ShowProductMessage(owner, text, kErrorStyle);
}

void ShowFrameCount(HWND dialog) {
  SetDlgItemInt(dialog, kFrameCountId, SequenceCapture.Frames, FALSE);
}

// Ends the Capture Frames dialog: 1 after Done, 0 when it could not open.
INT_PTR CALLBACK CaptureFramesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemInt(dialog, kFrameCountId, 0, FALSE);
      switch (OpenFrameSequence()) {
        case FramesOpening::Ready:
          break;
        case FramesOpening::NoRawFile:
          Say(dialog, kFramesCreateMessage);
          EndDialog(dialog, 0);
          break;
        case FramesOpening::NoMemory:
          Say(dialog, kFramesMemoryMessage);
          EndDialog(dialog, 0);
          break;
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCaptureButtonId:
          // A greyed Capture takes no command (a key held down repeats it).
          if (!IsWindowEnabled(GetDlgItem(dialog, kCaptureButtonId))) return TRUE;
          switch (TakeSequenceFrame()) {
            case FrameTaken::Appended:
              ShowFrameCount(dialog);
              break;
            case FrameTaken::NoRoom:
              // No picture fits any more: Capture is greyed, so the message comes once and
              // only Done is left.
              EnableWindow(GetDlgItem(dialog, kCaptureButtonId), FALSE);
              Say(dialog, kFramesDiskSpaceMessage);
              break;
            case FrameTaken::NoVsync:
              Say(dialog, kFramesVsyncMessage);
              break;
            case FrameTaken::NoLock:
              Say(dialog, kFramesLockMessage);
              break;
          }
          return TRUE;
        case kDoneButtonId:
          CloseFrameSequence();
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // The dialog has no close box: this is the program closing its dialogs on the way
      // out, and the pictures taken so far are kept as Done keeps them.
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kDoneButtonId, BN_CLICKED), 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int RunCaptureFramesDialog() {
  HWND owner = Panels.MainPanel ? Panels.MainPanel : VideoWindow.Window;
  const ModalScope modal(owner);
  return static_cast<int>(DialogBoxParamA(
      ProgramInstance(), MAKEINTRESOURCEA(kCaptureFramesDialogId), owner, CaptureFramesProc, 0));
}

void ShowCaptureNotice() {
  CloseCaptureNotice();
  CaptureDialogs.Notice = CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(kCaptureNoticeId),
                                             VideoWindow.Window, nullptr, 0);
  if (CaptureDialogs.Notice) UpdateWindow(CaptureDialogs.Notice);
}

void CloseCaptureNotice() {
  if (CaptureDialogs.Notice) DestroyWindow(CaptureDialogs.Notice);
  CaptureDialogs.Notice = nullptr;
}

void ShowConversionProgress(uint32_t frames) {
  CloseConversionProgress();
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  CaptureDialogs.ProgressDialog = CreateDialogParamA(
      ProgramInstance(), MAKEINTRESOURCEA(kProgressDialogId), VideoWindow.Window, nullptr, 0);
  HWND dialog = CaptureDialogs.ProgressDialog;
  if (!dialog) return;
  // The classic range message holds 16 bits; longer captures take the 32-bit one.
  if (frames <= 0xFFFF) {
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(0, frames));
  } else {
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE32, 0, static_cast<LPARAM>(frames));
  }
  SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETSTEP, 1, 0);
  // The pass dispatches nothing: paint the dialog now or it stays blank throughout.
  UpdateWindow(dialog);
}

void StepConversionProgress() {
  if (CaptureDialogs.ProgressDialog)
    SendDlgItemMessageA(CaptureDialogs.ProgressDialog, kProgressBarId, PBM_STEPIT, 0, 0);
}

void CloseConversionProgress() {
  if (CaptureDialogs.ProgressDialog) DestroyWindow(CaptureDialogs.ProgressDialog);
  CaptureDialogs.ProgressDialog = nullptr;
}
