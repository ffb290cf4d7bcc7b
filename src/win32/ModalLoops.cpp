#include "win32/ModalLoops.h"

#include <algorithm>
#include <vector>

namespace {

bool Requested = false;

// The program's own windows when the outermost modal loop began: windows that appear
// after that belong to modal loops and are closed on a quit.
std::vector<HWND> WindowsBeforeModal;
int ModalDepth = 0;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> ThreadTopLevelWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

bool IsDialogWindow(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0;
}

HWND RootOf(HWND window) {
  HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  return root ? root : window;
}

}  // namespace

void RequestQuit() {
  Requested = true;
  PostQuitMessage(0);
  EndMenu();
  if (ModalDepth == 0) return;
  // Every dialog a modal loop opened (dialog boxes, pickers, message boxes) is asked to
  // close as its close box would ask; loops inside others return from the inside out.
  for (HWND window : ThreadTopLevelWindows()) {
    if (std::find(WindowsBeforeModal.begin(), WindowsBeforeModal.end(), window) !=
        WindowsBeforeModal.end())
      continue;
    if (IsDialogWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

bool QuitRequested() {
  return Requested;
}

void ResetQuitRequest() {
  Requested = false;
}

ModalScope::ModalScope(HWND owner, bool disableOthers) : owner_(RootOf(owner)) {
  const std::vector<HWND> windows = ThreadTopLevelWindows();
  if (ModalDepth++ == 0) WindowsBeforeModal = windows;
  if (!disableOthers) return;
  for (HWND window : windows) {
    if (window == owner_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) continue;
    // Windows that take no input (they let clicks through and are never activated) are
    // not blocked by anything and are left as they are.
    if (GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_NOACTIVATE | WS_EX_TRANSPARENT)) continue;
    if (disabledCount_ == static_cast<int>(std::size(disabled_))) break;
    EnableWindow(window, FALSE);
    disabled_[disabledCount_++] = window;
  }
}

ModalScope::~ModalScope() {
  for (int i = disabledCount_ - 1; i >= 0; --i) {
    if (IsWindow(disabled_[i])) EnableWindow(disabled_[i], TRUE);
  }
  if (--ModalDepth == 0) WindowsBeforeModal.clear();
  // Some loops swallow the quit message; the loop around this one must still see it.
  if (Requested) PostQuitMessage(0);
}
