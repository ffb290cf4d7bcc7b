// The memory behind the simulated overlay surface: its front and back buffers, the
// flips between them, and the scanout window that shows the front one.
#pragma once

#include <cstdint>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/VideoEngine.h"
#include "sim/win32/OverlayScanout.h"
#include "sim/win32/SimCard.h"

namespace sim_card {

// The memory of an overlay surface and its back buffer, the flips between them, and
// what the screen shows of it. The video engine writes here from its own thread.
class OverlayChain final : public FieldTarget {
 public:
  OverlayChain(std::shared_ptr<SimCard> card, int width, int height, const DDPIXELFORMAT& format,
               int buffers, DWORD caps);

  // The scanout reads the buffers until it is gone.
  ~OverlayChain() override { scanout_.reset(); }

  // The overlay surface is gone; what the port may still hold of it stays valid.
  void Detach();

  // FieldTarget, for the video engine's thread.
  uint8_t* BeginField(int& pitch, int& width, int& height) override;
  void EndField(bool flip) override;

  // Checks for a loss (the scenario's, or a display-mode change) and keeps it until
  // Restore; a lost overlay is no longer shown.
  bool Lost();
  HRESULT Restore();
  void SetAutoflip(bool autoflip);
  HRESULT Flip();

  // The buffer the front (0) or back (1) surface stands for at this moment.
  uint8_t* Buffer(int which);
  OverlayPicture FrontPicture();

  OverlayScanout* Scanout() { return scanout_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  int Buffers() const { return buffers_; }
  DWORD Caps() const { return caps_; }
  const DDPIXELFORMAT& Format() const { return format_; }

 private:
  // In place once allocated: the port and the scanout may still hold the address.
  void Blacken(std::vector<uint8_t>& memory);
  void MarkLostLocked();
  bool LostLocked();
  OverlayPicture PictureLocked(int index) const;
  void ConvertStagingLocked(std::vector<uint8_t>& target);

  const std::shared_ptr<SimCard> card_;
  const int width_, height_, pitch_;
  const DDPIXELFORMAT format_;
  const int buffers_;
  const DWORD caps_;  // as created, without front/back
  const uint32_t epochAtCreation_;
  const ScreenMode mode_;
  std::atomic<ULONGLONG> modeAskedAt_{0};
  std::unique_ptr<OverlayScanout> scanout_;

  std::mutex mutex_;  // everything below
  std::vector<uint8_t> memory_[2];
  std::vector<uint8_t> staging_;  // the port's UYVY before conversion to RGB
  int front_ = 0;
  int writing_ = 0;
  bool autoflip_ = true;
  bool detached_ = false;
  bool lost_ = false;
  ULONGLONG lossAt_ = 0;
  uint32_t epoch_ = epochAtCreation_;
};

}  // namespace sim_card
