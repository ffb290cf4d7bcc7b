// The display chain and overlay placement against a recording card: every call the
// display code makes, in order and with its arguments, the decisions it takes on the
// card's answers, and every message it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/VideoWindow.h"
#include "display/DisplayChain.h"
#include "display/OverlayPlacement.h"
#include "hw/Audio.h"
#include "hw/PortIo.h"
#include "shared/Settings.h"
#include "sim/SimBoard.h"
#include "sim/SimClock.h"
#include "win32/Recorders.h"

namespace {

// ---------------------------------------------------------------------------
// Formatting for the call log.

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
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

DDPIXELFORMAT Uyvy(DWORD marker = 0) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = kFourccUyvy;
  f.dwYUVBitCount = 16;
  f.dwYBitMask = marker;  // tells entries of the same format apart
  return f;
}

DDPIXELFORMAT Yuy2(DWORD marker = 0) {
  DDPIXELFORMAT f = Uyvy(marker);
  f.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
  return f;
}

DDPIXELFORMAT Rgb(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD extra = 0) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_RGB | extra;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = red;
  f.dwGBitMask = green;
  f.dwBBitMask = blue;
  return f;
}

// ---------------------------------------------------------------------------
// The recording card.

class FakeCard;

// Every fake object: a name for the log and a reference count the card can audit.
struct Tracked {
  Tracked(FakeCard& card, std::string name) : card(card), name(std::move(name)) {}
  virtual ~Tracked() = default;
  FakeCard& card;
  std::string name;
  ULONG refs = 1;
};

#define FAKE_UNUSED(call)     \
  {                           \
    Unexpected(#call);        \
    return DDERR_UNSUPPORTED; \
  }

class FakeCard final : public DirectDrawProvider {
 public:
  // What the card answers; tests change it before (or between) the calls.
  struct Config {
    HRESULT createResult = DD_OK;
    DWORD caps = DDCAPS_OVERLAY;
    DWORD caps2 = DDCAPS2_VIDEOPORT;
    DWORD alignBoundarySrc = 0, alignSizeSrc = 0, alignBoundaryDest = 0, alignSizeDest = 0;
    bool container = true;
    bool clipper = true;
    std::vector<DDVIDEOPORTCAPS> ports;
    HRESULT connectResult = DD_OK;
    std::vector<DDVIDEOPORTCONNECT> connections;
    HRESULT createPortResult = DD_OK;
    HRESULT outputCountResult = DD_OK;
    HRESULT outputFillResult = DD_OK;
    std::vector<DDPIXELFORMAT> outputFormats = {Uyvy()};
    HRESULT cooperativeResult = DD_OK;
    HRESULT primaryResult = DD_OK;
    HRESULT primaryDescResult = DD_OK;
    DWORD screenWidth = 800, screenHeight = 600;
    bool primaryHasFormat = true;
    DDPIXELFORMAT primaryFormat = Rgb(16, 0xF800, 0x07E0, 0x001F);
    std::function<HRESULT(const DDSURFACEDESC&)> overlayCreate;
    DWORD bandwidthType = DDVPBCAPS_DESTINATION;
    DWORD yInterpAndColorkey = 1000, yInterpolate = 2000, colorkey = 3000;
    HRESULT bandwidthResult = DD_OK;
    HRESULT targetResult = DD_OK;
    std::function<HRESULT(const DDVIDEOPORTINFO&)> startVideo, updateVideo;
    std::function<HRESULT(const RECT& source, const RECT& dest, DWORD flags)> updateOverlay;
    std::optional<std::vector<RECT>> clipRects;  // else the client area of the clipper's window
  };
  Config config;

  FakeCard() {
    DDVIDEOPORTCAPS port = {};
    port.dwSize = sizeof(port);
    port.dwCaps = DDVPCAPS_AUTOFLIP | DDVPCAPS_INTERLACED;
    port.dwMaxWidth = 720;
    config.ports = {port};
    DDVIDEOPORTCONNECT connect = {};
    connect.dwSize = sizeof(connect);
    connect.dwPortWidth = 8;
    connect.guidTypeID = DDVPTYPE_CCIR656;
    connect.dwFlags = DDVPCONNECT_INTERLACED;
    config.connections = {connect};
    config.caps |= DDCAPS_OVERLAYSTRETCH;
  }

  HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) override;

  void Log(std::string line) { calls_.push_back(std::move(line)); }
  void Unexpected(const char* call) { problems_.push_back(std::string("unexpected ") + call); }
  void CheckSize(const char* what, DWORD size, size_t expected) {
    if (size != expected)
      problems_.push_back(Format("%s dwSize %lu, not %lu", what, static_cast<unsigned long>(size),
                                 static_cast<unsigned long>(expected)));
  }

  const std::vector<std::string>& Calls() const { return calls_; }
  // The calls whose text starts with one of the prefixes, in order.
  std::vector<std::string> Calls(std::initializer_list<const char*> prefixes) const {
    std::vector<std::string> out;
    for (const std::string& c : calls_) {
      for (const char* p : prefixes) {
        if (c.rfind(p, 0) == 0) {
          out.push_back(c);
          break;
        }
      }
    }
    return out;
  }
  void ClearCalls() { calls_.clear(); }
  const std::vector<std::string>& Problems() const { return problems_; }

  // References the display code still holds.
  ULONG LiveReferences() const {
    ULONG n = 0;
    for (const auto& o : objects_) n += o->refs;
    return n;
  }
  // Every surface made so far reports itself lost, as after a display-mode change.
  void LoseSurfaces();

  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto object = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = object.get();
    objects_.push_back(std::move(object));
    return raw;
  }

  IDirectDrawClipper* clipperObject = nullptr;
  IDirectDrawSurface* overlayObject = nullptr;

 private:
  std::vector<std::string> calls_;
  std::vector<std::string> problems_;
  std::vector<std::unique_ptr<Tracked>> objects_;
};

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

class FakeClipper final : public IDirectDrawClipper, public Tracked {
 public:
  explicit FakeClipper(FakeCard& card) : Tracked(card, "Clipper") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override
      FAKE_UNUSED(Clipper.QueryInterface) ULONG STDMETHODCALLTYPE AddRef() override {
    return ++refs;
  }
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
  HRESULT STDMETHODCALLTYPE GetHWnd(HWND*) override
      FAKE_UNUSED(Clipper.GetHWnd) HRESULT STDMETHODCALLTYPE
      Initialize(LPDIRECTDRAW, DWORD) override
      FAKE_UNUSED(Clipper.Initialize) HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL*) override
      FAKE_UNUSED(Clipper.IsClipListChanged) HRESULT STDMETHODCALLTYPE
      SetClipList(LPRGNDATA, DWORD) override
      FAKE_UNUSED(Clipper.SetClipList) HRESULT STDMETHODCALLTYPE
      SetHWnd(DWORD flags, HWND window) override {
    card.Log(Format("Clipper.SetHWnd flags=%lu hwnd=", static_cast<unsigned long>(flags)) +
             WindowText(window));
    window_ = window;
    return DD_OK;
  }

 private:
  void Unexpected(const char* call) { card.Unexpected(call); }
  HWND window_ = nullptr;
};

