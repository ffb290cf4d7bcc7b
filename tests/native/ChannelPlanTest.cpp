// Every word of every plan against a second computation from the plan rows written out
// again here as text, in a different unit (10 kHz) and by a different route (parsing).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hw/ChannelPlans.h"

namespace {

// "49.75" -> 4975, "38.9" -> 3890, "+8" -> 800: MHz in units of 10 kHz.
int64_t Parse10kHz(std::string_view text) {
  int64_t whole = 0, fraction = 0;
  int fractionDigits = 0;
  bool inFraction = false;
  for (char c : text) {
    if (c == '+' || c == ' ') continue;
    if (c == '.') {
      inFraction = true;
    } else if (inFraction) {
      fraction = fraction * 10 + (c - '0');
      ++fractionDigits;
    } else {
      whole = whole * 10 + (c - '0');
    }
  }
  EXPECT_LE(fractionDigits, 2) << text;
  while (fractionDigits++ < 2) fraction *= 10;
  return whole * 100 + fraction;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string_view::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

struct SlotCarrier {
  int slot;
  int64_t carrier10kHz;
};

// One row of the plan as the text gives it: "6-12: 168.25 +8 (to 216.25)" or
// "1-3: 49.75, 57.75, 65.75" or "16: 493.25".
std::vector<SlotCarrier> ParseRow(std::string_view row) {
  const size_t colon = row.find(':');
  const auto slots = Split(row.substr(0, colon), '-');
  const int first = static_cast<int>(Parse10kHz(slots[0]) / 100);
  const int last = static_cast<int>(Parse10kHz(slots.back()) / 100);
  std::string_view values = row.substr(colon + 1);
  std::vector<SlotCarrier> out;
  if (const size_t plus = values.find('+'); plus != std::string_view::npos) {
    const size_t to = values.find("(to ");
    const int64_t start = Parse10kHz(values.substr(0, plus));
    const int64_t step = Parse10kHz(values.substr(plus, values.find(' ', plus + 1) - plus));
    const int64_t end = Parse10kHz(values.substr(to + 4, values.find(')') - to - 4));
    for (int slot = first; slot <= last; ++slot)
      out.push_back({slot, start + (slot - first) * step});
    EXPECT_EQ(out.back().carrier10kHz, end) << row;
  } else {
    const auto listed = Split(values, ',');
    EXPECT_EQ(static_cast<int>(listed.size()), last - first + 1) << row;
    for (int slot = first; slot <= last; ++slot)
      out.push_back({slot, Parse10kHz(listed[static_cast<size_t>(slot - first)])});
  }
  return out;
}

struct PlanText {
  const char* name;
  int cableStandard;
  const char* intermediate;
  std::vector<const char*> rows;
  // "0xA0 up to low, 0x90 from highFrom to highTo, 0x30 from uhf"
  const char *low, *highFrom, *highTo, *uhf;
};

const std::vector<PlanText> kPlans = {
    {"China",
     0,
     "38.9",
     {"1-3: 49.75, 57.75, 65.75", "4-5: 77.25, 85.25", "6-12: 168.25 +8 (to 216.25)",
      "13-15: 471.25, 479.25, 487.25", "16: 493.25", "17-24: 503.25 +8 (to 559.25)",
      "25-57: 607.25 +8 (to 863.25)"},
     "168.25",
     "176.25",
     "216.25",
     "471.25"},
    {"Germany",
     1,
     "38.9",
     {"2-7: 48.25 +7 (to 83.25)", "8-35: 105.25 +7 (to 294.25)", "36-56: 303.25 +8 (to 463.25)"},
     "168.25",
     "175.25",
     "447.25",
     "455.25"},
    {"US",
     3,
     "45.75",
     {"1: 73.25", "2-4: 55.25 +6 (to 67.25)", "5-6: 77.25, 83.25", "7-13: 175.25 +6 (to 211.25)",
      "14-22: 121.25 +6 (to 169.25)", "23-94: 217.25 +6 (to 643.25)", "95-99: 91.25 +6 (to 115.25)",
      "100: 649.25"},
     "157.25",
     "163.25",
     "451.25",
     "457.25"},
};

uint8_t ExpectedBand(const PlanText& plan, int64_t carrier) {
  if (carrier <= Parse10kHz(plan.low)) return 0xA0;
  if (carrier >= Parse10kHz(plan.highFrom) && carrier <= Parse10kHz(plan.highTo)) return 0x90;
  if (carrier >= Parse10kHz(plan.uhf)) return 0x30;
  ADD_FAILURE() << plan.name << ": no band for " << carrier;
  return 0;
}

// floor(16 x (f + IF)) with f and IF in 10 kHz units.
uint32_t ExpectedDivider(int64_t carrier, int64_t intermediate) {
  return static_cast<uint32_t>(16 * (carrier + intermediate) / 100);
}

std::vector<uint8_t> Bytes(uint32_t word) {
  return {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
          static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
}

}  // namespace

TEST(ChannelPlan, EveryWordAndCarrierMatchesThePlanRows) {
  for (const PlanText& plan : kPlans) {
    const int64_t intermediate = Parse10kHz(plan.intermediate);
    std::vector<uint32_t> expected(kPlanSlots, 0), carriers(kPlanSlots, 0);
    for (const char* row : plan.rows) {
      for (const SlotCarrier& sc : ParseRow(row)) {
        ASSERT_EQ(expected[static_cast<size_t>(sc.slot)], 0u) << plan.name << " slot listed twice";
        expected[static_cast<size_t>(sc.slot)] = ExpectedDivider(sc.carrier10kHz, intermediate)
                                                     << 16 |
                                                 0x8E00u | ExpectedBand(plan, sc.carrier10kHz);
        carriers[static_cast<size_t>(sc.slot)] = static_cast<uint32_t>(sc.carrier10kHz * 10);
      }
    }
    const ChannelPlanWords& words = ChannelPlanFor(plan.cableStandard);
    const ChannelPlanCarriers& khz = VisionCarriersKhzFor(plan.cableStandard);
    for (size_t slot = 0; slot < kPlanSlots; ++slot) {
      EXPECT_EQ(words[slot], expected[slot])
          << plan.name << " slot " << slot << std::hex << " word 0x" << words[slot];
      EXPECT_EQ(khz[slot], carriers[slot]) << plan.name << " slot " << slot;
    }
    EXPECT_EQ(IntermediateFrequencyKhzFor(plan.cableStandard), intermediate * 10) << plan.name;
  }
}

TEST(ChannelPlan, WordsOfSampleSlotsByHand) {
  EXPECT_EQ(ChannelPlanFor(1)[2], 0x05728EA0u);  // Germany 48.25 MHz: 16 x 87.15 = 1394
  EXPECT_EQ(Bytes(ChannelPlanFor(3)[2]), (std::vector<uint8_t>{0x06, 0x50, 0x8E, 0xA0}));
  EXPECT_EQ(Bytes(ChannelPlanFor(1)[36]), (std::vector<uint8_t>{0x15, 0x62, 0x8E, 0x90}));
  EXPECT_EQ(ChannelPlanFor(1)[36] >> 16, 5474u);  // floor(16 x 342.15)
  EXPECT_EQ(Bytes(ChannelPlanFor(0)[13]), (std::vector<uint8_t>{0x1F, 0xE2, 0x8E, 0x30}));
  // Slot 16 of the China plan is 493.25, not 495.25.
  EXPECT_EQ(VisionCarriersKhzFor(0)[16], 493'250u);
  EXPECT_EQ(ChannelPlanFor(0)[16] >> 16, 8514u);
}

TEST(ChannelPlan, EmptySlots) {
  struct Case {
    int cableStandard;
    std::vector<std::pair<int, int>> empty;  // inclusive slot ranges
  };
  const Case cases[] = {
      {0, {{0, 0}, {58, 101}}},
      {1, {{0, 1}, {57, 101}}},
      {2, {{0, 0}, {101, 101}}},
      {3, {{0, 0}, {101, 101}}},
  };
  for (const Case& c : cases) {
    const ChannelPlanWords& words = ChannelPlanFor(c.cableStandard);
    for (size_t slot = 0; slot < kPlanSlots; ++slot) {
      bool listedEmpty = false;
      for (auto [from, to] : c.empty)
        listedEmpty |= static_cast<int>(slot) >= from && static_cast<int>(slot) <= to;
      EXPECT_EQ(words[slot] == 0, listedEmpty) << "plan " << c.cableStandard << " slot " << slot;
      EXPECT_EQ(VisionCarriersKhzFor(c.cableStandard)[slot] == 0, listedEmpty);
    }
  }
}

TEST(ChannelPlan, TaiwanSharesTheUsPlanAndOtherStandardsHaveNone) {
  EXPECT_EQ(ChannelPlanFor(2), ChannelPlanFor(3));
  EXPECT_EQ(VisionCarriersKhzFor(2), VisionCarriersKhzFor(3));
  EXPECT_EQ(IntermediateFrequencyKhzFor(2), 45'750u);
  EXPECT_NE(ChannelPlanFor(0), ChannelPlanFor(1));
  for (int standard : {-1, 4, 5, 100, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(IsValidCableStandard(standard));
    for (size_t slot = 0; slot < kPlanSlots; ++slot) {
      EXPECT_EQ(ChannelPlanFor(standard)[slot], 0u) << standard;
      EXPECT_EQ(VisionCarriersKhzFor(standard)[slot], 0u) << standard;
    }
    EXPECT_EQ(IntermediateFrequencyKhzFor(standard), 0u);
  }
  for (int standard : {0, 1, 2, 3}) EXPECT_TRUE(IsValidCableStandard(standard));
}

// Within each row the dividers rise with the carriers; the band byte changes only
// where the plan's band limits say.
TEST(ChannelPlan, DividersRiseWithinEachRowAndBandsChangeAtTheLimits) {
  for (const PlanText& plan : kPlans) {
    const ChannelPlanWords& words = ChannelPlanFor(plan.cableStandard);
    for (const char* row : plan.rows) {
      const auto slots = ParseRow(row);
      for (size_t i = 1; i < slots.size(); ++i) {
        const auto slot = static_cast<size_t>(slots[i].slot);
        EXPECT_GT(words[slot] >> 16, words[slot - 1] >> 16) << plan.name << " slot " << slot;
      }
    }
  }
  struct Edge {
    int cableStandard, slot;
    uint8_t band;
  };
  const Edge edges[] = {
      {0, 5, 0xA0},  {0, 6, 0xA0},  {0, 7, 0x90},   {0, 12, 0x90}, {0, 13, 0x30}, {0, 57, 0x30},
      {1, 2, 0xA0},  {1, 17, 0xA0}, {1, 18, 0x90},  {1, 54, 0x90}, {1, 55, 0x30}, {1, 56, 0x30},
      {3, 1, 0xA0},  {3, 6, 0xA0},  {3, 7, 0x90},   {3, 13, 0x90}, {3, 14, 0xA0}, {3, 20, 0xA0},
      {3, 21, 0x90}, {3, 22, 0x90}, {3, 23, 0x90},  {3, 62, 0x90}, {3, 63, 0x30}, {3, 94, 0x30},
      {3, 95, 0xA0}, {3, 99, 0xA0}, {3, 100, 0x30},
  };
  for (const Edge& e : edges) {
    EXPECT_EQ(ChannelPlanFor(e.cableStandard)[static_cast<size_t>(e.slot)] & 0xFF, e.band)
        << "plan " << e.cableStandard << " slot " << e.slot;
  }
  // Carriers that sit right on a limit.
  EXPECT_EQ(VisionCarriersKhzFor(0)[6], 168'250u);
  EXPECT_EQ(VisionCarriersKhzFor(1)[17], 168'250u);
  EXPECT_EQ(VisionCarriersKhzFor(1)[54], 447'250u);
  EXPECT_EQ(VisionCarriersKhzFor(3)[20], 157'250u);
  EXPECT_EQ(VisionCarriersKhzFor(3)[62], 451'250u);
}
