// The choice between the machine's board and the simulated one, and what the program
// does with the machine's ports, DirectDraw and driver on a system that has none of
// them (as Wine here: port instructions are refused, DirectDraw has no video port).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/BoardChoice.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/SystemDirectDraw.h"
#include "hw/win32/MachinePortIo.h"
#include "ui/ViewState.h"
#include "win32/Recorders.h"

namespace {

// A board driver that opens or not, counting what is asked of it.
struct FakeDriver {
  static inline bool present = false;
  static inline int opens = 0;
  static inline int closes = 0;
  static inline std::string openedName;
  static HANDLE Open(const char* name) {
    ++opens;
    openedName = name;
    return present ? reinterpret_cast<HANDLE>(0x1234) : INVALID_HANDLE_VALUE;
  }
  static BOOL Control(HANDLE, DWORD, void*, DWORD, void*, DWORD, DWORD*) { return FALSE; }
  static BOOL Close(HANDLE device) {
    EXPECT_EQ(device, reinterpret_cast<HANDLE>(0x1234));
    ++closes;
    return TRUE;
  }
  static void Reset(bool isPresent) {
    present = isPresent;
    opens = closes = 0;
    openedName.clear();
  }
};
constexpr BoardDriverCalls kFakeDriver = {FakeDriver::Open, FakeDriver::Control, FakeDriver::Close};

TEST(BoardChoiceTest, SwitchesAreReadFromTheCommandLine) {
  EXPECT_EQ(ParseBoardSwitch(nullptr), BoardSwitch::None);
  EXPECT_EQ(ParseBoardSwitch(""), BoardSwitch::None);
  EXPECT_EQ(ParseBoardSwitch("   "), BoardSwitch::None);
  EXPECT_EQ(ParseBoardSwitch("/hardware"), BoardSwitch::Hardware);
  EXPECT_EQ(ParseBoardSwitch("  -HARDWARE\t"), BoardSwitch::Hardware);
  EXPECT_EQ(ParseBoardSwitch("/Simulate"), BoardSwitch::Simulate);
  // The last switch wins; other words, and words that only start like a switch, are left.
  EXPECT_EQ(ParseBoardSwitch("/hardware /simulate"), BoardSwitch::Simulate);
  EXPECT_EQ(ParseBoardSwitch("/simulate clip.avi -hardware"), BoardSwitch::Hardware);
  EXPECT_EQ(ParseBoardSwitch("/hardwares /sim hardware / -"), BoardSwitch::None);
}

TEST(BoardChoiceTest, TheDriverDecidesUnlessASwitchDoes) {
  FakeDriver::Reset(true);
  EXPECT_EQ(ChooseBoard(BoardSwitch::None, kFakeDriver), BoardKind::Machine);
  EXPECT_EQ(FakeDriver::openedName, "\\\\.\\KORDEX");
  EXPECT_EQ(FakeDriver::opens, 1);
  EXPECT_EQ(FakeDriver::closes, 1) << "the probe leaves no handle open";

  FakeDriver::Reset(false);
  EXPECT_EQ(ChooseBoard(BoardSwitch::None, kFakeDriver), BoardKind::Simulated);
  EXPECT_EQ(FakeDriver::opens, 1);
  EXPECT_EQ(FakeDriver::closes, 0);

  // Forced either way, the driver is not asked at all.
  for (const bool present : {false, true}) {
    FakeDriver::Reset(present);
    EXPECT_EQ(ChooseBoard(BoardSwitch::Hardware, kFakeDriver), BoardKind::Machine);
    EXPECT_EQ(ChooseBoard(BoardSwitch::Simulate, kFakeDriver), BoardKind::Simulated);
    EXPECT_EQ(FakeDriver::opens, 0);
  }

  // This machine has no board driver: the default is the simulated board.
  EXPECT_EQ(ChooseBoard(BoardSwitch::None, PlatformBoardDriverCalls()), BoardKind::Simulated);
}

// Counts privileged-instruction faults before anyone handles them.
struct FaultCounter {
  static inline int faults = 0;
  static LONG CALLBACK Count(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode == EXCEPTION_PRIV_INSTRUCTION ||
        info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
      ++faults;
    return EXCEPTION_CONTINUE_SEARCH;
  }
};

// Takes what nobody else took, so a raised exception comes back to the test.
struct LastResort {
  static inline int taken = 0;
  static LONG CALLBACK Take(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_PRIV_INSTRUCTION)
      return EXCEPTION_CONTINUE_SEARCH;
    ++taken;
    return EXCEPTION_CONTINUE_EXECUTION;
  }
};

TEST(MachinePortIoTest, ARefusedPortInstructionIsCaughtOnceAndThePortsThenFloat) {
  MachinePortIo io;
  FaultCounter::faults = 0;
  // Registered after the port's own handler and first in line, so it sees every fault.
  void* counter = AddVectoredExceptionHandler(1, FaultCounter::Count);
  ASSERT_NE(counter, nullptr);

  const uint8_t first = io.PortRead(0x3D5);
  if (!io.Refused()) {
    RemoveVectoredExceptionHandler(counter);
    GTEST_SKIP() << "this system lets the program use the ports";
  }
  EXPECT_EQ(first, 0xFF);
  EXPECT_EQ(FaultCounter::faults, 1);
  // Refused once, never tried again: reads float high, writes vanish, no more faults.
  io.PortWrite(0x3C4, 0x06);
  io.PortWrite(0x3C5, 0x57);
  EXPECT_EQ(io.PortRead(0x80), 0xFF);
  EXPECT_EQ(io.PortRead(0x3D5), 0xFF);
  EXPECT_EQ(FaultCounter::faults, 1);
  EXPECT_FALSE(MachinePortsAccessible(io));
  RemoveVectoredExceptionHandler(counter);
}

