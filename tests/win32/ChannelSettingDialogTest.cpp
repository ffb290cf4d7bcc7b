// The Channel Setting dialog, opened from the tuner panel's channel-list button inside the
// running program. The modal dialog is driven by a script from its own message loop; rows
// are checked on the list's own pixels against the boxes' bitmaps and the same texts
// drawn apart.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "display/win32/DisplayChain.h"
#include "hw/ChannelPlans.h"
#include "hw/Decoder.h"
#include "resource.h"
#include "shared/Settings.h"
#include "ui/ChannelSettingDialog.h"
#include "ui/TunerPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

constexpr POINT kAtChannelList = {112, 240};
constexpr POINT kAtMinimise = {60, 84};

void ClickPanel(POINT p) {
  SendMessageA(TunerPanelWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageA(TunerPanelWindow(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

std::function<void(HWND)> g_script;
bool g_scriptRan = false;

void CALLBACK ScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowA("#32770", "Channel Setting");
  if (!dialog) return;
  KillTimer(nullptr, id);
  auto script = std::move(g_script);
  g_script = nullptr;
  g_scriptRan = true;
  if (script) script(dialog);
  // A script that stopped early still lets the dialog end; after OK this changes nothing.
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Presses the panel's channel-list button; `script` runs while the dialog is up.
void WithChannelDialog(std::function<void(HWND)> script) {
  g_script = std::move(script);
  g_scriptRan = false;
  SetTimer(nullptr, 0, 20, ScriptTimer);
  ClickPanel(kAtChannelList);
  EXPECT_TRUE(g_scriptRan) << "the dialog did not open";
  EXPECT_EQ(FindWindowA("#32770", "Channel Setting"), nullptr);
}

void Button(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND List(HWND dialog) {
  return GetDlgItem(dialog, IDC_CHANNEL_LIST);
}

// A press of the left button at (x, y) of the list's client area, as the dialog hears of it.
void ClickList(HWND dialog, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(List(dialog), &p);
  ScreenToClient(dialog, &p);
  SendMessageA(dialog, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, IDC_CHANNEL_LIST),
               MAKELPARAM(p.x, p.y));
}

void ScrollTo(HWND dialog, int top) {
  SendMessageA(List(dialog), LB_SETTOPINDEX, top, 0);
  UpdateWindow(List(dialog));
}

std::string EditText(HWND dialog) {
  char text[64] = {};
  GetDlgItemTextA(dialog, IDC_CHANNEL_NAME, text, sizeof text);
  return text;
}

// Pixels of a w x h rectangle, 0xRRGGBB, drawn by `draw` at the origin of a 32-bit DIB.
std::vector<uint32_t> Pixels(int w, int h, const std::function<void(HDC)>& draw) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  draw(dc);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> out(p, p + w * h);
  for (uint32_t& b : out) b &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return out;
}

// What the list shows in its client rectangle (x, y, w, h).
std::vector<uint32_t> Shown(HWND list, int x, int y, int w, int h) {
  return Pixels(w, h, [&](HDC dc) {
    HDC source = GetDC(list);
    BitBlt(dc, 0, 0, w, h, source, x, y, SRCCOPY);
    ReleaseDC(list, source);
  });
}

std::vector<uint32_t> BoxImage(int id) {
  return Pixels(kChannelBoxSize, kChannelBoxSize, [&](HDC dc) {
    HBITMAP b = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, b);
    BitBlt(dc, 0, 0, kChannelBoxSize, kChannelBoxSize, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(b);
  });
}

// The box the list shows on its k-th visible row: 123, 120, or 0 for neither.
int BoxOnRow(HWND dialog, int k) {
  const auto shown =
      Shown(List(dialog), 1, kChannelRowHeight * k + 1, kChannelBoxSize, kChannelBoxSize);
  if (shown == BoxImage(IDB_CHANNEL_CHECKED)) return IDB_CHANNEL_CHECKED;
  if (shown == BoxImage(IDB_CHANNEL_UNCHECKED)) return IDB_CHANNEL_UNCHECKED;
  return 0;
}

class ChannelSettingDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  }
  void TearDown() override { ResetProgramState(); }

  // Runs the program with the Tuner input and its panel open.
  void Run(const std::function<void(SimBoard&)>& body) {
    TestBoard board;
    RunProgram([&] {
      Settings.VideoConnector = kConnectorTuner;
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_PANEL, 0);
      Pump(50);
      EXPECT_TRUE(TunerPanelExists()) << "the tuner panel did not open";
      if (TunerPanelExists()) body(board.Board());
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
    });
  }
};

