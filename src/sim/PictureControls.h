// The decoder's picture controls (brightness, contrast, saturation, hue) and its colour
// killer, as tables. They work sample by sample: each luma sample on its own, each pair's
// chroma from that pair's U and V. So a shape drawn in a processed colour over a processed
// picture gives the bytes that drawing first and processing afterwards would.
#pragma once

#include <array>
#include <cstdint>

#include "sim/PictureSources.h"

class PictureControls {
 public:
  // From the registers 0x0A..0x0D; without colour the chroma comes out grey. Tables are
  // rebuilt only when something changed.
  void Set(const std::array<uint8_t, 4>& registers, bool colour);
  // Counts the changes, so that pictures drawn through the controls know when to redraw.
  uint64_t Generation() const { return generation_; }

  // Luma comes out as clamp(LumaOffset() + round((y - 16) * LumaGain() / 64), 1, 254):
  // contrast is a gain about black in 64ths, brightness an offset.
  uint8_t Luma(uint8_t y) const { return luma_[y]; }
  int LumaGain() const { return gain_; }
  int LumaOffset() const { return offset_; }
  void MapChroma(uint8_t u, uint8_t v, uint8_t& uOut, uint8_t& vOut) const {
    if (!colour_) {
      uOut = vOut = 128;
      return;
    }
    uOut = Chroma(uFromU_[u] + uFromV_[v]);
    vOut = Chroma(vFromU_[u] + vFromV_[v]);
  }
  Yuv Map(Yuv c) const {
    Yuv out{luma_[c.y], 128, 128};
    MapChroma(c.u, c.v, out.u, out.v);
    return out;
  }

  // In place over rows [begin, end) of a UYVY picture.
  void Apply(Picture& picture, int begin, int end) const;

 private:
  static uint8_t Chroma(int32_t scaled) {
    const int32_t c = 128 + ((scaled + 128) >> 8);
    return static_cast<uint8_t>(c < 1 ? 1 : c > 254 ? 254 : c);
  }

  bool valid_ = false;
  bool colour_ = false;
  uint64_t generation_ = 0;
  int gain_ = 0, offset_ = 0;
  std::array<uint8_t, 4> registers_{};
  std::array<uint8_t, 256> luma_{};
  std::array<int32_t, 256> uFromU_{}, uFromV_{}, vFromU_{}, vFromV_{};
};
