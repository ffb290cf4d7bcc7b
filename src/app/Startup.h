// Process start-up, the one message loop, and the way out.
#pragma once

#include <windows.h>

#include "resource.h"

// Start-up also saves the instance handle (Program.Instance) and chooses the frame grab's
// copy routine (FrameGrab.FrameCopyRoutine); both live with the units that use them.
struct StartupState {
  HWND LogoWindow = nullptr;
  int LogoWidth = 0;
  int LogoHeight = 0;
  bool DetectionSucceeded = false;
  HACCEL Accelerators = nullptr;
};
extern StartupState Startup;

inline constexpr int kDecoderProbeAttempts = 5;
inline constexpr int kDetectionAttempts = 2;
inline constexpr DWORD kDetectedSignalPauseMs = 500;
inline constexpr int kLogoBitmapId = IDB_LOGO;
inline constexpr int kIconId = IDI_LUMETRA;
inline constexpr int kAcceleratorTableId = IDR_ACCELERATORS;

inline constexpr char kNoDecoderMessage[] =
    "Your display card doesn't have a SAA7111A EVIP.\nA SAA7111A EVIP is required for this "
    "application to run.";
inline constexpr char kSecondInstanceMessage[] =
    "Another Lumetra is running.\nYou cannot run two Lumetra simultaneously.";
inline constexpr char kDirectXMessage[] =
    "Please install DirectX 5 or higher version before running this application.";

int RunApplication(HINSTANCE instance, int showCommand);

bool IsFirstInstance();
bool CheckDirectXVersion();
void CreateLogoWindow(HINSTANCE instance);
void PaintLogo(HWND window);
// Logo client size for a screen: 640 x 480 when the screen is wider than 640,
// else three quarters of the screen.
SIZE LogoSizeForScreen(int screenWidth, int screenHeight);
bool CpuidAvailable();
bool CpuHasMmx();
// Sets FrameGrab.FrameCopyRoutine by processor.
void SelectFrameCopyRoutine();
void RestorePictureAndInput(bool detectionSucceeded);
