#include "sim/win32/SimDirectDraw.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "hw/PortIo.h"
#include "sim/SimBoard.h"
#include "sim/VideoEngine.h"
#include "sim/win32/OverlayScanout.h"
#include "win32/Handles.h"

// Shared by everything one provider makes.
struct SimCard {
  SimCardScenario scenario;
  VideoEngine* engine = nullptr;
  std::atomic<uint32_t> displayEpoch{0};  // moves on at every display-mode change

  std::mutex mutex;        // everything below
  bool lossArmed = false;  // the scenario's surface loss is still to come
  bool portInUse = false;  // the card has one video port

  VideoEngine* Engine() const {
    if (engine) return engine;
    auto* board = dynamic_cast<SimBoard*>(InstalledPortIo());
    return board ? &board->Engine() : nullptr;
  }
};

namespace {

constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
constexpr GUID kIidDirectDrawSurface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
constexpr GUID kIidDirectDrawClipper = {
    0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
// Our own: finds the card's surface object behind a surface interface.
constexpr GUID kIidSimSurface = {
    0x3B1F6C52, 0x8E0D, 0x4C43, {0x9A, 0x57, 0x2D, 0x61, 0x0E, 0x7C, 0x4B, 0x19}};
constexpr GUID kDdvpTypeBrooktree = {
    0x1352A560, 0xDA61, 0x11CF, {0x9B, 0x06, 0x00, 0xA0, 0xC9, 0x03, 0xA3, 0xB8}};

// DDVIDEOPORTCAPS.dwFlags: which fields are valid.
constexpr DWORD kDdvpdWidth = 0x001, kDdvpdHeight = 0x002, kDdvpdId = 0x004, kDdvpdCaps = 0x008,
                kDdvpdFx = 0x010, kDdvpdAutoflip = 0x020, kDdvpdAlign = 0x040,
                kDdvpdPreferredAutoflip = 0x080, kDdvpdFilterQuality = 0x100;
constexpr DWORD kDdvpCreateVideoOnly = 0x2;
constexpr DWORD kDdvpsqSignalOk = 0x1;

// Structure sizes as a 32-bit caller has them; a 64-bit caller's pointers widen them.
constexpr DWORD kSurfaceDescSize32 = 108;
constexpr DWORD kBltFxSize32 = 100;
constexpr DWORD kOverlayFxSize32 = 56;
constexpr DWORD kVideoPortInfoSize32 = 64;

// The card.
constexpr DWORD kPortMaxWidth = 720;
constexpr DWORD kPortMaxFieldHeight = 288;
constexpr DWORD kMinOverlayStretch = 1000;  // the overlay cannot shrink
constexpr DWORD kMaxOverlayStretch = 20000;
constexpr DWORD kAlignBoundarySrc = 2;  // a UYVY pixel pair never splits
constexpr DWORD kAlignSizeSrc = 2;
constexpr DWORD kAlignBoundaryDest = 1;
constexpr DWORD kAlignSizeDest = 1;
constexpr DWORD kVideoMemory = 8u << 20;
constexpr int kPitchAlign = 64;
constexpr int kSlackRows = 2;  // a reader running a row past the last one finds black there
constexpr int kMaxOverlaySide = 1024;
// Bandwidth answers (least overlay zoom x 1000 at which each mode keeps up): keying and
// interpolating together cost no more than interpolating alone.
constexpr DWORD kBandwidthOverlay = 1000;
constexpr DWORD kBandwidthColorkey = 1000;
constexpr DWORD kBandwidthYInterpolate = 1200;
constexpr DWORD kBandwidthYInterpAndColorkey = 1200;

bool SizeIs(DWORD size, DWORD size32, size_t native) {
  return size == size32 || size == native;
}

struct ScreenMode {
  int width = 0;
  int height = 0;
  int bits = 0;
  bool operator==(const ScreenMode&) const = default;
};

ScreenMode CurrentScreenMode() {
  ScreenMode mode;
  if (HDC dc = GetDC(nullptr)) {
    mode = {GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, BITSPIXEL)};
    ReleaseDC(nullptr, dc);
  }
  return mode;
}

DDPIXELFORMAT UyvyFormat() {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = kFourccUyvy;
  f.dwYUVBitCount = 16;
  return f;
}

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = red;
  f.dwGBitMask = green;
  f.dwBBitMask = blue;
  return f;
}

DDPIXELFORMAT Rgb565Format() {
  return RgbFormat(16, 0xF800, 0x07E0, 0x001F);
}

bool IsRgb565(const DDPIXELFORMAT& f) {
  return (f.dwFlags & DDPF_RGB) && !(f.dwFlags & DDPF_FOURCC) && f.dwRGBBitCount == 16 &&
         f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F;
}

DDPIXELFORMAT PrimaryFormat(const SimCardScenario& scenario, int desktopBits) {
  const int bits = scenario.primaryBits ? scenario.primaryBits : desktopBits;
  switch (bits) {
    case 8: {
      DDPIXELFORMAT f = RgbFormat(8, 0, 0, 0);
      f.dwFlags |= DDPF_PALETTEINDEXED8;
      return f;
    }
    case 15:
      return RgbFormat(16, 0x7C00, 0x03E0, 0x001F);
    case 16:
      return scenario.primary555 ? RgbFormat(16, 0x7C00, 0x03E0, 0x001F) : Rgb565Format();
    case 24:
      return RgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
    default:
      return RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
  }
}

// The twenty static colours of a palettised desktop: 0-9 and 246-255.
constexpr COLORREF kStaticColours[20] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192),
    RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
    RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};

// The colour a pixel value of the primary's format puts on the screen.
COLORREF ScreenColour(const DDPIXELFORMAT& f, DWORD value) {
  if (f.dwFlags & DDPF_PALETTEINDEXED8) {
    const DWORD index = value & 0xFF;
    if (index < 10) return kStaticColours[index];
    if (index >= 246) return kStaticColours[index - 236];
    return RGB(0, 0, 0);  // a colour only a realised palette gives
  }
  auto channel = [value](DWORD mask) -> BYTE {
    if (!mask) return 0;
    const DWORD max = mask >> std::countr_zero(mask);
    return static_cast<BYTE>(((value & mask) >> std::countr_zero(mask)) * 255 / max);
  };
  return RGB(channel(f.dwRBitMask), channel(f.dwGBitMask), channel(f.dwBBitMask));
}

