// The simulated display card behind the DirectDraw-style API: a driver whose
// DirectDraw object, video port container, video port, surfaces and clipper answer
// the way a card with a video port and a hardware overlay does. The video port feeds
// the overlay from the board's video engine; the overlay is made visible by an
// OverlayScanout window.
//
// Threads: every call comes from one GUI thread (the one that creates the overlay
// surface runs its scanout window); only the video engine's thread writes fields.
#pragma once

#include <memory>

#include "display/win32/DDrawApi.h"
#include "sim/win32/SimCardScenario.h"

class VideoEngine;
namespace sim_card {
struct SimCard;
}

class SimDirectDrawProvider final : public DirectDrawProvider {
 public:
  // `engine`: where the video port's fields come from; nullptr: the engine of the
  // simulated board installed behind the ports when the port is created.
  explicit SimDirectDrawProvider(const SimCardScenario& scenario, VideoEngine* engine = nullptr);
  ~SimDirectDrawProvider() override;

  HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) override;

  // What a display-mode change does to the card: every surface made so far is lost.
  void LoseSurfaces();

 private:
  std::shared_ptr<sim_card::SimCard> card_;
};

// The program's card: its scenario from the simulator's registry key, fields from the
// board installed behind the ports. Installed behind DdDirectDrawCreate and
// DdDirectDrawCreateClipper until removed.
void InstallSimulatedDirectDraw();
void RemoveSimulatedDirectDraw();
