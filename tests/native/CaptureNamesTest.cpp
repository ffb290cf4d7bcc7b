// Renumbering of still file names: the seven-character cut, growth past 999, short names
// and the 254-character bound that lets every name pass through the dialog's edit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "capture/CaptureNames.h"

namespace {

struct NameField {
  char Text[kCaptureNameCapacity] = {};
  explicit NameField(const std::string& s) { std::memcpy(Text, s.data(), s.size()); }
};

// Advances `name` `times` times from `counter` and returns the names in turn.
std::vector<std::string> Advance(NameField& field, uint32_t& counter, int times) {
  std::vector<std::string> names;
  for (int i = 0; i < times; ++i) {
    EXPECT_TRUE(AdvanceNumberedStillName(field.Text, counter));
    names.emplace_back(field.Text);
  }
  return names;
}

}  // namespace

TEST(CaptureNames, NumberedNamesCountUpAndOutgrowTheirDigitsPast999) {
  NameField field("c:\\shots\\img998.bmp");
  uint32_t counter = 998;
  EXPECT_EQ(Advance(field, counter, 3),
            (std::vector<std::string>{"c:\\shots\\img999.bmp", "c:\\shots\\img1000.bmp",
                                      "c:\\shots\\img11001.bmp"}));
  EXPECT_EQ(counter, 1001u);

  // The default name loses "ure" to the first cut.
  NameField first(kDefaultStillFileName);
  counter = 1;
  EXPECT_EQ(Advance(first, counter, 2),
            (std::vector<std::string>{"c:\\capt002.bmp", "c:\\capt003.bmp"}));
}

TEST(CaptureNames, CutsStopAtTheStartOfAShortName) {
  for (const char* name : {"", "a.bmp", "abc.bmp"}) {
    NameField field(name);
    uint32_t counter = 41;
    EXPECT_TRUE(AdvanceNumberedStillName(field.Text, counter)) << name;
    EXPECT_STREQ(field.Text, "042.bmp") << name;
  }
  EXPECT_EQ(NumberedStillName("abcd.bmp", 7), "a007.bmp");
}

TEST(CaptureNames, CountersPrintUnsignedAndWrapToZero) {
  EXPECT_EQ(NumberedStillName("x001.bmp", 0x80000000u), "x2147483648.bmp");
  NameField field("x001.bmp");
  uint32_t counter = 0xFFFFFFFFu;
  EXPECT_TRUE(AdvanceNumberedStillName(field.Text, counter));
  EXPECT_EQ(counter, 0u);
  EXPECT_STREQ(field.Text, "x000.bmp");
}

TEST(CaptureNames, ANameThatWouldPass254CharactersIsNotRenumbered) {
  // 247 characters and "999.bmp": 254 in all; the next name would need 255, which the
  // Set Capture File dialog would cut short when it reads the name back.
  const std::string stem(247, 'd');
  NameField full(stem + "999.bmp");
  uint32_t counter = 999;
  EXPECT_FALSE(AdvanceNumberedStillName(full.Text, counter));
  EXPECT_EQ(counter, 999u);
  EXPECT_EQ(std::string(full.Text), stem + "999.bmp");
  EXPECT_EQ(NumberedStillName(stem + "999.bmp", 1000), std::nullopt);

  // One character less leaves room for exactly 254.
  NameField room(stem.substr(1) + "999.bmp");
  EXPECT_TRUE(AdvanceNumberedStillName(room.Text, counter));
  EXPECT_EQ(std::string(room.Text), stem.substr(1) + "1000.bmp");
  EXPECT_EQ(std::strlen(room.Text), kCaptureNameMax);

  // Three-digit renumbering keeps the length, so a 254-character name still counts on.
  NameField same(stem + "005.bmp");
  counter = 5;
  EXPECT_TRUE(AdvanceNumberedStillName(same.Text, counter));
  EXPECT_EQ(std::string(same.Text), stem + "006.bmp");

  // A field without a terminator is never read past its end.
  NameField unterminated("");
  std::memset(unterminated.Text, 'e', sizeof unterminated.Text);
  counter = 3;
  EXPECT_FALSE(AdvanceNumberedStillName(unterminated.Text, counter));
  EXPECT_EQ(counter, 3u);
  EXPECT_EQ(unterminated.Text[kCaptureNameCapacity - 1], 'e');
}

TEST(CaptureNames, TickingAndClearingNumberedNamesRoundTrips) {
  const auto numbered = NumberStillName("c:\\capture.bmp", 1);
  EXPECT_EQ(numbered, "c:\\capture001.bmp");
  EXPECT_EQ(UnnumberStillName(*numbered), "c:\\capture.bmp");
  EXPECT_EQ(NumberStillName("c:\\capture.bmp", 12345), "c:\\capture12345.bmp");

  // Short names are never cut below their start.
  EXPECT_EQ(NumberStillName("", 7), "007.bmp");
  EXPECT_EQ(NumberStillName("ab", 7), "007.bmp");
  EXPECT_EQ(NumberStillName("a.bmp", 7), "a007.bmp");
  EXPECT_EQ(UnnumberStillName(""), ".bmp");
  EXPECT_EQ(UnnumberStillName("x01.bm"), ".bmp");
  EXPECT_EQ(UnnumberStillName("x001.bmp"), "x.bmp");

  // Numbering adds three characters: a 251-character name takes them, a 252-character
  // one is refused rather than made longer than the dialog can read back.
  const std::string fits = std::string(247, 'f') + ".bmp";
  EXPECT_EQ(NumberStillName(fits, 1)->size(), kCaptureNameMax);
  EXPECT_EQ(NumberStillName("g" + fits, 1), std::nullopt);
}
