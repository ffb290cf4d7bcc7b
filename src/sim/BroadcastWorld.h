// The stations on the air around the simulated board: what the tuner can receive and
// what each station's picture is coded in. The board knows carriers and oscillators
// only; which slot of which channel plan lands on a station is the program's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct BroadcastStation {
  std::string name;        // up to kStationNameLength characters, as a channel is named
  uint32_t visionKHz = 0;  // vision carrier
  int standard = 0;        // VideoStandard the station broadcasts in
  int strength = 3;        // 1..3: the AFC reading the tuner reports while tuned to it
};

constexpr size_t kStationNameLength = 10;

// Intermediate frequencies the simulated front end accepts. A real tuner has one; this
// one takes both that the channel plans assume (38.9 MHz in Europe and China, 45.75 MHz
// in America), so every plan finds the stations on its frequencies.
constexpr uint32_t kIntermediateKHz[] = {38900, 45750};
// An oscillator this close to carrier + IF still pulls the station in: one divider step
// either side, so a divider rounded down from a carrier off the 62.5 kHz grid is received.
constexpr int64_t kCaptureRangeHz = 62500;

struct BroadcastWorld {
  std::vector<BroadcastStation> stations;

  // The station a local oscillator at this frequency receives, or nullptr between stations.
  const BroadcastStation* Receive(double oscillatorHz) const;
};

// Cable stations on US (and Taiwanese), German and Chinese channel frequencies.
BroadcastWorld DefaultBroadcastWorld();

// The scenario's station list: "none" for an empty world, else entries separated by commas,
// semicolons or line breaks, each "<MHz>[:<standard>[:<name>]]" (standard NTSC-M and name
// "CH <MHz>" when left out). A malformed entry is skipped; nullopt when no entry is usable.
std::optional<BroadcastWorld> ParseBroadcastWorld(std::string_view text);
