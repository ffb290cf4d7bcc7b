// The video port engine: field geometry, what each input shows, the decoder's picture
// controls, prescaling into a bounded surface, and the thread's pacing, status bit,
// stop and statistics line.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <fstream>
#include <mutex>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "sim/Font5x7.h"
#include "sim/PictureSources.h"
#include "sim/SimBoard.h"
#include "sim/VideoEngine.h"

namespace {

constexpr uint8_t kGuard = 0xA5;

struct Sample {
  int y, u, v;
};

// A rendered field with a guard band around it.
struct Field {
  int pitch = 0;
  int lines = 0;
  std::vector<uint8_t> bytes;

  Sample At(int x, int line) const {
    const uint8_t* p = bytes.data() + static_cast<size_t>(line) * pitch + (x & ~1) * 2;
    return {p[(x & 1) ? 3 : 1], p[0], p[2]};
  }
  double LumaVariance(int line, int x0, int x1) const {
    double sum = 0, squares = 0;
    for (int x = x0; x < x1; ++x) {
      const double y = At(x, line).y;
      sum += y;
      squares += y * y;
    }
    const double n = x1 - x0;
    return squares / n - (sum / n) * (sum / n);
  }
  bool LineIsBlack(int line, int width) const {
    for (int x = 0; x < width; ++x) {
      const Sample s = At(x, line);
      if (s.y != 16 || s.u != 128 || s.v != 128) return false;
    }
    return true;
  }
};

VideoPortSetup Geometry(int fieldHeight) {
  VideoPortSetup setup;
  setup.fieldHeight = fieldHeight;
  setup.prescaleHeight = fieldHeight;
  return setup;
}

VideoPortSetup Prescaled(int fieldHeight, int width, int lines) {
  VideoPortSetup setup = Geometry(fieldHeight);
  setup.prescale = true;
  setup.prescaleWidth = width;
  setup.prescaleHeight = lines;
  return setup;
}

class VideoEngineTest : public ::testing::Test {
 protected:
  void PowerUp(SimScenario scenario = {}) {
    InstallPortIo(nullptr);
    board_.reset();
    board_ = std::make_unique<SimBoard>(scenario, clock_);
    InstallPortIo(board_.get());
    DecoderInit();
    // Unity gain, so the bars come out as they went in.
    DecoderSetContrast(0x40);
  }
  void TearDown() override {
    InstallPortIo(nullptr);
    board_.reset();
  }
  VideoEngine& Engine() { return board_->Engine(); }

  // Renders a field into a buffer with guard bytes to the right of every line and a
  // whole guard line below.
  Field Render(const VideoPortSetup& setup, uint64_t number = 0) {
    Field f;
    f.pitch = 720 * 2 + 32;
    f.lines = setup.prescale ? setup.prescaleHeight : setup.fieldHeight;
    f.bytes.assign(static_cast<size_t>(f.lines + 1) * f.pitch, kGuard);
    Engine().RenderField(f.bytes.data(), f.pitch, setup, number);
    return f;
  }

  // Sets the tuner's oscillator to receive a vision carrier (American IF).
  void Tune(double visionMHz) {
    const int divider = static_cast<int>(std::lround((visionMHz + 45.75) * 1e6 / 62500.0));
    I2cStart();
    for (const int byte : {0xC0, divider >> 8, divider & 0xFF, 0x8E, 0x01}) {
      I2cWriteByte(static_cast<uint8_t>(byte));
      I2cWaitAck();
    }
    I2cStop();
  }

