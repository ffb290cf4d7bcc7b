#include "shared/SettingsImage.h"

#include <cstring>

#include "shared/LittleEndian.h"

namespace {

// Length of a text of at most `max` characters that need not be terminated.
size_t BoundedLength(const char* text, size_t max) {
  size_t length = 0;
  while (length < max && text[length] != '\0') ++length;
  return length;
}

}  // namespace

CheckedBlock EncodeCheckedBlock(const SettingsData& settings) {
  CheckedBlock block{};
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    PutLe32(&block[4 * slot], static_cast<uint32_t>(settings.Channels[slot].Checked));
  }
  return block;
}

void DecodeCheckedBlock(const CheckedBlock& block, SettingsData& settings) {
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    settings.Channels[slot].Checked = static_cast<int32_t>(GetLe32(&block[4 * slot]));
  }
}

NameBlock EncodeNameBlock(const SettingsData& settings) {
  NameBlock block{};
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    const char* name = settings.Channels[slot].Name;
    // An over-long name in memory is cut rather than allowed into the next slot.
    std::memcpy(&block[kNameSlotSize * slot], name, BoundedLength(name, kChannelNameMax));
  }
  return block;
}

void DecodeNameBlock(const NameBlock& block, SettingsData& settings) {
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    const char* text = reinterpret_cast<const char*>(&block[kNameSlotSize * slot]);
    char* name = settings.Channels[slot].Name;
    const size_t length = BoundedLength(text, kChannelNameMax);
    std::memset(name, 0, sizeof settings.Channels[slot].Name);
    std::memcpy(name, text, length);
  }
}

void MendLoadedSettings(SettingsData& settings) {
  const SettingsData defaults = DefaultSettings();
  // The decoder takes one byte: anything wider would arrive modulo 256.
  const auto mendByte = [](int32_t& value, int32_t fallback) {
    if (value < 0 || value > 255) value = fallback;
  };
  mendByte(settings.Brightness, defaults.Brightness);
  mendByte(settings.Contrast, defaults.Contrast);
  mendByte(settings.Saturation, defaults.Saturation);
  mendByte(settings.Hue, defaults.Hue);
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    int32_t& checked = settings.Channels[slot].Checked;
    if (checked != 0 && checked != 1) checked = defaults.Channels[slot].Checked;
  }
  if (settings.CurrentChannel < 0 || settings.CurrentChannel >= kChannelSlots) {
    settings.CurrentChannel = defaults.CurrentChannel;
  }
}
