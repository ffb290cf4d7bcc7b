// The simulated board against the real bus code: transfers through the whole stack
// land in the chips, conditions are recognised at line level, and the trace reads
// as a board engineer expects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "hw/RegisterPort.h"
#include "sim/BusTrace.h"
#include "sim/SimBoard.h"

namespace {

// Runs the bus code against a board on a fake clock and collects the trace.
class BoardFixture : public ::testing::Test {
 protected:
  void PowerUp(SimScenario scenario = {}) {
    board_.reset();
    board_ = std::make_unique<SimBoard>(scenario, clock_);
    InstallPortIo(board_.get());
  }
  void TearDown() override {
    InstallPortIo(nullptr);
    board_.reset();
  }
  SimBoard& Board() { return *board_; }

  FakeClock clock_;
  std::unique_ptr<SimBoard> board_;
};

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, f)) {
      std::string line(buf);
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      lines.push_back(line);
    }
    std::fclose(f);
  }
  return lines;
}

// Strips the timestamp of a trace line.
std::string Body(const std::string& line) {
  const auto space = line.find(' ');
  return space == std::string::npos ? line : line.substr(space + 1);
}

TEST_F(BoardFixture, RegisterWritesAndReadsLandInTheDecoder) {
  PowerUp();
  ASSERT_TRUE(I2cProbe(0x48));
  DecoderInit();
  for (const auto& entry : kDecoderInitTable) {
    EXPECT_EQ(Board().Decoder().Register(entry.reg), entry.value) << int(entry.reg);
  }
  EXPECT_EQ(Board().Decoder().WriteLog().size(), kDecoderInitTable.size());
  EXPECT_TRUE(Board().Decoder().OutputEnabled());
  DecoderDisableOutput();
  EXPECT_EQ(Board().Decoder().Register(0x11), 0x84);
  EXPECT_FALSE(Board().Decoder().OutputEnabled());

  // A read of an ordinary register returns what was written; the pointer auto-increments.
  EXPECT_EQ(I2cReadRegister(0x48, 0x0B), 0x47);
  EXPECT_EQ(I2cReadRegister(0x48, 0x02), 0xD3);
  // The lines are idle after every transaction.
  EXPECT_EQ(Board().BusOutputRegister(), 0x31);
  EXPECT_TRUE(Board().SclLevel());
  EXPECT_TRUE(Board().SdaLevel());
}

TEST_F(BoardFixture, DecoderStatusFollowsSourceAndProgrammedStandard) {
  SimScenario scenario;
  scenario.compositeStandard = 3;  // PAL-BGHI on the composite socket
  scenario.svideoStandard = 0;     // NTSC-M on S-Video
  PowerUp(scenario);
  DecoderInit();  // NTSC-M set, composite
  EXPECT_EQ(DecoderReadStatus(), 0x00) << "50 Hz PAL seen through a fixed 60 Hz NTSC set";
  DecoderSetStandard(kPalBghi);
  EXPECT_EQ(DecoderReadStatus(), 0x01);
  DecoderSelectSVideo();
  EXPECT_EQ(DecoderReadStatus(), 0x20) << "60 Hz source, decoder fixed at 50 Hz";
  DecoderSetStandard(kNtscM);
  EXPECT_EQ(DecoderReadStatus(), 0x21);
  DecoderSetStandard(kPalM);  // same field rate, other colour system
  EXPECT_EQ(DecoderReadStatus(), 0x20);
  DecoderSelectTunerVideo();
  EXPECT_EQ(DecoderReadStatus(), 0x00);
}

TEST_F(BoardFixture, AutomaticFieldDetectionDecodesTheFiftyHertzStandards) {
  for (int standard : {1, 5}) {  // NTSC-N and PAL-N are read under automatic field detection
    SimScenario scenario;
    scenario.compositeStandard = standard;
    PowerUp(scenario);
    DecoderInit();
    DecoderSetStandard(static_cast<uint32_t>(standard));
    EXPECT_EQ(DecoderReadStatus(), 0x01) << standard;
    EXPECT_FALSE(Board().Decoder().Decodes60Hz());
  }
}