class FakeSurface final : public IDirectDrawSurface, public Tracked {
 public:
  FakeSurface(FakeCard& card, std::string name) : Tracked(card, std::move(name)) {}
  bool lost = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override
      FAKE_UNUSED(Surface.QueryInterface) ULONG STDMETHODCALLTYPE AddRef() override {
    return ++refs;
  }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override
      FAKE_UNUSED(AddAttachedSurface) HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override
      FAKE_UNUSED(AddOverlayDirtyRect) HRESULT STDMETHODCALLTYPE
      Blt(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
          LPDDBLTFX fx) override {
    if (fx) card.CheckSize("DDBLTFX", fx->dwSize, sizeof(DDBLTFX));
    card.Log(name + ".Blt dest=" + RectText(dest) + " src=" + (source ? "surface" : "null") + "," +
             RectText(sourceRect) + " flags=" + Hex(flags) +
             " fill=" + (fx ? Hex(fx->dwFillColor) : "null"));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override
      FAKE_UNUSED(BltBatch) HRESULT STDMETHODCALLTYPE
      BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override
      FAKE_UNUSED(BltFast) HRESULT STDMETHODCALLTYPE
      DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override
      FAKE_UNUSED(DeleteAttachedSurface) HRESULT STDMETHODCALLTYPE
      EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override
      FAKE_UNUSED(EnumAttachedSurfaces) HRESULT STDMETHODCALLTYPE
      EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override
      FAKE_UNUSED(EnumOverlayZOrders) HRESULT STDMETHODCALLTYPE
      Flip(LPDIRECTDRAWSURFACE, DWORD) override FAKE_UNUSED(Surface.Flip) HRESULT STDMETHODCALLTYPE
      GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override
      FAKE_UNUSED(GetAttachedSurface) HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override
      FAKE_UNUSED(GetBltStatus) HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS) override
      FAKE_UNUSED(Surface.GetCaps) HRESULT STDMETHODCALLTYPE
      GetClipper(LPDIRECTDRAWCLIPPER*) override FAKE_UNUSED(GetClipper) HRESULT STDMETHODCALLTYPE
      GetColorKey(DWORD, LPDDCOLORKEY) override FAKE_UNUSED(GetColorKey) HRESULT STDMETHODCALLTYPE
      GetDC(HDC*) override FAKE_UNUSED(GetDC) HRESULT STDMETHODCALLTYPE
      GetFlipStatus(DWORD) override FAKE_UNUSED(GetFlipStatus) HRESULT STDMETHODCALLTYPE
      GetOverlayPosition(LPLONG, LPLONG) override
      FAKE_UNUSED(GetOverlayPosition) HRESULT STDMETHODCALLTYPE
      GetPalette(LPDIRECTDRAWPALETTE*) override FAKE_UNUSED(GetPalette) HRESULT STDMETHODCALLTYPE
      GetPixelFormat(LPDDPIXELFORMAT) override FAKE_UNUSED(GetPixelFormat) HRESULT STDMETHODCALLTYPE
      GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    card.Log(name + ".GetSurfaceDesc");
    card.CheckSize("DDSURFACEDESC", desc->dwSize, sizeof(DDSURFACEDESC));
    const FakeCard::Config& c = card.config;
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
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override
      FAKE_UNUSED(Surface.Initialize) HRESULT STDMETHODCALLTYPE IsLost() override {
    card.Log(name + ".IsLost");
    return lost ? DDERR_SURFACELOST : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Lock(LPRECT, LPDDSURFACEDESC, DWORD, HANDLE) override
      FAKE_UNUSED(Lock) HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override
      FAKE_UNUSED(ReleaseDC) HRESULT STDMETHODCALLTYPE Restore() override
      FAKE_UNUSED(Restore) HRESULT STDMETHODCALLTYPE
      SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
    card.Log(name + ".SetClipper " +
             (clipper && clipper == card.clipperObject ? "clipper" : "other"));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override {
    card.Log(name + ".SetColorKey flags=" + Hex(flags) + " low=" + Hex(key->dwColorSpaceLowValue) +
             " high=" + Hex(key->dwColorSpaceHighValue));
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override
      FAKE_UNUSED(SetOverlayPosition) HRESULT STDMETHODCALLTYPE
      SetPalette(LPDIRECTDRAWPALETTE) override FAKE_UNUSED(SetPalette) HRESULT STDMETHODCALLTYPE
      Unlock(LPVOID) override FAKE_UNUSED(Unlock) HRESULT STDMETHODCALLTYPE
      UpdateOverlay(LPRECT source, LPDIRECTDRAWSURFACE destSurface, LPRECT dest, DWORD flags,
                    LPDDOVERLAYFX fx) override {
    const auto* target = dynamic_cast<FakeSurface*>(destSurface);
    card.Log(name + ".UpdateOverlay src=" + RectText(source) +
             " to=" + (target ? target->name : std::string("null")) + " dest=" + RectText(dest) +
             " flags=" + Hex(flags) + (fx ? " fx" : ""));
    if (flags & DDOVER_HIDE) return DD_OK;
    if (card.config.updateOverlay && source && dest)
      return card.config.updateOverlay(*source, *dest, flags);
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override
      FAKE_UNUSED(UpdateOverlayDisplay) HRESULT STDMETHODCALLTYPE
      UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override FAKE_UNUSED(UpdateOverlayZOrder)

          private : void Unexpected(const char* call) {
    card.Unexpected(call);
  }
};

class FakeVideoPort final : public IDirectDrawVideoPort, public Tracked {
 public:
  explicit FakeVideoPort(FakeCard& card) : Tracked(card, "Port") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override
      FAKE_UNUSED(Port.QueryInterface) ULONG STDMETHODCALLTYPE AddRef() override {
    return ++refs;
  }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override
      FAKE_UNUSED(Port.Flip) HRESULT STDMETHODCALLTYPE
      GetBandwidthInfo(LPDDPIXELFORMAT format, DWORD width, DWORD height, DWORD flags,
                       LPDDVIDEOPORTBANDWIDTH out) override {
    card.CheckSize("DDVIDEOPORTBANDWIDTH", out->dwSize, 32);
    card.Log(Format("Port.GetBandwidthInfo pf=%s w=%lu h=%lu flags=", FormatText(*format).c_str(),
                    static_cast<unsigned long>(width), static_cast<unsigned long>(height)) +
             Hex(flags));
    const FakeCard::Config& c = card.config;
    if (flags & DDVPB_TYPE) {
      out->dwCaps = c.bandwidthType;
      return DD_OK;
    }
    out->dwColorkey = c.colorkey;
    out->dwYInterpolate = c.yInterpolate;
    out->dwYInterpAndColorkey = c.yInterpAndColorkey;
    return c.bandwidthResult;
  }
  HRESULT STDMETHODCALLTYPE GetColorControls(void*) override
      FAKE_UNUSED(GetColorControls) HRESULT STDMETHODCALLTYPE
      GetInputFormats(LPDWORD, LPDDPIXELFORMAT, DWORD) override
      FAKE_UNUSED(GetInputFormats) HRESULT STDMETHODCALLTYPE
      GetOutputFormats(LPDDPIXELFORMAT input, LPDWORD count, LPDDPIXELFORMAT formats,
                       DWORD flags) override {
    card.CheckSize("input DDPIXELFORMAT", input->dwSize, 32);
    const FakeCard::Config& c = card.config;
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
  HRESULT STDMETHODCALLTYPE GetFieldPolarity(LPBOOL) override
      FAKE_UNUSED(GetFieldPolarity) HRESULT STDMETHODCALLTYPE GetVideoLine(LPDWORD) override
      FAKE_UNUSED(GetVideoLine) HRESULT STDMETHODCALLTYPE GetVideoSignalStatus(LPDWORD) override
      FAKE_UNUSED(GetVideoSignalStatus) HRESULT STDMETHODCALLTYPE SetColorControls(void*) override
      FAKE_UNUSED(SetColorControls) HRESULT STDMETHODCALLTYPE
      SetTargetSurface(LPDIRECTDRAWSURFACE surface, DWORD flags) override {
    const auto* target = dynamic_cast<FakeSurface*>(surface);
    card.Log("Port.SetTargetSurface " + (target ? target->name : std::string("null")) +
             " flags=" + Hex(flags));
    return card.config.targetResult;
  }
  HRESULT STDMETHODCALLTYPE StartVideo(LPDDVIDEOPORTINFO info) override {
    card.Log("Port.StartVideo " + InfoText(*info));
    return card.config.startVideo ? card.config.startVideo(*info) : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE StopVideo() override FAKE_UNUSED(StopVideo) HRESULT STDMETHODCALLTYPE
      UpdateVideo(LPDDVIDEOPORTINFO info) override {
    card.Log("Port.UpdateVideo " + InfoText(*info));
    return card.config.updateVideo ? card.config.updateVideo(*info) : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE WaitForSync(DWORD, DWORD, DWORD) override FAKE_UNUSED(WaitForSync)

      private : void Unexpected(const char* call) {
    card.Unexpected(call);
  }
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

class FakeContainer final : public IDDVideoPortContainer, public Tracked {
 public:
  explicit FakeContainer(FakeCard& card) : Tracked(card, "Container") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override
      FAKE_UNUSED(Container.QueryInterface) ULONG STDMETHODCALLTYPE AddRef() override {
    return ++refs;
  }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE CreateVideoPort(DWORD flags, LPDDVIDEOPORTDESC desc,
                                            LPDIRECTDRAWVIDEOPORT* port, IUnknown* outer) override {
    card.CheckSize("DDVIDEOPORTDESC", desc->dwSize, 72);
    card.CheckSize("DDVIDEOPORTCONNECT", desc->VideoPortType.dwSize, 32);
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
    *port = card.Make<FakeVideoPort>();
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
    const FakeCard::Config& c = card.config;
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
  HRESULT STDMETHODCALLTYPE QueryVideoPortStatus(DWORD, LPDDVIDEOPORTSTATUS) override
      FAKE_UNUSED(QueryVideoPortStatus)

          private : void Unexpected(const char* call) {
    card.Unexpected(call);
  }
};

class FakeDirectDraw final : public IDirectDraw, public Tracked {
 public:
  explicit FakeDirectDraw(FakeCard& card) : Tracked(card, "DirectDraw") {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IDDVideoPortContainer)) {
      card.Log("DD.QueryInterface other");
      return E_NOINTERFACE;
    }
    card.Log("DD.QueryInterface container");
    if (!card.config.container) return E_NOINTERFACE;
    *out = static_cast<IDDVideoPortContainer*>(card.Make<FakeContainer>());
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseTracked(*this); }

  HRESULT STDMETHODCALLTYPE Compact() override FAKE_UNUSED(Compact) HRESULT STDMETHODCALLTYPE
      CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override
      FAKE_UNUSED(DD.CreateClipper) HRESULT STDMETHODCALLTYPE
      CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override
      FAKE_UNUSED(CreatePalette) HRESULT STDMETHODCALLTYPE
      CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override {
    card.CheckSize("DDSURFACEDESC", desc->dwSize, sizeof(DDSURFACEDESC));
    const bool hasFormat = desc->dwFlags & DDSD_PIXELFORMAT;
    card.Log("DD.CreateSurface flags=" + Hex(desc->dwFlags) + " caps=" + Hex(desc->ddsCaps.dwCaps) +
             Format(" w=%lu h=%lu back=%lu pf=", static_cast<unsigned long>(desc->dwWidth),
                    static_cast<unsigned long>(desc->dwHeight),
                    static_cast<unsigned long>(desc->dwBackBufferCount)) +
             (hasFormat ? FormatText(desc->ddpfPixelFormat) : "-") + (outer ? " outer" : ""));
    *surface = nullptr;
    const FakeCard::Config& c = card.config;
    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
      if (FAILED(c.primaryResult)) return c.primaryResult;
      *surface = card.Make<FakeSurface>("Primary");
      return DD_OK;
    }
    const HRESULT hr = c.overlayCreate ? c.overlayCreate(*desc) : DD_OK;
    if (FAILED(hr)) return hr;
    *surface = card.overlayObject = card.Make<FakeSurface>("Overlay");
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override
      FAKE_UNUSED(DuplicateSurface) HRESULT STDMETHODCALLTYPE
      EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override
      FAKE_UNUSED(EnumDisplayModes) HRESULT STDMETHODCALLTYPE
      EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override
      FAKE_UNUSED(EnumSurfaces) HRESULT STDMETHODCALLTYPE FlipToGDISurface() override
      FAKE_UNUSED(FlipToGDISurface) HRESULT STDMETHODCALLTYPE
      GetCaps(LPDDCAPS caps, LPDDCAPS hel) override {
    card.Log(std::string("DD.GetCaps hel=") + (hel ? "set" : "null"));
    card.CheckSize("DDCAPS", caps->dwSize, 380);
    const FakeCard::Config& c = card.config;
    caps->dwCaps = c.caps;
    caps->dwCaps2 = c.caps2;
    caps->dwAlignBoundarySrc = c.alignBoundarySrc;
    caps->dwAlignSizeSrc = c.alignSizeSrc;
    caps->dwAlignBoundaryDest = c.alignBoundaryDest;
    caps->dwAlignSizeDest = c.alignSizeDest;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override
      FAKE_UNUSED(GetDisplayMode) HRESULT STDMETHODCALLTYPE
      GetFourCCCodes(LPDWORD, LPDWORD) override
      FAKE_UNUSED(GetFourCCCodes) HRESULT STDMETHODCALLTYPE
      GetGDISurface(LPDIRECTDRAWSURFACE*) override
      FAKE_UNUSED(GetGDISurface) HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override
      FAKE_UNUSED(GetMonitorFrequency) HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override
      FAKE_UNUSED(GetScanLine) HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override
      FAKE_UNUSED(GetVerticalBlankStatus) HRESULT STDMETHODCALLTYPE Initialize(GUID*) override
      FAKE_UNUSED(DD.Initialize) HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override
      FAKE_UNUSED(RestoreDisplayMode) HRESULT STDMETHODCALLTYPE
      SetCooperativeLevel(HWND window, DWORD flags) override {
    card.Log("DD.SetCooperativeLevel hwnd=" + WindowText(window) + " flags=" + Hex(flags));
    return card.config.cooperativeResult;
  }
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override
      FAKE_UNUSED(SetDisplayMode) HRESULT STDMETHODCALLTYPE
      WaitForVerticalBlank(DWORD, HANDLE) override FAKE_UNUSED(WaitForVerticalBlank)

          private : void Unexpected(const char* call) {
    card.Unexpected(call);
  }
};

HRESULT FakeCard::CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) {
  Log(std::string("DirectDrawCreate driver=") + (driver ? "set" : "null"));
  if (FAILED(config.createResult)) return config.createResult;
  *object = Make<FakeDirectDraw>();
  return DD_OK;
}

HRESULT FakeCard::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) {
  Log(Format("DirectDrawCreateClipper flags=%lu", static_cast<unsigned long>(flags)));
  if (!config.clipper) return DDERR_NOCLIPPERATTACHED;
  *clipper = clipperObject = Make<FakeClipper>();
  return DD_OK;
}

void FakeCard::LoseSurfaces() {
  for (const auto& o : objects_) {
    if (auto* surface = dynamic_cast<FakeSurface*>(o.get())) surface->lost = true;
  }
}

// The overlay of typical hardware stretches but cannot shrink.
HRESULT RefuseShrinking(const RECT& source, const RECT& dest, DWORD) {
  const bool shrinks = source.right - source.left > dest.right - dest.left ||
                       source.bottom - source.top > dest.bottom - dest.top;
  return shrinks ? DDERR_INVALIDPARAMS : DD_OK;
}

HRESULT RefuseKey(const RECT&, const RECT&, DWORD flags) {
  return (flags & DDOVER_KEYDEST) ? DDERR_NOCOLORKEYHW : DD_OK;
}

// ---------------------------------------------------------------------------
// The test window stands in for the video window: a bare popup whose client area is
// its whole rectangle.

int g_overlayTimerTicks = 0;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimerOverlay) {
    ++g_overlayTimerTicks;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The texts as the user reads them.
constexpr char kVideoPortText[] =
    "Your display device (or driver) does not support a video port.  A video port is required "
    "for this application to run.";
constexpr char kOverlayText[] =
    "Your display device (or driver) does not support an overlay. Hardware overlay support is "
    "required for this application to run.";
constexpr char kNoLiveVideoText[] =
    "Can't play live video. Please change to other display\nmodes or close other video players, "
    "then run again.";

constexpr char kTestWindowClass[] = "DisplayChainTestWindow";
constexpr int kWindowX = 100, kWindowY = 100;

bool QuitPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

const std::string kOverlayShowKeyed = "flags=" + Hex(DDOVER_SHOW | DDOVER_KEYDEST);
const std::string kOverlayShow = "flags=" + Hex(DDOVER_SHOW);
const std::string kOverlayHide =
    "Overlay.UpdateOverlay src=null to=Primary dest=null flags=" + Hex(DDOVER_HIDE);

std::string ShowCall(const char* source, const char* dest, const std::string& flags) {
  return std::string("Overlay.UpdateOverlay src=") + source + " to=Primary dest=" + dest + " " +
         flags;
}

class DisplayChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kTestWindowClass;
    RegisterClassA(&wc);
    RecordedMessages().clear();
    Display = DisplayState{};
    Placement = OverlayPlacementState{};
    ScreenRect = RECT{0, 0, 0, 0};
    VideoWindow = VideoWindowState{};
    Settings = SettingsData{};
    Settings.VideoStandard = 0;
    Settings.VideoConnector = 1002;
    window_ =
        CreateWindowExA(0, kTestWindowClass, "video", WS_POPUP | WS_VISIBLE, kWindowX, kWindowY,
                        352, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    VideoWindow.Window = window_;
    g_overlayTimerTicks = 0;
    FillVideoPortConfig();
    InstallDirectDrawProvider(&card_);
  }

  void TearDown() override {
    DisplayRelease();
    EXPECT_EQ(card_.LiveReferences(), 0u) << "the chain leaks references";
    EXPECT_EQ(card_.Problems(), std::vector<std::string>{});
    InstallDirectDrawProvider(nullptr);
    DestroyWindow(window_);
    QuitPosted();
    Display = DisplayState{};
    Placement = OverlayPlacementState{};
    VideoWindow = VideoWindowState{};
    RecordedMessages().clear();
  }

  // Start-up and message 1124, as the program runs them.
  void StartLive() {
    ASSERT_TRUE(DisplayCreate(true));
    StartLiveVideo(window_);
  }

  void MoveClient(int x, int y, int width, int height) {
    SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The last call starting with `prefix`, or nothing.
  std::string LastCall(const char* prefix) const {
    const std::vector<std::string> calls = card_.Calls({prefix});
    return calls.empty() ? std::string() : calls.back();
  }

  // Timer 1 ticks counted over a stretch of running the message loop.
  int TicksDuring(DWORD ms) {
    g_overlayTimerTicks = 0;
    Pump(ms);
    return g_overlayTimerTicks;
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : RecordedMessages()) {
      texts.push_back(Format("%s|%s|%s|",
                             m.owner == nullptr   ? "none"
                             : m.owner == window_ ? "video"
                                                  : "other",
                             m.caption.c_str(), m.text.c_str()) +
                      Hex(m.style));
    }
    return texts;
  }
  static std::string Box(const char* owner, const char* text, UINT style) {
    return Format("%s|Corvan Telvista|%s|", owner, text) + Hex(style);
  }

  FakeCard card_;
  HWND window_ = nullptr;
};

// ---------------------------------------------------------------------------
// DisplayCreate

TEST_F(DisplayChainTest, CreateAsksForEachObjectInOrder) {
  DDVIDEOPORTCAPS first = card_.config.ports[0], last = first;
  first.dwMaxWidth = 640;
  last.dwMaxWidth = 720;
  last.dwFX = DDVPFX_INTERLEAVE;
  card_.config.ports = {first, last};

  EXPECT_TRUE(DisplayCreate(true));
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "DirectDrawCreate driver=null",
                               "DD.GetCaps hel=null",
                               "DD.QueryInterface container",
                               "Container.EnumVideoPorts flags=0 id=0 context=null",
                               "DirectDrawCreateClipper flags=0",
                           }));
  EXPECT_TRUE(Messages().empty());
  // The last port enumerated is the one kept.
  EXPECT_EQ(Display.PortCaps.dwMaxWidth, 720u);
  EXPECT_EQ(Display.PortCaps.dwFX, static_cast<DWORD>(DDVPFX_INTERLEAVE));
  EXPECT_EQ(Display.PortCaps.dwSize, 72u);
  EXPECT_NE(Display.DirectDrawObject, nullptr);
  EXPECT_NE(Display.VideoPortContainer, nullptr);
  EXPECT_NE(Display.Clipper, nullptr);
}

TEST_F(DisplayChainTest, CreateFailuresEachShowTheirOneMessageOnlyWhenReporting) {
  struct Case {
    const char* name;
    std::function<void(FakeCard::Config&)> breakCard;
    const char* message;
    size_t callsBeforeFailure;
  };
  const std::vector<Case> cases = {
      {"no DirectDraw", [](FakeCard::Config& c) { c.createResult = DDERR_NODIRECTDRAWHW; },
       "Unable to create the DirectDraw object", 1},
      // A driver without a video port never gets as far as the overlay test.
      {"neither video port nor overlay",
       [](FakeCard::Config& c) {
         c.caps2 = 0;
         c.caps = 0;
       },
       kVideoPortText, 2},
      {"no overlay", [](FakeCard::Config& c) { c.caps = DDCAPS_OVERLAYSTRETCH; }, kOverlayText, 2},
      {"no container", [](FakeCard::Config& c) { c.container = false; },
       "Unable to create the VideoPort object", 3},
      {"no clipper", [](FakeCard::Config& c) { c.clipper = false; },
       "Unable to create the Clipper object", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool report : {true, false}) {
      card_.config = FakeCard().config;
      c.breakCard(card_.config);
      card_.ClearCalls();
      RecordedMessages().clear();
      EXPECT_FALSE(DisplayCreate(report));
      EXPECT_EQ(card_.Calls().size(), c.callsBeforeFailure);
      // Nothing is released on the way out: that is the caller's DisplayRelease.
      EXPECT_TRUE(card_.Calls({"Release"}).empty());
      if (report) {
        EXPECT_EQ(Messages(), std::vector<std::string>{Box("none", c.message, 0x30)});
      } else {
        EXPECT_TRUE(Messages().empty());
      }
      DisplayRelease();
    }
  }
}

TEST_F(DisplayChainTest, CreateWithoutAnyDirectDrawSaysSo) {
  InstallDirectDrawProvider(nullptr);
  EXPECT_FALSE(DisplayCreate(true));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{Box("none", "Unable to create the DirectDraw object", 0x30)});
}