  FakeClock clock_;
  std::unique_ptr<SimBoard> board_;
};

// The 75% colour bars in studio-range YUV, left to right.
constexpr Sample kBars[8] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                             {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};
constexpr int kBarRow = 11 + 60;  // well inside the bars of a 240-line picture

TEST_F(VideoEngineTest, BlankingLinesLeadThePictureInBothGeometries) {
  PowerUp();
  const Field ntsc = Render(Geometry(251));
  for (int line = 0; line < 11; ++line) EXPECT_TRUE(ntsc.LineIsBlack(line, 720)) << line;
  // The capture path takes its first row from line 11: picture (the test card's frame,
  // then its bars), not blanking.
  EXPECT_EQ(ntsc.At(45, 11).y, 235);
  EXPECT_EQ(ntsc.At(45, 13 + 10).y, kBars[0].y);
  EXPECT_EQ(ntsc.At(45 + 90, 250).u, 128);  // the bottom panel is grey, not yellow
  EXPECT_FALSE(ntsc.LineIsBlack(250, 720));

  SimScenario pal;
  pal.compositeStandard = kPalBghi;
  PowerUp(pal);
  DecoderSetStandard(kPalBghi);
  const Field field = Render(Geometry(288));
  EXPECT_TRUE(field.LineIsBlack(0, 720));
  EXPECT_EQ(field.At(45, 1).y, 235);
  EXPECT_EQ(field.At(45, 3 + 10).y, kBars[0].y);
  EXPECT_FALSE(field.LineIsBlack(287, 720));
}

// The test card's active picture: blanking columns outside, a white frame two samples
// and two lines thick at its edges, so a crop that is off by one shows.
TEST_F(VideoEngineTest, TestCardFramesItsActivePictureInsideBlanking) {
  for (const int standard : {kNtscM, kPalBghi}) {
    SCOPED_TRACE(standard);
    SimScenario scenario;
    scenario.compositeStandard = standard;
    PowerUp(scenario);
    DecoderSetStandard(standard);
    const int fieldLines = standard == kNtscM ? 251 : 288;
    const int top = standard == kNtscM ? 11 : 1, bottom = fieldLines - 1;
    const Field f = Render(Geometry(fieldLines));
    for (int line = top; line <= bottom; ++line) {
      for (const int x : {0, 7, 712, 719}) ASSERT_EQ(f.At(x, line).y, 16) << x << "," << line;
      for (const int x : {8, 9, 710, 711}) ASSERT_EQ(f.At(x, line).y, 235) << x << "," << line;
      // Next to the sides, white only on the frame's own lines and the side marks.
      const bool edgeLine = line < top + 2 || line > bottom - 2;
      const bool mark = (line - top) % 24 == 0;
      ASSERT_EQ(f.At(10, line).y == 235, edgeLine || mark) << line;
      ASSERT_EQ(f.At(709, line).y == 235, edgeLine || mark) << line;
    }
    for (int x = 8; x < 712; ++x) {
      for (const int line : {top, top + 1, bottom - 1, bottom})
        ASSERT_EQ(f.At(x, line).y, 235) << x << "," << line;
    }
  }
}

TEST_F(VideoEngineTest, CompositeShowsTheColourBarsAndMoves) {
  PowerUp();
  const Field first = Render(Geometry(251), 0);
  for (int bar = 0; bar < 8; ++bar) {
    const Sample s = first.At(bar * 90 + 44, kBarRow);
    EXPECT_NEAR(s.y, kBars[bar].y, 1) << "bar " << bar;
    EXPECT_NEAR(s.u, kBars[bar].u, 1) << "bar " << bar;
    EXPECT_NEAR(s.v, kBars[bar].v, 1) << "bar " << bar;
  }
  // A second later the bars are where they were, but something below them has moved.
  const Field later = Render(Geometry(251), 60);
  int barsChanged = 0, panelChanged = 0;
  for (int line = 11; line < 251; ++line) {
    for (int x = 0; x < 720; ++x) {
      const bool differs = first.At(x, line).y != later.At(x, line).y;
      (line < 11 + 140 ? barsChanged : panelChanged) += differs;
    }
  }
  EXPECT_EQ(barsChanged, 0);
  EXPECT_GT(panelChanged, 500);
}

TEST_F(VideoEngineTest, SVideoShowsAnotherSceneInColour) {
  SimScenario scenario;
  scenario.svideoStandard = kNtscM;
  PowerUp(scenario);
  const Field composite = Render(Geometry(251));
  DecoderSelectSVideo();
  const Field svideo = Render(Geometry(251));
  long difference = 0;
  int coloured = 0;
  for (int line = 11; line < 251; ++line) {
    for (int x = 0; x < 720; x += 2) {
      const Sample s = svideo.At(x, line);
      difference += std::abs(s.y - composite.At(x, line).y);
      coloured += std::abs(s.u - 128) + std::abs(s.v - 128) > 40;
    }
  }
  EXPECT_GT(difference / (240 * 360), 20);
  EXPECT_GT(coloured, 5000);
}

TEST_F(VideoEngineTest, NoSourceIsABlueScreenAndOutputOffIsBlack) {
  SimScenario scenario;
  scenario.compositeStandard = kNoSource;
  PowerUp(scenario);
  const Field none = Render(Geometry(251));
  const Sample s = none.At(360, 130);
  EXPECT_GT(s.u, 180);
  EXPECT_NEAR(s.v, 128, 30);
  EXPECT_EQ(none.LumaVariance(130, 0, 720), 0.0);

  PowerUp();
  DecoderDisableOutput();
  const Field off = Render(Geometry(251));
  for (int line = 0; line < 251; ++line) EXPECT_TRUE(off.LineIsBlack(line, 720)) << line;
}

TEST_F(VideoEngineTest, WrongStandardLosesColourAndRollsWhenTheRateDiffers) {
  // Same field rate, other colour standard: the bars stay put, without colour.
  SimScenario sameRate;
  sameRate.compositeStandard = kNtsc443;
  PowerUp(sameRate);
  ASSERT_EQ(DecoderReadStatus() & kDecoderStatusColour, 0);
  for (const uint64_t number : {0u, 45u}) {
    const Field f = Render(Geometry(251), number);
    for (int line = 11; line < 251; ++line) {
      for (int x = 0; x < 720; x += 2) {
        ASSERT_EQ(f.At(x, line).u, 128);
        ASSERT_EQ(f.At(x, line).v, 128);
      }
    }
    for (int bar = 0; bar < 8; ++bar) EXPECT_NEAR(f.At(bar * 90 + 44, kBarRow).y, kBars[bar].y, 1);
    for (int line = 11; line < 251; ++line) EXPECT_FALSE(f.LineIsBlack(line, 720)) << line;
  }

  // A 50 Hz source on a decoder fixed at 60 Hz: the picture rolls through the field,
  // its blanking interval a black bar travelling through the picture.
  SimScenario otherRate;
  otherRate.compositeStandard = kPalBghi;
  PowerUp(otherRate);
  auto blackBar = [](const Field& f) {
    int first = -1, count = 0;
    for (int line = 11; line < 251; ++line) {
      if (!f.LineIsBlack(line, 720)) continue;
      if (first < 0) first = line;
      ++count;
    }
    return std::pair{first, count};
  };
  const auto [firstA, countA] = blackBar(Render(Geometry(251), 20));
  const auto [firstB, countB] = blackBar(Render(Geometry(251), 40));
  EXPECT_GE(countA, 10);
  EXPECT_EQ(countB, countA);
  EXPECT_NE(firstB, firstA);
  EXPECT_EQ(Render(Geometry(251), 20).At(45 + 90, kBarRow).u, 128);
}

TEST_F(VideoEngineTest, PictureControlsMoveTheSamplesTheRightWay) {
  PowerUp();
  const Sample white = Render(Geometry(251)).At(44, kBarRow);
  const Sample yellow = Render(Geometry(251)).At(90 + 44, kBarRow);
  const Sample black = Render(Geometry(251)).At(7 * 90 + 44, kBarRow);

  DecoderSetBrightness(0xA0);
  EXPECT_EQ(Render(Geometry(251)).At(44, kBarRow).y, white.y + 0x20);
  EXPECT_EQ(Render(Geometry(251)).At(7 * 90 + 44, kBarRow).y, black.y + 0x20);
  DecoderSetBrightness(0x80);

  DecoderSetContrast(0x50);  // gain 1.25 about black
  EXPECT_EQ(Render(Geometry(251)).At(44, kBarRow).y, 16 + (white.y - 16) * 5 / 4);
  EXPECT_EQ(Render(Geometry(251)).At(7 * 90 + 44, kBarRow).y, black.y);
  DecoderSetContrast(0x20);
  EXPECT_EQ(Render(Geometry(251)).At(44, kBarRow).y, 16 + (white.y - 16) / 2);
  DecoderSetContrast(0x40);

  auto chroma = [](const Sample& s) { return std::hypot(s.u - 128.0, s.v - 128.0); };
  auto angle = [](const Sample& s) {
    return std::atan2(s.v - 128.0, s.u - 128.0) * 180 / std::numbers::pi;
  };
  auto turn = [&](const Sample& from, const Sample& to) {
    return std::remainder(angle(to) - angle(from), 360.0);
  };
  DecoderSetSaturation(0x60);
  const Sample vivid = Render(Geometry(251)).At(90 + 44, kBarRow);
  EXPECT_NEAR(chroma(vivid), chroma(yellow) * 1.5, 2);
  EXPECT_NEAR(turn(yellow, vivid), 0, 1);
  EXPECT_EQ(vivid.y, yellow.y);
  DecoderSetSaturation(0);
  const Sample grey = Render(Geometry(251)).At(90 + 44, kBarRow);
  EXPECT_EQ(grey.u, 128);
  EXPECT_EQ(grey.v, 128);
  DecoderSetSaturation(0x40);

  // Hue is a signed offset of 360/256 degrees a step.
  DecoderSetHue(HueRegisterValue(128 + 32));  // register +32: 45 degrees
  const Sample turned = Render(Geometry(251)).At(90 + 44, kBarRow);
  EXPECT_NEAR(turn(yellow, turned), 45, 1.5);
  EXPECT_NEAR(chroma(turned), chroma(yellow), 1.5);
  DecoderSetHue(HueRegisterValue(128 - 32));
  EXPECT_NEAR(turn(yellow, Render(Geometry(251)).At(90 + 44, kBarRow)), -45, 1.5);
}

TEST_F(VideoEngineTest, TunerShowsSnowBetweenStationsAndIdentsOnThem) {
  SimScenario scenario;
  scenario.broadcast.stations = {{"STRONG", 55250, kNtscM, 3}, {"FAINT", 211250, kNtscM, 1}};
  PowerUp(scenario);
  DecoderSelectTunerVideo();
  Tune(100.0);
  const Field snow = Render(Geometry(251), 7);
  const Field snowLater = Render(Geometry(251), 8);
  Tune(55.25);
  const Field strong = Render(Geometry(251), 7);
  Tune(211.25);
  const Field faint = Render(Geometry(251), 7);

  // Rows above the name, left of the clock.
  for (const int line : {11 + 30, 11 + 200}) {
    EXPECT_GT(snow.LumaVariance(line, 0, 400), 1500) << line;
    EXPECT_LT(strong.LumaVariance(line, 0, 400), 1.0) << line;
    EXPECT_GT(faint.LumaVariance(line, 0, 400), 100) << line;
    EXPECT_LT(faint.LumaVariance(line, 0, 400), 1500) << line;
    EXPECT_EQ(snow.At(100, line).u, 128);
    EXPECT_NE(strong.At(100, line).u, 128);  // the ident sits on a colour
  }
  EXPECT_NE(snow.bytes, snowLater.bytes);  // snow never stands still
}

// Texts on the pictures (station idents, clocks) come out dot for dot in the font; a
// character the font lacks draws as '?'.
TEST(PictureText, CharactersAreDrawnDotForDotFromTheFont) {
  Picture picture;
  picture.Resize(10);
  picture.Fill(kBlack);
  constexpr Yuv kWhite{235, 128, 128};
  DrawText(picture, "A\x7Fg", 1, 2, 1, 1, kWhite);
  int dots = 0;
  for (const auto& [index, c] : {std::pair{0, 'A'}, {1, '?'}, {2, 'g'}}) {
    const Glyph& glyph = GlyphFor(c);
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 6; ++col) {
        const bool dot = col < 5 && (glyph[row] & (0x10 >> col)) != 0;
        const int x = 1 + 6 * index + col;
        EXPECT_EQ(picture.Row(2 + row)[2 * x + 1], dot ? 235 : 16) << c << " " << row << "," << col;
        dots += dot;
      }
    }
  }
  EXPECT_GT(dots, 30);
  EXPECT_EQ(GlyphFor('\0'), GlyphFor('?'));
  EXPECT_NE(GlyphFor('A'), GlyphFor('B'));
}

