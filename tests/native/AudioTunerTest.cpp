// Sound rules, tuning, channel stepping and the autoscan against the simulated board on
// a fake clock, observed byte by byte through the board's bus trace, and line word by
// line word against the bus conditions the transfers are made of.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "hw/Audio.h"
#include "hw/ChannelPlans.h"
#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "native/FakePort.h"
#include "shared/Settings.h"
#include "sim/SimBoard.h"

namespace {

const char kVolume245[] =
    "S 82+ 00+ F5+ Sr 82+ 01+ F5+ Sr 82+ 02+ F6+ Sr 82+ 03+ F6+ Sr 82+ 08+ CF+ P";
const char kMuteLine[] = "S 82+ 08+ EF+ P";

std::string Hex(uint8_t b) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

std::string VolumeLine(int volume) {
  const std::string v = Hex(static_cast<uint8_t>(volume));
  return "S 82+ 00+ " + v + "+ Sr 82+ 01+ " + v +
         "+ Sr 82+ 02+ F6+ Sr 82+ 03+ F6+ Sr 82+ 08+ CF+ P";
}

std::string TuneLine(uint32_t word) {
  return "S C0+ " + Hex(static_cast<uint8_t>(word >> 24)) + "+ " +
         Hex(static_cast<uint8_t>(word >> 16)) + "+ " + Hex(static_cast<uint8_t>(word >> 8)) +
         "+ " + Hex(static_cast<uint8_t>(word)) + "+ P";
}

std::string TuneLine(int cableStandard, int slot) {
  return TuneLine(ChannelPlanFor(cableStandard)[static_cast<size_t>(slot)]);
}

// Forwards to the board and keeps account of the time slept.
class SleepCountingPort final : public PortIo {
 public:
  explicit SleepCountingPort(PortIo& inner) : inner_(inner) {}
  void PortWrite(uint16_t port, uint8_t value) override { inner_.PortWrite(port, value); }
  uint8_t PortRead(uint16_t port) override { return inner_.PortRead(port); }
  void SleepMs(uint32_t ms) override {
    sleptMs += ms;
    inner_.SleepMs(ms);
  }
  uint64_t sleptMs = 0;

 private:
  PortIo& inner_;
};

// A broadcast world: the given slots of a plan carry a station of the given strength
// (what the tuner's AFC bits report); everything else is noise (0).
SimTuner::StationAt Stations(int cableStandard, std::map<int, int> strengthBySlot) {
  return [cableStandard, strengthBySlot](double oscillatorHz) {
    const double ifHz = IntermediateFrequencyKhzFor(cableStandard) * 1000.0;
    for (auto [slot, strength] : strengthBySlot) {
      const double carrierHz = VisionCarriersKhzFor(cableStandard)[static_cast<size_t>(slot)] * 1e3;
      if (std::fabs(oscillatorHz - (carrierHz + ifHz)) < 62'500.0) return strength;
    }
    return 0;
  };
}

class AudioTuner : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings = DefaultSettings();
    Audio = AudioState{};
    Tuner = TunerState{};
    SetTunerHooks({});
    tracePath_ = ::testing::TempDir() + "lumetra_audio_tuner_" +
                 std::to_string(std::random_device{}()) + ".txt";
    PowerUp();
  }

  void TearDown() override {
    SetTunerHooks({});
    PowerDown();
    std::remove(tracePath_.c_str());
  }

  void PowerUp(SimScenario scenario = {}) {
    PowerDown();
    std::remove(tracePath_.c_str());
    traceLinesTaken_ = 0;
    clock_ = FakeClock();
    scenario.busTrace = tracePath_;
    board_ = std::make_unique<SimBoard>(scenario, clock_);
    port_ = std::make_unique<SleepCountingPort>(*board_);
    InstallPortIo(port_.get());
  }

  // Also emits a transaction left open (a probe nobody answered).
  void PowerDown() {
    InstallPortIo(nullptr);
    port_.reset();
    board_.reset();
  }

  // Trace lines (timestamps stripped) since the last call.
  std::vector<std::string> NewTrace() {
    std::vector<std::string> lines;
    if (FILE* f = std::fopen(tracePath_.c_str(), "r")) {
      char buf[512];
      size_t index = 0;
      while (std::fgets(buf, sizeof buf, f)) {
        if (index++ < traceLinesTaken_) continue;
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        lines.push_back(line.substr(line.find(' ') + 1));
      }
      std::fclose(f);
    }
    traceLinesTaken_ += lines.size();
    return lines;
  }

