#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "hw/I2cBus.h"
#include "hw/RegisterPort.h"
#include "native/FakePort.h"

namespace {

// "W3C4=06", "R80", "S100": one string per access, for readable failures.
std::vector<std::string> Describe(const std::vector<FakePort::Access>& log) {
  std::vector<std::string> out;
  for (const FakePort::Access& a : log) {
    char text[24];
    if (a.kind == FakePort::Access::kWrite) {
      std::snprintf(text, sizeof text, "W%X=%02X", a.port, static_cast<unsigned>(a.value));
    } else if (a.kind == FakePort::Access::kRead) {
      std::snprintf(text, sizeof text, "R%X", a.port);
    } else {
      std::snprintf(text, sizeof text, "S%u", static_cast<unsigned>(a.value));
    }
    out.push_back(text);
  }
  return out;
}

std::vector<std::string> Split(const std::string& trace) {
  std::istringstream in(trace);
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  return tokens;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The data bits a slave would latch: SDA at every rising SCL among the line words.
std::vector<int> ClockedBits(const std::vector<uint8_t>& words) {
  std::vector<int> bits;
  bool scl = true;
  for (uint8_t w : words) {
    if ((w & kLineScl) && !scl) bits.push_back((w & kLineSda) ? 1 : 0);
    scl = w & kLineScl;
  }
  return bits;
}

}  // namespace

TEST(RegisterPort, EveryAccessUnlocksThenSelectsTheRegister) {
  FakePort port;
  SetBusLines(0x20);
  std::vector<std::string> expected = {"W3C4=06", "W3C5=57", "W3D4=3F", "W3D5=21"};
  expected.insert(expected.end(), 32, "R80");
  EXPECT_EQ(Describe(port.log), expected);

  port.ClearLog();
  port.busInput = [] { return uint8_t{0x5A}; };
  EXPECT_EQ(ReadExtRegister(kBusInputRegister), 0x5A);
  EXPECT_EQ(Describe(port.log),
            (std::vector<std::string>{"W3C4=06", "W3C5=57", "W3D4=3E", "R3D5"}));

  // Bit 0 of the output register is set in every write.
  port.ClearLog();
  for (uint8_t lines : {0x00, 0x10, 0x20, 0x30}) SetBusLines(lines);
  std::vector<uint32_t> written;
  for (const auto& a : port.log)
    if (a.kind == FakePort::Access::kWrite && a.port == kCrtcDataPort) written.push_back(a.value);
  EXPECT_EQ(written, (std::vector<uint32_t>{0x01, 0x11, 0x21, 0x31}));
}

TEST(I2cBusLines, ReadShiftsTheInputRegisterDownByTwo) {
  struct Case {
    uint8_t inputRegister;
    uint8_t lines;
  };
  for (const Case& c : {Case{0x0C, 0x03}, Case{0x04, 0x01}, Case{0x08, 0x02}, Case{0x00, 0x00}}) {
    FakePort port;
    port.busInput = [&] { return c.inputRegister; };
    EXPECT_EQ(ReadBusLines(), c.lines) << "register 0x3E = " << int(c.inputRegister);
    EXPECT_EQ(port.Reads(kDelayPort), 0u) << "no delay follows a line read";
  }
}

TEST(I2cBusConditions, WriteByteSendsMsbFirstWithAClockWaitPerBit) {
  FakePort port;
  I2cWriteByte(0xA5);
  const std::vector<uint8_t> expected = {0x10, 0x30, 0x10, 0x00, 0x20, 0x00, 0x10, 0x30,
                                         0x10, 0x00, 0x20, 0x00, 0x00, 0x20, 0x00, 0x10,
                                         0x30, 0x10, 0x00, 0x20, 0x00, 0x10, 0x30, 0x10};
  EXPECT_EQ(port.LineWords(), expected);

  std::string trace;
  for (uint8_t w : expected) {
    char item[8];
    std::snprintf(item, sizeof item, "%s%02X%s", trace.empty() ? "" : " ", w,
                  (w & kLineScl) ? " r" : "");
    trace += item;
  }
  EXPECT_EQ(port.LineTrace(), trace);
}

TEST(I2cBusConditions, SequencesAndBoundedWaits) {
  constexpr uint8_t kHigh = 0x0C, kSclLow = 0x08, kSdaLow = 0x04;
  struct Case {
    const char* name;
    std::function<void()> run;
    uint8_t input;
    const char* trace;
  };
  const std::vector<Case> cases = {
      {"start", I2cStart, kHigh, "30 r 20"},
      {"start, clock stretched for ever", I2cStart, kSclLow, "30 r64 20"},
      {"stop", I2cStop, kHigh, "20 r 30 r"},
      {"stop, SDA held low", I2cStop, kSdaLow, "20 r 30 r64"},
      // Clock wait 1 read, then the acknowledge poll: at most 63 reads.
      {"ack, none", I2cWaitAck, kHigh, "10 30 r64 10"},
      {"ack, given", I2cWaitAck, kSdaLow, "10 30 r2 10"},
      {"ack, clock stretched, none", I2cWaitAck, kSclLow, "10 30 r127 10"},
      {"read byte", [] { I2cReadByte(); }, kHigh,
       "10 30 r2 10 10 30 r2 10 10 30 r2 10 10 30 r2 10 10 30 r2 10 10 30 r2 10 10 30 r2 10 10 30 "
       "r2 10"},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.busInput = [&] { return c.input; };
    c.run();
    EXPECT_EQ(port.LineTrace(), c.trace) << c.name;
  }
}

TEST(I2cBusConditions, ReadByteShiftsSdaInFromTheTop) {
  FakePort port;
  // Per bit the clock wait's read, then the sample; the wait's read shows the
  // opposite SDA level so that only the sample can produce the result.
  std::vector<uint8_t> reads;
  for (int bit : {1, 0, 1, 1, 0, 0, 1, 0}) {
    reads.push_back(bit ? 0x04 : 0x0C);
    reads.push_back(bit ? 0x0C : 0x04);
  }
  port.busInput = FakePort::Script(reads, 0x0C);
  EXPECT_EQ(I2cReadByte(), 0xB2);
}

TEST(I2cBusCost, EverySetAndReadCostsAFixedNumberOfAccesses) {
  struct Case {
    const char* name;
    std::function<void()> run;
  };
  const std::vector<Case> cases = {
      {"start+stop",
       [] {
         I2cStart();
         I2cStop();
       }},
      {"write register", [] { I2cWriteRegister(0x48, 0x0A, 0x80); }},
      {"read register", [] { I2cReadRegister(0x48, 0x1F); }},
      {"probe", [] { I2cProbe(0xC2); }},
  };
  for (const Case& c : cases) {
    FakePort port;
    c.run();
    const size_t sets = port.LineWords().size();
    const size_t lineReads = port.Reads(kCrtcDataPort);
    ASSERT_GT(sets, 0u) << c.name;
    EXPECT_EQ(port.Writes(kCrtcDataPort), sets) << c.name;
    EXPECT_EQ(port.Reads(kDelayPort), 32 * sets) << c.name;
    for (uint16_t p : {kSequencerIndexPort, kSequencerDataPort, kCrtcIndexPort})
      EXPECT_EQ(port.Writes(p), sets + lineReads) << c.name << " port " << p;
    const size_t sleeps = port.nowMs / 100;
    EXPECT_EQ(port.log.size(), 36 * sets + 4 * lineReads + sleeps) << c.name << ": stray accesses";
  }
}

TEST(I2cBusTransactions, WriteRegisterToNobodyRunsToTheEnd) {
  FakePort port;  // both lines always high: nobody acknowledges
  I2cWriteRegister(0x48, 0x0B, 0x47);
  // START, three bytes each with its acknowledge poll, STOP.
  EXPECT_EQ(port.LineWords().size(), 2u + 3 * (24 + 3) + 2);
  EXPECT_EQ(port.Reads(kCrtcDataPort), 1u + 3 * (8 + 64) + 2);
  EXPECT_EQ(ClockedBits(port.LineWords()).size(), 3u * 9 + 1);
  EXPECT_TRUE(EndsWith(port.LineTrace(), "10 20 r 30 r"));
  EXPECT_EQ(port.nowMs, 0u);
}

TEST(I2cBusTransactions, ReadRegisterOfAnAbsentDeviceHoldsSclLowFor100Ms) {
  FakePort port;
  EXPECT_EQ(I2cReadRegister(0x48, 0x1F), 0xFF);
  EXPECT_EQ(port.nowMs, 100u);

  const std::vector<std::string> tokens = Split(port.LineTrace());
  size_t sleepAt = 0;
  for (size_t i = 0; i < tokens.size(); ++i)
    if (tokens[i][0] == 's') {
      EXPECT_EQ(sleepAt, 0u) << "one sleep only";
      sleepAt = i;
    }
  ASSERT_EQ(tokens[sleepAt], "s100");

  std::vector<uint8_t> before, after;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i][0] == 'r' || i == sleepAt) continue;
    (i < sleepAt ? before : after)
        .push_back(static_cast<uint8_t>(std::stoul(tokens[i], nullptr, 16)));
  }
  EXPECT_EQ(before.back() & kLineScl, 0) << "SCL is held low during the sleep";
  // The last eight clocks before the sleep carry the read address.
  const std::vector<int> bits = ClockedBits(before);
  ASSERT_GE(bits.size(), 8u);
  int address = 0;
  for (size_t i = bits.size() - 8; i < bits.size(); ++i) address = address * 2 + bits[i];
  EXPECT_EQ(address, 0x49);
  // Next comes the acknowledge clock.
  ASSERT_GE(after.size(), 2u);
  EXPECT_EQ(after[0], 0x10);
  EXPECT_EQ(after[1], 0x30);
}

