// The channel table's two registry blocks, byte for byte, and the repairs a loaded
// record needs before the rest of the program may trust it. No registry access here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "shared/Settings.h"

constexpr size_t kCheckedBlockSize = 4 * kChannelSlots;  // 404: one little-endian int32 per slot
constexpr size_t kNameSlotSize = kChannelNameMax + 1;    // 11: the name and its NUL
constexpr size_t kNameBlockSize = kNameSlotSize * kChannelSlots;  // 1111

using CheckedBlock = std::array<uint8_t, kCheckedBlockSize>;
using NameBlock = std::array<uint8_t, kNameBlockSize>;

// "CHECKED": the 101 checked flags, slot 0 first.
CheckedBlock EncodeCheckedBlock(const SettingsData& settings);
void DecodeCheckedBlock(const CheckedBlock& block, SettingsData& settings);

// "NAME": slot i's name with its NUL at byte 11 * i, every other byte zero.
NameBlock EncodeNameBlock(const SettingsData& settings);
// Slot i's name is the text at byte 11 * i up to its first NUL, at most 10 characters,
// so a damaged slot can neither run into the next one nor leave a name unterminated.
void DecodeNameBlock(const NameBlock& block, SettingsData& settings);

// Gives values a stored image can hold but the program cannot use their first-run
// values, so nothing odd reaches the chips and the next save writes a sane record:
// picture controls outside 0..255, a current channel outside 0..100, checked flags other
// than 0 and 1. The channel plan is the tuner's to judge; the video standard and the
// input are left to start-up, which corrects them when no signal is found.
void MendLoadedSettings(SettingsData& settings);
