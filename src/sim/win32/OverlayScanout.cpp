#include "sim/win32/OverlayScanout.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>

#include "win32/WindowClass.h"

namespace {

constexpr UINT kMsgRefreshShape = WM_APP + 1;  // wParam generation
constexpr UINT kMsgRaise = WM_APP + 2;
constexpr UINT kMsgHide = WM_APP + 3;
// How often the shape is brought up to date with the video window's pixels.
constexpr std::chrono::milliseconds kShapeInterval{80};

bool IsScanoutWindow(HWND window) {
  char name[sizeof kOverlayScanoutClass + 1] = {};
  return GetClassNameA(window, name, sizeof name) > 0 &&
         std::strcmp(name, kOverlayScanoutClass) == 0;
}

// Subtracts from `region` every visible window that precedes `window` among its siblings.
void SubtractWindowsAbove(HRGN region, HWND window) {
  HRGN part = CreateRectRgn(0, 0, 0, 0);
  for (HWND above = GetWindow(window, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    if (!IsWindowVisible(above) || IsScanoutWindow(above)) continue;
    RECT r;
    if (!GetWindowRect(above, &r)) continue;
    if (GetWindowRgn(above, part) != ERROR) {
      OffsetRgn(part, r.left, r.top);
    } else {
      SetRectRgn(part, r.left, r.top, r.right, r.bottom);
    }
    CombineRgn(region, region, part, RGN_DIFF);
  }
  DeleteObject(part);
}

void IntersectWithRect(HRGN region, const RECT& rect) {
  HRGN bounds = CreateRectRgnIndirect(&rect);
  CombineRgn(region, region, bounds, RGN_AND);
  DeleteObject(bounds);
}

RECT ClientScreenRect(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// BT.601 studio-range YUV to RGB in 8.8 fixed point.
struct YuvTables {
  YuvTables() {
    for (int i = 0; i < 256; ++i) {
      y[i] = 298 * (i - 16) + 128;
      rv[i] = 409 * (i - 128);
      gu[i] = -100 * (i - 128);
      gv[i] = -208 * (i - 128);
      bu[i] = 516 * (i - 128);
    }
  }
  std::array<int, 256> y, rv, gu, gv, bu;
};
const YuvTables kYuv;

inline uint32_t Clamp8(int v) {
  v >>= 8;
  return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

inline uint32_t YuvToBgrx(int y, int u, int v) {
  const int luma = kYuv.y[y];
  return Clamp8(luma + kYuv.rv[v]) << 16 | Clamp8(luma + kYuv.gu[u] + kYuv.gv[v]) << 8 |
         Clamp8(luma + kYuv.bu[u]);
}

inline uint32_t Rgb565ToBgrx(uint16_t p) {
  const uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

bool IsButtonDown(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
         message == WM_XBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
         message == WM_MBUTTONDBLCLK || message == WM_XBUTTONDBLCLK;
}

UINT DoubleClickAsButtonDown(UINT message) {
  switch (message) {
    case WM_LBUTTONDBLCLK:
      return WM_LBUTTONDOWN;
    case WM_RBUTTONDBLCLK:
      return WM_RBUTTONDOWN;
    case WM_MBUTTONDBLCLK:
      return WM_MBUTTONDOWN;
    case WM_XBUTTONDBLCLK:
      return WM_XBUTTONDOWN;
    default:
      return message;
  }
}

}  // namespace

// Reads a window's client pixels back, into a bitmap kept from one read to the next.
class KeyPixelReader {
 public:
  KeyPixelReader() = default;
  KeyPixelReader(const KeyPixelReader&) = delete;
  KeyPixelReader& operator=(const KeyPixelReader&) = delete;
  ~KeyPixelReader() { Release(); }

  // The pixels of `window` under `area` (screen coordinates) as 0x00RRGGBB, rows top
  // down; nullptr when the window cannot be read.
  const uint32_t* Read(HWND window, const RECT& area) {
    // Another thread's window may be changing its size and surface under the read.
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return nullptr;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width != width_ || height != height_) {
      Release();
      BITMAPINFO info = {};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = width;
      info.bmiHeader.biHeight = -height;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
      memory_ = CreateCompatibleDC(nullptr);
      if (!bitmap_ || !memory_) {
        Release();
        return nullptr;
      }
      old_ = SelectObject(memory_, bitmap_);
      width_ = width;
      height_ = height;
    }
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC source = ::GetDC(window);
    if (!source) return nullptr;
    BitBlt(memory_, 0, 0, width, height, source, area.left - origin.x, area.top - origin.y,
           SRCCOPY);
    ::ReleaseDC(window, source);
    GdiFlush();
    return static_cast<const uint32_t*>(bits_);
  }

 private:
  void Release() {
    if (memory_) {
      SelectObject(memory_, old_);
      DeleteDC(memory_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
  }

  HBITMAP bitmap_ = nullptr;
  HDC memory_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

namespace {

// The part of the destination rectangle where the video window is uncovered and shows
// the key, in the scanout window's coordinates. An overlay that is appearing over a window
// with no key on it yet takes the whole uncovered destination: the program paints the key
// there just after showing it, and the key would otherwise stand on the screen until the
// next look at the pixels narrows the shape, a long while on a busy machine.
HRGN ComputeShape(const OverlayPlacement& placement, KeyPixelReader& reader, bool appearing) {
  const RECT& d = placement.dest;
  HRGN shape = VisibleClientRegion(placement.videoWindow);
  IntersectWithRect(shape, d);
  RECT area;
  if (GetRgnBox(shape, &area) != NULLREGION) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    const uint32_t* pixels = reader.Read(placement.videoWindow, area);
    const uint32_t key =
        GetRValue(placement.key) << 16 | GetGValue(placement.key) << 8 | GetBValue(placement.key);
    // Runs of key pixels, a row at a time; a row equal to the one above extends it.
    std::vector<RECT> rects;
    size_t previousFirst = 0, previousCount = 0;
    for (int y = 0; pixels && y < height; ++y) {
      const uint32_t* row = pixels + static_cast<size_t>(y) * width;
      const size_t first = rects.size();
      for (int x = 0; x < width;) {
        while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
        const int start = x;
        while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
        if (x > start)
          rects.push_back(RECT{area.left + start, area.top + y, area.left + x, area.top + y + 1});
      }
      const size_t count = rects.size() - first;
      bool same = count == previousCount && count > 0;
      for (size_t i = 0; same && i < count; ++i) {
        same = rects[first + i].left == rects[previousFirst + i].left &&
               rects[first + i].right == rects[previousFirst + i].right &&
               rects[previousFirst + i].bottom == rects[first + i].top;
      }
      if (same) {
        for (size_t i = 0; i < count; ++i)
          rects[previousFirst + i].bottom = rects[first + i].bottom;
        rects.resize(first);
      } else {
        previousFirst = first;
        previousCount = count;
      }
    }
    if (appearing && rects.empty()) {
      OffsetRgn(shape, -d.left, -d.top);
      return shape;
    }
    HRGN keyed = CreateRectRgn(0, 0, 0, 0);
    if (!rects.empty()) {
      std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
      auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
      header->dwSize = sizeof(RGNDATAHEADER);
      header->iType = RDH_RECTANGLES;
      header->nCount = static_cast<DWORD>(rects.size());
      header->rcBound = area;
      std::memcpy(data.data() + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
      if (HRGN built = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                       reinterpret_cast<const RGNDATA*>(data.data()))) {
        DeleteObject(keyed);
        keyed = built;
      }
    }
    CombineRgn(shape, shape, keyed, RGN_AND);
    DeleteObject(keyed);
  }
  OffsetRgn(shape, -d.left, -d.top);
  return shape;
}

}  // namespace

HRGN VisibleClientRegion(HWND window) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (!IsWindow(window) || !IsWindowVisible(window) || IsIconic(GetAncestor(window, GA_ROOT)))
    return region;
  const RECT client = ClientScreenRect(window);
  SetRectRgn(region, client.left, client.top, client.right, client.bottom);

  if (GetWindowLongA(window, GWL_STYLE) & WS_CLIPCHILDREN) {
    HRGN part = CreateRectRgn(0, 0, 0, 0);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      RECT r;
      if (!IsWindowVisible(child) || !GetWindowRect(child, &r)) continue;
      SetRectRgn(part, r.left, r.top, r.right, r.bottom);
      CombineRgn(region, region, part, RGN_DIFF);
    }
    DeleteObject(part);
  }

  const HWND desktop = GetDesktopWindow();
  for (HWND w = window; w;) {
    SubtractWindowsAbove(region, w);
    const HWND parent = GetAncestor(w, GA_PARENT);
    if (!parent || parent == desktop) break;
    IntersectWithRect(region, ClientScreenRect(parent));
    w = parent;
  }
  const RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                       GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                       GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  IntersectWithRect(region, screen);
  return region;
}

OverlayScanout::OverlayScanout(std::function<void()> onDisplayChange)
    : thread_(GetCurrentThreadId()),
      onDisplayChange_(std::move(onDisplayChange)),
      reader_(std::make_unique<KeyPixelReader>()) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWindowClass(kOverlayScanoutClass, WindowProc, instance, CS_DBLCLKS);
  // Transparent to the window manager's bookkeeping: Wine raises a window that the X
  // server reports exposed above every window overlapping the exposed part, so the
  // video window uncovered by this one would otherwise jump above other programs'.
  window_ =
      CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT, kOverlayScanoutClass,
                      "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
  if (window_) {
    presenter_ = std::thread([this] { PresentLoop(); });
    shaper_ = std::thread([this] { ShapeLoop(); });
  }
}

OverlayScanout::~OverlayScanout() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  WakePresenter();
  if (shaper_.joinable()) shaper_.join();
  if (presenter_.joinable()) presenter_.join();
  if (window_) {
    if (GetCurrentThreadId() == thread_) {
      DestroyWindow(window_);
    } else {
      // Only its own thread can destroy it; it must not reach this object any more.
      SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
      PostMessageA(window_, WM_CLOSE, 0, 0);
    }
  }
  if (shape_) DeleteObject(shape_);
}

bool OverlayScanout::Shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

void OverlayScanout::Show(const OverlayPlacement& placement, const OverlayPicture& picture) {
  if (!window_) return;
  bool appearing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    appearing = !shown_;
  }
  HRGN shape = placement.keyed ? ComputeShape(placement, *reader_, appearing) : nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    placement_ = placement;
    shown_ = true;
    ++generation_;
    latest_ = picture;
    fresh_ = true;
    if (shape_) DeleteObject(shape_);
    shape_ = nullptr;
    if (shape) {
      shape_ = CreateRectRgn(0, 0, 0, 0);
      CombineRgn(shape_, shape, nullptr, RGN_COPY);
    }
  }
  const RECT& d = placement.dest;
  SetWindowRgn(window_, shape, FALSE);  // the window owns the region from here; none: all of it
  SetWindowPos(window_, HWND_TOP, d.left, d.top, d.right - d.left, d.bottom - d.top,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  WakePresenter();
}

