// Extended CRTC registers of the graphics chip, reached through the VGA ports.
// Every access first unlocks the extended registers through sequencer index 6.
#pragma once

#include <cstdint>

constexpr uint16_t kSequencerIndexPort = 0x3C4;
constexpr uint16_t kSequencerDataPort = 0x3C5;
constexpr uint16_t kCrtcIndexPort = 0x3D4;
constexpr uint16_t kCrtcDataPort = 0x3D5;
constexpr uint16_t kDelayPort = 0x80;

constexpr uint8_t kUnlockIndex = 0x06;
constexpr uint8_t kUnlockValue = 0x57;

constexpr uint8_t kBusOutputRegister = 0x3F;  // bit 4 SDA, bit 5 SCL, bit 0 always set
constexpr uint8_t kBusInputRegister = 0x3E;   // bit 2 SCL level, bit 3 SDA level

void WriteExtRegister(uint8_t index, uint8_t value);
uint8_t ReadExtRegister(uint8_t index);
