#include "win32/Recorders.h"

#include <cstdio>

#include "app/ProgramState.h"
#include "app/SettingsStore.h"
#include "app/Startup.h"
#include "app/VideoWindow.h"
#include "capture/win32/FrameGrab.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/OverlayPlacement.h"
#include "shared/Settings.h"
#include "hw/Audio.h"
#include "hw/PortIo.h"
#include "hw/Tuner.h"
#include "resource.h"
#include "sim/win32/SimBoardDriver.h"
#include "sim/win32/SimDirectDraw.h"
#include "ui/MainPanel.h"
#include "ui/TunerPanel.h"
#include "ui/VideoSourceDialog.h"
#include "ui/ViewState.h"
#include "win32/MessageBox.h"
#include "win32/ModalLoops.h"
#include "win32/Program.h"

namespace {

std::vector<RecordedMessage> g_messages;

int RecordMessage(HWND owner, const char* text, const char* caption, UINT style) {
  g_messages.push_back({owner, text ? text : "", caption ? caption : "", style});
  return IDOK;
}

std::function<void()> g_inLoop;

UINT_PTR g_inLoopTimer = 0;
bool g_inLoopStarted = false;

void CALLBACK InLoopTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  KillTimer(nullptr, g_inLoopTimer);
  // A test body that pumps messages may see this timer again before it is gone.
  if (g_inLoopStarted) return;
  g_inLoopStarted = true;
  if (g_inLoop) {
    g_inLoop();
  } else if (VideoWindow.Window) {
    SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
  }
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageA(&msg);
  }
}

}  // namespace

void InstallMessageRecorder() {
  SetMessageBoxHook(RecordMessage);
}
std::vector<RecordedMessage>& RecordedMessages() {
  return g_messages;
}

TestBoard::TestBoard(const SimScenario& scenario)
    : board_(std::make_unique<SimBoard>(scenario, clock_)) {
  InstallPortIo(board_.get());
  InstallSimulatedBoardDriver();
  InstallSimulatedDirectDraw();
}

TestBoard::~TestBoard() {
  RemoveSimulatedDirectDraw();
  RemoveSimulatedBoardDriver();
  InstallPortIo(nullptr);
}

void ResetProgramState() {
  if (Startup.LogoWindow) DestroyWindow(Startup.LogoWindow);
  if (VideoSourceDialog.Window && IsWindow(VideoSourceDialog.Window))
    DestroyWindow(VideoSourceDialog.Window);
  if (Panels.TunerPanel && IsWindow(Panels.TunerPanel)) DestroyWindow(Panels.TunerPanel);
  if (VideoWindow.Window && IsWindow(VideoWindow.Window)) DestroyWindow(VideoWindow.Window);
  if (MainPanel.Window && IsWindow(MainPanel.Window)) DestroyWindow(MainPanel.Window);
  DrainQueue();
  ResetProgramGlobals();
  g_messages.clear();
  // Every run starts as a first run: no settings stored by an earlier test.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
}

int RunProgram(std::function<void()> inLoop) {
  g_inLoop = std::move(inLoop);
  // A thread timer fires only from inside a message loop, i.e. once start-up reached it.
  g_inLoopStarted = false;
  g_inLoopTimer = SetTimer(nullptr, 0, 10, InLoopTimer);
  ResetQuitRequest();
  const int code = RunApplication(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
  g_inLoop = nullptr;
  ResetQuitRequest();
  return code;
}

ScopedDirectXVersion::ScopedDirectXVersion(const char* version) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  DWORD size = 0;
  if (RegQueryValueExA(key, "Version", nullptr, &savedType_, nullptr, &size) == ERROR_SUCCESS) {
    saved_.resize(size);
    RegQueryValueExA(key, "Version", nullptr, &savedType_, saved_.data(), &size);
    hadValue_ = true;
  }
  if (version) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
  } else {
    RegDeleteValueA(key, "Version");
  }
  RegCloseKey(key);
}

ScopedDirectXVersion::~ScopedDirectXVersion() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS)
    return;
  if (hadValue_) {
    RegSetValueExA(key, "Version", 0, savedType_, saved_.data(), static_cast<DWORD>(saved_.size()));
  } else {
    RegDeleteValueA(key, "Version");
  }
  RegCloseKey(key);
}

void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the real loop
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char buf[1024];
    while (std::fgets(buf, sizeof buf, f)) {
      std::string line(buf);
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      lines.push_back(line);
    }
    std::fclose(f);
  }
  return lines;
}
