#include "sim/PictureSources.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "sim/BroadcastWorld.h"
#include "sim/Font5x7.h"
#include "sim/PictureControls.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Picture lines per displayed 4:3 height: a pixel of a field of L lines is 540 / L times
// as tall as it is wide, so round things are drawn this much flatter.
constexpr double kSquareLines = 540.0;

uint8_t ClampByte(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// Fully saturated colour of a hue in turns (0..1), at the given level.
void HueRgb(double turns, double level, double& r, double& g, double& b) {
  const double h = (turns - std::floor(turns)) * 6.0;
  const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  double rr = 0, gg = 0, bb = 0;
  switch (static_cast<int>(h)) {
    case 0:
      rr = 1, gg = x;
      break;
    case 1:
      rr = x, gg = 1;
      break;
    case 2:
      gg = 1, bb = x;
      break;
    case 3:
      gg = x, bb = 1;
      break;
    case 4:
      rr = x, bb = 1;
      break;
    default:
      rr = 1, bb = x;
      break;
  }
  r = rr * level;
  g = gg * level;
  b = bb * level;
}

Yuv Grey(int y) {
  return Yuv{static_cast<uint8_t>(y), 128, 128};
}

// A colour as it comes out of the decoder's controls, or as drawn without them.
Yuv Through(const PictureControls* controls, Yuv colour) {
  return controls ? controls->Map(colour) : colour;
}

// 0..range..0 as position grows: something that bounces between two walls.
int Bounce(double position, int range) {
  if (range <= 0) return 0;
  const int period = 2 * range;
  int p = static_cast<int>(std::fmod(position, period));
  if (p < 0) p += period;
  return p <= range ? p : period - p;
}

int DotHeight(int dotWidth, int lines) {
  return std::max(1, static_cast<int>(std::lround(dotWidth * lines / kSquareLines)));
}

// A small, fast generator; the noise must be cheap enough to fill a field per field.
struct NoiseSource {
  explicit NoiseSource(uint64_t seed) {
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    state = (z ^ (z >> 31)) | 1;
  }
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  }
  uint64_t state;
};

uint32_t NameHash(std::string_view name) {
  uint32_t h = 2166136261u;
  for (const char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return h;
}

}  // namespace

Yuv YuvFromRgb(double r, double g, double b) {
  const double y = 0.299 * r + 0.587 * g + 0.114 * b;
  return Yuv{ClampByte(static_cast<int>(std::lround(16.0 + 219.0 * y))),
             ClampByte(static_cast<int>(std::lround(128.0 + 224.0 * (b - y) / 1.772))),
             ClampByte(static_cast<int>(std::lround(128.0 + 224.0 * (r - y) / 1.402)))};
}

// clang-format off
const std::array<Yuv, 8> kColourBars75 = {{
    {180, 128, 128},  // white
    {162,  44, 142},  // yellow
    {131, 156,  44},  // cyan
    {112,  72,  58},  // green
    { 84, 184, 198},  // magenta
    { 65, 100, 212},  // red
    { 35, 212, 114},  // blue
    { 16, 128, 128},  // black
}};
// clang-format on

// ---------------------------------------------------------------------------
// Picture

void Picture::Resize(int lines) {
  lines_ = std::max(lines, 0);
  bytes_.resize(static_cast<size_t>(lines_) * kPictureRowBytes);
}

void Picture::FillRect(int x0, int y0, int x1, int y1, Yuv colour) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, kPictureWidth);
  y1 = std::min(y1, lines_);
  if (x0 >= x1 || y0 >= y1) return;
  for (int line = y0; line < y1; ++line) {
    uint8_t* row = Row(line);
    for (int pair = x0 >> 1; pair < (x1 + 1) >> 1; ++pair) {
      row[4 * pair] = colour.u;
      row[4 * pair + 2] = colour.v;
    }
    for (int x = x0; x < x1; ++x) row[2 * x + 1] = colour.y;
  }
}

