// The About box: the product line, the icon and the notice lines. Modal, owned by the
// main panel.
#pragma once

#include <windows.h>

void ShowAboutBox();
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
