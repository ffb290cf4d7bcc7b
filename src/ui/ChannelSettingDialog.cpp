#include "ui/ChannelSettingDialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "ui/ViewState.h"
#include "win32/Program.h"

ChannelSettingState ChannelSetting;

namespace {

// Wide enough to cover the longest name drawn before.
constexpr char kNameEraser[] = "                                   ";
static_assert(sizeof kNameEraser - 1 == 35);

HWND List(HWND dialog) {
  return GetDlgItem(dialog, IDC_CHANNEL_LIST);
}

bool IsRow(LRESULT row) {
  return row >= 0 && row < kChannelRows;
}

ChannelEntry& EntryOfRow(LRESULT row) {
  return ChannelSetting.Working[static_cast<size_t>(row) + 1];
}

int NameLength(const ChannelEntry& e) {
  return static_cast<int>(strnlen(e.Name, kChannelNameMax));
}

int NameX(const TEXTMETRICA& tm) {
  return 4 * tm.tmAveCharWidth + kChannelNumberX;
}

void DrawBox(HDC dc, bool checked, int x, int y) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, checked ? ChannelSetting.Checked : ChannelSetting.Unchecked);
  BitBlt(dc, x, y, kChannelBoxSize, kChannelBoxSize, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

// Draws on a fresh device context of the list, in the list's own font.
template <typename Draw>
void DrawOnList(HWND list, Draw draw) {
  HDC dc = GetDC(list);
  HGDIOBJ oldFont = nullptr;
  if (auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)))
    oldFont = SelectObject(dc, font);
  draw(dc);
  if (oldFont) SelectObject(dc, oldFont);
  ReleaseDC(list, dc);
}

void DrawName(HDC dc, const ChannelEntry& e, int y) {
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  TextOutA(dc, NameX(tm), y, kNameEraser, sizeof kNameEraser - 1);
  TextOutA(dc, NameX(tm), y, e.Name, NameLength(e));
}

void DrawRow(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1) || !IsRow(item.itemID)) return;
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  const ChannelEntry& e = EntryOfRow(item.itemID);
  if (item.itemAction == ODA_DRAWENTIRE) {
    DrawBox(dc, e.Checked != 0, r.left + 1, r.top + 1);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    const int y = (r.top + r.bottom - tm.tmHeight) / 2;
    char number[16];
    const int length = std::snprintf(number, sizeof number, "%-4d", item.itemID + 1);
    TextOutA(dc, kChannelNumberX, y, number, length);
    DrawName(dc, e, y);
    if (item.itemState & ODS_SELECTED) {
      RECT whole;
      SendMessageA(item.hwndItem, LB_GETITEMRECT, item.itemID, reinterpret_cast<LPARAM>(&whole));
      DrawFocusRect(dc, &whole);
    }
  } else if (item.itemAction == ODA_SELECT) {
    RECT whole;
    SendMessageA(item.hwndItem, LB_GETITEMRECT, item.itemID, reinterpret_cast<LPARAM>(&whole));
    DrawFocusRect(dc, &whole);
    // The row losing the selection is drawn too, after the new one is already current:
    // only the row gaining it may fill the edit, or its name would land on the new row.
    if (item.itemState & ODS_SELECTED) {
      char name[kChannelNameMax + 1] = {};
      std::memcpy(name, e.Name, static_cast<size_t>(NameLength(e)));
      SetDlgItemTextA(GetParent(item.hwndItem), IDC_CHANNEL_NAME, name);
    }
  }
}

void ShowSelectedName(HWND dialog) {
  const LRESULT row = SendMessageA(List(dialog), LB_GETCURSEL, 0, 0);
  if (!IsRow(row)) return;
  const ChannelEntry& e = EntryOfRow(row);
  char name[kChannelNameMax + 1] = {};
  std::memcpy(name, e.Name, static_cast<size_t>(NameLength(e)));
  SetDlgItemTextA(dialog, IDC_CHANNEL_NAME, name);
}

// The edit holds at most ten characters; a longer text set from outside is cut here too.
void TakeEditedName(HWND dialog) {
  HWND list = List(dialog);
  const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (!IsRow(row)) return;
  char text[kChannelNameMax + 1] = {};
  GetDlgItemTextA(dialog, IDC_CHANNEL_NAME, text, sizeof text);
  ChannelEntry& e = EntryOfRow(row);
  std::memset(e.Name, 0, sizeof e.Name);
  std::memcpy(e.Name, text, strnlen(text, kChannelNameMax));
  const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  RECT item;
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  DrawOnList(list, [&](HDC dc) {
    // Inside the row's focus frame: the frame is drawn by inverting, and a piece painted
    // over would come back inverted when the selection moves on.
    IntersectClipRect(dc, item.left + 1, item.top + 1, item.right - 1, item.bottom - 1);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    const int y =
        (static_cast<int>(row - top) * 2 * kChannelRowHeight + kChannelRowHeight - tm.tmHeight) / 2;
    DrawName(dc, e, y);
  });
}