  SimBoard& Board() { return *board_; }
  uint32_t TunedWord() {
    const SimTuner& t = Board().Tuner();
    return uint32_t{t.Divider()} << 16 | uint32_t{t.Control()} << 8 | t.Band();
  }
  void CheckOnly(std::vector<int> slots) {
    for (ChannelEntry& entry : Settings.Channels) entry.Checked = 0;
    for (int slot : slots) Settings.Channels[static_cast<size_t>(slot)].Checked = 1;
  }

  FakeClock clock_;
  std::unique_ptr<SimBoard> board_;
  std::unique_ptr<SleepCountingPort> port_;
  std::string tracePath_;
  size_t traceLinesTaken_ = 0;
};

using Lines = std::vector<std::string>;

// Line words a sequence of bus conditions writes (reads never change what is written).
std::vector<uint8_t> LineWordsOf(const std::function<void()>& run) {
  FakePort port;
  run();
  return port.LineWords();
}

void SendByte(uint8_t b) {
  I2cWriteByte(b);
  I2cWaitAck();
}

}  // namespace

// ---------------------------------------------------------------------------
// Sound

TEST_F(AudioTuner, ApplyVolumeIsOneChainedTransfer) {
  EXPECT_TRUE(AudioApplyVolume());
  EXPECT_EQ(NewTrace(), Lines{kVolume245});
  const SimAudio& chip = Board().Audio();
  EXPECT_EQ(chip.WriteLog(),
            (std::vector<std::pair<uint8_t, uint8_t>>{
                {0x00, 0xF5}, {0x01, 0xF5}, {0x02, 0xF6}, {0x03, 0xF6}, {0x08, 0xCF}}));

  // Line by line: five groups, each opened by a START, and a single STOP.
  const auto reference = LineWordsOf([] {
    for (auto [reg, value] : {std::pair<uint8_t, uint8_t>{0x00, 0xF5},
                              {0x01, 0xF5},
                              {0x02, 0xF6},
                              {0x03, 0xF6},
                              {0x08, 0xCF}}) {
      I2cStart();
      SendByte(0x82);
      SendByte(reg);
      SendByte(value);
    }
    I2cStop();
  });
  EXPECT_EQ(LineWordsOf([] { AudioApplyVolume(); }), reference);
}

TEST_F(AudioTuner, MutedApplyVolumeWritesNothing) {
  Audio.Muted = true;
  EXPECT_FALSE(AudioApplyVolume());
  EXPECT_TRUE(NewTrace().empty());
  EXPECT_TRUE(Board().Audio().WriteLog().empty());
  EXPECT_TRUE(LineWordsOf([] { AudioApplyVolume(); }).empty());
}

TEST_F(AudioTuner, MuteSetsTheMuteBitAndLeavesMutedAlone) {
  AudioMute();
  EXPECT_EQ(NewTrace(), Lines{kMuteLine});
  EXPECT_FALSE(Audio.Muted);
  EXPECT_EQ(Board().Audio().Register(0x08), 0xEF);
  // The next volume write turns the sound back on.
  EXPECT_TRUE(AudioApplyVolume());
  EXPECT_EQ(Board().Audio().Register(0x08), 0xCF);
}

TEST_F(AudioTuner, VolumeStepsStopAtTheEndsAndClearMuted) {
  struct Case {
    void (*command)();
    int from, to;
  };
  const Case cases[] = {
      {AudioVolumeDown, 245, 244}, {AudioVolumeDown, 235, 234}, {AudioVolumeDown, 234, 234},
      {AudioVolumeUp, 245, 246},   {AudioVolumeUp, 254, 255},   {AudioVolumeUp, 255, 255},
  };
  for (const Case& c : cases) {
    for (bool muted : {false, true}) {
      Audio = AudioState{c.from, muted};
      c.command();
      EXPECT_EQ(Audio.Volume, c.to) << c.from;
      EXPECT_FALSE(Audio.Muted);
      EXPECT_EQ(NewTrace(), Lines{VolumeLine(c.to)}) << c.from;
      EXPECT_EQ(Board().Audio().Register(0x00), c.to);
      EXPECT_EQ(Board().Audio().Register(0x01), c.to);
    }
  }
  EXPECT_EQ(VolumeLevel(kVolumeMin), 0);
  EXPECT_EQ(VolumeLevel(kVolumeMax), 21);
}

