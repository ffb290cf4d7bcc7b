#include "hw/ChannelPlans.h"

#include <cstddef>

namespace {

// Consecutive slots whose vision carriers rise by a fixed step. The last carrier is
// written out as the plan lists it and checked against the step at compile time.
struct SlotRange {
  int firstSlot;
  int lastSlot;
  uint32_t firstKhz;
  uint32_t stepKhz;
  uint32_t lastKhz;
};

constexpr SlotRange Slot(int slot, uint32_t khz) {
  return {slot, slot, khz, 0, khz};
}
constexpr SlotRange Slots(int firstSlot, int lastSlot, uint32_t firstKhz, uint32_t stepKhz,
                          uint32_t lastKhz) {
  return {firstSlot, lastSlot, firstKhz, stepKhz, lastKhz};
}

// Carriers from fromKhz to toKhz inclusive use this band byte.
struct BandLimit {
  uint32_t fromKhz;
  uint32_t toKhz;
  uint8_t band;
};

constexpr uint32_t kAndAbove = UINT32_MAX;

// The PLL steps in 62.5 kHz: divider = 16 x (carrier + IF) in MHz, rounded down.
constexpr uint32_t kDividerStepsPerMhz = 16;
constexpr uint32_t kMaxDivider = 0x7FFF;  // 15 bits

// Carriers in kHz: Slot(slot, carrier), Slots(first, last, first carrier, step, last carrier).
constexpr uint32_t kChinaIfKhz = 38'900;
constexpr std::array kChinaSlots = {
    Slot(1, 49'750),
    Slot(2, 57'750),
    Slot(3, 65'750),
    Slot(4, 77'250),
    Slot(5, 85'250),
    Slots(6, 12, 168'250, 8'000, 216'250),
    Slot(13, 471'250),
    Slot(14, 479'250),
    Slot(15, 487'250),
    Slot(16, 493'250),
    Slots(17, 24, 503'250, 8'000, 559'250),
    Slots(25, 57, 607'250, 8'000, 863'250),
};
constexpr std::array kChinaBands = {
    BandLimit{0, 168'250, kBandLowVhf},
    BandLimit{176'250, 216'250, kBandHighVhf},
    BandLimit{471'250, kAndAbove, kBandUhf},
};

constexpr uint32_t kGermanyIfKhz = 38'900;
constexpr std::array kGermanySlots = {
    Slots(2, 7, 48'250, 7'000, 83'250),
    Slots(8, 35, 105'250, 7'000, 294'250),
    Slots(36, 56, 303'250, 8'000, 463'250),
};
constexpr std::array kGermanyBands = {
    BandLimit{0, 168'250, kBandLowVhf},
    BandLimit{175'250, 447'250, kBandHighVhf},
    BandLimit{455'250, kAndAbove, kBandUhf},
};

constexpr uint32_t kUsIfKhz = 45'750;
constexpr std::array kUsSlots = {
    Slot(1, 73'250),
    Slots(2, 4, 55'250, 6'000, 67'250),
    Slot(5, 77'250),
    Slot(6, 83'250),
    Slots(7, 13, 175'250, 6'000, 211'250),
    Slots(14, 22, 121'250, 6'000, 169'250),
    Slots(23, 94, 217'250, 6'000, 643'250),
    Slots(95, 99, 91'250, 6'000, 115'250),
    Slot(100, 649'250),
};
constexpr std::array kUsBands = {
    BandLimit{0, 157'250, kBandLowVhf},
    BandLimit{163'250, 451'250, kBandHighVhf},
    BandLimit{457'250, kAndAbove, kBandUhf},
};

struct Plan {
  uint32_t ifKhz;
  ChannelPlanCarriers carriersKhz;
  ChannelPlanWords words;
};

template <size_t N>
constexpr ChannelPlanCarriers CarriersOf(const std::array<SlotRange, N>& ranges) {
  ChannelPlanCarriers carriers{};
  for (const SlotRange& r : ranges) {
    for (int slot = r.firstSlot; slot <= r.lastSlot; ++slot) {
      carriers[static_cast<size_t>(slot)] =
          r.firstKhz + static_cast<uint32_t>(slot - r.firstSlot) * r.stepKhz;
    }
  }
  return carriers;
}

// 0 when no band covers the carrier.
template <size_t N>
constexpr uint8_t BandFor(uint32_t khz, const std::array<BandLimit, N>& bands) {
  for (const BandLimit& b : bands) {
    if (khz >= b.fromKhz && khz <= b.toKhz) return b.band;
  }
  return 0;
}

constexpr uint32_t DividerFor(uint32_t carrierKhz, uint32_t ifKhz) {
  return kDividerStepsPerMhz * (carrierKhz + ifKhz) / 1000;
}

template <size_t R, size_t B>
constexpr Plan MakePlan(uint32_t ifKhz, const std::array<SlotRange, R>& ranges,
                        const std::array<BandLimit, B>& bands) {
  Plan plan{ifKhz, CarriersOf(ranges), {}};
  for (size_t slot = 0; slot < kPlanSlots; ++slot) {
    const uint32_t khz = plan.carriersKhz[slot];
    if (khz == 0) continue;
    plan.words[slot] =
        DividerFor(khz, ifKhz) << 16 | uint32_t{kTunerControlByte} << 8 | BandFor(khz, bands);
  }
  return plan;
}

// Catches a mistyped row: a slot outside 1..100 or listed twice, a range whose step does
// not reach its stated last carrier, a carrier no band covers, a divider out of range.
template <size_t R, size_t B>
constexpr bool PlanIsWellFormed(uint32_t ifKhz, const std::array<SlotRange, R>& ranges,
                                const std::array<BandLimit, B>& bands) {
  std::array<bool, kPlanSlots> listed{};
  for (const SlotRange& r : ranges) {
    if (r.firstSlot < 1 || r.lastSlot > 100 || r.firstSlot > r.lastSlot) return false;
    if (r.firstKhz + static_cast<uint32_t>(r.lastSlot - r.firstSlot) * r.stepKhz != r.lastKhz) {
      return false;
    }
    for (int slot = r.firstSlot; slot <= r.lastSlot; ++slot) {
      if (listed[static_cast<size_t>(slot)]) return false;
      listed[static_cast<size_t>(slot)] = true;
      const uint32_t khz = r.firstKhz + static_cast<uint32_t>(slot - r.firstSlot) * r.stepKhz;
      if (BandFor(khz, bands) == 0 || DividerFor(khz, ifKhz) > kMaxDivider) return false;
    }
  }
  return true;
}

static_assert(PlanIsWellFormed(kChinaIfKhz, kChinaSlots, kChinaBands));
static_assert(PlanIsWellFormed(kGermanyIfKhz, kGermanySlots, kGermanyBands));
static_assert(PlanIsWellFormed(kUsIfKhz, kUsSlots, kUsBands));

constexpr Plan kChinaPlan = MakePlan(kChinaIfKhz, kChinaSlots, kChinaBands);
constexpr Plan kGermanyPlan = MakePlan(kGermanyIfKhz, kGermanySlots, kGermanyBands);
constexpr Plan kUsPlan = MakePlan(kUsIfKhz, kUsSlots, kUsBands);
constexpr Plan kNoPlan{};

const Plan& PlanFor(int cableStandard) {
  switch (cableStandard) {
    case kCableChina:
      return kChinaPlan;
    case kCableGermany:
      return kGermanyPlan;
    case kCableTaiwan:
    case kCableUs:
      return kUsPlan;
    default:
      return kNoPlan;
  }
}

}  // namespace

const ChannelPlanWords& ChannelPlanFor(int cableStandard) {
  return PlanFor(cableStandard).words;
}

const ChannelPlanCarriers& VisionCarriersKhzFor(int cableStandard) {
  return PlanFor(cableStandard).carriersKhz;
}

uint32_t IntermediateFrequencyKhzFor(int cableStandard) {
  return PlanFor(cableStandard).ifKhz;
}
