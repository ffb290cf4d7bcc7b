// The board's ports as the processor reaches them. On NT-based systems a user program
// may not execute port instructions, so where the port access library that such programs
// use is installed (InpOut32, or its 64-bit build InpOutx64) and its driver is open, every
// access goes through it. Otherwise the program executes the instructions itself, which
// Windows 9x allows; where the system refuses them, the refused instruction is caught here
// instead of ending the program, and from then on the ports behave as if no board were
// fitted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hw/PortIo.h"

#ifdef _WIN64
inline constexpr char kPortAccessLibrary[] = "inpoutx64.dll";
#else
inline constexpr char kPortAccessLibrary[] = "inpout32.dll";
#endif

// Where the library is looked for: the program's own folder, then the system folder. Never
// the current folder or the path, where anyone could leave a DLL of that name.
std::vector<std::string> PortAccessLibraryFolders();

class MachinePortIo final : public PortIo {
 public:
  enum class Route { Library, Instructions };

  // Loads the library from the first of `libraryFolders` that has it; without a usable
  // one, catches refused port instructions of every thread while it exists.
  MachinePortIo() : MachinePortIo(PortAccessLibraryFolders()) {}
  explicit MachinePortIo(const std::vector<std::string>& libraryFolders);
  ~MachinePortIo() override;
  MachinePortIo(const MachinePortIo&) = delete;
  MachinePortIo& operator=(const MachinePortIo&) = delete;

  void PortWrite(uint16_t port, uint8_t value) override;
  uint8_t PortRead(uint16_t port) override;
  void SleepMs(uint32_t ms) override;

  // The ports are out of reach: the system refused a port instruction (or a refusal
  // could not be caught), and none has been tried since.
  bool Refused() const;
  Route PortRoute() const { return library_ ? Route::Library : Route::Instructions; }

 private:
  using Inp32Call = short(__stdcall*)(short port);
  using Out32Call = void(__stdcall*)(short port, short value);
  using DriverOpenCall = int(__stdcall*)();

  bool LoadLibraryFrom(const std::string& folder);

  void* handler_ = nullptr;
  void* library_ = nullptr;  // HMODULE, while its driver is open
  Inp32Call inp32_ = nullptr;
  Out32Call out32_ = nullptr;
};

// A port instruction (in or out, any width, port in DX or an immediate, after any
// prefixes) at `code`: its length in bytes, whether it reads, and its width (1, 2, 4).
struct PortInstruction {
  size_t length = 0;
  bool reads = false;
  int width = 1;
};
bool DecodePortInstruction(const uint8_t* code, PortInstruction& out);

// Reads each port the program uses once (reads only: they change nothing on the card).
// False when the system refuses any of them.
bool MachinePortsAccessible(MachinePortIo& io);
