// Shared helpers of the Win32 tests: a message-box recorder, a board on a fake clock,
// and running the program's start-up with a scripted way out.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimBoard.h"

struct RecordedMessage {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

void InstallMessageRecorder();
std::vector<RecordedMessage>& RecordedMessages();

// A simulated board on a fake clock, installed behind the ports and the board driver for
// the test's lifetime, with the simulated display card in front of its video port.
class TestBoard {
 public:
  explicit TestBoard(const SimScenario& scenario = {});
  ~TestBoard();
  SimBoard& Board() { return *board_; }
  FakeClock& Clock() { return clock_; }

 private:
  FakeClock clock_;
  std::unique_ptr<SimBoard> board_;
};

// Resets the program's process-wide state between runs in one test process, and
// removes any settings an earlier run stored.
void ResetProgramState();

// Runs RunApplication; once the message loop is up, `inLoop` runs from a thread timer
// (by default it sends Exit to the video window). Cleans up every window the run
// left behind and any quit message still queued.
int RunProgram(std::function<void()> inLoop = {});

// Sets (or with nullptr deletes) HKLM\SOFTWARE\Microsoft\DirectX "Version" for a scope.
class ScopedDirectXVersion {
 public:
  explicit ScopedDirectXVersion(const char* version);
  ~ScopedDirectXVersion();

 private:
  bool hadValue_ = false;
  std::vector<BYTE> saved_;
  DWORD savedType_ = REG_SZ;
};

// Runs the thread's messages for a while (timers included), as the message loop would.
void Pump(DWORD ms);

std::string TempPath(const char* name);
std::vector<std::string> ReadLines(const std::string& path);
