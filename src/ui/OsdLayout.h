// Where the on-screen display draws over a picture of w x h pixels: the font height, the
// channel and bottom text rectangles and the volume bar graph. Plain arithmetic, no
// windows, so it is tested natively. All divisions truncate non-negative values.
#pragma once

struct OsdRect {
  int Left, Top, Right, Bottom;
  friend constexpr bool operator==(const OsdRect&, const OsdRect&) = default;
};

inline constexpr int kOsdBarPositions = 21;  // one per volume level above the lowest

constexpr int OsdFontHeight(int h) {
  return h / 12;
}

// The channel name and number, right-aligned.
constexpr OsdRect ChannelOsdRect(int w, int h) {
  return {0, h / 16, (w / 20) * 19, h / 4};
}

// Shared by the volume number and "Mute", right-aligned. Its right edge is computed
// unlike the channel rectangle's and may differ from it by a pixel.
constexpr OsdRect BottomOsdRect(int w, int h) {
  return {0, (h * 118) / 140, (w * 19) / 20, h};
}

constexpr int OsdBarLeft(int w, int i) {
  return w / 8 + (i * w * 3) / 84;
}

// Position i of the bar graph at level 0..21: a tall bar below the level, a short mark
// from it on.
constexpr OsdRect OsdBarRect(int w, int h, int i, int level) {
  const int x = OsdBarLeft(w, i);
  const int base = (6 * h) / 7;
  if (i < level) return {x, base, x + w / 42, base + h / 14};
  return {x, base + (2 * h) / 70, x + w / 60, base + (3 * h) / 70};
}