bool WithinRect(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

// UYVY to RGB 5-6-5 (BT.601 studio range), for an overlay in the port's RGB output format.
uint16_t YuvToRgb565(int y, int u, int v) {
  const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
  auto clamp = [](int x) { return std::clamp(x >> 8, 0, 255); };
  const int r = clamp(c + 409 * e), g = clamp(c - 100 * d - 208 * e), b = clamp(c + 516 * d);
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  virtual ~ComObject() = default;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class SimSurface;

// The memory of an overlay surface and its back buffer, the flips between them, and
// what the screen shows of it. The video engine writes here from its own thread.
class OverlayChain final : public FieldTarget {
 public:
  OverlayChain(std::shared_ptr<SimCard> card, int width, int height, const DDPIXELFORMAT& format,
               int buffers, DWORD caps)
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

  // The scanout reads the buffers until it is gone.
  ~OverlayChain() override { scanout_.reset(); }

  // The overlay surface is gone; what the port may still hold of it stays valid.
  void Detach() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      detached_ = true;
    }
    scanout_.reset();
  }

  uint8_t* BeginField(int& pitch, int& width, int& height) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (detached_ || LostLocked()) return nullptr;
    writing_ = (buffers_ == 2 && autoflip_) ? 1 - front_ : front_;
    pitch = pitch_;
    width = width_;
    height = height_;
    return staging_.empty() ? memory_[writing_].data() : staging_.data();
  }

  void EndField(bool flip) override {
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

  // Checks for a loss (the scenario's, or a display-mode change) and keeps it until
  // Restore; a lost overlay is no longer shown.
  bool Lost() {
    const bool modeChanged = CurrentScreenMode() != mode_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!lost_ && modeChanged) MarkLostLocked();
    return detached_ || LostLocked();
  }

  HRESULT Restore() {
    if (CurrentScreenMode() != mode_) return DDERR_WRONGMODE;
    std::lock_guard<std::mutex> lock(mutex_);
    lost_ = false;
    lossAt_ = 0;
    epoch_ = card_->displayEpoch;
    for (int i = 0; i < buffers_; ++i) Blacken(memory_[i]);
    return DD_OK;
  }

  void SetAutoflip(bool autoflip) {
    std::lock_guard<std::mutex> lock(mutex_);
    autoflip_ = autoflip;
  }

  HRESULT Flip() {
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

  // The buffer the front (0) or back (1) surface stands for at this moment.
  uint8_t* Buffer(int which) {
    std::lock_guard<std::mutex> lock(mutex_);
    return memory_[which == 0 || buffers_ < 2 ? front_ : 1 - front_].data();
  }

  OverlayPicture FrontPicture() {
    std::lock_guard<std::mutex> lock(mutex_);
    return PictureLocked(front_);
  }

  OverlayScanout* Scanout() { return scanout_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  int Buffers() const { return buffers_; }
  DWORD Caps() const { return caps_; }
  const DDPIXELFORMAT& Format() const { return format_; }

 private:
  // In place once allocated: the port and the scanout may still hold the address.
  void Blacken(std::vector<uint8_t>& memory) {
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

  void MarkLostLocked() {
    lost_ = true;
    lossAt_ = 0;
    if (scanout_) scanout_->Hide();
  }

  bool LostLocked() {
    if (!lost_ && ((lossAt_ && GetTickCount64() >= lossAt_) || card_->displayEpoch != epoch_))
      MarkLostLocked();
    return lost_;
  }

  OverlayPicture PictureLocked(int index) const {
    return {memory_[index].data(), pitch_, width_, height_,
            IsRgb565(format_) ? OverlayPixels::kRgb565 : OverlayPixels::kUyvy};
  }

  void ConvertStagingLocked(std::vector<uint8_t>& target) {
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

  const std::shared_ptr<SimCard> card_;
  const int width_, height_, pitch_;
  const DDPIXELFORMAT format_;
  const int buffers_;
  const DWORD caps_;  // as created, without front/back
  const uint32_t epochAtCreation_;
  const ScreenMode mode_;
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

SimSurface* AsSimSurface(IUnknown* object);

class SimSurface final : public ComObject<IDirectDrawSurface> {
 public:
  enum class Kind { kPrimary, kOverlayFront, kOverlayBack };

  SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<std::atomic<int>> primaries)
      : card_(std::move(card)),
        kind_(Kind::kPrimary),
        primaries_(std::move(primaries)),
        mode_(CurrentScreenMode()),
        format_(PrimaryFormat(card_->scenario, mode_.bits)),
        epoch_(card_->displayEpoch) {
    ++*primaries_;
  }

  SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<OverlayChain> chain, Kind kind)
      : card_(std::move(card)), kind_(kind), chain_(std::move(chain)), format_(chain_->Format()) {
    if (kind_ == Kind::kOverlayFront && chain_->Buffers() == 2)
      back_ = new SimSurface(card_, chain_, Kind::kOverlayBack);
  }

  ~SimSurface() override {
    ReleaseAndClear(clipper_);
    ReleaseAndClear(back_);
    if (kind_ == Kind::kOverlayFront) chain_->Detach();
    if (primaries_) --*primaries_;
  }

  Kind SurfaceKind() const { return kind_; }
  OverlayChain* Chain() const { return chain_.get(); }

  // Primary surface.
  bool PrimaryLost() {
    if (!primaryLost_ && (card_->displayEpoch != epoch_ || CurrentScreenMode() != mode_))
      primaryLost_ = true;
    return primaryLost_;
  }
  RECT ScreenRect() const { return RECT{0, 0, mode_.width, mode_.height}; }
  std::optional<COLORREF> DestKeyColour() const {
    if (!destKey_) return std::nullopt;
    return ScreenColour(format_, *destKey_);
  }
  COLORREF ScreenColourOf(DWORD value) const { return ScreenColour(format_, value); }
  HWND ClipperWindow() const {
    HWND window = nullptr;
    if (clipper_) clipper_->GetHWnd(&window);
    return window;
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, kIidSimSurface)) {
      *out = this;
    } else if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidDirectDrawSurface)) {
      *out = static_cast<IDirectDrawSurface*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IDirectDrawSurface
  HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT, DWORD flags,
                                LPDDBLTFX fx) override {
    if (kind_ != Kind::kPrimary || source || !(flags & DDBLT_COLORFILL)) return DDERR_UNSUPPORTED;
    if (!fx || !SizeIs(fx->dwSize, kBltFxSize32, sizeof *fx)) return DDERR_INVALIDPARAMS;
    if (PrimaryLost()) return DDERR_SURFACELOST;
    const RECT screen = ScreenRect();
    RECT r = destRect ? *destRect : screen;
    const HWND window = ClipperWindow();
    // Through a clipper the rectangle is cut to the window; without one it must fit.
    if (window ? !IntersectRect(&r, &r, &screen) : !WithinRect(r, screen))
      return window ? DD_OK : DDERR_INVALIDRECT;
    HBRUSH brush = CreateSolidBrush(ScreenColour(format_, fx->dwFillColor));
    if (window) {
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
      if (HDC dc = ::GetDC(window)) {
        FillRect(dc, &r, brush);
        ::ReleaseDC(window, dc);
      }
    } else if (HDC dc = ::GetDC(nullptr)) {
      FillRect(dc, &r, brush);
      ::ReleaseDC(nullptr, dc);
    }
    DeleteObject(brush);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
    return DDERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context,
                                                 LPDDENUMSURFACESCALLBACK callback) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    if (!back_) return DD_OK;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    back_->GetSurfaceDesc(&desc);
    back_->AddRef();
    callback(back_, &desc, context);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD) override {
    if (kind_ != Kind::kOverlayFront) return DDERR_NOTFLIPPABLE;
    if (target && target != back_) return DDERR_INVALIDPARAMS;
    return chain_->Flip();
  }

  HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override {
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!back_ || !(caps->dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) ||
        (caps->dwCaps & ~(DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_OVERLAY |
                          DDSCAPS_VIDEOMEMORY | DDSCAPS_VIDEOPORT | DDSCAPS_LOCALVIDMEM)))
      return DDERR_NOTFOUND;
    back_->AddRef();
    *out = back_;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override {
    if (!caps) return DDERR_INVALIDPARAMS;
    caps->dwCaps = Caps();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = clipper_;
    if (!clipper_) return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override {
    if (!key) return DDERR_INVALIDPARAMS;
    if (kind_ != Kind::kPrimary || flags != DDCKEY_DESTOVERLAY || !destKey_)
      return DDERR_NOCOLORKEY;
    key->dwColorSpaceLowValue = key->dwColorSpaceHighValue = *destKey_;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG x, LPLONG y) override {
    if (!x || !y) return DDERR_INVALIDPARAMS;
    if (kind_ != Kind::kOverlayFront) return DDERR_NOTAOVERLAYSURFACE;
    if (!shown_) return DDERR_OVERLAYNOTVISIBLE;
    *x = placement_.dest.left;
    *y = placement_.dest.top;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override {
    return DDERR_NOPALETTEATTACHED;
  }

  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
    if (!format) return DDERR_INVALIDPARAMS;
    *format = format_;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    if (!desc || !SizeIs(desc->dwSize, kSurfaceDescSize32, sizeof *desc))
      return DDERR_INVALIDPARAMS;
    Describe(*desc);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override {
    return DDERR_ALREADYINITIALIZED;
  }

  HRESULT STDMETHODCALLTYPE IsLost() override {
    const bool lost = kind_ == Kind::kPrimary ? PrimaryLost() : chain_->Lost();
    return lost ? DDERR_SURFACELOST : DD_OK;
  }

  HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) override {
    if (!desc || !SizeIs(desc->dwSize, kSurfaceDescSize32, sizeof *desc))
      return DDERR_INVALIDPARAMS;
    if (kind_ == Kind::kPrimary) return DDERR_UNSUPPORTED;
    if (chain_->Lost()) return DDERR_SURFACELOST;
    const RECT whole = {0, 0, chain_->Width(), chain_->Height()};
    if (rect && !WithinRect(*rect, whole)) return DDERR_INVALIDRECT;
    if (locked_) return DDERR_SURFACEBUSY;
    uint8_t* bits = chain_->Buffer(kind_ == Kind::kOverlayFront ? 0 : 1);
    if (rect) bits += static_cast<ptrdiff_t>(rect->top) * chain_->Pitch() + rect->left * 2;
    Describe(*desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = bits;
    locked_ = true;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE Restore() override {
    if (kind_ != Kind::kPrimary) return chain_->Restore();
    if (CurrentScreenMode() != mode_) return DDERR_WRONGMODE;
    primaryLost_ = false;
    epoch_ = card_->displayEpoch;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
    if (kind_ != Kind::kPrimary) return DDERR_INVALIDSURFACETYPE;
    if (clipper) clipper->AddRef();
    ReleaseAndClear(clipper_);
    clipper_ = clipper;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
    const DWORD kind = flags & ~DDCKEY_COLORSPACE;
    if (kind_ != Kind::kPrimary || kind != DDCKEY_DESTOVERLAY) return DDERR_UNSUPPORTED;
    if (card_->scenario.refuseColorKey) return DDERR_NOCOLORKEYHW;
    if (!key) {
      destKey_.reset();
      return DD_OK;
    }
    // The overlay keys on one colour, not on a range.
    if ((flags & DDCKEY_COLORSPACE) && key->dwColorSpaceLowValue != key->dwColorSpaceHighValue)
      return DDERR_NOCOLORKEYHW;
    destKey_ = key->dwColorSpaceLowValue;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG x, LONG y) override {
    if (kind_ != Kind::kOverlayFront) return DDERR_NOTAOVERLAYSURFACE;
    if (!shown_) return DDERR_OVERLAYNOTVISIBLE;
    OverlayPlacement moved = placement_;
    OffsetRect(&moved.dest, x - moved.dest.left, y - moved.dest.top);
    if (!WithinRect(moved.dest, screenOfPlacement_)) return DDERR_INVALIDPOSITION;
    placement_ = moved;
    chain_->Scanout()->Show(placement_, chain_->FrontPicture());
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface,
                                          LPRECT destRect, DWORD flags, LPDDOVERLAYFX fx) override {
    if (kind_ != Kind::kOverlayFront) return DDERR_NOTAOVERLAYSURFACE;
    SimSurface* primary = AsSimSurface(destSurface);
    if (!primary || primary->kind_ != Kind::kPrimary) return DDERR_INVALIDPARAMS;
    if ((flags & DDOVER_SHOW) && (flags & DDOVER_HIDE)) return DDERR_INVALIDPARAMS;
    if (chain_->Lost() || primary->PrimaryLost()) return DDERR_SURFACELOST;
    if (flags & DDOVER_HIDE) {
      shown_ = false;
      chain_->Scanout()->Hide();
      return DD_OK;
    }

    const RECT surface = {0, 0, chain_->Width(), chain_->Height()};
    const RECT screen = primary->ScreenRect();
    const RECT source = sourceRect ? *sourceRect : surface;
    const RECT dest = destRect ? *destRect : screen;
    if (!WithinRect(source, surface) || !WithinRect(dest, screen)) return DDERR_INVALIDRECT;
    const DWORD sw = source.right - source.left, sh = source.bottom - source.top;
    const DWORD dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    if (source.left % kAlignBoundarySrc || sw % kAlignSizeSrc || dest.left % kAlignBoundaryDest ||
        dw % kAlignSizeDest)
      return DDERR_XALIGN;
    // Zoom factors x 1000, as the limits are given; the overlay cannot shrink.
    const DWORD zoomX = dw * 1000 / sw, zoomY = dh * 1000 / sh;
    if (zoomX < kMinOverlayStretch || zoomY < kMinOverlayStretch || zoomX > kMaxOverlayStretch ||
        zoomY > kMaxOverlayStretch)
      return DDERR_INVALIDPARAMS;

    OverlayPlacement placement;
    placement.videoWindow = primary->ClipperWindow();
    placement.source = source;
    placement.dest = dest;
    if (flags & (DDOVER_KEYDEST | DDOVER_KEYDESTOVERRIDE)) {
      if (card_->scenario.refuseColorKey) return DDERR_NOCOLORKEYHW;
      if (flags & DDOVER_KEYDESTOVERRIDE) {
        if (!fx || !SizeIs(fx->dwSize, kOverlayFxSize32, sizeof *fx)) return DDERR_INVALIDPARAMS;
        placement.key = primary->ScreenColourOf(fx->dckDestColorkey.dwColorSpaceLowValue);
      } else {
        const std::optional<COLORREF> key = primary->DestKeyColour();
        if (!key) return DDERR_NOCOLORKEY;
        placement.key = *key;
      }
      placement.keyed = true;
    }
    placement_ = placement;
    screenOfPlacement_ = screen;
    if ((flags & DDOVER_SHOW) || shown_) {
      shown_ = true;
      chain_->Scanout()->Show(placement_, chain_->FrontPicture());
    }
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
    return DDERR_UNSUPPORTED;
  }

 private:
  DWORD Caps() const {
    switch (kind_) {
      case Kind::kPrimary:
        return DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
      case Kind::kOverlayFront:
        return chain_->Caps() | (chain_->Buffers() == 2 ? DDSCAPS_FRONTBUFFER : 0) |
               (shown_ ? DDSCAPS_VISIBLE : 0);
      case Kind::kOverlayBack:
        return (chain_->Caps() & ~DDSCAPS_COMPLEX) | DDSCAPS_BACKBUFFER;
    }
    return 0;
  }

  void Describe(DDSURFACEDESC& desc) const {
    const DWORD size = desc.dwSize;
    desc = DDSURFACEDESC{};
    desc.dwSize = size;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = Caps();
    desc.ddpfPixelFormat = format_;
    if (kind_ == Kind::kPrimary) {
      desc.dwWidth = mode_.width;
      desc.dwHeight = mode_.height;
      desc.lPitch = (mode_.width * static_cast<LONG>(format_.dwRGBBitCount) / 8 + 3) & ~3;
      return;
    }
    desc.dwWidth = chain_->Width();
    desc.dwHeight = chain_->Height();
    desc.lPitch = chain_->Pitch();
    if (kind_ == Kind::kOverlayFront && back_) {
      desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
      desc.dwBackBufferCount = 1;
    }
  }

  const std::shared_ptr<SimCard> card_;
  const Kind kind_;
  std::shared_ptr<OverlayChain> chain_;
  SimSurface* back_ = nullptr;  // the front's attached back buffer
  std::shared_ptr<std::atomic<int>> primaries_;
  ScreenMode mode_;
  DDPIXELFORMAT format_;
  uint32_t epoch_ = 0;
  bool primaryLost_ = false;
  std::optional<DWORD> destKey_;
  IDirectDrawClipper* clipper_ = nullptr;
  bool locked_ = false;
  bool shown_ = false;
  OverlayPlacement placement_;
  RECT screenOfPlacement_ = {};
};

SimSurface* AsSimSurface(IUnknown* object) {
  void* found = nullptr;
  if (!object || FAILED(object->QueryInterface(kIidSimSurface, &found)) || !found) return nullptr;
  auto* surface = static_cast<SimSurface*>(found);
  surface->Release();  // the caller holds its own reference
  return surface;
}

class SimClipper final : public ComObject<IDirectDrawClipper> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, kIidDirectDrawClipper))
      return E_NOINTERFACE;
    *out = static_cast<IDirectDrawClipper*>(this);
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) override {
    if (!size) return DDERR_INVALIDPARAMS;
    HRGN region = nullptr;
    if (window_) {
      region = VisibleClientRegion(window_);
    } else if (!explicitList_.empty()) {
      region = ExtCreateRegion(nullptr, static_cast<DWORD>(explicitList_.size()),
                               reinterpret_cast<const RGNDATA*>(explicitList_.data()));
    }
    if (!region) return DDERR_NOCLIPLIST;
    if (rect) {
      HRGN limit = CreateRectRgnIndirect(rect);
      CombineRgn(region, region, limit, RGN_AND);
      DeleteObject(limit);
    }
    const DWORD needed = GetRegionData(region, 0, nullptr);
    HRESULT result = DD_OK;
    if (list) {
      if (*size < needed) {
        result = DDERR_REGIONTOOSMALL;
      } else if (!GetRegionData(region, needed, list)) {
        result = DDERR_GENERIC;
      }
    }
    *size = needed;
    DeleteObject(region);
    return result;
  }

  HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) override {
    if (!window) return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override {
    return DDERR_ALREADYINITIALIZED;
  }

  HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL* changed) override {
    if (!changed) return DDERR_INVALIDPARAMS;
    *changed = TRUE;  // windows move at any time; the list is always worth reading again
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA list, DWORD flags) override {
    if (flags) return DDERR_INVALIDPARAMS;
    if (window_) return DDERR_CLIPPERISUSINGHWND;
    if (!list) {
      explicitList_.clear();
      return DD_OK;
    }
    const size_t bytes = sizeof(RGNDATAHEADER) + list->rdh.nCount * sizeof(RECT);
    const auto* begin = reinterpret_cast<const uint8_t*>(list);
    explicitList_.assign(begin, begin + bytes);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override {
    if (flags || (window && !IsWindow(window))) return DDERR_INVALIDPARAMS;
    window_ = window;
    return DD_OK;
  }

 private:
  HWND window_ = nullptr;
  std::vector<uint8_t> explicitList_;
};

