// The board's two-wire bus, driven bit by bit through the extended CRTC registers.
//
// Line words: written words use 0x10 for SDA and 0x20 for SCL, a set bit releasing
// the line (0x30 idle, 0x20 SCL high/SDA low, 0x10 SCL low/SDA high, 0x00 both low).
// A read word has bit 0 = SCL and bit 1 = SDA.
//
// Nothing here reports a failure except I2cProbe: waits that run out simply end and
// the sequence goes on, and a missing acknowledge is not noticed.
#pragma once

#include <cstdint>

constexpr uint8_t kLinesIdle = 0x30;
constexpr uint8_t kLineScl = 0x20;
constexpr uint8_t kLineSda = 0x10;
constexpr uint8_t kReadScl = 0x01;
constexpr uint8_t kReadSda = 0x02;

// Line level.
void BusDelay();
void SetBusLines(uint8_t lines);
uint8_t ReadBusLines();
void WaitClockHigh();
void WaitDataHigh();

// Conditions.
void I2cStart();  // also the repeated START
void I2cStop();
void I2cWriteByte(uint8_t value);
void I2cWaitAck();
uint8_t I2cReadByte();  // clocks no acknowledge: the caller goes straight to I2cStop

// Transactions.
void I2cWriteRegister(uint8_t address, uint8_t subaddress, uint8_t value);
uint8_t I2cReadRegister(uint8_t address, uint8_t subaddress);
bool I2cProbe(uint8_t address);