TEST_F(ChannelSettingDialogTest, ChannelListButtonOpensTheDialogOverThePanel) {
  Run([](SimBoard&) {
    Settings.CableStandard = 1;
    std::strcpy(Settings.Channels[1].Name, "First");
    WithChannelDialog([](HWND d) {
      EXPECT_EQ(GetWindow(d, GW_OWNER), TunerPanelWindow());
      EXPECT_FALSE(IsWindowEnabled(TunerPanelWindow())) << "modal over the panel";
      HWND list = List(d);
      EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 100);
      EXPECT_EQ(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0), 22);
      EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
      // The edit takes the selected row's name when it gets the focus.
      SetFocus(GetDlgItem(d, IDC_CHANNEL_NAME));
      EXPECT_EQ(EditText(d), "First");
      EXPECT_EQ(SendDlgItemMessageA(d, IDC_CHANNEL_NAME, EM_GETLIMITTEXT, 0, 0), 10);
      EXPECT_EQ(SendDlgItemMessageA(d, IDC_CABLE_LIST, CB_GETCOUNT, 0, 0), 4);
      EXPECT_EQ(SendDlgItemMessageA(d, IDC_CABLE_LIST, CB_GETCURSEL, 0, 0), 1);
      char name[32] = {};
      SendDlgItemMessageA(d, IDC_CABLE_LIST, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(name));
      EXPECT_STREQ(name, "US Cable");
      // The boxes hear of clicks only when the list tells its parent.
      EXPECT_EQ(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY, 0);
      // The list shows at most the ten rows Clear All and Select All redraw.
      RECT client;
      GetClientRect(list, &client);
      EXPECT_LE(client.bottom, kChannelVisibleRows * kChannelRowHeight);
      Button(d, IDCANCEL);
    });
    EXPECT_TRUE(IsWindowEnabled(TunerPanelWindow()));
    EXPECT_TRUE(IsWindowVisible(TunerPanelWindow()));
    ClickPanel(kAtMinimise);
    EXPECT_TRUE(IsIconic(TunerPanelWindow()));
  });
}

TEST_F(ChannelSettingDialogTest, RowsShowTheirBoxNumberAndNameOnAScrolledList) {
  Run([](SimBoard&) {
    for (int slot = 41; slot <= 44; ++slot) Settings.Channels[slot].Checked = slot % 2;
    std::strcpy(Settings.Channels[42].Name, "Sport");
    WithChannelDialog([](HWND d) {
      ScrollTo(d, 40);
      HWND list = List(d);
      for (int k = 0; k < 4; ++k)
        EXPECT_EQ(BoxOnRow(d, k), (41 + k) % 2 ? IDB_CHANNEL_CHECKED : IDB_CHANNEL_UNCHECKED)
            << "slot " << 41 + k;

      // Slot 42 on the second row: its number and name, as the list's font draws them.
      RECT client;
      GetClientRect(list, &client);
      const int top = kChannelRowHeight;
      const int x = kChannelNumberX;
      const int w = client.right - x;
      HFONT font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
      const auto expected = Pixels(w, kChannelRowHeight, [&](HDC dc) {
        RECT all = {0, 0, w, kChannelRowHeight};
        FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        const int y = (kChannelRowHeight - tm.tmHeight) / 2;
        TextOutA(dc, 0, y, "42  ", 4);
        TextOutA(dc, 4 * tm.tmAveCharWidth, y, "Sport", 5);
        SelectObject(dc, old);
      });
      EXPECT_EQ(Shown(list, x, top, w, kChannelRowHeight), expected);
      Button(d, IDCANCEL);
    });
  });
}

