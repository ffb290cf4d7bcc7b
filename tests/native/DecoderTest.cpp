#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "hw/Decoder.h"
#include "native/FakePort.h"

namespace {

using RegWrite = std::pair<uint8_t, uint8_t>;  // register, value

// Writes to the decoder seen on the bus, in order.
std::vector<RegWrite> DecoderWrites(const FakeI2cSlavePort& port) {
  std::vector<RegWrite> out;
  for (const auto& t : port.transfers) {
    EXPECT_EQ(t.address, 0x48);
    if (!t.read) out.push_back({t.reg, t.value});
  }
  return out;
}

// A bus with a decoder that acknowledges; every register starts at 0xEE so that
// nothing read back can be left over from the reset state.
struct DecoderBus : FakeI2cSlavePort {
  DecoderBus() {
    present = {0x48};
    registers[0x48].fill(0xEE);
  }
};

const std::vector<RegWrite> kInitialTable = {
    {0x01, 0x00}, {0x02, 0xD3}, {0x03, 0x23}, {0x04, 0x00}, {0x05, 0x00}, {0x08, 0x48},
    {0x09, 0x10}, {0x0A, 0x80}, {0x0B, 0x47}, {0x0C, 0x40}, {0x0D, 0x00}, {0x0E, 0x01},
    {0x0F, 0x00}, {0x10, 0xC8}, {0x11, 0x0C}, {0x12, 0x80},
};

}  // namespace

TEST(Decoder, InitWritesTheInitialTableInOrder) {
  DecoderBus port;
  DecoderInit();
  EXPECT_EQ(DecoderWrites(port), kInitialTable);
  EXPECT_EQ(port.StatusReads(), 0u);
  EXPECT_TRUE(port.BusIdle());
}

TEST(Decoder, StandardsWriteSyncLuminanceChromaInOrder) {
  struct Case {
    uint32_t standard;
    uint8_t sync, luminance, chroma;
  };
  const Case cases[] = {
      {0, 0x48, 0x10, 0x01},
      {1, 0x88, 0x10, 0x31},
      {2, 0x88, 0x10, 0x21},
      {3, 0x08, 0x00, 0x01},
      {4, 0x48, 0x00, 0x31},
      {5, 0x88, 0x00, 0x21},
      {6, 0x48, 0x00, 0x11},
      // Out of range must never index past the table; NTSC-M is the fallback.
      {7, 0x48, 0x10, 0x01},
      {0xFFFFFFFF, 0x48, 0x10, 0x01},
  };
  for (const Case& c : cases) {
    DecoderBus port;
    DecoderSetStandard(c.standard);
    EXPECT_EQ(DecoderWrites(port),
              (std::vector<RegWrite>{{0x08, c.sync}, {0x09, c.luminance}, {0x0E, c.chroma}}))
        << "standard " << c.standard;
  }
}

TEST(Decoder, InputSelectionAndSwitchOff) {
  struct Case {
    const char* name;
    void (*run)();
    RegWrite write;
  };
  const Case cases[] = {
      {"S-Video", DecoderSelectSVideo, {0x02, 0xD4}},
      {"Composite", DecoderSelectComposite, {0x02, 0xD3}},
      {"Tuner", DecoderSelectTunerVideo, {0x02, 0xD0}},
      {"output off", DecoderDisableOutput, {0x11, 0x84}},
  };
  for (const Case& c : cases) {
    DecoderBus port;
    c.run();
    EXPECT_EQ(DecoderWrites(port), std::vector<RegWrite>{c.write}) << c.name;
  }
}

TEST(Decoder, PictureSettingsMapToRegisterValues) {
  struct Case {
    const char* name;
    uint8_t (*map)(uint32_t);
    void (*set)(uint8_t);
    uint8_t reg;
    uint32_t setting;
    uint8_t value;
  };
  const Case cases[] = {
      {"hue", HueRegisterValue, DecoderSetHue, 0x0D, 0, 0x80},
      {"hue", HueRegisterValue, DecoderSetHue, 0x0D, 127, 0xFF},
      {"hue", HueRegisterValue, DecoderSetHue, 0x0D, 128, 0x00},
      {"hue", HueRegisterValue, DecoderSetHue, 0x0D, 255, 0x7F},
      {"contrast", ContrastRegisterValue, DecoderSetContrast, 0x0B, 255, 0x7F},
      {"contrast", ContrastRegisterValue, DecoderSetContrast, 0x0B, 142, 0x47},
      {"contrast", ContrastRegisterValue, DecoderSetContrast, 0x0B, 144, 0x48},
      {"saturation", SaturationRegisterValue, DecoderSetSaturation, 0x0C, 128, 0x40},
      {"saturation", SaturationRegisterValue, DecoderSetSaturation, 0x0C, 255, 0x7F},
      {"brightness", BrightnessRegisterValue, DecoderSetBrightness, 0x0A, 128, 0x80},
      {"brightness", BrightnessRegisterValue, DecoderSetBrightness, 0x0A, 255, 0xFF},
  };
  for (const Case& c : cases) {
    DecoderBus port;
    EXPECT_EQ(c.map(c.setting), c.value) << c.name << " " << c.setting;
    c.set(c.map(c.setting));
    EXPECT_EQ(DecoderWrites(port), (std::vector<RegWrite>{{c.reg, c.value}}))
        << c.name << " " << c.setting;
  }
}

