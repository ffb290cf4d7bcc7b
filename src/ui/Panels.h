// Handles of the two skinned control panels. Both stay null until the panels exist;
// the video window talks to them only through these handles.
#pragma once

#include <windows.h>

struct PanelHandles {
  HWND MainPanel = nullptr;
  HWND TunerPanel = nullptr;
};
extern PanelHandles Panels;

// Sent by the video window to the main panel whenever its size changes.
inline constexpr UINT kMsgVideoSizeChanged = 1225;