TEST_F(VideoEngineTest, PrescalingShrinksIntoTheRequestedSizeOnly) {
  PowerUp();
  // A 352 x 120 window on a 240-line standard: 360 x 126.
  const Field small = Render(Prescaled(251, 360, 126));
  for (int line = 0; line < 126; ++line) {
    EXPECT_EQ(small.bytes[static_cast<size_t>(line) * small.pitch + 720], kGuard) << line;
  }
  for (int i = 0; i < small.pitch; ++i) ASSERT_EQ(small.bytes[126 * small.pitch + i], kGuard);
  // Blanking shrinks with the picture: 11 lines become 5 and a half.
  for (int line = 0; line < 5; ++line) EXPECT_TRUE(small.LineIsBlack(line, 360)) << line;
  for (int bar = 0; bar < 8; ++bar) {
    const Sample s = small.At(bar * 45 + 22, 36);
    EXPECT_NEAR(s.u, kBars[bar].u, 1) << bar;
    EXPECT_NEAR(s.v, kBars[bar].v, 1) << bar;
  }

  // Every level of horizontal prescaling, at full height: the last written byte is the
  // last of the prescaled width, the next one is untouched.
  for (const int width : {720, 360, 180, 90, 45}) {
    const Field f = Render(Prescaled(288, width, 288));
    const int written = (width + 1) / 2 * 4;
    EXPECT_NE(f.bytes[static_cast<size_t>(100) * f.pitch + written - 1], kGuard) << width;
    if (written < f.pitch) {
      EXPECT_EQ(f.bytes[static_cast<size_t>(100) * f.pitch + written], kGuard) << width;
    }
    EXPECT_EQ(f.bytes[static_cast<size_t>(288) * f.pitch], kGuard) << width;
  }
}

