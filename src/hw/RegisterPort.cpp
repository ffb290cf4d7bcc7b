#include "hw/RegisterPort.h"

#include "hw/PortIo.h"

void WriteExtRegister(uint8_t index, uint8_t value) {
  PortWrite(kSequencerIndexPort, kUnlockIndex);
  PortWrite(kSequencerDataPort, kUnlockValue);
  PortWrite(kCrtcIndexPort, index);
  PortWrite(kCrtcDataPort, value);
}

uint8_t ReadExtRegister(uint8_t index) {
  PortWrite(kSequencerIndexPort, kUnlockIndex);
  PortWrite(kSequencerDataPort, kUnlockValue);
  PortWrite(kCrtcIndexPort, index);
  return PortRead(kCrtcDataPort);
}
