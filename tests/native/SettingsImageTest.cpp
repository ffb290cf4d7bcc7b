// The channel table's registry blocks byte for byte, damaged blocks, and the repairs
// made to a freshly loaded record.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "shared/Settings.h"
#include "shared/SettingsImage.h"

namespace {

void SetName(SettingsData& s, int slot, const std::string& name) {
  std::memset(s.Channels[slot].Name, 0, sizeof s.Channels[slot].Name);
  std::memcpy(s.Channels[slot].Name, name.data(), name.size());
}

std::string NameAt(const NameBlock& block, size_t offset, size_t length) {
  return std::string(reinterpret_cast<const char*>(&block[offset]), length);
}

// Names of 0..10 characters in turn, each slot's own, and flags well beyond 0 and 1.
SettingsData FullTable() {
  SettingsData s = DefaultSettings();
  const int32_t flags[] = {0, 1, 2, -1, INT_MAX, INT_MIN, 0x01020304};
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    s.Channels[slot].Checked = flags[slot % 7];
    std::string name;
    for (int i = 0; i < slot % (kChannelNameMax + 1); ++i)
      name += static_cast<char>('!' + (slot + i) % 94);
    SetName(s, slot, name);
  }
  return s;
}

// A record whose table holds nothing a decode could leave in place unnoticed.
SettingsData Scribbled() {
  SettingsData s;
  std::memset(&s, 0xA5, sizeof s);
  return s;
}

void ExpectSameTable(const SettingsData& actual, const SettingsData& expected) {
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    EXPECT_EQ(actual.Channels[slot].Checked, expected.Channels[slot].Checked) << "slot " << slot;
    EXPECT_EQ(0, std::memcmp(actual.Channels[slot].Name, expected.Channels[slot].Name,
                             sizeof actual.Channels[slot].Name))
        << "slot " << slot << ": \"" << actual.Channels[slot].Name << "\"";
  }
}

}  // namespace

TEST(SettingsImage, FullTableRoundTrips) {
  const SettingsData table = FullTable();
  SettingsData loaded = Scribbled();
  DecodeCheckedBlock(EncodeCheckedBlock(table), loaded);
  DecodeNameBlock(EncodeNameBlock(table), loaded);
  ExpectSameTable(loaded, table);
}

TEST(SettingsImage, CheckedBlockIsLittleEndianInSlotOrder) {
  const SettingsData table = FullTable();
  const CheckedBlock block = EncodeCheckedBlock(table);
  ASSERT_EQ(block.size(), 404u);
  // Slot 6 holds 0x01020304, slot 3 holds -1, slot 5 INT_MIN, slot 100 (100 % 7 = 2) holds 2.
  EXPECT_EQ(block[24], 0x04);
  EXPECT_EQ(block[25], 0x03);
  EXPECT_EQ(block[26], 0x02);
  EXPECT_EQ(block[27], 0x01);
  for (int i = 12; i < 16; ++i) EXPECT_EQ(block[i], 0xFF);
  EXPECT_EQ(block[20], 0x00);
  EXPECT_EQ(block[23], 0x80);
  EXPECT_EQ(block[400], 0x02);
  EXPECT_EQ(block[403], 0x00);

  const CheckedBlock defaults = EncodeCheckedBlock(DefaultSettings());
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    const uint8_t expected[4] = {static_cast<uint8_t>(slot == 0 ? 0 : 1), 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(&defaults[4 * slot], expected, 4)) << "slot " << slot;
  }
}