TEST_F(AudioTuner, MuteOnHoldsUntilMuteOffOrAVolumeCommand) {
  AudioMuteOn();
  EXPECT_TRUE(Audio.Muted);
  EXPECT_EQ(NewTrace(), Lines{kMuteLine});
  // Tuning paths cannot switch the sound back on while muted.
  SelectChannel(3);
  auto trace = NewTrace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0], kMuteLine);
  EXPECT_EQ(Board().Audio().Register(0x08), 0xEF);

  AudioMuteOff();
  EXPECT_FALSE(Audio.Muted);
  EXPECT_EQ(NewTrace(), Lines{kVolume245});
  EXPECT_EQ(Board().Audio().Register(0x08), 0xCF);
}

TEST_F(AudioTuner, InputRoutingOnThePortExpander) {
  struct Case {
    uint32_t connector;
    const char* line;
    uint8_t latch;
  };
  const Case cases[] = {
      {kConnectorSVideo, "S 42+ FC+ P", 0xFC},
      {kConnectorTuner, "S 42+ FE+ P", 0xFE},
      {kConnectorComposite, "S 42+ P", 0xFE},  // the routing stays as it was
      {0, "S 42+ P", 0xFE},
  };
  for (const Case& c : cases) {
    AudioSelectInput(c.connector);
    EXPECT_EQ(NewTrace(), Lines{c.line}) << c.connector;
    EXPECT_EQ(Board().Expander().Latch(), c.latch) << c.connector;
  }
  // Composite: START, the address, its acknowledge clock, STOP; not a clock more.
  EXPECT_EQ(LineWordsOf([] { AudioSelectInput(kConnectorComposite); }), LineWordsOf([] {
              I2cStart();
              SendByte(0x42);
              I2cStop();
            }));
  EXPECT_EQ(LineWordsOf([] { AudioSelectInput(kConnectorSVideo); }), LineWordsOf([] {
              I2cStart();
              SendByte(0x42);
              SendByte(0xFC);
              I2cStop();
            }));
}

