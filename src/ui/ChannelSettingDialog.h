// The Channel Setting dialog: ticks and names the channel slots 1..100 and chooses the
// channel plan. Edits go to a working copy that OK stores and Cancel drops. Modal, opened
// from the tuner panel's channel-list button and owned by the panel.
#pragma once

#include <windows.h>

#include <array>

#include "shared/Settings.h"

inline constexpr int kChannelRowHeight = 22;
inline constexpr int kChannelRows = kLastChannelSlot;  // row i is slot i + 1
inline constexpr int kChannelBoxSize = 20;
inline constexpr int kChannelNumberX = 22;
// A click toggles a row's box only between these list-client x positions.
inline constexpr int kChannelBoxHitLeft = 3;
inline constexpr int kChannelBoxHitRight = 17;
// Rows Clear All and Select All redraw: the ones the list shows.
inline constexpr int kChannelVisibleRows = 10;

inline constexpr const char* kCableNames[] = {"China Cable", "Germany Cable", "Taiwan Cable",
                                              "US Cable"};
inline constexpr int kCableCount = 4;

struct ChannelSettingState {
  std::array<ChannelEntry, kChannelSlots> Working = {};  // slot 0 is never used
  HBITMAP Checked = nullptr;                             // bitmap 123
  HBITMAP Unchecked = nullptr;                           // bitmap 120
};
extern ChannelSettingState ChannelSetting;

// Runs the dialog until OK or Cancel.
void ShowChannelSettingDialog(HWND owner);
INT_PTR CALLBACK ChannelSettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