TEST_F(BoardFixture, DetectionFindsWhatTheInputsCarry) {
  struct Case {
    int composite, svideo;
    bool found;
    uint32_t standard, connector;
  };
  const Case cases[] = {
      {0, kNoSource, true, kNtscM, kConnectorComposite},
      {kNoSource, 0, true, kNtscM, kConnectorSVideo},
      {3, kNoSource, true, kPalBghi, kConnectorComposite},
      {kNoSource, 3, true, kPalBghi, kConnectorSVideo},
      {6, kNoSource, true, kPal443, kConnectorComposite},
      {kNoSource, 6, true, kPal443, kConnectorSVideo},
      {4, 5, false, 99, 98},  // PAL-M and PAL-N are never tried
      {kNoSource, kNoSource, false, 99, 98},
  };
  for (const Case& c : cases) {
    SimScenario scenario;
    scenario.compositeStandard = c.composite;
    scenario.svideoStandard = c.svideo;
    PowerUp(scenario);
    DecoderInit();
    uint32_t standard = 99, connector = 98;
    EXPECT_EQ(DecoderDetectSignal(standard, connector), c.found) << c.composite << "/" << c.svideo;
    EXPECT_EQ(standard, c.standard);
    EXPECT_EQ(connector, c.connector);
    if (!c.found) {
      EXPECT_EQ(Board().Decoder().Register(0x02), 0xD3) << "initial table restored";
      EXPECT_EQ(Board().Decoder().Register(0x08), 0x48);
    }
  }
}

TEST_F(BoardFixture, ProbeSeesWhichChipsAnswer) {
  SimScenario scenario;
  scenario.tuner = 2;
  PowerUp(scenario);
  EXPECT_TRUE(I2cProbe(0x48));
  EXPECT_TRUE(I2cProbe(0xC0));
  EXPECT_FALSE(I2cProbe(0xC2));
  EXPECT_TRUE(I2cProbe(0x82));
  EXPECT_TRUE(I2cProbe(0x42));
  EXPECT_FALSE(I2cProbe(0x90));

  scenario.tuner = 0;
  scenario.decoderPresent = false;
  PowerUp(scenario);
  EXPECT_FALSE(I2cProbe(0x48));
  EXPECT_FALSE(I2cProbe(0xC0));
  EXPECT_FALSE(I2cProbe(0xC2));
  // A silent decoder reads all ones, and writes to it go nowhere without complaint.
  EXPECT_EQ(I2cReadRegister(0x48, 0x1F), 0xFF);
  I2cWriteRegister(0x48, 0x11, 0x84);
}

TEST_F(BoardFixture, StuckLinesMakeEveryProbeFail) {
  SimScenario scl;
  scl.stuckScl = true;
  PowerUp(scl);
  EXPECT_FALSE(I2cProbe(0x48));
  EXPECT_EQ(Board().BusOutputRegister(), 0x31) << "gave up before the START";

  SimScenario sda;
  sda.stuckSda = true;
  PowerUp(sda);
  EXPECT_FALSE(I2cProbe(0x48)) << "SDA never rises after the STOP";
  EXPECT_EQ(I2cReadRegister(0x48, 0x1F), 0x00);
}

TEST_F(BoardFixture, ExtendedRegistersAnswerOnlyWhenUnlocked) {
  PowerUp();
  PortWrite(0x3C4, 0x06);
  PortWrite(0x3C5, 0x00);  // lock
  PortWrite(0x3D4, 0x3F);
  PortWrite(0x3D5, 0x01);  // would pull both lines low
  EXPECT_TRUE(Board().SclLevel());
  EXPECT_TRUE(Board().SdaLevel());
  PortWrite(0x3D4, 0x3E);
  EXPECT_EQ(PortRead(0x3D5), 0xFF);
  EXPECT_FALSE(Board().ExtendedRegistersUnlocked());

  WriteExtRegister(0x3F, 0x11);  // unlocks, then pulls SCL low
  EXPECT_TRUE(Board().ExtendedRegistersUnlocked());
  EXPECT_FALSE(Board().SclLevel());
  EXPECT_EQ(ReadExtRegister(0x3E), 0x08);
  // Ordinary CRTC registers are untouched by the bus.
  PortWrite(0x3D4, 0x13);
  PortWrite(0x3D5, 0x2C);
  EXPECT_EQ(PortRead(0x3D5), 0x2C);
  EXPECT_EQ(PortRead(0x80), 0xFF);
}

