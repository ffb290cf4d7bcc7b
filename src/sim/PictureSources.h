// The pictures the board's inputs carry, as the analogue sources would send them and
// before the decoder touches them: UYVY (per pixel pair U, Y0, V, Y1), 720 pixels a
// line, as many lines as the field shows of the picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct BroadcastStation;

constexpr int kPictureWidth = 720;
constexpr int kPictureRowBytes = kPictureWidth * 2;

// Studio-range 8-bit colour: Y 16..235, U and V 16..240 around 128.
struct Yuv {
  uint8_t y = 16;
  uint8_t u = 128;
  uint8_t v = 128;
};

constexpr Yuv kBlack{16, 128, 128};

// Gamma-corrected R'G'B' in 0..1 to studio-range YUV (the standard-definition weights).
Yuv YuvFromRgb(double r, double g, double b);

// The eight 75% colour bars, left to right: white, yellow, cyan, green, magenta, red,
// blue, black; each kPictureWidth / 8 pixels wide.
extern const std::array<Yuv, 8> kColourBars75;

class Picture {
 public:
  void Resize(int lines);
  int Lines() const { return lines_; }
  uint8_t* Row(int line) { return bytes_.data() + static_cast<size_t>(line) * kPictureRowBytes; }
  const uint8_t* Row(int line) const {
    return bytes_.data() + static_cast<size_t>(line) * kPictureRowBytes;
  }
  uint8_t* Data() { return bytes_.data(); }
  size_t Bytes() const { return bytes_.size(); }

  void Fill(Yuv colour) { FillRect(0, 0, kPictureWidth, lines_, colour); }
  // [x0, x1) x [y0, y1), clipped to the picture. A pair cut by the left or right edge
  // takes the rectangle's chroma, as a 4:2:2 picture must.
  void FillRect(int x0, int y0, int x1, int y1, Yuv colour);
  // Copies another picture of the same size.
  void CopyFrom(const Picture& other);

 private:
  std::vector<uint8_t> bytes_;
  int lines_ = 0;
};

// Text in a 5 x 7 dot font (printable ASCII); every dot is dotWidth pixels by dotHeight
// lines, and characters advance by six dots.
void DrawText(Picture& picture, std::string_view text, int x, int y, int dotWidth, int dotHeight,
              Yuv colour);
int TextWidth(std::string_view text, int dotWidth);
constexpr int kTextDots = 7;  // a line of text is this many dots tall

// "hh:mm:ss.ff" for a time of day in seconds; ff counts frames within the second.
std::string ClockText(double secondsOfDay, int framesPerSecond);

// When a picture is drawn.
struct SceneTime {
  double seconds = 0.0;    // since the source started: drives everything that moves
  double timeOfDay = 0.0;  // seconds since midnight, for the clocks
  int framesPerSecond = 30;
  uint64_t field = 0;  // seeds the noise, so a field is the same every time it is drawn
};

// What an input carries.
enum class SceneKind {
  TestCard,     // composite: 75% colour bars, the reverse bars below them, a box sliding
                // along a track, the caption "COMPOSITE" and a clock
  SecondScene,  // S-Video: a turning colour wheel, grey steps and ramps, a hue ramp, a
                // scrolling checkerboard and the caption "S-VIDEO"
  Station,      // tuner on a station: its name large on a colour taken from the name, a
                // marker moving under it and a small clock; the weaker, the more noise
  Snow,         // tuner between stations
  NoSignal,     // the decoder's own screen when nothing comes in
};

struct Scene {
  SceneKind kind = SceneKind::NoSignal;
  const BroadcastStation* station = nullptr;  // for SceneKind::Station
};

// Rows [begin, end) of a picture.
struct RowBand {
  int begin = 0, end = 0;
};

// The rows one drawing changed against the one before: all, or the bands listed.
struct ChangedRows {
  bool all = true;
  int count = 0;
  std::array<RowBand, 2> bands{};
  bool Touches(int begin, int end) const;
};

class PictureControls;

// Draws each input's picture as the decoder passes it on. The still parts of a picture
// are drawn once per height, station and setting of the controls; each field redraws only
// the rows its moving parts touch, and the noise of a weak signal goes through the
// controls in the same pass that makes it.
class PictureSources {
 public:
  // This field's picture of `scene`, `lines` lines tall, through the controls (the
  // decoder's own no-signal screen bypasses them), into `shown`, which must hold what the
  // previous call left in it.
  ChangedRows Draw(const Scene& scene, int lines, const SceneTime& time,
                   const PictureControls& controls, Picture& shown);

  // Where the test card's parts lie in a picture of `lines` lines: the active picture
  // between blanking columns, inside it a white frame, then the bars.
  static constexpr int kActiveLeft = 8;
  static constexpr int kActiveWidth = kPictureWidth - 2 * kActiveLeft;
  static constexpr int kFrameColumns = 2;
  static constexpr int kFrameLines = 2;
  static int BarsBottom(int lines) { return lines * 63 / 100; }
  static int ReverseBarsBottom(int lines) { return lines * 71 / 100; }

 private:
  struct Cached {
    int lines = -1;
    const void* key = nullptr;
    Picture picture;
  };
  struct Key {
    SceneKind kind = SceneKind::NoSignal;
    const BroadcastStation* station = nullptr;
    int lines = -1;
    uint64_t controls = 0;
    bool operator==(const Key&) const = default;
  };
  void BuildTestCard(int lines);
  void BuildSecondScene(int lines);
  void BuildStation(int lines, const BroadcastStation& station);
  // The still picture of the scene through the controls, and the rows that move.
  void Prepare(const Scene& scene, int lines, const PictureControls& controls);
  void DrawTestCardMoving(Picture& picture, const SceneTime& time, const PictureControls* controls);
  void DrawSecondSceneMoving(Picture& picture, const SceneTime& time);
  void DrawStationMoving(Picture& picture, const BroadcastStation& station, const SceneTime& time,
                         const PictureControls* controls);
  void DrawNoisyStation(const BroadcastStation& station, const SceneTime& time,
                        const PictureControls& controls, Picture& shown);
  void DrawSnow(uint64_t field, const PictureControls& controls, Picture& shown);

  Cached testCard_;
  Cached secondScene_;
  Cached station_;
  // The colour wheel of the second scene: per pixel of its bounding box, the ring
  // (high byte, 0xFF outside the wheel) and the angle (low byte).
  std::vector<uint16_t> wheel_;
  int wheelLeft_ = 0, wheelTop_ = 0, wheelWidth_ = 0, wheelHeight_ = 0;
  std::array<std::array<Yuv, 256>, 16> wheelColours_{};
  std::array<std::array<Yuv, 256>, 16> wheelShown_{};  // through the controls
  std::array<Yuv, 2> checkerShown_{};                  // dark and light squares, likewise

  Key drawn_;
  Picture still_;  // the still picture through the controls
  ChangedRows moving_;
  // A weak station: its picture with the moving parts, before noise and controls.
  Picture clean_;
};
