// Registering the program's window classes.
#pragma once

#include <windows.h>

// A class of `instance` with the arrow cursor. A class this process registered before
// (an earlier start, an earlier window of the class) counts as registered.
bool RegisterWindowClass(const char* name, WNDPROC procedure, HINSTANCE instance, UINT style,
                         HICON icon = nullptr, HBRUSH background = nullptr);
