#include "ui/VideoSourceDialog.h"

#include <commctrl.h>

#include <algorithm>

#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "hw/Audio.h"
#include "hw/Decoder.h"
#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"
#include "win32/MessageBox.h"
#include "win32/Program.h"

VideoSourceDialogState VideoSourceDialog;

// The input buttons' ids are the VideoConnector values they choose.
static_assert(IDC_SVIDEO == kConnectorSVideo);
static_assert(IDC_COMPOSITE == kConnectorComposite);
static_assert(IDC_TUNER == kConnectorTuner);

namespace {

// Default returns to the decoder's own initial registers (0x80, 0x47, 0x40, 0x00), which
// is why its contrast is 142 where a first run's settings hold 144.
constexpr int kDefaultBrightness = 128;
constexpr int kDefaultContrast = 142;
constexpr int kDefaultSaturation = 128;
constexpr int kDefaultHue = 128;

// Each picture control: its scroll bar, read-out and place in the working copy.
struct PictureBar {
  int Bar;
  int Readout;
  int32_t VideoSourceWorkingCopy::*Value;
  PictureControl Control;
};

constexpr PictureBar kPictureBars[] = {
    {IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_VALUE, &VideoSourceWorkingCopy::Brightness,
     PictureControl::Brightness},
    {IDC_CONTRAST_BAR, IDC_CONTRAST_VALUE, &VideoSourceWorkingCopy::Contrast,
     PictureControl::Contrast},
    {IDC_SATURATION_BAR, IDC_SATURATION_VALUE, &VideoSourceWorkingCopy::Saturation,
     PictureControl::Saturation},
    {IDC_HUE_BAR, IDC_HUE_VALUE, &VideoSourceWorkingCopy::Hue, PictureControl::Hue},
};

void Write(const PictureBar& c, int32_t value) {
  SourceSetPictureControl(c.Control, static_cast<uint32_t>(value));
}

VideoSourceWorkingCopy& Working() {
  return VideoSourceDialog.Working;
}

void ShowSetting(HWND dialog, const PictureBar& c, bool wholeSetUp) {
  const int value = Working().*c.Value;
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  if (wholeSetUp) {
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = kPictureScrollMax;
    si.nPage = kPictureScrollPage;
  } else {
    si.fMask = SIF_POS;
  }
  si.nPos = value;
  SendDlgItemMessageA(dialog, c.Bar, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&si));
  SetDlgItemInt(dialog, c.Readout, static_cast<UINT>(value), FALSE);
}

void InitDialog(HWND dialog) {
  VideoSourceWorkingCopy& w = Working();
  w.Brightness = Settings.Brightness;
  w.Contrast = Settings.Contrast;
  w.Saturation = Settings.Saturation;
  w.Hue = Settings.Hue;
  w.VideoConnector = Settings.VideoConnector;
  w.VideoStandard = Settings.VideoStandard;
  for (const PictureBar& c : kPictureBars) ShowSetting(dialog, c, true);
  CheckRadioButton(dialog, IDC_SVIDEO, IDC_TUNER, w.VideoConnector);
  for (const VideoStandardInfo& standard : kVideoStandards)
    SendDlgItemMessageA(dialog, IDC_STANDARD_LIST, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(standard.SpacedName));
  SendDlgItemMessageA(dialog, IDC_STANDARD_LIST, CB_SETCURSEL, static_cast<WPARAM>(w.VideoStandard),
                      0);
}

// Returns false for a scroll bar that is none of the four.
bool OnScroll(HWND dialog, WPARAM wParam, LPARAM lParam) {
  const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
  for (const PictureBar& c : kPictureBars) {
    if (c.Bar != id) continue;
    int32_t& value = Working().*c.Value;
    value = ScrolledPictureValue(value, LOWORD(wParam), HIWORD(wParam));
    ShowSetting(dialog, c, false);
    Write(c, value);
    return true;
  }
  ShowProductMessage(dialog, kInvalidControlMessage, MB_OK);
  return false;
}

void ChooseStandard(HWND dialog) {
  const LRESULT index = SendDlgItemMessageA(dialog, IDC_STANDARD_LIST, CB_GETCURSEL, 0, 0);
  if (!IsValidVideoStandard(index)) return;
  Working().VideoStandard = static_cast<int32_t>(index);
  SourceSetStandard(static_cast<int>(index));
}

void ChooseInput(HWND dialog, int id) {
  VideoSourceWorkingCopy& w = Working();
  switch (id) {
    case IDC_COMPOSITE:
    case IDC_SVIDEO:
      // The radio buttons' ids are the VideoConnector values.
      if (w.VideoConnector == kConnectorTuner) AudioMute();
      w.VideoConnector = id;
      SourceSelectInput(static_cast<uint32_t>(id), TunerProbe::SecondAddress);
      break;
    case IDC_TUNER:
      if (TunerAnswers(TunerProbe::SecondAddress)) {
        RememberInputBeforeTuner(w.VideoConnector);
        w.VideoConnector = kConnectorTuner;
        SourceSelectInput(kConnectorTuner, TunerProbe::SecondAddress);
      } else {
        ShowProductMessage(dialog, kTunerMissingMessage, kErrorStyle);
        CheckRadioButton(dialog, IDC_SVIDEO, IDC_TUNER, w.VideoConnector);
      }
      break;
  }
}

