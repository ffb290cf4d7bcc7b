#include "hw/PortIo.h"

namespace {

// With nothing installed the ISA data lines float: every read is 0xFF, writes vanish.
class FloatingPort final : public PortIo {
 public:
  void PortWrite(uint16_t, uint8_t) override {}
  uint8_t PortRead(uint16_t) override { return 0xFF; }
  void SleepMs(uint32_t) override {}
};

FloatingPort g_floating;
PortIo* g_port = &g_floating;

}  // namespace

void InstallPortIo(PortIo* io) {
  g_port = io ? io : &g_floating;
}
PortIo* InstalledPortIo() {
  return g_port == &g_floating ? nullptr : g_port;
}

void PortWrite(uint16_t port, uint8_t value) {
  g_port->PortWrite(port, value);
}
uint8_t PortRead(uint16_t port) {
  return g_port->PortRead(port);
}
void PortSleep(uint32_t ms) {
  g_port->SleepMs(ms);
}
