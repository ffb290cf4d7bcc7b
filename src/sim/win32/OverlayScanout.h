// The simulated card's overlay made visible: a borderless, non-activating window at
// the overlay's destination rectangle that shows the overlay surface's source
// rectangle stretched to it.
//
// Under Wine's virtual desktop a window stacked just below the video window is not
// stacked below it on screen (only raising a window to the top reaches the X
// server), so the scanout window sits above the video window instead and is shaped
// to the video window's key-coloured, uncovered pixels inside the destination
// rectangle. On screen this is exactly a destination colour key: video where the
// window shows the key, everything else drawn over it stays visible. Mouse input on
// video pixels lands on the scanout window and is passed on to the video window.
//
// Fields are painted by a thread of the scanout's own, so the video keeps moving while
// the window's thread is busy and the video port never waits for the screen. Another
// thread paces the shape's updates; the key pixels themselves are read on the window's
// thread, which the video window shares.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

inline constexpr char kOverlayScanoutClass[] = "SimOverlayScanout";

// The client area of `window` that is visible on the screen, in screen coordinates:
// clipped by its ancestors and the screen, less every visible window above it
// (children too when it clips them), scanout windows excepted. Empty when the window
// is hidden or minimised. The caller deletes the region.
HRGN VisibleClientRegion(HWND window);

class KeyPixelReader;

enum class OverlayPixels { kUyvy, kRgb565 };

// One buffer of the overlay surface, as it lies in memory.
struct OverlayPicture {
  const uint8_t* bits = nullptr;
  int pitch = 0;
  int width = 0;
  int height = 0;
  OverlayPixels format = OverlayPixels::kUyvy;
};

struct OverlayPlacement {
  HWND videoWindow = nullptr;  // the window the overlay is keyed against
  RECT source = {};            // surface pixels
  RECT dest = {};              // screen pixels
  bool keyed = false;          // shown only where the video window shows `key`
  COLORREF key = 0;
};

class OverlayScanout {
 public:
  // The window is created hidden on the calling thread, whose message loop then runs
  // it; a display-mode change reaching it calls `onDisplayChange` there.
  explicit OverlayScanout(std::function<void()> onDisplayChange);
  ~OverlayScanout();
  OverlayScanout(const OverlayScanout&) = delete;
  OverlayScanout& operator=(const OverlayScanout&) = delete;

  // On the window's thread: shows `picture` at the placement, above the video window.
  void Show(const OverlayPlacement& placement, const OverlayPicture& picture);
  // From any thread; from another one the window disappears once its thread runs.
  void Hide();
  bool Shown() const;
  HWND Window() const { return window_; }

  // From any thread (the video port's, once per field): the new front buffer, shown
  // as soon as the painting thread gets to it. Returns at once. `picture` must stay
  // readable until the next call or until the scanout is gone.
  void Present(const OverlayPicture& picture);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ForwardMouse(UINT message, WPARAM wParam, LPARAM lParam);
  bool ConvertLocked(const OverlayPicture& picture, const RECT& source);
  void PaintLocked(HDC dc, const RECT& dest);
  void PresentLoop();
  void WakePresenter();
  bool AboveVideoWindow(HWND video) const;
  void ShapeLoop();
  void RefreshShape(WPARAM generation);

  HWND window_ = nullptr;
  DWORD thread_ = 0;
  std::function<void()> onDisplayChange_;

  std::mutex pictureMutex_;        // the converted picture and painting it
  std::vector<uint32_t> picture_;  // the source rectangle as 32-bit BGRX, top-down
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;

  mutable std::mutex mutex_;  // everything below; never held while taking pictureMutex_
  std::condition_variable wake_;
  OverlayPicture latest_;  // the newest front buffer
  bool fresh_ = false;     // not yet painted
  bool stopping_ = false;
  bool shown_ = false;
  OverlayPlacement placement_;
  WPARAM generation_ = 0;  // changes with every placement
  HRGN shape_ = nullptr;   // the last shape applied or on its way
  std::atomic<bool> shapePending_{false};
  std::unique_ptr<KeyPixelReader> reader_;  // the window's thread only
  std::atomic<bool> raisePending_{false};
  // Moves on with every field and placement for the presenter, which waits on its address:
  // waking it then stays inside the process, where a condition variable's signal goes
  // through Wine's server and held up the video port on a busy machine.
  std::atomic<uint32_t> presents_{0};
  std::thread presenter_;  // paints the fields
  std::thread shaper_;     // keeps the shape in step with the video window
};
