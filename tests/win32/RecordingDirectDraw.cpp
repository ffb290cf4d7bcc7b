#include "win32/RecordingDirectDraw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "display/win32/DisplayChain.h"
#include "ui/ViewState.h"

namespace display_test {

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Hex(DWORD value) {
  return Format("0x%lx", static_cast<unsigned long>(value));
}

std::string RectText(const RECT* r) {
  if (!r) return "null";
  return Format("%ld,%ld,%ld,%ld", static_cast<long>(r->left), static_cast<long>(r->top),
                static_cast<long>(r->right), static_cast<long>(r->bottom));
}
std::string RectText(const RECT& r) {
  return RectText(&r);
}

std::string FormatText(const DDPIXELFORMAT& f) {
  if (f.dwFlags & DDPF_FOURCC) {
    const char code[5] = {
        static_cast<char>(f.dwFourCC & 0xFF), static_cast<char>((f.dwFourCC >> 8) & 0xFF),
        static_cast<char>((f.dwFourCC >> 16) & 0xFF), static_cast<char>(f.dwFourCC >> 24), 0};
    return Format("%s/%lu", code, static_cast<unsigned long>(f.dwYUVBitCount));
  }
  if (f.dwFlags & DDPF_RGB) return Format("RGB%lu", static_cast<unsigned long>(f.dwRGBBitCount));
  return "flags " + Hex(f.dwFlags);
}

DDPIXELFORMAT Uyvy(DWORD marker) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = kFourccUyvy;
  f.dwYUVBitCount = 16;
  f.dwYBitMask = marker;
  return f;
}

DDPIXELFORMAT Yuy2(DWORD marker) {
  DDPIXELFORMAT f = Uyvy(marker);
  f.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
  return f;
}

DDPIXELFORMAT Rgb(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD extra) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_RGB | extra;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = red;
  f.dwGBitMask = green;
  f.dwBBitMask = blue;
  return f;
}

HRESULT Tracked::Unused(const char* call) {
  card.Unexpected(call);
  return DDERR_UNSUPPORTED;
}

namespace {

std::string WindowText(HWND window) {
  if (!window) return "null";
  return window == VideoWindow.Window ? "video" : "other";
}

ULONG ReleaseTracked(Tracked& t) {
  t.card.Log("Release " + t.name);
  if (t.refs == 0) {
    t.card.Unexpected("Release of a released object");
    return 0;
  }
  return --t.refs;
}

class RecordingClipper final : public IDirectDrawClipper, public Tracked {
 public:
  explicit RecordingClipper(RecordingCard& card) : Tracked(card, "Clipper") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    return Unused("Clipper.QueryInterface");
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) override {
    card.Log("Clipper.GetClipList rect=" + RectText(rect) + (list ? " list" : " list=null"));
    std::vector<RECT> rects;
    if (card.config.clipRects) {
      rects = *card.config.clipRects;
    } else if (window_ && !IsIconic(window_)) {
      RECT r;
      GetClientRect(window_, &r);
      MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
      rects.push_back(r);
    }
    const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!list) {
      *size = needed;
      return DD_OK;
    }
    if (*size < needed) return DDERR_REGIONTOOSMALL;
    list->rdh.dwSize = sizeof(RGNDATAHEADER);
    list->rdh.iType = RDH_RECTANGLES;
    list->rdh.nCount = static_cast<DWORD>(rects.size());
    list->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(list->Buffer));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetHWnd(HWND*) override { return Unused("Clipper.GetHWnd"); }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override {
    return Unused("Clipper.Initialize");
  }
  HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL*) override {
    return Unused("Clipper.IsClipListChanged");
  }
  HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA, DWORD) override {
    return Unused("Clipper.SetClipList");
  }
  HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override {
    card.Log(Format("Clipper.SetHWnd flags=%lu hwnd=", static_cast<unsigned long>(flags)) +
             WindowText(window));
    window_ = window;
    return DD_OK;
  }

 private:
  HWND window_ = nullptr;
};