// The engine keeps what it drew from field to field and redraws only what moves. A run
// of fields through every input, control change, geometry and roll must come out byte
// for byte as the plain drawing of each whole field gave it: these digests are that
// drawing's, so a row left stale from an earlier field (or another geometry) shows here.
TEST_F(VideoEngineTest, ARunOfFieldsMatchesDrawingEachFieldWhole) {
  auto digest = [](uint64_t h, const Field& f) {
    for (const uint8_t b : f.bytes) h = (h ^ b) * 0x100000001B3ull;
    return h;
  };
  struct Step {
    const char* what;
    std::function<void()> change;
    VideoPortSetup setup;
    std::vector<uint64_t> fields;
  };
  SimScenario scenario;
  scenario.svideoStandard = kNtscM;
  scenario.broadcast.stations = {{"STRONG", 55250, kNtscM, 3}, {"FAINT", 211250, kNtscM, 1}};
  SimScenario pal;
  pal.compositeStandard = kPalBghi;
  auto none = [] {};
  const Step steps[] = {
      {"test card", none, Geometry(251), {0, 1, 2, 61, 62}},
      {"controls",
       [] {
         DecoderSetBrightness(0x90), DecoderSetContrast(0x48), DecoderSetSaturation(0x50),
             DecoderSetHue(HueRegisterValue(148));
       },
       Geometry(251),
       {63, 64}},
      {"odd size", none, Prescaled(251, 353, 200), {65, 66}},
      {"prescaled", none, Prescaled(251, 360, 126), {67, 200, 201}},
      {"whole again", none, Geometry(251), {203}},
      {"s-video", [] { DecoderSelectSVideo(); }, Geometry(251), {0, 1, 90}},
      {"s-video prescaled", none, Prescaled(251, 360, 126), {91, 92}},
      {"s-video pale", [] { DecoderSetSaturation(0x20); }, Prescaled(251, 360, 126), {93}},
      {"strong station", [] { DecoderSelectTunerVideo(); }, Geometry(251), {5, 6}},
      {"faint station", [this] { Tune(211.25); }, Geometry(251), {7, 8}},
      {"faint prescaled", none, Prescaled(251, 360, 126), {9, 10}},
      {"snow", [this] { Tune(100.0); }, Geometry(251), {11, 12}},
      {"strong again", [this] { Tune(55.25); }, Prescaled(251, 180, 63), {13, 14}},
      {"pal", [&] { PowerUp(pal), DecoderSetStandard(kPalBghi); }, Geometry(288), {0, 1, 50}},
      {"pal prescaled", none, Prescaled(288, 360, 144), {51, 52}},
      {"rolling", [] { DecoderSetStandard(kNtscM); }, Geometry(251), {20, 21}},
      {"rolling prescaled", none, Prescaled(251, 360, 126), {22, 23}},
      {"no colour", [] { DecoderSetStandard(kPalN); }, Geometry(288), {3}},
      {"output off", [] { DecoderDisableOutput(); }, Prescaled(288, 360, 144), {4}},
      {"output on", [] { I2cWriteRegister(0x48, 0x11, 0x0C); }, Prescaled(288, 360, 144), {5}},
  };
  const uint64_t expected[] = {
      0xD85EB4449E262AD7ull,  // test card
      0x0F502656AA755051ull,  // controls
      0x1DC8AD81F80613EAull,  // odd size
      0x14D00429379D1732ull,  // prescaled
      0x168F66EDF860E069ull,  // whole again
      0x352CBB42395C9F2Aull,  // s-video
      0x6EB86BEFA10909DFull,  // s-video prescaled
      0xFBAB5BEB34BB5044ull,  // s-video pale
      0xEBA96195E1D7AEB3ull,  // strong station
      0xDC6469960D8F5973ull,  // faint station
      0xD8F80930FBD586D8ull,  // faint prescaled
      0x50048BC55D24B94Bull,  // snow
      0xA835BA78C096462Bull,  // strong again
      0xCCF2D2E8C73094D7ull,  // pal
      0xBF1BA3890AD5D6B9ull,  // pal prescaled
      0x85DA015C47C6A995ull,  // rolling
      0x9D633375766A0D47ull,  // rolling prescaled
      0xA9176E67ECA88CB5ull,  // no colour
      0xE20F27A039AF52E5ull,  // output off
      0x785F1B17121CB26Dull,  // output on
  };
  static_assert(std::size(expected) == std::size(steps));
  PowerUp(scenario);
  size_t i = 0;
  for (const Step& step : steps) {
    step.change();
    Engine().SetClockOrigin(12 * 3600 + 34 * 60 + 56.5);
    uint64_t h = 0xCBF29CE484222325ull;
    for (const uint64_t field : step.fields) h = digest(h, Render(step.setup, field));
    EXPECT_EQ(h, expected[i++]) << step.what << std::hex << ": 0x" << h;
  }
}