TEST_F(BoardFixture, TunerTakesFourBytesAndReportsItsStatus) {
  PowerUp();
  Board().Tuner().SetStationAt([](double hz) { return hz == 16 * 62500.0 * 1000 ? 2 : 0; });
  I2cStart();
  for (uint8_t b : {0xC0, 0x3E, 0x80, 0x8E, 0x01}) {
    I2cWriteByte(b);
    I2cWaitAck();
  }
  I2cStop();
  EXPECT_EQ(Board().Tuner().Divider(), 0x3E80);
  EXPECT_EQ(Board().Tuner().Control(), 0x8E);
  EXPECT_EQ(Board().Tuner().Band(), 0x01);
  EXPECT_EQ(Board().Tuner().Writes(), 1u);

  auto readStatus = [] {
    I2cStart();
    I2cWriteByte(0xC1);
    I2cWaitAck();
    const uint8_t status = I2cReadByte();
    I2cStop();
    return status;
  };
  EXPECT_EQ(readStatus(), 0x42);
}

TEST_F(BoardFixture, TraceRecordsTransactionsWithTimestamps) {
  const std::string path = ::testing::TempDir() + "lumetra_trace_test.txt";
  std::remove(path.c_str());
  SimScenario scenario;
  scenario.busTrace = path;
  scenario.tuner = 2;
  PowerUp(scenario);
  I2cProbe(0x48);
  I2cWriteRegister(0x48, 0x0A, 0x80);
  const uint8_t status = I2cReadRegister(0x48, 0x1F);
  I2cProbe(0xC2);  // nobody there: no STOP follows
  I2cProbe(0xC2);
  DecoderDisableOutput();
  board_.reset();  // power-down flushes

  const auto lines = Lines(path);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(Body(lines[0]), "S 48+ P");
  EXPECT_EQ(Body(lines[1]), "S 48+ 0A+ 80+ P");
  char read[64];
  std::snprintf(read, sizeof read, "S 48+ 1F+ Sr 49+ r%02X P", status);
  EXPECT_EQ(Body(lines[2]), read);
  EXPECT_EQ(Body(lines[3]), "S C2-");
  EXPECT_EQ(Body(lines[4]), "S C2-");
  EXPECT_EQ(Body(lines[5]), "S 48+ 11+ 84+ P");

  // Timestamps: milliseconds with three decimals, increasing, and the read's 100 ms hold shows.
  double previous = -1;
  std::vector<double> stamps;
  for (const auto& line : lines) {
    double t = 0;
    char dot[2] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf", &t), 1) << line;
    const auto decimals = line.substr(line.find('.') + 1, line.find(' ') - line.find('.') - 1);
    EXPECT_EQ(decimals.size(), 3u) << line;
    (void)dot;
    EXPECT_GT(t, previous);
    previous = t;
    stamps.push_back(t);
  }
  EXPECT_GE(stamps[3] - stamps[2], 100.0);
  std::remove(path.c_str());
}

TEST(BusTraceTest, StartAfterUnacknowledgedByteBeginsANewLine) {
  std::vector<std::string> out;
  BusTrace trace([&](const std::string& line) { out.push_back(line); });
  double t = 0;
  auto lines = [&](bool scl, bool sda) { trace.OnLines(t += 1, scl, sda); };
  auto byte = [&](uint8_t value, bool ack) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool b = (value >> bit) & 1;
      lines(false, b);
      lines(true, b);
      lines(false, b);
    }
    lines(false, !ack);
    lines(true, !ack);
    lines(false, !ack);
  };
  auto start = [&] {
    lines(true, true);
    lines(true, false);
  };
  start();
  byte(0x90, false);
  start();  // no STOP in between
  byte(0x48, true);
  byte(0x1F, true);
  start();  // repeated START after an acknowledged byte stays on the line
  byte(0x49, true);
  lines(false, true);
  lines(true, true);
  lines(true, false);  // SDA falls with SCL high: START again
  trace.Flush();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(Body(out[0]), "S 90-");
  EXPECT_EQ(Body(out[1]), "S 48+ 1F+ Sr 49+ Sr");
}

}  // namespace
