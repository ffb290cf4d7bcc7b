// The simulated display card through the DirectDraw-style API, as the display chain
// calls it: capabilities per scenario, the count-then-fill protocols, surfaces, the
// overlay's limits, clip lists from the real window system, and the scanout window
// showing the port's fields on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <vector>

#include "hw/Decoder.h"
#include "sim/win32/OverlayScanout.h"
#include "sim/win32/SimDirectDraw.h"
#include "win32/ImportPatch.h"
#include "win32/Recorders.h"

namespace {

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** Out() {
    Reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr DWORD kNtscField = 251;

DDSURFACEDESC SurfaceDesc() {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  return desc;
}

DDPIXELFORMAT Uyvy() {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = kFourccUyvy;
  f.dwYUVBitCount = 16;
  return f;
}

DDVIDEOPORTDESC PortDesc(DWORD fieldHeight = kNtscField) {
  DDVIDEOPORTDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFieldWidth = 720;
  desc.dwVBIWidth = 720;
  desc.dwFieldHeight = fieldHeight;
  desc.dwMicrosecondsPerField = 1;
  desc.dwMaxPixelsPerSecond = 1;
  desc.VideoPortType.dwSize = sizeof desc.VideoPortType;
  desc.VideoPortType.dwPortWidth = 8;
  desc.VideoPortType.guidTypeID = DDVPTYPE_CCIR656;
  desc.VideoPortType.dwFlags = DDVPCONNECT_INTERLACED;
  return desc;
}

DDVIDEOPORTINFO PortInfo(DWORD flags, DWORD prescaleWidth = 720,
                         DWORD prescaleHeight = kNtscField) {
  static DDPIXELFORMAT input = Uyvy();
  DDVIDEOPORTINFO info = {};
  info.dwSize = sizeof info;
  info.dwVPFlags = DDVP_CONVERT | flags;
  info.dwPrescaleWidth = prescaleWidth;
  info.dwPrescaleHeight = prescaleHeight;
  info.lpddpfInputFormat = &input;
  return info;
}

DDCAPS DriverCaps(IDirectDraw* dd) {
  DDCAPS caps = {};
  caps.dwSize = sizeof caps;
  EXPECT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  return caps;
}

HRESULT CALLBACK CollectPorts(LPDDVIDEOPORTCAPS caps, LPVOID context) {
  static_cast<std::vector<DDVIDEOPORTCAPS>*>(context)->push_back(*caps);
  return DDENUMRET_OK;
}

std::vector<DDVIDEOPORTCAPS> EnumeratePorts(IDDVideoPortContainer* container, DWORD wantedFlags = 0,
                                            DWORD wantedId = 0) {
  DDVIDEOPORTCAPS wanted = {};
  wanted.dwSize = sizeof wanted;
  wanted.dwFlags = wantedFlags;
  wanted.dwVideoPortID = wantedId;
  std::vector<DDVIDEOPORTCAPS> ports;
  EXPECT_EQ(container->EnumVideoPorts(0, &wanted, &ports, CollectPorts), DD_OK);
  return ports;
}

// Everything the display chain builds, up to a primary with its clipper.
struct Card {
  explicit Card(const SimCardScenario& scenario = {}) : provider(scenario) {
    if (FAILED(provider.CreateDirectDraw(nullptr, dd.Out()))) return;
    dd->QueryInterface(IID_IDDVideoPortContainer, reinterpret_cast<void**>(container.Out()));
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    DDSURFACEDESC desc = SurfaceDesc();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    dd->CreateSurface(&desc, primary.Out(), nullptr);
  }

  HRESULT CreateOverlay(Ref<IDirectDrawSurface>& out, DWORD height = kNtscField,
                        bool withBackBuffer = true, const DDPIXELFORMAT& format = Uyvy()) {
    DDSURFACEDESC desc = SurfaceDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = 720;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = format;
    desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_VIDEOPORT;
    if (withBackBuffer) {
      desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
      desc.dwBackBufferCount = 1;
      desc.ddsCaps.dwCaps |= DDSCAPS_COMPLEX | DDSCAPS_FLIP;
    }
    return dd->CreateSurface(&desc, out.Out(), nullptr);
  }

  HRESULT OpenPort(DWORD fieldHeight = kNtscField) {
    DDVIDEOPORTDESC desc = PortDesc(fieldHeight);
    return container->CreateVideoPort(0, &desc, port.Out(), nullptr);
  }

  // Clipper on `window`, the destination key in the primary's own format.
  void KeyOn(HWND window, DWORD key) {
    ASSERT_EQ(provider.CreateClipper(0, clipper.Out()), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.get()), DD_OK);
    DDCOLORKEY ck = {key, key};
    ASSERT_EQ(primary->SetColorKey(DDCKEY_DESTOVERLAY, &ck), DD_OK);
  }

  HRESULT FillKey(const RECT& screenRect, DWORD key) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = key;
    RECT r = screenRect;
    return primary->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  }

  HRESULT Show(const RECT& source, const RECT& dest, DWORD flags = DDOVER_SHOW | DDOVER_KEYDEST) {
    RECT s = source, d = dest;
    return overlay->UpdateOverlay(&s, primary.get(), &d, flags, nullptr);
  }

  SimDirectDrawProvider provider;
  Ref<IDirectDraw> dd;
  Ref<IDDVideoPortContainer> container;
  Ref<IDirectDrawSurface> primary;
  Ref<IDirectDrawClipper> clipper;
  Ref<IDirectDrawSurface> overlay;
  Ref<IDirectDrawVideoPort> port;  // released first: it holds the overlay
};

// A plain top-level window standing in for the video window; it records the mouse
// button messages it gets.
std::vector<MSG> g_mouse;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message > WM_MOUSEMOVE && message <= WM_MOUSELAST)
    g_mouse.push_back(MSG{window, message, wParam, lParam, 0, {}});
  if (message == WM_ERASEBKGND) return 1;
  if (message == WM_PAINT) {
    ValidateRect(window, nullptr);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Window {
 public:
  Window(const RECT& r, COLORREF background, bool activate = true) {
    static const bool registered = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = TestWindowProc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.lpszClassName = "SimDirectDrawTestWindow";
      return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    window_ =
        CreateWindowExA(0, "SimDirectDrawTestWindow", "", WS_POPUP, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window_, activate ? SW_SHOW : SW_SHOWNOACTIVATE);
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | (activate ? 0 : SWP_NOACTIVATE));
    Paint(RECT{0, 0, r.right - r.left, r.bottom - r.top}, background);
  }
  ~Window() { DestroyWindow(window_); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND get() const { return window_; }
  RECT ScreenRect() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r;
  }
  void Paint(const RECT& client, COLORREF colour) {
    HDC dc = GetDC(window_);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window_, dc);
  }

 private:
  HWND window_;
};

