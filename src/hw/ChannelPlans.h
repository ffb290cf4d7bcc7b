// The built-in channel plans: for each CableStandard, the four bytes the tuner is sent
// for every channel slot. Nothing computes a frequency at run time; the words are
// worked out at compile time from each plan's vision carriers and intermediate frequency.
//
// A plan word holds, from its most significant byte down: divider high, divider low,
// control byte, band byte. A word of 0 marks a slot without a channel.
#pragma once

#include <array>
#include <cstdint>

#include "shared/Settings.h"
#include "shared/VideoStandards.h"

constexpr int kPlanSlots = kChannelSlots + 1;  // and an index past the last slot, never used
using ChannelPlanWords = std::array<uint32_t, kPlanSlots>;
using ChannelPlanCarriers = std::array<uint32_t, kPlanSlots>;

// CableStandard values.
enum : int32_t {
  kCableChina = 0,
  kCableGermany = 1,
  kCableTaiwan = 2,  // shares the US plan
  kCableUs = 3,
};

constexpr bool IsValidCableStandard(int64_t cableStandard) {
  return cableStandard >= kCableChina && cableStandard <= kCableUs;
}

// The European plans carry PAL-BGHI, the others NTSC-M.
constexpr int StandardForCablePlan(int cableStandard) {
  return cableStandard == kCableChina || cableStandard == kCableGermany ? int{kPalBghi}
                                                                        : int{kNtscM};
}

// The plan a standard stepped to on the main panel brings: China's for PAL-BGHI, Taiwan's
// (the US channels) for every other.
constexpr int CablePlanForStandard(int standard) {
  return standard == kPalBghi ? int{kCableChina} : int{kCableTaiwan};
}

constexpr uint8_t kTunerControlByte = 0x8E;
constexpr uint8_t kBandLowVhf = 0xA0;
constexpr uint8_t kBandHighVhf = 0x90;
constexpr uint8_t kBandUhf = 0x30;

// Outside 0..3 these answer a plan with no channels (all words and carriers 0, IF 0).
const ChannelPlanWords& ChannelPlanFor(int cableStandard);
// Vision carrier of each slot in kHz; 0 where the plan has no channel.
const ChannelPlanCarriers& VisionCarriersKhzFor(int cableStandard);
uint32_t IntermediateFrequencyKhzFor(int cableStandard);