class RecordingSurface final : public IDirectDrawSurface, public Tracked {
 public:
  RecordingSurface(RecordingCard& card, std::string name) : Tracked(card, std::move(name)) {}
  bool lost = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    return Unused("Surface.QueryInterface");
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override {
    return Unused("AddAttachedSurface");
  }
  HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override {
    return Unused("AddOverlayDirtyRect");
  }
  HRESULT STDMETHODCALLTYPE Blt(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                DWORD flags, LPDDBLTFX fx) override {
    if (fx) card.CheckSize("DDBLTFX", fx->dwSize, sizeof(DDBLTFX));
    card.Log(name + ".Blt dest=" + RectText(dest) + " src=" + (source ? "surface" : "null") + "," +
             RectText(sourceRect) + " flags=" + Hex(flags) +
             " fill=" + (fx ? Hex(fx->dwFillColor) : "null"));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override {
    return Unused("BltBatch");
  }
  HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
    return Unused("BltFast");
  }
  HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
    return Unused("DeleteAttachedSurface");
  }
  HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return Unused("EnumAttachedSurfaces");
  }
  HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return Unused("EnumOverlayZOrders");
  }
  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override {
    return Unused("Surface.Flip");
  }
  HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override {
    return Unused("GetAttachedSurface");
  }
  HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return Unused("GetBltStatus"); }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS) override { return Unused("Surface.GetCaps"); }
  HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override {
    return Unused("GetClipper");
  }
  HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override {
    return Unused("GetColorKey");
  }
  HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return Unused("GetDC"); }
  HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return Unused("GetFlipStatus"); }
  HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override {
    return Unused("GetOverlayPosition");
  }
  HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override {
    return Unused("GetPalette");
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT) override {
    return Unused("GetPixelFormat");
  }
  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    card.Log(name + ".GetSurfaceDesc");
    card.CheckSize("DDSURFACEDESC", desc->dwSize, sizeof(DDSURFACEDESC));
    const RecordingCard::Config& c = card.config;
    if (name != "Primary" || FAILED(c.primaryDescResult)) return c.primaryDescResult;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc->dwWidth = c.screenWidth;
    desc->dwHeight = c.screenHeight;
    desc->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (c.primaryHasFormat) {
      desc->dwFlags |= DDSD_PIXELFORMAT;
      desc->ddpfPixelFormat = c.primaryFormat;
    }
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override {
    return Unused("Surface.Initialize");
  }
  HRESULT STDMETHODCALLTYPE IsLost() override {
    card.Log(name + ".IsLost");
    return lost ? DDERR_SURFACELOST : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Lock(LPRECT, LPDDSURFACEDESC, DWORD, HANDLE) override {
    return Unused("Lock");
  }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return Unused("ReleaseDC"); }
  HRESULT STDMETHODCALLTYPE Restore() override { return Unused("Restore"); }
  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
    card.Log(name + ".SetClipper " +
             (clipper && clipper == card.clipperObject ? "clipper" : "other"));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
    card.Log(name + ".SetColorKey flags=" + Hex(flags) + " low=" + Hex(key->dwColorSpaceLowValue) +
             " high=" + Hex(key->dwColorSpaceHighValue));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override {
    return Unused("SetOverlayPosition");
  }
  HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override {
    return Unused("SetPalette");
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override { return Unused("Unlock"); }
  HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT source, LPDIRECTDRAWSURFACE destSurface,
                                          LPRECT dest, DWORD flags, LPDDOVERLAYFX fx) override {
    const auto* target = dynamic_cast<RecordingSurface*>(destSurface);
    card.Log(name + ".UpdateOverlay src=" + RectText(source) +
             " to=" + (target ? target->name : std::string("null")) + " dest=" + RectText(dest) +
             " flags=" + Hex(flags) + (fx ? " fx" : ""));
    if (flags & DDOVER_HIDE) return DD_OK;
    if (card.config.updateOverlay && source && dest)
      return card.config.updateOverlay(*source, *dest, flags);
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override {
    return Unused("UpdateOverlayDisplay");
  }
  HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
    return Unused("UpdateOverlayZOrder");
  }
};

