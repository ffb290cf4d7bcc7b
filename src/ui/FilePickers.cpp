#include "ui/FilePickers.h"

#include <commdlg.h>

#include <cctype>
#include <cstring>

#include "playback/VideoPlayer.h"
#include "win32/MessageBox.h"
#include "win32/ModalLoops.h"

namespace {

// The common dialog's name buffer: 255 characters with the terminator, so a picked name
// always fits the 256-byte fields it is copied into.
constexpr DWORD kPickerNameCapacity = 255;

struct PickerKind {
  bool Save;
  const char* Filter;  // description and pattern, double-NUL ended
  const char* DefaultExtension;
  const char* AcceptedExtension;  // upper case
};

constexpr PickerKind kStillPicker = {true, "24-bit Bitmap (*.bmp)\0*.bmp\0", "bmp", "BMP"};
constexpr PickerKind kAviPicker = {true, "Video for Windows (*.avi)\0*.avi\0", "avi", "AVI"};
constexpr PickerKind kVideoPicker = {false, "Video for Windows (*.avi)\0*.avi\0", "avi", "AVI"};

bool HasExtension(const char* name, const OPENFILENAMEA& ofn, const char* accepted) {
  // nFileExtension is 0 for a name ending in a dot and points at the terminator when
  // there is no extension at all.
  if (ofn.nFileExtension == 0 || ofn.nFileExtension >= kPickerNameCapacity) return false;
  const char* extension = name + ofn.nFileExtension;
  size_t i = 0;
  for (; extension[i] && accepted[i]; ++i) {
    if (std::toupper(static_cast<unsigned char>(extension[i])) != accepted[i]) return false;
  }
  return extension[i] == '\0' && accepted[i] == '\0';
}

// Shows the dialog starting with `initialName` until the user cancels (false) or picks a
// name of the accepted type (true, copied into `result`).
bool PickFile(HWND owner, const PickerKind& kind, const char* initialName,
              char (&result)[kCaptureNameCapacity]) {
  // After an Exit the picker is not shown again: the program is on its way out.
  while (!QuitRequested()) {
    char name[kPickerNameCapacity] = {};
    std::strncpy(name, initialName, kPickerNameCapacity - 1);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kind.Filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = kPickerNameCapacity;
    ofn.Flags = OFN_HIDEREADONLY;
    ofn.lpstrDefExt = kind.DefaultExtension;
    BOOL picked = FALSE;
    {
      const ModalScope modal(owner);
      picked = kind.Save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    }
    if (!picked || QuitRequested()) return false;
    if (HasExtension(name, ofn, kind.AcceptedExtension)) {
      std::memcpy(result, name, std::strlen(name) + 1);
      return true;
    }
    ShowProductMessage(owner, kUnsupportedFileTypeMessage, kErrorStyle);
  }
  return false;
}

bool VideoPickerOpen = false;

}  // namespace

void PickStillFileName(HWND owner, char (&workingName)[kCaptureNameCapacity]) {
  PickFile(owner, kStillPicker, workingName, workingName);
}

void PickAviFileName(HWND owner, char (&workingName)[kCaptureNameCapacity]) {
  PickFile(owner, kAviPicker, workingName, workingName);
}

int PickVideoFile(HWND owner) {
  // The panel can ask again from inside the picker's own message loop.
  if (VideoPickerOpen) return 0;
  VideoPickerOpen = true;
  const bool picked = PickFile(owner, kVideoPicker, "", Playback.videoFileName);
  VideoPickerOpen = false;
  return picked ? 1 : 0;
}
