// The overlay's arithmetic: crops and prescaling per window size and standard, mapping
// the visible part of the window onto the picture, the driver's alignment rules, colour
// keys per screen format and the bandwidth decision.
#include <gtest/gtest.h>

#include "display/OverlayGeometry.h"

namespace {

PortGeometry Configure(uint32_t level, int32_t width, int32_t height, int32_t standard) {
  return ComputePortGeometry(PortGeometry{}, level, width, height, standard,
                             VideoPortFieldHeight(standard));
}

TEST(OverlayGeometry, NtscWindowOfOneFieldPrescalesToItsHeight) {
  const PortGeometry g = Configure(0, 352, 240, kNtscM);
  EXPECT_EQ(g.PrescaleWidth, 720u);
  EXPECT_EQ(g.LeftCrop, 4u);
  EXPECT_EQ(g.TopCrop, 12u);  // 11 blanking lines and one more
  EXPECT_EQ(g.SourceBottom, 251u);
  EXPECT_EQ(g.PrescaleHeight, 251u);
  EXPECT_TRUE(g.Prescale);
  EXPECT_EQ(FullSourceRect(g), (Rect{4, 12, 716, 251}));
}

TEST(OverlayGeometry, NtscWindowTallerThanAFieldShowsTheWholeField) {
  const PortGeometry g = Configure(0, 704, 480, kNtscM);
  EXPECT_EQ(g.LeftCrop, 8u);
  EXPECT_EQ(g.TopCrop, 12u);
  EXPECT_EQ(g.SourceBottom, 251u);
  EXPECT_EQ(g.PrescaleHeight, 251u);
  EXPECT_FALSE(g.Prescale);
  EXPECT_EQ(FullSourceRect(g), (Rect{8, 12, 712, 251}));

  // Just one line over the field: the field is no longer shrunk.
  EXPECT_FALSE(Configure(0, 352, 241, kNtscM).Prescale);
}

TEST(OverlayGeometry, NtscHalfHeightWindowShrinksTheBlankingInProportion) {
  const PortGeometry g = Configure(0, 352, 120, kNtscM);
  EXPECT_EQ(g.TopCrop, 7u);  // 11 x 120 / 240 rounded up is 6, plus one
  EXPECT_EQ(g.SourceBottom, 126u);
  EXPECT_EQ(g.PrescaleHeight, 126u);
  EXPECT_TRUE(g.Prescale);
}

TEST(OverlayGeometry, PalHasNoBlankingToCrop) {
  const PortGeometry g = Configure(0, 352, 288, kPalBghi);
  EXPECT_EQ(g.TopCrop, 1u);
  EXPECT_EQ(g.SourceBottom, 288u);
  EXPECT_EQ(g.PrescaleHeight, 288u);
  EXPECT_TRUE(g.Prescale);
  EXPECT_EQ(FullSourceRect(g), (Rect{4, 1, 716, 288}));

  const PortGeometry tall = Configure(0, 768, 576, 5);
  EXPECT_EQ(tall.TopCrop, 1u);
  EXPECT_EQ(tall.SourceBottom, 288u);
  EXPECT_EQ(tall.PrescaleHeight, 288u);
  EXPECT_FALSE(tall.Prescale);

  const PortGeometry small = Configure(0, 176, 144, 6);
  EXPECT_EQ(small.LeftCrop, 2u);
  EXPECT_EQ(small.SourceBottom, 144u);
  EXPECT_EQ(small.PrescaleHeight, 144u);
}

TEST(OverlayGeometry, EveryPrescaleLevelHalvesTheWidthAndPrescales) {
  const uint32_t widths[] = {720, 360, 180, 90, 45};
  for (uint32_t level = 0; level < 5; ++level) {
    const PortGeometry g = Configure(level, 704, 480, kNtscM);
    EXPECT_EQ(g.PrescaleWidth, widths[level]) << level;
    EXPECT_EQ(g.Prescale, level != 0) << level;
    // The crop follows the window, not the prescaled width.
    EXPECT_EQ(FullSourceRect(g), (Rect{8, 12, static_cast<int32_t>(widths[level]) - 8, 251}));
  }
}

TEST(OverlayGeometry, LeftCropIsEightOfEvery720ColumnsRoundedUp) {
  EXPECT_EQ(Configure(0, 0, 240, kNtscM).LeftCrop, 0u);
  EXPECT_EQ(Configure(0, 1, 240, kNtscM).LeftCrop, 1u);
  EXPECT_EQ(Configure(0, 90, 240, kNtscM).LeftCrop, 1u);
  EXPECT_EQ(Configure(0, 91, 240, kNtscM).LeftCrop, 2u);
  EXPECT_EQ(Configure(0, 720, 240, kNtscM).LeftCrop, 8u);
  EXPECT_EQ(Configure(0, 1024, 768, kNtscM).LeftCrop, 12u);
}

TEST(OverlayGeometry, UnknownStandardKeepsTheCropsItHad) {
  PortGeometry previous;
  previous.TopCrop = 12;
  previous.SourceBottom = 251;
  previous.PrescaleHeight = 251;
  const PortGeometry g = ComputePortGeometry(previous, 0, 352, 240, 9, 251);
  EXPECT_EQ(g.TopCrop, 13u);
  EXPECT_EQ(g.SourceBottom, 251u);
  EXPECT_EQ(g.PrescaleHeight, 251u);
  EXPECT_FALSE(g.Prescale);
}

TEST(OverlayGeometry, VisiblePartOfTheWindowShowsTheMatchingPartOfThePicture) {
  const Rect full{4, 12, 716, 251};
  const Rect client{100, 100, 452, 340};
  Rect source;

  ASSERT_TRUE(MapDestRectToSource(source, full, client, client));
  EXPECT_EQ(source, full);

  // Right half visible: the right half of the picture.
  ASSERT_TRUE(MapDestRectToSource(source, full, Rect{276, 100, 452, 340}, client));
  EXPECT_EQ(source, (Rect{360, 12, 716, 251}));

  // Bottom quarter visible.
  ASSERT_TRUE(MapDestRectToSource(source, full, Rect{100, 280, 452, 340}, client));
  EXPECT_EQ(source, (Rect{4, 191, 716, 251}));  // 180 x 239 / 240 = 179.25

  // Every division truncates.
  ASSERT_TRUE(
      MapDestRectToSource(source, Rect{0, 0, 720, 251}, Rect{0, 0, 33, 33}, Rect{0, 0, 100, 100}));
  EXPECT_EQ(source, (Rect{0, 0, 237, 82}));
}

TEST(OverlayGeometry, EmptyWindowMapsNothing) {
  Rect source{1, 2, 3, 4};
  EXPECT_FALSE(MapDestRectToSource(source, Rect{4, 12, 716, 251}, Rect{10, 10, 10, 50},
                                   Rect{10, 10, 10, 50}));
  EXPECT_FALSE(MapDestRectToSource(source, Rect{4, 12, 716, 251}, Rect{10, 10, 50, 10},
                                   Rect{10, 10, 50, 10}));
  EXPECT_EQ(source, (Rect{1, 2, 3, 4}));
}

TEST(OverlayGeometry, SourceAlignmentRoundsLeftUpThenCutsTheWidth) {
  const uint32_t both = kAlignBoundarySrc | kAlignSizeSrc;
  EXPECT_EQ(AlignSourceRule(Rect{5, 0, 100, 240}, both, 4, 8), (Rect{8, 0, 96, 240}));
  // Each rule alone.
  EXPECT_EQ(AlignSourceRule(Rect{5, 0, 100, 240}, kAlignBoundarySrc, 4, 8), (Rect{8, 0, 100, 240}));
  EXPECT_EQ(AlignSourceRule(Rect{5, 0, 100, 240}, kAlignSizeSrc, 4, 8), (Rect{5, 0, 93, 240}));
  // Already aligned: unchanged.
  EXPECT_EQ(AlignSourceRule(Rect{8, 3, 96, 9}, both, 4, 8), (Rect{8, 3, 96, 9}));
  // A zero value switches its rule off even with the flag.
  EXPECT_EQ(AlignSourceRule(Rect{5, 0, 100, 240}, both, 0, 0), (Rect{5, 0, 100, 240}));
  // The destination's flags do not touch the source.
  EXPECT_EQ(AlignSourceRule(Rect{5, 0, 100, 240}, kAlignBoundaryDest | kAlignSizeDest, 4, 8),
            (Rect{5, 0, 100, 240}));
}

TEST(OverlayGeometry, DestinationAlignmentUsesItsOwnFlags) {
  const uint32_t both = kAlignBoundaryDest | kAlignSizeDest;
  EXPECT_EQ(AlignDestRule(Rect{5, 7, 100, 240}, both, 4, 8), (Rect{8, 7, 96, 240}));
  EXPECT_EQ(AlignDestRule(Rect{5, 7, 100, 240}, kAlignBoundarySrc | kAlignSizeSrc, 4, 8),
            (Rect{5, 7, 100, 240}));
  EXPECT_EQ(AlignDestRule(Rect{101, 0, 400, 1}, both, 16, 32), (Rect{112, 0, 400, 1}));
}

TEST(OverlayGeometry, AlignmentIsUnsignedLikeTheDriver) {
  // A window hanging off the left edge of the screen.
  EXPECT_EQ(AlignRect(Rect{-5, 0, 100, 1}, true, 4, false, 0).left, -4);
  // With a boundary that does not divide 2^32, unsigned rounding lands elsewhere than
  // signed rounding (-3) would.
  EXPECT_EQ(AlignRect(Rect{-5, 0, 100, 1}, true, 3, false, 0).left, -4);
}

TEST(OverlayGeometry, ColorKeyIsMagentaInTheScreenFormat) {
  EXPECT_EQ(ColorKeyForFormat(true, 16, 0xF800, 0x07E0, 0x001F), 0xF81Fu);
  EXPECT_EQ(ColorKeyForFormat(true, 16, 0x7C00, 0x03E0, 0x001F), 0x7C1Fu);
  EXPECT_EQ(ColorKeyForFormat(true, 16, 0x0F00, 0x00F0, 0x000F), 0u);
  EXPECT_EQ(ColorKeyForFormat(true, 16, 0x001F, 0x07E0, 0xF800), 0u);  // BGR order
  EXPECT_EQ(ColorKeyForFormat(true, 8, 0, 0, 0), 253u);
  EXPECT_EQ(ColorKeyForFormat(true, 24, 0xFF0000, 0xFF00, 0xFF), 0xFF00FFu);
  EXPECT_EQ(ColorKeyForFormat(true, 32, 0xFF0000, 0xFF00, 0xFF), 0xFF00FFu);
  EXPECT_EQ(ColorKeyForFormat(true, 32, 0xFF, 0xFF00, 0xFF0000), 0xFF00FFu);
  EXPECT_EQ(ColorKeyForFormat(true, 4, 0, 0, 0), 0u);
  EXPECT_EQ(ColorKeyForFormat(true, 15, 0x7C00, 0x03E0, 0x001F), 0u);
  // Not an RGB screen at all.
  EXPECT_EQ(ColorKeyForFormat(false, 16, 0xF800, 0x07E0, 0x001F), 0u);
  EXPECT_EQ(ColorKeyForFormat(false, 32, 0, 0, 0), 0u);
}

TEST(OverlayGeometry, KeyAlwaysFromBandwidthAnswers) {
  // Source-type answers: the key is left off only when keying with interpolation is
  // below both other figures.
  EXPECT_EQ(KeyAlwaysFromBandwidth(true, 1000, 2000, 3000), 0);
  EXPECT_EQ(KeyAlwaysFromBandwidth(true, 2000, 2000, 3000), 1);
  EXPECT_EQ(KeyAlwaysFromBandwidth(true, 2500, 2000, 3000), 1);
  EXPECT_EQ(KeyAlwaysFromBandwidth(true, 4000, 2000, 3000), 1);
  // Other answers: left off only when it is above both.
  EXPECT_EQ(KeyAlwaysFromBandwidth(false, 4000, 2000, 3000), 0);
  EXPECT_EQ(KeyAlwaysFromBandwidth(false, 3000, 2000, 3000), 1);
  EXPECT_EQ(KeyAlwaysFromBandwidth(false, 2500, 2000, 3000), 1);
  EXPECT_EQ(KeyAlwaysFromBandwidth(false, 1000, 2000, 3000), 1);
  // Compared unsigned.
  EXPECT_EQ(KeyAlwaysFromBandwidth(false, 0xFFFFFFFF, 2000, 3000), 0);
  EXPECT_EQ(KeyAlwaysFromBandwidth(true, 0, 0xFFFFFFFF, 0x80000000), 0);
}

}  // namespace