void SetDefaults(HWND dialog) {
  VideoSourceWorkingCopy& w = Working();
  w.Brightness = kDefaultBrightness;
  w.Contrast = kDefaultContrast;
  w.Saturation = kDefaultSaturation;
  w.Hue = kDefaultHue;
  for (const PictureBar& c : kPictureBars) {
    ShowSetting(dialog, c, true);
    Write(c, w.*c.Value);
  }
  if (w.VideoConnector == kConnectorTuner) AudioMute();
  w.VideoConnector = kConnectorComposite;
  CheckRadioButton(dialog, IDC_SVIDEO, IDC_TUNER, IDC_COMPOSITE);
  SourceSelectInput(kConnectorComposite, TunerProbe::SecondAddress);
  w.VideoStandard = kNtscM;
  SendDlgItemMessageA(dialog, IDC_STANDARD_LIST, CB_SETCURSEL, kNtscM, 0);
  SourceSetStandard(kNtscM);
}

// EndDialog only hides a modeless dialog: destroy it too, so none is left behind.
void Close(HWND dialog) {
  EndDialog(dialog, 1);
  VideoSourceDialog.VideoSourceOpen = 0;
  DestroyWindow(dialog);
}

void Keep(HWND dialog) {
  const VideoSourceWorkingCopy& w = Working();
  Settings.Brightness = w.Brightness;
  Settings.Contrast = w.Contrast;
  Settings.Saturation = w.Saturation;
  Settings.Hue = w.Hue;
  Settings.VideoConnector = w.VideoConnector;
  Settings.VideoStandard = w.VideoStandard;

  const bool tuner = w.VideoConnector == kConnectorTuner;
  if (VideoWindow.ContextMenu)
    EnableMenuItem(VideoWindow.ContextMenu, kTunerSubmenuPosition,
                   MF_BYPOSITION | (tuner ? MF_ENABLED : MF_GRAYED));
  if (VideoWindow.Window) DrawMenuBar(VideoWindow.Window);
  Close(dialog);

  if (tuner) {
    ShowTunerPanel();
  } else if (TunerPanelExists()) {
    // The panel's close selects the input it returns to: make that the one chosen here.
    RememberInputBeforeTuner(w.VideoConnector);
    SendMessageA(TunerPanelWindow(), WM_COMMAND, kCmdCloseTunerPanel, 0);
  }

  SourceFitCaptureMode(w.VideoStandard);
}

// The hardware goes back to the stored Settings, not to the working copy: the picture
// and the sound of the stored input, since a choice tried here may have rerouted it.
void Restore(HWND dialog) {
  const VideoSourceWorkingCopy& w = Working();
  SourceWriteStoredPicture();
  switch (Settings.VideoConnector) {
    case kConnectorComposite:
    case kConnectorSVideo:
      if (w.VideoConnector == kConnectorTuner) AudioMute();
      SourceSelectInput(static_cast<uint32_t>(Settings.VideoConnector), TunerProbe::SecondAddress);
      break;
    case kConnectorTuner:
      SourceRetakeTuner();
      break;
  }
  if (Settings.VideoStandard != w.VideoStandard && IsValidVideoStandard(Settings.VideoStandard))
    SourceSetStandard(Settings.VideoStandard);
  Close(dialog);
}

}  // namespace

int ScrolledPictureValue(int value, int code, int thumbPosition) {
  switch (code) {
    case SB_LINELEFT:
      value -= 1;
      break;
    case SB_LINERIGHT:
      value += 1;
      break;
    case SB_PAGELEFT:
      value -= 10;
      break;
    case SB_PAGERIGHT:
      value += 10;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      value = thumbPosition;
      break;
    default:
      return value;
  }
  return std::clamp(value, 0, 255);
}

INT_PTR CALLBACK VideoSourceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      VideoSourceDialog.Window = dialog;
      InitDialog(dialog);
      return TRUE;
    case WM_HSCROLL:
      return OnScroll(dialog, wParam, lParam) ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDC_STANDARD_LIST) {
        if (code == CBN_SELCHANGE) ChooseStandard(dialog);
        return TRUE;
      }
      if (code != BN_CLICKED) return FALSE;
      switch (id) {
        case IDC_COMPOSITE:
        case IDC_SVIDEO:
        case IDC_TUNER:
          ChooseInput(dialog, id);
          return TRUE;
        case IDC_DEFAULT:
          SetDefaults(dialog);
          return TRUE;
        case IDOK:
          Keep(dialog);
          return TRUE;
        case IDCANCEL:
          Restore(dialog);
          return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      if (VideoSourceDialog.Window == dialog) {
        VideoSourceDialog.Window = nullptr;
        VideoSourceDialog.VideoSourceOpen = 0;
      }
      return FALSE;
  }
  return FALSE;
}

void ShowVideoSourceDialog() {
  InitCommonControls();
  if (VideoSourceDialog.VideoSourceOpen == 1) return;
  HWND dialog = CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(IDD_VIDEO_SOURCE),
                                   Panels.MainPanel, VideoSourceDialogProc, 0);
  if (dialog) VideoSourceDialog.VideoSourceOpen = 1;
}
