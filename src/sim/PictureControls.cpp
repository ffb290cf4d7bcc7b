#include "sim/PictureControls.h"

#include <algorithm>
#include <cmath>

void PictureControls::Set(const std::array<uint8_t, 4>& registers, bool colour) {
  if (valid_ && registers == registers_ && colour == colour_) return;
  ++generation_;
  colour_ = colour;
  if (valid_ && registers == registers_) return;
  registers_ = registers;
  valid_ = true;
  gain_ = static_cast<int8_t>(registers[1]);
  offset_ = 16 + registers[0] - 128;
  const double saturation = static_cast<int8_t>(registers[2]) / 64.0;
  const double hue = static_cast<int8_t>(registers[3]) * 2.0 * 3.14159265358979323846 / 256.0;
  // 0 and 255 are timing codes on the port; the decoder never sends them as samples.
  for (int i = 0; i < 256; ++i) {
    // Rounds halves up, where rounding them away from zero would differ only below 1.
    luma_[i] = static_cast<uint8_t>(std::clamp(offset_ + (((i - 16) * gain_ + 32) >> 6), 1, 254));
    const double c = (i - 128) * saturation * 256.0;
    uFromU_[i] = static_cast<int32_t>(std::lround(c * std::cos(hue)));
    uFromV_[i] = static_cast<int32_t>(std::lround(-c * std::sin(hue)));
    vFromU_[i] = static_cast<int32_t>(std::lround(c * std::sin(hue)));
    vFromV_[i] = static_cast<int32_t>(std::lround(c * std::cos(hue)));
  }
}

void PictureControls::Apply(Picture& picture, int begin, int end) const {
  for (int line = begin; line < end; ++line) {
    uint8_t* p = picture.Row(line);
    for (int pair = 0; pair < kPictureWidth / 2; ++pair, p += 4) {
      MapChroma(p[0], p[2], p[0], p[2]);
      p[1] = luma_[p[1]];
      p[3] = luma_[p[3]];
    }
  }
}
