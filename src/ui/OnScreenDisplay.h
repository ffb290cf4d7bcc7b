// Short-lived texts over the live picture: the channel after a tuning or during digit
// entry, the volume level with its bar graph, and "Mute". Each first erases what was
// there by painting the colour key, and stays until the key is painted again: the
// channel display by the video window's timer 3, the others by the tuner panel's timers 7
// and 8. Showing one stops the erase timers of the others, so each lasts its full time.
#pragma once

#include <windows.h>

// Shows slot `n` with its name, or the bare number while digits are being typed, and
// (re)starts the window's erase timer.
void ShowChannelOsd(HWND window, int n);
void ShowVolumeOsd();
void ShowMuteOsd();