// The screen as it is shown, a rectangle of it as COLORREFs, row by row.
std::vector<COLORREF> Capture(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<COLORREF> pixels(static_cast<size_t>(w) * h);
  const auto* p = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  return pixels;
}

double Fraction(const std::vector<COLORREF>& pixels, COLORREF colour) {
  return static_cast<double>(std::count(pixels.begin(), pixels.end(), colour)) / pixels.size();
}

RECT Inset(const RECT& r, int by) {
  return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by};
}

std::vector<RECT> ClipRects(IDirectDrawClipper* clipper) {
  DWORD size = 0;
  EXPECT_EQ(clipper->GetClipList(nullptr, nullptr, &size), DD_OK);
  EXPECT_GE(size, sizeof(RGNDATAHEADER));
  std::vector<uint8_t> buffer(size);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  EXPECT_EQ(clipper->GetClipList(nullptr, data, &size), DD_OK);
  DWORD count = 0;
  std::memcpy(&count, buffer.data() + 8, sizeof count);  // nCount, as the display chain reads it
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + count);
}

// Pumps messages until `done` holds or `ms` have gone by; whether it holds.
template <class Predicate>
bool PumpUntil(Predicate done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Pump(20);
  }
  return true;
}

HWND ScanoutWindow() {
  return FindWindowA(kOverlayScanoutClass, nullptr);
}

// The decoder programmed for composite NTSC, so the port carries the test card.
void ProgramDecoder() {
  DecoderInit();
  DecoderSetStandard(0);
  DecoderSelectComposite();
}

// ---------------------------------------------------------------------------

TEST(SimDirectDrawCaps, DefaultCardHasPortOverlayKeyAndRealStretchLimits) {
  Card card;
  ASSERT_TRUE(card.dd);
  const DDCAPS caps = DriverCaps(card.dd.get());
  EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_VIDEOPORT);
  EXPECT_TRUE(caps.dwCaps & DDCAPS_OVERLAY);
  EXPECT_TRUE(caps.dwCaps & DDCAPS_OVERLAYSTRETCH);
  EXPECT_TRUE(caps.dwCaps & DDCAPS_COLORKEY);
  EXPECT_TRUE(caps.dwCKeyCaps & DDCKEYCAPS_DESTOVERLAY);
  for (DWORD flag : {DDCAPS_ALIGNBOUNDARYSRC, DDCAPS_ALIGNSIZESRC, DDCAPS_ALIGNBOUNDARYDEST,
                     DDCAPS_ALIGNSIZEDEST})
    EXPECT_TRUE(caps.dwCaps & flag) << std::hex << flag;
  // Strict enough that a rule applied to the wrong rectangle, or not at all, is refused.
  EXPECT_EQ(caps.dwAlignBoundarySrc, 4u);
  EXPECT_EQ(caps.dwAlignSizeSrc, 8u);
  EXPECT_EQ(caps.dwAlignBoundaryDest, 8u);
  EXPECT_EQ(caps.dwAlignSizeDest, 1u);
  EXPECT_EQ(caps.dwMinOverlayStretch, 1000u) << "no shrinking";
  EXPECT_GE(caps.dwMaxOverlayStretch, 10000u);
  EXPECT_EQ(caps.dwMaxVideoPorts, 1u);

  DDCAPS wrong = {};
  wrong.dwSize = 100;
  EXPECT_EQ(card.dd->GetCaps(&wrong, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_TRUE(card.container) << "the video port container behind the DirectDraw object";
}

TEST(SimDirectDrawCaps, EachScenarioTakesAwayItsCapability) {
  {
    SimCardScenario s;
    s.directDraw = false;
    Card card(s);
    EXPECT_FALSE(card.dd);
  }
  {
    SimCardScenario s;
    s.videoPort = false;
    Card card(s);
    const DDCAPS caps = DriverCaps(card.dd.get());
    EXPECT_FALSE(caps.dwCaps2 & DDCAPS2_VIDEOPORT);
    EXPECT_TRUE(caps.dwCaps & DDCAPS_OVERLAY);
    EXPECT_FALSE(card.container);
  }
  {
    SimCardScenario s;
    s.overlay = false;
    Card card(s);
    const DDCAPS caps = DriverCaps(card.dd.get());
    EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_VIDEOPORT);
    EXPECT_FALSE(caps.dwCaps & DDCAPS_OVERLAY);
    Ref<IDirectDrawSurface> overlay;
    EXPECT_EQ(card.CreateOverlay(overlay), DDERR_NOOVERLAYHW);
  }
  {
    SimCardScenario s;
    s.container = false;
    Card card(s);
    EXPECT_TRUE(DriverCaps(card.dd.get()).dwCaps2 & DDCAPS2_VIDEOPORT);
    EXPECT_FALSE(card.container);
  }
  {
    SimCardScenario s;
    s.clipper = false;
    Card card(s);
    Ref<IDirectDrawClipper> clipper;
    EXPECT_TRUE(FAILED(card.provider.CreateClipper(0, clipper.Out())));
    EXPECT_FALSE(clipper);
  }
  {
    SimCardScenario s;
    s.refuseColorKey = true;
    Card card(s);
    EXPECT_FALSE(DriverCaps(card.dd.get()).dwCKeyCaps & DDCKEYCAPS_DESTOVERLAY);
    DDCOLORKEY key = {0xFF00FF, 0xFF00FF};
    EXPECT_EQ(card.primary->SetColorKey(DDCKEY_DESTOVERLAY, &key), DDERR_NOCOLORKEYHW);
  }
}