// ---------------------------------------------------------------------------
// OpenVideoPort

TEST_F(DisplayChainTest, OpenVideoPortDescribesTheDecodersConnection) {
  DDVIDEOPORTCONNECT other = card_.config.connections[0];
  other.dwPortWidth = 16;
  other.guidTypeID = GUID{};
  card_.config.connections = {other, card_.config.connections[0], other};
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();

  EXPECT_TRUE(OpenVideoPort());
  EXPECT_EQ(card_.Calls(),
            (std::vector<std::string>{
                "Container.GetVideoPortConnectInfo port=0 list=null",
                "Container.GetVideoPortConnectInfo port=0 n=3 list",
                "Container.CreateVideoPort flags=0 field=720x251 vbi=720 us=1 pps=1 id=0 "
                "type=8/CCIR656/" +
                    Hex(DDVPCONNECT_INTERLACED),
            }));
  EXPECT_NE(Display.VideoPort, nullptr);

  // A 288-line standard describes 288-line fields.
  DisplayRelease();
  Settings.VideoStandard = 5;
  FillVideoPortConfig();
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();
  EXPECT_TRUE(OpenVideoPort());
  EXPECT_NE(LastCall("").find("field=720x288 "), std::string::npos) << LastCall("");
}

TEST_F(DisplayChainTest, OpenVideoPortNeedsACompatibleConnection) {
  DDVIDEOPORTCONNECT widthOnly = card_.config.connections[0];
  widthOnly.guidTypeID = GUID{};
  DDVIDEOPORTCONNECT typeOnly = card_.config.connections[0];
  typeOnly.dwPortWidth = 16;
  DDVIDEOPORTCONNECT neither = typeOnly;
  neither.guidTypeID = GUID{};

  struct Case {
    const char* name;
    std::vector<DDVIDEOPORTCONNECT> connections;
    HRESULT countResult;
    HRESULT createResult;
    bool opens;
    bool triesToCreate;
  };
  const std::vector<Case> cases = {
      {"8-bit width alone", {neither, widthOnly}, DD_OK, DD_OK, true, true},
      {"CCIR 656 type alone", {typeOnly}, DD_OK, DD_OK, true, true},
      {"no compatible entry", {neither, neither}, DD_OK, DD_OK, false, false},
      {"no entries", {}, DD_OK, DD_OK, false, false},
      {"count fails", {widthOnly}, DDERR_GENERIC, DD_OK, false, false},
      {"port refused", {widthOnly}, DD_OK, DDERR_CURRENTLYNOTAVAIL, false, true},
      // Only DD_OK counts as created.
      {"port with a warning", {widthOnly}, DD_OK, S_FALSE, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config.connections = c.connections;
    card_.config.connectResult = c.countResult;
    card_.config.createPortResult = c.createResult;
    ASSERT_TRUE(DisplayCreate(true));
    card_.ClearCalls();
    EXPECT_EQ(OpenVideoPort(), c.opens);
    EXPECT_EQ(card_.Calls({"Container.CreateVideoPort"}).size(), c.triesToCreate ? 1u : 0u);
    EXPECT_EQ(card_.Calls({"Container.GetVideoPortConnectInfo"}).size(),
              c.connections.empty() || FAILED(c.countResult) ? 1u : 2u);
    DisplayRelease();
  }
}

// ---------------------------------------------------------------------------
// ChooseOutputFormat, CreateSurfaces, SetOverlayColorKey

class DisplayChainFormatTest : public DisplayChainTest {
 protected:
  void SetUp() override {
    DisplayChainTest::SetUp();
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    ASSERT_TRUE(ChooseOutputFormat());
    card_.ClearCalls();
  }
};

TEST_F(DisplayChainFormatTest, TheLastUyvyEntryWins) {
  card_.config.outputFormats = {Uyvy(1), Yuy2(2), Uyvy(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "Port.GetOutputFormats in=UYVY/16 flags=0x1 list=null",
                               "Port.GetOutputFormats in=UYVY/16 flags=0x1 n=3 list",
                           }));
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 3u);
  EXPECT_EQ(Display.InputFormat.dwFlags, static_cast<DWORD>(DDPF_FOURCC));
  EXPECT_EQ(Display.InputFormat.dwFourCC, kFourccUyvy);

  card_.config.outputFormats = {Yuy2(1), Uyvy(2), Yuy2(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 2u);

  // Without a UYVY entry, the first; with one entry, that one whatever it is.
  card_.config.outputFormats = {Yuy2(1), Rgb(16, 0xF800, 0x07E0, 0x1F), Yuy2(3)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwYBitMask, 1u);
  card_.config.outputFormats = {Rgb(32, 0xFF0000, 0xFF00, 0xFF)};
  EXPECT_TRUE(ChooseOutputFormat());
  EXPECT_EQ(Display.OutputFormat.dwRGBBitCount, 32u);
}