TEST(I2cBusTransactions, RegisterTransfersReachADeviceBitForBit) {
  FakeI2cSlavePort port;
  port.present = {0x82};
  port.registers[0x82][0x1F] = 0xB2;
  EXPECT_EQ(I2cReadRegister(0x82, 0x1F), 0xB2);
  I2cWriteRegister(0x82, 0x07, 0x6C);
  EXPECT_EQ(port.Register(0x82, 0x07), 0x6C);
  EXPECT_TRUE(port.BusIdle());
  EXPECT_EQ(I2cReadRegister(0x82, 0x07), 0x6C);
  EXPECT_EQ(I2cReadRegister(0x42, 0x07), 0xFF) << "another address stays silent";
}

// Address 0x48 = 0100 1000: the line words and clock waits of the probe up to the
// acknowledge clock.
constexpr const char* kProbe48 =
    "30 r 20 00 20 r 00 10 30 r 10 00 20 r 00 00 20 r 00 10 30 r 10 00 20 r 00 00 20 r 00 00 20 r "
    "00";

TEST(I2cProbe, FailsAtTheFirstWaitThatRunsOut) {
  const std::vector<uint8_t> tenHigh(10, 0x0C);  // START wait, 8 bit clocks, ack clock
  auto then = [&](std::vector<uint8_t> more) {
    std::vector<uint8_t> all = tenHigh;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  std::vector<uint8_t> late(4, 0x0C);
  late.push_back(0x04);
  std::vector<uint8_t> lastChance(126, 0x0C);
  lastChance.push_back(0x04);
  std::vector<uint8_t> slowClock = {0x04};  // ack, then SCL low 28 reads, then SDA stuck low
  slowClock.insert(slowClock.end(), 28, 0x00);

  struct Case {
    const char* name;
    std::vector<uint8_t> reads;
    uint8_t then;
    bool found;
    std::string trace;
  };
  const std::string upToAck = std::string(kProbe48) + " 10 30";
  const std::vector<Case> cases = {
      {"no device", {}, 0x0C, false, upToAck + " r128"},  // clock wait + 127 ack reads
      {"SCL stuck low", {}, 0x08, false, "30 r128"},
      {"clock stretched for ever in bit 7", {0x0C}, 0x08, false, "30 r 20 00 20 r128"},
      {"acknowledged", then({0x04}), 0x0C, true, upToAck + " r2 10 20 r 30 r"},
      {"acknowledged late", then(late), 0x0C, true, upToAck + " r6 10 20 r 30 r"},
      {"acknowledged at the 127th read", then(lastChance), 0x0C, true,
       upToAck + " r128 10 20 r 30 r"},
      {"SCL stuck low after the ack", then({0x04}), 0x00, false, upToAck + " r2 10 20 r128"},
      {"SDA held low after STOP", then({0x04}), 0x04, false, upToAck + " r2 10 20 r 30 r128"},
      // The STOP's SDA wait only gets what the clock wait left of its 128 reads.
      {"slow clock shortens the SDA wait", then(slowClock), 0x04, false,
       upToAck + " r2 10 20 r29 30 r100"},
  };
  for (const Case& c : cases) {
    FakePort port;
    port.busInput = FakePort::Script(c.reads, c.then);
    EXPECT_EQ(I2cProbe(0x48), c.found) << c.name;
    EXPECT_EQ(port.LineTrace(), c.trace) << c.name;
    if (c.found) {
      EXPECT_EQ(port.LineWords().back(), kLinesIdle) << c.name;
    }
  }
}

TEST(I2cProbe, SclStuckLowWritesOnlyTheIdleWord) {
  FakePort port;
  port.busInput = [] { return uint8_t{0x08}; };
  EXPECT_FALSE(I2cProbe(0x48));
  std::vector<uint32_t> written;
  for (const auto& a : port.log)
    if (a.kind == FakePort::Access::kWrite && a.port == kCrtcDataPort) written.push_back(a.value);
  EXPECT_EQ(written, std::vector<uint32_t>{0x31});
  EXPECT_EQ(port.Reads(kCrtcDataPort), 128u);
}

TEST(I2cProbe, FindsOnlyDevicesThatAcknowledge) {
  FakeI2cSlavePort port;
  port.present = {0x48, 0xC0};
  EXPECT_TRUE(I2cProbe(0x48));
  EXPECT_TRUE(port.BusIdle());
  EXPECT_TRUE(I2cProbe(0xC0));
  EXPECT_FALSE(I2cProbe(0xC2));
  EXPECT_TRUE(port.transfers.empty()) << "a probe transfers no data";
}
