// The standards table against its users: the two height groups, the names the program
// shows and the board's scenarios accept, and the field rate each standard decodes at.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hw/Decoder.h"
#include "hw/PortIo.h"
#include "shared/VideoStandards.h"
#include "sim/SimBoard.h"

namespace {

TEST(VideoStandards, GroupsGiveFieldAndPictureHeights) {
  for (int32_t standard : {0, 1, 2, 4}) {
    EXPECT_TRUE(IsStandard240Line(standard)) << standard;
    EXPECT_EQ(VideoPortFieldHeight(standard, 7), 251u) << standard;
    EXPECT_EQ(PictureHeightForStandard(standard, 7), 240u) << standard;
    EXPECT_EQ(FieldBlankingLines(standard), 11u) << standard;
  }
  for (int32_t standard : {3, 5, 6}) {
    EXPECT_FALSE(IsStandard240Line(standard)) << standard;
    EXPECT_EQ(VideoPortFieldHeight(standard, 7), 288u) << standard;
    EXPECT_EQ(PictureHeightForStandard(standard, 7), 288u) << standard;
    EXPECT_EQ(FieldBlankingLines(standard), 0u) << standard;
  }
  // Anything else leaves the configured height alone.
  EXPECT_EQ(VideoPortFieldHeight(7, 288), 288u);
  EXPECT_EQ(VideoPortFieldHeight(-1, 251), 251u);
  EXPECT_EQ(PictureHeightForStandard(7, 240), 240u);
  EXPECT_EQ(PictureHeightForStandard(INT32_MIN, 288), 288u);
  EXPECT_FALSE(IsStandard240Line(-1));
}

TEST(VideoStandards, NamesRatesAndTheScenarioSpelling) {
  const char* const names[] = {"NTSC-M", "NTSC-N", "NTSC-4.43", "PAL-BGHI",
                               "PAL-M",  "PAL-N",  "PAL-4.43"};
  for (int standard = 0; standard < static_cast<int>(kVideoStandardCount); ++standard) {
    EXPECT_STREQ(VideoStandardName(standard), names[standard]);
    EXPECT_EQ(ParseSourceStandard(names[standard]), standard);
    std::string lower = names[standard];
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ParseSourceStandard(lower), standard) << lower;
    EXPECT_STREQ(SourceStandardName(standard), names[standard]);
    const bool is60 = standard == 0 || standard == 2 || standard == 4 || standard == 6;
    EXPECT_EQ(StandardIs60Hz(standard), is60) << names[standard];
    EXPECT_DOUBLE_EQ(FieldRateForStandard(standard), is60 ? 59.94005994005994 : 50.0);
  }
  EXPECT_STREQ(VideoStandardName(7), "");
  EXPECT_FALSE(StandardIs60Hz(-1));
  EXPECT_EQ(FieldRateForStandard(7), 0.0);
  EXPECT_EQ(ParseSourceStandard("None"), kNoSource);
  EXPECT_STREQ(SourceStandardName(kNoSource), "none");
  EXPECT_EQ(ParseSourceStandard("PAL"), std::nullopt);
  EXPECT_EQ(ParseSourceStandard("NTSC-M "), std::nullopt);
}

// The decoder's register set for each standard, the board's colour decoder and the table
// agree: a source in standard s, with the decoder set for s, reports colour at s's rate.
TEST(VideoStandards, EveryStandardDecodesOnTheBoardAtItsFieldRate) {
  for (uint32_t standard = 0; standard < kVideoStandardCount; ++standard) {
    SCOPED_TRACE(VideoStandardName(standard));
    SimScenario scenario;
    scenario.compositeStandard = static_cast<int>(standard);
    FakeClock clock;
    auto board = std::make_unique<SimBoard>(scenario, clock);
    InstallPortIo(board.get());
    DecoderInit();
    DecoderSelectComposite();
    DecoderSetStandard(standard);
    const uint8_t status = DecoderReadStatus();
    EXPECT_NE(status & kDecoderStatusColour, 0);
    EXPECT_EQ((status & kDecoderStatus60Hz) != 0, StandardIs60Hz(standard));
    EXPECT_EQ(board->Decoder().Decodes60Hz(), StandardIs60Hz(standard));
    InstallPortIo(nullptr);
  }
}

}  // namespace