TEST_F(DisplayChainFormatTest, NoFormatsNoOutput) {
  card_.config.outputFormats = {};
  EXPECT_FALSE(ChooseOutputFormat());
  card_.config.outputFormats = {Uyvy()};
  card_.config.outputCountResult = DDERR_INVALIDPARAMS;
  EXPECT_FALSE(ChooseOutputFormat());
  card_.config.outputCountResult = DD_OK;
  card_.config.outputFillResult = DDERR_INVALIDPARAMS;
  EXPECT_FALSE(ChooseOutputFormat());
  EXPECT_EQ(card_.Calls().size(), 4u);  // one count each, one fill
}

TEST_F(DisplayChainFormatTest, InterleavingPortGetsAFrameHighOverlayThenOneLineMore) {
  Settings.VideoStandard = 3;
  FillVideoPortConfig();
  Display.PortCaps.dwFX |= DDVPFX_INTERLEAVE;
  card_.config.overlayCreate = [](const DDSURFACEDESC& d) {
    return d.dwHeight == 576 ? DDERR_OUTOFVIDEOMEMORY : DD_OK;
  };
  ASSERT_TRUE(ChooseOutputFormat());
  card_.ClearCalls();

  EXPECT_TRUE(CreateSurfaces());
  const DWORD primaryFlags = DDSD_CAPS;
  const DWORD overlayFlags =
      DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_BACKBUFFERCOUNT;
  const DWORD overlayCaps =
      DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_VIDEOPORT | DDSCAPS_COMPLEX | DDSCAPS_FLIP;
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "DD.SetCooperativeLevel hwnd=null flags=" + Hex(DDSCL_NORMAL),
                               "DD.CreateSurface flags=" + Hex(primaryFlags) +
                                   " caps=" + Hex(DDSCAPS_PRIMARYSURFACE) + " w=0 h=0 back=0 pf=-",
                               "Primary.GetSurfaceDesc",
                               "DD.CreateSurface flags=" + Hex(overlayFlags) +
                                   " caps=" + Hex(overlayCaps) + " w=720 h=576 back=1 pf=UYVY/16",
                               "DD.CreateSurface flags=" + Hex(overlayFlags) +
                                   " caps=" + Hex(overlayCaps) + " w=720 h=289 back=1 pf=UYVY/16",
                           }));
  EXPECT_EQ(Display.OverlayBuffers, 2);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  // The screen is measured from the primary surface, not from the window system.
  EXPECT_EQ(ScreenRect.right, 800);
  EXPECT_EQ(ScreenRect.bottom, 600);
}

