#include "display/win32/OverlayPlacement.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "display/OverlayGeometry.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/VideoView.h"
#include "hw/Decoder.h"
#include "shared/Settings.h"

OverlayPlacementState Placement;

namespace {

constexpr int kPrescaleLevels = 5;
constexpr DWORD kBlack = 0;  // in any RGB pixel format of the primary surface
constexpr UINT kNeverPosted = WM_APP + 0x3FFF;

Rect ToRect(const RECT& r) {
  return Rect{r.left, r.top, r.right, r.bottom};
}
RECT ToRECT(const Rect& r) {
  return RECT{r.left, r.top, r.right, r.bottom};
}
bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool ReadDriverCaps(DDCAPS& caps) {
  caps = DDCAPS{};
  caps.dwSize = sizeof(caps);
  return Display.DirectDrawObject && SUCCEEDED(Display.DirectDrawObject->GetCaps(&caps, nullptr));
}

PortGeometry CurrentGeometry() {
  PortGeometry g;
  g.PrescaleWidth = Placement.PrescaleWidth;
  g.LeftCrop = Placement.LeftCrop;
  g.TopCrop = Placement.TopCrop;
  g.SourceBottom = Placement.SourceBottom;
  g.PrescaleHeight = Placement.PrescaleHeight;
  return g;
}

// The window's key area follows the overlay: when the part of the client area it covers
// changes, the window is painted again (a plain move keeps it).
// Trying the prescale levels hides the overlay between failed ones: only where it ends
// up counts.
int g_restarting = 0;

void SetShownRect(const RECT& shown) {
  Placement.ShownRect = shown;
  RECT inClient = {0, 0, 0, 0};
  RECT client;
  if (!IsRectEmpty(&shown) && GetClientScreenRect(client)) {
    inClient = shown;
    OffsetRect(&inClient, -client.left, -client.top);
  }
  if (g_restarting || SameRect(inClient, Placement.ShownInClient)) return;
  Placement.ShownInClient = inClient;
  if (HWND window = VideoViewWindow()) InvalidateRect(window, nullptr, FALSE);
}

void FillScreenRect(const RECT& rect, DWORD colour) {
  if (IsRectEmpty(&rect)) return;
  RECT r = rect;
  DDBLTFX fx = {};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = colour;
  Display.PrimarySurface->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx);
}

void ForgetPlacement() {
  Placement.PlacedRect = RECT{0, 0, 0, 0};
  Placement.PlacedPartial = -1;
  Placement.PlacedClient = RECT{0, 0, 0, 0};
}

// A failed rebuild tries again, slower, from the same timer.
void RetryRebuildLater() {
  DisplayRelease();
  SetShownRect(RECT{0, 0, 0, 0});
  SetTimer(VideoViewWindow(), kTimerOverlay, kOverlayRetryMs, nullptr);
}

}  // namespace

bool StartVideoPort() {
  DisplayState& d = Display;
  if (!ChooseOutputFormat()) return false;
  if (!CreateSurfaces()) {
    d.OverlayUnavailable = 1;
    return false;
  }
  d.Clipper->SetHWnd(0, VideoViewWindow());
  d.PrimarySurface->SetClipper(d.Clipper);
  SetOverlayColorKey();

  // Cards that lose stretch or interpolation capacity while keying show the overlay
  // keyed only where the window is covered; the answers at full field size tell which.
  DDVIDEOPORTBANDWIDTH bandwidth = {};
  bandwidth.dwSize = sizeof(bandwidth);
  d.VideoPort->GetBandwidthInfo(&d.OutputFormat, 0, 0, DDVPB_TYPE, &bandwidth);
  const bool sourceType = bandwidth.dwCaps == DDVPBCAPS_SOURCE;
  const DWORD fieldHeight = d.VideoPortConfig.FieldHeight;
  if (FAILED(d.VideoPort->GetBandwidthInfo(&d.OutputFormat, kFieldWidth, fieldHeight,
                                           sourceType ? DDVPB_OVERLAY : DDVPB_VIDEOPORT,
                                           &bandwidth)))
    return false;
  d.KeyAlways = KeyAlwaysFromBandwidth(sourceType, bandwidth.dwYInterpAndColorkey,
                                       bandwidth.dwYInterpolate, bandwidth.dwColorkey);

  if (FAILED(d.VideoPort->SetTargetSurface(d.OverlaySurface, DDVPTARGET_VIDEO))) return false;
  d.PortStarting = 1;
  if (!RestartVideo()) return false;
  d.PortStarting = 0;
  HWND window = VideoViewWindow();
  InvalidateRect(window, nullptr, FALSE);
  SetTimer(window, kTimerOverlay, kOverlayTickMs, nullptr);
  return true;
}

