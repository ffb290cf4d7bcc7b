// The committed skin bitmaps as the panels use them in place: their headers, the shared
// colour tables, and that a button's look copied out of the pressed or lit image by its
// rectangle brings only that button along.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kResources = std::filesystem::path(LUMETRA_SOURCE_DIR) / "resources";

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
         static_cast<uint32_t>(b.at(at + 3)) << 24;
}

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

struct Bitmap {
  std::vector<uint8_t> file;
  int width = 0, height = 0, bits = 0;
  uint32_t tableEntries = 0;

  size_t TableAt() const { return 14 + 40; }
  size_t PixelsAt() const { return Get32(file, 10); }
  size_t Stride() const { return ((static_cast<size_t>(width) * bits + 31) / 32) * 4; }
  std::vector<uint8_t> Table() const {
    return {file.begin() + TableAt(), file.begin() + TableAt() + 4 * tableEntries};
  }
  // Colour at (x, y), y counted from the top; the rows are stored bottom-up.
  Rgb At(int x, int y) const {
    const size_t row = PixelsAt() + Stride() * static_cast<size_t>(height - 1 - y);
    uint32_t index = 0;
    if (bits == 8) {
      index = file.at(row + x);
    } else {
      const uint8_t pair = file.at(row + x / 2);
      index = x % 2 == 0 ? pair >> 4 : pair & 15;
    }
    EXPECT_LT(index, tableEntries) << x << "," << y;
    const size_t quad = TableAt() + 4 * std::min(index, tableEntries - 1);
    return {file.at(quad + 2), file.at(quad + 1), file.at(quad)};
  }
};

Bitmap Load(const std::string& name) {
  std::ifstream in(kResources / name, std::ios::binary);
  Bitmap bmp;
  bmp.file.assign(std::istreambuf_iterator<char>(in), {});
  if (bmp.file.size() < 54) {
    ADD_FAILURE() << "cannot read " << (kResources / name);
  } else {
    bmp.width = static_cast<int>(Get32(bmp.file, 18));
    bmp.height = static_cast<int>(Get32(bmp.file, 22));
    bmp.bits = static_cast<int>(Get16(bmp.file, 28));
    const uint32_t used = Get32(bmp.file, 46);
    bmp.tableEntries = used ? used : 1u << bmp.bits;
  }
  return bmp;
}

struct Expected {
  const char* file;
  int width, height, bits;
  uint32_t clrUsed, tableEntries;
};

constexpr std::array<Expected, 9> kSkins = {{
    {"main_panel_normal.bmp", 420, 70, 8, 236, 236},
    {"main_panel_pressed.bmp", 420, 70, 8, 236, 236},
    {"main_panel_lit.bmp", 420, 70, 8, 236, 236},
    {"tuner_panel_normal.bmp", 140, 304, 8, 65, 65},
    {"tuner_panel_pressed.bmp", 140, 304, 8, 65, 65},
    {"sound_on.bmp", 16, 13, 4, 11, 11},
    {"sound_muted.bmp", 16, 13, 4, 11, 11},
    {"channel_unchecked.bmp", 20, 20, 4, 0, 16},
    {"channel_checked.bmp", 20, 20, 4, 0, 16},
}};

