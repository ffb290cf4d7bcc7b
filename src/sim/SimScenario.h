// What the simulated board carries: which chips answer, what each input sees, which
// stations are on the air, stuck lines, and where the bus trace goes. Defaults need no set-up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/BroadcastWorld.h"

constexpr int kNoSource = -1;

struct SimScenario {
  bool decoderPresent = true;
  int decoderDeafAddressings = 0;  // addressings the decoder ignores after power-up
  int tuner = 1;                   // 1: answers at 0xC0 and 0xC2; 2: only 0xC0; 0: absent
  int compositeStandard = 0;       // a VideoStandard value, or kNoSource
  int svideoStandard = kNoSource;
  bool stuckScl = false;  // line held low by a fault on the board
  bool stuckSda = false;
  std::string busTrace;     // file every bus transaction is appended to; empty: none
  std::string engineStats;  // file the video engine's statistics line is appended to at power-down
  BroadcastWorld broadcast = DefaultBroadcastWorld();  // what the tuner can receive
};

// "NTSC-M" .. "PAL-4.43" give 0..6, "none" gives kNoSource; anything else nothing.
std::optional<int> ParseSourceStandard(std::string_view name);
const char* SourceStandardName(int standard);

// Standards carried at 60 fields per second: NTSC-M, NTSC-4.43, PAL-M, PAL-4.43.
constexpr bool SourceIs60Hz(int standard) {
  return standard == 0 || standard == 2 || standard == 4 || standard == 6;
}
