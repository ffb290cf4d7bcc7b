// The DirectDraw surface of the display engine: the platform's own DirectDraw
// interfaces and structures, plus the video-port extension, which the platform
// headers do not carry and which is declared here from its public documentation.
//
// The display code reaches DirectDraw only through DdDirectDrawCreate and
// DdDirectDrawCreateClipper; whoever provides the card (the simulated board by
// default, a recording fake in tests) installs itself behind them.
#pragma once

#ifndef DIRECTDRAW_VERSION
#define DIRECTDRAW_VERSION 0x0700  // DDCAPS of 380 bytes
#endif
#include <windows.h>
#include <ddraw.h>

#include "shared/FourCc.h"

// ---------------------------------------------------------------------------
// Video-port structures, with the platform's layout in either bitness: the reserved
// fields declared pointer-sized there are pointer-sized here, so a 64-bit build has
// larger structures than the 32-bit sizes a 32-bit driver checks dwSize against.

struct DDVIDEOPORTCONNECT {
  DWORD dwSize;
  DWORD dwPortWidth;
  GUID guidTypeID;
  DWORD dwFlags;
  ULONG_PTR dwReserved1;
};
using LPDDVIDEOPORTCONNECT = DDVIDEOPORTCONNECT*;

struct DDVIDEOPORTCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwMaxWidth;
  DWORD dwMaxVBIWidth;
  DWORD dwMaxHeight;
  DWORD dwVideoPortID;
  DWORD dwCaps;
  DWORD dwFX;
  DWORD dwNumAutoFlipSurfaces;
  DWORD dwAlignVideoPortBoundary;
  DWORD dwAlignVideoPortPrescaleWidth;
  DWORD dwAlignVideoPortCropBoundary;
  DWORD dwAlignVideoPortCropWidth;
  DWORD dwPreshrinkXStep;
  DWORD dwPreshrinkYStep;
  DWORD dwNumVBIAutoFlipSurfaces;
  DWORD dwNumPreferredAutoflip;
  WORD wNumFilterTapsX;
  WORD wNumFilterTapsY;
};
using LPDDVIDEOPORTCAPS = DDVIDEOPORTCAPS*;

struct DDVIDEOPORTDESC {
  DWORD dwSize;
  DWORD dwFieldWidth;
  DWORD dwVBIWidth;
  DWORD dwFieldHeight;
  DWORD dwMicrosecondsPerField;
  DWORD dwMaxPixelsPerSecond;
  DWORD dwVideoPortID;
  DWORD dwReserved1;
  DDVIDEOPORTCONNECT VideoPortType;
  ULONG_PTR dwReserved2;
  ULONG_PTR dwReserved3;
};
using LPDDVIDEOPORTDESC = DDVIDEOPORTDESC*;

struct DDVIDEOPORTINFO {
  DWORD dwSize;
  DWORD dwOriginX;
  DWORD dwOriginY;
  DWORD dwVPFlags;
  RECT rCrop;
  DWORD dwPrescaleWidth;
  DWORD dwPrescaleHeight;
  LPDDPIXELFORMAT lpddpfInputFormat;
  LPDDPIXELFORMAT lpddpfVBIInputFormat;
  LPDDPIXELFORMAT lpddpfVBIOutputFormat;
  DWORD dwVBIHeight;
  ULONG_PTR dwReserved1;
  ULONG_PTR dwReserved2;
};
using LPDDVIDEOPORTINFO = DDVIDEOPORTINFO*;

struct DDVIDEOPORTBANDWIDTH {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwOverlay;
  DWORD dwColorkey;
  DWORD dwYInterpolate;
  DWORD dwYInterpAndColorkey;
  ULONG_PTR dwReserved1;
  ULONG_PTR dwReserved2;
};
using LPDDVIDEOPORTBANDWIDTH = DDVIDEOPORTBANDWIDTH*;

struct DDVIDEOPORTSTATUS {
  DWORD dwSize;
  BOOL bInUse;
  DWORD dwFlags;
  DWORD dwReserved1;
  DDVIDEOPORTCONNECT VideoPortType;
  ULONG_PTR dwReserved2;
  ULONG_PTR dwReserved3;
};
using LPDDVIDEOPORTSTATUS = DDVIDEOPORTSTATUS*;

