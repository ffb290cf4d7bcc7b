// The simulated card's DirectDraw object, which is also its video port container: one
// object answers both interfaces. IDirectDraw lives in SimDirectDrawObject.cpp, the
// container in SimVideoPortContainer.cpp.
#pragma once

#include <atomic>
#include <memory>

#include "sim/win32/SimCard.h"

namespace sim_card {

class SimDirectDraw final : public ComObject<IDirectDraw, IDDVideoPortContainer> {
 public:
  explicit SimDirectDraw(std::shared_ptr<SimCard> card) : card_(std::move(card)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

  // IDirectDraw
  HRESULT STDMETHODCALLTYPE Compact() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out,
                                          IUnknown* outer) override;
  HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                                          IUnknown*) override;
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                          IUnknown* outer) override;
  HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override;
  HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                             LPDDENUMMODESCALLBACK) override;
  HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                         LPDDENUMSURFACESCALLBACK) override;
  HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driver, LPDDCAPS emulation) override;
  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override;
  HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) override;
  HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override;
  HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) override;
  HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD) override;
  HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override;

  // IDDVideoPortContainer
  HRESULT STDMETHODCALLTYPE CreateVideoPort(DWORD flags, LPDDVIDEOPORTDESC desc,
                                            LPDIRECTDRAWVIDEOPORT* out, IUnknown* outer) override;
  HRESULT STDMETHODCALLTYPE EnumVideoPorts(DWORD, LPDDVIDEOPORTCAPS wanted, LPVOID context,
                                           LPDDENUMVIDEOCALLBACK callback) override;
  HRESULT STDMETHODCALLTYPE GetVideoPortConnectInfo(DWORD portId, LPDWORD count,
                                                    LPDDVIDEOPORTCONNECT list) override;
  HRESULT STDMETHODCALLTYPE QueryVideoPortStatus(DWORD portId, LPDDVIDEOPORTSTATUS status) override;

 private:
  HRESULT CreateOverlay(const DDSURFACEDESC& desc, LPDIRECTDRAWSURFACE* out);
  DDVIDEOPORTCAPS PortCaps() const;
  DDCAPS DriverCaps() const;
  static DDCAPS EmulationCaps();
  static void Fill(LPDDCAPS out, const DDCAPS& caps);

  const std::shared_ptr<SimCard> card_;
  const std::shared_ptr<std::atomic<int>> primaries_ = std::make_shared<std::atomic<int>>(0);
  DWORD cooperativeLevel_ = 0;
};

}  // namespace sim_card