class RecordingVideoPort final : public IDirectDrawVideoPort, public Tracked {
 public:
  explicit RecordingVideoPort(RecordingCard& card) : Tracked(card, "Port") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    return Unused("Port.QueryInterface");
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override {
    return Unused("Port.Flip");
  }
  HRESULT STDMETHODCALLTYPE GetBandwidthInfo(LPDDPIXELFORMAT format, DWORD width, DWORD height,
                                             DWORD flags, LPDDVIDEOPORTBANDWIDTH out) override {
    card.CheckSize("DDVIDEOPORTBANDWIDTH", out->dwSize, sizeof(DDVIDEOPORTBANDWIDTH));
    card.Log(Format("Port.GetBandwidthInfo pf=%s w=%lu h=%lu flags=", FormatText(*format).c_str(),
                    static_cast<unsigned long>(width), static_cast<unsigned long>(height)) +
             Hex(flags));
    const RecordingCard::Config& c = card.config;
    if (flags & DDVPB_TYPE) {
      out->dwCaps = c.bandwidthType;
      return DD_OK;
    }
    out->dwColorkey = c.colorkey;
    out->dwYInterpolate = c.yInterpolate;
    out->dwYInterpAndColorkey = c.yInterpAndColorkey;
    return c.bandwidthResult;
  }
  HRESULT STDMETHODCALLTYPE GetColorControls(void*) override { return Unused("GetColorControls"); }
  HRESULT STDMETHODCALLTYPE GetInputFormats(LPDWORD, LPDDPIXELFORMAT, DWORD) override {
    return Unused("GetInputFormats");
  }
  HRESULT STDMETHODCALLTYPE GetOutputFormats(LPDDPIXELFORMAT input, LPDWORD count,
                                             LPDDPIXELFORMAT formats, DWORD flags) override {
    card.CheckSize("input DDPIXELFORMAT", input->dwSize, 32);
    const RecordingCard::Config& c = card.config;
    if (!formats) {
      card.Log("Port.GetOutputFormats in=" + FormatText(*input) + " flags=" + Hex(flags) +
               " list=null");
      *count = static_cast<DWORD>(c.outputFormats.size());
      return c.outputCountResult;
    }
    card.Log("Port.GetOutputFormats in=" + FormatText(*input) + " flags=" + Hex(flags) +
             Format(" n=%lu list", static_cast<unsigned long>(*count)));
    for (DWORD i = 0; i < *count && i < c.outputFormats.size(); ++i)
      formats[i] = c.outputFormats[i];
    return c.outputFillResult;
  }
  HRESULT STDMETHODCALLTYPE GetFieldPolarity(LPBOOL) override { return Unused("GetFieldPolarity"); }
  HRESULT STDMETHODCALLTYPE GetVideoLine(LPDWORD) override { return Unused("GetVideoLine"); }
  HRESULT STDMETHODCALLTYPE GetVideoSignalStatus(LPDWORD) override {
    return Unused("GetVideoSignalStatus");
  }
  HRESULT STDMETHODCALLTYPE SetColorControls(void*) override { return Unused("SetColorControls"); }
  HRESULT STDMETHODCALLTYPE SetTargetSurface(LPDIRECTDRAWSURFACE surface, DWORD flags) override {
    const auto* target = dynamic_cast<RecordingSurface*>(surface);
    card.Log("Port.SetTargetSurface " + (target ? target->name : std::string("null")) +
             " flags=" + Hex(flags));
    return card.config.targetResult;
  }
  HRESULT STDMETHODCALLTYPE StartVideo(LPDDVIDEOPORTINFO info) override {
    card.Log("Port.StartVideo " + InfoText(*info));
    return card.config.startVideo ? card.config.startVideo(*info) : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE StopVideo() override { return Unused("StopVideo"); }
  HRESULT STDMETHODCALLTYPE UpdateVideo(LPDDVIDEOPORTINFO info) override {
    card.Log("Port.UpdateVideo " + InfoText(*info));
    return card.config.updateVideo ? card.config.updateVideo(*info) : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE WaitForSync(DWORD, DWORD, DWORD) override {
    return Unused("WaitForSync");
  }

 private:
  std::string InfoText(const DDVIDEOPORTINFO& info) {
    card.CheckSize("DDVIDEOPORTINFO", info.dwSize, sizeof(DDVIDEOPORTINFO));
    if (info.lpddpfInputFormat != &Display.InputFormat) card.Unexpected("input format not ours");
    const RECT& crop = info.rCrop;
    return "flags=" + Hex(info.dwVPFlags) +
           Format(" origin=%lu,%lu prescale=%lux%lu in=%s vbi=%lu%s%s",
                  static_cast<unsigned long>(info.dwOriginX),
                  static_cast<unsigned long>(info.dwOriginY),
                  static_cast<unsigned long>(info.dwPrescaleWidth),
                  static_cast<unsigned long>(info.dwPrescaleHeight),
                  info.lpddpfInputFormat ? FormatText(*info.lpddpfInputFormat).c_str() : "null",
                  static_cast<unsigned long>(info.dwVBIHeight),
                  info.lpddpfVBIInputFormat || info.lpddpfVBIOutputFormat ? " vbiformats" : "",
                  crop.left || crop.top || crop.right || crop.bottom ? " crop" : "");
  }
};

class RecordingContainer final : public IDDVideoPortContainer, public Tracked {
 public:
  explicit RecordingContainer(RecordingCard& card) : Tracked(card, "Container") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    return Unused("Container.QueryInterface");
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE CreateVideoPort(DWORD flags, LPDDVIDEOPORTDESC desc,
                                            LPDIRECTDRAWVIDEOPORT* port, IUnknown* outer) override {
    card.CheckSize("DDVIDEOPORTDESC", desc->dwSize, sizeof(DDVIDEOPORTDESC));
    card.CheckSize("DDVIDEOPORTCONNECT", desc->VideoPortType.dwSize, sizeof(DDVIDEOPORTCONNECT));
    const DDVIDEOPORTCONNECT& t = desc->VideoPortType;
    card.Log(Format("Container.CreateVideoPort flags=%lu field=%lux%lu vbi=%lu us=%lu pps=%lu "
                    "id=%lu type=%lu/%s/",
                    static_cast<unsigned long>(flags),
                    static_cast<unsigned long>(desc->dwFieldWidth),
                    static_cast<unsigned long>(desc->dwFieldHeight),
                    static_cast<unsigned long>(desc->dwVBIWidth),
                    static_cast<unsigned long>(desc->dwMicrosecondsPerField),
                    static_cast<unsigned long>(desc->dwMaxPixelsPerSecond),
                    static_cast<unsigned long>(desc->dwVideoPortID),
                    static_cast<unsigned long>(t.dwPortWidth),
                    IsEqualGUID(t.guidTypeID, DDVPTYPE_CCIR656) ? "CCIR656" : "other") +
             Hex(t.dwFlags) + (outer ? " outer" : ""));
    *port = nullptr;
    if (FAILED(card.config.createPortResult)) return card.config.createPortResult;
    *port = card.Make<RecordingVideoPort>();
    return card.config.createPortResult;
  }
  HRESULT STDMETHODCALLTYPE EnumVideoPorts(DWORD flags, LPDDVIDEOPORTCAPS wanted, LPVOID context,
                                           LPDDENUMVIDEOCALLBACK callback) override {
    card.CheckSize("DDVIDEOPORTCAPS", wanted->dwSize, 72);
    card.Log(Format("Container.EnumVideoPorts flags=%lu id=%lu context=%s",
                    static_cast<unsigned long>(flags),
                    static_cast<unsigned long>(wanted->dwVideoPortID), context ? "set" : "null"));
    for (DDVIDEOPORTCAPS caps : card.config.ports) {
      if (callback(&caps, context) != DDENUMRET_OK) break;
    }
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVideoPortConnectInfo(DWORD portId, LPDWORD count,
                                                    LPDDVIDEOPORTCONNECT list) override {
    const RecordingCard::Config& c = card.config;
    if (!list) {
      card.Log(Format("Container.GetVideoPortConnectInfo port=%lu list=null",
                      static_cast<unsigned long>(portId)));
      *count = static_cast<DWORD>(c.connections.size());
      return c.connectResult;
    }
    card.Log(Format("Container.GetVideoPortConnectInfo port=%lu n=%lu list",
                    static_cast<unsigned long>(portId), static_cast<unsigned long>(*count)));
    for (DWORD i = 0; i < *count && i < c.connections.size(); ++i) list[i] = c.connections[i];
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryVideoPortStatus(DWORD, LPDDVIDEOPORTSTATUS) override {
    return Unused("QueryVideoPortStatus");
  }
};

class RecordingDirectDraw final : public IDirectDraw, public Tracked {
 public:
  explicit RecordingDirectDraw(RecordingCard& card) : Tracked(card, "DirectDraw") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IDDVideoPortContainer)) {
      card.Log("DD.QueryInterface other");
      return E_NOINTERFACE;
    }
    card.Log("DD.QueryInterface container");
    if (!card.config.container) return E_NOINTERFACE;
    *out = static_cast<IDDVideoPortContainer*>(card.Make<RecordingContainer>());
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE Compact() override { return Unused("Compact"); }
  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override {
    return Unused("DD.CreateClipper");
  }
  HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                                          IUnknown*) override {
    return Unused("CreatePalette");
  }
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                          IUnknown* outer) override {
    card.CheckSize("DDSURFACEDESC", desc->dwSize, sizeof(DDSURFACEDESC));
    const bool hasFormat = desc->dwFlags & DDSD_PIXELFORMAT;
    card.Log("DD.CreateSurface flags=" + Hex(desc->dwFlags) + " caps=" + Hex(desc->ddsCaps.dwCaps) +
             Format(" w=%lu h=%lu back=%lu pf=", static_cast<unsigned long>(desc->dwWidth),
                    static_cast<unsigned long>(desc->dwHeight),
                    static_cast<unsigned long>(desc->dwBackBufferCount)) +
             (hasFormat ? FormatText(desc->ddpfPixelFormat) : "-") + (outer ? " outer" : ""));
    *surface = nullptr;
    const RecordingCard::Config& c = card.config;
    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
      if (FAILED(c.primaryResult)) return c.primaryResult;
      *surface = card.Make<RecordingSurface>("Primary");
      return DD_OK;
    }
    const HRESULT hr = c.overlayCreate ? c.overlayCreate(*desc) : DD_OK;
    if (FAILED(hr)) return hr;
    *surface = card.overlayObject = card.Make<RecordingSurface>("Overlay");
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
    return Unused("DuplicateSurface");
  }
  HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                             LPDDENUMMODESCALLBACK) override {
    return Unused("EnumDisplayModes");
  }
  HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                         LPDDENUMSURFACESCALLBACK) override {
    return Unused("EnumSurfaces");
  }
  HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return Unused("FlipToGDISurface"); }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS caps, LPDDCAPS hel) override {
    card.Log(std::string("DD.GetCaps hel=") + (hel ? "set" : "null"));
    card.CheckSize("DDCAPS", caps->dwSize, 380);
    const RecordingCard::Config& c = card.config;
    caps->dwCaps = c.caps;
    caps->dwCaps2 = c.caps2;
    caps->dwAlignBoundarySrc = c.alignBoundarySrc;
    caps->dwAlignSizeSrc = c.alignSizeSrc;
    caps->dwAlignBoundaryDest = c.alignBoundaryDest;
    caps->dwAlignSizeDest = c.alignSizeDest;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override {
    return Unused("GetDisplayMode");
  }
  HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override {
    return Unused("GetFourCCCodes");
  }
  HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override {
    return Unused("GetGDISurface");
  }
  HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override {
    return Unused("GetMonitorFrequency");
  }
  HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return Unused("GetScanLine"); }
  HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override {
    return Unused("GetVerticalBlankStatus");
  }
  HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return Unused("DD.Initialize"); }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return Unused("RestoreDisplayMode"); }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    card.Log("DD.SetCooperativeLevel hwnd=" + WindowText(window) + " flags=" + Hex(flags));
    return card.config.cooperativeResult;
  }
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override {
    return Unused("SetDisplayMode");
  }
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override {
    return Unused("WaitForVerticalBlank");
  }
};

}  // namespace

HRESULT RecordingCard::CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) {
  Log(std::string("DirectDrawCreate driver=") + (driver ? "set" : "null"));
  if (FAILED(config.createResult)) return config.createResult;
  *object = Make<RecordingDirectDraw>();
  return DD_OK;
}

HRESULT RecordingCard::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) {
  Log(Format("DirectDrawCreateClipper flags=%lu", static_cast<unsigned long>(flags)));
  if (!config.clipper) return DDERR_NOCLIPPERATTACHED;
  *clipper = clipperObject = Make<RecordingClipper>();
  return DD_OK;
}

void RecordingCard::LoseSurfaces() {
  for (const auto& o : objects_) {
    if (auto* surface = dynamic_cast<RecordingSurface*>(o.get())) surface->lost = true;
  }
}

}  // namespace display_test