// The sizes a driver checks dwSize against, which is what every dwSize here is set from.
static_assert(sizeof(DDCAPS) == 380);
static_assert(sizeof(DDPIXELFORMAT) == 32);
static_assert(sizeof(DDVIDEOPORTCAPS) == 72);
#ifdef _WIN64
static_assert(sizeof(DDSURFACEDESC) == 120);
static_assert(sizeof(DDBLTFX) == 128);
static_assert(sizeof(DDOVERLAYFX) == 72);
static_assert(sizeof(DDVIDEOPORTCONNECT) == 40);
static_assert(sizeof(DDVIDEOPORTDESC) == 88);
static_assert(sizeof(DDVIDEOPORTINFO) == 88);
static_assert(sizeof(DDVIDEOPORTBANDWIDTH) == 40);
static_assert(sizeof(DDVIDEOPORTSTATUS) == 72);
#else
static_assert(sizeof(DDSURFACEDESC) == 108);
static_assert(sizeof(DDBLTFX) == 100);
static_assert(sizeof(DDOVERLAYFX) == 56);
static_assert(sizeof(DDVIDEOPORTCONNECT) == 32);
static_assert(sizeof(DDVIDEOPORTDESC) == 72);
static_assert(sizeof(DDVIDEOPORTINFO) == 64);
static_assert(sizeof(DDVIDEOPORTBANDWIDTH) == 32);
static_assert(sizeof(DDVIDEOPORTSTATUS) == 56);
#endif

// Connection types and flags.
// {FCA326A0-DA60-11CF-9B06-00A0C903A3B8}
inline constexpr GUID DDVPTYPE_CCIR656 = {
    0xFCA326A0, 0xDA60, 0x11CF, {0x9B, 0x06, 0x00, 0xA0, 0xC9, 0x03, 0xA3, 0xB8}};
// {1352A560-DA61-11CF-9B06-00A0C903A3B8}
inline constexpr GUID DDVPTYPE_BROOKTREE = {
    0x1352A560, 0xDA61, 0x11CF, {0x9B, 0x06, 0x00, 0xA0, 0xC9, 0x03, 0xA3, 0xB8}};
