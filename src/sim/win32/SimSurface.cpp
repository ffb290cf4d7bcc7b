#include "sim/win32/SimSurface.h"

#include "win32/Handles.h"

namespace sim_card {

namespace {

constexpr GUID kIidDirectDrawSurface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
// Our own: finds the card's surface object behind a surface interface.
constexpr GUID kIidSimSurface = {
    0x3B1F6C52, 0x8E0D, 0x4C43, {0x9A, 0x57, 0x2D, 0x61, 0x0E, 0x7C, 0x4B, 0x19}};

}  // namespace

SimSurface* AsSimSurface(IUnknown* object) {
  void* found = nullptr;
  if (!object || FAILED(object->QueryInterface(kIidSimSurface, &found)) || !found) return nullptr;
  auto* surface = static_cast<SimSurface*>(found);
  surface->Release();  // the caller holds its own reference
  return surface;
}

SimSurface::SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<std::atomic<int>> primaries)
    : card_(std::move(card)),
      kind_(Kind::kPrimary),
      primaries_(std::move(primaries)),
      mode_(CurrentScreenMode()),
      format_(PrimaryFormat(card_->scenario, mode_.bits)),
      epoch_(card_->displayEpoch) {
  ++*primaries_;
}

SimSurface::SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<OverlayChain> chain,
                       Kind kind)
    : card_(std::move(card)), kind_(kind), chain_(std::move(chain)), format_(chain_->Format()) {
  if (kind_ == Kind::kOverlayFront && chain_->Buffers() == 2)
    back_ = new SimSurface(card_, chain_, Kind::kOverlayBack);
}

SimSurface::~SimSurface() {
  ReleaseAndClear(clipper_);
  ReleaseAndClear(back_);
  if (kind_ == Kind::kOverlayFront) chain_->Detach();
  if (primaries_) --*primaries_;
}

bool SimSurface::PrimaryLost() {
  if (!primaryLost_ && (card_->displayEpoch != epoch_ || CurrentScreenMode() != mode_))
    primaryLost_ = true;
  return primaryLost_;
}

std::optional<COLORREF> SimSurface::DestKeyColour() const {
  if (!destKey_) return std::nullopt;
  return ScreenColour(format_, *destKey_);
}

HWND SimSurface::ClipperWindow() const {
  HWND window = nullptr;
  if (clipper_) clipper_->GetHWnd(&window);
  return window;
}

HRESULT STDMETHODCALLTYPE SimSurface::QueryInterface(REFIID iid, void** out) {
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

HRESULT STDMETHODCALLTYPE SimSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimSurface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT,
                                          DWORD flags, LPDDBLTFX fx) {
  if (kind_ != Kind::kPrimary || source || !(flags & DDBLT_COLORFILL)) return DDERR_UNSUPPORTED;
  if (!fx || !SizeIs(*fx)) return DDERR_INVALIDPARAMS;
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

HRESULT STDMETHODCALLTYPE SimSurface::BltBatch(LPDDBLTBATCH, DWORD, DWORD) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimSurface::BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimSurface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimSurface::EnumAttachedSurfaces(LPVOID context,
                                                           LPDDENUMSURFACESCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!back_) return DD_OK;
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  back_->GetSurfaceDesc(&desc);
  back_->AddRef();
  callback(back_, &desc, context);
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimSurface::Flip(LPDIRECTDRAWSURFACE target, DWORD) {
  if (kind_ != Kind::kOverlayFront) return DDERR_NOTFLIPPABLE;
  if (target && target != back_) return DDERR_INVALIDPARAMS;
  return chain_->Flip();
}

HRESULT STDMETHODCALLTYPE SimSurface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) {
  if (!caps || !out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!back_ || !(caps->dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) ||
      (caps->dwCaps & ~(DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY |
                        DDSCAPS_VIDEOPORT | DDSCAPS_LOCALVIDMEM)))
    return DDERR_NOTFOUND;
  back_->AddRef();
  *out = back_;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetCaps(LPDDSCAPS caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  caps->dwCaps = Caps();
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetClipper(LPDIRECTDRAWCLIPPER* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = clipper_;
  if (!clipper_) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (!key) return DDERR_INVALIDPARAMS;
  if (kind_ != Kind::kPrimary || flags != DDCKEY_DESTOVERLAY || !destKey_) return DDERR_NOCOLORKEY;
  key->dwColorSpaceLowValue = key->dwColorSpaceHighValue = *destKey_;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetOverlayPosition(LPLONG x, LPLONG y) {
  if (!x || !y) return DDERR_INVALIDPARAMS;
  if (kind_ != Kind::kOverlayFront) return DDERR_NOTAOVERLAYSURFACE;
  if (!shown_) return DDERR_OVERLAYNOTVISIBLE;
  *x = placement_.dest.left;
  *y = placement_.dest.top;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetPalette(LPDIRECTDRAWPALETTE*) {
  return DDERR_NOPALETTEATTACHED;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetPixelFormat(LPDDPIXELFORMAT format) {
  if (!format) return DDERR_INVALIDPARAMS;
  *format = format_;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (!desc || !SizeIs(*desc)) return DDERR_INVALIDPARAMS;
  Describe(*desc);
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) {
  return DDERR_ALREADYINITIALIZED;
}

HRESULT STDMETHODCALLTYPE SimSurface::IsLost() {
  const bool lost = kind_ == Kind::kPrimary ? PrimaryLost() : chain_->Lost();
  return lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
  if (!desc || !SizeIs(*desc)) return DDERR_INVALIDPARAMS;
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

HRESULT STDMETHODCALLTYPE SimSurface::Restore() {
  if (kind_ != Kind::kPrimary) return chain_->Restore();
  if (CurrentScreenMode() != mode_) return DDERR_WRONGMODE;
  primaryLost_ = false;
  epoch_ = card_->displayEpoch;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
  if (kind_ != Kind::kPrimary) return DDERR_INVALIDSURFACETYPE;
  if (clipper) clipper->AddRef();
  ReleaseAndClear(clipper_);
  clipper_ = clipper;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
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

HRESULT STDMETHODCALLTYPE SimSurface::SetOverlayPosition(LONG x, LONG y) {
  if (kind_ != Kind::kOverlayFront) return DDERR_NOTAOVERLAYSURFACE;
  if (!shown_) return DDERR_OVERLAYNOTVISIBLE;
  OverlayPlacement moved = placement_;
  OffsetRect(&moved.dest, x - moved.dest.left, y - moved.dest.top);
  if (!WithinRect(moved.dest, screenOfPlacement_)) return DDERR_INVALIDPOSITION;
  placement_ = moved;
  chain_->Scanout()->Show(placement_, chain_->FrontPicture());
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::Unlock(LPVOID) {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimSurface::UpdateOverlay(LPRECT sourceRect,
                                                    LPDIRECTDRAWSURFACE destSurface,
                                                    LPRECT destRect, DWORD flags,
                                                    LPDDOVERLAYFX fx) {
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
  const SimCardScenario& card = card_->scenario;
  if (source.left % card.alignBoundarySrc || sw % card.alignSizeSrc ||
      dest.left % card.alignBoundaryDest || dw % card.alignSizeDest)
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
      if (!fx || !SizeIs(*fx)) return DDERR_INVALIDPARAMS;
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

HRESULT STDMETHODCALLTYPE SimSurface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) {
  return DDERR_UNSUPPORTED;
}

DWORD SimSurface::Caps() const {
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

void SimSurface::Describe(DDSURFACEDESC& desc) const {
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

}  // namespace sim_card
