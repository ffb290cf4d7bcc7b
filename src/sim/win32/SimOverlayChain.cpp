#include "sim/win32/SimOverlayChain.h"

#include <algorithm>

namespace sim_card {

namespace {

constexpr int kPitchAlign = 64;
constexpr int kSlackRows = 2;  // a reader running a row past the last one finds black there
// A display-mode change moves the card's epoch when its message arrives; asking for the
// mode as well costs a score of round trips to Wine's server, too many for every lock of
// a video capture on a busy machine, so that second check runs at most this often.
constexpr ULONGLONG kModeAskMs = 250;

}  // namespace

OverlayChain::OverlayChain(std::shared_ptr<SimCard> card, int width, int height,
                           const DDPIXELFORMAT& format, int buffers, DWORD caps)
    : card_(std::move(card)),
      width_(width),
      height_(height),
      pitch_((width * 2 + kPitchAlign - 1) / kPitchAlign * kPitchAlign),
      format_(format),
      buffers_(buffers),
      caps_(caps),
      epochAtCreation_(card_->displayEpoch),
      mode_(CurrentScreenMode()) {
  for (int i = 0; i < buffers_; ++i) Blacken(memory_[i]);
  if (IsRgb565(format_)) staging_.resize(static_cast<size_t>(pitch_) * height_);
  {
    std::lock_guard<std::mutex> lock(card_->mutex);
    if (card_->lossArmed) {
      lossAt_ = GetTickCount64() + 1000ull * card_->scenario.loseSurfacesAfterSeconds;
      card_->lossArmed = false;
    }
  }
  std::weak_ptr<SimCard> weak = card_;
  scanout_ = std::make_unique<OverlayScanout>([weak] {
    if (auto card = weak.lock()) ++card->displayEpoch;
  });
}

void OverlayChain::Detach() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    detached_ = true;
  }
  scanout_.reset();
}

uint8_t* OverlayChain::BeginField(int& pitch, int& width, int& height) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (detached_ || LostLocked()) return nullptr;
  writing_ = (buffers_ == 2 && autoflip_) ? 1 - front_ : front_;
  pitch = pitch_;
  width = width_;
  height = height_;
  return staging_.empty() ? memory_[writing_].data() : staging_.data();
}

void OverlayChain::EndField(bool flip) {
  OverlayPicture picture;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (detached_) return;
    if (!staging_.empty()) ConvertStagingLocked(memory_[writing_]);
    if (flip && writing_ != front_) front_ = writing_;
    picture = PictureLocked(front_);
  }
  scanout_->Present(picture);
}

bool OverlayChain::Lost() {
  const ULONGLONG now = GetTickCount64();
  ULONGLONG asked = modeAskedAt_;
  const bool ask = now - asked >= kModeAskMs && modeAskedAt_.compare_exchange_strong(asked, now);
  const bool modeChanged = ask && CurrentScreenMode() != mode_;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!lost_ && modeChanged) MarkLostLocked();
  return detached_ || LostLocked();
}

HRESULT OverlayChain::Restore() {
  if (CurrentScreenMode() != mode_) return DDERR_WRONGMODE;
  std::lock_guard<std::mutex> lock(mutex_);
  lost_ = false;
  lossAt_ = 0;
  epoch_ = card_->displayEpoch;
  for (int i = 0; i < buffers_; ++i) Blacken(memory_[i]);
  return DD_OK;
}

void OverlayChain::SetAutoflip(bool autoflip) {
  std::lock_guard<std::mutex> lock(mutex_);
  autoflip_ = autoflip;
}

HRESULT OverlayChain::Flip() {
  OverlayPicture picture;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffers_ < 2) return DDERR_NOTFLIPPABLE;
    if (LostLocked()) return DDERR_SURFACELOST;
    front_ = 1 - front_;
    picture = PictureLocked(front_);
  }
  if (scanout_) scanout_->Present(picture);
  return DD_OK;
}

uint8_t* OverlayChain::Buffer(int which) {
  std::lock_guard<std::mutex> lock(mutex_);
  return memory_[which == 0 || buffers_ < 2 ? front_ : 1 - front_].data();
}

OverlayPicture OverlayChain::FrontPicture() {
  std::lock_guard<std::mutex> lock(mutex_);
  return PictureLocked(front_);
}

void OverlayChain::Blacken(std::vector<uint8_t>& memory) {
  const size_t bytes = static_cast<size_t>(pitch_) * (height_ + kSlackRows);
  if (memory.size() != bytes) memory.resize(bytes);
  std::fill(memory.begin(), memory.end(), 0);
  if (!IsUyvy(format_)) return;
  for (size_t i = 0; i + 3 < memory.size(); i += 4) {
    memory[i] = 0x80;
    memory[i + 1] = 0x10;
    memory[i + 2] = 0x80;
    memory[i + 3] = 0x10;
  }
}

void OverlayChain::MarkLostLocked() {
  lost_ = true;
  lossAt_ = 0;
  if (scanout_) scanout_->Hide();
}

bool OverlayChain::LostLocked() {
  if (!lost_ && ((lossAt_ && GetTickCount64() >= lossAt_) || card_->displayEpoch != epoch_))
    MarkLostLocked();
  return lost_;
}

OverlayPicture OverlayChain::PictureLocked(int index) const {
  return {memory_[index].data(), pitch_, width_, height_,
          IsRgb565(format_) ? OverlayPixels::kRgb565 : OverlayPixels::kUyvy};
}

void OverlayChain::ConvertStagingLocked(std::vector<uint8_t>& target) {
  for (int y = 0; y < height_; ++y) {
    const uint8_t* in = staging_.data() + static_cast<size_t>(y) * pitch_;
    uint8_t* out = target.data() + static_cast<size_t>(y) * pitch_;
    for (int x = 0; x + 1 < width_; x += 2, in += 4, out += 4) {
      const uint16_t a = YuvToRgb565(in[1], in[0], in[2]), b = YuvToRgb565(in[3], in[0], in[2]);
      out[0] = static_cast<uint8_t>(a);
      out[1] = static_cast<uint8_t>(a >> 8);
      out[2] = static_cast<uint8_t>(b);
      out[3] = static_cast<uint8_t>(b >> 8);
    }
  }
}

}  // namespace sim_card