TEST(SimDirectDrawPort, OneInterlacedAutoflippingPortWithoutInterleave) {
  Card card;
  const auto ports = EnumeratePorts(card.container.get());
  ASSERT_EQ(ports.size(), 1u);
  const DDVIDEOPORTCAPS& p = ports[0];
  EXPECT_EQ(p.dwSize, 72u);
  EXPECT_EQ(p.dwVideoPortID, 0u);
  EXPECT_EQ(p.dwCaps & (DDVPCAPS_AUTOFLIP | DDVPCAPS_INTERLACED),
            DDVPCAPS_AUTOFLIP | DDVPCAPS_INTERLACED);
  EXPECT_FALSE(p.dwFX & DDVPFX_INTERLEAVE);
  EXPECT_EQ(p.dwMaxWidth, 720u);
  EXPECT_GE(p.dwMaxHeight, 288u);
  EXPECT_TRUE(EnumeratePorts(card.container.get(), 0x4 /* DDVPD_ID */, 1).empty()) << "no port 1";

  SimCardScenario s;
  s.autoflip = false;
  s.interleave = true;
  Card other(s);
  const auto changed = EnumeratePorts(other.container.get());
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_FALSE(changed[0].dwCaps & DDVPCAPS_AUTOFLIP);
  EXPECT_TRUE(changed[0].dwFX & DDVPFX_INTERLEAVE);
}

TEST(SimDirectDrawPort, ConnectInfoIsCountedThenFilledAndHasAn8BitCcir656Entry) {
  Card card;
  DWORD count = 0;
  ASSERT_EQ(card.container->GetVideoPortConnectInfo(0, &count, nullptr), DD_OK);
  ASSERT_GE(count, 1u);
  std::vector<DDVIDEOPORTCONNECT> list(count + 1);
  DWORD asked = count;
  ASSERT_EQ(card.container->GetVideoPortConnectInfo(0, &asked, list.data()), DD_OK);
  EXPECT_EQ(asked, count);
  EXPECT_EQ(list[count].dwSize, 0u) << "nothing written past the count";
  EXPECT_TRUE(std::any_of(list.begin(), list.begin() + count, [](const DDVIDEOPORTCONNECT& c) {
    return c.dwPortWidth == 8 && IsEqualGUID(c.guidTypeID, DDVPTYPE_CCIR656) &&
           (c.dwFlags & DDVPCONNECT_INTERLACED);
  }));
  if (count > 1) {
    DWORD fewer = 1;
    EXPECT_EQ(card.container->GetVideoPortConnectInfo(0, &fewer, list.data()), DDERR_MOREDATA);
    EXPECT_EQ(fewer, 1u);
  }
  EXPECT_EQ(card.container->GetVideoPortConnectInfo(1, &count, nullptr), DDERR_INVALIDPARAMS);
}

TEST(SimDirectDrawPort, TheOnePortOpensOnceForTheDecodersConnection) {
  Card card;
  DDVIDEOPORTDESC wrongBus = PortDesc();
  wrongBus.VideoPortType.dwPortWidth = 16;
  Ref<IDirectDrawVideoPort> port;
  EXPECT_EQ(card.container->CreateVideoPort(0, &wrongBus, port.Out(), nullptr),
            DDERR_INVALIDPARAMS);
  DDVIDEOPORTDESC tooTall = PortDesc(400);
  EXPECT_EQ(card.container->CreateVideoPort(0, &tooTall, port.Out(), nullptr), DDERR_INVALIDPARAMS);

  ASSERT_EQ(card.OpenPort(), DD_OK);
  // The decoder's stream is connected: the port sees a signal.
  DWORD status = 0;
  EXPECT_EQ(card.port->GetVideoSignalStatus(&status), DD_OK);
  EXPECT_EQ(status, DDVPSQ_SIGNALOK);
  Ref<IDirectDrawVideoPort> second;
  DDVIDEOPORTDESC desc = PortDesc(288);
  EXPECT_EQ(card.container->CreateVideoPort(0, &desc, second.Out(), nullptr), DDERR_OUTOFCAPS);
  card.port.Reset();
  EXPECT_EQ(card.container->CreateVideoPort(0, &desc, second.Out(), nullptr), DD_OK);
}

TEST(SimDirectDrawPort, OutputFormatsAreCountedThenFilledWithUyvyAmongThem) {
  Card card;
  ASSERT_EQ(card.OpenPort(), DD_OK);
  DDPIXELFORMAT input = Uyvy();
  DWORD count = 0;
  ASSERT_EQ(card.port->GetOutputFormats(&input, &count, nullptr, DDVPFORMAT_VIDEO), DD_OK);
  ASSERT_GE(count, 2u);
  std::vector<DDPIXELFORMAT> formats(count);
  ASSERT_EQ(card.port->GetOutputFormats(&input, &count, formats.data(), DDVPFORMAT_VIDEO), DD_OK);
  EXPECT_TRUE(std::any_of(formats.begin(), formats.end(), [](const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_FOURCC) && f.dwFourCC == kFourccUyvy;
  }));
  EXPECT_TRUE(std::any_of(formats.begin(), formats.end(), [](const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_RGB) && f.dwRGBBitCount == 16 && f.dwGBitMask == 0x07E0;
  }));
  DDPIXELFORMAT rgb = {};
  rgb.dwSize = sizeof rgb;
  rgb.dwFlags = DDPF_RGB;
  rgb.dwRGBBitCount = 16;
  EXPECT_EQ(card.port->GetOutputFormats(&rgb, &count, nullptr, DDVPFORMAT_VIDEO),
            DDERR_INVALIDPIXELFORMAT)
      << "the decoder's stream is UYVY";
}

TEST(SimDirectDrawPort, BandwidthIsDestinationTypeAndLetsTheKeyBeUsedAlways) {
  Card card;
  ASSERT_EQ(card.OpenPort(), DD_OK);
  DDPIXELFORMAT format = Uyvy();
  DDVIDEOPORTBANDWIDTH b = {};
  b.dwSize = sizeof b;
  card.port->GetBandwidthInfo(&format, 0, 0, DDVPB_TYPE, &b);
  ASSERT_EQ(b.dwCaps, DDVPBCAPS_DESTINATION);
  ASSERT_EQ(card.port->GetBandwidthInfo(&format, 720, kNtscField, DDVPB_VIDEOPORT, &b), DD_OK);
  EXPECT_GE(b.dwOverlay, 1000u);
  // Destination type: the key is dropped when the window is clear only if keying and
  // interpolating together need more zoom than either alone.
  const bool keyAlways =
      !(b.dwYInterpAndColorkey > b.dwYInterpolate && b.dwYInterpAndColorkey > b.dwColorkey);
  EXPECT_TRUE(keyAlways);
  EXPECT_EQ(card.port->GetBandwidthInfo(&format, 800, kNtscField, DDVPB_VIDEOPORT, &b),
            DDERR_INVALIDPARAMS)
      << "wider than the field";
}

