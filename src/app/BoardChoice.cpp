#include "app/BoardChoice.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "app/Startup.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/SystemDirectDraw.h"
#include "hw/win32/MachinePortIo.h"
#include "win32/MessageBox.h"

namespace {

bool SameWord(std::string_view word, std::string_view name) {
  if (word.size() != name.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(word[i])) != name[i]) return false;
  }
  return true;
}

}  // namespace

BoardSwitch ParseBoardSwitch(const char* commandLine) {
  BoardSwitch result = BoardSwitch::None;
  std::string_view rest = commandLine ? commandLine : "";
  while (!rest.empty()) {
    const size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) continue;
    word.remove_prefix(1);
    if (SameWord(word, "hardware")) result = BoardSwitch::Hardware;
    if (SameWord(word, "simulate")) result = BoardSwitch::Simulate;
  }
  return result;
}

BoardKind ChooseBoard(BoardSwitch given, const BoardDriverCalls& driver) {
  switch (given) {
    case BoardSwitch::Hardware:
      return BoardKind::Machine;
    case BoardSwitch::Simulate:
      return BoardKind::Simulated;
    case BoardSwitch::None:
      break;
  }
  return BoardDriverOpens(driver) ? BoardKind::Machine : BoardKind::Simulated;
}

int RunOnMachineBoard(HINSTANCE instance, int showCommand) {
  MachinePortIo ports;
  InstallPortIo(&ports);
  int code = 0;
  if (MachinePortsAccessible(ports)) {
    SystemDirectDrawProvider directDraw;
    InstallDirectDrawProvider(&directDraw);
    code = RunApplication(instance, showCommand);
    // Every DirectDraw object goes before the library that made it.
    DisplayRelease();
    InstallDirectDrawProvider(nullptr);
  } else {
    ShowProductMessage(nullptr, kNoPortAccessMessage, kErrorStyle);
  }
  InstallPortIo(nullptr);
  return code;
}
