#include "playback/Yvu9Codec.h"

#include <vfw.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>

#include "capture/Yvu9Decode.h"
#include "shared/FourCc.h"

namespace {

constexpr DWORD kDriverVersion = 0x00010000;

struct Instance {
  DWORD OutputBits = 0;  // set by ICM_DECOMPRESS_BEGIN
};

bool IsYvu9Input(const BITMAPINFOHEADER* in) {
  if (!in || in->biSize < sizeof(BITMAPINFOHEADER)) return false;
  // Some writers store the code in lower case.
  const DWORD code = in->biCompression;
  if (code != kFourccYvu9 && code != mmioFOURCC('y', 'v', 'u', '9')) return false;
  return IsYvu9Geometry(in->biWidth, in->biHeight);
}

// Bottom-up RGB of the input's size at 24 or 32 bits.
bool IsRgbOutputFor(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  return out && out->biSize >= sizeof(BITMAPINFOHEADER) && out->biCompression == BI_RGB &&
         (out->biBitCount == 24 || out->biBitCount == 32) && out->biWidth == in->biWidth &&
         out->biHeight == in->biHeight && out->biPlanes == 1;
}

DWORD RgbImageBytes(const BITMAPINFOHEADER* in, int bits) {
  return static_cast<DWORD>(RgbRowBytes(in->biWidth, bits) * in->biHeight);
}

LRESULT Query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!IsYvu9Input(in)) return ICERR_BADFORMAT;
  if (out && !IsRgbOutputFor(in, out)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT GetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (!out) return sizeof(BITMAPINFOHEADER);
  if (!IsYvu9Input(in)) return ICERR_BADFORMAT;
  *out = {};
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = in->biHeight;
  out->biPlanes = 1;
  out->biBitCount = 24;
  out->biCompression = BI_RGB;
  out->biSizeImage = RgbImageBytes(in, 24);
  return ICERR_OK;
}

LRESULT Decompress(Instance* self, const ICDECOMPRESS* d) {
  if (!d || !d->lpInput || !d->lpOutput) return ICERR_BADPARAM;
  const BITMAPINFOHEADER* in = d->lpbiInput;
  const BITMAPINFOHEADER* out = d->lpbiOutput;
  if (Query(in, out) != ICERR_OK) return ICERR_BADFORMAT;
  if (self && self->OutputBits && out->biBitCount != self->OutputBits) return ICERR_BADFORMAT;
  // A frame cut short (a truncated file) is not read past its end.
  if (in->biSizeImage != 0 && in->biSizeImage < Yvu9FrameBytes(in->biWidth, in->biHeight))
    return ICERR_BADSIZE;
  if (!Yvu9ToRgb(static_cast<const uint8_t*>(d->lpInput), in->biWidth, in->biHeight,
                 out->biBitCount, static_cast<uint8_t*>(d->lpOutput)))
    return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT GetInfo(ICINFO* info, DWORD size) {
  if (!info) return sizeof(ICINFO);
  if (size < sizeof(ICINFO)) return 0;
  *info = {};
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->fccHandler = kFourccYvu9;
  info->dwVersion = kDriverVersion;
  info->dwVersionICM = ICVERSION;
  wcsncpy(info->szName, L"YVU9", std::size(info->szName) - 1);
  wcsncpy(info->szDescription, L"Corvan YVU9 planar decompressor",
          std::size(info->szDescription) - 1);
  return sizeof(ICINFO);
}

}  // namespace

LRESULT CALLBACK Yvu9DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1,
                                LPARAM lParam2) {
  auto* self = reinterpret_cast<Instance*>(driverId);
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_OPEN: {
      // Opened as a video codec, or with no ICOPEN at all (configuration).
      auto* open = reinterpret_cast<ICOPEN*>(lParam2);
      if (open && open->fccType != ICTYPE_VIDEO) return 0;
      auto* instance = new (std::nothrow) Instance;
      if (open) open->dwError = instance ? ICERR_OK : ICERR_MEMORY;
      return reinterpret_cast<LRESULT>(instance);
    }
    case DRV_CLOSE:
      delete self;
      return 1;
    case DRV_QUERYCONFIGURE:
      return 0;
    case DRV_CONFIGURE:
      return DRVCNF_CANCEL;
    case ICM_GETINFO:
      return GetInfo(reinterpret_cast<ICINFO*>(lParam1), static_cast<DWORD>(lParam2));
    case ICM_DECOMPRESS_QUERY:
      return Query(reinterpret_cast<const BITMAPINFOHEADER*>(lParam1),
                   reinterpret_cast<const BITMAPINFOHEADER*>(lParam2));
    case ICM_DECOMPRESS_GET_FORMAT:
      return GetFormat(reinterpret_cast<const BITMAPINFOHEADER*>(lParam1),
                       reinterpret_cast<BITMAPINFOHEADER*>(lParam2));
    case ICM_DECOMPRESS_BEGIN: {
      const auto* in = reinterpret_cast<const BITMAPINFOHEADER*>(lParam1);
      const auto* out = reinterpret_cast<const BITMAPINFOHEADER*>(lParam2);
      if (!out || Query(in, out) != ICERR_OK) return ICERR_BADFORMAT;
      if (self) self->OutputBits = out->biBitCount;
      return ICERR_OK;
    }
    case ICM_DECOMPRESS:
      return Decompress(self, reinterpret_cast<const ICDECOMPRESS*>(lParam1));
    case ICM_DECOMPRESS_END:
      if (self) self->OutputBits = 0;
      return ICERR_OK;
  }
  if (message < DRV_USER) return DefDriverProc(driverId, driver, message, lParam1, lParam2);
  return ICERR_UNSUPPORTED;
}

bool InstallYvu9Decompressor() {
  return ICInstall(ICTYPE_VIDEO, kFourccYvu9, reinterpret_cast<LPARAM>(Yvu9DriverProc), nullptr,
                   ICINSTALL_FUNCTION) != FALSE;
}

void RemoveYvu9Decompressor() {
  ICRemove(ICTYPE_VIDEO, kFourccYvu9, 0);
}