void OverlayScanout::Hide() {
  if (!window_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_) return;
    shown_ = false;
    ++generation_;
  }
  if (GetCurrentThreadId() == thread_) {
    ShowWindow(window_, SW_HIDE);
  } else {
    PostMessageA(window_, kMsgHide, 0, 0);
  }
}

void OverlayScanout::Present(const OverlayPicture& picture) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_) return;
    latest_ = picture;
    fresh_ = true;
  }
  WakePresenter();
}

void OverlayScanout::WakePresenter() {
  presents_.fetch_add(1);
  WakeByAddressSingle(&presents_);
}

// Converts and paints the newest front buffer, on a thread of its own so that neither a
// busy window thread nor a slow X server holds up the video port.
void OverlayScanout::PresentLoop() {
  for (;;) {
    uint32_t seen = presents_;
    OverlayPicture picture;
    OverlayPlacement placement;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (fresh_) {
        fresh_ = false;
        picture = latest_;
        placement = placement_;
      }
      if (!shown_) picture = {};
    }
    if (!picture.bits) {
      // Anything presented after `seen` was read ends the wait at once.
      WaitOnAddress(&presents_, &seen, sizeof seen, INFINITE);
      continue;
    }
    std::lock_guard<std::mutex> paint(pictureMutex_);
    if (ConvertLocked(picture, placement.source)) {
      if (HDC dc = ::GetDC(window_)) {
        PaintLocked(dc, placement.dest);
        ::ReleaseDC(window_, dc);
      }
    }
  }
}

