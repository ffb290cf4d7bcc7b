#include "hw/Decoder.h"

#include "hw/I2cBus.h"

namespace {

constexpr uint8_t kRegInputControl = 0x02;
constexpr uint8_t kRegSyncControl = 0x08;
constexpr uint8_t kRegLuminanceControl = 0x09;
constexpr uint8_t kRegBrightness = 0x0A;
constexpr uint8_t kRegContrast = 0x0B;
constexpr uint8_t kRegSaturation = 0x0C;
constexpr uint8_t kRegHue = 0x0D;
constexpr uint8_t kRegChromaControl = 0x0E;
constexpr uint8_t kRegOutputControl = 0x11;

// Register 0x02: the input mode in bits 0-2 over fixed analogue settings.
constexpr uint8_t kInputControlBase = 0xD0;
constexpr uint8_t kInputSVideo = kInputControlBase | kDecoderModeSVideo;        // 0xD4
constexpr uint8_t kInputComposite = kInputControlBase | kDecoderModeComposite;  // 0xD3
constexpr uint8_t kInputTuner = kInputControlBase | kDecoderModeTuner;          // 0xD0
constexpr uint8_t kOutputOff = 0x84;

void WriteDecoder(uint8_t reg, uint8_t value) {
  I2cWriteRegister(kDecoderAddress, reg, value);
}

struct DetectionTrial {
  uint32_t standard;
  uint32_t connector;
  int statusReads;
  bool want60Hz;
};

// Tuner input is never tried; only the NTSC-M trials read the status more than once.
constexpr std::array<DetectionTrial, 6> kDetectionTrials = {{
    {kNtscM, kConnectorComposite, 5, true},
    {kNtscM, kConnectorSVideo, 5, true},
    {kPalBghi, kConnectorComposite, 1, false},
    {kPalBghi, kConnectorSVideo, 1, false},
    {kPal443, kConnectorComposite, 1, true},
    {kPal443, kConnectorSVideo, 1, true},
}};

}  // namespace

const std::array<DecoderRegisterValue, 16> kDecoderInitTable = {{
    {0x01, 0x00},  // horizontal increment delay
    {0x02, 0xD3},  // analogue input: composite socket
    {0x03, 0x23},  // analogue control 2: gain control
    {0x04, 0x00},  // gain control 1
    {0x05, 0x00},  // gain control 2
    {0x08, 0x48},  // sync: fixed 60 Hz (NTSC-M set)
    {0x09, 0x10},  // luminance: aperture band-pass
    {0x0A, 0x80},  // brightness
    {0x0B, 0x47},  // contrast
    {0x0C, 0x40},  // saturation
    {0x0D, 0x00},  // hue
    {0x0E, 0x01},  // chroma: colour standard 0, nominal bandwidth
    {0x0F, 0x00},  // chroma gain
    {0x10, 0xC8},  // format/delay control
    {0x11, 0x0C},  // output control: picture data on
    {0x12, 0x80},  // RTS pin control
}};

const std::array<StandardRegisterSet, kVideoStandardCount> kStandardRegisterSets = {{
    {0x48, 0x10, 0x01},  // 0 NTSC-M     fixed 60 Hz, colour standard 0
    {0x88, 0x10, 0x31},  // 1 NTSC-N     auto field, colour standard 3 (50 Hz)
    {0x88, 0x10, 0x21},  // 2 NTSC-4.43  auto field, colour standard 2 (60 Hz)
    {0x08, 0x00, 0x01},  // 3 PAL-BGHI   fixed 50 Hz, colour standard 0
    {0x48, 0x00, 0x31},  // 4 PAL-M      fixed 60 Hz, colour standard 3
    {0x88, 0x00, 0x21},  // 5 PAL-N      auto field, colour standard 2 (50 Hz)
    {0x48, 0x00, 0x11},  // 6 PAL-4.43   fixed 60 Hz, colour standard 1
}};

void DecoderInit() {
  for (const auto& entry : kDecoderInitTable) WriteDecoder(entry.reg, entry.value);
}

void DecoderSetStandard(uint32_t standard) {
  // Callers pass 0..6; anything else would index past the table.
  if (standard >= kVideoStandardCount) standard = kNtscM;
  const StandardRegisterSet& set = kStandardRegisterSets[standard];
  WriteDecoder(kRegSyncControl, set.sync);
  WriteDecoder(kRegLuminanceControl, set.luminance);
  WriteDecoder(kRegChromaControl, set.chrominance);
}

void DecoderSelectSVideo() {
  WriteDecoder(kRegInputControl, kInputSVideo);
}
void DecoderSelectComposite() {
  WriteDecoder(kRegInputControl, kInputComposite);
}
void DecoderSelectTunerVideo() {
  WriteDecoder(kRegInputControl, kInputTuner);
}
void DecoderSetBrightness(uint8_t value) {
  WriteDecoder(kRegBrightness, value);
}
void DecoderSetContrast(uint8_t value) {
  WriteDecoder(kRegContrast, value);
}
void DecoderSetSaturation(uint8_t value) {
  WriteDecoder(kRegSaturation, value);
}
void DecoderSetHue(uint8_t value) {
  WriteDecoder(kRegHue, value);
}
void DecoderDisableOutput() {
  WriteDecoder(kRegOutputControl, kOutputOff);
}

uint8_t DecoderReadStatus() {
  return I2cReadRegister(kDecoderAddress, kDecoderStatusRegister);
}

bool DecoderDetectSignal(uint32_t& videoStandard, uint32_t& videoConnector) {
  for (const DetectionTrial& trial : kDetectionTrials) {
    DecoderSetStandard(trial.standard);
    if (trial.connector == kConnectorComposite) {
      DecoderSelectComposite();
    } else {
      DecoderSelectSVideo();
    }
    for (int read = 0; read < trial.statusReads; ++read) {
      const uint8_t status = DecoderReadStatus();
      const bool colour = (status & kDecoderStatusColour) != 0;
      const bool is60Hz = (status & kDecoderStatus60Hz) != 0;
      if (colour && is60Hz == trial.want60Hz) {
        videoStandard = trial.standard;
        videoConnector = trial.connector;
        return true;
      }
    }
  }
  DecoderInit();
  return false;
}