TEST_F(ChannelSettingDialogTest, ClickTogglesABoxOnlyFromXThreeToSeventeen) {
  Run([](SimBoard&) {
    for (int slot = 41; slot <= 44; ++slot) Settings.Channels[slot].Checked = 0;
    WithChannelDialog([](HWND d) {
      ScrollTo(d, 40);
      const int xs[] = {2, 3, 17, 18};
      for (int k = 0; k < 4; ++k) ClickList(d, xs[k], kChannelRowHeight * k + 11);
      const int boxes[] = {IDB_CHANNEL_UNCHECKED, IDB_CHANNEL_CHECKED, IDB_CHANNEL_CHECKED,
                           IDB_CHANNEL_UNCHECKED};
      for (int k = 0; k < 4; ++k) EXPECT_EQ(BoxOnRow(d, k), boxes[k]) << "x = " << xs[k];
      // A second click on a box clears it again; the row's bottom pixel still belongs to it.
      ClickList(d, 10, kChannelRowHeight * 3 - 1);
      EXPECT_EQ(BoxOnRow(d, 2), IDB_CHANNEL_UNCHECKED);
      Button(d, IDOK);
    });
    EXPECT_EQ(Settings.Channels[41].Checked, 0);
    EXPECT_EQ(Settings.Channels[42].Checked, 1);
    EXPECT_EQ(Settings.Channels[43].Checked, 0);
    EXPECT_EQ(Settings.Channels[44].Checked, 0);
  });
}

TEST_F(ChannelSettingDialogTest, SelectAllThenCancelKeepsTheFlagsAndThenOkChecksEverySlot) {
  Run([](SimBoard&) {
    for (int slot = 0; slot < kChannelSlots; ++slot)
      Settings.Channels[slot].Checked = slot % 3 == 0;
    const auto before = Settings.Channels;
    WithChannelDialog([](HWND d) {
      ScrollTo(d, 50);
      Button(d, IDC_SELECT_ALL);
      for (int k = 0; k < 8; ++k) EXPECT_EQ(BoxOnRow(d, k), IDB_CHANNEL_CHECKED) << "row " << k;
      Button(d, IDCANCEL);
    });
    EXPECT_EQ(0, std::memcmp(&Settings.Channels, &before, sizeof before));

    WithChannelDialog([](HWND d) {
      Button(d, IDC_SELECT_ALL);
      Button(d, IDOK);
    });
    for (int slot = 1; slot <= 100; ++slot) EXPECT_EQ(Settings.Channels[slot].Checked, 1);
    EXPECT_EQ(Settings.Channels[0].Checked, 1) << "slot 0 keeps its own flag";

    Settings.Channels[0].Checked = 0;
    WithChannelDialog([](HWND d) {
      Button(d, IDC_CLEAR_ALL);
      for (int k = 0; k < 8; ++k) EXPECT_EQ(BoxOnRow(d, k), IDB_CHANNEL_UNCHECKED) << "row " << k;
      ScrollTo(d, 90);  // rows drawn afresh show the working flags
      EXPECT_EQ(BoxOnRow(d, 0), IDB_CHANNEL_UNCHECKED);
      Button(d, IDOK);
    });
    for (int slot = 1; slot <= 100; ++slot) EXPECT_EQ(Settings.Channels[slot].Checked, 0);
  });
}

// Names stay within their ten characters and with their own row.
TEST_F(ChannelSettingDialogTest, NamesAreCutAtTenAndStayWithTheirRow) {
  Run([](SimBoard&) {
    std::memcpy(Settings.Channels[2].Name, "ABCDEFGHIJKL", 12);  // no terminator stored
    Settings.Channels[3].Checked = 1;
    std::strcpy(Settings.Channels[3].Name, "Three");
    std::strcpy(Settings.Channels[5].Name, "Alpha");
    std::strcpy(Settings.Channels[6].Name, "Beta");
    WithChannelDialog([](HWND d) {
      HWND list = List(d);
      SendMessageA(list, LB_SETCURSEL, 1, 0);
      EXPECT_EQ(EditText(d), "ABCDEFGHIJ");
      // Text set from outside the edit bypasses its limit.
      SetDlgItemTextA(d, IDC_CHANNEL_NAME, "NewsChannelOne");
      EXPECT_STREQ(ChannelSetting.Working[2].Name, "NewsChanne");

      // Moving the selection from one named row to the next.
      SendMessageA(list, LB_SETCURSEL, 4, 0);
      EXPECT_EQ(EditText(d), "Alpha");
      SendMessageA(list, LB_SETCURSEL, 5, 0);
      EXPECT_EQ(EditText(d), "Beta");

      // Typed characters stop at ten.
      SetFocus(GetDlgItem(d, IDC_CHANNEL_NAME));
      SetDlgItemTextA(d, IDC_CHANNEL_NAME, "");
      for (char c : std::string("Betamax Plus"))
        SendDlgItemMessageA(d, IDC_CHANNEL_NAME, WM_CHAR, c, 0);
      EXPECT_EQ(EditText(d), "Betamax Pl");
      Button(d, IDOK);
    });
    EXPECT_EQ(std::string(Settings.Channels[2].Name, 11), std::string("NewsChanne\0", 11));
    EXPECT_EQ(Settings.Channels[3].Checked, 1);
    EXPECT_STREQ(Settings.Channels[3].Name, "Three");
    EXPECT_STREQ(Settings.Channels[5].Name, "Alpha");
    EXPECT_STREQ(Settings.Channels[6].Name, "Betamax Pl");
  });
}

