#include "ModalDriver.h"

#include <dlgs.h>

#include <gtest/gtest.h>

namespace {

std::vector<ModalStep> g_steps;
std::vector<HWND> g_seen;
size_t g_next = 0;
UINT_PTR g_timer = 0;
DWORD g_lastProgress = 0;

// A window that never comes would leave the code under test waiting in its dialog loop
// for good: after this long every dialog of the thread is cancelled.
constexpr DWORD kStepTimeoutMs = 10000;

// Cancels every dialog of the thread, naming each in the test's failure.
BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  char cls[16] = {}, title[256] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (!IsWindowVisible(window) || std::string(cls) != "#32770") return TRUE;
  GetWindowTextA(window, title, sizeof title);
  ADD_FAILURE() << "dialog \"" << title << "\" left open";
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

struct Search {
  const std::string* Title;
  HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (*search->Title != text) return TRUE;
  search->Found = window;
  return FALSE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_next >= g_steps.size()) {
    // Every step ran: a dialog still up after the timeout was not expected.
    if (GetTickCount() - g_lastProgress > kStepTimeoutMs) {
      g_lastProgress = GetTickCount();
      EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    }
    return;
  }
  Search search{&g_steps[g_next].Title, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.Found) {
    if (GetTickCount() - g_lastProgress > kStepTimeoutMs) {
      ADD_FAILURE() << "no window \"" << g_steps[g_next].Title << "\" appeared";
      g_next = g_steps.size();
      EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    }
    return;
  }
  g_lastProgress = GetTickCount();
  // Taken before the action runs: the action may open the next window, whose loop ticks
  // this timer again.
  const size_t step = g_next++;
  g_seen.push_back(search.Found);
  g_steps[step].Action(search.Found);
}

}  // namespace

ModalDriver::ModalDriver(std::vector<ModalStep> steps) {
  g_steps = std::move(steps);
  g_seen.clear();
  g_next = 0;
  g_lastProgress = GetTickCount();
  g_timer = SetTimer(nullptr, 0, 20, Tick);
}

ModalDriver::~ModalDriver() {
  KillTimer(nullptr, g_timer);
  g_steps.clear();
}

size_t ModalDriver::Pending() const {
  return g_steps.size() - g_next;
}

const std::vector<HWND>& ModalDriver::Seen() const {
  return g_seen;
}

namespace {

// The explorer-style dialog names its file field cmb13 (a combo box with an edit); the
// older style edt1.
HWND FileNameField(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, cmb13)) return combo;
  return GetDlgItem(dialog, edt1);
}

}  // namespace

std::string DialogItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string FileDialogName(HWND dialog) {
  char text[512] = {};
  GetWindowTextA(FileNameField(dialog), text, sizeof text);
  return text;
}

void TypeFileDialogName(HWND dialog, const std::string& name) {
  HWND field = FileNameField(dialog);
  EXPECT_NE(field, nullptr);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  EXPECT_NE(button, nullptr) << id;
  SendMessageA(button, BM_CLICK, 0, 0);
}

ModalStep PickInFileDialog(const std::string& title, const std::string& name,
                           std::string* initial) {
  return {title, [name, initial](HWND dialog) {
            if (initial) *initial = FileDialogName(dialog);
            TypeFileDialogName(dialog, name);
            PressButton(dialog, IDOK);
          }};
}

ModalStep CancelFileDialog(const std::string& title, std::string* initial) {
  return {title, [initial](HWND dialog) {
            if (initial) *initial = FileDialogName(dialog);
            PressButton(dialog, IDCANCEL);
          }};
}