TEST_F(DisplayChainFormatTest, OverlaySurfaceFailures) {
  struct Case {
    const char* name;
    std::function<void(FakeCard::Config&)> breakCard;
    DWORD portCaps;
    size_t overlayAttempts;
  };
  const std::vector<Case> cases = {
      {"no autoflip", [](FakeCard::Config&) {}, DDVPCAPS_INTERLACED, 0},
      {"both sizes refused",
       [](FakeCard::Config& c) {
         c.overlayCreate = [](const DDSURFACEDESC&) { return DDERR_OUTOFVIDEOMEMORY; };
       },
       DDVPCAPS_AUTOFLIP, 2},
      {"cooperative level refused",
       [](FakeCard::Config& c) { c.cooperativeResult = DDERR_EXCLUSIVEMODEALREADYSET; },
       DDVPCAPS_AUTOFLIP, 0},
      {"no primary", [](FakeCard::Config& c) { c.primaryResult = DDERR_OUTOFMEMORY; },
       DDVPCAPS_AUTOFLIP, 0},
      {"primary not described", [](FakeCard::Config& c) { c.primaryDescResult = DDERR_GENERIC; },
       DDVPCAPS_AUTOFLIP, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config = FakeCard().config;
    c.breakCard(card_.config);
    Display.PortCaps.dwCaps = c.portCaps;
    Display.OverlayBuffers = 0;
    card_.ClearCalls();
    EXPECT_FALSE(CreateSurfaces());
    EXPECT_EQ(Display.OverlaySurface, nullptr);
    EXPECT_EQ(Display.OverlayBuffers, 0);
    size_t attempts = 0;
    for (const std::string& call : card_.Calls({"DD.CreateSurface"}))
      attempts += call.find("w=720") != std::string::npos;
    EXPECT_EQ(attempts, c.overlayAttempts);
    if (Display.PrimarySurface) {
      Display.PrimarySurface->Release();
      Display.PrimarySurface = nullptr;
    }
  }
}

TEST_F(DisplayChainFormatTest, ColorKeyIsMagentaInThePrimarysFormat) {
  struct Case {
    DDPIXELFORMAT format;
    bool described;
    DWORD key;
  };
  const std::vector<Case> cases = {
      {Rgb(16, 0xF800, 0x07E0, 0x001F), true, 0xF81F},
      {Rgb(16, 0x7C00, 0x03E0, 0x001F), true, 0x7C1F},
      {Rgb(8, 0, 0, 0, DDPF_PALETTEINDEXED8), true, 253},
      {Rgb(24, 0xFF0000, 0xFF00, 0xFF), true, 0xFF00FF},
      {Rgb(32, 0xFF0000, 0xFF00, 0xFF), true, 0xFF00FF},
      {Rgb(16, 0xF800, 0x07E0, 0x001F), false, 0},  // no pixel format in the description
      {Uyvy(), true, 0},
  };
  for (const Case& c : cases) {
    card_.config.primaryFormat = c.format;
    card_.config.primaryHasFormat = c.described;
    ASSERT_TRUE(CreateSurfaces());
    card_.ClearCalls();
    SetOverlayColorKey();
    EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                                 "Primary.GetSurfaceDesc",
                                 "Primary.SetColorKey flags=" + Hex(DDCKEY_DESTOVERLAY) +
                                     " low=" + Hex(c.key) + " high=" + Hex(c.key),
                             }));
    EXPECT_EQ(Display.ColorKey, c.key);
    DisplayRelease();
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    ASSERT_TRUE(ChooseOutputFormat());
  }
}