// {6C142760-A733-11CE-A521-0020AF0BE560}
inline constexpr GUID IID_IDDVideoPortContainer = {
    0x6C142760, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
// {B36D93E0-2B43-11CF-A2DE-00AA00B93356}
inline constexpr GUID IID_IDirectDrawVideoPort = {
    0xB36D93E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};

inline constexpr DWORD DDVPCONNECT_DOUBLECLOCK = 0x00000001;
inline constexpr DWORD DDVPCONNECT_VACT = 0x00000002;
inline constexpr DWORD DDVPCONNECT_INVERTPOLARITY = 0x00000004;
inline constexpr DWORD DDVPCONNECT_DISCARDSVREFDATA = 0x00000008;
inline constexpr DWORD DDVPCONNECT_HALFLINE = 0x00000010;
inline constexpr DWORD DDVPCONNECT_INTERLACED = 0x00000020;
inline constexpr DWORD DDVPCONNECT_SHAREEVEN = 0x00000040;
inline constexpr DWORD DDVPCONNECT_SHAREODD = 0x00000080;

inline constexpr DWORD DDVPD_WIDTH = 0x00000001;
inline constexpr DWORD DDVPD_HEIGHT = 0x00000002;
inline constexpr DWORD DDVPD_ID = 0x00000004;
inline constexpr DWORD DDVPD_CAPS = 0x00000008;
inline constexpr DWORD DDVPD_FX = 0x00000010;
inline constexpr DWORD DDVPD_AUTOFLIP = 0x00000020;
inline constexpr DWORD DDVPD_ALIGN = 0x00000040;
inline constexpr DWORD DDVPD_PREFERREDAUTOFLIP = 0x00000080;
inline constexpr DWORD DDVPD_FILTERQUALITY = 0x00000100;

inline constexpr DWORD DDVPCREATE_VBIONLY = 0x00000001;
inline constexpr DWORD DDVPCREATE_VIDEOONLY = 0x00000002;

inline constexpr DWORD DDVPCAPS_AUTOFLIP = 0x00000001;
inline constexpr DWORD DDVPCAPS_INTERLACED = 0x00000002;
inline constexpr DWORD DDVPCAPS_NONINTERLACED = 0x00000004;

inline constexpr DWORD DDVPFX_CROPTOPDATA = 0x00000001;
inline constexpr DWORD DDVPFX_CROPX = 0x00000002;
inline constexpr DWORD DDVPFX_CROPY = 0x00000004;
inline constexpr DWORD DDVPFX_INTERLEAVE = 0x00000008;
inline constexpr DWORD DDVPFX_PRESHRINKX = 0x00000020;
inline constexpr DWORD DDVPFX_PRESHRINKY = 0x00000040;

inline constexpr DWORD DDVP_AUTOFLIP = 0x00000001;
inline constexpr DWORD DDVP_CONVERT = 0x00000002;
inline constexpr DWORD DDVP_CROP = 0x00000004;
inline constexpr DWORD DDVP_INTERLEAVE = 0x00000008;
inline constexpr DWORD DDVP_MIRRORLEFTRIGHT = 0x00000010;
inline constexpr DWORD DDVP_MIRRORUPDOWN = 0x00000020;
inline constexpr DWORD DDVP_PRESCALE = 0x00000040;

inline constexpr DWORD DDVPFORMAT_VIDEO = 0x00000001;
inline constexpr DWORD DDVPFORMAT_VBI = 0x00000002;

inline constexpr DWORD DDVPTARGET_VIDEO = 0x00000001;
inline constexpr DWORD DDVPTARGET_VBI = 0x00000002;

inline constexpr DWORD DDVPB_VIDEOPORT = 0x00000001;
inline constexpr DWORD DDVPB_OVERLAY = 0x00000002;
inline constexpr DWORD DDVPB_TYPE = 0x00000004;

inline constexpr DWORD DDVPBCAPS_SOURCE = 0x00000001;
inline constexpr DWORD DDVPBCAPS_DESTINATION = 0x00000002;

inline constexpr DWORD DDVPSQ_NOSIGNAL = 0x00000001;
inline constexpr DWORD DDVPSQ_SIGNALOK = 0x00000002;

inline constexpr DWORD DDVPWAIT_BEGIN = 0x00000001;
inline constexpr DWORD DDVPWAIT_END = 0x00000002;
inline constexpr DWORD DDVPWAIT_LINE = 0x00000003;

struct IDirectDrawVideoPort;
using LPDIRECTDRAWVIDEOPORT = IDirectDrawVideoPort*;
using LPDDENUMVIDEOCALLBACK = HRESULT(WINAPI*)(LPDDVIDEOPORTCAPS, LPVOID);

// ---------------------------------------------------------------------------
// Video-port interfaces, methods in vtable order: the order is the binary interface.

struct IDDVideoPortContainer : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateVideoPort(DWORD dwFlags, LPDDVIDEOPORTDESC lpDesc,
                                                    LPDIRECTDRAWVIDEOPORT* lplpPort,
                                                    IUnknown* pUnkOuter) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumVideoPorts(DWORD dwFlags, LPDDVIDEOPORTCAPS lpCaps,
                                                   LPVOID lpContext,
                                                   LPDDENUMVIDEOCALLBACK lpCallback) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVideoPortConnectInfo(DWORD dwPortId, LPDWORD lpNumEntries,
                                                            LPDDVIDEOPORTCONNECT lpConnectInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryVideoPortStatus(DWORD dwPortId,
                                                         LPDDVIDEOPORTSTATUS lpStatus) = 0;
};
using LPDDVIDEOPORTCONTAINER = IDDVideoPortContainer*;

struct IDirectDrawVideoPort : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE lpSurface, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBandwidthInfo(LPDDPIXELFORMAT lpFormat, DWORD dwWidth,
                                                     DWORD dwHeight, DWORD dwFlags,
                                                     LPDDVIDEOPORTBANDWIDTH lpBandwidth) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetColorControls(void* lpColorControl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputFormats(LPDWORD lpNumFormats, LPDDPIXELFORMAT lpFormats,
                                                    DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputFormats(LPDDPIXELFORMAT lpInputFormat,
                                                     LPDWORD lpNumFormats,
                                                     LPDDPIXELFORMAT lpFormats, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFieldPolarity(LPBOOL lpbVideoField) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVideoLine(LPDWORD lpdwLine) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVideoSignalStatus(LPDWORD lpdwStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetColorControls(void* lpColorControl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTargetSurface(LPDIRECTDRAWSURFACE lpSurface,
                                                     DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartVideo(LPDDVIDEOPORTINFO lpInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopVideo() = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateVideo(LPDDVIDEOPORTINFO lpInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaitForSync(DWORD dwFlags, DWORD dwLine, DWORD dwTimeout) = 0;
};

// A FourCC format that is UYVY, whatever its other fields say.
inline bool IsUyvy(const DDPIXELFORMAT& format) {
  return (format.dwFlags & DDPF_FOURCC) && format.dwFourCC == kFourccUyvy;
}

// ---------------------------------------------------------------------------
// The card behind the two creation functions.

class DirectDrawProvider {
 public:
  virtual ~DirectDrawProvider() = default;
  virtual HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) = 0;
  virtual HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) = 0;
};

// nullptr: no DirectDraw at all (every creation fails).
void InstallDirectDrawProvider(DirectDrawProvider* provider);

HRESULT DdDirectDrawCreate(GUID* driver, LPDIRECTDRAW* object, IUnknown* outer);
HRESULT DdDirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer);