bool OverlayScanout::ConvertLocked(const OverlayPicture& picture, const RECT& source) {
  if (!picture.bits) return false;
  RECT s;
  const RECT surface = {0, 0, picture.width, picture.height};
  if (!IntersectRect(&s, &source, &surface)) return false;
  const int width = s.right - s.left, height = s.bottom - s.top;
  picture_.resize(static_cast<size_t>(width) * height);
  pictureWidth_ = width;
  pictureHeight_ = height;
  uint32_t* out = picture_.data();
  for (int y = s.top; y < s.bottom; ++y) {
    const uint8_t* row = picture.bits + static_cast<ptrdiff_t>(y) * picture.pitch;
    if (picture.format == OverlayPixels::kRgb565) {
      for (int x = s.left; x < s.right; ++x)
        *out++ = Rgb565ToBgrx(row[2 * x] | row[2 * x + 1] << 8);
      continue;
    }
    for (int x = s.left; x < s.right; ++x) {
      const uint8_t* pair = row + 4 * (x >> 1);  // U Y0 V Y1
      *out++ = YuvToBgrx(pair[(x & 1) ? 3 : 1], pair[0], pair[2]);
    }
  }
  return true;
}

void OverlayScanout::PaintLocked(HDC dc, const RECT& d) {
  if (picture_.empty()) {
    // Before the port's first field the overlay shows a black buffer, as a card's does.
    const RECT all = {0, 0, d.right - d.left, d.bottom - d.top};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pictureWidth_;
  info.bmiHeader.biHeight = -pictureHeight_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, 0, 0, d.right - d.left, d.bottom - d.top, 0, 0, pictureWidth_, pictureHeight_,
                picture_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

bool OverlayScanout::AboveVideoWindow(HWND video) const {
  const HWND root = GetAncestor(video, GA_ROOT);
  if (!root) return true;
  for (HWND w = GetWindow(root, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) {
    if (w == window_) return true;
  }
  return false;
}

// Keeps the shape and the stacking in step with the video window. The video window's
// pixels are read on its own thread, the one this window shares with it: read from here
// they could land in a surface that thread is replacing while it resizes the window. This
// thread only asks, at most one request of each kind under way, so a busy window thread
// is never flooded and nothing here ever waits for it.
void OverlayScanout::ShapeLoop() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  HWND lastForeground = nullptr;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kShapeInterval);
    if (stopping_ || !shown_) continue;
    const OverlayPlacement placement = placement_;
    const WPARAM generation = generation_;
    lock.unlock();
    if (placement.keyed && !shapePending_.exchange(true)) {
      if (!PostMessageA(window_, kMsgRefreshShape, generation, 0)) shapePending_ = false;
    }
    // Activating the video window raises it on the X server, above this window, while
    // Wine's own stacking may still list this window first (so the check below passes):
    // when the tuner panel closes and hands the activation to the video window, say.
    const HWND foreground = GetForegroundWindow();
    const bool activated = foreground != lastForeground && foreground &&
                           foreground == GetAncestor(placement.videoWindow, GA_ROOT);
    lastForeground = foreground;
    const bool raise = activated || !AboveVideoWindow(placement.videoWindow);
    lock.lock();
    // Sent, not posted: a thread that only looks for keys, as a capture does between
    // fields, still handles it, where a posted one would wait until the capture ends.
    if (raise && shown_ && !raisePending_.exchange(true)) {
      if (!SendNotifyMessageA(window_, kMsgRaise, 0, 0)) raisePending_ = false;
    }
  }
}

