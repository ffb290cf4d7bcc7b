#include "ui/SetCaptureFileDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>

#include "capture/CaptureNames.h"
#include "capture/win32/StillCapture.h"
#include "resource.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"
#include "ui/FilePickers.h"
#include "ui/ViewState.h"
#include "win32/MessageBox.h"
#include "win32/Program.h"

namespace {

// Capture sizes for sizeFactor 1..5, by the standard's field height.
constexpr std::array<const char*, 5> kSizes240 = {"352 x 240", "704 x 480", "1056 x 720",
                                                  "1408 x 960", "1760 x 1200"};
constexpr std::array<const char*, 5> kSizes288 = {"352 x 288", "704 x 576", "1056 x 864",
                                                  "1408 x 1152", "1760 x 1440"};

// Names come back from the edits through a buffer of this size, terminator included.
constexpr int kEditBufferSize = static_cast<int>(kCaptureNameMax) + 1;

// What the dialog edits; written to CaptureOptions only by OK.
struct PendingOptions {
  bool toClipboard = false;
  bool numberedNames = false;
  uint32_t nameCounter = 1;
  char stillFileName[kCaptureNameCapacity] = {};
  char aviFileName[kCaptureNameCapacity] = {};
};
PendingOptions Pending;

void CopyName(char (&to)[kCaptureNameCapacity], const std::string& from) {
  const size_t n = std::min(from.size(), kCaptureNameMax);
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

void ToLower(char* text) {
  for (; *text; ++text) *text = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
}

void EnableFileControls(HWND dialog, bool enable) {
  EnableWindow(GetDlgItem(dialog, IDC_STILL_BROWSE), enable);
  EnableWindow(GetDlgItem(dialog, IDC_NUMBERED_NAMES), enable);
}

void ReadName(HWND dialog, int id, char (&name)[kCaptureNameCapacity]) {
  GetDlgItemTextA(dialog, id, name, kEditBufferSize);
}

void ShowStillName(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_STILL_NAME, Pending.stillFileName);
}

// Numbers the working still name with the pending counter. A name with no room for the
// digits stays as it is and numbering goes off again, so the check box never claims a
// numbered name that was not made.
void NumberWorkingName(HWND dialog) {
  const std::optional<std::string> numbered =
      NumberStillName(Pending.stillFileName, Pending.nameCounter);
  if (numbered) {
    CopyName(Pending.stillFileName, *numbered);
    Pending.numberedNames = true;
  } else {
    CheckDlgButton(dialog, IDC_NUMBERED_NAMES, BST_UNCHECKED);
    Pending.numberedNames = false;
    MessageBeep(MB_ICONHAND);
  }
}

// The edit holds what the user typed since the name was last set; renaming and numbering
// start from it, so typing a name and then ticking the box or browsing keeps it.
void TakeTypedStillName(HWND dialog) {
  ReadName(dialog, IDC_STILL_NAME, Pending.stillFileName);
}

void BrowseStillName(HWND dialog) {
  TakeTypedStillName(dialog);
  char before[kCaptureNameCapacity];
  std::memcpy(before, Pending.stillFileName, sizeof before);
  PickStillFileName(dialog, Pending.stillFileName);
  ToLower(Pending.stillFileName);
  ToLower(before);
  if (std::strcmp(before, Pending.stillFileName) != 0) {
    Pending.nameCounter = 1;
    if (IsDlgButtonChecked(dialog, IDC_NUMBERED_NAMES) == BST_CHECKED) NumberWorkingName(dialog);
  }
  ShowStillName(dialog);
}

void ToggleNumberedNames(HWND dialog) {
  TakeTypedStillName(dialog);
  if (IsDlgButtonChecked(dialog, IDC_NUMBERED_NAMES) == BST_CHECKED) {
    NumberWorkingName(dialog);
  } else {
    CopyName(Pending.stillFileName, UnnumberStillName(Pending.stillFileName));
    Pending.numberedNames = false;
  }
  ShowStillName(dialog);
}

void Accept(HWND dialog) {
  CaptureOptions.toClipboard = Pending.toClipboard;
  CaptureOptions.numberedNames = Pending.numberedNames;
  CaptureOptions.nameCounter = Pending.nameCounter;
  ReadName(dialog, IDC_STILL_NAME, CaptureOptions.stillFileName);
  const auto size = SendDlgItemMessageA(dialog, IDC_CAPTURE_SIZE, CB_GETCURSEL, 0, 0);
  if (size >= 0 && size < static_cast<LRESULT>(kSizes240.size()))
    CaptureOptions.sizeFactor = static_cast<int>(size) + 1;
  ReadName(dialog, IDC_AVI_NAME, CaptureOptions.aviFileName);
}

void Open(HWND dialog) {
  Pending.toClipboard = CaptureOptions.toClipboard;
  CheckRadioButton(dialog, IDC_TO_CLIPBOARD, IDC_TO_FILE,
                   Pending.toClipboard ? IDC_TO_CLIPBOARD : IDC_TO_FILE);
  EnableFileControls(dialog, !Pending.toClipboard);

  Pending.numberedNames = CaptureOptions.numberedNames;
  Pending.nameCounter = CaptureOptions.nameCounter;
  CheckDlgButton(dialog, IDC_NUMBERED_NAMES, Pending.numberedNames ? BST_CHECKED : BST_UNCHECKED);

  std::memcpy(Pending.stillFileName, CaptureOptions.stillFileName, kCaptureNameCapacity);
  Pending.stillFileName[kCaptureNameMax] = '\0';
  SendDlgItemMessageA(dialog, IDC_STILL_NAME, EM_LIMITTEXT, kCaptureNameMax, 0);
  ShowStillName(dialog);

  const auto& sizes = IsStandard240Line(Settings.VideoStandard) ? kSizes240 : kSizes288;
  for (const char* text : sizes)
    SendDlgItemMessageA(dialog, IDC_CAPTURE_SIZE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendDlgItemMessageA(dialog, IDC_CAPTURE_SIZE, CB_SETCURSEL,
                      static_cast<WPARAM>(CaptureOptions.sizeFactor - 1), 0);

  std::memcpy(Pending.aviFileName, CaptureOptions.aviFileName, kCaptureNameCapacity);
  Pending.aviFileName[kCaptureNameMax] = '\0';
  SendDlgItemMessageA(dialog, IDC_AVI_NAME, EM_LIMITTEXT, kCaptureNameMax, 0);
  SetDlgItemTextA(dialog, IDC_AVI_NAME, Pending.aviFileName);
}

}  // namespace

INT_PTR CALLBACK SetCaptureFileDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Open(dialog);
      return TRUE;
    case WM_COMMAND:
      // A name typed or pasted past what the field holds is cut there, its extension
      // first: the user is told instead of finding a file without one.
      if (HIWORD(wParam) == EN_MAXTEXT) {
        ShowProductMessage(dialog, kNameTooLongMessage, kNameTooLongStyle);
        return TRUE;
      }
      switch (LOWORD(wParam)) {
        case IDC_TO_CLIPBOARD:
          EnableFileControls(dialog, false);
          Pending.toClipboard = true;
          return TRUE;
        case IDC_TO_FILE:
          EnableFileControls(dialog, true);
          Pending.toClipboard = false;
          return TRUE;
        case IDC_STILL_BROWSE:
          BrowseStillName(dialog);
          return TRUE;
        case IDC_NUMBERED_NAMES:
          ToggleNumberedNames(dialog);
          return TRUE;
        case IDC_AVI_BROWSE:
          ReadName(dialog, IDC_AVI_NAME, Pending.aviFileName);
          PickAviFileName(dialog, Pending.aviFileName);
          SetDlgItemTextA(dialog, IDC_AVI_NAME, Pending.aviFileName);
          return TRUE;
        case IDOK:
          Accept(dialog);
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void ShowSetCaptureFileDialog() {
  RunModalDialog(IDD_SET_CAPTURE_FILE, Panels.MainPanel, SetCaptureFileDialog);
}