TEST(MachinePortIoTest, AWriteIsCaughtAsWellAndTheSleepIsReal) {
  MachinePortIo io;
  io.PortWrite(0x3C4, 0x06);
  if (!io.Refused()) GTEST_SKIP() << "this system lets the program use the ports";
  const auto start = std::chrono::steady_clock::now();
  io.SleepMs(40);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(35));
}

TEST(MachinePortIoTest, FaultsOutsideThePortInstructionsAreLeftToOthers) {
  MachinePortIo io;
  LastResort::taken = 0;
  void* last = AddVectoredExceptionHandler(0, LastResort::Take);
  ASSERT_NE(last, nullptr);
  RaiseException(EXCEPTION_PRIV_INSTRUCTION, 0, 0, nullptr);
  RemoveVectoredExceptionHandler(last);
  EXPECT_EQ(LastResort::taken, 1);
  EXPECT_FALSE(io.Refused());
}

TEST(MachinePortIoTest, EveryFormOfPortInstructionIsRecognised) {
  struct Case {
    std::vector<uint8_t> code;
    size_t length;
    bool reads;
    int width;
  };
  const Case cases[] = {
      {{0xEC}, 1, true, 1},                     // in al, dx
      {{0xEE}, 1, false, 1},                    // out dx, al
      {{0xE4, 0x80}, 2, true, 1},               // in al, 0x80
      {{0xE6, 0x80}, 2, false, 1},              // out 0x80, al
      {{0xED}, 1, true, 4},                     // in eax, dx
      {{0x66, 0xED}, 2, true, 2},               // in ax, dx
      {{0x66, 0xE7, 0x80}, 3, false, 2},        // out 0x80, ax
      {{0xF3, 0x2E, 0x67, 0xEF}, 4, false, 4},  // prefixes in any order
  };
  for (const Case& c : cases) {
    PortInstruction decoded;
    ASSERT_TRUE(DecodePortInstruction(c.code.data(), decoded)) << std::hex << int(c.code.back());
    EXPECT_EQ(decoded.length, c.length) << std::hex << int(c.code.back());
    EXPECT_EQ(decoded.reads, c.reads) << std::hex << int(c.code.back());
    EXPECT_EQ(decoded.width, c.width) << std::hex << int(c.code.back());
  }
  // Neighbours of the port opcodes, and faults of other instructions, are not ours.
  for (const std::vector<uint8_t>& other : std::vector<std::vector<uint8_t>>{
           {0xE8, 0, 0, 0, 0}, {0xE3, 0}, {0xF4}, {0x8B, 0x00}, {0x66, 0x90}, {0xFA}}) {
    PortInstruction decoded;
    EXPECT_FALSE(DecodePortInstruction(other.data(), decoded)) << std::hex << int(other[0]);
  }
}

TEST(MachineBoardTest, RefusedPortsEndTheProgramWithOneMessage) {
  {
    MachinePortIo probe;
    if (MachinePortsAccessible(probe)) GTEST_SKIP() << "this system lets the program use the ports";
  }
  ResetProgramState();
  InstallMessageRecorder();
  RecordedMessages().clear();
  EXPECT_EQ(RunOnMachineBoard(GetModuleHandleA(nullptr), SW_SHOWNORMAL), 0);
  ASSERT_EQ(RecordedMessages().size(), 1u);
  const RecordedMessage& box = RecordedMessages()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.caption, "Corvan Telvista");
  EXPECT_EQ(box.text, kNoPortAccessMessage);
  EXPECT_EQ(box.style, 0x40010u) << "top-most, error icon";
  EXPECT_EQ(VideoWindow.Window, nullptr);
  EXPECT_EQ(FindWindowA("QUENDALUMETRA", nullptr), nullptr);
  EXPECT_EQ(InstalledPortIo(), nullptr) << "the machine's ports are not left installed";
}

TEST(MachineBoardTest, TheSystemsDirectDrawEndsInOneOfTheDisplayMessages) {
  ResetProgramState();
  InstallMessageRecorder();
  RecordedMessages().clear();
  SystemDirectDrawProvider provider;
  InstallDirectDrawProvider(&provider);
  FillVideoPortConfig();
  const bool created = DisplayCreate(true);
  DisplayRelease();
  InstallDirectDrawProvider(nullptr);

  // A system DirectDraw with a video port would be a board-ready machine, not this one.
  EXPECT_FALSE(created);
  ASSERT_EQ(RecordedMessages().size(), 1u);
  const std::string text = RecordedMessages()[0].text;
  std::printf("report: the system's DirectDraw says \"%s\"\n", text.c_str());
  const std::vector<std::string> known = {kNoDirectDrawMessage, kNoVideoPortSupportMessage,
                                          kNoOverlaySupportMessage, kNoContainerMessage,
                                          kNoClipperMessage};
  EXPECT_NE(std::find(known.begin(), known.end(), text), known.end()) << text;
  EXPECT_EQ(RecordedMessages()[0].style, kDisplayFailureStyle);
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(Display.Clipper, nullptr);
}

}  // namespace
