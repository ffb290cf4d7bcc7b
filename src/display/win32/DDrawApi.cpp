#include "display/win32/DDrawApi.h"

namespace {
DirectDrawProvider* g_provider = nullptr;
}

void InstallDirectDrawProvider(DirectDrawProvider* provider) {
  g_provider = provider;
}

HRESULT DdDirectDrawCreate(GUID* driver, LPDIRECTDRAW* object, IUnknown* outer) {
  if (object) *object = nullptr;
  if (!object || outer) return DDERR_INVALIDPARAMS;
  if (!g_provider) return DDERR_NODIRECTDRAWHW;
  return g_provider->CreateDirectDraw(driver, object);
}

HRESULT DdDirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
  if (clipper) *clipper = nullptr;
  if (!clipper || outer) return DDERR_INVALIDPARAMS;
  if (!g_provider) return DDERR_NODIRECTDRAWHW;
  return g_provider->CreateClipper(flags, clipper);
}
