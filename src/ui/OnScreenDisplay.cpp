#include "ui/OnScreenDisplay.h"

#include <cstdio>
#include <cstring>

#include "display/win32/OverlayPlacement.h"
#include "hw/Audio.h"
#include "shared/Settings.h"
#include "ui/OsdLayout.h"
#include "ui/SkinPanel.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"

namespace {

constexpr char kOsdFace[] = "Times New Roman";
constexpr COLORREF kChannelColour = RGB(0, 255, 0);
constexpr COLORREF kVolumeColour = RGB(255, 255, 0);
constexpr COLORREF kMuteColour = RGB(255, 0, 0);
constexpr UINT kOsdTextFormat = DT_SINGLELINE | DT_RIGHT;

// Every display erases the one before it; the erase timer of that one must not then
// cut the new display short. The caller arms the new display's own timer.
void StopEraseTimers() {
  if (VideoWindow.Window) KillTimer(VideoWindow.Window, kTimerChannelDisplay);
  if (Panels.TunerPanel) {
    KillTimer(Panels.TunerPanel, kTimerVolumeDisplay);
    KillTimer(Panels.TunerPanel, kTimerMuteDisplay);
  }
}

RECT ToRect(const OsdRect& r) {
  return RECT{r.Left, r.Top, r.Right, r.Bottom};
}

// A name from the registry need not be terminated within its field.
const char* ChannelName(int slot, char (&buffer)[sizeof ChannelEntry::Name + 1]) {
  buffer[0] = '\0';
  if (slot < 0 || slot >= kChannelSlots) return buffer;
  const char* name = Settings.Channels[static_cast<size_t>(slot)].Name;
  const size_t length = strnlen(name, sizeof ChannelEntry::Name);
  std::memcpy(buffer, name, length);
  buffer[length] = '\0';
  return buffer;
}

// The bottom displays share their set-up: null pen, yellow brush, the picture's font,
// and the previous display erased.
class BottomOsd {
 public:
  BottomOsd()
      : window_(VideoWindow.Window),
        dc_(GetDC(window_)),
        brush_(CreateSolidBrush(kVolumeColour)),
        font_(CreatePixelFont(dc_, kOsdFace, OsdFontHeight(VideoWindow.PictureHeight))) {
    oldPen_ = SelectObject(dc_, GetStockObject(NULL_PEN));
    oldBrush_ = SelectObject(dc_, brush_);
    oldFont_ = SelectObject(dc_, font_);
    StopEraseTimers();
    PaintColorKey();
    SetBkMode(dc_, TRANSPARENT);
  }
  ~BottomOsd() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    SelectObject(dc_, oldFont_);
    DeleteObject(brush_);
    DeleteObject(font_);
    ReleaseDC(window_, dc_);
  }
  BottomOsd(const BottomOsd&) = delete;
  BottomOsd& operator=(const BottomOsd&) = delete;

  void Text(const char* text, COLORREF colour) {
    SetTextColor(dc_, colour);
    RECT r = ToRect(BottomOsdRect(VideoWindow.PictureWidth, VideoWindow.PictureHeight));
    DrawTextA(dc_, text, -1, &r, kOsdTextFormat);
  }
  void Bars(int level) {
    for (int i = 0; i < kOsdBarPositions; ++i) {
      const OsdRect r = OsdBarRect(VideoWindow.PictureWidth, VideoWindow.PictureHeight, i, level);
      // Rectangle leaves out the right and bottom edges, with or without a pen: one more
      // each way fills exactly the bar.
      Rectangle(dc_, r.Left, r.Top, r.Right + 1, r.Bottom + 1);
    }
  }

 private:
  HWND window_;
  HDC dc_;
  HBRUSH brush_;
  HFONT font_;
  HGDIOBJ oldPen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
};

}  // namespace

void ShowChannelOsd(HWND window, int n) {
  KillTimer(window, kTimerChannelDisplay);
  StopEraseTimers();
  PaintColorKey();

  char text[64];
  if (VideoWindow.EntryTimerActive == 1) {
    std::snprintf(text, sizeof text, "%d", n);
  } else {
    char name[sizeof ChannelEntry::Name + 1];
    // An empty name keeps the two blanks; the right alignment holds the number in place.
    std::snprintf(text, sizeof text, "%s  %d", ChannelName(n, name), n);
  }

  HDC dc = GetDC(window);
  HFONT font = CreatePixelFont(dc, kOsdFace, OsdFontHeight(VideoWindow.PictureHeight));
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kChannelColour);
  RECT r = ToRect(ChannelOsdRect(VideoWindow.PictureWidth, VideoWindow.PictureHeight));
  DrawTextA(dc, text, -1, &r, kOsdTextFormat);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  ReleaseDC(window, dc);

  // The panel's own channel read-out follows at once.
  if (Panels.TunerPanel) SendMessageA(Panels.TunerPanel, WM_PAINT, 0, 0);
  SetTimer(window, kTimerChannelDisplay, kChannelDisplayMs, nullptr);
}

void ShowVolumeOsd() {
  BottomOsd osd;
  const int level = VolumeLevel(Audio.Volume);
  char text[16];
  std::snprintf(text, sizeof text, "%d", level);
  osd.Text(text, kVolumeColour);
  osd.Bars(level);
}

void ShowMuteOsd() {
  BottomOsd osd;
  osd.Text("Mute", kMuteColour);
}
