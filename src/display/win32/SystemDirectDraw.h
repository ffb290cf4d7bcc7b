// The system's own DirectDraw, from ddraw.dll loaded at run time, behind the same
// provider seam the simulated card uses. Nothing is loaded until the first creation;
// a system without ddraw.dll (or without its two entry points) creates nothing.
#pragma once

#include "display/win32/DDrawApi.h"

class SystemDirectDrawProvider final : public DirectDrawProvider {
 public:
  SystemDirectDrawProvider() = default;
  // Unloads the library: every object made through it must be released by then.
  ~SystemDirectDrawProvider() override;
  SystemDirectDrawProvider(const SystemDirectDrawProvider&) = delete;
  SystemDirectDrawProvider& operator=(const SystemDirectDrawProvider&) = delete;

  HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) override;

 private:
  bool Load();

  using CreateDirectDrawFn = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
  using CreateClipperFn = HRESULT(WINAPI*)(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*);
  HMODULE library_ = nullptr;
  bool tried_ = false;
  CreateDirectDrawFn createDirectDraw_ = nullptr;
  CreateClipperFn createClipper_ = nullptr;
};
