#include "sim/win32/SimClipper.h"

#include "sim/win32/OverlayScanout.h"

namespace sim_card {

namespace {

constexpr GUID kIidDirectDrawClipper = {
    0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

}  // namespace

HRESULT STDMETHODCALLTYPE SimClipper::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, kIidDirectDrawClipper))
    return E_NOINTERFACE;
  *out = static_cast<IDirectDrawClipper*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE SimClipper::GetClipList(LPRECT rect, LPRGNDATA list, LPDWORD size) {
  if (!size) return DDERR_INVALIDPARAMS;
  HRGN region = nullptr;
  if (window_) {
    region = VisibleClientRegion(window_);
  } else if (!explicitList_.empty()) {
    region = ExtCreateRegion(nullptr, static_cast<DWORD>(explicitList_.size()),
                             reinterpret_cast<const RGNDATA*>(explicitList_.data()));
  }
  if (!region) return DDERR_NOCLIPLIST;
  if (rect) {
    HRGN limit = CreateRectRgnIndirect(rect);
    CombineRgn(region, region, limit, RGN_AND);
    DeleteObject(limit);
  }
  const DWORD needed = GetRegionData(region, 0, nullptr);
  HRESULT result = DD_OK;
  if (list) {
    if (*size < needed) {
      result = DDERR_REGIONTOOSMALL;
    } else if (!GetRegionData(region, needed, list)) {
      result = DDERR_GENERIC;
    }
  }
  *size = needed;
  DeleteObject(region);
  return result;
}

HRESULT STDMETHODCALLTYPE SimClipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimClipper::Initialize(LPDIRECTDRAW, DWORD) {
  return DDERR_ALREADYINITIALIZED;
}

HRESULT STDMETHODCALLTYPE SimClipper::IsClipListChanged(WINBOOL* changed) {
  if (!changed) return DDERR_INVALIDPARAMS;
  *changed = TRUE;  // windows move at any time; the list is always worth reading again
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimClipper::SetClipList(LPRGNDATA list, DWORD flags) {
  if (flags) return DDERR_INVALIDPARAMS;
  if (window_) return DDERR_CLIPPERISUSINGHWND;
  if (!list) {
    explicitList_.clear();
    return DD_OK;
  }
  const size_t bytes = sizeof(RGNDATAHEADER) + list->rdh.nCount * sizeof(RECT);
  const auto* begin = reinterpret_cast<const uint8_t*>(list);
  explicitList_.assign(begin, begin + bytes);
  return DD_OK;
}

HRESULT STDMETHODCALLTYPE SimClipper::SetHWnd(DWORD flags, HWND window) {
  if (flags || (window && !IsWindow(window))) return DDERR_INVALIDPARAMS;
  window_ = window;
  return DD_OK;
}

}  // namespace sim_card