void Picture::CopyFrom(const Picture& other) {
  Resize(other.lines_);
  std::memcpy(bytes_.data(), other.bytes_.data(), bytes_.size());
}

// ---------------------------------------------------------------------------
// Text

namespace {

// Doubles a glyph's resolution, rounding its diagonal steps (the Scale2x rule), so large
// letters do not look like stacked bricks.
std::array<std::array<bool, 10>, 14> SmoothGlyph(const Glyph& rows) {
  auto dot = [&](int row, int col) {
    return row >= 0 && row < 7 && col >= 0 && col < 5 && (rows[row] & (0x10 >> col)) != 0;
  };
  std::array<std::array<bool, 10>, 14> out{};
  for (int row = 0; row < 7; ++row) {
    for (int col = 0; col < 5; ++col) {
      const bool p = dot(row, col);
      const bool a = dot(row - 1, col), b = dot(row, col + 1);
      const bool c = dot(row, col - 1), d = dot(row + 1, col);
      out[2 * row][2 * col] = (c == a && c != d && a != b) ? a : p;
      out[2 * row][2 * col + 1] = (a == b && a != c && b != d) ? b : p;
      out[2 * row + 1][2 * col] = (d == c && d != b && c != a) ? c : p;
      out[2 * row + 1][2 * col + 1] = (b == d && b != a && d != c) ? d : p;
    }
  }
  return out;
}

}  // namespace

void DrawText(Picture& picture, std::string_view text, int x, int y, int dotWidth, int dotHeight,
              Yuv colour) {
  const bool smooth = dotWidth >= 6 && dotHeight >= 2;
  for (const char c : text) {
    const Glyph& glyph = GlyphFor(c);
    if (smooth) {
      const auto dots = SmoothGlyph(glyph);
      for (int row = 0; row < 14; ++row) {
        for (int col = 0; col < 10; ++col) {
          if (!dots[row][col]) continue;
          picture.FillRect(x + col * dotWidth / 2, y + row * dotHeight / 2,
                           x + (col + 1) * dotWidth / 2, y + (row + 1) * dotHeight / 2, colour);
        }
      }
    } else {
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (!(glyph[row] & (0x10 >> col))) continue;
          const int px = x + col * dotWidth;
          const int py = y + row * dotHeight;
          picture.FillRect(px, py, px + dotWidth, py + dotHeight, colour);
        }
      }
    }
    x += 6 * dotWidth;
  }
}

int TextWidth(std::string_view text, int dotWidth) {
  return text.empty() ? 0 : static_cast<int>(text.size() * 6 - 1) * dotWidth;
}

std::string ClockText(double secondsOfDay, int framesPerSecond) {
  double t = std::fmod(secondsOfDay, 86400.0);
  if (t < 0) t += 86400.0;
  const int whole = static_cast<int>(t);
  const int frames = std::clamp(static_cast<int>((t - whole) * framesPerSecond), 0,
                                std::max(framesPerSecond - 1, 0));
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d", whole / 3600, whole / 60 % 60, whole % 60,
                frames);
  return text;
}

// ---------------------------------------------------------------------------
// Noise

namespace {

// Eight noise bytes per draw of the generator, one per luma sample in the order the
// samples lie (a line's 720 samples take 90 draws): the byte for sample k of a draw is
// bits >> 8k.
constexpr int kSamplesPerDraw = 8;
static_assert(kPictureWidth % kSamplesPerDraw == 0);

// A weak signal: the peak-to-peak noise on luma, and how much of the chroma survives (of 256).
struct Weakness {
  int amplitude = 0;
  int chromaKeep = 256;
};

Weakness WeaknessOf(const BroadcastStation& station) {
  if (station.strength <= 1) return {100, 110};
  if (station.strength == 2) return {36, 220};
  return {};
}

uint8_t Faded(uint8_t chroma, int keep) {
  return static_cast<uint8_t>(128 + (((chroma - 128) * keep) >> 8));
}

#if defined(__SSE2__) || defined(_M_X64)
// Eight luma samples in 16-bit lanes (0..255) as the controls pass them:
// clamp(offset + ((y - 16) * gain + 32) >> 6, 1, 254). Every intermediate fits in 16
// bits, as |(y - 16) * gain| <= 239 * 128.
class LumaLanes {
 public:
  explicit LumaLanes(const PictureControls& controls)
      : gain_(_mm_set1_epi16(static_cast<int16_t>(controls.LumaGain()))),
        offset_(_mm_set1_epi16(static_cast<int16_t>(controls.LumaOffset()))) {}
  __m128i Through(__m128i y) const {
    const __m128i scaled =
        _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(y, _mm_set1_epi16(16)), gain_),
                                     _mm_set1_epi16(32)),
                       6);
    return _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(scaled, offset_), _mm_set1_epi16(1)),
                         _mm_set1_epi16(254));
  }

 private:
  __m128i gain_, offset_;
};

