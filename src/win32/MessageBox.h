// Every message the program shows goes through here, with the product caption.
#pragma once

#include <windows.h>

inline constexpr const char kProductCaption[] = "Corvan Telvista";

// Every failure the program reports: start-up, display, capture, files, a missing tuner.
inline constexpr UINT kErrorStyle = MB_TOPMOST | MB_ICONHAND;
static_assert(kErrorStyle == 0x40010);

int ShowProductMessage(HWND owner, const char* text, UINT style);

// Tests replace the blocking box with a recorder; nullptr restores MessageBoxA.
using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT style);
void SetMessageBoxHook(MessageBoxHook hook);