TEST(SimDirectDrawSurfaces, PrimaryIsTheScreenInTheScenariosFormat) {
  {
    Card card;
    ASSERT_TRUE(card.primary);
    DDSURFACEDESC desc = SurfaceDesc();
    ASSERT_EQ(card.primary->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(desc.dwHeight, static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_TRUE(desc.dwFlags & DDSD_PIXELFORMAT);
    EXPECT_TRUE(desc.ddpfPixelFormat.dwFlags & DDPF_RGB);
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, static_cast<DWORD>(bits));
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);

    DDSURFACEDESC another = SurfaceDesc();
    another.dwFlags = DDSD_CAPS;
    another.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    Ref<IDirectDrawSurface> second;
    EXPECT_EQ(card.dd->CreateSurface(&another, second.Out(), nullptr),
              DDERR_PRIMARYSURFACEALREADYEXISTS);
  }
  struct Case {
    int bits;
    bool five55;
    DWORD flags, count, red, green, blue;
  };
  for (const Case& c : {Case{16, false, DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F},
                        Case{16, true, DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F},
                        Case{24, false, DDPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF},
                        Case{32, false, DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF},
                        Case{8, false, DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0}}) {
    SimCardScenario s;
    s.primaryBits = c.bits;
    s.primary555 = c.five55;
    Card card(s);
    DDSURFACEDESC desc = SurfaceDesc();
    ASSERT_EQ(card.primary->GetSurfaceDesc(&desc), DD_OK);
    const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
    EXPECT_EQ(f.dwFlags, c.flags) << c.bits;
    EXPECT_EQ(f.dwRGBBitCount, c.count) << c.bits;
    EXPECT_EQ(f.dwRBitMask, c.red) << c.bits;
    EXPECT_EQ(f.dwGBitMask, c.green) << c.bits;
    EXPECT_EQ(f.dwBBitMask, c.blue) << c.bits;
  }
}

TEST(SimDirectDrawSurfaces, NothingIsCreatedBeforeTheCooperativeLevel) {
  SimDirectDrawProvider provider({});
  Ref<IDirectDraw> dd;
  ASSERT_EQ(provider.CreateDirectDraw(nullptr, dd.Out()), DD_OK);
  DDSURFACEDESC desc = SurfaceDesc();
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  Ref<IDirectDrawSurface> primary;
  EXPECT_EQ(dd->CreateSurface(&desc, primary.Out(), nullptr), DDERR_NOCOOPERATIVELEVELSET);
}

TEST(SimDirectDrawSurfaces, OverlayWithOneBackBufferOnlyWhenThePortCanFlipIt) {
  Card card;
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  DDSURFACEDESC desc = SurfaceDesc();
  ASSERT_EQ(card.overlay->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 720u);
  EXPECT_EQ(desc.dwHeight, kNtscField);
  EXPECT_EQ(desc.dwBackBufferCount, 1u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwFourCC, kFourccUyvy);
  EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_FRONTBUFFER);
  DDSCAPS back = {DDSCAPS_BACKBUFFER};
  Ref<IDirectDrawSurface> backBuffer;
  ASSERT_EQ(card.overlay->GetAttachedSurface(&back, backBuffer.Out()), DD_OK);
  DDSCAPS backCaps = {};
  backBuffer->GetCaps(&backCaps);
  EXPECT_TRUE(backCaps.dwCaps & DDSCAPS_BACKBUFFER);

  // The interleaving card's two fields in one surface, and the field-plus-one fallback.
  Ref<IDirectDrawSurface> tall, fallback;
  EXPECT_EQ(card.CreateOverlay(tall, 576), DD_OK);
  EXPECT_EQ(card.CreateOverlay(fallback, 289), DD_OK);

  SimCardScenario s;
  s.autoflip = false;
  Card noFlip(s);
  Ref<IDirectDrawSurface> chain, single;
  EXPECT_TRUE(FAILED(noFlip.CreateOverlay(chain)));
  EXPECT_EQ(noFlip.CreateOverlay(single, kNtscField, false), DD_OK)
      << "a single overlay the port writes into directly";
}