// The eight noise bytes of a draw, one per 16-bit lane, in sample order.
__m128i NoiseLanes(const uint64_t& bits) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&bits)),
                           _mm_setzero_si128());
}
#endif

}  // namespace

bool ChangedRows::Touches(int begin, int end) const {
  if (all) return true;
  for (int i = 0; i < count; ++i) {
    if (bands[i].begin < end && begin < bands[i].end) return true;
  }
  return false;
}

void PictureSources::DrawSnow(uint64_t field, const PictureControls& controls, Picture& shown) {
  uint8_t u, v;
  controls.MapChroma(128, 128, u, v);
  NoiseSource noise(field * 0x632BE59BD9B4E019ull + 1);
#if defined(__SSE2__) || defined(_M_X64)
  const LumaLanes luma(controls);
  const __m128i chroma = _mm_set1_epi32(u | v << 16);
  for (int line = 0; line < shown.Lines(); ++line) {
    uint8_t* q = shown.Row(line);
    for (int x = 0; x < kPictureWidth; x += kSamplesPerDraw) {
      const uint64_t bits = noise.Next();
      // 16 + b * 219 / 256: the product stays below 65536, so the shift is exact.
      const __m128i y =
          _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(NoiseLanes(bits), _mm_set1_epi16(219)), 8),
                        _mm_set1_epi16(16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 2 * x),
                       _mm_or_si128(chroma, _mm_slli_epi16(luma.Through(y), 8)));
    }
  }
#else
  for (int line = 0; line < shown.Lines(); ++line) {
    uint8_t* q = shown.Row(line);
    for (int x = 0; x < kPictureWidth; x += kSamplesPerDraw) {
      const uint64_t bits = noise.Next();
      for (int k = 0; k < kSamplesPerDraw; ++k) {
        q[2 * (x + k)] = k % 2 ? v : u;
        q[2 * (x + k) + 1] = controls.Luma(
            static_cast<uint8_t>(16 + ((static_cast<int>((bits >> (8 * k)) & 0xFF) * 219) >> 8)));
      }
    }
  }
#endif
}

