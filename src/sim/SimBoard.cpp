#include "sim/SimBoard.h"

#include "hw/Decoder.h"

namespace {

constexpr uint16_t kSeqIndex = 0x3C4;
constexpr uint16_t kSeqData = 0x3C5;
constexpr uint16_t kCrtcIndex = 0x3D4;
constexpr uint16_t kCrtcData = 0x3D5;
constexpr uint16_t kPostPort = 0x80;
constexpr uint8_t kUnlockIndex = 0x06;
constexpr uint8_t kUnlockKey = 0x57;
constexpr uint8_t kBusOut = 0x3F;
constexpr uint8_t kBusIn = 0x3E;

}  // namespace

SimBoard::SimBoard(const SimScenario& scenario, SimClock& clock)
    : scenario_(scenario), clock_(clock) {
  decoder_.SetPresent(scenario_.decoderPresent);
  decoder_.SetDeafAddressings(scenario_.decoderDeafAddressings);
  tuner_.SetAddresses(scenario_.tuner == 1 || scenario_.tuner == 2, scenario_.tuner == 1);
  decoder_.SetSourceForInput([this](int mode) {
    if (mode == kDecoderModeComposite) return scenario_.compositeStandard;
    if (mode == kDecoderModeSVideo) return scenario_.svideoStandard;
    if (mode == kDecoderModeTuner) {
      const BroadcastStation* station = TunedStation();
      return station ? station->standard : kNoSource;
    }
    return kNoSource;
  });
  tuner_.SetStationAt([this](double oscillatorHz) {
    const BroadcastStation* station = scenario_.broadcast.Receive(oscillatorHz);
    return station ? station->strength : 0;
  });
  if (scenario_.decoderPresent) slaves_.push_back(&decoder_);
  if (scenario_.tuner == 1 || scenario_.tuner == 2) slaves_.push_back(&tuner_);
  slaves_.push_back(&audio_);
  slaves_.push_back(&expander_);
  if (!scenario_.busTrace.empty()) {
    traceFile_ = std::fopen(scenario_.busTrace.c_str(), "a");
    if (traceFile_) {
      trace_ = std::make_unique<BusTrace>([this](const std::string& line) {
        std::fputs(line.c_str(), traceFile_);
        std::fputc('\n', traceFile_);
        std::fflush(traceFile_);
      });
    }
  }
  Settle();
  engine_ = std::make_unique<VideoEngine>(*this);
  engine_->SetStatsFile(scenario_.engineStats);
}

SimBoard::~SimBoard() {
  engine_.reset();  // its thread reads the chips
  if (trace_) trace_->Flush();
  trace_.reset();
  if (traceFile_) std::fclose(traceFile_);
}

// Wired-AND: a line is high only when nobody pulls it low. Slaves react to what they
// see and may pull SDA in turn, so resolve until the wires stop moving.
void SimBoard::Settle() {
  const std::vector<I2cSlave*>& slaves = slaves_;
  for (int round = 0; round < 4; ++round) {
    bool sda = masterSda_ && !scenario_.stuckSda;
    for (const I2cSlave* slave : slaves) sda = sda && slave->SdaReleased();
    const bool scl = masterScl_ && !scenario_.stuckScl;
    const bool changed = scl != scl_ || sda != sda_;
    scl_ = scl;
    sda_ = sda;
    if (!changed && round > 0) return;
    for (I2cSlave* slave : slaves) slave->OnLines(scl_, sda_);
    if (trace_) trace_->OnLines(clock_.NowMs(), scl_, sda_);
  }
}

// One register write can move both lines. Data is set up before a rising clock and
// changed after a falling one, so a START or STOP is seen only when the clock stays high.
void SimBoard::DriveMaster(bool scl, bool sda) {
  if (scl == masterScl_ && sda == masterSda_) return;
  if (!scl && masterScl_) {
    masterScl_ = scl;
    Settle();
    masterSda_ = sda;
    Settle();
  } else {
    masterSda_ = sda;
    Settle();
    masterScl_ = scl;
    Settle();
  }
}

void SimBoard::PortWrite(uint16_t port, uint8_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_.Charge(kPortAccessMs);
  switch (port) {
    case kSeqIndex:
      sequencerIndex_ = value;
      break;
    case kSeqData:
      sequencer_[sequencerIndex_] = value;
      if (sequencerIndex_ == kUnlockIndex) unlocked_ = value == kUnlockKey;
      break;
    case kCrtcIndex:
      crtcIndex_ = value;
      break;
    case kCrtcData:
      if (crtcIndex_ == kBusOut || crtcIndex_ == kBusIn) {
        if (!unlocked_) break;  // locked: the chip ignores its extended registers
        if (crtcIndex_ == kBusOut) {
          busOutput_ = value;
          DriveMaster((value & 0x20) != 0, (value & 0x10) != 0);
        }
        break;
      }
      crtc_[crtcIndex_] = value;
      break;
    case kPostPort:
      postCode_ = value;
      break;
    default:
      break;
  }
}

uint8_t SimBoard::PortRead(uint16_t port) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_.Charge(kPortAccessMs);
  switch (port) {
    case kSeqIndex:
      return sequencerIndex_;
    case kSeqData:
      return sequencer_[sequencerIndex_];
    case kCrtcIndex:
      return crtcIndex_;
    case kCrtcData:
      if (crtcIndex_ == kBusIn || crtcIndex_ == kBusOut) {
        if (!unlocked_) return 0xFF;  // not decoded while locked: the data bus floats
        if (crtcIndex_ == kBusOut) return busOutput_;
        return static_cast<uint8_t>((scl_ ? 0x04 : 0) | (sda_ ? 0x08 : 0));
      }
      return crtc_[crtcIndex_];
    case kPostPort:
      return 0xFF;
    default:
      return 0xFF;
  }
}

const BroadcastStation* SimBoard::TunedStation() const {
  return scenario_.broadcast.Receive(tuner_.OscillatorHz());
}

void SimBoard::SleepMs(uint32_t ms) {
  clock_.SleepMs(ms);
}
