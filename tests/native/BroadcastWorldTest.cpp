// The stations around the simulated board: the scenario's station list, and reception
// through the real bus code, from the tuner's divider to what the decoder's tuner input sees.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "sim/BroadcastWorld.h"
#include "sim/SimBoard.h"

namespace {

constexpr uint32_t kIfEuropeKHz = 38900;
constexpr uint32_t kIfAmericaKHz = 45750;

// The divider a channel plan holds for a vision carrier: floor(16 x (f + IF)), f in MHz.
uint16_t DividerFor(uint32_t visionKHz, uint32_t intermediateKHz) {
  return static_cast<uint16_t>((visionKHz + intermediateKHz) * 16 / 1000);
}

// ---------------------------------------------------------------------------
// Station list

TEST(StationListTest, ReadsEntriesWithTheirDefaults) {
  const auto world = ParseBroadcastWorld(
      "55.25:NTSC-M:Test 2, 493.25:PAL-BGHI; 100\n 61.5 : pal-m : Local  \r\n48.125::Nameless");
  ASSERT_TRUE(world);
  ASSERT_EQ(world->stations.size(), 5u);
  const auto& s = world->stations;
  EXPECT_EQ(s[0].name, "Test 2");
  EXPECT_EQ(s[0].visionKHz, 55250u);
  EXPECT_EQ(s[0].standard, 0);
  EXPECT_EQ(s[1].name, "CH 493.25");
  EXPECT_EQ(s[1].visionKHz, 493250u);
  EXPECT_EQ(s[1].standard, 3);
  EXPECT_EQ(s[2].name, "CH 100");
  EXPECT_EQ(s[2].visionKHz, 100000u);
  EXPECT_EQ(s[2].standard, 0) << "NTSC-M when no standard is given";
  EXPECT_EQ(s[3].name, "Local");
  EXPECT_EQ(s[3].visionKHz, 61500u);
  EXPECT_EQ(s[3].standard, 4);
  EXPECT_EQ(s[4].name, "Nameless");
  EXPECT_EQ(s[4].visionKHz, 48125u);
  EXPECT_EQ(s[4].standard, 0) << "an empty standard field keeps the default";
  for (const auto& station : s) EXPECT_GE(station.strength, 1) << station.name;

  // Names are cut to what a channel name holds; a colon after the standard belongs to the name.
  const auto longName = ParseBroadcastWorld("863.25:PAL-4.43:Eleven Chars:x");
  ASSERT_TRUE(longName);
  EXPECT_EQ(longName->stations[0].name, "Eleven Cha");
  EXPECT_EQ(longName->stations[0].standard, 6);
  const auto highest = ParseBroadcastWorld("999.999");
  ASSERT_TRUE(highest);
  EXPECT_EQ(highest->stations[0].name, "CH 999.999");
}

TEST(StationListTest, NoneEmptiesTheWorld) {
  for (const char* text : {"none", " None ", "NONE\n"}) {
    const auto world = ParseBroadcastWorld(text);
    ASSERT_TRUE(world) << text;
    EXPECT_TRUE(world->stations.empty()) << text;
  }
}

TEST(StationListTest, MalformedEntriesAreSkipped) {
  const auto world = ParseBroadcastWorld(
      "abc, 55.25:NTSC-M:Good, 61.25:SECAM, 67.25:none, -5, 39.999, 1000, 55.2501, 55., .25,"
      " 55,25:PAL-BGHI, , ;\n 211.2500::Also good");
  ASSERT_TRUE(world);
  std::vector<std::string> names;
  for (const auto& station : world->stations) names.push_back(station.name);
  // "55,25" splits into two entries: 55 MHz and an unparseable "25:PAL-BGHI".
  EXPECT_EQ(names, (std::vector<std::string>{"Good", "CH 55", "Also good"}));

  for (const char* text : {"", " \n ", "garbage", "12:NTSC-M", "55.25:PAL-X, 1e3, 5O.25", ",;"}) {
    EXPECT_FALSE(ParseBroadcastWorld(text)) << '"' << text << '"';
  }
}

TEST(StationListTest, ScenarioStartsWithTheDefaultWorld) {
  const SimScenario scenario;
  ASSERT_FALSE(scenario.broadcast.stations.empty());
  std::set<uint32_t> carriers;
  for (const auto& station : scenario.broadcast.stations) {
    EXPECT_FALSE(station.name.empty());
    EXPECT_LE(station.name.size(), kStationNameLength) << station.name;
    EXPECT_TRUE(station.strength >= 1 && station.strength <= 3) << station.name;
    EXPECT_TRUE(IsValidVideoStandard(station.standard)) << station.name;
    EXPECT_TRUE(carriers.insert(station.visionKHz).second) << "two stations on " << station.name;
  }
}

// ---------------------------------------------------------------------------
// Reception through the bus

class ReceptionFixture : public ::testing::Test {
 protected:
  void PowerUp(SimScenario scenario = {}) {
    board_.reset();
    board_ = std::make_unique<SimBoard>(scenario, clock_);
    InstallPortIo(board_.get());
    DecoderInit();
    DecoderSelectTunerVideo();
  }
  void TearDown() override {
    InstallPortIo(nullptr);
    board_.reset();
  }
  SimBoard& Board() { return *board_; }

