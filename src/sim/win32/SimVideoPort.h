// The simulated card's video port: it takes the decoder's connection, hands the board's
// video engine the overlay to write into, and refuses what the port cannot do.
#pragma once

#include <initializer_list>
#include <memory>

#include "sim/VideoEngine.h"
#include "sim/win32/SimCard.h"
#include "sim/win32/SimSurface.h"

namespace sim_card {

class SimVideoPort final : public ComObject<IDirectDrawVideoPort> {
 public:
  SimVideoPort(std::shared_ptr<SimCard> card, const DDVIDEOPORTDESC& desc,
               const DDVIDEOPORTCAPS& caps);

  ~SimVideoPort() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetBandwidthInfo(LPDDPIXELFORMAT format, DWORD width, DWORD height,
                                             DWORD flags, LPDDVIDEOPORTBANDWIDTH out) override;
  HRESULT STDMETHODCALLTYPE GetColorControls(void*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetInputFormats(LPDWORD count, LPDDPIXELFORMAT formats,
                                            DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormats(LPDDPIXELFORMAT input, LPDWORD count,
                                             LPDDPIXELFORMAT formats, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetFieldPolarity(LPBOOL) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVideoLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE GetVideoSignalStatus(LPDWORD status) override;
  HRESULT STDMETHODCALLTYPE SetColorControls(void*) override { return DDERR_UNSUPPORTED; }
  HRESULT STDMETHODCALLTYPE SetTargetSurface(LPDIRECTDRAWSURFACE surface, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE StartVideo(LPDDVIDEOPORTINFO info) override;
  HRESULT STDMETHODCALLTYPE StopVideo() override;
  HRESULT STDMETHODCALLTYPE UpdateVideo(LPDDVIDEOPORTINFO info) override;
  HRESULT STDMETHODCALLTYPE WaitForSync(DWORD, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }

 private:
  static HRESULT ListFormats(std::initializer_list<DDPIXELFORMAT> list, LPDWORD count,
                             LPDDPIXELFORMAT formats);

  // What the port is asked to do, as the engine takes it; anything the port cannot do
  // is refused.
  HRESULT Translate(const DDVIDEOPORTINFO* info, VideoPortSetup& setup) const;
  void Run(const VideoPortSetup& setup, bool start);

  const std::shared_ptr<SimCard> card_;
  const DDVIDEOPORTDESC desc_;
  const DDVIDEOPORTCAPS caps_;
  SimSurface* target_ = nullptr;
  VideoEngine* engine_ = nullptr;  // the engine this port started
  VideoPortSetup setup_;
  bool running_ = false;
};

}  // namespace sim_card