void PictureSources::DrawNoisyStation(const BroadcastStation& station, const SceneTime& time,
                                      const PictureControls& controls, Picture& shown) {
  // The moving parts go onto the clean picture first: the noise lies over them too.
  for (int i = 0; i < moving_.count; ++i) {
    for (int line = moving_.bands[i].begin; line < moving_.bands[i].end; ++line) {
      std::memcpy(clean_.Row(line), station_.picture.Row(line), kPictureRowBytes);
    }
  }
  DrawStationMoving(clean_, station, time, nullptr);

  const Weakness weak = WeaknessOf(station);
  const int half = weak.amplitude / 2;
  NoiseSource noise(time.field);
#if defined(__SSE2__) || defined(_M_X64)
  const LumaLanes luma(controls);
#endif
  for (int line = 0; line < shown.Lines(); ++line) {
    uint8_t* q = shown.Row(line);
    const uint8_t* p = clean_.Row(line);
    // Chroma carries no noise: outside the moving parts it is the still picture's.
    if (moving_.Touches(line, line + 1)) {
      for (int x = 0; x < kPictureWidth; x += 2) {
        controls.MapChroma(Faded(p[2 * x], weak.chromaKeep), Faded(p[2 * x + 2], weak.chromaKeep),
                           q[2 * x], q[2 * x + 2]);
      }
    } else {
      std::memcpy(q, still_.Row(line), kPictureRowBytes);
    }
#if defined(__SSE2__) || defined(_M_X64)
    // Luma plus noise, clamped to a byte, then through the controls.
    const __m128i amplitude = _mm_set1_epi16(static_cast<int16_t>(weak.amplitude));
    const __m128i halfAmplitude = _mm_set1_epi16(static_cast<int16_t>(half));
    for (int x = 0; x < kPictureWidth; x += kSamplesPerDraw) {
      const uint64_t bits = noise.Next();
      const __m128i y =
          _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * x)), 8);
      __m128i n = _mm_sub_epi16(
          _mm_add_epi16(y, _mm_srli_epi16(_mm_mullo_epi16(NoiseLanes(bits), amplitude), 8)),
          halfAmplitude);
      n = _mm_min_epi16(_mm_max_epi16(n, _mm_setzero_si128()), _mm_set1_epi16(255));
      __m128i* to = reinterpret_cast<__m128i*>(q + 2 * x);
      _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(to), _mm_set1_epi16(0xFF)),
                                        _mm_slli_epi16(luma.Through(n), 8)));
    }
#else
    for (int x = 0; x < kPictureWidth; x += kSamplesPerDraw) {
      const uint64_t bits = noise.Next();
      for (int k = 0; k < kSamplesPerDraw; ++k) {
        const int i = 2 * (x + k) + 1;
        const int noisy =
            p[i] + ((static_cast<int>((bits >> (8 * k)) & 0xFF) * weak.amplitude) >> 8) - half;
        q[i] = controls.Luma(ClampByte(noisy));
      }
    }
#endif
  }
}

// ---------------------------------------------------------------------------
// Composite: the test card

void PictureSources::BuildTestCard(int lines) {
  Picture& p = testCard_.picture;
  p.Resize(lines);
  // Blanking left and right of the active picture, as a real line has it.
  p.Fill(kBlack);
  constexpr int left = kActiveLeft, right = kActiveLeft + kActiveWidth;
  p.FillRect(left, 0, right, lines, Grey(20));
  const int barWidth = kActiveWidth / 8;
  const int barsBottom = BarsBottom(lines);
  const int reverseBottom = ReverseBarsBottom(lines);
  constexpr int kReverse[8] = {6, 7, 4, 7, 2, 7, 0, 7};  // blue, black, magenta, ... white
  for (int i = 0; i < 8; ++i) {
    const int x = left + i * barWidth;
    p.FillRect(x, 0, x + barWidth, barsBottom, kColourBars75[i]);
    p.FillRect(x, barsBottom, x + barWidth, reverseBottom, kColourBars75[kReverse[i]]);
  }

  // The frame around the active picture, two samples and two lines thick (one pixel of
  // a half-width picture; a 240-line picture's live view starts at its second line), with
  // marks every half bar along the top and bottom edges numbered at each bar boundary,
  // and every 24 lines along the sides: a crop or scale that is off shows at an edge.
  const Yuv white = Grey(235);
  p.FillRect(left, 0, right, kFrameLines, white);
  p.FillRect(left, lines - kFrameLines, right, lines, white);
  p.FillRect(left, 0, left + kFrameColumns, lines, white);
  p.FillRect(right - kFrameColumns, 0, right, lines, white);
  const int mark = DotHeight(4, lines) * 2;
  for (int i = 1; i < 16; ++i) {
    const int x = left + i * barWidth / 2;
    p.FillRect(x - 1, kFrameLines, x + 1, kFrameLines + mark, white);
    p.FillRect(x - 1, lines - kFrameLines - mark, x + 1, lines - kFrameLines, white);
    if (i % 2) continue;
    const std::string number(1, static_cast<char>('0' + i / 2));
    DrawText(p, number, x + 3, kFrameLines + 1, 2, 1, white);
    DrawText(p, number, x + 3, lines - kFrameLines - 1 - kTextDots, 2, 1, white);
  }
  for (int y = 24; y < lines - kFrameLines; y += 24) {
    p.FillRect(left + kFrameColumns, y, left + kFrameColumns + 8, y + 1, white);
    p.FillRect(right - kFrameColumns - 8, y, right - kFrameColumns, y + 1, white);
  }

  const int panel = lines - reverseBottom;
  const int dotHeight = DotHeight(4, lines);
  DrawText(p, "COMPOSITE", 36, reverseBottom + panel * 16 / 100, 4, dotHeight, Grey(220));
  p.FillRect(36, lines - panel * 36 / 100, kPictureWidth - 36, lines - panel * 12 / 100, Grey(60));
  testCard_.lines = lines;
}