TEST(SimDirectDrawSurfaces, LockGivesTheFrontBufferAsUyvyRows) {
  Card card;
  ASSERT_EQ(card.CreateOverlay(card.overlay, 288), DD_OK);
  DDSURFACEDESC desc = SurfaceDesc();
  ASSERT_EQ(card.overlay->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr), DD_OK);
  ASSERT_NE(desc.lpSurface, nullptr);
  EXPECT_GE(desc.lPitch, 1440);
  EXPECT_EQ(desc.ddpfPixelFormat.dwFourCC, kFourccUyvy);
  // A fresh surface is black; the capture's 288-line grab reads rows 1 to 288 inclusive.
  const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + 288 * desc.lPitch;
  EXPECT_EQ(row[0], 0x80);
  EXPECT_EQ(row[1], 0x10);
  EXPECT_EQ(row[1438], 0x80);
  DDSURFACEDESC again = SurfaceDesc();
  EXPECT_EQ(card.overlay->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(card.overlay->Unlock(nullptr), DD_OK);
  EXPECT_EQ(card.overlay->Unlock(nullptr), DDERR_NOTLOCKED);

  // A flip makes the other buffer the one shown and locked.
  EXPECT_EQ(card.overlay->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  ASSERT_EQ(card.overlay->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_NE(again.lpSurface, desc.lpSurface);
  card.overlay->Unlock(nullptr);
}

TEST(SimDirectDrawSurfaces, UpdateOverlayRefusesShrinkingAndMisalignment) {
  Card card;
  Window video(RECT{40, 40, 40 + 720, 40 + 500}, kMagenta);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  card.KeyOn(video.get(), 0xFF00FF);
  const RECT full = {8, 12, 712, kNtscField};  // 704 x 239

  EXPECT_EQ(card.Show(full, RECT{40, 40, 40 + 352, 40 + 240}), DDERR_INVALIDPARAMS)
      << "narrower than the source";
  EXPECT_EQ(card.Show(full, RECT{40, 40, 40 + 704, 40 + 200}), DDERR_INVALIDPARAMS)
      << "shorter than the source";
  EXPECT_EQ(card.Show(RECT{0, 0, 16, 12}, RECT{0, 0, 704, 480}), DDERR_INVALIDPARAMS)
      << "beyond the largest zoom";
  // Each rule on its own rectangle: source left on 4, source width on 8, destination
  // left on 8; the destination's width is free.
  EXPECT_EQ(card.Show(RECT{6, 12, 710, kNtscField}, RECT{40, 40, 744, 520}), DDERR_XALIGN);
  EXPECT_EQ(card.Show(RECT{8, 12, 708, kNtscField}, RECT{40, 40, 744, 520}), DDERR_XALIGN);
  EXPECT_EQ(card.Show(full, RECT{44, 40, 748, 520}), DDERR_XALIGN);
  EXPECT_EQ(card.Show(full, RECT{40, 40, 745, 520}), DD_OK);
  EXPECT_EQ(card.Show(RECT{0, 0, 720, 300}, RECT{40, 40, 760, 540}), DDERR_INVALIDRECT)
      << "below the surface";

  EXPECT_EQ(card.Show(full, RECT{40, 40, 40 + 704, 40 + 239}), DD_OK) << "1:1";
  EXPECT_EQ(card.Show(full, RECT{40, 40, 40 + 704, 40 + 480}), DD_OK);
  EXPECT_EQ(card.overlay->UpdateOverlay(nullptr, card.primary.get(), nullptr, DDOVER_HIDE, nullptr),
            DD_OK);

  // The NTSC Capture Mode window: level 0 would shrink, level 1 (360 wide) fits.
  EXPECT_EQ(card.Show(RECT{4, 12, 716, kNtscField}, RECT{40, 40, 392, 280}), DDERR_INVALIDPARAMS);
  EXPECT_EQ(card.Show(RECT{4, 12, 356, kNtscField}, RECT{40, 40, 392, 280}), DD_OK);
}

TEST(SimDirectDrawSurfaces, AlignmentComesFromTheScenario) {
  SimCardScenario s;
  s.alignBoundarySrc = 2;
  s.alignSizeSrc = 2;
  s.alignBoundaryDest = 1;
  s.alignSizeDest = 16;
  Card card(s);
  const DDCAPS caps = DriverCaps(card.dd.get());
  EXPECT_EQ(caps.dwAlignBoundarySrc, 2u);
  EXPECT_EQ(caps.dwAlignSizeDest, 16u);
  Window video(RECT{40, 40, 40 + 720, 40 + 500}, kMagenta);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  card.KeyOn(video.get(), 0xFF00FF);
  EXPECT_EQ(card.Show(RECT{6, 12, 710, kNtscField}, RECT{43, 40, 43 + 720, 520}), DD_OK);
  EXPECT_EQ(card.Show(RECT{6, 12, 710, kNtscField}, RECT{43, 40, 43 + 719, 520}), DDERR_XALIGN);
}

TEST(SimDirectDrawSurfaces, DestinationKeyNeedsAKeyTheCardAccepts) {
  Window video(RECT{40, 40, 440, 340}, kMagenta);
  const RECT source = {0, 12, 360, kNtscField}, dest = {40, 40, 440, 340};
  {
    Card card;
    ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
    EXPECT_EQ(card.Show(source, dest), DDERR_NOCOLORKEY) << "no key set on the primary";
    card.KeyOn(video.get(), 0xFF00FF);
    EXPECT_EQ(card.Show(source, dest), DD_OK);
  }
  {
    SimCardScenario s;
    s.refuseColorKey = true;
    Card card(s);
    ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
    EXPECT_EQ(card.Show(source, dest), DDERR_NOCOLORKEYHW);
    EXPECT_EQ(card.Show(source, dest, DDOVER_SHOW), DD_OK) << "unkeyed still shows";
  }
}

TEST(SimDirectDrawSurfaces, ColourFillPaintsTheKeyAsTheScreenShowsIt) {
  Window video(RECT{100, 100, 300, 250}, RGB(0, 0, 0));
  struct Case {
    int bits;
    bool five55;
    DWORD key;
  };
  for (const Case& c : {Case{32, false, 0xFF00FF}, Case{24, false, 0xFF00FF},
                        Case{16, false, 0xF81F}, Case{16, true, 0x7C1F}, Case{8, false, 253}}) {
    SimCardScenario s;
    s.primaryBits = c.bits;
    s.primary555 = c.five55;
    Card card(s);
    card.KeyOn(video.get(), c.key);
    video.Paint(RECT{0, 0, 200, 150}, RGB(0, 0, 0));
    const RECT inside = {160, 160, 290, 240};
    ASSERT_TRUE(PumpUntil([&] { return Fraction(Capture(inside), RGB(0, 0, 0)) == 1.0; }, 1000));
    // A rectangle partly outside the window: the clipper keeps the fill inside it.
    ASSERT_EQ(card.FillKey(RECT{150, 150, 350, 350}, c.key), DD_OK);
    EXPECT_TRUE(PumpUntil([&] { return Fraction(Capture(inside), kMagenta) == 1.0; }, 1000))
        << c.bits << " bits, key " << c.key;
    const auto before = Capture(RECT{110, 110, 140, 140});
    EXPECT_EQ(Fraction(before, RGB(0, 0, 0)), 1.0) << "outside the filled rectangle";
    const auto outside = Capture(RECT{310, 260, 340, 340});
    EXPECT_EQ(Fraction(outside, kMagenta), 0.0) << "outside the window";
  }
}

TEST(SimDirectDrawClipper, ClipListOfAClearWindowIsItsClientRectangle) {
  Card card;
  Window video(RECT{120, 90, 520, 390}, kMagenta);
  ASSERT_EQ(card.provider.CreateClipper(0, card.clipper.Out()), DD_OK);
  ASSERT_EQ(card.clipper->SetHWnd(0, video.get()), DD_OK);
  DWORD size = 0;
  ASSERT_EQ(card.clipper->GetClipList(nullptr, nullptr, &size), DD_OK);
  EXPECT_EQ(size, sizeof(RGNDATAHEADER) + sizeof(RECT));
  std::vector<uint8_t> small(sizeof(RGNDATAHEADER));
  DWORD smallSize = static_cast<DWORD>(small.size());
  EXPECT_EQ(
      card.clipper->GetClipList(nullptr, reinterpret_cast<RGNDATA*>(small.data()), &smallSize),
      DDERR_REGIONTOOSMALL);
  const auto rects = ClipRects(card.clipper.get());
  ASSERT_EQ(rects.size(), 1u);
  const RECT client = video.ScreenRect();
  EXPECT_TRUE(EqualRect(&rects[0], &client));

  // Partly off the screen: only what is on it.
  SetWindowPos(video.get(), nullptr, -100, 600, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  const auto cut = ClipRects(card.clipper.get());
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].left, 0);
  EXPECT_EQ(cut[0].bottom, GetSystemMetrics(SM_CYSCREEN));

  ShowWindow(video.get(), SW_MINIMIZE);
  EXPECT_TRUE(ClipRects(card.clipper.get()).empty()) << "minimised";
}

TEST(SimDirectDrawClipper, ACoveringWindowIsCutOut) {
  Card card;
  Window video(RECT{120, 90, 520, 390}, kMagenta);
  Window cover(RECT{400, 300, 700, 500}, RGB(0, 160, 0));
  ASSERT_EQ(card.provider.CreateClipper(0, card.clipper.Out()), DD_OK);
  ASSERT_EQ(card.clipper->SetHWnd(0, video.get()), DD_OK);
  const auto rects = ClipRects(card.clipper.get());
  ASSERT_GT(rects.size(), 1u);
  long area = 0;
  const RECT covering = cover.ScreenRect();
  for (const RECT& r : rects) {
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &r, &covering));
    area += (r.right - r.left) * (r.bottom - r.top);
  }
  EXPECT_EQ(area, 400 * 300 - 120 * 90);

  // Behind the video window the other window cuts nothing.
  SetWindowPos(video.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(ClipRects(card.clipper.get()).size(), 1u);
}