LiveVideoStart StartLiveVideo() {
  if (!OpenVideoPort()) return LiveVideoStart::NoVideoPort;
  if (StartVideoPort()) return LiveVideoStart::Running;
  return Display.OverlayUnavailable ? LiveVideoStart::NoOverlay : LiveVideoStart::PortNotStarted;
}

bool GetClientScreenRect(RECT& rect) {
  HWND window = VideoViewWindow();
  if (!window || IsIconic(window)) return false;
  RECT client;
  if (!GetClientRect(window, &client)) return false;
  POINT topLeft = {client.left, client.top};
  POINT bottomRight = {client.right, client.bottom};
  ClientToScreen(window, &topLeft);
  ClientToScreen(window, &bottomRight);
  rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  return true;
}

bool GetOverlayDestRect(RECT& rect, int& partial) {
  RECT window;
  if (!GetClientScreenRect(window)) return false;
  LPDIRECTDRAWCLIPPER clipper = Display.Clipper;
  if (!clipper) return false;
  DWORD size = 0;
  if (FAILED(clipper->GetClipList(nullptr, nullptr, &size))) return false;
  // Never smaller than the header, whose count is read whatever the driver wrote.
  const size_t bytes = std::max<size_t>(size, sizeof(RGNDATAHEADER));
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[bytes]());
  if (!buffer) return false;
  auto* clipList = reinterpret_cast<RGNDATA*>(buffer.get());
  if (FAILED(clipper->GetClipList(nullptr, clipList, &size))) return false;

  if (clipList->rdh.nCount == 1) {
    rect = *reinterpret_cast<const RECT*>(clipList->Buffer);
    partial = 0;
  } else {
    // Covered in part or wholly: the overlay spans the on-screen part of the client area
    // and the colour key cuts it to what is visible.
    IntersectRect(&rect, &window, &ScreenRect);
    partial = 1;
  }
  AlignDestRect(rect);
  return true;
}

void AlignSourceRect(RECT& rect) {
  DDCAPS caps;
  if (!ReadDriverCaps(caps)) return;
  rect = ToRECT(
      AlignSourceRule(ToRect(rect), caps.dwCaps, caps.dwAlignBoundarySrc, caps.dwAlignSizeSrc));
}

void AlignDestRect(RECT& rect) {
  DDCAPS caps;
  if (!ReadDriverCaps(caps)) return;
  rect = ToRECT(
      AlignDestRule(ToRect(rect), caps.dwCaps, caps.dwAlignBoundaryDest, caps.dwAlignSizeDest));
}

bool MapDestToSource(RECT& source, const RECT& fullSource, const RECT& dest) {
  RECT window;
  if (!GetClientScreenRect(window)) return false;
  Rect mapped;
  if (!MapDestRectToSource(mapped, ToRect(fullSource), ToRect(dest), ToRect(window))) return false;
  source = ToRECT(mapped);
  AlignSourceRect(source);
  return true;
}

RECT FullSourceRect() {
  return ToRECT(FullSourceRect(CurrentGeometry()));
}