void PictureSources::DrawTestCardMoving(Picture& picture, const SceneTime& time,
                                        const PictureControls* controls) {
  const int lines = picture.Lines();
  const int reverseBottom = ReverseBarsBottom(lines);
  const int panel = lines - reverseBottom;
  const int dotHeight = DotHeight(4, lines);
  const std::string clock = ClockText(time.timeOfDay, time.framesPerSecond);
  DrawText(picture, clock, kPictureWidth - 36 - TextWidth(clock, 4),
           reverseBottom + panel * 16 / 100, 4, dotHeight, Through(controls, Grey(220)));

  // A box sliding along the track, one lap every few seconds.
  constexpr int kBox = 56;
  const int trackTop = lines - panel * 36 / 100;
  const int trackBottom = lines - panel * 12 / 100;
  const int x = 40 + Bounce(time.seconds * 220.0, kPictureWidth - 80 - kBox);
  picture.FillRect(x, trackTop - 2, x + kBox, trackBottom + 2, Through(controls, Grey(200)));
  picture.FillRect(x + kBox / 2 - 4, trackTop + 1, x + kBox / 2 + 4, trackBottom - 1,
                   Through(controls, kColourBars75[5]));
}

// ---------------------------------------------------------------------------
// S-Video: the second scene

namespace {

constexpr int kPanelLeft = 404;
constexpr int kSteps = 11;
constexpr int kStepWidth = 26;
constexpr int kPanelRight = kPanelLeft + kSteps * kStepWidth;
constexpr int kWheelCentreX = 200;
constexpr int kWheelRadius = 150;
constexpr int kChecker = 24;

}  // namespace