  static void Tune(uint16_t divider, uint8_t band = 0x90) {
    I2cStart();
    I2cWriteByte(0xC0);
    I2cWaitAck();
    for (uint8_t b : {static_cast<uint8_t>(divider >> 8), static_cast<uint8_t>(divider & 0xFF),
                      uint8_t{0x8E}, band}) {
      I2cWriteByte(b);
      I2cWaitAck();
    }
    I2cStop();
  }
  static uint8_t TunerStatus() {
    I2cStart();
    I2cWriteByte(0xC1);
    I2cWaitAck();
    const uint8_t status = I2cReadByte();
    I2cStop();
    return status;
  }
  static uint8_t DecoderStatus() { return I2cReadRegister(kDecoderAddress, 0x1F); }

  FakeClock clock_;
  std::unique_ptr<SimBoard> board_;
};

TEST_F(ReceptionFixture, UsStationIsFoundAndFeedsTheTunerInput) {
  SimScenario scenario;
  scenario.compositeStandard = kNoSource;
  PowerUp(scenario);
  const BroadcastStation wnra = [this] {
    for (const auto& station : Board().Scenario().broadcast.stations)
      if (station.visionKHz == 199250) return station;  // US slot 11
    ADD_FAILURE() << "no station on US slot 11";
    return BroadcastStation{};
  }();
  EXPECT_EQ(DecoderStatus(), 0x00) << "nothing tuned yet";

  const uint16_t divider = DividerFor(199250, kIfAmericaKHz);
  ASSERT_EQ(divider, 3920);
  Tune(divider);
  EXPECT_EQ(Board().Tuner().Divider(), divider);
  EXPECT_EQ(TunerStatus() & 7, wnra.strength);
  ASSERT_NE(Board().TunedStation(), nullptr);
  EXPECT_EQ(Board().TunedStation()->name, wnra.name);
  EXPECT_EQ(Board().TunedStation()->standard, 0);

  DecoderSetStandard(kNtscM);
  EXPECT_EQ(DecoderStatus(), 0x21) << "colour at 60 Hz";
  DecoderSetStandard(kPalM);
  EXPECT_EQ(DecoderStatus(), 0x20) << "60 Hz, but not the station's colour system";
  DecoderSetStandard(kNtscM);
  DecoderSelectComposite();
  EXPECT_EQ(DecoderStatus(), 0x00) << "the station reaches the tuner input only";
  DecoderSelectTunerVideo();

  // The same carrier seen through the European intermediate frequency is received too.
  Tune(DividerFor(199250, kIfEuropeKHz));
  EXPECT_EQ(TunerStatus() & 7, wnra.strength);
}

TEST_F(ReceptionFixture, NothingBetweenStations) {
  PowerUp();
  DecoderSetStandard(kNtscM);
  const uint16_t onStation = DividerFor(199250, kIfAmericaKHz);  // 245.0 MHz exactly
  struct Case {
    int offset;  // divider steps of 62.5 kHz
    bool received;
  };
  for (const Case c : {Case{-1, true}, Case{1, true}, Case{-2, false}, Case{2, false},
                       Case{8, false}, Case{-96, false} /* US slot 10 at 193.25, empty */}) {
    Tune(static_cast<uint16_t>(onStation + c.offset));
    const uint8_t status = TunerStatus();
    EXPECT_EQ((status & 7) != 0, c.received) << c.offset;
    EXPECT_EQ(status & 0x40, 0x40) << "the PLL locks on or off a station";
    EXPECT_EQ(Board().TunedStation() != nullptr, c.received) << c.offset;
    DecoderSelectTunerVideo();
    EXPECT_EQ(DecoderStatus(), c.received ? 0x21 : 0x00) << c.offset;
  }
}

TEST_F(ReceptionFixture, GermanAndChineseStationsOnTheEuropeanIntermediateFrequency) {
  PowerUp();
  struct Case {
    uint32_t visionKHz;
    uint16_t divider;  // as the plan holds it, rounded down to the 62.5 kHz grid
    const char* name;
  };
  for (const Case& c : {Case{48250, 1394, "ARD"},          // Germany slot 2
                        Case{327250, 5858, "Arte"},        // Germany slot 39
                        Case{493250, 8514, "CCTV-2"},      // China slot 16
                        Case{647250, 10978, "CCTV-5"}}) {  // China slot 30
    ASSERT_EQ(DividerFor(c.visionKHz, kIfEuropeKHz), c.divider);
    Tune(c.divider, 0x30);
    const int strength = TunerStatus() & 7;
    EXPECT_TRUE(strength >= 1 && strength <= 3) << c.name << ": " << strength;
    ASSERT_NE(Board().TunedStation(), nullptr) << c.name;
    EXPECT_EQ(Board().TunedStation()->name, c.name);

    DecoderSetStandard(kNtscM);
    EXPECT_EQ(DecoderStatus(), 0x00) << c.name << ": 50 Hz seen through a fixed 60 Hz decoder";
    DecoderSetStandard(kPalBghi);
    EXPECT_EQ(DecoderStatus(), 0x01) << c.name;
  }
  // China slot 16 is not 495.25 MHz.
  Tune(DividerFor(495250, kIfEuropeKHz), 0x30);
  EXPECT_EQ(TunerStatus() & 7, 0);
}

TEST_F(ReceptionFixture, ScenarioDecidesWhatIsOnTheAir) {
  SimScenario empty;
  empty.broadcast = *ParseBroadcastWorld("none");
  PowerUp(empty);
  Tune(DividerFor(199250, kIfAmericaKHz));
  EXPECT_EQ(TunerStatus() & 7, 0);
  EXPECT_EQ(Board().TunedStation(), nullptr);
  DecoderSetStandard(kNtscM);
  EXPECT_EQ(DecoderStatus(), 0x00);

  SimScenario own;
  own.broadcast = *ParseBroadcastWorld("55.25:PAL-4.43:Test 2");
  PowerUp(own);
  Tune(DividerFor(55250, kIfAmericaKHz));
  EXPECT_EQ(TunerStatus() & 7, 3);
  ASSERT_NE(Board().TunedStation(), nullptr);
  EXPECT_EQ(Board().TunedStation()->name, "Test 2");
  DecoderSetStandard(kPal443);
  EXPECT_EQ(DecoderStatus(), 0x21);
  Tune(DividerFor(199250, kIfAmericaKHz));
  EXPECT_EQ(TunerStatus() & 7, 0) << "the default stations are gone";
}

TEST_F(ReceptionFixture, SilentTunerReceivesNothing) {
  SimScenario scenario;
  scenario.tuner = 0;
  PowerUp(scenario);
  Tune(DividerFor(199250, kIfAmericaKHz));
  EXPECT_EQ(TunerStatus(), 0xFF);
  EXPECT_EQ(Board().TunedStation(), nullptr);
  DecoderSetStandard(kNtscM);
  EXPECT_EQ(DecoderStatus(), 0x00);
}

// Every slot of each country's channel plan, tuned and read as the autoscan does, finds the
// default world's stations on exactly the slots its table names.
TEST_F(ReceptionFixture, EachPlanFindsItsStationsOnTheirSlots) {
  struct Run {
    int firstSlot, lastSlot;
    uint32_t firstKHz, stepKHz;
  };
  struct Plan {
    const char* name;
    uint32_t intermediateKHz;
    std::vector<Run> runs;
    std::set<int> expected;
  };
  const Plan plans[] = {
      {"China",
       kIfEuropeKHz,
       {{1, 3, 49750, 8000},
        {4, 5, 77250, 8000},
        {6, 12, 168250, 8000},
        {13, 15, 471250, 8000},
        {16, 16, 493250, 0},
        {17, 24, 503250, 8000},
        {25, 57, 607250, 8000}},
       {1, 8, 16, 30}},
      {"Germany",
       kIfEuropeKHz,
       {{2, 7, 48250, 7000}, {8, 35, 105250, 7000}, {36, 56, 303250, 8000}},
       {2, 5, 10, 21, 39}},
      {"US",
       kIfAmericaKHz,
       {{1, 1, 73250, 0},
        {2, 4, 55250, 6000},
        {5, 6, 77250, 6000},
        {7, 13, 175250, 6000},
        {14, 22, 121250, 6000},
        {23, 94, 217250, 6000},
        {95, 99, 91250, 6000},
        {100, 100, 649250, 0}},
       {3, 4, 8, 11, 13, 24, 31, 45, 55, 62, 69 /* CCTV-2 */}},
  };
  PowerUp();
  for (const Plan& plan : plans) {
    std::set<int> found;
    for (const Run& run : plan.runs) {
      for (int slot = run.firstSlot; slot <= run.lastSlot; ++slot) {
        const uint32_t visionKHz = run.firstKHz + run.stepKHz * (slot - run.firstSlot);
        Tune(DividerFor(visionKHz, plan.intermediateKHz));
        const int s = TunerStatus() & 7;
        if (s >= 1 && s <= 3) found.insert(slot);
      }
    }
    EXPECT_EQ(found, plan.expected) << plan.name;
  }
}

}  // namespace
