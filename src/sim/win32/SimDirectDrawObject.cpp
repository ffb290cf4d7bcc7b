#include "sim/win32/SimDirectDrawObject.h"

#include <cstring>

#include "sim/win32/SimClipper.h"
#include "sim/win32/SimOverlayChain.h"
#include "sim/win32/SimSurface.h"

namespace sim_card {

namespace {

constexpr GUID kIidDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

constexpr DWORD kVideoMemory = 8u << 20;
constexpr int kMaxOverlaySide = 1024;

}  // namespace

HRESULT STDMETHODCALLTYPE SimDirectDraw::QueryInterface(REFIID iid, void** out) {
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

HRESULT STDMETHODCALLTYPE SimDirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out,
                                                       IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (flags) return DDERR_INVALIDPARAMS;
  if (!card_->scenario.clipper) return DDERR_UNSUPPORTED;
  *out = new SimClipper();
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                                                       IUnknown*) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::CreateSurface(LPDDSURFACEDESC desc,
                                                       LPDIRECTDRAWSURFACE* out, IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!desc || !SizeIs(*desc) || !(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
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

HRESULT STDMETHODCALLTYPE SimDirectDraw::DuplicateSurface(LPDIRECTDRAWSURFACE,
                                                          LPDIRECTDRAWSURFACE*) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                                          LPDDENUMMODESCALLBACK) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                                      LPDDENUMSURFACESCALLBACK) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetCaps(LPDDCAPS driver, LPDDCAPS emulation) {
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

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
  if (!desc || !SizeIs(*desc)) return DDERR_INVALIDPARAMS;
  const ScreenMode mode = CurrentScreenMode();
  const DWORD size = desc->dwSize;
  *desc = DDSURFACEDESC{};
  desc->dwSize = size;
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc->dwWidth = mode.width;
  desc->dwHeight = mode.height;
  desc->ddpfPixelFormat = PrimaryFormat(card_->scenario, mode.bits);
  desc->lPitch = (mode.width * static_cast<LONG>(desc->ddpfPixelFormat.dwRGBBitCount) / 8 + 3) & ~3;
  desc->dwRefreshRate = 60;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetFourCCCodes(LPDWORD count, LPDWORD codes) {
  if (!count) return DDERR_INVALIDPARAMS;
  if (codes && *count >= 1) codes[0] = kFourccUyvy;
  const HRESULT result = codes && *count < 1 ? DDERR_MOREDATA : DD_OK;
  *count = 1;
  return result;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetGDISurface(LPDIRECTDRAWSURFACE*) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetMonitorFrequency(LPDWORD frequency) {
  if (!frequency) return DDERR_INVALIDPARAMS;
  *frequency = 60;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  const bool normal = flags & DDSCL_NORMAL;
  const bool exclusive = flags & DDSCL_EXCLUSIVE;
  if (normal == exclusive) return DDERR_INVALIDPARAMS;
  if (exclusive && (!(flags & DDSCL_FULLSCREEN) || !IsWindow(window))) return DDERR_INVALIDPARAMS;
  if (window && !IsWindow(window)) return DDERR_INVALIDPARAMS;
  cooperativeLevel_ = flags;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::SetDisplayMode(DWORD, DWORD, DWORD) {
  return DDERR_UNSUPPORTED;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::WaitForVerticalBlank(DWORD, HANDLE) {
  return DDERR_UNSUPPORTED;
}

HRESULT SimDirectDraw::CreateOverlay(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* out) {
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
  {
    std::lock_guard<std::mutex> lock(card_->mutex);
    if (card_->overlayFailuresLeft > 0) {
      --card_->overlayFailuresLeft;
      return DDERR_OUTOFVIDEOMEMORY;
    }
  }
  const DWORD kept = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                     DDSCAPS_VIDEOPORT | DDSCAPS_COMPLEX | DDSCAPS_FLIP;
  auto chain = std::make_shared<OverlayChain>(
      card_, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), desc.ddpfPixelFormat,
      buffers, (caps & kept) | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
  if (!chain->Scanout() || !chain->Scanout()->Window()) return DDERR_GENERIC;
  *out = new SimSurface(card_, std::move(chain), SimSurface::Kind::kOverlayFront);
  return DD_OK;
}

DDCAPS SimDirectDraw::DriverCaps() const {
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
    caps.dwAlignBoundarySrc = s.alignBoundarySrc;
    caps.dwAlignSizeSrc = s.alignSizeSrc;
    caps.dwAlignBoundaryDest = s.alignBoundaryDest;
    caps.dwAlignSizeDest = s.alignSizeDest;
    caps.dwMinOverlayStretch = kMinOverlayStretch;
    caps.dwMaxOverlayStretch = kMaxOverlayStretch;
    caps.ddsCaps.dwCaps |=
        DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_FRONTBUFFER | DDSCAPS_BACKBUFFER;
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

DDCAPS SimDirectDraw::EmulationCaps() {
  DDCAPS caps = {};
  caps.dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL;
  return caps;
}

void SimDirectDraw::Fill(LPDDCAPS out, const DDCAPS& caps) {
  const DWORD size = out->dwSize;
  std::memcpy(out, &caps, size);
  out->dwSize = size;
}

}  // namespace sim_card