void PictureSources::BuildSecondScene(int lines) {
  Picture& p = secondScene_.picture;
  p.Resize(lines);
  for (int line = 0; line < lines; ++line) {
    p.FillRect(0, line, kPictureWidth, line + 1,
               Yuv{static_cast<uint8_t>(52 - 24 * line / std::max(lines, 1)), 142, 122});
  }
  DrawText(p, "S-VIDEO", 36, lines * 4 / 100, 4, DotHeight(4, lines), Grey(220));

  // Grey steps, a smooth grey ramp, a hue ramp.
  const int stepTop = lines * 16 / 100, stepBottom = lines * 30 / 100;
  for (int i = 0; i < kSteps; ++i) {
    p.FillRect(kPanelLeft + i * kStepWidth, stepTop, kPanelLeft + (i + 1) * kStepWidth, stepBottom,
               Grey(16 + i * 219 / (kSteps - 1)));
  }
  const int rampTop = lines * 34 / 100, rampBottom = lines * 48 / 100;
  const int hueTop = lines * 52 / 100, hueBottom = lines * 66 / 100;
  const int width = kPanelRight - kPanelLeft;
  for (int x = kPanelLeft; x < kPanelRight; ++x) {
    const int i = x - kPanelLeft;
    p.FillRect(x, rampTop, x + 1, rampBottom, Grey(16 + i * 219 / (width - 1)));
    double r, g, b;
    HueRgb(static_cast<double>(i) / width, 0.75, r, g, b);
    p.FillRect(x, hueTop, x + 1, hueBottom, YuvFromRgb(r, g, b));
  }

  // The colour wheel: angle and ring for each pixel of its box, drawn flattened so that
  // it shows round on a 4:3 screen.
  const int centreY = lines * 47 / 100;
  const double radiusY = kWheelRadius * lines / kSquareLines;
  wheelLeft_ = kWheelCentreX - kWheelRadius;
  wheelWidth_ = 2 * kWheelRadius;
  wheelTop_ = std::max(0, centreY - static_cast<int>(std::ceil(radiusY)));
  wheelHeight_ = std::min(lines, centreY + static_cast<int>(std::ceil(radiusY)) + 1) - wheelTop_;
  wheel_.assign(static_cast<size_t>(wheelWidth_) * std::max(wheelHeight_, 0), 0xFFFF);
  for (int row = 0; row < wheelHeight_; ++row) {
    const double dy = (wheelTop_ + row - centreY) / radiusY;
    for (int col = 0; col < wheelWidth_; ++col) {
      const double dx = (wheelLeft_ + col + 0.5 - kWheelCentreX) / kWheelRadius;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (r >= 1.0) continue;
      const int ring = std::min(15, static_cast<int>(r * 16));
      const double turns = std::atan2(-dy, dx) / (2 * kPi);
      const int angle = static_cast<int>(std::lround((turns - std::floor(turns)) * 256)) & 255;
      wheel_[static_cast<size_t>(row) * wheelWidth_ + col] =
          static_cast<uint16_t>(ring << 8 | angle);
    }
  }
  for (int ring = 0; ring < 16; ++ring) {
    const double saturation = ring == 15 ? 0.0 : (ring + 0.5) / 15;
    for (int angle = 0; angle < 256; ++angle) {
      double r, g, b;
      HueRgb(angle / 256.0, 0.75, r, g, b);
      wheelColours_[ring][angle] =
          YuvFromRgb(0.75 + (r - 0.75) * saturation, 0.75 + (g - 0.75) * saturation,
                     0.75 + (b - 0.75) * saturation);
    }
  }
  secondScene_.lines = lines;
}

// Drawn through the controls only: wheelShown_ holds the wheel's colours through them.
void PictureSources::DrawSecondSceneMoving(Picture& picture, const SceneTime& time) {
  const int lines = picture.Lines();

  // The wheel turns a quarter turn a second.
  const int turn = static_cast<int>(std::fmod(time.seconds * 64.0, 256.0));
  for (int row = 0; row < wheelHeight_; ++row) {
    uint8_t* out = picture.Row(wheelTop_ + row);
    const uint16_t* info = wheel_.data() + static_cast<size_t>(row) * wheelWidth_;
    for (int col = 0; col < wheelWidth_; ++col) {
      if (info[col] == 0xFFFF) continue;
      const Yuv c = wheelShown_[info[col] >> 8][(info[col] + turn) & 255];
      const int x = wheelLeft_ + col;
      out[2 * x + 1] = c.y;
      out[(x & ~1) * 2] = c.u;
      out[(x & ~1) * 2 + 2] = c.v;
    }
  }

  // The checkerboard scrolls left by one square a half second.
  const int top = lines * 78 / 100, bottom = lines * 94 / 100;
  const int squareLines = std::max(2, DotHeight(kChecker, lines));
  const int shift = static_cast<int>(std::fmod(time.seconds * 48.0, 2.0 * kChecker));
  const Yuv light = checkerShown_[1], dark = checkerShown_[0];
  for (int line = top; line < bottom; ++line) {
    const int rowParity = ((line - top) / squareLines) & 1;
    uint8_t* out = picture.Row(line);
    for (int x = 0; x < kPictureWidth; x += 2) {
      const int parity = (((x + shift) / kChecker) & 1) ^ rowParity;
      const Yuv& c = parity ? light : dark;
      out[2 * x] = c.u;
      out[2 * x + 1] = c.y;
      out[2 * x + 2] = c.v;
      out[2 * x + 3] = c.y;
    }
  }
}

