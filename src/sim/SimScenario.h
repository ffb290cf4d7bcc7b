// What the simulated board carries: which chips answer, what each input sees, which
// stations are on the air, stuck lines, and where the bus trace goes. Defaults need no set-up.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shared/VideoStandards.h"
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

// A standard's name in any case gives its VideoStandard, "none" gives kNoSource;
// anything else nothing.
std::optional<int> ParseSourceStandard(std::string_view name);
const char* SourceStandardName(int standard);
