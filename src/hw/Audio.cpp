#include "hw/Audio.h"

#include <array>

#include "hw/Decoder.h"
#include "hw/I2cBus.h"

AudioState Audio;

namespace {

constexpr uint8_t kRegSwitch = 0x08;
constexpr uint8_t kSwitchSoundOn = 0xCF;
constexpr uint8_t kSwitchMuted = 0xEF;  // bit 5 set
constexpr uint8_t kFixedSetting = 0xF6;

constexpr uint8_t kRouteSVideo = 0xFC;  // bits 0 and 1 low
constexpr uint8_t kRouteTuner = 0xFE;   // bit 0 low

struct AudioRegisterValue {
  uint8_t reg;
  uint8_t value;
};

void SendByte(uint8_t value) {
  I2cWriteByte(value);
  I2cWaitAck();
}

}  // namespace

bool AudioApplyVolume() {
  if (Audio.Muted) return false;
  const auto volume = static_cast<uint8_t>(Audio.Volume);
  const std::array<AudioRegisterValue, 5> registers = {{
      {0x00, volume},                // volume, first channel
      {0x01, volume},                // volume, second channel
      {0x02, kFixedSetting},         // fixed setting, rewritten with every volume
      {0x03, kFixedSetting},         // likewise
      {kRegSwitch, kSwitchSoundOn},  // the mute bit clear
  }};
  // One transfer: each register opened by a (repeated) START, a single STOP at the end.
  for (const AudioRegisterValue& r : registers) {
    I2cStart();
    SendByte(kAudioAddress);
    SendByte(r.reg);
    SendByte(r.value);
  }
  I2cStop();
  return true;
}

void AudioMute() {
  I2cWriteRegister(kAudioAddress, kRegSwitch, kSwitchMuted);
}

void AudioSelectInput(uint32_t connector) {
  I2cStart();
  SendByte(kExpanderAddress);
  if (connector == kConnectorSVideo) SendByte(kRouteSVideo);
  if (connector == kConnectorTuner) SendByte(kRouteTuner);
  I2cStop();
}

void AudioVolumeDown() {
  Audio.Volume -= 1;
  if (Audio.Volume < kVolumeMin) Audio.Volume = kVolumeMin;
  Audio.Muted = false;
  AudioApplyVolume();
}

void AudioVolumeUp() {
  Audio.Volume += 1;
  if (Audio.Volume > kVolumeMax) Audio.Volume = kVolumeMax;
  Audio.Muted = false;
  AudioApplyVolume();
}

void AudioMuteOn() {
  Audio.Muted = true;
  AudioMute();
}

void AudioMuteOff() {
  Audio.Muted = false;
  AudioApplyVolume();
}