TEST_F(ChannelSettingDialogTest, NamingARowLeavesNoTraceOnceTheSelectionMovesOn) {
  Run([](SimBoard&) {
    WithChannelDialog([](HWND d) {
      HWND list = List(d);
      RECT client;
      GetClientRect(list, &client);
      SendMessageA(list, LB_SETCURSEL, 1, 0);
      SetDlgItemTextA(d, IDC_CHANNEL_NAME, "Kiosk");
      SendMessageA(list, LB_SETCURSEL, 2, 0);
      const auto shown = Shown(list, 0, kChannelRowHeight, client.right, kChannelRowHeight);
      InvalidateRect(list, nullptr, TRUE);
      UpdateWindow(list);
      EXPECT_EQ(shown, Shown(list, 0, kChannelRowHeight, client.right, kChannelRowHeight));
      Button(d, IDCANCEL);
    });
  });
}

TEST_F(ChannelSettingDialogTest, ChangingThePlanSetsItsStandardRebuildsAndRetunes) {
  Run([](SimBoard& board) {
    Settings.CableStandard = 3;
    Settings.VideoStandard = kNtscM;
    Settings.CurrentChannel = 5;
    const auto choose = [](int cable) {
      WithChannelDialog([cable](HWND d) {
        SendDlgItemMessageA(d, IDC_CABLE_LIST, CB_SETCURSEL, cable, 0);
        Button(d, IDOK);
      });
    };

    uint32_t writes = board.Tuner().Writes();
    choose(1);  // Germany Cable
    EXPECT_EQ(Settings.CableStandard, 1);
    EXPECT_EQ(Settings.VideoStandard, kPalBghi);
    EXPECT_EQ(board.Decoder().Register(0x0E), kStandardRegisterSets[kPalBghi].chrominance);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 288u);
    EXPECT_EQ(board.Tuner().Writes(), writes + 1);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(1)[5] >> 16 & 0x7FFF);
    EXPECT_NE(ChannelPlanFor(1)[5], ChannelPlanFor(3)[5]);

    // Unchanged: neither the decoder nor the tuner hears of it.
    writes = board.Tuner().Writes();
    const size_t decoderWrites = board.Decoder().WriteLog().size();
    choose(1);
    EXPECT_EQ(board.Tuner().Writes(), writes);
    EXPECT_EQ(board.Decoder().WriteLog().size(), decoderWrites);

    // Taiwan Cable shares the US plan, with NTSC-M.
    choose(2);
    EXPECT_EQ(Settings.VideoStandard, kNtscM);
    EXPECT_EQ(Display.VideoPortConfig.FieldHeight, 251u);
    EXPECT_EQ(board.Decoder().Register(0x0E), kStandardRegisterSets[kNtscM].chrominance);
    EXPECT_EQ(board.Tuner().Divider(), ChannelPlanFor(3)[5] >> 16 & 0x7FFF);

    // In Capture Mode the window follows the picture size.
    SendMessageA(VideoWindow.Window, WM_COMMAND, ID_CAPTURE_MODE, 0);
    choose(0);
    RECT client;
    GetClientRect(VideoWindow.Window, &client);
    EXPECT_EQ(client.right, 352);
    EXPECT_EQ(client.bottom, 288);
    EXPECT_EQ(VideoWindow.PictureHeight, 288);
  });
}

}  // namespace
