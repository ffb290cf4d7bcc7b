#include "hw/Tuner.h"

#include <utility>

#include "hw/Audio.h"
#include "hw/ChannelPlans.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "shared/Settings.h"

TunerState Tuner;

namespace {

TunerHooks g_hooks;

constexpr int kFirstScanSlot = 1;
constexpr int kLastScanSlot = kLastChannelSlot;
constexpr uint32_t kSettleMs = 100;
constexpr int kStatusTries = 9;
constexpr int kDefaultSlot = 1;

// CurrentChannel comes from the registry and may hold anything: a slot outside the
// table is taken as the first-run slot.
int ValidSlot(int slot) {
  return slot >= 0 && slot < kChannelSlots ? slot : kDefaultSlot;
}

bool StationAnswers(uint8_t status) {
  const int afc = status & kTunerStatusAfcMask;
  return afc >= 1 && afc <= 3;
}

void SendByte(uint8_t value) {
  I2cWriteByte(value);
  I2cWaitAck();
}

void ShowChannelOsd(int slot) {
  if (g_hooks.ShowChannelOsd) g_hooks.ShowChannelOsd(slot);
}

bool TakeKeyPress() {
  return g_hooks.TakeKeyPress && g_hooks.TakeKeyPress();
}

}  // namespace

void SetTunerHooks(TunerHooks hooks) {
  g_hooks = std::move(hooks);
}

void TunerSetChannel(int slot) {
  if (!IsValidCableStandard(Settings.CableStandard)) return;
  const uint32_t word =
      ChannelPlanFor(Settings.CableStandard)[static_cast<size_t>(ValidSlot(slot))];
  I2cStart();
  SendByte(kTunerAddress);
  SendByte(static_cast<uint8_t>(word >> 24));
  SendByte(static_cast<uint8_t>(word >> 16));
  SendByte(static_cast<uint8_t>(word >> 8));
  SendByte(static_cast<uint8_t>(word));
  I2cStop();
}

uint8_t TunerReadStatus() {
  I2cStart();
  if (IsValidCableStandard(Settings.CableStandard)) I2cWriteByte(kTunerStatusAddress);
  I2cWaitAck();
  const uint8_t status = I2cReadByte();
  I2cStop();
  return status;
}

bool TunerPresent() {
  return I2cProbe(kTunerOtherAddress) || I2cProbe(kTunerAddress);
}

void SelectChannel(int slot) {
  slot = ValidSlot(slot);
  AudioMute();
  Tuner.PreviousChannel = ValidSlot(Settings.CurrentChannel);
  Settings.CurrentChannel = slot;
  TunerSetChannel(slot);
  ShowChannelOsd(slot);
  AudioApplyVolume();
}

void StepChannel(ChannelStep direction) {
  AudioMute();
  const int current = ValidSlot(Settings.CurrentChannel);
  Tuner.PreviousChannel = current;
  int next = current;
  // Every other slot once, nearest first; slot 0 is a candidate like any other.
  for (int distance = 1; distance < kChannelSlots; ++distance) {
    const int offset = direction == ChannelStep::Up ? distance : kChannelSlots - distance;
    const int candidate = (current + offset) % kChannelSlots;
    if (Settings.Channels[static_cast<size_t>(candidate)].Checked == 1) {
      next = candidate;
      break;
    }
  }
  Settings.CurrentChannel = next;
  TunerSetChannel(next);
  ShowChannelOsd(next);
  AudioApplyVolume();
}

void TunerAutoScan() {
  AudioMute();
  Settings.CurrentChannel = 0;
  bool found = false;
  for (int slot = kFirstScanSlot; slot <= kLastScanSlot; ++slot) {
    if (TakeKeyPress()) break;
    ShowChannelOsd(slot);
    TunerSetChannel(slot);
    PortSleep(kSettleMs);
    int32_t& checked = Settings.Channels[static_cast<size_t>(slot)].Checked;
    for (int attempt = 0; attempt < kStatusTries; ++attempt) {
      if (StationAnswers(TunerReadStatus())) {
        checked = 1;
        if (!found) {
          Settings.CurrentChannel = slot;
          found = true;
        }
        break;
      }
      checked = 0;
      PortSleep(kSettleMs);
    }
  }
  ShowChannelOsd(Settings.CurrentChannel);
  TunerSetChannel(Settings.CurrentChannel);
  AudioApplyVolume();
}
