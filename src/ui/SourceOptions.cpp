#include "ui/SourceOptions.h"

#include <cstdio>

#include "display/win32/OverlayPlacement.h"
#include "hw/Decoder.h"
#include "shared/Settings.h"
#include "ui/MainPanel.h"
#include "ui/SkinPanel.h"
#include "ui/ViewState.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

void Text(HDC dc, const char* text, RECT r, UINT format) {
  DrawTextA(dc, text, -1, &r, format);
}

// The selected row is drawn opaque in red, the others transparent in yellow.
COLORREF Emphasis(HDC dc, bool selected) {
  SetBkMode(dc, selected ? OPAQUE : TRANSPARENT);
  SetTextColor(dc, selected ? kRed : kYellow);
  return selected ? kRed : kYellow;
}

// Choices of the input and standard rows: green for the current one.
void Choice(HDC dc, const char* text, RECT r, bool current, bool rowSelected) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, current ? kGreen : rowSelected ? kRed : kYellow);
  Text(dc, text, r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

}  // namespace

void DrawSourceOptions() {
  HWND window = VideoWindow.Window;
  RECT wr = {};
  GetWindowRect(window, &wr);
  const unsigned W = static_cast<unsigned>(wr.right - wr.left);
  const unsigned H = static_cast<unsigned>(wr.bottom - wr.top);
  const auto I = [](unsigned v) { return static_cast<int>(v); };
  HDC dc = GetDC(window);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  HFONT font = CreatePixelFont(dc, "Times New Roman", I(H / 25));
  HGDIOBJ oldFont = SelectObject(dc, font);
  PaintColorKey();
  SetBkColor(dc, 0);

  const int option = MainPanel.SourceOption;
  static constexpr const char* kLabels[] = {"Brightness", "Contrast", "Saturation", "Hue"};
  const int32_t values[] = {Settings.Brightness, Settings.Contrast, Settings.Saturation,
                            Settings.Hue};
  for (unsigned k = 1; k <= 4; ++k) {
    const unsigned r = 2 * k;
    const unsigned top = (r * H) >> 4;
    const unsigned bottom = ((r + 1) * H) >> 4;
    const COLORREF colour = Emphasis(dc, option == static_cast<int>(k));
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Text(dc, kLabels[k - 1], RECT{I(W / 35), I(top), I(6 * W / 35), I(bottom)},
         DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    int v = values[k - 1];
    v = v < 0 ? 0 : v > 255 ? 255 : v;
    const int n = SourceOptionSegments(v);
    for (unsigned i = 0; i < 32; ++i) {
      const unsigned left = W / 5 + i * (3 * W / 140);
      if (static_cast<int>(i) < n) {
        Rectangle(dc, I(left), I(top), I(left + 3 * W / 240), I(bottom));
      } else {
        Rectangle(dc, I(left), I(top + 2 * H / 80), I(left + 3 * W / 280), I(top + 3 * H / 80));
      }
    }
    char number[16];
    snprintf(number, sizeof number, "%d", n);
    Text(dc, number, RECT{I(31 * W / 35), I(top), I(34 * W / 35), I(bottom)},
         DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }

  const bool inputRow = option == kOptionInput;
  Emphasis(dc, inputRow);
  Text(dc, "Video\nConnector", RECT{I(W / 35), I((10 * H) >> 4), I(6 * W / 35), I((12 * H) >> 4)},
       DT_VCENTER | DT_CENTER);
  const unsigned inputTop = (10 * H) >> 4, inputBottom = (11 * H) >> 4;
  Choice(dc, ConnectorNamesOf(kConnectorComposite).SpacedName,
         RECT{I(W / 5), I(inputTop), I(2 * W / 5), I(inputBottom)},
         Settings.VideoConnector == kConnectorComposite, inputRow);
  Choice(dc, ConnectorNamesOf(kConnectorSVideo).SpacedName,
         RECT{I(2 * W / 5), I(inputTop), I(3 * W / 5), I(inputBottom)},
         Settings.VideoConnector == kConnectorSVideo, inputRow);

  const bool standardRow = option == kOptionStandard;
  Emphasis(dc, standardRow);
  Text(dc, "Video\nStandard", RECT{I(W / 35), I((49 * H) >> 6), I(6 * W / 35), I((14 * H) >> 4)},
       DT_VCENTER | DT_CENTER);
  for (int s = 0; s < static_cast<int>(kVideoStandardCount); ++s) {
    const unsigned row = s < 3 ? 12 : 13;
    const unsigned column = s < 3 ? s : s - 3;
    const RECT r = {I((column + 1) * W / 5), I((row * H) >> 4), I((column + 2) * W / 5),
                    I(((row + 1) * H) >> 4)};
    Choice(dc, kVideoStandards[static_cast<size_t>(s)].SpacedName, r, Settings.VideoStandard == s,
           standardRow);
  }

  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldPen);
  ReleaseDC(window, dc);
}
