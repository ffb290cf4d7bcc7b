#include "sim/win32/SimVideoPort.h"

#include <algorithm>

#include "win32/Handles.h"

namespace sim_card {

namespace {

// Bandwidth answers by scenario: the type, then the overlay, colour key, interpolation and
// both-together figures. A destination type gives the least zoom x 1000 at which each
// mode keeps up, a source type the most the port may be asked to deliver; either way
// the key is needed everywhere unless keying and interpolating together cost more
// (destination) or allow less (source) than either alone.
struct BandwidthAnswer {
  DWORD type, overlay, colorkey, yInterpolate, yInterpAndColorkey;
};
constexpr BandwidthAnswer kBandwidthAnswers[] = {
    {DDVPBCAPS_DESTINATION, 1000, 1000, 1200, 1200},
    {DDVPBCAPS_DESTINATION, 1000, 1000, 1200, 1500},
    {DDVPBCAPS_SOURCE, 1000, 1000, 800, 1000},
    {DDVPBCAPS_SOURCE, 1000, 1000, 800, 500},
};

void RaiseToTimeCritical() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

void SleepMilliseconds(uint32_t ms) {
  Sleep(ms);
}

}  // namespace

SimVideoPort::SimVideoPort(std::shared_ptr<SimCard> card, const DDVIDEOPORTDESC& desc,
                           const DDVIDEOPORTCAPS& caps)
    : card_(std::move(card)), desc_(desc), caps_(caps) {}

SimVideoPort::~SimVideoPort() {
  StopVideo();
  ReleaseAndClear(target_);
  std::lock_guard<std::mutex> lock(card_->mutex);
  card_->portInUse = false;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, IID_IDirectDrawVideoPort))
    return E_NOINTERFACE;
  *out = static_cast<IDirectDrawVideoPort*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::GetBandwidthInfo(LPDDPIXELFORMAT format, DWORD width,
                                                         DWORD height, DWORD flags,
                                                         LPDDVIDEOPORTBANDWIDTH out) {
  if (!format || !out || out->dwSize != sizeof *out) return DDERR_INVALIDPARAMS;
  if (!IsUyvy(*format) && !IsRgb565(*format)) return DDERR_INVALIDPIXELFORMAT;
  const DWORD size = out->dwSize;
  *out = DDVIDEOPORTBANDWIDTH{};
  out->dwSize = size;
  const BandwidthAnswer& answer = kBandwidthAnswers[std::clamp(card_->scenario.bandwidth, 0, 3)];
  out->dwCaps = answer.type;
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
  out->dwOverlay = answer.overlay;
  out->dwColorkey = answer.colorkey;
  out->dwYInterpolate = answer.yInterpolate;
  out->dwYInterpAndColorkey = answer.yInterpAndColorkey;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::GetInputFormats(LPDWORD count, LPDDPIXELFORMAT formats,
                                                        DWORD flags) {
  if (!count || !(flags & (DDVPFORMAT_VIDEO | DDVPFORMAT_VBI))) return DDERR_INVALIDPARAMS;
  return ListFormats({UyvyFormat()}, count, formats);
}

HRESULT STDMETHODCALLTYPE SimVideoPort::GetOutputFormats(LPDDPIXELFORMAT input, LPDWORD count,
                                                         LPDDPIXELFORMAT formats, DWORD flags) {
  if (!input || !count || flags != DDVPFORMAT_VIDEO) return DDERR_INVALIDPARAMS;
  if (!IsUyvy(*input)) return DDERR_INVALIDPIXELFORMAT;
  return ListFormats({UyvyFormat(), Rgb565Format()}, count, formats);
}

HRESULT STDMETHODCALLTYPE SimVideoPort::GetVideoSignalStatus(LPDWORD status) {
  if (!status) return DDERR_INVALIDPARAMS;
  *status = DDVPSQ_SIGNALOK;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::SetTargetSurface(LPDIRECTDRAWSURFACE surface, DWORD flags) {
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

HRESULT STDMETHODCALLTYPE SimVideoPort::StartVideo(LPDDVIDEOPORTINFO info) {
  VideoPortSetup setup;
  if (const HRESULT hr = Translate(info, setup); FAILED(hr)) return hr;
  Run(setup, true);
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::StopVideo() {
  if (running_ && engine_) engine_->Stop();
  running_ = false;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimVideoPort::UpdateVideo(LPDDVIDEOPORTINFO info) {
  if (!running_) return DDERR_INVALIDPARAMS;
  VideoPortSetup setup;
  if (const HRESULT hr = Translate(info, setup); FAILED(hr)) return hr;
  Run(setup, false);
  return DD_OK;
}

HRESULT SimVideoPort::ListFormats(std::initializer_list<DDPIXELFORMAT> list, LPDWORD count,
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

HRESULT SimVideoPort::Translate(const DDVIDEOPORTINFO* info, VideoPortSetup& setup) const {
  if (!info || !SizeIs(*info) || !target_) return DDERR_INVALIDPARAMS;
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

void SimVideoPort::Run(const VideoPortSetup& setup, bool start) {
  setup_ = setup;
  target_->Chain()->SetAutoflip(setup.autoflip);
  if (start || !engine_) {
    if (running_ && engine_) engine_->Stop();
    engine_ = card_->Engine();
    if (engine_) {
      engine_->SetThreadStartHook(RaiseToTimeCritical);
      engine_->SetSleepHook(SleepMilliseconds);
      engine_->Start(target_->Chain(), setup);
    }
  } else {
    engine_->Update(setup);
  }
  running_ = true;
}

}  // namespace sim_card
