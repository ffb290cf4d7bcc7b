// IDDVideoPortContainer of the simulated DirectDraw object: the card's one video port.
#include "sim/win32/SimDirectDrawObject.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "sim/win32/SimVideoPort.h"

namespace sim_card {

namespace {

constexpr DWORD kPortMaxWidth = 720;
constexpr DWORD kPortMaxFieldHeight = 288;

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
    Connection(DDVPTYPE_BROOKTREE, 16, DDVPCONNECT_INTERLACED | DDVPCONNECT_INVERTPOLARITY),
    Connection(DDVPTYPE_CCIR656, 8,
               DDVPCONNECT_INTERLACED | DDVPCONNECT_INVERTPOLARITY | DDVPCONNECT_DISCARDSVREFDATA |
                   DDVPCONNECT_HALFLINE),
};

}  // namespace

HRESULT STDMETHODCALLTYPE SimDirectDraw::CreateVideoPort(DWORD flags, LPDDVIDEOPORTDESC desc,
                                                         LPDIRECTDRAWVIDEOPORT* out,
                                                         IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if ((flags & ~DDVPCREATE_VIDEOONLY) || !desc || desc->dwSize != sizeof *desc ||
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

HRESULT STDMETHODCALLTYPE SimDirectDraw::EnumVideoPorts(DWORD, LPDDVIDEOPORTCAPS wanted,
                                                        LPVOID context,
                                                        LPDDENUMVIDEOCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (wanted && wanted->dwSize != sizeof *wanted) return DDERR_INVALIDPARAMS;
  if (wanted && (wanted->dwFlags & DDVPD_ID) && wanted->dwVideoPortID != 0) return DD_OK;
  DDVIDEOPORTCAPS caps = PortCaps();
  callback(&caps, context);
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimDirectDraw::GetVideoPortConnectInfo(DWORD portId, LPDWORD count,
                                                                 LPDDVIDEOPORTCONNECT list) {
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

HRESULT STDMETHODCALLTYPE SimDirectDraw::QueryVideoPortStatus(DWORD portId,
                                                              LPDDVIDEOPORTSTATUS status) {
  if (portId != 0 || !status || status->dwSize != sizeof *status) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(card_->mutex);
  status->bInUse = card_->portInUse;
  status->dwFlags = 0;
  status->VideoPortType = kConnections[1];
  return DD_OK;
}

DDVIDEOPORTCAPS SimDirectDraw::PortCaps() const {
  const SimCardScenario& s = card_->scenario;
  DDVIDEOPORTCAPS caps = {};
  caps.dwSize = sizeof caps;
  caps.dwFlags = DDVPD_WIDTH | DDVPD_HEIGHT | DDVPD_ID | DDVPD_CAPS | DDVPD_FX | DDVPD_AUTOFLIP |
                 DDVPD_ALIGN | DDVPD_PREFERREDAUTOFLIP | DDVPD_FILTERQUALITY;
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

}  // namespace sim_card