TEST(DecoderDetectSignal, TriesTheInputsAndStandardsInOrder) {
  // What each trial writes: standard registers 0x08, 0x09, 0x0E, then the input.
  const std::vector<RegWrite> kTrials[6] = {
      {{0x08, 0x48}, {0x09, 0x10}, {0x0E, 0x01}, {0x02, 0xD3}},  // NTSC-M, Composite
      {{0x08, 0x48}, {0x09, 0x10}, {0x0E, 0x01}, {0x02, 0xD4}},  // NTSC-M, S-Video
      {{0x08, 0x08}, {0x09, 0x00}, {0x0E, 0x01}, {0x02, 0xD3}},  // PAL-BGHI, Composite
      {{0x08, 0x08}, {0x09, 0x00}, {0x0E, 0x01}, {0x02, 0xD4}},  // PAL-BGHI, S-Video
      {{0x08, 0x48}, {0x09, 0x00}, {0x0E, 0x11}, {0x02, 0xD3}},  // PAL-4.43, Composite
      {{0x08, 0x48}, {0x09, 0x00}, {0x0E, 0x11}, {0x02, 0xD4}},  // PAL-4.43, S-Video
  };
  auto zerosThen = [](size_t zeros, uint8_t last) {
    std::vector<uint8_t> v(zeros, 0x00);
    v.push_back(last);
    return v;
  };
  constexpr uint32_t kUntouchedStandard = kPalM;
  constexpr uint32_t kUntouchedConnector = kConnectorTuner;

  struct Case {
    const char* name;
    std::vector<uint8_t> status;  // the last one repeats
    std::vector<int> readsPerTrial;
    bool found;
    uint32_t standard, connector;
  };
  const Case cases[] = {
      {"60 Hz colour at once", {0x21}, {1}, true, kNtscM, kConnectorComposite},
      {"silent decoder's 0xFF", {0xFF}, {1}, true, kNtscM, kConnectorComposite},
      {"fifth read still counts", zerosThen(4, 0x21), {5}, true, kNtscM, kConnectorComposite},
      {"NTSC-M on S-Video", zerosThen(5, 0x21), {5, 1}, true, kNtscM, kConnectorSVideo},
      {"50 Hz colour", {0x01}, {5, 5, 1}, true, kPalBghi, kConnectorComposite},
      {"PAL-BGHI on S-Video", zerosThen(11, 0x01), {5, 5, 1, 1}, true, kPalBghi, kConnectorSVideo},
      {"60 Hz colour is not PAL-BGHI",
       zerosThen(10, 0x21),
       {5, 5, 1, 1, 1},
       true,
       kPal443,
       kConnectorComposite},
      {"PAL-4.43 on S-Video",
       zerosThen(13, 0x21),
       {5, 5, 1, 1, 1, 1},
       true,
       kPal443,
       kConnectorSVideo},
      {"no signal", {0x00}, {5, 5, 1, 1, 1, 1}, false, kUntouchedStandard, kUntouchedConnector},
      {"60 Hz without colour",
       {0x20},
       {5, 5, 1, 1, 1, 1},
       false,
       kUntouchedStandard,
       kUntouchedConnector},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecoderBus port;
    port.status = c.status;
    uint32_t standard = kUntouchedStandard, connector = kUntouchedConnector;

    EXPECT_EQ(DecoderDetectSignal(standard, connector), c.found);
    EXPECT_EQ(standard, c.standard);
    EXPECT_EQ(connector, c.connector);

    // The status is read again without rewriting the registers in between.
    std::vector<FakeI2cSlavePort::Transfer> expected;
    size_t reads = 0;
    for (size_t trial = 0; trial < c.readsPerTrial.size(); ++trial) {
      for (const RegWrite& w : kTrials[trial]) expected.push_back({false, 0x48, w.first, w.second});
      for (int i = 0; i < c.readsPerTrial[trial]; ++i, ++reads) {
        const uint8_t value = c.status[std::min(reads, c.status.size() - 1)];
        expected.push_back({true, 0x48, 0x1F, value});
      }
    }
    if (!c.found)
      for (const RegWrite& w : kInitialTable) expected.push_back({false, 0x48, w.first, w.second});
    ASSERT_EQ(port.transfers.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const auto &got = port.transfers[i], &want = expected[i];
      EXPECT_TRUE(got.read == want.read && got.reg == want.reg && got.value == want.value)
          << "transfer " << i << ": got " << (got.read ? "read " : "write ") << int(got.reg) << "="
          << int(got.value) << ", want " << (want.read ? "read " : "write ") << int(want.reg) << "="
          << int(want.value);
    }
    EXPECT_EQ(port.nowMs, 100 * reads) << "each status read waits 100 ms";

    // Success leaves the accepted trial's registers in the decoder.
    if (c.found) {
      for (const RegWrite& w : kTrials[c.readsPerTrial.size() - 1])
        EXPECT_EQ(port.Register(0x48, w.first), w.second) << "register " << int(w.first);
    }
  }
}

TEST(DecoderDetectSignal, AbsentDecoderReadsAsNtscMComposite) {
  FakeI2cSlavePort port;  // nothing acknowledges: SDA floats high
  EXPECT_EQ(DecoderReadStatus(), 0xFF);
  uint32_t standard = kPalBghi, connector = kConnectorSVideo;
  EXPECT_TRUE(DecoderDetectSignal(standard, connector));
  EXPECT_EQ(standard, kNtscM);
  EXPECT_EQ(connector, kConnectorComposite);
  EXPECT_TRUE(port.transfers.empty());
}
