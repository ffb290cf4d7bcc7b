#include "ui/Panels.h"

PanelHandles Panels;
