#include "playback/RgbCodec.h"

#include <vfw.h>

#include <cstring>
#include <cwchar>
#include <iterator>

#include "capture/Yvu9Decode.h"

namespace {

constexpr DWORD kDriverVersion = 0x00010000;

// The handler it is installed under, 0 while it is not.
DWORD g_installedHandler = 0;

int Rows(const BITMAPINFOHEADER* b) {
  return b->biHeight < 0 ? -b->biHeight : b->biHeight;
}

bool IsRgb24Input(const BITMAPINFOHEADER* in) {
  return in && in->biSize >= sizeof(BITMAPINFOHEADER) && in->biCompression == BI_RGB &&
         in->biBitCount == 24 && in->biPlanes == 1 && in->biWidth > 0 && in->biWidth <= 0x8000 &&
         in->biHeight != 0 && Rows(in) <= 0x8000;
}

// RGB of the input's size at 24 or 32 bits, rows in either order.
bool IsRgbOutputFor(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  return out && out->biSize >= sizeof(BITMAPINFOHEADER) && out->biCompression == BI_RGB &&
         (out->biBitCount == 24 || out->biBitCount == 32) && out->biWidth == in->biWidth &&
         Rows(out) == Rows(in) && out->biPlanes == 1;
}

LRESULT Query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!IsRgb24Input(in)) return ICERR_BADFORMAT;
  if (out && !IsRgbOutputFor(in, out)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT GetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (!out) return sizeof(BITMAPINFOHEADER);
  if (!IsRgb24Input(in)) return ICERR_BADFORMAT;
  *out = {};
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = Rows(in);
  out->biPlanes = 1;
  out->biBitCount = 24;
  out->biCompression = BI_RGB;
  out->biSizeImage = static_cast<DWORD>(RgbRowBytes(in->biWidth, 24) * Rows(in));
  return ICERR_OK;
}

LRESULT Decompress(const ICDECOMPRESS* d) {
  if (!d || !d->lpInput || !d->lpOutput) return ICERR_BADPARAM;
  const BITMAPINFOHEADER* in = d->lpbiInput;
  const BITMAPINFOHEADER* out = d->lpbiOutput;
  if (Query(in, out) != ICERR_OK) return ICERR_BADFORMAT;
  const int width = in->biWidth;
  const int rows = Rows(in);
  const size_t inRow = RgbRowBytes(width, 24);
  // A frame shorter than its picture (a damaged file) is not read past its end.
  if (in->biSizeImage != 0 && in->biSizeImage < inRow * rows) return ICERR_BADSIZE;
  const size_t outRow = RgbRowBytes(width, out->biBitCount);
  const auto* src = static_cast<const uint8_t*>(d->lpInput);
  auto* dst = static_cast<uint8_t*>(d->lpOutput);
  // Rows change order when one side is top-down and the other bottom-up.
  const bool flip = (in->biHeight < 0) != (out->biHeight < 0);
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = src + inRow * (flip ? rows - 1 - y : y);
    uint8_t* o = dst + outRow * y;
    if (out->biBitCount == 24) {
      std::memcpy(o, s, inRow);
      continue;
    }
    for (int x = 0; x < width; ++x, s += 3, o += 4) {
      o[0] = s[0];
      o[1] = s[1];
      o[2] = s[2];
      o[3] = 0;
    }
  }
  return ICERR_OK;
}

LRESULT GetInfo(ICINFO* info, DWORD size) {
  if (!info) return sizeof(ICINFO);
  if (size < sizeof(ICINFO)) return 0;
  *info = {};
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->fccHandler = g_installedHandler;
  info->dwVersion = kDriverVersion;
  info->dwVersionICM = ICVERSION;
  wcsncpy(info->szName, L"RGB24", std::size(info->szName) - 1);
  wcsncpy(info->szDescription, L"Corvan uncompressed RGB", std::size(info->szDescription) - 1);
  return sizeof(ICINFO);
}

}  // namespace

LRESULT CALLBACK RgbDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1,
                               LPARAM lParam2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE:
      return 1;
    case DRV_OPEN: {
      // No state per instance: any non-zero id will do.
      auto* open = reinterpret_cast<ICOPEN*>(lParam2);
      if (open && open->fccType != ICTYPE_VIDEO) return 0;
      if (open) open->dwError = ICERR_OK;
      return 1;
    }
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
    case ICM_DECOMPRESS_BEGIN:
      return lParam2 ? Query(reinterpret_cast<const BITMAPINFOHEADER*>(lParam1),
                             reinterpret_cast<const BITMAPINFOHEADER*>(lParam2))
                     : ICERR_BADFORMAT;
    case ICM_DECOMPRESS:
      return Decompress(reinterpret_cast<const ICDECOMPRESS*>(lParam1));
    case ICM_DECOMPRESS_END:
      return ICERR_OK;
  }
  if (message < DRV_USER) return DefDriverProc(driverId, driver, message, lParam1, lParam2);
  return ICERR_UNSUPPORTED;
}

bool InstallRgbDecompressor() {
  if (g_installedHandler) return true;
  // The default is the first video codec the system lists; a player that names no
  // handler gets it.
  ICINFO info = {};
  info.dwSize = sizeof(info);
  if (!ICInfo(ICTYPE_VIDEO, 0, &info) || info.fccHandler == 0) return false;
  if (!ICInstall(ICTYPE_VIDEO, info.fccHandler, reinterpret_cast<LPARAM>(RgbDriverProc), nullptr,
                 ICINSTALL_FUNCTION))
    return false;
  g_installedHandler = info.fccHandler;
  return true;
}

void RemoveRgbDecompressor() {
  if (!g_installedHandler) return;
  ICRemove(ICTYPE_VIDEO, g_installedHandler, 0);
  g_installedHandler = 0;
}
