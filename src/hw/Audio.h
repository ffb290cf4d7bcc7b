// Sound of the selected input: the audio processor at 0x82 (volume and mute) and the
// port expander at 0x42 (routing for the S-Video and Tuner inputs).
#pragma once

#include <cstdint>

constexpr uint8_t kAudioAddress = 0x82;
constexpr uint8_t kExpanderAddress = 0x42;

constexpr int kVolumeMin = 234;  // 0xEA
constexpr int kVolumeMax = 255;  // 0xFF
constexpr int kVolumeAtStart = 245;

struct AudioState {
  int Volume = kVolumeAtStart;  // not stored: every start begins at 245
  bool Muted = false;           // while set, AudioApplyVolume writes nothing
};

extern AudioState Audio;

// The level displays show, 0..21.
constexpr int VolumeLevel(int volume) {
  return volume - kVolumeMin;
}

// Writes both volumes, the fixed settings and sound on, in one chained transfer.
// Returns false, having written nothing, while Muted.
bool AudioApplyVolume();
// Switches the sound off at the chip without touching Muted.
void AudioMute();
// Routes the sound for a VideoConnector; Composite sends the address alone.
void AudioSelectInput(uint32_t connector);

// The panels' sound controls.
void AudioVolumeDown();
void AudioVolumeUp();
void AudioMuteOn();
void AudioMuteOff();
