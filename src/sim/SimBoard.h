// The simulated video board behind the PortIo seam: the graphics chip's VGA ports
// with the extended CRTC registers that carry the bus lines, an open-drain bus with
// every chip as a line-level slave, and an optional bus trace.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "hw/PortIo.h"
#include "sim/BusTrace.h"
#include "sim/SimChips.h"
#include "sim/SimClock.h"
#include "sim/SimScenario.h"
#include "sim/VideoEngine.h"

class SimBoard final : public PortIo {
 public:
  // Power-up. The clock must outlive the board.
  SimBoard(const SimScenario& scenario, SimClock& clock);
  // Power-down: the trace is flushed and closed.
  ~SimBoard() override;
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  void PortWrite(uint16_t port, uint8_t value) override;
  uint8_t PortRead(uint16_t port) override;
  void SleepMs(uint32_t ms) override;

  const SimScenario& Scenario() const { return scenario_; }
  SimClock& Clock() { return clock_; }
  // Chip state, for the board's other parts and for tests. Lock Mutex() from other threads.
  SimDecoder& Decoder() { return decoder_; }
  SimTuner& Tuner() { return tuner_; }
  SimAudio& Audio() { return audio_; }
  SimExpander& Expander() { return expander_; }
  std::mutex& Mutex() { return mutex_; }
  // The station the tuner is tuned to, or nullptr between stations. It stays valid for the
  // board's lifetime.
  const BroadcastStation* TunedStation() const;
  // The video port engine; it stops, and writes its statistics, when the board powers down.
  VideoEngine& Engine() { return *engine_; }

  // Levels on the wires (true = high) after the last change.
  bool SclLevel() const { return scl_; }
  bool SdaLevel() const { return sda_; }
  // What the master last wrote to the bus output register (0x01, 0x11, 0x21 or 0x31).
  uint8_t BusOutputRegister() const { return busOutput_; }
  bool ExtendedRegistersUnlocked() const { return unlocked_; }

  // Every port access costs about one ISA bus cycle of board time.
  static constexpr double kPortAccessMs = 0.001;

 private:
  void DriveMaster(bool scl, bool sda);
  void Settle();

  SimScenario scenario_;
  SimClock& clock_;
  std::mutex mutex_;

  // Graphics chip.
  uint8_t sequencerIndex_ = 0;
  uint8_t sequencer_[256] = {};
  uint8_t crtcIndex_ = 0;
  uint8_t crtc_[256] = {};
  bool unlocked_ = false;
  uint8_t busOutput_ = 0x31;
  uint8_t postCode_ = 0;

  // Bus.
  bool masterScl_ = true;
  bool masterSda_ = true;
  bool scl_ = true;
  bool sda_ = true;
  SimDecoder decoder_;
  SimTuner tuner_;
  SimAudio audio_;
  SimExpander expander_;
  std::vector<I2cSlave*> slaves_;  // the chips fitted on this board
  std::FILE* traceFile_ = nullptr;
  std::unique_ptr<BusTrace> trace_;
  std::unique_ptr<VideoEngine> engine_;
};