// The panels take the pixels at biSize + 4 x N, N the explicit colour count, and read the
// rows bottom-up with the platform's padding: any other layout paints garbage.
TEST(SkinArtwork, HeadersAreThoseThePanelsReadInPlace) {
  for (const auto& e : kSkins) {
    SCOPED_TRACE(e.file);
    const Bitmap bmp = Load(e.file);
    ASSERT_GE(bmp.file.size(), 54u);
    const auto& f = bmp.file;
    EXPECT_EQ(Get16(f, 0), 0x4D42u);  // "BM"
    EXPECT_EQ(Get32(f, 2), f.size());
    EXPECT_EQ(Get32(f, 10), 14 + 40 + 4 * e.tableEntries);
    EXPECT_EQ(Get32(f, 14), 40u);
    EXPECT_EQ(bmp.width, e.width);
    EXPECT_EQ(bmp.height, e.height);  // positive: bottom-up
    EXPECT_EQ(Get16(f, 26), 1u);
    EXPECT_EQ(bmp.bits, e.bits);
    EXPECT_EQ(Get32(f, 30), 0u);  // BI_RGB
    EXPECT_EQ(Get32(f, 34), bmp.Stride() * e.height);
    EXPECT_EQ(Get32(f, 46), e.clrUsed);
    EXPECT_EQ(f.size(), bmp.PixelsAt() + bmp.Stride() * e.height);
    for (uint32_t i = 0; i < e.tableEntries; ++i) EXPECT_EQ(f.at(54 + 4 * i + 3), 0) << i;
  }
}

// One palette is built from the normal image and serves every image of the panel.
TEST(SkinArtwork, ImagesOfAPanelShareTheNormalImagesColourTable) {
  const auto mainTable = Load("main_panel_normal.bmp").Table();
  EXPECT_EQ(Load("main_panel_pressed.bmp").Table(), mainTable);
  EXPECT_EQ(Load("main_panel_lit.bmp").Table(), mainTable);
  EXPECT_EQ(Load("tuner_panel_pressed.bmp").Table(), Load("tuner_panel_normal.bmp").Table());
}

// The read-outs are drawn in green, yellow and white with a transparent background.
TEST(SkinArtwork, MainReadOutFieldIsDarkAndTheTrackbarStripPlainGrey) {
  const Bitmap bmp = Load("main_panel_normal.bmp");
  ASSERT_EQ(bmp.width, 420);
  for (int y = 27; y < 27 + 29; ++y)
    for (int x = 137; x < 137 + 144; ++x) {
      const Rgb c = bmp.At(x, y);
      ASSERT_LE(std::max({c.r, c.g, c.b}), 40) << x << "," << y;
    }
  const Rgb strip = bmp.At(137, 10);
  EXPECT_LE(std::abs(strip.r - 192) + std::abs(strip.g - 192) + std::abs(strip.b - 192), 12);
  for (int y = 10; y < 10 + 15; ++y)
    for (int x = 137; x < 137 + 100; ++x) ASSERT_EQ(bmp.At(x, y), strip) << x << "," << y;
}

// The sound marks are copied opaque onto the tuner's read-out at (20, 50): their
// background must be the read-out's own colour there.
TEST(SkinArtwork, SoundMarksSitOnTheTunerReadOutsColour) {
  const Bitmap tuner = Load("tuner_panel_normal.bmp");
  ASSERT_EQ(tuner.width, 140);
  for (const char* name : {"sound_on.bmp", "sound_muted.bmp"}) {
    SCOPED_TRACE(name);
    const Bitmap mark = Load(name);
    ASSERT_EQ(mark.width, 16);
    const Rgb background = mark.At(0, 0);
    int marked = 0;
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(tuner.At(20 + x, 50 + y), background) << x << "," << y;
        marked += !(mark.At(x, y) == background);
      }
    EXPECT_GT(marked, 30);  // there is a mark
  }
  EXPECT_NE(Load("sound_on.bmp").file, Load("sound_muted.bmp").file);
}