// The inputs as the panels, the dialog and its cancel switch them: the S-Video routing only
// where the caller's probe finds the tuner; the Tuner's routing before its picture, and the
// sound after the tuning when it is taken back, not before.
TEST_F(AudioTuner, SourceInputsCarryTheirSoundRouting) {
  const auto contains = [](const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  for (int tuner : {2, 1}) {
    SCOPED_TRACE(tuner == 2 ? "tuner only at 0xC0" : "tuner at 0xC2");
    SimScenario scenario;
    scenario.tuner = tuner;
    PowerUp(scenario);
    SourceSelectInput(kConnectorSVideo, TunerProbe::SecondAddress);
    EXPECT_EQ(contains(NewTrace(), "S 42+ FC+ P"), tuner == 1);
    SourceSelectInput(kConnectorSVideo, TunerProbe::BothAddresses);
    EXPECT_TRUE(contains(NewTrace(), "S 42+ FC+ P"));
  }
  Settings.CableStandard = kCableUs;
  Settings.CurrentChannel = 8;
  const std::string routing = "S 42+ FE+ P";
  const std::string tune = TuneLine(kCableUs, 8);
  SourceSelectInput(kConnectorTuner, TunerProbe::SecondAddress);
  Lines chosen = NewTrace();
  ASSERT_GE(chosen.size(), 3u);
  EXPECT_EQ(chosen.front(), routing);
  EXPECT_EQ(chosen[chosen.size() - 2], kVolume245);
  EXPECT_EQ(chosen.back(), tune);
  SourceRetakeTuner();
  Lines retaken = NewTrace();
  EXPECT_EQ(retaken.front(), routing);
  EXPECT_EQ(retaken[retaken.size() - 2], tune);
  EXPECT_EQ(retaken.back(), kVolume245);
  // Between routing and sound, both select the same picture.
  EXPECT_EQ(Lines(chosen.begin() + 1, chosen.end() - 2),
            Lines(retaken.begin() + 1, retaken.end() - 2));
}

// ---------------------------------------------------------------------------
// Tuning

TEST_F(AudioTuner, SetChannelSendsThePlanWord) {
  struct Case {
    int cableStandard, slot;
    const char* line;
  };
  const Case cases[] = {
      {3, 2, "S C0+ 06+ 50+ 8E+ A0+ P"},  {2, 2, "S C0+ 06+ 50+ 8E+ A0+ P"},
      {1, 36, "S C0+ 15+ 62+ 8E+ 90+ P"}, {0, 13, "S C0+ 1F+ E2+ 8E+ 30+ P"},
      {1, 1, "S C0+ 00+ 00+ 00+ 00+ P"},  // empty slot: four zero bytes
      {0, 0, "S C0+ 00+ 00+ 00+ 00+ P"},
  };
  for (const Case& c : cases) {
    Settings.CableStandard = c.cableStandard;
    Settings.CurrentChannel = 77;
    TunerSetChannel(c.slot);
    EXPECT_EQ(NewTrace(), Lines{c.line}) << c.cableStandard << "/" << c.slot;
    EXPECT_EQ(Settings.CurrentChannel, 77) << "tuning alone does not change the current slot";
  }
  EXPECT_EQ(Board().Tuner().Writes(), 6u);

  const auto reference = LineWordsOf([] {
    I2cStart();
    for (uint8_t b : {0xC0, 0x15, 0x62, 0x8E, 0x90}) SendByte(b);
    I2cStop();
  });
  Settings.CableStandard = 1;
  EXPECT_EQ(LineWordsOf([] { TunerSetChannel(36); }), reference);
}

TEST_F(AudioTuner, SetChannelWithoutAPlanWritesNothing) {
  for (int standard : {-1, 4, 1000}) {
    Settings.CableStandard = standard;
    TunerSetChannel(2);
    EXPECT_TRUE(NewTrace().empty()) << standard;
    EXPECT_TRUE(LineWordsOf([] { TunerSetChannel(2); }).empty());
  }
  EXPECT_EQ(Board().Tuner().Writes(), 0u);
}

TEST_F(AudioTuner, TaiwanAndUsWriteTheSameForEverySlot) {
  for (int slot = 0; slot <= 100; ++slot) {
    Settings.CableStandard = 2;
    TunerSetChannel(slot);
    const auto taiwan = NewTrace();
    Settings.CableStandard = 3;
    TunerSetChannel(slot);
    const auto us = NewTrace();
    ASSERT_EQ(taiwan.size(), 1u);
    EXPECT_EQ(taiwan, us) << slot;
    EXPECT_EQ(us[0], TuneLine(3, slot));
  }
}

TEST_F(AudioTuner, SlotsOutsideTheTableTuneTheFirstRunSlot) {
  Settings.CableStandard = 3;
  for (int slot : {-1, 101, 1 << 30, INT32_MIN}) {
    TunerSetChannel(slot);
    EXPECT_EQ(NewTrace(), Lines{TuneLine(3, 1)}) << slot;
  }
}

TEST_F(AudioTuner, StatusReadReturnsTheTunerByte) {
  Settings.CableStandard = 3;
  Board().Tuner().SetStationAt(Stations(3, {{2, 2}}));
  TunerSetChannel(2);
  NewTrace();
  const uint8_t status = TunerReadStatus();
  EXPECT_EQ(status, Board().Tuner().Status());
  EXPECT_EQ(status & kTunerStatusAfcMask, 2);
  EXPECT_EQ(NewTrace(), Lines{"S C1+ r" + Hex(status) + " P"});
  TunerSetChannel(3);
  EXPECT_EQ(TunerReadStatus() & kTunerStatusAfcMask, 0);

  EXPECT_EQ(LineWordsOf([] { TunerReadStatus(); }), LineWordsOf([] {
              I2cStart();
              SendByte(0xC1);
              I2cReadByte();
              I2cStop();
            }));
  // Without a plan the address byte is left out; nobody answers and the line reads high.
  Settings.CableStandard = 4;
  EXPECT_EQ(LineWordsOf([] { TunerReadStatus(); }), LineWordsOf([] {
              I2cStart();
              I2cWaitAck();
              I2cReadByte();
              I2cStop();
            }));
  EXPECT_EQ(TunerReadStatus(), 0xFF);
}

TEST_F(AudioTuner, TunerPresentProbesC2ThenC0) {
  struct Case {
    int tuner;  // scenario: 1 both addresses, 2 only 0xC0, 0 absent
    bool present;
    Lines trace;
  };
  const Case cases[] = {
      {1, true, {"S C2+ P"}},
      {2, true, {"S C2-", "S C0+ P"}},
      {0, false, {"S C2-", "S C0-"}},
  };
  for (const Case& c : cases) {
    SimScenario scenario;
    scenario.tuner = c.tuner;
    PowerUp(scenario);
    EXPECT_EQ(TunerPresent(), c.present) << c.tuner;
    PowerDown();
    EXPECT_EQ(NewTrace(), c.trace) << c.tuner;
  }
}

// ---------------------------------------------------------------------------
// Selecting and stepping

TEST_F(AudioTuner, SelectChannelMutesTunesShowsAndRestoresTheSound) {
  std::vector<std::string> events;
  SetTunerHooks({[&](int slot) {
                   for (auto& line : NewTrace()) events.push_back(line);
                   events.push_back("osd " + std::to_string(slot));
                 },
                 nullptr});
  Settings.CableStandard = 0;
  Settings.CurrentChannel = 7;
  SelectChannel(13);
  for (auto& line : NewTrace()) events.push_back(line);
  EXPECT_EQ(events, (Lines{kMuteLine, "S C0+ 1F+ E2+ 8E+ 30+ P", "osd 13", kVolume245}));
  EXPECT_EQ(Settings.CurrentChannel, 13);
  EXPECT_EQ(Tuner.PreviousChannel, 7);

  // The recall command selects the previous slot.
  SelectChannel(Tuner.PreviousChannel);
  EXPECT_EQ(Settings.CurrentChannel, 7);
  EXPECT_EQ(Tuner.PreviousChannel, 13);
  EXPECT_EQ(TunedWord(), ChannelPlanFor(0)[7]);
}

TEST_F(AudioTuner, StepChannelFindsTheNextCheckedSlot) {
  struct Case {
    const char* what;
    ChannelStep direction;
    int from;
    std::vector<int> checked;
    int to;
  };
  const Case cases[] = {
      {"wraps up past 100", ChannelStep::Up, 100, {1}, 1},
      {"slot 0 is a candidate", ChannelStep::Up, 100, {0, 1}, 0},
      {"nearest up", ChannelStep::Up, 5, {3, 8, 9}, 8},
      {"nearest down", ChannelStep::Down, 5, {3, 4, 8}, 4},
      {"down from 0 starts at 100", ChannelStep::Down, 0, {1, 100}, 100},
      {"down from 0 reaches 1 last", ChannelStep::Down, 0, {1}, 1},
      {"down from 1 wraps through 0", ChannelStep::Down, 1, {0, 2}, 0},
      {"down wraps from 0 to 100", ChannelStep::Down, 1, {99}, 99},
      {"only itself checked", ChannelStep::Up, 50, {50}, 50},
      {"none checked", ChannelStep::Up, 37, {}, 37},
      {"none checked, down", ChannelStep::Down, 37, {}, 37},
  };
  Settings.CableStandard = 3;
  for (const Case& c : cases) {
    CheckOnly(c.checked);
    Settings.CurrentChannel = c.from;
    Tuner.PreviousChannel = 99;
    std::vector<int> shown;
    SetTunerHooks({[&](int slot) { shown.push_back(slot); }, nullptr});
    StepChannel(c.direction);
    EXPECT_EQ(Settings.CurrentChannel, c.to) << c.what;
    EXPECT_EQ(Tuner.PreviousChannel, c.from) << c.what;
    EXPECT_EQ(shown, std::vector<int>{c.to}) << c.what;
    EXPECT_EQ(NewTrace(), (Lines{kMuteLine, TuneLine(3, c.to), kVolume245})) << c.what;
  }
}

TEST_F(AudioTuner, StepChannelVisitsOnlyFlagsEqualToOne) {
  CheckOnly({12});
  Settings.Channels[11].Checked = 2;
  Settings.Channels[13].Checked = -1;
  Settings.CurrentChannel = 10;
  StepChannel(ChannelStep::Up);
  EXPECT_EQ(Settings.CurrentChannel, 12);
  StepChannel(ChannelStep::Up);
  EXPECT_EQ(Settings.CurrentChannel, 12);
}

TEST_F(AudioTuner, CurrentChannelOutsideTheTableIsTakenAsSlotOne) {
  Settings.CableStandard = 3;
  for (int garbage : {-1, 101, 5000, INT32_MIN, INT32_MAX}) {
    CheckOnly({2});
    Settings.CurrentChannel = garbage;
    StepChannel(ChannelStep::Up);
    EXPECT_EQ(Settings.CurrentChannel, 2) << garbage;
    EXPECT_EQ(Tuner.PreviousChannel, 1) << garbage;

    CheckOnly({});
    Settings.CurrentChannel = garbage;
    StepChannel(ChannelStep::Down);
    EXPECT_EQ(Settings.CurrentChannel, 1) << garbage;
    EXPECT_EQ(TunedWord(), ChannelPlanFor(3)[1]);

    Settings.CurrentChannel = garbage;
    SelectChannel(garbage);
    EXPECT_EQ(Settings.CurrentChannel, 1);
    EXPECT_EQ(Tuner.PreviousChannel, 1);
  }
}

// ---------------------------------------------------------------------------
// Autoscan

TEST_F(AudioTuner, AutoScanChecksTheSlotsWithAStation) {
  Settings.CableStandard = 3;
  Settings.Channels[0].Checked = 1;  // outside the scan: must survive it
  Tuner.PreviousChannel = 42;
  Board().Tuner().SetStationAt(Stations(3, {{5, 2}}));
  std::vector<int> shown;
  std::vector<uint64_t> sleptAtShow;
  SetTunerHooks({[&](int slot) {
                   shown.push_back(slot);
                   sleptAtShow.push_back(port_->sleptMs);
                 },
                 nullptr});

  TunerAutoScan();

  for (int slot = 1; slot <= 100; ++slot)
    EXPECT_EQ(Settings.Channels[static_cast<size_t>(slot)].Checked, slot == 5 ? 1 : 0) << slot;
  EXPECT_EQ(Settings.Channels[0].Checked, 1);
  EXPECT_EQ(Settings.CurrentChannel, 5);
  EXPECT_EQ(Tuner.PreviousChannel, 42);
  EXPECT_EQ(TunedWord(), ChannelPlanFor(3)[5]) << "slot 5 tuned again at the end";
  EXPECT_EQ(Board().Tuner().Writes(), 101u);
  ASSERT_EQ(shown.size(), 101u);
  for (int slot = 1; slot <= 100; ++slot) EXPECT_EQ(shown[static_cast<size_t>(slot - 1)], slot);
  EXPECT_EQ(shown.back(), 5);

  // A slot costs 100 ms when the station answers at once, ten sleeps when nobody does.
  for (size_t i = 1; i < shown.size(); ++i)
    EXPECT_EQ(sleptAtShow[i] - sleptAtShow[i - 1], i == 5 ? 100u : 1000u) << "slot " << i;
  EXPECT_EQ(port_->sleptMs, 99 * 1000u + 100u);

  // Mute; per slot one tuning and its status reads (9 without a station); tune; sound on.
  auto trace = NewTrace();
  for (std::string& line : trace) {
    if (line.rfind("S C1+ r", 0) == 0) line = "S C1+ r.. P";
  }
  Lines expected = {kMuteLine};
  for (int slot = 1; slot <= 100; ++slot) {
    expected.push_back(TuneLine(3, slot));
    for (int read = 0; read < (slot == 5 ? 1 : 9); ++read) expected.push_back("S C1+ r.. P");
  }
  expected.push_back(TuneLine(3, 5));
  expected.push_back(kVolume245);
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(Board().Audio().Register(0x08), 0xCF);
}

TEST_F(AudioTuner, AutoScanReadsOnlyTheAfcBits) {
  // Status 0x40 | s: 0, 4 and 7 are noise; 1, 2 and 3 a station.
  Settings.CableStandard = 1;
  Board().Tuner().SetStationAt(
      Stations(1, {{2, 0}, {3, 1}, {4, 2}, {5, 3}, {6, 4}, {7, 7}, {9, 3}}));
  TunerAutoScan();
  std::vector<int> found;
  for (int slot = 1; slot <= 100; ++slot)
    if (Settings.Channels[static_cast<size_t>(slot)].Checked) found.push_back(slot);
  EXPECT_EQ(found, (std::vector<int>{3, 4, 5, 9}));
  EXPECT_EQ(Settings.CurrentChannel, 3);
  EXPECT_EQ(TunedWord(), ChannelPlanFor(1)[3]);
}

TEST_F(AudioTuner, AutoScanTriesEachSlotNineTimes) {
  Settings.CableStandard = 3;
  // Stations on slots 3 and 4 that lock only after a number of status reads.
  std::map<int, int> readsSeen;
  const std::map<int, int> lockAfter = {{3, 8}, {4, 9}};
  Board().Tuner().SetStationAt([&](double hz) {
    for (auto [slot, after] : lockAfter) {
      if (Stations(3, {{slot, 1}})(hz)) return readsSeen[slot]++ >= after ? 1 : 0;
    }
    return 0;
  });
  TunerAutoScan();
  EXPECT_EQ(Settings.Channels[3].Checked, 1) << "answers on the ninth read";
  EXPECT_EQ(Settings.Channels[4].Checked, 0) << "would answer only on a tenth";
  EXPECT_EQ(readsSeen[4], 9);
  EXPECT_EQ(Settings.CurrentChannel, 3);
}

TEST_F(AudioTuner, AutoScanWithoutStationsUnchecksAllAndTunesSlotZero) {
  for (int tuner : {1, 0}) {  // silent air, and no tuner at all (status reads 0xFF)
    SimScenario scenario;
    scenario.tuner = tuner;
    PowerUp(scenario);
    Board().Tuner().SetStationAt([](double) { return 0; });
    Settings = DefaultSettings();
    Settings.CableStandard = 3;
    Settings.CurrentChannel = 9;
    std::vector<int> shown;
    SetTunerHooks({[&](int slot) { shown.push_back(slot); }, nullptr});

    const auto start = std::chrono::steady_clock::now();
    TunerAutoScan();
    const auto elapsed = std::chrono::steady_clock::now() - start;

    for (int slot = 1; slot <= 100; ++slot)
      EXPECT_EQ(Settings.Channels[static_cast<size_t>(slot)].Checked, 0) << tuner << " " << slot;
    EXPECT_EQ(Settings.CurrentChannel, 0);
    EXPECT_EQ(shown.back(), 0);
    EXPECT_EQ(port_->sleptMs, 100 * 1000u);
    // The fake clock carries the sleeps plus a little port time; the wall clock nothing like
    // it. How little depends on the machine, so the bound is a fraction of the 100 s slept.
    EXPECT_GE(clock_.NowMs(), 100'000.0);
    EXPECT_LT(clock_.NowMs(), 110'000.0);
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::printf("report: autoscan of 100 slots with tuner %d: %.3f s\n", tuner, seconds);
    EXPECT_LT(seconds, 20.0);
    const auto trace = NewTrace();
    ASSERT_GE(trace.size(), 2u);
    if (tuner == 1) {
      EXPECT_EQ(trace[trace.size() - 2], TuneLine(0u));
    }
    EXPECT_EQ(trace.back(), kVolume245);
  }
}

TEST_F(AudioTuner, KeyPressStopsTheScan) {
  Settings.CableStandard = 3;
  Settings.CurrentChannel = 12;
  Board().Tuner().SetStationAt(Stations(3, {{2, 2}, {40, 2}}));
  // A key queued before the scan: stopped before slot 1 is tuned; the end steps still run.
  int keys = 1;
  std::vector<int> shown;
  SetTunerHooks({[&](int slot) { shown.push_back(slot); },
                 [&] { return keys > 0 ? (--keys, true) : false; }});
  TunerAutoScan();
  EXPECT_EQ(keys, 0) << "the key is consumed";
  EXPECT_EQ(shown, std::vector<int>{0});
  EXPECT_EQ(Settings.CurrentChannel, 0);
  for (int slot = 0; slot <= 100; ++slot)
    EXPECT_EQ(Settings.Channels[static_cast<size_t>(slot)].Checked, slot == 0 ? 0 : 1) << slot;
  EXPECT_EQ(NewTrace(), (Lines{kMuteLine, TuneLine(0u), kVolume245}));
  EXPECT_EQ(port_->sleptMs, 0u);

  // A key arriving during slot 3: slots 1..3 rewritten, the rest keep their flags.
  int polls = 0;
  shown.clear();
  SetTunerHooks({[&](int slot) { shown.push_back(slot); }, [&] { return ++polls == 4; }});
  TunerAutoScan();
  EXPECT_EQ(polls, 4);
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 2}));
  EXPECT_EQ(Settings.CurrentChannel, 2);
  EXPECT_EQ(Settings.Channels[1].Checked, 0);
  EXPECT_EQ(Settings.Channels[2].Checked, 1);
  EXPECT_EQ(Settings.Channels[3].Checked, 0);
  for (int slot = 4; slot <= 100; ++slot)
    EXPECT_EQ(Settings.Channels[static_cast<size_t>(slot)].Checked, 1) << slot;
  EXPECT_EQ(TunedWord(), ChannelPlanFor(3)[2]);
}