// On the window's thread: the shape from the video window's pixels as they are now.
void OverlayScanout::RefreshShape(WPARAM generation) {
  OverlayPlacement placement;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_ || generation != generation_ || !placement_.keyed) return;
    placement = placement_;
  }
  HRGN shape = ComputeShape(placement, *reader_, false);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shape_ && EqualRgn(shape, shape_)) {
      DeleteObject(shape);
      return;
    }
    if (!shape_) shape_ = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(shape_, shape, nullptr, RGN_COPY);
  }
  SetWindowRgn(window_, shape, TRUE);  // the window owns the region from here
}

void OverlayScanout::ForwardMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND video;
  POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shown_) return;
    video = placement_.videoWindow;
    p.x += placement_.dest.left;
    p.y += placement_.dest.top;
  }
  // A real overlay is no window: the click reaches the video window only as input would,
  // so not while a modal loop has disabled it.
  if (!IsWindow(video) || !IsWindowEnabled(video)) return;
  ScreenToClient(video, &p);
  if (IsButtonDown(message)) {
    // A click on the picture is a click on the video window: it comes to the front,
    // and the picture with it.
    const HWND root = GetAncestor(video, GA_ROOT);
    if (GetForegroundWindow() != root) SetForegroundWindow(root);
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!(GetClassLongPtrA(video, GCL_STYLE) & CS_DBLCLKS))
      message = DoubleClickAsButtonDown(message);
  }
  PostMessageA(video, message, wParam, MAKELPARAM(p.x, p.y));
}

LRESULT CALLBACK OverlayScanout::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<OverlayScanout*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCCREATE) self->window_ = window;
  return self->Handle(window, message, wParam, lParam);
}

LRESULT OverlayScanout::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        HWND video;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          video = placement_.videoWindow;
        }
        HCURSOR cursor =
            video ? reinterpret_cast<HCURSOR>(GetClassLongPtrA(video, GCLP_HCURSOR)) : nullptr;
        SetCursor(cursor ? cursor : LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
      ForwardMouse(message, wParam, lParam);
      return message >= WM_XBUTTONDOWN && message <= WM_XBUTTONDBLCLK ? TRUE : 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      bool shown;
      RECT dest;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        shown = shown_;
        dest = placement_.dest;
      }
      if (shown) {
        std::lock_guard<std::mutex> paint(pictureMutex_);
        PaintLocked(dc, dest);
      }
      EndPaint(window_, &ps);
      return 0;
    }
    case kMsgRefreshShape:
      shapePending_ = false;
      RefreshShape(wParam);
      return 0;
    case kMsgRaise:
      raisePending_ = false;
      if (Shown())
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      return 0;
    case kMsgHide:
      if (!Shown()) ShowWindow(window_, SW_HIDE);
      return 0;
    case WM_DISPLAYCHANGE:
      if (onDisplayChange_) onDisplayChange_();
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