TEST(SettingsImage, NameBlockHasFixedElevenByteSlots) {
  SettingsData s = DefaultSettings();
  const NameBlock empty = EncodeNameBlock(s);
  ASSERT_EQ(empty.size(), 1111u);
  for (size_t i = 0; i < empty.size(); ++i) ASSERT_EQ(empty[i], 0) << "byte " << i;

  // A full-length name right before the last slot ends exactly where slot 100 begins.
  SetName(s, 99, "0123456789");
  SetName(s, 100, "Z");
  SetName(s, 5, "ABC");
  const NameBlock block = EncodeNameBlock(s);
  EXPECT_EQ(NameAt(block, 1089, 11), std::string("0123456789\0", 11));
  EXPECT_EQ(NameAt(block, 1100, 11), std::string("Z\0\0\0\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(NameAt(block, 55, 11), std::string("ABC\0\0\0\0\0\0\0\0", 11));
  size_t nonZero = 0;
  for (uint8_t byte : block) nonZero += byte != 0;
  EXPECT_EQ(nonZero, 14u) << "nothing but the three names";
}

TEST(SettingsImage, NameFillingAllTenCharacters) {
  SettingsData s = DefaultSettings();
  SetName(s, 0, "ABCDEFGHIJ");
  SetName(s, 1, "next");
  SettingsData loaded = Scribbled();
  DecodeNameBlock(EncodeNameBlock(s), loaded);
  EXPECT_STREQ(loaded.Channels[0].Name, "ABCDEFGHIJ");
  EXPECT_STREQ(loaded.Channels[1].Name, "next");

  // A name in memory that lost its NUL is cut to ten, not carried into slot 1.
  std::memset(s.Channels[0].Name, 'Q', sizeof s.Channels[0].Name);
  const NameBlock block = EncodeNameBlock(s);
  EXPECT_EQ(NameAt(block, 0, 11), std::string("QQQQQQQQQQ\0", 11));
  EXPECT_EQ(NameAt(block, 11, 5), std::string("next\0", 5));
}

TEST(SettingsImage, DamagedNameSlotsYieldAtMostTenCharacters) {
  NameBlock block{};
  std::memset(&block[11 * 5], 'X', 11);  // no NUL anywhere in slot 5
  std::memcpy(&block[11 * 6], "NEXT", 4);
  std::memcpy(&block[11 * 7], "AB\0ZZZZZZZZ", 11);  // bytes after the NUL are never read
  std::memset(&block[11 * 100], 'L', 11);           // unterminated up to the block's end
  SettingsData loaded = Scribbled();
  DecodeNameBlock(block, loaded);

  EXPECT_EQ(std::string(loaded.Channels[5].Name, 12), std::string("XXXXXXXXXX\0\0", 12));
  EXPECT_STREQ(loaded.Channels[6].Name, "NEXT");
  EXPECT_EQ(std::string(loaded.Channels[7].Name, 12), std::string("AB\0\0\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(std::string(loaded.Channels[100].Name, 12), std::string("LLLLLLLLLL\0\0", 12));
  EXPECT_STREQ(loaded.Channels[4].Name, "");
  EXPECT_STREQ(loaded.Channels[99].Name, "");
}

TEST(SettingsImage, MendCorrectsAnUnusableCurrentChannel) {
  struct Case {
    int32_t stored, loaded;
  };
  const Case cases[] = {{0, 0},  {1, 1},       {100, 100},   {101, 1},
                        {-1, 1}, {INT_MAX, 1}, {INT_MIN, 1}, {0x10000, 1}};
  for (const Case& c : cases) {
    SettingsData s = FullTable();
    for (int slot = 0; slot < kChannelSlots; ++slot) s.Channels[slot].Checked = slot % 2;
    s.VideoConnector = 1003;
    s.VideoStandard = 9;
    s.CableStandard = 77;
    s.CurrentChannel = c.stored;
    SettingsData expected = s;
    expected.CurrentChannel = c.loaded;

    MendLoadedSettings(s);
    EXPECT_EQ(s.CurrentChannel, c.loaded) << "stored " << c.stored;
    // An unknown input, standard or plan is not this repair's business.
    EXPECT_EQ(0, std::memcmp(&s, &expected, sizeof s)) << "stored " << c.stored;
  }
}

TEST(SettingsImage, MendGivesPictureControlsAndFlagsOutsideTheirRangeTheirFirstRunValues) {
  const SettingsData defaults = DefaultSettings();
  struct Case {
    int32_t stored;
    bool kept;
  };
  const Case cases[] = {{0, true},       {255, true},      {-1, false},     {256, false},
                        {100000, false}, {INT_MIN, false}, {INT_MAX, false}};
  for (const Case& c : cases) {
    SettingsData s = FullTable();
    s.Brightness = s.Contrast = s.Saturation = s.Hue = c.stored;
    MendLoadedSettings(s);
    EXPECT_EQ(s.Brightness, c.kept ? c.stored : defaults.Brightness) << c.stored;
    EXPECT_EQ(s.Contrast, c.kept ? c.stored : defaults.Contrast) << c.stored;
    EXPECT_EQ(s.Saturation, c.kept ? c.stored : defaults.Saturation) << c.stored;
    EXPECT_EQ(s.Hue, c.kept ? c.stored : defaults.Hue) << c.stored;
  }

  SettingsData s = FullTable();
  s.Channels[0].Checked = 1;  // kept: a used slot 0
  s.Channels[1].Checked = 0;  // kept
  s.Channels[2].Checked = 2;  // slot 2's first-run flag, 1
  s.Channels[50].Checked = -1;
  s.Channels[100].Checked = INT_MIN;
  SettingsData flagZero = FullTable();
  flagZero.Channels[0].Checked = 7;  // slot 0's first-run flag, 0
  MendLoadedSettings(s);
  MendLoadedSettings(flagZero);
  EXPECT_EQ(s.Channels[0].Checked, 1);
  EXPECT_EQ(s.Channels[1].Checked, 0);
  EXPECT_EQ(s.Channels[2].Checked, 1);
  EXPECT_EQ(s.Channels[50].Checked, 1);
  EXPECT_EQ(s.Channels[100].Checked, 1);
  EXPECT_EQ(flagZero.Channels[0].Checked, 0);
}
