// A plain MCI player, as any other program on the machine would play a clip: opens it
// with the "avivideo" device in MCI's own window, plays it to the end and says how far it
// got. Exit code 0 when it reached the last frame, 1 otherwise.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

namespace {

void PrintError(const char* what, MCIERROR error) {
  char text[256] = "";
  mciGetErrorStringA(error, text, sizeof text);
  std::printf("%s failed: %lu %s\n", what, static_cast<unsigned long>(error), text);
}

DWORD_PTR Status(MCIDEVICEID device, DWORD item) {
  MCI_STATUS_PARMS status = {};
  status.dwItem = item;
  if (mciSendCommandA(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                      reinterpret_cast<DWORD_PTR>(&status)) != 0)
    return 0;
  return status.dwReturn;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: mciplay <clip.avi>\n");
    return 2;
  }
  MCI_OPEN_PARMSA open = {};
  open.lpstrDeviceType = "avivideo";
  open.lpstrElementName = argv[1];
  MCIERROR error = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                                   reinterpret_cast<DWORD_PTR>(&open));
  if (error != 0) {
    PrintError("open", error);
    return 1;
  }
  MCI_SET_PARMS format = {};
  format.dwTimeFormat = MCI_FORMAT_FRAMES;
  mciSendCommandA(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT,
                  reinterpret_cast<DWORD_PTR>(&format));
  const DWORD_PTR length = Status(open.wDeviceID, MCI_STATUS_LENGTH);
  MCI_PLAY_PARMS play = {};
  play.dwFrom = 0;
  error = mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_FROM | MCI_WAIT,
                          reinterpret_cast<DWORD_PTR>(&play));
  const DWORD_PTR position = Status(open.wDeviceID, MCI_STATUS_POSITION);
  mciSendCommandA(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
  if (error != 0) {
    PrintError("play", error);
    return 1;
  }
  // Positions count from frame 0; at the end the device stands on the last frame or past it.
  std::printf("played %lu frames, stopped at frame %lu\n", static_cast<unsigned long>(length),
              static_cast<unsigned long>(position));
  return length > 0 && position + 1 >= length ? 0 : 1;
}
