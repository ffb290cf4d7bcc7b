#include "display/win32/SystemDirectDraw.h"

SystemDirectDrawProvider::~SystemDirectDrawProvider() {
  if (library_) FreeLibrary(library_);
}

bool SystemDirectDrawProvider::Load() {
  if (!tried_) {
    tried_ = true;
    // By full path: a ddraw.dll beside the program must not stand in for the system's.
    char path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    static constexpr char kName[] = "\\ddraw.dll";
    if (length > 0 && length + sizeof kName <= MAX_PATH) {
      lstrcatA(path, kName);
      library_ = LoadLibraryA(path);
    }
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
