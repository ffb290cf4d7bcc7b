// The video decoder (SAA7111A) at bus address 0x48: register tables, input
// selection, picture controls and the start-up signal detection.
#pragma once

#include <array>
#include <cstdint>

#include "shared/VideoStandards.h"

constexpr uint8_t kDecoderAddress = 0x48;
constexpr uint8_t kDecoderStatusRegister = 0x1F;
constexpr uint8_t kDecoderStatusColour = 0x01;  // colour signal detected
constexpr uint8_t kDecoderStatus60Hz = 0x20;    // field rate 60 Hz (clear: 50 Hz)

// Input modes (bits 0-2 of register 0x02) wired on this board.
constexpr uint8_t kDecoderModeTuner = 0;      // composite fed by the tuner
constexpr uint8_t kDecoderModeComposite = 3;  // the composite socket
constexpr uint8_t kDecoderModeSVideo = 4;     // separate Y and C

// VideoConnector values (the Video Source dialog's radio buttons).
enum : uint32_t {
  kConnectorSVideo = 1001,
  kConnectorComposite = 1002,
  kConnectorTuner = 1003,
};

// Each input's name: on the main panel's read-out, and spaced on the source options.
struct ConnectorNaming {
  uint32_t Connector;
  const char* Name;
  const char* SpacedName;
};
inline constexpr ConnectorNaming kConnectorNames[] = {
    {kConnectorSVideo, "S-Video", "S - Video"},
    {kConnectorComposite, "Composite", "Composite"},
    {kConnectorTuner, "Tuner", "Tuner"},
};
inline constexpr ConnectorNaming kNoConnectorNames = {0, "", ""};
// kNoConnectorNames for a value that names no input.
constexpr const ConnectorNaming& ConnectorNamesOf(int64_t connector) {
  for (const ConnectorNaming& n : kConnectorNames)
    if (n.Connector == connector) return n;
  return kNoConnectorNames;
}

struct DecoderRegisterValue {
  uint8_t reg;
  uint8_t value;
};

// Sync control (0x08), luminance control (0x09), chrominance control (0x0E).
struct StandardRegisterSet {
  uint8_t sync;
  uint8_t luminance;
  uint8_t chrominance;
};

extern const std::array<DecoderRegisterValue, 16> kDecoderInitTable;
extern const std::array<StandardRegisterSet, kVideoStandardCount> kStandardRegisterSets;

void DecoderInit();
void DecoderSetStandard(uint32_t standard);
void DecoderSelectSVideo();
void DecoderSelectComposite();
void DecoderSelectTunerVideo();
void DecoderSetBrightness(uint8_t value);
void DecoderSetContrast(uint8_t value);
void DecoderSetSaturation(uint8_t value);
void DecoderSetHue(uint8_t value);
void DecoderDisableOutput();
uint8_t DecoderReadStatus();

// Tries Composite and S-Video with NTSC-M, PAL-BGHI and PAL-4.43 in a fixed order.
// On success stores the accepted standard and connector and leaves the decoder
// programmed for them; on failure leaves both untouched and rewrites the initial table.
bool DecoderDetectSignal(uint32_t& videoStandard, uint32_t& videoConnector);

// Picture settings (0..255) to register values.
constexpr uint8_t BrightnessRegisterValue(uint32_t setting) {
  return setting & 0xFF;
}
constexpr uint8_t ContrastRegisterValue(uint32_t setting) {
  return (setting & 0xFF) / 2;
}
constexpr uint8_t SaturationRegisterValue(uint32_t setting) {
  return (setting & 0xFF) / 2;
}
// A signed offset with 128 as neutral: the setting with bit 7 inverted.
constexpr uint8_t HueRegisterValue(uint32_t setting) {
  return static_cast<uint8_t>(setting >= 128 ? setting - 128 : setting + 128);
}
