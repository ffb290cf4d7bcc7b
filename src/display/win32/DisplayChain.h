// The display chain: the DirectDraw object, the video port the decoder feeds, the
// overlay surface the port writes into (flipped by the port itself), the primary surface
// with the destination colour key, and the clipper bound to the video window.
// Everything here runs on the GUI thread.
#pragma once

#include "display/win32/DDrawApi.h"

// How the decoder's connection into the video port is described.
struct VideoPortConfigData {
  DWORD FieldWidth = 0;
  DWORD FieldHeight = 0;  // the one value that follows the VideoStandard
  DWORD PortWidth = 0;    // bits
  GUID ConnectionType = {};
  DWORD ConnectionFlags = 0;
  DWORD InputFourcc = 0;
  DWORD InputBitCount = 0;
};

struct DisplayState {
  LPDIRECTDRAW DirectDrawObject = nullptr;
  LPDDVIDEOPORTCONTAINER VideoPortContainer = nullptr;
  LPDIRECTDRAWVIDEOPORT VideoPort = nullptr;
  LPDIRECTDRAWCLIPPER Clipper = nullptr;
  LPDIRECTDRAWSURFACE PrimarySurface = nullptr;
  LPDIRECTDRAWSURFACE OverlaySurface = nullptr;  // the frame grab locks it too
  DDVIDEOPORTCAPS PortCaps = {};                 // of the last port enumerated
  DDPIXELFORMAT InputFormat = {};
  DDPIXELFORMAT OutputFormat = {};
  int OverlayBuffers = 0;      // 2 once the overlay has its back buffer
  DWORD ColorKey = 1;          // 1: no key chosen yet, nothing is painted
  int KeyAlways = 0;           // show with the key even over a fully visible window
  int OverlayUnavailable = 0;  // the overlay surface could not be created; never cleared
  int PortStarting = 0;        // the next port configuration starts the port
  VideoPortConfigData VideoPortConfig;
};
extern DisplayState Display;

// (0, 0, width, height) of the screen in pixels; written by the display chain only.
extern RECT ScreenRect;

// The overlay refresh tick on the video window (slower while a display rebuild keeps
// failing). The application keeps its own timers on that window clear of this id.
inline constexpr UINT_PTR kTimerOverlay = 1;
inline constexpr UINT kOverlayTickMs = 200;
inline constexpr UINT kOverlayRetryMs = 2000;

inline constexpr UINT kDisplayFailureStyle = MB_ICONEXCLAMATION;            // 0x30
inline constexpr UINT kNoLiveVideoStyle = MB_TOPMOST | MB_ICONEXCLAMATION;  // 0x40030

inline constexpr char kNoDirectDrawMessage[] = "Unable to create the DirectDraw object";
inline constexpr char kNoVideoPortSupportMessage[] =
    "Your display device (or driver) does not support a video port.  A video port is required "
    "for this application to run.";
inline constexpr char kNoOverlaySupportMessage[] =
    "Your display device (or driver) does not support an overlay. Hardware overlay support is "
    "required for this application to run.";
inline constexpr char kNoContainerMessage[] = "Unable to create the VideoPort object";
inline constexpr char kNoClipperMessage[] = "Unable to create the Clipper object";
inline constexpr char kNoVideoPortMessage[] = "Unable to create the video port object";
inline constexpr char kNoLiveVideoMessage[] =
    "Can't play live video. Please change to other display\nmodes or close other video players, "
    "then run again.";
inline constexpr char kVideoPortNotStartedMessage[] = "Unable to start video port ";

// Describes the port for the current Settings.VideoStandard.
void FillVideoPortConfig();
// DirectDraw object, capability tests, port container and enumeration, clipper. Boxes
// only when `reportFailures`. A failure releases nothing: the caller calls DisplayRelease.
// Sets ScreenRect from the system metrics while the screen has not been measured.
bool DisplayCreate(bool reportFailures);
// Tears the whole chain down and stops the refresh timer; safe at any time, repeatedly.
void DisplayRelease();
bool OpenVideoPort();
bool ChooseOutputFormat();
// The primary surface (which measures ScreenRect) and the overlay the port writes into.
bool CreateSurfaces();
void SetOverlayColorKey();