// ---------------------------------------------------------------------------
// StartVideoPort and StartLiveVideo

TEST_F(DisplayChainTest, LiveVideoOpensPortSurfacesKeyAndOverlayInOrder) {
  card_.config.yInterpAndColorkey = 1000;  // below the others: the key is always used
  ASSERT_TRUE(DisplayCreate(true));
  card_.ClearCalls();
  VideoWindow.PictureWidth = VideoWindow.PictureHeight = 0;

  StartLiveVideo(window_);
  const std::string keyedAt = ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed);
  EXPECT_EQ(card_.Calls(),
            (std::vector<std::string>{
                "Container.GetVideoPortConnectInfo port=0 list=null",
                "Container.GetVideoPortConnectInfo port=0 n=1 list",
                "Container.CreateVideoPort flags=0 field=720x251 vbi=720 us=1 pps=1 id=0 "
                "type=8/CCIR656/0x20",
                "Port.GetOutputFormats in=UYVY/16 flags=0x1 list=null",
                "Port.GetOutputFormats in=UYVY/16 flags=0x1 n=1 list",
                "DD.SetCooperativeLevel hwnd=null flags=0x8",
                "DD.CreateSurface flags=0x1 caps=0x200 w=0 h=0 back=0 pf=-",
                "Primary.GetSurfaceDesc",
                "DD.CreateSurface flags=0x1027 caps=0x8004098 w=720 h=251 back=1 pf=UYVY/16",
                "Clipper.SetHWnd flags=0 hwnd=video",
                "Primary.SetClipper clipper",
                "Primary.GetSurfaceDesc",
                "Primary.SetColorKey flags=0x4 low=0xf81f high=0xf81f",
                "Port.GetBandwidthInfo pf=UYVY/16 w=0 h=0 flags=0x4",
                "Port.GetBandwidthInfo pf=UYVY/16 w=720 h=251 flags=0x1",
                "Port.SetTargetSurface Overlay flags=0x1",
                // CONVERT | PRESCALE | AUTOFLIP: the window is one field high.
                "Port.StartVideo flags=0x43 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0",
                "Clipper.GetClipList rect=null list=null",
                "Clipper.GetClipList rect=null list",
                "DD.GetCaps hel=null",
                "DD.GetCaps hel=null",
                keyedAt,
            }));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Display.PortStarting, 0);
  EXPECT_EQ(Display.KeyAlways, 1);
  EXPECT_EQ(Display.ColorKey, 0xF81Fu);
  EXPECT_EQ(Display.OverlayBuffers, 2);
  EXPECT_EQ(Display.OverlayUnavailable, 0);
  // The picture size is the real client area's.
  EXPECT_EQ(VideoWindow.PictureWidth, 352);
  EXPECT_EQ(VideoWindow.PictureHeight, 240);
  EXPECT_EQ(FullSourceRect().right, 716);
  EXPECT_FALSE(QuitPosted());
  EXPECT_TRUE(IsWindowVisible(window_));

  // The refresh tick runs every 200 ms.
  EXPECT_GE(TicksDuring(1100), 2);
}

TEST_F(DisplayChainTest, BandwidthAnswersDecideKeyAlways) {
  struct Case {
    const char* name;
    DWORD type;
    DWORD yInterpAndColorkey;
    DWORD secondFlags;
    int keyAlways;
  };
  const std::vector<Case> cases = {
      {"source, below both", DDVPBCAPS_SOURCE, 1000, DDVPB_OVERLAY, 0},
      {"source, between", DDVPBCAPS_SOURCE, 2500, DDVPB_OVERLAY, 1},
      {"destination, above both", DDVPBCAPS_DESTINATION, 4000, DDVPB_VIDEOPORT, 0},
      {"destination, below both", DDVPBCAPS_DESTINATION, 1000, DDVPB_VIDEOPORT, 1},
      // Anything but exactly the source type reads as the other type.
      {"both types", DDVPBCAPS_SOURCE | DDVPBCAPS_DESTINATION, 4000, DDVPB_VIDEOPORT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config.bandwidthType = c.type;
    card_.config.yInterpAndColorkey = c.yInterpAndColorkey;
    Display.KeyAlways = 1 - c.keyAlways;
    ASSERT_TRUE(DisplayCreate(true));
    ASSERT_TRUE(OpenVideoPort());
    card_.ClearCalls();
    EXPECT_TRUE(StartVideoPort());
    EXPECT_EQ(card_.Calls({"Port.GetBandwidthInfo"}),
              (std::vector<std::string>{
                  "Port.GetBandwidthInfo pf=UYVY/16 w=0 h=0 flags=0x4",
                  "Port.GetBandwidthInfo pf=UYVY/16 w=720 h=251 flags=" + Hex(c.secondFlags),
              }));
    EXPECT_EQ(Display.KeyAlways, c.keyAlways);
    // Fully visible: the key only when it is always used.
    EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
              std::vector<std::string>{ShowCall("4,12,716,251", "100,100,452,340",
                                                c.keyAlways ? kOverlayShowKeyed : kOverlayShow)});
    DisplayRelease();
  }
}

TEST_F(DisplayChainTest, NoVideoPortEndsTheProgram) {
  card_.config.connections = {};
  StartLive();
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            Box("video", "Unable to create the video port object", 0x40010)});
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(card_.LiveReferences(), 0u);
}

TEST_F(DisplayChainTest, NoOverlaySurfaceEndsTheProgram) {
  for (bool autoflip : {false, true}) {
    SCOPED_TRACE(autoflip ? "overlay refused" : "port without autoflip");
    card_.config.ports[0].dwCaps = autoflip ? DDVPCAPS_AUTOFLIP : DDVPCAPS_INTERLACED;
    card_.config.overlayCreate = [](const DDSURFACEDESC&) { return DDERR_NOOVERLAYHW; };
    RecordedMessages().clear();
    ShowWindow(window_, SW_SHOWNA);
    Display.OverlayUnavailable = 0;
    StartLive();
    EXPECT_EQ(Display.OverlayUnavailable, 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{Box("video", kNoLiveVideoText, 0x40030)});
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(card_.LiveReferences(), 0u);
    EXPECT_TRUE(card_.Calls({"Port.SetTargetSurface"}).empty());
  }
}

