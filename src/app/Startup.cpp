#include "app/Startup.h"

#include <cpuid.h>

#include <vector>

#include "app/DirectXVersion.h"
#include "app/SettingsStore.h"
#include "app/VideoWindow.h"
#include "capture/win32/BoardDriver.h"
#include "capture/win32/FrameGrab.h"
#include "display/win32/DisplayChain.h"
#include "hw/Audio.h"
#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/SourceControl.h"
#include "hw/Tuner.h"
#include "playback/Yvu9Codec.h"
#include "shared/Settings.h"
#include "ui/MainPanel.h"
#include "ui/OnScreenDisplay.h"
#include "win32/ModalLoops.h"
#include "ui/VideoSourceDialog.h"
#include "win32/Handles.h"
#include "win32/MessageBox.h"
#include "win32/Program.h"
#include "win32/WindowClass.h"

StartupState Startup;

namespace {

constexpr char kLogoClass[] = "LOGOCLASS";

LRESULT CALLBACK LogoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    PaintLogo(window);
    EndPaint(window, &ps);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool ProbeDecoder() {
  for (int attempt = 0; attempt < kDecoderProbeAttempts; ++attempt) {
    if (I2cProbe(kDecoderAddress)) return true;
  }
  return false;
}

// The autoscan looks only for key presses between slots, and takes the one it finds.
bool TakeKeyPress() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE) != 0;
}

// Every tuning shows its channel over the picture, once there is a picture.
void ShowTunedChannel(int slot) {
  if (VideoWindow.Window) ShowChannelOsd(VideoWindow.Window, slot);
}

void HideLogo() {
  if (Startup.LogoWindow) ShowWindow(Startup.LogoWindow, SW_HIDE);
}

}  // namespace

bool IsFirstInstance() {
  return FindWindowA(kVideoWindowClass, nullptr) == nullptr;
}

bool CheckDirectXVersion() {
  RegKey key;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", key.Receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  char version[80] = {};
  DWORD size = sizeof version;
  const LONG status =
      RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(version), &size);
  key.Close();
  if (status != ERROR_SUCCESS) return false;
  // The value need not be terminated: never read past what the registry returned.
  const auto parsed = ParseDirectXVersion(version, size < sizeof version ? size : sizeof version);
  return parsed && *parsed >= kMinimumDirectXVersion;
}

SIZE LogoSizeForScreen(int screenWidth, int screenHeight) {
  if (screenWidth > 640) return SIZE{640, 480};
  return SIZE{screenWidth * 3 / 4, screenHeight * 3 / 4};
}

void CreateLogoWindow(HINSTANCE instance) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const SIZE logo = LogoSizeForScreen(screenWidth, screenHeight);
  Startup.LogoWidth = logo.cx;
  Startup.LogoHeight = logo.cy;

  RegisterWindowClass(kLogoClass, LogoWindowProc, instance, CS_HREDRAW | CS_VREDRAW,
                      LoadIconA(instance, MAKEINTRESOURCEA(kIconId)),
                      static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

  Startup.LogoWindow = CreateWindowExA(WS_EX_TOPMOST, kLogoClass, nullptr, WS_POPUP | WS_DLGFRAME,
                                       (screenWidth - Startup.LogoWidth) / 2,
                                       (screenHeight - Startup.LogoHeight) / 2,
                                       Startup.LogoWidth + 2 * GetSystemMetrics(SM_CXDLGFRAME),
                                       Startup.LogoHeight + 2 * GetSystemMetrics(SM_CYDLGFRAME),
                                       nullptr, nullptr, instance, nullptr);
  if (Startup.LogoWindow) {
    ShowWindow(Startup.LogoWindow, SW_SHOWNORMAL);
    UpdateWindow(Startup.LogoWindow);
  }
}

void PaintLogo(HWND window) {
  HDC dc = GetDC(window);
  if (!dc) return;
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(kLogoBitmapId), RT_BITMAP);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* header =
      loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
  if (header) {
    const WORD colours = LOWORD(header->biClrUsed);
    const auto* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    std::vector<BYTE> paletteBytes(sizeof(LOGPALETTE) + colours * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(paletteBytes.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = colours;
    for (WORD i = 0; i < colours; ++i) {
      palette->palPalEntry[i] =
          PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    }
    HPALETTE hpal = CreatePalette(palette);
    HPALETTE old = hpal ? SelectPalette(dc, hpal, FALSE) : nullptr;
    RealizePalette(dc);
    SetStretchBltMode(dc, COLORONCOLOR);
    const BYTE* pixels = reinterpret_cast<const BYTE*>(table + colours);
    StretchDIBits(dc, 0, 0, Startup.LogoWidth, Startup.LogoHeight, 0, 0, 640, 480, pixels,
                  reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
    if (old) SelectPalette(dc, old, FALSE);
    if (hpal) DeleteObject(hpal);
  }
  ReleaseDC(window, dc);
}

bool CpuidAvailable() {
#if defined(__x86_64__)
  unsigned long long saved = 0, flags = 0;
  asm volatile(
      "pushfq\n\t"
      "popq %0\n\t"
      "movq %0, %1\n\t"
      "orq $0x200000, %1\n\t"
      "pushq %1\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "popq %1\n\t"
      "pushq %0\n\t"
      "popfq\n\t"
      : "=&r"(saved), "=&r"(flags)
      :
      : "cc", "memory");
  return (flags & 0x200000) != 0;
#elif defined(__i386__)
  unsigned long saved = 0, flags = 0;
  asm volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "orl $0x200000, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      : "=&r"(saved), "=&r"(flags)
      :
      : "cc", "memory");
  return (flags & 0x200000) != 0;
#else
  return false;
#endif
}

bool CpuHasMmx() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & (1u << 23)) != 0;
}