void HideOverlay() {
  if (Display.OverlaySurface && Display.PrimarySurface) {
    Display.OverlaySurface->UpdateOverlay(nullptr, Display.PrimarySurface, nullptr, DDOVER_HIDE,
                                          nullptr);
  }
  SetShownRect(RECT{0, 0, 0, 0});
}

void PauseOverlay() {
  HideOverlay();
  ForgetPlacement();
  PaintColorKey();
  // Wine hands a window's drawing to the screen when the thread looks for messages and
  // finds none; a look for a message that never comes does that now, before the wait.
  MSG none;
  PeekMessageA(&none, VideoViewWindow(), kNeverPosted, kNeverPosted, PM_NOREMOVE);
}

bool UpdateOverlayPosition() {
  const RECT full = FullSourceRect();
  RECT dest;
  int partial = 0;
  if (!GetOverlayDestRect(dest, partial)) {
    HideOverlay();
    return false;
  }
  RECT source = full;
  MapDestToSource(source, full, dest);

  LPDIRECTDRAWSURFACE overlay = Display.OverlaySurface;
  LPDIRECTDRAWSURFACE primary = Display.PrimarySurface;
  if (!overlay || !primary) return false;
  if (Display.KeyAlways || partial) {
    if (SUCCEEDED(overlay->UpdateOverlay(&source, primary, &dest, DDOVER_SHOW | DDOVER_KEYDEST,
                                         nullptr))) {
      SetShownRect(dest);
      return true;
    }
  }
  // Without the key the overlay would paint over whatever covers the window.
  if (partial) {
    HideOverlay();
    return false;
  }
  if (SUCCEEDED(overlay->UpdateOverlay(&source, primary, &dest, DDOVER_SHOW, nullptr))) {
    SetShownRect(dest);
    return true;
  }
  HideOverlay();
  return false;
}

bool ConfigureVideoPort(int level) {
  DisplayState& d = Display;
  // A minimised window keeps the picture size it had.
  const VideoView view = CurrentVideoView();
  RECT window = {0, 0, view.PictureWidth, view.PictureHeight};
  GetClientScreenRect(window);

  DDVIDEOPORTINFO info = {};
  info.dwSize = sizeof(info);
  info.dwOriginX = 0;
  info.dwOriginY = 0;
  info.dwVPFlags = DDVP_CONVERT;
  info.dwVBIHeight = 0;
  info.lpddpfInputFormat = &d.InputFormat;

  const int pictureWidth = window.right - window.left;
  const int pictureHeight = window.bottom - window.top;
  ReportPictureSize(pictureWidth, pictureHeight);
  // The Video Source dialog tries a standard on the port before OK stores it: the crops
  // must suit the field the port delivers, or the port refuses a prescale taller than it.
  const DWORD fieldHeight = d.VideoPortConfig.FieldHeight;
  int32_t standard = Settings.VideoStandard;
  if (VideoPortFieldHeight(standard, fieldHeight) != fieldHeight) {
    if (fieldHeight == kFieldHeight240) standard = kNtscM;
    if (fieldHeight == kFieldHeight288) standard = kPalBghi;
  }
  const PortGeometry g = ComputePortGeometry(CurrentGeometry(), static_cast<uint32_t>(level),
                                             pictureWidth, pictureHeight, standard, fieldHeight);
  Placement.PrescaleWidth = g.PrescaleWidth;
  Placement.LeftCrop = g.LeftCrop;
  Placement.TopCrop = g.TopCrop;
  Placement.SourceBottom = g.SourceBottom;
  Placement.PrescaleHeight = g.PrescaleHeight;

  if (g.Prescale) info.dwVPFlags |= DDVP_PRESCALE;
  if (d.OverlayBuffers > 1) info.dwVPFlags |= DDVP_AUTOFLIP;
  info.dwPrescaleWidth = g.PrescaleWidth;
  info.dwPrescaleHeight = g.PrescaleHeight;

  if (!d.VideoPort) return false;
  const HRESULT hr =
      d.PortStarting ? d.VideoPort->StartVideo(&info) : d.VideoPort->UpdateVideo(&info);
  if (FAILED(hr)) return false;
  return UpdateOverlayPosition();
}