class SimVideoPort final : public ComObject<IDirectDrawVideoPort> {
 public:
  SimVideoPort(std::shared_ptr<SimCard> card, const DDVIDEOPORTDESC& desc,
               const DDVIDEOPORTCAPS& caps)
      : card_(std::move(card)), desc_(desc), caps_(caps) {}

  ~SimVideoPort() override {
    StopVideo();
    ReleaseAndClear(target_);
    std::lock_guard<std::mutex> lock(card_->mutex);
    card_->portInUse = false;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, IID_IDirectDrawVideoPort))
      return E_NOINTERFACE;
    *out = static_cast<IDirectDrawVideoPort*>(this);
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE GetBandwidthInfo(LPDDPIXELFORMAT format, DWORD width, DWORD height,
                                             DWORD flags, LPDDVIDEOPORTBANDWIDTH out) override {
    if (!format || !out || out->dwSize != sizeof *out) return DDERR_INVALIDPARAMS;
    if (!IsUyvy(*format) && !IsRgb565(*format)) return DDERR_INVALIDPIXELFORMAT;
    const DWORD size = out->dwSize;
    *out = DDVIDEOPORTBANDWIDTH{};
    out->dwSize = size;
    out->dwCaps = DDVPBCAPS_DESTINATION;
    switch (flags) {
      case DDVPB_TYPE:
        return DD_OK;
      case DDVPB_VIDEOPORT:
        if (width == 0 || width > desc_.dwFieldWidth || height == 0 || height > desc_.dwFieldHeight)
          return DDERR_INVALIDPARAMS;
        break;
      case DDVPB_OVERLAY:
        if (width == 0 || height == 0) return DDERR_INVALIDPARAMS;
        break;
      default:
        return DDERR_INVALIDPARAMS;
    }
    out->dwOverlay = kBandwidthOverlay;
    out->dwColorkey = kBandwidthColorkey;
    out->dwYInterpolate = kBandwidthYInterpolate;
    out->dwYInterpAndColorkey = kBandwidthYInterpAndColorkey;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetColorControls(void*) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE GetInputFormats(LPDWORD count, LPDDPIXELFORMAT formats,
                                            DWORD flags) override {
    if (!count || !(flags & (DDVPFORMAT_VIDEO | DDVPFORMAT_VBI))) return DDERR_INVALIDPARAMS;
    return ListFormats({UyvyFormat()}, count, formats);
  }

  HRESULT STDMETHODCALLTYPE GetOutputFormats(LPDDPIXELFORMAT input, LPDWORD count,
                                             LPDDPIXELFORMAT formats, DWORD flags) override {
    if (!input || !count || flags != DDVPFORMAT_VIDEO) return DDERR_INVALIDPARAMS;
    if (!IsUyvy(*input)) return DDERR_INVALIDPIXELFORMAT;
    return ListFormats({UyvyFormat(), Rgb565Format()}, count, formats);
  }

  HRESULT STDMETHODCALLTYPE GetFieldPolarity(LPBOOL) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVideoLine(LPDWORD) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE GetVideoSignalStatus(LPDWORD status) override {
    if (!status) return DDERR_INVALIDPARAMS;
    *status = kDdvpsqSignalOk;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetColorControls(void*) override { return DDERR_UNSUPPORTED; }

  HRESULT STDMETHODCALLTYPE SetTargetSurface(LPDIRECTDRAWSURFACE surface, DWORD flags) override {
    if (flags == DDVPTARGET_VBI) return DDERR_UNSUPPORTED;
    if (flags != DDVPTARGET_VIDEO) return DDERR_INVALIDPARAMS;
    SimSurface* target = AsSimSurface(surface);
    if (!target || target->SurfaceKind() != SimSurface::Kind::kOverlayFront ||
        !(target->Chain()->Caps() & DDSCAPS_VIDEOPORT))
      return DDERR_INVALIDPARAMS;
    target->AddRef();
    const bool restart = running_;
    if (restart) StopVideo();
    ReleaseAndClear(target_);
    target_ = target;
    if (restart) Run(setup_, true);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE StartVideo(LPDDVIDEOPORTINFO info) override {
    VideoPortSetup setup;
    if (const HRESULT hr = Translate(info, setup); FAILED(hr)) return hr;
    Run(setup, true);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE StopVideo() override {
    if (running_ && engine_) engine_->Stop();
    running_ = false;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE UpdateVideo(LPDDVIDEOPORTINFO info) override {
    if (!running_) return DDERR_INVALIDPARAMS;
    VideoPortSetup setup;
    if (const HRESULT hr = Translate(info, setup); FAILED(hr)) return hr;
    Run(setup, false);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE WaitForSync(DWORD, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }

 private:
  static HRESULT ListFormats(std::initializer_list<DDPIXELFORMAT> list, LPDWORD count,
                             LPDDPIXELFORMAT formats) {
    const DWORD available = static_cast<DWORD>(list.size());
    if (!formats) {
      *count = available;
      return DD_OK;
    }
    const DWORD n = std::min(*count, available);
    std::copy_n(list.begin(), n, formats);
    const HRESULT result = *count < available ? DDERR_MOREDATA : DD_OK;
    *count = n;
    return result;
  }

  // What the port is asked to do, as the engine takes it; anything the port cannot do
  // is refused.
  HRESULT Translate(const DDVIDEOPORTINFO* info, VideoPortSetup& setup) const {
    if (!info || !SizeIs(info->dwSize, kVideoPortInfoSize32, sizeof *info) || !target_)
      return DDERR_INVALIDPARAMS;
    const DWORD flags = info->dwVPFlags;
    constexpr DWORD kKnown = DDVP_AUTOFLIP | DDVP_CONVERT | DDVP_CROP | DDVP_INTERLEAVE |
                             DDVP_MIRRORLEFTRIGHT | DDVP_MIRRORUPDOWN | DDVP_PRESCALE;
    if (flags & ~kKnown) return DDERR_UNSUPPORTED;
    if (flags & (DDVP_CROP | DDVP_MIRRORLEFTRIGHT | DDVP_MIRRORUPDOWN)) return DDERR_INVALIDPARAMS;
    if ((flags & DDVP_INTERLEAVE) && !(caps_.dwFX & DDVPFX_INTERLEAVE)) return DDERR_INVALIDPARAMS;
    const OverlayChain& chain = *target_->Chain();
    if ((flags & DDVP_AUTOFLIP) && (!(caps_.dwCaps & DDVPCAPS_AUTOFLIP) || chain.Buffers() < 2))
      return DDERR_INVALIDPARAMS;
    if (!info->lpddpfInputFormat || !IsUyvy(*info->lpddpfInputFormat))
      return DDERR_INVALIDPIXELFORMAT;
    if (info->dwOriginX || info->dwOriginY || info->dwVBIHeight) return DDERR_UNSUPPORTED;

    setup.fieldWidth = static_cast<int>(desc_.dwFieldWidth);
    setup.fieldHeight = static_cast<int>(desc_.dwFieldHeight);
    setup.prescale = (flags & DDVP_PRESCALE) != 0;
    setup.prescaleWidth = setup.fieldWidth;
    setup.prescaleHeight = setup.fieldHeight;
    if (setup.prescale) {
      // The port only shrinks.
      if (info->dwPrescaleWidth == 0 || info->dwPrescaleWidth > desc_.dwFieldWidth ||
          info->dwPrescaleHeight == 0 || info->dwPrescaleHeight > desc_.dwFieldHeight)
        return DDERR_INVALIDPARAMS;
      setup.prescaleWidth = static_cast<int>(info->dwPrescaleWidth);
      setup.prescaleHeight = static_cast<int>(info->dwPrescaleHeight);
    }
    const int lines = setup.prescaleHeight * ((flags & DDVP_INTERLEAVE) ? 2 : 1);
    if (setup.prescaleWidth > chain.Width() || lines > chain.Height()) return DDERR_INVALIDPARAMS;
    setup.autoflip = (flags & DDVP_AUTOFLIP) != 0;
    return DD_OK;
  }

  void Run(const VideoPortSetup& setup, bool start) {
    setup_ = setup;
    target_->Chain()->SetAutoflip(setup.autoflip);
    if (start || !engine_) {
      if (running_ && engine_) engine_->Stop();
      engine_ = card_->Engine();
      if (engine_) engine_->Start(target_->Chain(), setup);
    } else {
      engine_->Update(setup);
    }
    running_ = true;
  }

  const std::shared_ptr<SimCard> card_;
  const DDVIDEOPORTDESC desc_;
  const DDVIDEOPORTCAPS caps_;
  SimSurface* target_ = nullptr;
  VideoEngine* engine_ = nullptr;  // the engine this port started
  VideoPortSetup setup_;
  bool running_ = false;
};

DDVIDEOPORTCONNECT Connection(const GUID& type, DWORD width, DWORD flags) {
  DDVIDEOPORTCONNECT c = {};
  c.dwSize = sizeof c;
  c.dwPortWidth = width;
  c.guidTypeID = type;
  c.dwFlags = flags;
  return c;
}

// What the port can be connected to: a 16-bit Brooktree-style bus, and the decoder's
// 8-bit CCIR 656 stream.
const DDVIDEOPORTCONNECT kConnections[] = {
    Connection(kDdvpTypeBrooktree, 16, DDVPCONNECT_INTERLACED | DDVPCONNECT_INVERTPOLARITY),
    Connection(DDVPTYPE_CCIR656, 8,
               DDVPCONNECT_INTERLACED | DDVPCONNECT_INVERTPOLARITY | DDVPCONNECT_DISCARDSVREFDATA |
                   DDVPCONNECT_HALFLINE),
};

class SimDirectDraw final : public ComObject<IDirectDraw, IDDVideoPortContainer> {
 public:
  explicit SimDirectDraw(std::shared_ptr<SimCard> card) : card_(std::move(card)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidDirectDraw)) {
      *out = static_cast<IDirectDraw*>(this);
    } else if (IsEqualGUID(iid, IID_IDDVideoPortContainer) && card_->scenario.videoPort &&
               card_->scenario.container) {
      *out = static_cast<IDDVideoPortContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IDirectDraw
  HRESULT STDMETHODCALLTYPE Compact() override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out,
                                          IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (flags) return DDERR_INVALIDPARAMS;
    if (!card_->scenario.clipper) return DDERR_UNSUPPORTED;
    *out = new SimClipper();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                                          IUnknown*) override {
    return DDERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                          IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!desc || !SizeIs(desc->dwSize, kSurfaceDescSize32, sizeof *desc) ||
        !(desc->dwFlags & DDSD_CAPS))
      return DDERR_INVALIDPARAMS;
    if (!cooperativeLevel_) return DDERR_NOCOOPERATIVELEVELSET;
    const DWORD caps = desc->ddsCaps.dwCaps;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
      if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_BACKBUFFERCOUNT))
        return DDERR_INVALIDPARAMS;
      if (*primaries_ > 0) return DDERR_PRIMARYSURFACEALREADYEXISTS;
      *out = new SimSurface(card_, primaries_);
      return DD_OK;
    }
    if (caps & DDSCAPS_OVERLAY) return CreateOverlay(*desc, out);
    return DDERR_INVALIDCAPS;
  }

  HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                             LPDDENUMMODESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                         LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driver, LPDDCAPS emulation) override {
    if (!driver && !emulation) return DDERR_INVALIDPARAMS;
    for (LPDDCAPS caps : {driver, emulation}) {
      if (!caps) continue;
      const DWORD size = caps->dwSize;
      if (size != sizeof(DDCAPS_DX3) && size != sizeof(DDCAPS_DX5) && size != sizeof(DDCAPS_DX6) &&
          size != sizeof(DDCAPS_DX7))
        return DDERR_INVALIDPARAMS;
    }
    if (driver) Fill(driver, DriverCaps());
    if (emulation) Fill(emulation, EmulationCaps());
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
    if (!desc || !SizeIs(desc->dwSize, kSurfaceDescSize32, sizeof *desc))
      return DDERR_INVALIDPARAMS;
    const ScreenMode mode = CurrentScreenMode();
    const DWORD size = desc->dwSize;
    *desc = DDSURFACEDESC{};
    desc->dwSize = size;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = mode.width;
    desc->dwHeight = mode.height;
    desc->ddpfPixelFormat = PrimaryFormat(card_->scenario, mode.bits);
    desc->lPitch =
        (mode.width * static_cast<LONG>(desc->ddpfPixelFormat.dwRGBBitCount) / 8 + 3) & ~3;
    desc->dwRefreshRate = 60;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) override {
    if (!count) return DDERR_INVALIDPARAMS;
    if (codes && *count >= 1) codes[0] = kFourccUyvy;
    const HRESULT result = codes && *count < 1 ? DDERR_MOREDATA : DD_OK;
    *count = 1;
    return result;
  }

  HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override {
    return DDERR_UNSUPPORTED;
  }

  HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) override {
    if (!frequency) return DDERR_INVALIDPARAMS;
    *frequency = 60;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    const bool normal = flags & DDSCL_NORMAL;
    const bool exclusive = flags & DDSCL_EXCLUSIVE;
    if (normal == exclusive) return DDERR_INVALIDPARAMS;
    if (exclusive && (!(flags & DDSCL_FULLSCREEN) || !IsWindow(window))) return DDERR_INVALIDPARAMS;
    if (window && !IsWindow(window)) return DDERR_INVALIDPARAMS;
    cooperativeLevel_ = flags;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override {
    return DDERR_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override {
    return DDERR_UNSUPPORTED;
  }

  // IDDVideoPortContainer
  HRESULT STDMETHODCALLTYPE CreateVideoPort(DWORD flags, LPDDVIDEOPORTDESC desc,
                                            LPDIRECTDRAWVIDEOPORT* out, IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if ((flags & ~kDdvpCreateVideoOnly) || !desc || desc->dwSize != sizeof *desc ||
        desc->dwVideoPortID != 0 || desc->dwFieldWidth == 0 || desc->dwFieldWidth > kPortMaxWidth ||
        desc->dwFieldHeight == 0 || desc->dwFieldHeight > kPortMaxFieldHeight)
      return DDERR_INVALIDPARAMS;
    const DDVIDEOPORTCONNECT& wanted = desc->VideoPortType;
    const bool connectable = std::any_of(
        std::begin(kConnections), std::end(kConnections), [&](const DDVIDEOPORTCONNECT& c) {
          return IsEqualGUID(c.guidTypeID, wanted.guidTypeID) &&
                 c.dwPortWidth == wanted.dwPortWidth && (wanted.dwFlags & ~c.dwFlags) == 0;
        });
    if (!connectable) return DDERR_INVALIDPARAMS;
    {
      std::lock_guard<std::mutex> lock(card_->mutex);
      if (card_->portInUse) return DDERR_OUTOFCAPS;
      card_->portInUse = true;
    }
    *out = new SimVideoPort(card_, *desc, PortCaps());
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE EnumVideoPorts(DWORD, LPDDVIDEOPORTCAPS wanted, LPVOID context,
                                           LPDDENUMVIDEOCALLBACK callback) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    if (wanted && wanted->dwSize != sizeof *wanted) return DDERR_INVALIDPARAMS;
    if (wanted && (wanted->dwFlags & kDdvpdId) && wanted->dwVideoPortID != 0) return DD_OK;
    DDVIDEOPORTCAPS caps = PortCaps();
    callback(&caps, context);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetVideoPortConnectInfo(DWORD portId, LPDWORD count,
                                                    LPDDVIDEOPORTCONNECT list) override {
    if (portId != 0 || !count) return DDERR_INVALIDPARAMS;
    const DWORD available = static_cast<DWORD>(std::size(kConnections));
    if (!list) {
      *count = available;
      return DD_OK;
    }
    const DWORD n = std::min(*count, available);
    std::copy_n(kConnections, n, list);
    const HRESULT result = *count < available ? DDERR_MOREDATA : DD_OK;
    *count = n;
    return result;
  }

  HRESULT STDMETHODCALLTYPE QueryVideoPortStatus(DWORD portId,
                                                 LPDDVIDEOPORTSTATUS status) override {
    if (portId != 0 || !status || status->dwSize != sizeof *status) return DDERR_INVALIDPARAMS;
    std::lock_guard<std::mutex> lock(card_->mutex);
    status->bInUse = card_->portInUse;
    status->dwFlags = 0;
    status->VideoPortType = kConnections[1];
    return DD_OK;
  }

 private:
  HRESULT CreateOverlay(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* out) {
    const SimCardScenario& s = card_->scenario;
    const DWORD caps = desc.ddsCaps.dwCaps;
    if (!s.overlay) return DDERR_NOOVERLAYHW;
    const DWORD required = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    if ((desc.dwFlags & required) != required) return DDERR_INVALIDPARAMS;
    if (desc.dwWidth == 0 || desc.dwWidth % 2 || desc.dwWidth > kMaxOverlaySide ||
        desc.dwHeight == 0 || desc.dwHeight > kMaxOverlaySide)
      return DDERR_INVALIDPARAMS;
    if (!IsUyvy(desc.ddpfPixelFormat) && !IsRgb565(desc.ddpfPixelFormat))
      return DDERR_INVALIDPIXELFORMAT;
    if ((caps & DDSCAPS_VIDEOPORT) && !s.videoPort) return DDERR_INVALIDCAPS;
    int buffers = 1;
    if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) {
      const DWORD chain = DDSCAPS_COMPLEX | DDSCAPS_FLIP;
      if ((caps & chain) != chain || desc.dwBackBufferCount != 1) return DDERR_INVALIDPARAMS;
      // A flipping chain fed by the port needs the port to flip it.
      if ((caps & DDSCAPS_VIDEOPORT) && !s.autoflip) return DDERR_INVALIDCAPS;
      buffers = 2;
    } else if (caps & (DDSCAPS_COMPLEX | DDSCAPS_FLIP)) {
      return DDERR_INVALIDPARAMS;
    }
    if (static_cast<uint64_t>(desc.dwWidth) * 2 * desc.dwHeight * buffers > kVideoMemory)
      return DDERR_OUTOFVIDEOMEMORY;
    const DWORD kept = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                       DDSCAPS_VIDEOPORT | DDSCAPS_COMPLEX | DDSCAPS_FLIP;
    auto chain = std::make_shared<OverlayChain>(
        card_, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
        desc.ddpfPixelFormat, buffers, (caps & kept) | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
    if (!chain->Scanout() || !chain->Scanout()->Window()) return DDERR_GENERIC;
    *out = new SimSurface(card_, std::move(chain), SimSurface::Kind::kOverlayFront);
    return DD_OK;
  }

  DDVIDEOPORTCAPS PortCaps() const {
    const SimCardScenario& s = card_->scenario;
    DDVIDEOPORTCAPS caps = {};
    caps.dwSize = sizeof caps;
    caps.dwFlags = kDdvpdWidth | kDdvpdHeight | kDdvpdId | kDdvpdCaps | kDdvpdFx | kDdvpdAutoflip |
                   kDdvpdAlign | kDdvpdPreferredAutoflip | kDdvpdFilterQuality;
    caps.dwMaxWidth = kPortMaxWidth;
    caps.dwMaxVBIWidth = kPortMaxWidth;
    caps.dwMaxHeight = kPortMaxFieldHeight;
    caps.dwVideoPortID = 0;
    caps.dwCaps = DDVPCAPS_INTERLACED | (s.autoflip ? DDVPCAPS_AUTOFLIP : 0);
    caps.dwFX = DDVPFX_PRESHRINKX | DDVPFX_PRESHRINKY | (s.interleave ? DDVPFX_INTERLEAVE : 0);
    caps.dwNumAutoFlipSurfaces = s.autoflip ? 2 : 0;
    caps.dwAlignVideoPortBoundary = 1;
    caps.dwAlignVideoPortPrescaleWidth = 1;
    caps.dwAlignVideoPortCropBoundary = 1;
    caps.dwAlignVideoPortCropWidth = 1;
    caps.dwPreshrinkXStep = 1;
    caps.dwPreshrinkYStep = 1;
    caps.dwNumPreferredAutoflip = s.autoflip ? 2 : 0;
    caps.wNumFilterTapsX = 1;
    caps.wNumFilterTapsY = 1;
    return caps;
  }

  DDCAPS DriverCaps() const {
    const SimCardScenario& s = card_->scenario;
    DDCAPS caps = {};
    caps.dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL;
    caps.dwVidMemTotal = kVideoMemory;
    caps.dwVidMemFree = kVideoMemory;
    caps.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    if (s.overlay) {
      caps.dwCaps |= DDCAPS_OVERLAY | DDCAPS_OVERLAYSTRETCH | DDCAPS_OVERLAYFOURCC |
                     DDCAPS_OVERLAYCANTCLIP | DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZESRC |
                     DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNSIZEDEST;
      caps.dwFXCaps = DDFXCAPS_OVERLAYSTRETCHX | DDFXCAPS_OVERLAYSTRETCHY;
      caps.dwMaxVisibleOverlays = 1;
      caps.dwNumFourCCCodes = 1;
      caps.dwAlignBoundarySrc = kAlignBoundarySrc;
      caps.dwAlignSizeSrc = kAlignSizeSrc;
      caps.dwAlignBoundaryDest = kAlignBoundaryDest;
      caps.dwAlignSizeDest = kAlignSizeDest;
      caps.dwMinOverlayStretch = kMinOverlayStretch;
      caps.dwMaxOverlayStretch = kMaxOverlayStretch;
      caps.ddsCaps.dwCaps |= DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                             DDSCAPS_FRONTBUFFER | DDSCAPS_BACKBUFFER;
      if (!s.refuseColorKey) {
        caps.dwCaps |= DDCAPS_COLORKEY;
        caps.dwCKeyCaps = DDCKEYCAPS_DESTOVERLAY | DDCKEYCAPS_DESTOVERLAYONEACTIVE;
      }
    }
    if (s.videoPort) {
      caps.dwCaps2 |= DDCAPS2_VIDEOPORT;
      if (s.autoflip && s.overlay) caps.dwCaps2 |= DDCAPS2_AUTOFLIPOVERLAY;
      caps.dwMaxVideoPorts = 1;
      std::lock_guard<std::mutex> lock(card_->mutex);
      caps.dwCurrVideoPorts = card_->portInUse ? 1 : 0;
      caps.ddsCaps.dwCaps |= DDSCAPS_VIDEOPORT;
    }
    return caps;
  }

  static DDCAPS EmulationCaps() {
    DDCAPS caps = {};
    caps.dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL;
    return caps;
  }

  static void Fill(LPDDCAPS out, const DDCAPS& caps) {
    const DWORD size = out->dwSize;
    std::memcpy(out, &caps, size);
    out->dwSize = size;
  }

  const std::shared_ptr<SimCard> card_;
  const std::shared_ptr<std::atomic<int>> primaries_ = std::make_shared<std::atomic<int>>(0);
  DWORD cooperativeLevel_ = 0;
};

std::unique_ptr<SimDirectDrawProvider> g_installed;

}  // namespace

SimDirectDrawProvider::SimDirectDrawProvider(const SimCardScenario& scenario, VideoEngine* engine)
    : card_(std::make_shared<SimCard>()) {
  card_->scenario = scenario;
  card_->engine = engine;
  card_->lossArmed = scenario.loseSurfacesAfterSeconds > 0;
}

SimDirectDrawProvider::~SimDirectDrawProvider() = default;

HRESULT SimDirectDrawProvider::CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (driver) return DDERR_INVALIDDIRECTDRAWGUID;  // the display driver is the only one
  if (!card_->scenario.directDraw) return DDERR_NODIRECTDRAWHW;
  *object = new SimDirectDraw(card_);
  return DD_OK;
}

HRESULT SimDirectDrawProvider::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (flags) return DDERR_INVALIDPARAMS;
  if (!card_->scenario.clipper) return DDERR_UNSUPPORTED;
  *clipper = new SimClipper();
  return DD_OK;
}

void SimDirectDrawProvider::LoseSurfaces() {
  ++card_->displayEpoch;
}

void InstallSimulatedDirectDraw() {
  RemoveSimulatedDirectDraw();
  g_installed = std::make_unique<SimDirectDrawProvider>(LoadSimCardScenario());
  InstallDirectDrawProvider(g_installed.get());
}

void RemoveSimulatedDirectDraw() {
  InstallDirectDrawProvider(nullptr);
  g_installed.reset();
}
