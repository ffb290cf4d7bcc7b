#include "sim/win32/SimDirectDraw.h"

#include "sim/win32/SimCard.h"
#include "sim/win32/SimClipper.h"
#include "sim/win32/SimDirectDrawObject.h"

namespace {

std::unique_ptr<SimDirectDrawProvider> g_installed;

}  // namespace

SimDirectDrawProvider::SimDirectDrawProvider(const SimCardScenario& scenario, VideoEngine* engine)
    : card_(std::make_shared<sim_card::SimCard>()) {
  card_->scenario = scenario;
  card_->engine = engine;
  card_->lossArmed = scenario.loseSurfacesAfterSeconds > 0;
  card_->overlayFailuresLeft = scenario.failOverlays;
}

SimDirectDrawProvider::~SimDirectDrawProvider() = default;

HRESULT SimDirectDrawProvider::CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (driver) return DDERR_INVALIDDIRECTDRAWGUID;  // the display driver is the only one
  if (!card_->scenario.directDraw) return DDERR_NODIRECTDRAWHW;
  *object = new sim_card::SimDirectDraw(card_);
  return DD_OK;
}

HRESULT SimDirectDrawProvider::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (flags) return DDERR_INVALIDPARAMS;
  if (!card_->scenario.clipper) return DDERR_UNSUPPORTED;
  *clipper = new sim_card::SimClipper();
  return DD_OK;
}

void SimDirectDrawProvider::LoseSurfaces() {
  ++card_->displayEpoch;
}

void InstallSimulatedDirectDraw() {
  RemoveSimulatedDirectDraw();
  g_installed = std::make_unique<SimDirectDrawProvider>(LoadSimCardScenario());
  InstallDirectDrawProvider(g_installed.get());
}

void RemoveSimulatedDirectDraw() {
  InstallDirectDrawProvider(nullptr);
  g_installed.reset();
}
