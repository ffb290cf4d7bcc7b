// Every message the program shows goes through here, with the product caption.
#pragma once

#include <windows.h>

inline constexpr const char kProductCaption[] = "Corvan Telvista";

// Start-up failures, shown with no owner.
inline constexpr UINT kStartupFailureStyle = MB_TOPMOST | MB_ICONHAND;
static_assert(kStartupFailureStyle == 0x40010);

int ShowProductMessage(HWND owner, const char* text, UINT style);

// Tests replace the blocking box with a recorder; nullptr restores MessageBoxA.
using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);
void SetMessageBoxHook(MessageBoxHook hook);
