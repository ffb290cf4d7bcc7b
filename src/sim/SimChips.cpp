#include "sim/SimChips.h"

#include "sim/SimScenario.h"

bool RegisterFileSlave::OnWriteByte(uint8_t value) {
  if (expectSubaddress_) {
    pointer_ = value;
    expectSubaddress_ = false;
    return true;
  }
  if (!IsReadOnly(pointer_)) regs_[pointer_] = value;
  writeLog_.emplace_back(pointer_, value);
  ++pointer_;
  return true;
}

uint8_t RegisterFileSlave::OnReadByte() {
  const uint8_t value = ReadRegister(pointer_);
  ++pointer_;
  return value;
}

// ---------------------------------------------------------------------------
// Decoder

namespace {

// Colour standard (register 0x0E bits 4-6) by field rate, as the colour decoder reads it;
// -1 where it names none (NTSC-4.43 at 50 Hz).
constexpr int kDecoded50Hz[4] = {kPalBghi, -1, kPalN, kNtscN};
constexpr int kDecoded60Hz[4] = {kNtscM, kPal443, kNtsc443, kPalM};

}  // namespace

SimDecoder::SimDecoder() : RegisterFileSlave(0x48) {
  SetRegister(0x00, 0x11);  // chip version
}

bool SimDecoder::AcceptsAddress(uint8_t address) {
  if (!RegisterFileSlave::AcceptsAddress(address)) return false;
  if (deafAddressings_ > 0) {
    --deafAddressings_;
    return false;
  }
  return true;
}

int SimDecoder::CurrentSource() const {
  return sourceForInput_ ? sourceForInput_(InputMode()) : kNoSource;
}

bool SimDecoder::Decodes60Hz() const {
  const uint8_t sync = Register(0x08);
  if (sync & 0x80) {
    const int source = CurrentSource();
    return source != kNoSource && StandardIs60Hz(source);
  }
  return (sync & 0x40) != 0;
}

int SimDecoder::DecodedStandard() const {
  const int colourStandard = (Register(0x0E) >> 4) & 0x07;
  if (colourStandard > 3) return -1;
  return Decodes60Hz() ? kDecoded60Hz[colourStandard] : kDecoded50Hz[colourStandard];
}

uint8_t SimDecoder::Status() const {
  const int source = CurrentSource();
  if (source == kNoSource) return 0x00;
  uint8_t status = 0;
  const bool rateMatches = StandardIs60Hz(source) == Decodes60Hz();
  if (rateMatches && DecodedStandard() == source) status |= 0x01;
  if (StandardIs60Hz(source)) status |= 0x20;
  return status;
}

uint8_t SimDecoder::ReadRegister(uint8_t index) {
  if (index == 0x1F) return Status();
  return RegisterFileSlave::ReadRegister(index);
}

// ---------------------------------------------------------------------------
// Tuner

namespace {
constexpr double kStepHz = 62500.0;
}  // namespace

bool SimTuner::AcceptsAddress(uint8_t address) {
  const uint8_t write = address & 0xFE;
  return (write == 0xC0 && atC0_) || (write == 0xC2 && atC2_);
}

void SimTuner::OnAddressed(uint8_t) {
  byteIndex_ = 0;
}

bool SimTuner::OnWriteByte(uint8_t value) {
  if (byteIndex_ < 4) bytes_[byteIndex_] = value;
  ++byteIndex_;
  if (byteIndex_ == 4) {
    divider_ = static_cast<uint16_t>(((bytes_[0] & 0x7F) << 8) | bytes_[1]);
    control_ = bytes_[2];
    band_ = bytes_[3];
    ++writes_;
  }
  return true;
}

double SimTuner::OscillatorHz() const {
  return divider_ * kStepHz;
}

uint8_t SimTuner::Status() const {
  const int station = stationAt_ ? stationAt_(OscillatorHz()) : 0;
  // Bit 6: PLL locked; bits 0-2: the AFC reading, which reports a carrier when one is there.
  return static_cast<uint8_t>(0x40 | (station & 0x07));
}
