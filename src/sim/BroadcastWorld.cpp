#include "sim/BroadcastWorld.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "sim/SimScenario.h"

namespace {

constexpr uint32_t MHz(double mhz) {
  return static_cast<uint32_t>(mhz * 1000 + 0.5);
}

struct StationRow {
  const char* name;
  uint32_t visionKHz;
  int standard;
  int strength;
};

// Chosen so that no station lies on a slot of another country's plan, except CCTV-2,
// whose 493.25 MHz is also US slot 69.
constexpr std::array<StationRow, 19> kDefaultStations = {{
    // US cable (Taiwan uses the same frequencies)
    {"KQTV 3", MHz(61.25), kNtscM, 3},      // US 3
    {"WLVX 4", MHz(67.25), kNtscM, 2},      // US 4
    {"KSTB 8", MHz(181.25), kNtscM, 3},     // US 8
    {"WNRA 11", MHz(199.25), kNtscM, 3},    // US 11
    {"KFLC 13", MHz(211.25), kNtscM, 1},    // US 13
    {"Metro 24", MHz(223.25), kNtscM, 2},   // US 24
    {"News 31", MHz(265.25), kNtscM, 3},    // US 31
    {"Shop 45", MHz(349.25), kNtscM, 1},    // US 45
    {"Formosa 1", MHz(409.25), kNtscM, 2},  // US 55, a Taiwanese station
    {"Taipei 62", MHz(451.25), kNtscM, 3},  // US 62, a Taiwanese station
    // German cable
    {"ARD", MHz(48.25), kPalBghi, 3},    // Germany 2
    {"ZDF", MHz(69.25), kPalBghi, 3},    // Germany 5
    {"WDR", MHz(119.25), kPalBghi, 2},   // Germany 10
    {"3sat", MHz(196.25), kPalBghi, 1},  // Germany 21
    {"Arte", MHz(327.25), kPalBghi, 2},  // Germany 39
    // Chinese cable
    {"CCTV-1", MHz(49.75), kPalBghi, 3},   // China 1
    {"BTV-1", MHz(184.25), kPalBghi, 2},   // China 8
    {"CCTV-2", MHz(493.25), kPalBghi, 3},  // China 16
    {"CCTV-5", MHz(647.25), kPalBghi, 1},  // China 30
}};

constexpr uint32_t kLowestKHz = 40000;
constexpr uint32_t kHighestKHz = 999999;

bool IsSeparator(char c) {
  return c == ',' || c == ';' || c == '\n' || c == '\r';
}

bool IsNone(std::string_view text) {
  constexpr std::string_view kNone = "none";
  if (text.size() != kNone.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != kNone[i]) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// "493.25" -> 493250. Exact to the kHz, independent of the C locale's decimal point.
std::optional<uint32_t> ParseKHz(std::string_view text) {
  uint32_t whole = 0;
  size_t i = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (i >= 4) return std::nullopt;
    whole = whole * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  if (i == 0) return std::nullopt;
  uint32_t fraction = 0;
  if (i < text.size()) {
    if (text[i] != '.') return std::nullopt;
    ++i;
    uint32_t scale = 100;
    const size_t firstDecimal = i;
    for (; i < text.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
      if (scale == 0 && text[i] != '0') return std::nullopt;  // finer than the kHz
      fraction += static_cast<uint32_t>(text[i] - '0') * scale;
      scale /= 10;
    }
    if (i == firstDecimal) return std::nullopt;
  }
  const uint32_t kHz = whole * 1000 + fraction;
  if (kHz < kLowestKHz || kHz > kHighestKHz) return std::nullopt;
  return kHz;
}

std::string MHzText(uint32_t kHz) {
  std::string text = std::to_string(kHz / 1000);
  if (uint32_t fraction = kHz % 1000) {
    std::string decimals = std::to_string(fraction + 1000).substr(1);
    while (decimals.back() == '0') decimals.pop_back();
    text += '.' + decimals;
  }
  return text;
}

std::optional<BroadcastStation> ParseStation(std::string_view entry) {
  const size_t firstColon = entry.find(':');
  const auto kHz = ParseKHz(Trim(entry.substr(0, firstColon)));
  if (!kHz) return std::nullopt;
  BroadcastStation station;
  station.visionKHz = *kHz;
  station.standard = kNtscM;
  station.name = "CH " + MHzText(*kHz);
  if (firstColon == std::string_view::npos) return station;

  const std::string_view rest = entry.substr(firstColon + 1);
  const size_t secondColon = rest.find(':');
  const std::string_view standardName = Trim(rest.substr(0, secondColon));
  if (!standardName.empty()) {
    const auto standard = ParseSourceStandard(standardName);
    if (!standard || *standard == kNoSource) return std::nullopt;
    station.standard = *standard;
  }
  if (secondColon != std::string_view::npos) {
    const std::string_view name = Trim(rest.substr(secondColon + 1));
    if (!name.empty()) station.name = std::string(name.substr(0, kStationNameLength));
  }
  return station;
}

}  // namespace

const BroadcastStation* BroadcastWorld::Receive(double oscillatorHz) const {
  const int64_t oscillator = std::llround(oscillatorHz);
  for (const BroadcastStation& station : stations) {
    for (const uint32_t intermediateKHz : kIntermediateKHz) {
      const int64_t wanted = (int64_t{station.visionKHz} + intermediateKHz) * 1000;
      if (std::llabs(oscillator - wanted) <= kCaptureRangeHz) return &station;
    }
  }
  return nullptr;
}

BroadcastWorld DefaultBroadcastWorld() {
  BroadcastWorld world;
  for (const StationRow& row : kDefaultStations) {
    world.stations.push_back({row.name, row.visionKHz, row.standard, row.strength});
  }
  return world;
}

std::optional<BroadcastWorld> ParseBroadcastWorld(std::string_view text) {
  if (IsNone(Trim(text))) return BroadcastWorld{};
  BroadcastWorld world;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = begin;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::string_view entry = Trim(text.substr(begin, end - begin));
    if (!entry.empty()) {
      if (auto station = ParseStation(entry)) world.stations.push_back(std::move(*station));
    }
    begin = end + 1;
  }
  if (world.stations.empty()) return std::nullopt;
  return world;
}