// ---------------------------------------------------------------------------
// The thread

uint32_t FieldBit(VideoEngine& engine) {
  auto* word = reinterpret_cast<uint32_t*>(engine.DriverStatusBlock() + kDriverStatusWordOffset);
  return std::atomic_ref<uint32_t>(*word).load() & kDriverStatusFieldBit;
}

// A surface smaller than the field, with guard bytes past each line and below it.
class CountingTarget final : public FieldTarget {
 public:
  CountingTarget(VideoEngine& engine, int width, int height)
      : engine_(engine), width_(width), height_(height), pitch_(width * 2 + 24) {
    buffer_.assign(static_cast<size_t>(height_ + 2) * pitch_, kGuard);
  }
  uint8_t* BeginField(int& pitch, int& width, int& height) override {
    std::lock_guard<std::mutex> lock(mutex_);
    bits_.push_back(FieldBit(engine_));
    if (clearPending_) std::fill(buffer_.begin(), buffer_.end(), kGuard);
    clearPending_ = false;
    if (stallOnField_ >= 0 && static_cast<int>(bits_.size()) == stallOnField_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(75));
    }
    pitch = pitch_;
    width = width_;
    height = height_;
    return buffer_.data();
  }
  void EndField(bool flip) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++fields_;
    flips_ += flip;
  }
  int Fields() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fields_;
  }
  int Flips() {
    std::lock_guard<std::mutex> lock(mutex_);
    return flips_;
  }
  std::vector<uint32_t> Bits() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bits_;
  }
  bool GuardsIntact() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int line = 0; line < height_; ++line) {
      for (int i = width_ * 2; i < pitch_; ++i) {
        if (buffer_[static_cast<size_t>(line) * pitch_ + i] != kGuard) return false;
      }
    }
    for (size_t i = static_cast<size_t>(height_) * pitch_; i < buffer_.size(); ++i) {
      if (buffer_[i] != kGuard) return false;
    }
    return true;
  }
  uint8_t ByteAt(int line, int offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    return buffer_[static_cast<size_t>(line) * pitch_ + offset];
  }
  // The next field lands on a surface of guard bytes.
  void ClearBeforeNextField() {
    std::lock_guard<std::mutex> lock(mutex_);
    clearPending_ = true;
  }
  void StallOnField(int n) { stallOnField_ = n; }

 private:
  VideoEngine& engine_;
  int width_, height_, pitch_;
  std::mutex mutex_;
  std::vector<uint8_t> buffer_;
  std::vector<uint32_t> bits_;
  int fields_ = 0;
  int flips_ = 0;
  bool clearPending_ = false;
  std::atomic<int> stallOnField_{-1};
};

