// The simulated card's clipper: the clip list of the window it is bound to, as the
// window system has it at the moment, or a list set explicitly.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/win32/SimCard.h"

namespace sim_card {

class SimClipper final : public ComObject<IDirectDrawClipper> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) override;
  HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) override;
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override;
  HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL* changed) override;
  HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA list, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override;

 private:
  HWND window_ = nullptr;
  std::vector<uint8_t> explicitList_;
};

}  // namespace sim_card
