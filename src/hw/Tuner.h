// The PLL tuner at 0xC0 (status at 0xC1): tuning by channel slot from the plan the
// CableStandard selects, presence, channel selection and stepping, and the autoscan.
#pragma once

#include <cstdint>
#include <functional>

constexpr uint8_t kTunerAddress = 0xC0;
constexpr uint8_t kTunerStatusAddress = 0xC1;
constexpr uint8_t kTunerOtherAddress = 0xC2;  // some tuners answer here too

constexpr uint8_t kTunerStatusAfcMask = 0x07;

struct TunerState {
  int PreviousChannel = 1;  // for the recall command; not stored
};

extern TunerState Tuner;

// What the program installs around the portable tuner code.
struct TunerHooks {
  // Shows the slot's number and name over the picture.
  std::function<void(int slot)> ShowChannelOsd;
  // Takes one pending key press from the thread's queue; true if there was one.
  std::function<bool()> TakeKeyPress;
};

// Replaces the installed hooks; an empty hook does nothing (no key is ever pending).
void SetTunerHooks(TunerHooks hooks);

enum class ChannelStep { Up, Down };

// Sends the slot's plan word; nothing when the CableStandard names no plan.
void TunerSetChannel(int slot);
uint8_t TunerReadStatus();
bool TunerPresent();

// Tune with the sound muted, keeping the previous slot for the recall command.
void SelectChannel(int slot);
// To the next checked slot up or down, wrapping; re-tunes the current one if none is checked.
void StepChannel(ChannelStep direction);
// Visits slots 1..100, checks those where a station answers and tunes the first one found.
// A key press stops it.
void TunerAutoScan();
