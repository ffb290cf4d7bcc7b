#include "display/win32/SystemDirectDraw.h"

SystemDirectDrawProvider::~SystemDirectDrawProvider() {
  if (library_) FreeLibrary(library_);
}

bool SystemDirectDrawProvider::Load() {
  if (!tried_) {
    tried_ = true;
    library_ = LoadLibraryA("ddraw.dll");
    if (library_) {
      // The entry points' types are the platform's; GetProcAddress only knows FARPROC.
      createDirectDraw_ = reinterpret_cast<CreateDirectDrawFn>(
          reinterpret_cast<void*>(GetProcAddress(library_, "DirectDrawCreate")));
      createClipper_ = reinterpret_cast<CreateClipperFn>(
          reinterpret_cast<void*>(GetProcAddress(library_, "DirectDrawCreateClipper")));
    }
  }
  return createDirectDraw_ && createClipper_;
}

HRESULT SystemDirectDrawProvider::CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) {
  if (!Load()) return DDERR_NODIRECTDRAWHW;
  return createDirectDraw_(driver, object, nullptr);
}

HRESULT SystemDirectDrawProvider::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) {
  if (!Load()) return DDERR_NODIRECTDRAWHW;
  return createClipper_(flags, clipper, nullptr);
}