bool RestartVideo() {
  ++g_restarting;
  bool placed = false;
  // The overlay cannot shrink: a narrow window needs the port to deliver fewer columns.
  for (int level = 0; level < kPrescaleLevels && !placed; ++level)
    placed = ConfigureVideoPort(level);
  --g_restarting;
  SetShownRect(Placement.ShownRect);
  return placed;
}

namespace {
std::function<void()> ClipRepaint;
}  // namespace

void SetClipRepaint(std::function<void()> repaint) {
  ClipRepaint = std::move(repaint);
}

void PaintColorKey() {
  const DisplayState& d = Display;
  const bool chain = d.ColorKey != 1 && d.PrimarySurface;
  const VideoView view = CurrentVideoView();
  if (view.ShowsClip) {
    if (chain && ClipRepaint) ClipRepaint();  // the clip's picture, not the key
    return;
  }
  RECT window;
  if (!GetClientScreenRect(window)) return;
  if (!chain) {
    // No display chain yet, or between a release and its rebuild: nothing to key.
    if (HDC dc = GetDC(view.Window)) {
      RECT client;
      GetClientRect(view.Window, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      ReleaseDC(view.Window, dc);
    }
    return;
  }
  // The aligned overlay may leave strips of the client area uncovered (its left edge is
  // rounded up), and before the first placement or with the overlay hidden it covers
  // nothing: those parts are black, never the key.
  RECT keyed = {0, 0, 0, 0};
  if (d.OverlaySurface) IntersectRect(&keyed, &window, &Placement.ShownRect);
  if (IsRectEmpty(&keyed)) {
    FillScreenRect(window, kBlack);
    return;
  }
  FillScreenRect(RECT{window.left, window.top, window.right, keyed.top}, kBlack);
  FillScreenRect(RECT{window.left, keyed.bottom, window.right, window.bottom}, kBlack);
  FillScreenRect(RECT{window.left, keyed.top, keyed.left, keyed.bottom}, kBlack);
  FillScreenRect(RECT{keyed.right, keyed.top, window.right, keyed.bottom}, kBlack);
  FillScreenRect(keyed, d.ColorKey);
}

bool OverlayTick() {
  DisplayState& d = Display;
  if (!d.OverlaySurface) {
    Placement.DisplayLost = 1;
  } else if (d.OverlaySurface->IsLost() != DD_OK) {
    DisplayRelease();
    Placement.DisplayLost = 1;
  }
  if (Placement.DisplayLost) SetShownRect(RECT{0, 0, 0, 0});

  if (Placement.DisplayLost) {
    if (!DisplayCreate(false) || !OpenVideoPort()) {
      RetryRebuildLater();
      return true;
    }
    if (!StartVideoPort()) {
      if (!d.OverlayUnavailable) {
        RetryRebuildLater();
        return true;
      }
      DisplayRelease();
      return false;
    }
    // StartVideoPort has put the timer back to the normal tick.
    Placement.DisplayLost = 0;
  }

  RECT dest;
  int partial = 0;
  if (!GetOverlayDestRect(dest, partial)) {
    HideOverlay();
    // Restoring the window must place the overlay again even at the same spot.
    ForgetPlacement();
    return true;
  }
  RECT client = {0, 0, 0, 0};
  GetClientScreenRect(client);
  if (!SameRect(dest, Placement.PlacedRect) || partial != Placement.PlacedPartial ||
      !SameRect(client, Placement.PlacedClient)) {
    RestartVideo();
  }
  Placement.PlacedRect = dest;
  Placement.PlacedPartial = partial;
  Placement.PlacedClient = client;
  return true;
}
