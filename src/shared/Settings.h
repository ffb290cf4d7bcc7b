// The persistent settings record: picture controls, the channel table, input,
// standard, channel plan and current slot.
#pragma once

#include <array>
#include <cstdint>

constexpr int kChannelSlots = 101;                   // slots 0..100
constexpr int kLastChannelSlot = kChannelSlots - 1;  // slot 0 is never offered: 1..100 are
constexpr int kChannelNameMax = 10;

struct ChannelEntry {
  int32_t Checked;  // 1: visited when stepping channels
  char Name[12];    // at most 10 characters and a NUL
};

struct SettingsData {
  int32_t Brightness;
  int32_t Contrast;
  int32_t Saturation;
  int32_t Hue;
  std::array<ChannelEntry, kChannelSlots> Channels;
  int32_t VideoConnector;
  int32_t VideoStandard;
  int32_t CableStandard;
  int32_t CurrentChannel;
};

// First-run values.
SettingsData DefaultSettings();

// Zero until loaded at start-up; the other units change it in memory.
extern SettingsData Settings;
