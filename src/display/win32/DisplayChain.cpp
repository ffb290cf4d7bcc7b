#include "display/win32/DisplayChain.h"

#include <memory>
#include <new>

#include "display/OverlayGeometry.h"
#include "display/win32/VideoView.h"
#include "shared/Settings.h"
#include "win32/Handles.h"
#include "win32/MessageBox.h"

DisplayState Display;
RECT ScreenRect = {0, 0, 0, 0};

static_assert(kAlignBoundaryDest == DDCAPS_ALIGNBOUNDARYDEST);
static_assert(kAlignSizeDest == DDCAPS_ALIGNSIZEDEST);
static_assert(kAlignBoundarySrc == DDCAPS_ALIGNBOUNDARYSRC);
static_assert(kAlignSizeSrc == DDCAPS_ALIGNSIZESRC);

namespace {

constexpr DWORD kPortId = 0;
constexpr DWORD kPortWidthBits = 8;
constexpr DWORD kUyvyBitCount = 16;

bool CreateFailed(bool report, const char* text) {
  if (report) ShowProductMessage(nullptr, text, kDisplayFailureStyle);
  return false;
}

HRESULT WINAPI CopyPortCaps(LPDDVIDEOPORTCAPS caps, LPVOID) {
  if (caps) Display.PortCaps = *caps;
  return DDENUMRET_OK;
}

DDSURFACEDESC EmptySurfaceDesc() {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof(desc);
  return desc;
}

}  // namespace

void FillVideoPortConfig() {
  VideoPortConfigData& c = Display.VideoPortConfig;
  c.FieldWidth = kFieldWidth;
  c.FieldHeight = VideoPortFieldHeight(Settings.VideoStandard, c.FieldHeight);
  c.PortWidth = kPortWidthBits;
  c.ConnectionType = DDVPTYPE_CCIR656;
  c.ConnectionFlags = DDVPCONNECT_INTERLACED;
  c.InputFourcc = kFourccUyvy;
  c.InputBitCount = kUyvyBitCount;
}

