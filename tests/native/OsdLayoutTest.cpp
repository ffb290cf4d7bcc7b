// Where the on-screen display draws for the two field sizes and a full screen.
#include <gtest/gtest.h>

#include "ui/OsdLayout.h"

namespace {

TEST(OsdLayout, NtscFieldSizes) {
  EXPECT_EQ(OsdFontHeight(240), 20);
  EXPECT_EQ(ChannelOsdRect(352, 240), (OsdRect{0, 15, 323, 60}));
  EXPECT_EQ(BottomOsdRect(352, 240), (OsdRect{0, 202, 334, 240}));
  // Tall bars 352 / 42 = 8 wide from 6h/7 = 205 for h/14 = 17 lines; marks 352 / 60 = 5 wide.
  EXPECT_EQ(OsdBarRect(352, 240, 0, 1), (OsdRect{44, 205, 52, 222}));
  EXPECT_EQ(OsdBarRect(352, 240, 0, 0), (OsdRect{44, 211, 49, 215}));
}

TEST(OsdLayout, PalFieldSizes) {
  EXPECT_EQ(OsdFontHeight(288), 24);
  EXPECT_EQ(ChannelOsdRect(352, 288), (OsdRect{0, 18, 323, 72}));
  EXPECT_EQ(BottomOsdRect(352, 288), (OsdRect{0, 242, 334, 288}));
  const OsdRect tall = OsdBarRect(352, 288, 3, 21);
  EXPECT_EQ(tall.Top, 246);
  EXPECT_EQ(tall.Bottom, 266);
  const OsdRect mark = OsdBarRect(352, 288, 3, 0);
  EXPECT_EQ(mark.Top, 246 + 8);
  EXPECT_EQ(mark.Bottom, 246 + 12);
}

TEST(OsdLayout, RightEdgesOfTheTwoRectanglesMayDiffer) {
  // 19 x (w / 20) loses what 19w / 20 keeps.
  EXPECT_EQ(ChannelOsdRect(359, 240).Right, 323);
  EXPECT_EQ(BottomOsdRect(359, 240).Right, 341);
  EXPECT_EQ(ChannelOsdRect(1024, 768).Right, 969);
  EXPECT_EQ(BottomOsdRect(1024, 768).Right, 972);
}

TEST(OsdLayout, BarGraphFollowsTheLevel) {
  for (int level : {0, 11, 21}) {
    int tall = 0;
    int previousRight = -1;
    for (int i = 0; i < kOsdBarPositions; ++i) {
      const OsdRect r = OsdBarRect(352, 240, i, level);
      if (r.Top == 205) ++tall;
      EXPECT_GT(r.Left, previousRight) << "positions overlap at " << i;
      previousRight = r.Right;
    }
    EXPECT_EQ(tall, level);
  }
  // The graph stays left of the number at the right edge, also on a full screen.
  EXPECT_LT(OsdBarRect(352, 240, 20, 21).Right, BottomOsdRect(352, 240).Right);
  EXPECT_LT(OsdBarRect(1024, 768, 20, 21).Right, BottomOsdRect(1024, 768).Right);
  EXPECT_EQ(OsdBarLeft(352, 20), 44 + 251);
}

}  // namespace
