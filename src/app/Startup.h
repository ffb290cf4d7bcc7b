// Process start-up, the one message loop, and the way out.
#pragma once

#include <windows.h>

// Which per-frame copy the frame grab uses; chosen once by processor at start-up.
enum class FrameCopy { Plain, Mmx };

struct StartupState {
  HINSTANCE Instance = nullptr;
  HWND LogoWindow = nullptr;
  int LogoWidth = 0;
  int LogoHeight = 0;
  FrameCopy FrameCopyRoutine = FrameCopy::Plain;
  bool DetectionSucceeded = false;
  HACCEL Accelerators = nullptr;
};
extern StartupState Startup;

inline constexpr int kDecoderProbeAttempts = 5;
inline constexpr int kDetectionAttempts = 2;
inline constexpr DWORD kDetectedSignalPauseMs = 500;
inline constexpr int kLogoBitmapId = 153;
inline constexpr int kIconId = 154;
inline constexpr int kAcceleratorTableId = 108;

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
void SelectFrameCopyRoutine();
void RestorePictureAndInput(bool detectionSucceeded);