bool DisplayCreate(bool reportFailures) {
  // Until the primary surface has been measured, the system metrics stand in for the screen.
  if (ScreenRect.right == 0) {
    ScreenRect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  DisplayState& d = Display;
  if (FAILED(DdDirectDrawCreate(nullptr, &d.DirectDrawObject, nullptr)) || !d.DirectDrawObject)
    return CreateFailed(reportFailures, kNoDirectDrawMessage);

  DDCAPS caps = {};
  caps.dwSize = sizeof(caps);
  d.DirectDrawObject->GetCaps(&caps, nullptr);
  // In this order: a driver without a video port never gets as far as the overlay.
  if (!(caps.dwCaps2 & DDCAPS2_VIDEOPORT))
    return CreateFailed(reportFailures, kNoVideoPortSupportMessage);
  if (!(caps.dwCaps & DDCAPS_OVERLAY))
    return CreateFailed(reportFailures, kNoOverlaySupportMessage);

  if (FAILED(d.DirectDrawObject->QueryInterface(IID_IDDVideoPortContainer,
                                                reinterpret_cast<void**>(&d.VideoPortContainer))) ||
      !d.VideoPortContainer)
    return CreateFailed(reportFailures, kNoContainerMessage);

  DDVIDEOPORTCAPS wanted = {};
  wanted.dwSize = sizeof(wanted);
  wanted.dwVideoPortID = kPortId;
  d.VideoPortContainer->EnumVideoPorts(0, &wanted, nullptr, CopyPortCaps);

  if (FAILED(DdDirectDrawCreateClipper(0, &d.Clipper, nullptr)) || !d.Clipper)
    return CreateFailed(reportFailures, kNoClipperMessage);
  return true;
}

void DisplayRelease() {
  KillTimer(VideoViewWindow(), kTimerOverlay);
  DisplayState& d = Display;
  ReleaseAndClear(d.VideoPort);
  ReleaseAndClear(d.OverlaySurface);
  ReleaseAndClear(d.PrimarySurface);
  ReleaseAndClear(d.VideoPortContainer);
  ReleaseAndClear(d.DirectDrawObject);
  ReleaseAndClear(d.Clipper);
}

bool OpenVideoPort() {
  DisplayState& d = Display;
  if (!d.VideoPortContainer) return false;
  const VideoPortConfigData& c = d.VideoPortConfig;

  DDVIDEOPORTDESC desc = {};
  desc.dwSize = sizeof(desc);
  desc.dwFieldWidth = kFieldWidth;
  desc.dwVBIWidth = kFieldWidth;
  desc.dwFieldHeight = c.FieldHeight;
  // Placeholders: the port takes its timing from the decoder's sync.
  desc.dwMicrosecondsPerField = 1;
  desc.dwMaxPixelsPerSecond = 1;
  desc.dwVideoPortID = kPortId;
  desc.VideoPortType.dwSize = sizeof(desc.VideoPortType);
  desc.VideoPortType.dwPortWidth = kPortWidthBits;
  desc.VideoPortType.guidTypeID = DDVPTYPE_CCIR656;
  desc.VideoPortType.dwFlags = DDVPCONNECT_INTERLACED;

  DWORD count = 0;
  if (FAILED(d.VideoPortContainer->GetVideoPortConnectInfo(kPortId, &count, nullptr)) || count == 0)
    return false;
  std::unique_ptr<DDVIDEOPORTCONNECT[]> connections(new (std::nothrow) DDVIDEOPORTCONNECT[count]);
  if (!connections) return false;
  for (DWORD i = 0; i < count; ++i) {
    connections[i] = DDVIDEOPORTCONNECT{};
    connections[i].dwSize = sizeof(DDVIDEOPORTCONNECT);
  }
  DWORD filled = count;  // the search stays within what was allocated
  d.VideoPortContainer->GetVideoPortConnectInfo(kPortId, &filled, connections.get());

  // The entry only proves that the port can take our connection; the description
  // above stays as it is.
  bool compatible = false;
  for (DWORD i = 0; i < count && !compatible; ++i) {
    compatible = connections[i].dwPortWidth == kPortWidthBits ||
                 IsEqualGUID(connections[i].guidTypeID, DDVPTYPE_CCIR656);
  }
  connections.reset();
  if (!compatible) return false;
  return d.VideoPortContainer->CreateVideoPort(0, &desc, &d.VideoPort, nullptr) == DD_OK;
}

bool ChooseOutputFormat() {
  DisplayState& d = Display;
  d.InputFormat = DDPIXELFORMAT{};
  d.InputFormat.dwSize = sizeof(DDPIXELFORMAT);
  d.InputFormat.dwFlags = DDPF_FOURCC;
  d.InputFormat.dwFourCC = kFourccUyvy;
  d.InputFormat.dwYUVBitCount = kUyvyBitCount;
  if (!d.VideoPort) return false;

  DWORD count = 0;
  if (FAILED(d.VideoPort->GetOutputFormats(&d.InputFormat, &count, nullptr, DDVPFORMAT_VIDEO)) ||
      count == 0)
    return false;
  std::unique_ptr<DDPIXELFORMAT[]> formats(new (std::nothrow) DDPIXELFORMAT[count]);
  if (!formats) return false;
  for (DWORD i = 0; i < count; ++i) {
    formats[i] = DDPIXELFORMAT{};
    formats[i].dwSize = sizeof(DDPIXELFORMAT);
  }
  DWORD filled = count;  // the choice stays within what was allocated
  if (FAILED(
          d.VideoPort->GetOutputFormats(&d.InputFormat, &filled, formats.get(), DDVPFORMAT_VIDEO)))
    return false;

  // The last UYVY entry wins; without one, the first entry.
  DWORD chosen = 0;
  if (count > 1) {
    for (DWORD i = 0; i < count; ++i) {
      if (IsUyvy(formats[i])) chosen = i;
    }
  }
  d.OutputFormat = formats[chosen];
  return true;
}

bool CreateSurfaces() {
  DisplayState& d = Display;
  if (!d.DirectDrawObject) return false;
  if (FAILED(d.DirectDrawObject->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) return false;

  DDSURFACEDESC primary = EmptySurfaceDesc();
  primary.dwFlags = DDSD_CAPS;
  primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(d.DirectDrawObject->CreateSurface(&primary, &d.PrimarySurface, nullptr)) ||
      !d.PrimarySurface)
    return false;
  DDSURFACEDESC screen = EmptySurfaceDesc();
  if (FAILED(d.PrimarySurface->GetSurfaceDesc(&screen))) return false;
  ScreenRect = RECT{0, 0, static_cast<LONG>(screen.dwWidth), static_cast<LONG>(screen.dwHeight)};

  const DWORD fieldHeight = d.VideoPortConfig.FieldHeight;
  // An interleaving port writes both fields of a frame into one surface.
  const DWORD height = (d.PortCaps.dwFX & DDVPFX_INTERLEAVE) ? 2 * fieldHeight : fieldHeight;
  DDSURFACEDESC overlay = EmptySurfaceDesc();
  overlay.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  overlay.dwHeight = height;
  overlay.dwWidth = kFieldWidth;
  overlay.ddpfPixelFormat = d.OutputFormat;
  overlay.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_VIDEOPORT;

  // Only a port that flips by itself can feed the overlay.
  if (d.PortCaps.dwCaps & DDVPCAPS_AUTOFLIP) {
    overlay.dwFlags |= DDSD_BACKBUFFERCOUNT;
    overlay.dwBackBufferCount = 1;
    overlay.ddsCaps.dwCaps |= DDSCAPS_COMPLEX | DDSCAPS_FLIP;
    HRESULT hr = d.DirectDrawObject->CreateSurface(&overlay, &d.OverlaySurface, nullptr);
    if (FAILED(hr)) {
      d.OverlaySurface = nullptr;
      overlay.dwHeight = fieldHeight + 1;
      hr = d.DirectDrawObject->CreateSurface(&overlay, &d.OverlaySurface, nullptr);
      if (FAILED(hr)) d.OverlaySurface = nullptr;
    }
    if (SUCCEEDED(hr)) d.OverlayBuffers = 2;
  }
  return d.OverlaySurface != nullptr;
}

void SetOverlayColorKey() {
  DisplayState& d = Display;
  if (!d.PrimarySurface) return;
  DDSURFACEDESC screen = EmptySurfaceDesc();
  d.PrimarySurface->GetSurfaceDesc(&screen);
  const DDPIXELFORMAT& f = screen.ddpfPixelFormat;
  const bool rgb = (screen.dwFlags & DDSD_PIXELFORMAT) && (f.dwFlags & DDPF_RGB);
  d.ColorKey = ColorKeyForFormat(rgb, f.dwRGBBitCount, f.dwRBitMask, f.dwGBitMask, f.dwBBitMask);
  DDCOLORKEY key = {};
  key.dwColorSpaceLowValue = d.ColorKey;
  key.dwColorSpaceHighValue = d.ColorKey;
  d.PrimarySurface->SetColorKey(DDCKEY_DESTOVERLAY, &key);
}
