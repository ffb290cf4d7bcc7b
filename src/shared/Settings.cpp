#include "shared/Settings.h"

SettingsData Settings{};

SettingsData DefaultSettings() {
  SettingsData s{};
  s.Brightness = 128;
  s.Contrast = 144;  // register 0x48: a step above the decoder's initial 0x47
  s.Saturation = 128;
  s.Hue = 128;
  for (int slot = 0; slot < kChannelSlots; ++slot) s.Channels[slot].Checked = slot == 0 ? 0 : 1;
  s.VideoConnector = 1002;
  s.VideoStandard = 0;
  s.CableStandard = 2;
  s.CurrentChannel = 1;
  return s;
}
