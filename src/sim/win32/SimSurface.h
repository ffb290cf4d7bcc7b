// The simulated card's surfaces: the primary (the screen, with the destination colour
// key and the clipper) and the overlay's front and back buffers.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "sim/win32/OverlayScanout.h"
#include "sim/win32/SimCard.h"
#include "sim/win32/SimOverlayChain.h"

namespace sim_card {

class SimSurface;

// The card's surface object behind a surface interface, or nullptr for anyone else's.
SimSurface* AsSimSurface(IUnknown* object);

class SimSurface final : public ComObject<IDirectDrawSurface> {
 public:
  enum class Kind { kPrimary, kOverlayFront, kOverlayBack };

  // The primary; `primaries` counts the card's live primaries.
  SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<std::atomic<int>> primaries);
  // An overlay buffer; the front one makes its back buffer when the chain has one.
  SimSurface(std::shared_ptr<SimCard> card, std::shared_ptr<OverlayChain> chain, Kind kind);
  ~SimSurface() override;

  Kind SurfaceKind() const { return kind_; }
  OverlayChain* Chain() const { return chain_.get(); }

  // Primary surface.
  bool PrimaryLost();
  RECT ScreenRect() const { return RECT{0, 0, mode_.width, mode_.height}; }
  std::optional<COLORREF> DestKeyColour() const;
  COLORREF ScreenColourOf(DWORD value) const { return ScreenColour(format_, value); }
  HWND ClipperWindow() const;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

  // IDirectDrawSurface
  HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override;
  HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT, DWORD flags,
                                LPDDBLTFX fx) override;
  HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override;
  HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override;
  HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override;
  HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context,
                                                 LPDDENUMSURFACESCALLBACK callback) override;
  HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override;
  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD) override;
  HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override;
  HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override;
  HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* out) override;
  HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT STDMETHODCALLTYPE GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG x, LPLONG y) override;
  HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override;
  HRESULT STDMETHODCALLTYPE IsLost() override;
  HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Restore() override;
  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
  HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG x, LONG y) override;
  HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override;
  HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE destSurface,
                                          LPRECT destRect, DWORD flags, LPDDOVERLAYFX fx) override;
  HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override;

 private:
  DWORD Caps() const;
  void Describe(DDSURFACEDESC& desc) const;

  const std::shared_ptr<SimCard> card_;
  const Kind kind_;
  std::shared_ptr<OverlayChain> chain_;
  SimSurface* back_ = nullptr;  // the front's attached back buffer
  std::shared_ptr<std::atomic<int>> primaries_;
  ScreenMode mode_;
  DDPIXELFORMAT format_;
  uint32_t epoch_ = 0;
  bool primaryLost_ = false;
  std::optional<DWORD> destKey_;
  IDirectDrawClipper* clipper_ = nullptr;
  bool locked_ = false;
  bool shown_ = false;
  OverlayPlacement placement_;
  RECT screenOfPlacement_ = {};
};

}  // namespace sim_card