TEST_F(DisplayChainTest, OtherStartFailuresLeaveTheWindowWithoutVideo) {
  struct Case {
    const char* name;
    std::function<void(FakeCard::Config&)> breakCard;
  };
  const std::vector<Case> cases = {
      {"no output format", [](FakeCard::Config& c) { c.outputFormats = {}; }},
      {"bandwidth refused", [](FakeCard::Config& c) { c.bandwidthResult = DDERR_INVALIDPARAMS; }},
      {"target refused", [](FakeCard::Config& c) { c.targetResult = DDERR_INVALIDPARAMS; }},
      {"port never starts",
       [](FakeCard::Config& c) {
         c.startVideo = [](const DDVIDEOPORTINFO&) { return DDERR_INVALIDPARAMS; };
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    card_.config = FakeCard().config;
    c.breakCard(card_.config);
    RecordedMessages().clear();
    StartLive();
    EXPECT_EQ(Messages(),
              std::vector<std::string>{Box("video", "Unable to start video port ", 0x40010)});
    EXPECT_EQ(Display.OverlayUnavailable, 0);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(QuitPosted());
    // The chain stays as it was; no refresh tick runs.
    EXPECT_NE(Display.VideoPort, nullptr);
    EXPECT_EQ(TicksDuring(450), 0);
    DisplayRelease();
  }
  // A port that never started keeps asking to be started.
  EXPECT_EQ(Display.PortStarting, 1);
}

// ---------------------------------------------------------------------------
// RestartVideo and ConfigureVideoPort

TEST_F(DisplayChainTest, NarrowWindowFindsThePrescaleLevelTheOverlayCanStretch) {
  card_.config.updateOverlay = RefuseShrinking;
  card_.config.yInterpAndColorkey = 4000;  // KeyAlways 0: one try per level
  MoveClient(kWindowX, kWindowY, 100, 240);
  StartLive();
  ASSERT_TRUE(Messages().empty());
  const std::vector<std::string> starts = card_.Calls({"Port.StartVideo"});
  ASSERT_EQ(starts.size(), 4u);
  const char* widths[] = {"prescale=720x251", "prescale=360x251", "prescale=180x251",
                          "prescale=90x251"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NE(starts[i].find(widths[i]), std::string::npos) << starts[i];
    EXPECT_NE(starts[i].find("flags=0x43 "), std::string::npos) << starts[i];
  }
  // Each refused level hides the overlay again; the fourth is shown.
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("2,12,718,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,358,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,178,251", "100,100,200,340", kOverlayShow),
                kOverlayHide,
                ShowCall("2,12,88,251", "100,100,200,340", kOverlayShow),
            }));
  EXPECT_EQ(Placement.PrescaleWidth, 90u);

  // Widening the window: the next tick goes back to the full width with UpdateVideo.
  MoveClient(kWindowX, kWindowY, 704, 480);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port."}),
            std::vector<std::string>{
                "Port.UpdateVideo flags=0x3 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0"});
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            std::vector<std::string>{ShowCall("8,12,712,251", "100,100,804,580", kOverlayShow)});
  EXPECT_EQ(VideoWindow.PictureWidth, 704);
  EXPECT_EQ(VideoWindow.PictureHeight, 480);
}

TEST_F(DisplayChainTest, WindowTooNarrowForEveryLevelStartsNoVideo) {
  card_.config.updateOverlay = RefuseShrinking;
  MoveClient(kWindowX, kWindowY, 40, 240);
  StartLive();
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}).size(), 5u);
  EXPECT_NE(LastCall("Port.StartVideo").find("prescale=45x251"), std::string::npos);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{Box("video", "Unable to start video port ", 0x40010)});
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"), kOverlayHide);
}

TEST_F(DisplayChainTest, PortConfigurationFollowsTheWindowAndStandard) {
  struct Case {
    int standard;
    int width, height;
    const char* start;
    const char* source;
  };
  const std::vector<Case> cases = {
      {0, 352, 240, "flags=0x43 origin=0,0 prescale=720x251", "4,12,716,251"},
      {0, 704, 480, "flags=0x3 origin=0,0 prescale=720x251", "8,12,712,251"},
      {0, 352, 120, "flags=0x43 origin=0,0 prescale=720x126", "4,7,716,126"},
      {3, 352, 288, "flags=0x43 origin=0,0 prescale=720x288", "4,1,716,288"},
      {6, 768, 576, "flags=0x3 origin=0,0 prescale=720x288", "9,1,711,288"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Format("standard %d, %dx%d", c.standard, c.width, c.height));
    Settings.VideoStandard = c.standard;
    FillVideoPortConfig();
    MoveClient(kWindowX, kWindowY, c.width, c.height);
    card_.ClearCalls();
    StartLive();
    const std::vector<std::string> starts = card_.Calls({"Port.StartVideo"});
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].rfind(std::string("Port.StartVideo ") + c.start, 0), 0u) << starts[0];
    EXPECT_EQ(
        card_.Calls({"Overlay.UpdateOverlay"}),
        std::vector<std::string>{ShowCall(
            c.source,
            RectText(RECT{kWindowX, kWindowY, kWindowX + c.width, kWindowY + c.height}).c_str(),
            kOverlayShowKeyed)});
    DisplayRelease();
  }
}

// ---------------------------------------------------------------------------
// UpdateOverlayPosition

class DisplayChainPlacementTest : public DisplayChainTest {
 protected:
  void SetUp() override {
    DisplayChainTest::SetUp();
    StartLive();
    ASSERT_TRUE(Messages().empty());
    card_.ClearCalls();
  }
};

TEST_F(DisplayChainPlacementTest, FullyVisibleWindowUsesTheKeyOnlyWhenAlwaysKeyed) {
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  Display.KeyAlways = 1;
  EXPECT_TRUE(UpdateOverlayPosition());
  // A refused key over a fully visible window: shown without it.
  card_.config.updateOverlay = RefuseKey;
  EXPECT_TRUE(UpdateOverlayPosition());
  // Refused altogether: hidden.
  card_.config.updateOverlay = [](const RECT&, const RECT&, DWORD) { return DDERR_GENERIC; };
  EXPECT_FALSE(UpdateOverlayPosition());
  const char* dest = "100,100,452,340";
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("4,12,716,251", dest, kOverlayShow),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShow),
                ShowCall("4,12,716,251", dest, kOverlayShowKeyed),
                ShowCall("4,12,716,251", dest, kOverlayShow),
                kOverlayHide,
            }));
}

TEST_F(DisplayChainPlacementTest, CoveredWindowIsShownKeyedOrNotAtAll) {
  // Two visible pieces: the overlay spans the client area and the key cuts it.
  card_.config.clipRects = std::vector<RECT>{{100, 100, 452, 200}, {100, 200, 300, 340}};
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  card_.config.updateOverlay = RefuseKey;
  EXPECT_FALSE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed),
                ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed),
                kOverlayHide,
            }));
}

TEST_F(DisplayChainPlacementTest, OnlyTheVisiblePartOfThePictureIsShown) {
  Display.KeyAlways = 0;
  // The right half of the client area is all that is visible.
  card_.config.clipRects = std::vector<RECT>{{276, 100, 452, 340}};
  EXPECT_TRUE(UpdateOverlayPosition());
  // Wholly covered, and hanging off the right of the 800-pixel screen: the on-screen part.
  MoveClient(700, 100, 352, 240);
  card_.config.clipRects = std::vector<RECT>{};
  EXPECT_TRUE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            (std::vector<std::string>{
                ShowCall("360,12,716,251", "276,100,452,340", kOverlayShow),
                ShowCall("4,12,206,251", "700,100,800,340", kOverlayShowKeyed),
            }));
}

TEST_F(DisplayChainPlacementTest, BothRectanglesFollowTheDriversAlignment) {
  card_.config.caps |= DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZESRC;
  card_.config.alignBoundaryDest = 8;
  card_.config.alignBoundarySrc = 4;
  card_.config.alignSizeSrc = 8;
  card_.config.alignSizeDest = 64;  // no size flag for the destination: ignored
  MoveClient(101, 100, 352, 240);
  Display.KeyAlways = 0;
  EXPECT_TRUE(UpdateOverlayPosition());
  // Destination left 101 -> 104; it maps to source column 3 x 712 / 352 + 4 = 10 -> 12,
  // and the source width 704 is a multiple of 8 already.
  EXPECT_EQ(card_.Calls({"Overlay.UpdateOverlay"}),
            std::vector<std::string>{ShowCall("12,12,716,251", "104,100,453,340", kOverlayShow)});
}

TEST_F(DisplayChainPlacementTest, MinimisedWindowHidesTheOverlay) {
  ShowWindow(window_, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window_));
  EXPECT_FALSE(UpdateOverlayPosition());
  EXPECT_EQ(card_.Calls(), std::vector<std::string>{kOverlayHide});
  RECT unused;
  EXPECT_FALSE(GetClientScreenRect(unused));
  ShowWindow(window_, SW_RESTORE);
}

TEST_F(DisplayChainPlacementTest, PaintColorKeyFillsTheClientAreaWithTheKey) {
  PaintColorKey();
  EXPECT_EQ(card_.Calls(),
            std::vector<std::string>{"Primary.Blt dest=100,100,452,340 src=null,null "
                                     "flags=" +
                                     Hex(DDBLT_COLORFILL) + " fill=0xf81f"});
  card_.ClearCalls();

  // Playback draws its own picture; a minimised window and a key not yet chosen get nothing.
  VideoWindow.ViewMode = kPlaybackMode;
  PaintColorKey();
  VideoWindow.ViewMode = kLiveVideoMode;
  ShowWindow(window_, SW_MINIMIZE);
  PaintColorKey();
  ShowWindow(window_, SW_RESTORE);
  Display.ColorKey = 1;
  PaintColorKey();
  EXPECT_TRUE(card_.Calls().empty());
  Display.ColorKey = 0xF81F;
  DisplayRelease();
  PaintColorKey();
  EXPECT_EQ(card_.Calls({"Primary.Blt"}).size(), 0u);
}