struct Rect {
  int x, y, w, h;
  bool Holds(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Every pixel where the look image differs from the normal one lies in exactly one of the
// looks (so copying a look never brings a neighbour along), and each look shows a change.
void ExpectLooksConfined(const Bitmap& normal, const Bitmap& look,
                         const std::vector<std::vector<Rect>>& looks) {
  ASSERT_EQ(normal.width, look.width);
  ASSERT_EQ(normal.height, look.height);
  std::vector<int> changedIn(looks.size());
  for (int y = 0; y < normal.height; ++y)
    for (int x = 0; x < normal.width; ++x) {
      if (normal.At(x, y) == look.At(x, y)) continue;
      int owners = 0;
      for (size_t i = 0; i < looks.size(); ++i)
        if (std::any_of(looks[i].begin(), looks[i].end(),
                        [&](const Rect& r) { return r.Holds(x, y); })) {
          ++owners;
          ++changedIn[i];
        }
      EXPECT_EQ(owners, 1) << "pixel " << x << "," << y;
    }
  for (size_t i = 0; i < looks.size(); ++i)
    EXPECT_GT(changedIn[i], 20) << "look " << i << " at " << looks[i][0].x << "," << looks[i][0].y;
}

// The main panel's hot areas (id, left, top, right, bottom), from the layout the panel and
// the skin generator are built from.
std::vector<std::array<int, 5>> MainHotAreas() {
  std::vector<std::array<int, 5>> areas;
  std::ifstream in(kResources / "main_panel_layout.inc");
  for (std::string line; std::getline(in, line);) {
    std::array<int, 5> a{};
    if (std::sscanf(line.c_str(), "MAIN_HOT_AREA(%d, %d, %d, %d, %d)", &a[0], &a[1], &a[2], &a[3],
                    &a[4]) == 5)
      areas.push_back(a);
  }
  return areas;
}

TEST(SkinArtwork, MainPanelLooksChangeOnlyTheirOwnRectangles) {
  constexpr int kLogo = 1155, kOpenVideoFile = 101;
  const auto smallKey = [](int id) { return id == 105 || id == 1153 || id == 1154; };
  // Pressed looks, by hot area; the three window buttons' looks are 12 x 12, the logo has
  // none. Lit looks: the buttons with a lit flag.
  std::vector<std::vector<Rect>> pressed, lit;
  for (const auto& [id, left, top, right, bottom] : MainHotAreas()) {
    const Rect whole = {left, top, right - left, bottom - top};
    if (id != kLogo) pressed.push_back({smallKey(id) ? Rect{left, top, 12, 12} : whole});
    if (id != kLogo && id != kOpenVideoFile && !smallKey(id)) lit.push_back({whole});
  }
  ASSERT_EQ(pressed.size(), 21u);
  ASSERT_EQ(lit.size(), 17u);
  const Bitmap normal = Load("main_panel_normal.bmp");
  {
    SCOPED_TRACE("pressed");
    ExpectLooksConfined(normal, Load("main_panel_pressed.bmp"), pressed);
  }
  {
    SCOPED_TRACE("lit");
    ExpectLooksConfined(normal, Load("main_panel_lit.bmp"), lit);
  }
}

TEST(SkinArtwork, TunerPanelPressedLooksChangeOnlyTheirOwnRectangles) {
  const std::vector<std::vector<Rect>> pressed = {
      {{38, 231, 21, 12}, {42, 223, 28, 12}, {51, 219, 10, 10}, {59, 216, 12, 17}},
      {{71, 217, 14, 20}, {85, 225, 17, 21}},
      {{47, 78, 23, 19}},
      {{71, 78, 25, 19}},
      {{23, 101, 30, 18}},
      {{57, 101, 30, 18}},
      {{88, 101, 30, 18}},
      {{23, 125, 30, 18}},
      {{57, 125, 30, 18}},
      {{88, 125, 30, 18}},
      {{23, 148, 30, 18}},
      {{57, 148, 30, 18}},
      {{88, 148, 30, 18}},
      {{57, 170, 30, 18}},
      {{22, 167, 31, 26}},
      {{88, 167, 31, 26}},
      {{30, 200, 20, 23},
       {50, 200, 6, 19},
       {56, 200, 35, 18},
       {90, 200, 13, 23},
       {103, 200, 7, 20}},
      {{105, 219, 24, 10}, {100, 223, 24, 46}},
      {{40, 247, 31, 28}},
      {{71, 246, 31, 27}},
      {{17, 217, 12, 5}, {17, 222, 23, 44}}};
  ExpectLooksConfined(Load("tuner_panel_normal.bmp"), Load("tuner_panel_pressed.bmp"), pressed);
}

}  // namespace