// The figures a run of the port leaves, for the test log: how close to the field rate it
// came is a property of the machine, so it is printed rather than asserted.
void ReportFieldRate(const char* what, const VideoEngineStats& stats) {
  std::printf("report: %s: %llu fields, %llu missed, %.3f fields/s of %.3f over %.3f s\n", what,
              static_cast<unsigned long long>(stats.rendered),
              static_cast<unsigned long long>(stats.missed), stats.measuredRate, stats.fieldRate,
              stats.seconds);
}

// Field times the port has run: each one either delivered a field or was missed, never
// both and never more than one field. Lateness only moves fields into the missed count,
// so on a busy machine the upper bound is exact and the lower one leaves room for the
// last field time, which the stop may cut short.
void ExpectPacing(const VideoEngineStats& stats, double hz) {
  EXPECT_NEAR(stats.fieldRate, hz, 1e-3);
  const double fieldTimes = hz * stats.seconds;
  EXPECT_LE(static_cast<double>(stats.rendered + stats.missed), fieldTimes + 1);
  EXPECT_GE(static_cast<double>(stats.rendered + stats.missed), fieldTimes * 0.5);
  EXPECT_GT(stats.rendered, 0u);
}

// Runs the port for about a second and checks the pacing and the status bit.
void ExpectFieldRate(VideoEngine& engine, const VideoPortSetup& setup, double hz,
                     const char* what) {
  CountingTarget target(engine, 700, 240);
  engine.Start(&target, setup);
  EXPECT_TRUE(engine.Running());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  engine.Stop();
  EXPECT_FALSE(engine.Running());
  const int fields = target.Fields();
  const VideoEngineStats stats = engine.Stats();
  ReportFieldRate(what, stats);
  ExpectPacing(stats, hz);
  EXPECT_EQ(stats.rendered, static_cast<uint64_t>(fields));
  EXPECT_EQ(target.Flips(), fields);

  const std::vector<uint32_t> bits = target.Bits();
  for (size_t i = 1; i < bits.size(); ++i) ASSERT_NE(bits[i], bits[i - 1]) << "field " << i;
  EXPECT_TRUE(target.GuardsIntact());

  // Stopped means stopped: no field arrives afterwards.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(target.Fields(), fields);
}