// The port, the overlay and the scanout together, on the simulated board's engine.
class SimDirectDrawLive : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramDecoder();
    g_mouse.clear();
  }
  TestBoard board_;
};

// The card takes each structure at its size in this build only, as DirectDraw does, so a
// size written for the other bitness (the 32-bit sizes in a 64-bit build, or the reverse)
// fails here as it would on a real card.
TEST_F(SimDirectDrawLive, StructureSizesOfTheOtherBitnessAreRefused) {
#ifdef _WIN64
  constexpr DWORD kSurfaceDescOther = 108, kBltFxOther = 100, kPortDescOther = 72,
                  kPortInfoOther = 64;
#else
  constexpr DWORD kSurfaceDescOther = 120, kBltFxOther = 128, kPortDescOther = 88,
                  kPortInfoOther = 88;
#endif
  Card card;
  ASSERT_TRUE(card.primary);
  DDSURFACEDESC mode = SurfaceDesc();
  EXPECT_EQ(card.dd->GetDisplayMode(&mode), DD_OK);
  mode.dwSize = kSurfaceDescOther;
  EXPECT_EQ(card.dd->GetDisplayMode(&mode), DDERR_INVALIDPARAMS);

  RECT corner = {0, 0, 8, 8};
  DDBLTFX fx = {};
  fx.dwSize = kBltFxOther;
  EXPECT_EQ(card.primary->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx),
            DDERR_INVALIDPARAMS);
  fx.dwSize = sizeof fx;
  EXPECT_EQ(card.primary->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

  DDVIDEOPORTDESC desc = PortDesc();
  desc.dwSize = kPortDescOther;
  EXPECT_EQ(card.container->CreateVideoPort(0, &desc, card.port.Out(), nullptr),
            DDERR_INVALIDPARAMS);
  ASSERT_EQ(card.OpenPort(), DD_OK);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  DDSURFACEDESC locked = SurfaceDesc();
  locked.dwSize = kSurfaceDescOther;
  EXPECT_EQ(card.overlay->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP);
  info.dwSize = kPortInfoOther;
  EXPECT_EQ(card.port->StartVideo(&info), DDERR_INVALIDPARAMS);
  info.dwSize = sizeof info;
  EXPECT_EQ(card.port->StartVideo(&info), DD_OK);
  EXPECT_EQ(card.port->StopVideo(), DD_OK);
}