void SelectFrameCopyRoutine() {
  FrameGrab.FrameCopyRoutine = CpuidAvailable() && CpuHasMmx() ? FrameCopy::Mmx : FrameCopy::Plain;
}

void RestorePictureAndInput(bool detectionSucceeded) {
  SourceWriteStoredPicture();
  Audio.Muted = false;
  Audio.Volume = kVolumeAtStart;
  CreateMainPanel();
  if (detectionSucceeded) return;

  // The program always starts on a camera input, never the Tuner.
  if (Settings.VideoConnector != kConnectorSVideo) Settings.VideoConnector = kConnectorComposite;
  SourceSelectInput(static_cast<uint32_t>(Settings.VideoConnector), TunerProbe::BothAddresses);
}

int RunApplication(HINSTANCE instance, int showCommand) {
  if (!ProbeDecoder()) {
    ShowProductMessage(nullptr, kNoDecoderMessage, kErrorStyle);
    return 0;
  }
  if (!IsFirstInstance()) {
    ShowProductMessage(nullptr, kSecondInstanceMessage, kErrorStyle);
    return 0;
  }
  if (!CheckDirectXVersion()) {
    ShowProductMessage(nullptr, kDirectXMessage, kErrorStyle);
    return 0;
  }
  Program.Instance = instance;
  SetTunerHooks(TunerHooks{ShowTunedChannel, TakeKeyPress});
  OpenBoardDriver();
  // YVU9 clips play in the window without a decompressor installed system-wide.
  InstallYvu9Decompressor();

  CreateLogoWindow(instance);
  SelectFrameCopyRoutine();
  DecoderInit();
  LoadSettings();

  uint32_t standard = static_cast<uint32_t>(Settings.VideoStandard);
  uint32_t connector = static_cast<uint32_t>(Settings.VideoConnector);
  Startup.DetectionSucceeded = false;
  for (int attempt = 0; attempt < kDetectionAttempts && !Startup.DetectionSucceeded; ++attempt) {
    Startup.DetectionSucceeded = DecoderDetectSignal(standard, connector);
  }
  if (Startup.DetectionSucceeded) {
    Settings.VideoStandard = static_cast<int32_t>(standard);
    Settings.VideoConnector = static_cast<int32_t>(connector);
    Sleep(kDetectedSignalPauseMs);
    HideLogo();
  } else {
    HideLogo();
    if (!IsValidVideoStandard(Settings.VideoStandard)) {
      Settings.VideoStandard = 0;
    }
    DecoderSetStandard(static_cast<uint32_t>(Settings.VideoStandard));
  }

  FillVideoPortConfig();
  if (!DisplayCreate(true)) {
    DisplayRelease();
    DecoderDisableOutput();
    return 0;
  }

  if (!CreateVideoWindow(instance, showCommand)) {
    DecoderDisableOutput();
    return 0;
  }
  RestorePictureAndInput(Startup.DetectionSucceeded);

  Startup.Accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(kAcceleratorTableId));
  if (!Startup.Accelerators) return 0;

  MSG msg = {};
  // A modal loop inside a handler may have swallowed the quit message: the request ends
  // the loop all the same once that handler returns.
  while (!QuitRequested() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND sourceDialog = VideoSourceDialog.Window;
    // Esc cancels the Video Source dialog, as it does every other dialog, before the
    // accelerator table can take it for leaving full screen.
    const bool escapeInSourceDialog = sourceDialog && msg.message == WM_KEYDOWN &&
                                      msg.wParam == VK_ESCAPE &&
                                      (msg.hwnd == sourceDialog || IsChild(sourceDialog, msg.hwnd));
    if (!escapeInSourceDialog &&
        TranslateAcceleratorA(VideoWindow.Window, Startup.Accelerators, &msg))
      continue;
    // The modeless Video Source dialog needs the loop for its Tab and arrow keys.
    if (sourceDialog && IsDialogMessageA(sourceDialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  SaveSettings();
  DecoderDisableOutput();
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
