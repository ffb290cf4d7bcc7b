// Drives real modal dialogs (the program's own and the common file dialogs) from inside
// their message loops: a thread timer waits for each expected window in turn and runs
// the step's action on it, on the GUI thread, the way a user's input would arrive.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct ModalStep {
  std::string Title;                 // the window's caption
  std::function<void(HWND)> Action;  // must end the window or open the next one
};

class ModalDriver {
 public:
  explicit ModalDriver(std::vector<ModalStep> steps);
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  // Steps not reached (a window that never appeared).
  size_t Pending() const;
  // Handles of the windows the steps ran on, in order.
  const std::vector<HWND>& Seen() const;
};

// A common file dialog's name field and buttons.
std::string FileDialogName(HWND dialog);
void TypeFileDialogName(HWND dialog, const std::string& name);
void PressButton(HWND dialog, int id);  // BM_CLICK on the dialog's button `id`

// Steps for a file dialog: type `name`, press its OK; or press its Cancel. `initial`, when
// given, receives the name the dialog opened with.
ModalStep PickInFileDialog(const std::string& title, const std::string& name,
                           std::string* initial = nullptr);
ModalStep CancelFileDialog(const std::string& title, std::string* initial = nullptr);

std::string DialogItemText(HWND dialog, int id);