// ---------------------------------------------------------------------------
// Tuner: station idents

namespace {

struct IdentLayout {
  int dotWidth, dotHeight, x, y, width;
};

IdentLayout LayoutIdent(std::string_view name, int lines) {
  const int chars = std::max<int>(static_cast<int>(name.size()), 1);
  IdentLayout l{};
  l.dotWidth = std::clamp(620 / (6 * chars - 1), 3, 16);
  l.dotHeight = DotHeight(l.dotWidth, lines);
  l.width = TextWidth(name, l.dotWidth);
  l.x = (kPictureWidth - l.width) / 2;
  l.y = lines * 42 / 100 - kTextDots * l.dotHeight / 2;
  return l;
}

}  // namespace

void PictureSources::BuildStation(int lines, const BroadcastStation& station) {
  Picture& p = station_.picture;
  p.Resize(lines);
  const double hue = (NameHash(station.name) % 360) / 360.0;
  for (int line = 0; line < lines; ++line) {
    const double level = 0.62 - 0.3 * line / std::max(lines, 1);
    double r, g, b;
    HueRgb(hue, level, r, g, b);
    // Soften towards grey so the name stands out.
    const double grey = level * 0.35;
    p.FillRect(0, line, kPictureWidth, line + 1,
               YuvFromRgb(grey + r * 0.65, grey + g * 0.65, grey + b * 0.65));
  }
  const IdentLayout l = LayoutIdent(station.name, lines);
  const int shadowX = std::max(2, l.dotWidth / 3), shadowY = std::max(1, l.dotHeight / 3);
  DrawText(p, station.name, l.x + shadowX, l.y + shadowY, l.dotWidth, l.dotHeight, Grey(24));
  DrawText(p, station.name, l.x, l.y, l.dotWidth, l.dotHeight, Grey(225));
  const int ruleTop = l.y + (kTextDots + 2) * l.dotHeight;
  p.FillRect(l.x, ruleTop, l.x + l.width, ruleTop + 2, Grey(150));
  station_.lines = lines;
  station_.key = &station;
}

void PictureSources::DrawStationMoving(Picture& picture, const BroadcastStation& station,
                                       const SceneTime& time, const PictureControls* controls) {
  const int lines = picture.Lines();
  const IdentLayout l = LayoutIdent(station.name, lines);
  const int ruleTop = l.y + (kTextDots + 2) * l.dotHeight;
  const int marker = std::max(24, l.width / 8);
  const int x = l.x + Bounce(time.seconds * 160.0, l.width - marker);
  picture.FillRect(x, ruleTop - 2, x + marker, ruleTop + 4, Through(controls, Grey(235)));

  const std::string clock = ClockText(time.timeOfDay, time.framesPerSecond).substr(0, 8);
  const int dotHeight = DotHeight(2, lines);
  DrawText(picture, clock, kPictureWidth - 40 - TextWidth(clock, 2), lines * 6 / 100, 2, dotHeight,
           Through(controls, Grey(225)));
}

// ---------------------------------------------------------------------------
// What the picture of a field is made of