TEST_F(VideoEngineTest, ThreadDeliversNtscFieldsAt60Hz) {
  PowerUp();
  ExpectFieldRate(Engine(), Geometry(251), 60000.0 / 1001.0, "video engine, NTSC-M");
}

TEST_F(VideoEngineTest, ThreadDeliversPalFieldsAt50HzIntoASmallerSurface) {
  SimScenario scenario;
  scenario.compositeStandard = kPalBghi;
  PowerUp(scenario);
  DecoderSetStandard(kPalBghi);
  ExpectFieldRate(Engine(), Geometry(288), 50.0, "video engine, PAL-BGHI");
}

TEST_F(VideoEngineTest, ThreadKeepsTheDecodersRateWithoutASourceAndFollowsUpdates) {
  SimScenario scenario;
  scenario.compositeStandard = kNoSource;
  PowerUp(scenario);
  CountingTarget target(Engine(), 720, 251);
  Engine().Start(&target, Geometry(251));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ExpectPacing(Engine().Stats(), 60000.0 / 1001.0);  // NTSC-M programmed

  // A new geometry applies from the next field on: only 126 lines of 360 pixels.
  Engine().Update(Prescaled(251, 360, 126));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  target.ClearBeforeNextField();
  const int before = target.Fields();
  while (target.Fields() < before + 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  Engine().Stop();
  EXPECT_NE(target.ByteAt(125, 0), kGuard);
  EXPECT_EQ(target.ByteAt(125, 720), kGuard);
  EXPECT_EQ(target.ByteAt(126, 0), kGuard);
}

TEST_F(VideoEngineTest, LateFieldsAreCountedAsMissedAndNotMadeUp) {
  PowerUp();
  CountingTarget target(Engine(), 720, 251);
  target.StallOnField(5);  // 75 ms: four and a half field times
  Engine().Start(&target, Geometry(251));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Engine().Stop();
  const VideoEngineStats stats = Engine().Stats();
  ReportFieldRate("video engine, one field stalled 75 ms", stats);
  // The stall alone spans three whole field times after the one it held up.
  EXPECT_GE(stats.missed, 3u);
  EXPECT_EQ(stats.rendered, static_cast<uint64_t>(target.Fields()));
  ExpectPacing(stats, 60000.0 / 1001.0);
}

TEST_F(VideoEngineTest, PowerDownAppendsTheStatisticsLine) {
  const std::string path = ::testing::TempDir() + "video_engine_stats.txt";
  std::remove(path.c_str());
  SimScenario scenario;
  scenario.engineStats = path;
  std::vector<VideoEngineStats> runs;
  for (int run = 0; run < 2; ++run) {
    PowerUp(scenario);
    CountingTarget target(Engine(), 720, 251);
    Engine().Start(&target, Geometry(251));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Engine().Stop();
    runs.push_back(Engine().Stats());
    EXPECT_EQ(runs.back().rendered, static_cast<uint64_t>(target.Fields()));
    InstallPortIo(nullptr);
    board_.reset();
  }

  std::ifstream file(path);
  std::string line;
  size_t lines = 0;
  while (std::getline(file, line)) {
    ASSERT_LT(lines, runs.size()) << line;
    const VideoEngineStats& stats = runs[lines++];
    std::istringstream words(line);
    std::string fieldsWord, missedWord, rateWord, rate;
    uint64_t fields = 0, missed = 0;
    words >> fieldsWord >> fields >> missedWord >> missed >> rateWord >> rate;
    ASSERT_EQ(
        "fields " + std::to_string(fields) + " missed " + std::to_string(missed) + " rate " + rate,
        line);
    ASSERT_EQ(rate.find_first_not_of("0123456789."), std::string::npos) << rate;
    ASSERT_EQ(rate.find('.'), rate.size() - 4) << rate;
    EXPECT_EQ(fields, stats.rendered);
    EXPECT_EQ(missed, stats.missed);
    EXPECT_NEAR(std::stod(rate), stats.measuredRate, 0.0005);
    EXPECT_GT(std::stod(rate), 0.0);
    EXPECT_LE(std::stod(rate), stats.fieldRate + 0.001);
  }
  EXPECT_EQ(lines, runs.size());
  std::remove(path.c_str());
}

}  // namespace
