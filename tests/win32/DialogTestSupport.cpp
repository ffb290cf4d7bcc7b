#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include "app/VideoWindow.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"
#include "sim/SimBoard.h"

void RunWithPanel(const std::function<void(SimBoard&)>& body, const SimScenario& scenario) {
  ResetProgramState();
  UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  {
    TestBoard board(scenario);
    RunProgram([&] {
      ASSERT_NE(MainPanel.Window, nullptr);
      for (int i = 0; i < 200 && board.Board().Engine().Stats().rendered < 4; ++i) Pump(10);
      ASSERT_TRUE(board.Board().Engine().Running());
      body(board.Board());
      SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
    });
  }
  ResetProgramState();
}

void ClickPanel(int x, int y) {
  SendMessageA(MainPanel.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(MainPanel.Window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

std::vector<std::string> ComboEntries(HWND dialog, int id) {
  std::vector<std::string> entries;
  const auto count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[128] = {};
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i),
                        reinterpret_cast<LPARAM>(text));
    entries.emplace_back(text);
  }
  return entries;
}

int ComboSelection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

void ChooseEntry(HWND dialog, int id, int index) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

SIZE ClientSize(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  for (HWND at = first; at && ids.size() < 32;) {
    ids.push_back(GetDlgCtrlID(at));
    at = GetNextDlgTabItem(dialog, at, FALSE);
    if (at == first) break;
  }
  return ids;
}
