#include "ui/VideoFormatDialog.h"

#include <commctrl.h>

#include <array>

#include "capture/win32/StillCapture.h"
#include "hw/SourceControl.h"
#include "resource.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"
#include "ui/ViewState.h"
#include "win32/Program.h"

namespace {

struct SizeEntry {
  const char* Text;
  int Width;
  int Height;
};

// Window sizes offered in LiveVideo Mode; the entry after them is full screen.
constexpr std::array<SizeEntry, 6> kLiveSizes = {{
    {"160 x 120", 160, 120},
    {"176 x 120", 176, 120},
    {"320 x 240", 320, 240},
    {"352 x 240", 352, 240},
    {"640 x 480", 640, 480},
    {"720 x 480", 720, 480},
}};
constexpr int kFullScreenEntry = 6;
constexpr char kFullScreenText[] = "Full Screen";

constexpr std::array<const char*, 2> kAviFormats = {"24-bit  RGB", "YVU9 Planar  (Indeo Raw)"};

// Outside LiveVideo Mode the picture is one field of the current standard.
// Capture Mode's one size: a field of the standard.
SizeEntry FieldSize() {
  const PictureSize s = CaptureModeSize(Settings.VideoStandard, kPictureHeight288);
  return {s.Height == kPictureHeight240 ? "352 x 240" : "352 x 288", s.Width, s.Height};
}

LRESULT ComboMessage(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

void AddEntry(HWND dialog, int id, const char* text) {
  ComboMessage(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void FillSizes(HWND dialog) {
  const int w = VideoWindow.PictureWidth;
  const int h = VideoWindow.PictureHeight;
  if (VideoWindow.ViewMode == kLiveVideoMode) {
    int selected = -1;
    for (size_t i = 0; i < kLiveSizes.size(); ++i) {
      AddEntry(dialog, IDC_IMAGE_SIZE, kLiveSizes[i].Text);
      if (kLiveSizes[i].Width == w && kLiveSizes[i].Height == h) selected = static_cast<int>(i);
    }
    AddEntry(dialog, IDC_IMAGE_SIZE, kFullScreenText);
    if (selected < 0 && IsZoomed(VideoWindow.Window)) selected = kFullScreenEntry;
    ComboMessage(dialog, IDC_IMAGE_SIZE, CB_SETCURSEL, static_cast<WPARAM>(selected));
  } else if (VideoWindow.ViewMode == kCaptureMode) {
    const SizeEntry field = FieldSize();
    AddEntry(dialog, IDC_IMAGE_SIZE, field.Text);
    if (field.Width == w && field.Height == h)
      ComboMessage(dialog, IDC_IMAGE_SIZE, CB_SETCURSEL, 0);
    EnableWindow(GetDlgItem(dialog, IDC_FULL_SCREEN), FALSE);
  }
  // Playback: no sizes to offer.
}

void Apply(HWND dialog) {
  HWND video = VideoWindow.Window;
  SizeEntry size = FieldSize();
  if (VideoWindow.ViewMode == kLiveVideoMode) {
    const auto selected = static_cast<int>(ComboMessage(dialog, IDC_IMAGE_SIZE, CB_GETCURSEL));
    if (selected == kFullScreenEntry) {
      SendMessageA(video, WM_COMMAND, ID_FULL_SCREEN, 0);
      EndDialog(dialog, 1);
      return;
    }
    if (selected >= 0 && selected < static_cast<int>(kLiveSizes.size())) {
      size = kLiveSizes[static_cast<size_t>(selected)];
    } else {
      size = {nullptr, VideoWindow.PictureWidth, VideoWindow.PictureHeight};
    }
  }
  const auto format = ComboMessage(dialog, IDC_IMAGE_FORMAT, CB_GETCURSEL);
  if (format >= 0 && format < static_cast<LRESULT>(kAviFormats.size()))
    CaptureOptions.aviFormat = static_cast<int>(format);
  EndDialog(dialog, 1);
  if (VideoWindow.FullScreen) {
    // Leaving full screen returns to the windowed size: make that the chosen one.
    VideoWindow.SavedWidth = size.Width;
    VideoWindow.SavedHeight = size.Height;
    SendMessageA(video, WM_COMMAND, ID_LEAVE_FULL_SCREEN, 0);
  } else {
    SizeVideoWindow(video, size.Width, size.Height);
  }
  if (Panels.MainPanel) ShowWindow(Panels.MainPanel, SW_SHOW);
  // Playback re-places its picture in the resized window here (PlaceVideo).
}

}  // namespace

INT_PTR CALLBACK VideoFormatDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      FillSizes(dialog);
      for (const char* text : kAviFormats) AddEntry(dialog, IDC_IMAGE_FORMAT, text);
      ComboMessage(dialog, IDC_IMAGE_FORMAT, CB_SETCURSEL,
                   static_cast<WPARAM>(CaptureOptions.aviFormat));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FULL_SCREEN:
          ComboMessage(dialog, IDC_IMAGE_SIZE, CB_SETCURSEL, kFullScreenEntry);
          return TRUE;
        case IDOK:
          Apply(dialog);
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

void ShowVideoFormatDialog() {
  RunModalDialog(IDD_VIDEO_FORMAT, Panels.MainPanel, VideoFormatDialog);
}