void PictureSources::Prepare(const Scene& scene, int lines, const PictureControls& controls) {
  moving_ = ChangedRows{false, 0, {}};
  const Picture* still = nullptr;
  switch (scene.kind) {
    case SceneKind::TestCard: {
      if (testCard_.lines != lines) BuildTestCard(lines);
      still = &testCard_.picture;
      const int reverseBottom = ReverseBarsBottom(lines);
      const int panel = lines - reverseBottom;
      const int clockTop = reverseBottom + panel * 16 / 100;
      moving_.bands[moving_.count++] = {clockTop, clockTop + kTextDots * DotHeight(4, lines)};
      moving_.bands[moving_.count++] = {lines - panel * 36 / 100 - 2, lines - panel * 12 / 100 + 2};
      break;
    }
    case SceneKind::SecondScene:
      if (secondScene_.lines != lines) BuildSecondScene(lines);
      still = &secondScene_.picture;
      moving_.bands[moving_.count++] = {wheelTop_, wheelTop_ + wheelHeight_};
      moving_.bands[moving_.count++] = {lines * 78 / 100, lines * 94 / 100};
      for (size_t ring = 0; ring < wheelColours_.size(); ++ring) {
        for (size_t angle = 0; angle < 256; ++angle) {
          wheelShown_[ring][angle] = controls.Map(wheelColours_[ring][angle]);
        }
      }
      checkerShown_ = {controls.Map(Grey(16)), controls.Map(Grey(180))};
      break;
    case SceneKind::Station: {
      const BroadcastStation& station = *scene.station;
      if (station_.lines != lines || station_.key != &station) BuildStation(lines, station);
      still = &station_.picture;
      const IdentLayout l = LayoutIdent(station.name, lines);
      const int ruleTop = l.y + (kTextDots + 2) * l.dotHeight;
      const int clockTop = lines * 6 / 100;
      moving_.bands[moving_.count++] = {clockTop, clockTop + kTextDots * DotHeight(2, lines)};
      moving_.bands[moving_.count++] = {ruleTop - 2, ruleTop + 4};
      const Weakness weak = WeaknessOf(station);
      if (weak.amplitude == 0) break;
      clean_.CopyFrom(station_.picture);
      still_.CopyFrom(station_.picture);
      for (int line = 0; line < lines; ++line) {
        uint8_t* q = still_.Row(line);
        for (int x = 0; x < kPictureWidth; x += 2) {
          controls.MapChroma(Faded(q[2 * x], weak.chromaKeep), Faded(q[2 * x + 2], weak.chromaKeep),
                             q[2 * x], q[2 * x + 2]);
        }
      }
      return;
    }
    case SceneKind::Snow:
      return;
    case SceneKind::NoSignal:
      still_.Resize(lines);
      still_.Fill(kColourBars75[6]);
      return;
  }
  still_.CopyFrom(*still);
  controls.Apply(still_, 0, lines);
}

ChangedRows PictureSources::Draw(const Scene& scene, int lines, const SceneTime& time,
                                 const PictureControls& controls, Picture& shown) {
  const Key key{scene.kind, scene.kind == SceneKind::Station ? scene.station : nullptr, lines,
                scene.kind == SceneKind::NoSignal ? 0 : controls.Generation()};
  const bool fresh = !(key == drawn_) || shown.Lines() != lines;
  if (!(key == drawn_)) {
    Prepare(scene, lines, controls);
    drawn_ = key;
  }
  ChangedRows changed = moving_;
  changed.all = fresh;
  switch (scene.kind) {
    case SceneKind::Snow:
      shown.Resize(lines);
      DrawSnow(time.field, controls, shown);
      changed.all = true;
      return changed;
    case SceneKind::Station:
      if (WeaknessOf(*scene.station).amplitude) {
        shown.Resize(lines);
        DrawNoisyStation(*scene.station, time, controls, shown);
        changed.all = true;
        return changed;
      }
      break;
    default:
      break;
  }
  if (fresh) {
    shown.CopyFrom(still_);
  } else {
    for (int i = 0; i < moving_.count; ++i) {
      for (int line = std::max(moving_.bands[i].begin, 0);
           line < std::min(moving_.bands[i].end, lines); ++line) {
        std::memcpy(shown.Row(line), still_.Row(line), kPictureRowBytes);
      }
    }
  }
  switch (scene.kind) {
    case SceneKind::TestCard:
      DrawTestCardMoving(shown, time, &controls);
      break;
    case SceneKind::SecondScene:
      DrawSecondSceneMoving(shown, time);
      break;
    case SceneKind::Station:
      DrawStationMoving(shown, *scene.station, time, &controls);
      break;
    default:
      break;
  }
  return changed;
}