// ---------------------------------------------------------------------------
// OverlayTick

TEST_F(DisplayChainPlacementTest, TickReconfiguresOnlyWhenThePlacementChanges) {
  // The first tick always places the overlay, even where start-up already put it.
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.IsLost", "Port."}),
            (std::vector<std::string>{
                "Overlay.IsLost",
                "Port.UpdateVideo flags=0x43 origin=0,0 prescale=720x251 in=UYVY/16 vbi=0",
            }));
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.", "Port."}), std::vector<std::string>{"Overlay.IsLost"});

  // Moved: reconfigured at the new place.
  MoveClient(200, 150, 352, 240);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"),
            ShowCall("4,12,716,251", "200,150,552,390", kOverlayShowKeyed));
  // Covered in part, same rectangle: the partial flag alone triggers it.
  card_.config.clipRects = std::vector<RECT>{{200, 150, 300, 390}, {300, 150, 552, 200}};
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port.UpdateVideo"}).size(), 1u);
  EXPECT_EQ(Placement.PlacedPartial, 1);
  EXPECT_EQ(RectText(&Placement.PlacedRect), "200,150,552,390");
}

TEST_F(DisplayChainPlacementTest, MinimiseForgetsThePlacementAndRestoreShowsItAgain) {
  OverlayTick();
  ShowWindow(window_, SW_MINIMIZE);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.", "Port."}),
            (std::vector<std::string>{"Overlay.IsLost", kOverlayHide}));
  EXPECT_EQ(Placement.PlacedPartial, -1);
  EXPECT_EQ(RectText(&Placement.PlacedRect), "0,0,0,0");

  ShowWindow(window_, SW_RESTORE);
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Port.UpdateVideo"}).size(), 1u);
  EXPECT_EQ(LastCall("Overlay.UpdateOverlay"),
            ShowCall("4,12,716,251", "100,100,452,340", kOverlayShowKeyed));
}

TEST_F(DisplayChainPlacementTest, LostSurfacesAreRebuiltWithoutAMessage) {
  OverlayTick();
  card_.LoseSurfaces();
  card_.ClearCalls();
  OverlayTick();
  const std::vector<std::string> calls = card_.Calls();
  ASSERT_GE(calls.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 9),
            (std::vector<std::string>{
                "Overlay.IsLost",
                "Release Port",
                "Release Overlay",
                "Release Primary",
                "Release Container",
                "Release DirectDraw",
                "Release Clipper",
                "DirectDrawCreate driver=null",
                "DD.GetCaps hel=null",
            }));
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}).size(), 1u);
  EXPECT_EQ(Placement.DisplayLost, 0);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(QuitPosted());
  EXPECT_GE(TicksDuring(1100), 2);
}

TEST_F(DisplayChainPlacementTest, FailingRebuildRetriesEveryTwoSeconds) {
  card_.LoseSurfaces();
  // The driver lost its video port: DisplayCreate fails, and says nothing.
  card_.config.caps2 = 0;
  OverlayTick();
  EXPECT_EQ(Placement.DisplayLost, 1);
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(TicksDuring(1200), 0);
  EXPECT_GE(TicksDuring(1300), 1);

  // The port cannot be opened either: the same.
  card_.config.caps2 = DDCAPS2_VIDEOPORT;
  card_.config.connections = {};
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Overlay.IsLost"}).size(), 0u);  // nothing left to ask
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(TicksDuring(1200), 0);

  // Nor started.
  card_.config = FakeCard().config;
  card_.config.targetResult = DDERR_GENERIC;
  OverlayTick();
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(TicksDuring(1200), 0);
  EXPECT_TRUE(Messages().empty());

  // Repaired: back to the 200 ms tick.
  card_.config = FakeCard().config;
  OverlayTick();
  EXPECT_EQ(Placement.DisplayLost, 0);
  EXPECT_NE(Display.OverlaySurface, nullptr);
  EXPECT_GE(TicksDuring(1100), 2);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(DisplayChainPlacementTest, OverlayGoneForGoodEndsTheProgram) {
  for (int connector : {1002, 1003}) {
    SCOPED_TRACE(connector);
    // Only the bus, for the sound processor: the card stays the recording one.
    FakeClock clock;
    SimBoard board(SimScenario{}, clock);
    InstallPortIo(&board);
    Settings.VideoConnector = connector;
    RecordedMessages().clear();
    ShowWindow(window_, SW_SHOWNA);
    card_.config.ports[0].dwCaps = DDVPCAPS_INTERLACED;  // no autoflip after the loss
    card_.LoseSurfaces();
    OverlayTick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Box("none", kNoLiveVideoText, 0x40030)});
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(Display.DirectDrawObject, nullptr);
    EXPECT_EQ(TicksDuring(300), 0);
    // The tuner's sound is muted on the way out; other inputs have none to mute.
    InstallPortIo(nullptr);
    const auto& writes = board.Audio().WriteLog();
    const bool muted = std::find(writes.begin(), writes.end(),
                                 std::pair<uint8_t, uint8_t>(0x08, 0xEF)) != writes.end();
    EXPECT_EQ(muted, connector == 1003);
  }
}

TEST_F(DisplayChainTest, StandardChangeRebuildsWithTheNewFieldHeight) {
  StartLive();
  MoveClient(kWindowX, kWindowY, 352, 288);
  Settings.VideoStandard = 3;
  FillVideoPortConfig();
  DisplayRelease();
  card_.ClearCalls();
  OverlayTick();
  EXPECT_EQ(card_.Calls({"Container.CreateVideoPort"}).size(), 1u);
  EXPECT_NE(LastCall("Container.CreateVideoPort").find("field=720x288"), std::string::npos);
  EXPECT_NE(LastCall("DD.CreateSurface").find("w=720 h=288 back=1"), std::string::npos);
  EXPECT_EQ(card_.Calls({"Port.StartVideo"}),
            std::vector<std::string>{
                "Port.StartVideo flags=0x43 origin=0,0 prescale=720x288 in=UYVY/16 vbi=0"});
  EXPECT_TRUE(Messages().empty());
}

// ---------------------------------------------------------------------------
// DisplayRelease

TEST_F(DisplayChainTest, ReleaseTearsDownInOrderAndIsSafeAnyTime) {
  DisplayRelease();  // nothing created yet
  EXPECT_TRUE(card_.Calls().empty());

  StartLive();
  ASSERT_GE(TicksDuring(450), 1);
  card_.ClearCalls();
  DisplayRelease();
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{
                               "Release Port",
                               "Release Overlay",
                               "Release Primary",
                               "Release Container",
                               "Release DirectDraw",
                               "Release Clipper",
                           }));
  EXPECT_EQ(card_.LiveReferences(), 0u);
  EXPECT_EQ(Display.VideoPort, nullptr);
  EXPECT_EQ(Display.OverlaySurface, nullptr);
  EXPECT_EQ(Display.PrimarySurface, nullptr);
  EXPECT_EQ(Display.VideoPortContainer, nullptr);
  EXPECT_EQ(Display.DirectDrawObject, nullptr);
  EXPECT_EQ(Display.Clipper, nullptr);
  // The refresh tick stops with the chain.
  EXPECT_EQ(TicksDuring(450), 0);

  card_.ClearCalls();
  DisplayRelease();
  EXPECT_TRUE(card_.Calls().empty());

  // A partly built chain releases what exists.
  card_.config.clipper = false;
  EXPECT_FALSE(DisplayCreate(false));
  card_.ClearCalls();
  DisplayRelease();
  EXPECT_EQ(card_.Calls(), (std::vector<std::string>{"Release Container", "Release DirectDraw"}));
}

}  // namespace