TEST_F(SimDirectDrawLive, StartVideoRefusesWhatThePortCannotDo) {
  Card card;
  ASSERT_EQ(card.OpenPort(), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP);
  EXPECT_EQ(card.port->StartVideo(&info), DDERR_INVALIDPARAMS) << "no target surface";
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  EXPECT_EQ(card.port->UpdateVideo(&info), DDERR_INVALIDPARAMS) << "not started";

  DDVIDEOPORTINFO wide = PortInfo(DDVP_AUTOFLIP | DDVP_PRESCALE, 800, kNtscField);
  EXPECT_EQ(card.port->StartVideo(&wide), DDERR_INVALIDPARAMS) << "prescaling cannot enlarge";
  DDVIDEOPORTINFO tall = PortInfo(DDVP_AUTOFLIP | DDVP_PRESCALE, 720, kNtscField + 1);
  EXPECT_EQ(card.port->StartVideo(&tall), DDERR_INVALIDPARAMS);
  DDVIDEOPORTINFO interleaved = PortInfo(DDVP_AUTOFLIP | DDVP_INTERLEAVE);
  EXPECT_EQ(card.port->StartVideo(&interleaved), DDERR_INVALIDPARAMS) << "no interleave";

  DDVIDEOPORTINFO ok = PortInfo(DDVP_AUTOFLIP | DDVP_PRESCALE, 360, 126);
  EXPECT_EQ(card.port->StartVideo(&ok), DD_OK);
  EXPECT_EQ(card.port->UpdateVideo(&info), DD_OK);
  EXPECT_EQ(card.port->StopVideo(), DD_OK);

  // A port without autoflip feeds a single overlay, which is all it can get.
  card.port.Reset();
  SimCardScenario s;
  s.autoflip = false;
  Card noFlip(s);
  ASSERT_EQ(noFlip.OpenPort(), DD_OK);
  ASSERT_EQ(noFlip.CreateOverlay(noFlip.overlay, kNtscField, false), DD_OK);
  ASSERT_EQ(noFlip.port->SetTargetSurface(noFlip.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  EXPECT_EQ(noFlip.port->StartVideo(&info), DDERR_INVALIDPARAMS);
  DDVIDEOPORTINFO plain = PortInfo(0);
  EXPECT_EQ(noFlip.port->StartVideo(&plain), DD_OK);
}

TEST_F(SimDirectDrawLive, ThePortWritesFieldsAndFlipsTheOverlay) {
  Card card;
  ASSERT_EQ(card.OpenPort(), DD_OK);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP | DDVP_PRESCALE, 360, kNtscField);
  ASSERT_EQ(card.port->StartVideo(&info), DD_OK);

  std::set<void*> buffers;
  bool picture = false, blackBeyondPrescale = true;
  for (int i = 0; i < 30; ++i) {
    Sleep(7);
    DDSURFACEDESC desc = SurfaceDesc();
    ASSERT_EQ(card.overlay->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    buffers.insert(desc.lpSurface);
    const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + 120 * desc.lPitch;
    for (int x = 1; x < 720; x += 2) picture |= row[x] > 0x20;  // luma above black
    // Prescaled to 360 pixels: the right half of each line is never written.
    blackBeyondPrescale &= row[2 * 400 + 1] == 0x10;
    card.overlay->Unlock(nullptr);
  }
  EXPECT_EQ(buffers.size(), 2u) << "the port flips between the two buffers";
  EXPECT_TRUE(picture);
  EXPECT_TRUE(blackBeyondPrescale);
}

TEST_F(SimDirectDrawLive, ScanoutShowsMovingVideoThroughTheKeyOnly) {
  Card card;
  // A window already covering part of the video window, and text drawn over the key.
  Window video(RECT{64, 60, 64 + 704, 60 + 480}, RGB(0, 0, 0));
  Window cover(RECT{600, 400, 900, 700}, RGB(0, 160, 0), false);
  SetWindowPos(cover.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  cover.Paint(RECT{0, 0, 300, 300}, RGB(0, 160, 0));
  const RECT dest = video.ScreenRect();
  card.KeyOn(video.get(), 0xFF00FF);
  ASSERT_EQ(card.FillKey(dest, 0xFF00FF), DD_OK);
  const RECT text = {100, 100, 180, 140};  // client coordinates
  video.Paint(text, RGB(255, 255, 255));
  const RECT keyed = {80, 300, 500, 500};
  ASSERT_TRUE(PumpUntil([&] { return Fraction(Capture(keyed), kMagenta) == 1.0; }, 1000))
      << "the key on the screen before the overlay";

  ASSERT_EQ(card.OpenPort(), DD_OK);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP);
  ASSERT_EQ(card.port->StartVideo(&info), DD_OK);
  ASSERT_EQ(card.Show(RECT{8, 12, 712, kNtscField}, dest), DD_OK);
  EXPECT_TRUE(PumpUntil([&] { return Fraction(Capture(keyed), kMagenta) < 0.01; }, 1500));

  const HWND scanout = ScanoutWindow();
  ASSERT_NE(scanout, nullptr);
  EXPECT_TRUE(IsWindowVisible(scanout));
  RECT placed;
  GetWindowRect(scanout, &placed);
  EXPECT_TRUE(EqualRect(&placed, &dest));
  EXPECT_TRUE(GetWindowLongA(scanout, GWL_EXSTYLE) & WS_EX_NOACTIVATE);

  // Video where the key is; the text and the covering window untouched.
  const auto first = Capture(keyed);
  EXPECT_LT(Fraction(first, kMagenta), 0.01);
  const auto textPixels = Capture(RECT{dest.left + text.left, dest.top + text.top,
                                       dest.left + text.right, dest.top + text.bottom});
  EXPECT_EQ(Fraction(textPixels, RGB(255, 255, 255)), 1.0);
  EXPECT_EQ(Fraction(Capture(RECT{620, 420, 760, 530}), RGB(0, 160, 0)), 1.0);
  Pump(500);
  const auto later = Capture(keyed);
  size_t changed = 0;
  for (size_t i = 0; i < first.size(); ++i) changed += first[i] != later[i];
  EXPECT_GT(changed, first.size() / 100) << "the picture moves";
  EXPECT_LT(Fraction(later, kMagenta), 0.01);

  // New text over the picture shows within a few fields.
  const RECT more = {500, 100, 560, 130};
  video.Paint(more, RGB(255, 255, 255));
  const RECT moreOnScreen = {dest.left + more.left, dest.top + more.top, dest.left + more.right,
                             dest.top + more.bottom};
  EXPECT_TRUE(
      PumpUntil([&] { return Fraction(Capture(moreOnScreen), RGB(255, 255, 255)) == 1.0; }, 1000));

  // Clicks on the picture reach the video window, in its own coordinates.
  SendMessageA(scanout, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 260));
  SendMessageA(scanout, WM_LBUTTONUP, 0, MAKELPARAM(250, 260));
  Pump(50);
  ASSERT_GE(g_mouse.size(), 2u);
  EXPECT_EQ(g_mouse[0].hwnd, video.get());
  EXPECT_EQ(g_mouse[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(g_mouse[0].lParam, MAKELPARAM(250, 260));
  EXPECT_EQ(g_mouse[1].message, static_cast<UINT>(WM_LBUTTONUP));

  // The clip list does not count the scanout window as covering the video window.
  const auto rects = ClipRects(card.clipper.get());
  long area = 0;
  for (const RECT& r : rects) area += (r.right - r.left) * (r.bottom - r.top);
  EXPECT_EQ(area, 704 * 480 - (768 - 600) * (540 - 400));

  // Hidden: the window's key colour again.
  ASSERT_EQ(card.overlay->UpdateOverlay(nullptr, card.primary.get(), nullptr, DDOVER_HIDE, nullptr),
            DD_OK);
  EXPECT_FALSE(IsWindowVisible(scanout));
  EXPECT_TRUE(PumpUntil([&] { return Fraction(Capture(keyed), kMagenta) == 1.0; }, 1000));

  // Without the key the overlay covers everything in its rectangle, text included.
  ASSERT_EQ(card.Show(RECT{8, 12, 712, kNtscField}, dest, DDOVER_SHOW), DD_OK);
  EXPECT_TRUE(IsWindowVisible(scanout));
  const RECT textOnScreen = {dest.left + text.left, dest.top + text.top, dest.left + text.right,
                             dest.top + text.bottom};
  EXPECT_TRUE(
      PumpUntil([&] { return Fraction(Capture(textOnScreen), RGB(255, 255, 255)) < 0.5; }, 1000));

  card.port.Reset();
  card.overlay.Reset();
  EXPECT_FALSE(IsWindow(scanout)) << "gone with its surface";
}

struct ForeignDcWatch {
  static inline std::atomic<HWND> window{nullptr};
  static inline std::atomic<DWORD> owner{0};
  static inline std::atomic<int> foreign{0};
  static inline HDC(WINAPI* original)(HWND) = nullptr;
  static HDC WINAPI GetDcHook(HWND w) {
    if (w && w == window && GetCurrentThreadId() != owner) ++foreign;
    return original(w);
  }
};

// The key pixels are read on the video window's own thread: read from another, the read
// can land in a surface the window's thread is replacing while it changes the window's
// style and size.
TEST_F(SimDirectDrawLive, NoOtherThreadReadsTheVideoWindowWhileItChanges) {
  Card card;
  Window video(RECT{64, 60, 64 + 704, 60 + 480}, RGB(0, 0, 0));
  card.KeyOn(video.get(), 0xFF00FF);
  ASSERT_EQ(card.OpenPort(), DD_OK);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP);
  ASSERT_EQ(card.port->StartVideo(&info), DD_OK);

  ForeignDcWatch::window = video.get();
  ForeignDcWatch::owner = GetCurrentThreadId();
  ForeignDcWatch::foreign = 0;
  ImportPatch patch("user32.dll", "GetDC", reinterpret_cast<void*>(&ForeignDcWatch::GetDcHook));
  ASSERT_TRUE(patch.Patched());
  ForeignDcWatch::original = reinterpret_cast<HDC(WINAPI*)(HWND)>(patch.Original());

  for (int i = 0; i < 12; ++i) {
    const int width = 704 + 30 * (i % 4), height = 300 + 20 * (i % 3);  // never shrinking
    SetWindowPos(video.get(), nullptr, 64, 60, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT dest = video.ScreenRect();
    ASSERT_EQ(card.FillKey(dest, 0xFF00FF), DD_OK);
    ASSERT_EQ(card.Show(RECT{8, 12, 712, kNtscField}, dest), DD_OK);
    Pump(120);  // more than the shape's pace: it is brought up to date between changes
  }
  EXPECT_EQ(ForeignDcWatch::foreign.load(), 0);

  // Still keyed from the window's thread: text over the key shows.
  const RECT dest = video.ScreenRect();
  const RECT text = {40, 40, 120, 80};
  video.Paint(text, RGB(255, 255, 255));
  const RECT textOnScreen = {dest.left + text.left, dest.top + text.top, dest.left + text.right,
                             dest.top + text.bottom};
  EXPECT_TRUE(
      PumpUntil([&] { return Fraction(Capture(textOnScreen), RGB(255, 255, 255)) == 1.0; }, 1000));
  ForeignDcWatch::window = nullptr;
}

TEST_F(SimDirectDrawLive, TheVideoWindowComingToTheFrontKeepsThePictureOnTop) {
  Card card;
  Window video(RECT{64, 60, 464, 360}, RGB(0, 0, 0));
  const RECT dest = video.ScreenRect();
  card.KeyOn(video.get(), 0xFF00FF);
  ASSERT_EQ(card.FillKey(dest, 0xFF00FF), DD_OK);
  const RECT inside = Inset(dest, 20);
  ASSERT_TRUE(PumpUntil([&] { return Fraction(Capture(inside), kMagenta) == 1.0; }, 1000));
  ASSERT_EQ(card.OpenPort(), DD_OK);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  ASSERT_EQ(card.port->SetTargetSurface(card.overlay.get(), DDVPTARGET_VIDEO), DD_OK);
  DDVIDEOPORTINFO info = PortInfo(DDVP_AUTOFLIP | DDVP_PRESCALE, 360, kNtscField);
  ASSERT_EQ(card.port->StartVideo(&info), DD_OK);
  ASSERT_EQ(card.Show(RECT{4, 12, 356, kNtscField}, dest), DD_OK);
  ASSERT_TRUE(PumpUntil([&] { return Fraction(Capture(inside), kMagenta) < 0.01; }, 1000));
  SetWindowPos(video.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Pump(20);
  EXPECT_TRUE(PumpUntil([&] { return Fraction(Capture(inside), kMagenta) < 0.01; }, 500));
}

TEST_F(SimDirectDrawLive, SurfacesAreLostOnceAfterTheScenariosDelay) {
  SimCardScenario s;
  s.loseSurfacesAfterSeconds = 1;
  Card card(s);
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  EXPECT_EQ(card.overlay->IsLost(), DD_OK);
  Sleep(1100);
  EXPECT_EQ(card.overlay->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC desc = SurfaceDesc();
  EXPECT_EQ(card.overlay->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(card.primary->IsLost(), DD_OK) << "only the overlay";

  // The rebuilt chain stays.
  card.overlay.Reset();
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  Sleep(1100);
  EXPECT_EQ(card.overlay->IsLost(), DD_OK);
}

TEST_F(SimDirectDrawLive, ADisplayModeChangeLosesEverySurface) {
  Card card;
  ASSERT_EQ(card.CreateOverlay(card.overlay), DD_OK);
  Window video(RECT{64, 60, 464, 360}, RGB(0, 0, 0));
  card.KeyOn(video.get(), 0xFF00FF);
  ASSERT_EQ(card.Show(RECT{4, 12, 356, kNtscField}, video.ScreenRect()), DD_OK);
  const HWND scanout = ScanoutWindow();
  ASSERT_NE(scanout, nullptr);

  SendMessageA(scanout, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
  EXPECT_EQ(card.overlay->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(card.primary->IsLost(), DDERR_SURFACELOST);
  DDBLTFX fx = {};
  fx.dwSize = sizeof fx;
  EXPECT_EQ(card.primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
  Pump(50);
  EXPECT_FALSE(IsWindowVisible(scanout)) << "a lost overlay is not shown";

  EXPECT_EQ(card.overlay->Restore(), DD_OK);
  EXPECT_EQ(card.overlay->IsLost(), DD_OK);
  Ref<IDirectDrawSurface> fresh;
  ASSERT_EQ(card.CreateOverlay(fresh), DD_OK);
  EXPECT_EQ(fresh->IsLost(), DD_OK);

  card.provider.LoseSurfaces();
  EXPECT_EQ(fresh->IsLost(), DDERR_SURFACELOST);
}

}  // namespace