void ClickInList(HWND dialog, LPARAM lParam) {
  HWND list = List(dialog);
  POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ClientToScreen(dialog, &p);
  ScreenToClient(list, &p);
  RECT client;
  GetClientRect(list, &client);
  if (p.y < 0 || p.y >= client.bottom) return;
  const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  const LRESULT row = top + p.y / kChannelRowHeight;
  if (p.x < kChannelBoxHitLeft || p.x > kChannelBoxHitRight || !IsRow(row)) return;
  ChannelEntry& e = EntryOfRow(row);
  e.Checked = e.Checked ? 0 : 1;
  DrawOnList(list, [&](HDC dc) {
    DrawBox(dc, e.Checked != 0, 1, p.y / kChannelRowHeight * kChannelRowHeight + 1);
  });
}

void SetAll(HWND dialog, int32_t checked) {
  DrawOnList(List(dialog), [&](HDC dc) {
    for (int k = 0; k < kChannelVisibleRows; ++k)
      DrawBox(dc, checked != 0, 1, kChannelRowHeight * k + 1);
  });
  for (int slot = 1; slot <= kChannelRows; ++slot)
    ChannelSetting.Working[static_cast<size_t>(slot)].Checked = checked;
}

void InitDialog(HWND dialog) {
  for (int slot = 1; slot <= kChannelRows; ++slot) {
    ChannelEntry& e = ChannelSetting.Working[static_cast<size_t>(slot)];
    e = Settings.Channels[static_cast<size_t>(slot)];
    e.Name[kChannelNameMax] = '\0';  // a stored name is never taken past ten characters
  }
  const HINSTANCE instance = ProgramInstance();
  ChannelSetting.Checked = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_CHANNEL_CHECKED));
  ChannelSetting.Unchecked = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_CHANNEL_UNCHECKED));

  // Controls of a dialog do not tell it about clicks unless asked; the boxes need them.
  HWND list = List(dialog);
  SetWindowLongA(list, GWL_EXSTYLE, GetWindowLongA(list, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY);
  for (int row = 0; row < kChannelRows; ++row)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  SendDlgItemMessageA(dialog, IDC_CHANNEL_NAME, EM_LIMITTEXT, kChannelNameMax, 0);
  for (const char* name : kCableNames)
    SendDlgItemMessageA(dialog, IDC_CABLE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendDlgItemMessageA(dialog, IDC_CABLE_LIST, CB_SETCURSEL,
                      static_cast<WPARAM>(Settings.CableStandard), 0);
}

void ChangePlan(int cable) {
  SourceSetChannelPlan(cable);
  if (Panels.MainPanel) SendMessageA(Panels.MainPanel, WM_PAINT, 0, 0);
}

void Keep(HWND dialog) {
  for (int slot = 1; slot <= kChannelRows; ++slot)
    Settings.Channels[static_cast<size_t>(slot)] =
        ChannelSetting.Working[static_cast<size_t>(slot)];
  if (Panels.TunerPanel) SendMessageA(Panels.TunerPanel, WM_PAINT, 0, 0);
  const LRESULT cable = SendDlgItemMessageA(dialog, IDC_CABLE_LIST, CB_GETCURSEL, 0, 0);
  if (cable >= 0 && cable < kCableCount && cable != Settings.CableStandard)
    ChangePlan(static_cast<int>(cable));
  EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK ChannelSettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog);
      return TRUE;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = kChannelRowHeight;
      return TRUE;
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_LBUTTONDOWN) ClickInList(dialog, lParam);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CLEAR_ALL:
          SetAll(dialog, 0);
          return TRUE;
        case IDC_SELECT_ALL:
          SetAll(dialog, 1);
          return TRUE;
        case IDC_CHANNEL_NAME:
          if (HIWORD(wParam) == EN_SETFOCUS) ShowSelectedName(dialog);
          if (HIWORD(wParam) == EN_CHANGE) TakeEditedName(dialog);
          return TRUE;
        case IDOK:
          Keep(dialog);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 1);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      DeleteObject(ChannelSetting.Checked);
      DeleteObject(ChannelSetting.Unchecked);
      ChannelSetting.Checked = ChannelSetting.Unchecked = nullptr;
      return FALSE;
  }
  return FALSE;
}

void ShowChannelSettingDialog(HWND owner) {
  RunModalDialog(IDD_CHANNEL_SETTING, owner, ChannelSettingDialogProc);
}
