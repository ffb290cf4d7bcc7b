// Modal loops (dialogs, file pickers, message boxes, the context menu) run their own
// message loops, and some of them swallow the quit message. Exit is therefore kept here as
// a request that the main loop and every modal launcher consult, and each modal loop
// disables the program's other windows while it runs, so nothing it blocks takes input.
#pragma once

#include <windows.h>

// Posts the quit message and remembers it; closes the context menu and every modal
// dialog and picker that is open, so their loops return and the main loop can end.
void RequestQuit();
bool QuitRequested();
// Forgets a request (tests start the program more than once in one process).
void ResetQuitRequest();

// For the lifetime of one modal loop: the thread's other visible, enabled top-level
// windows are disabled (the loop's owner is left to the loop itself, which disables it
// and enables it again before its window goes) and enabled again afterwards. After the
// loop, a quit requested during it is posted again for the loop around it.
class ModalScope {
 public:
  // `disableOthers` false for message boxes: they disable only their owner, as they
  // always have (disabling the panels under the summary after a video capture kept the
  // overlay from coming back while the box was up).
  explicit ModalScope(HWND owner, bool disableOthers = true);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  HWND owner_;
  HWND disabled_[32] = {};
  int disabledCount_ = 0;
};
