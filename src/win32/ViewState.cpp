#include "win32/ViewState.h"

VideoWindowState VideoWindow;
RECT ScreenRect = {0, 0, 0, 0};
PanelHandles Panels;
