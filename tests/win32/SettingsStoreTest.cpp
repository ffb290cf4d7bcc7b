// The settings' image in the real registry: first run, the exact values a save writes,
// round trips, missing and damaged values, and the repair of an unusable channel.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "app/VideoWindow.h"
#include "resource.h"
#include "shared/Settings.h"
#include "win32/Recorders.h"

namespace {

const std::string kChannelPath = std::string(kSettingsKeyPath) + "\\" + kChannelSubkeyName;

// A key with everything below it, kept in memory so a test can put back what it found.
struct KeyImage {
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::string name;
  std::vector<Value> values;
  std::vector<KeyImage> subkeys;
};

std::optional<KeyImage> Snapshot(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  KeyImage image{name, {}, {}};
  DWORD maxData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   &maxData, nullptr, nullptr);
  for (DWORD i = 0;; ++i) {
    char valueName[16384];
    DWORD nameSize = sizeof valueName;
    KeyImage::Value value{"", 0, std::vector<BYTE>(maxData + 1)};
    DWORD size = static_cast<DWORD>(value.data.size());
    if (RegEnumValueA(key, i, valueName, &nameSize, nullptr, &value.type, value.data.data(),
                      &size) != ERROR_SUCCESS)
      break;
    value.name = valueName;
    value.data.resize(size);
    image.values.push_back(std::move(value));
  }
  for (DWORD i = 0;; ++i) {
    char subkeyName[256];
    DWORD nameSize = sizeof subkeyName;
    if (RegEnumKeyExA(key, i, subkeyName, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (auto sub = Snapshot(key, subkeyName)) image.subkeys.push_back(std::move(*sub));
  }
  RegCloseKey(key);
  return image;
}

void Restore(HKEY parent, const KeyImage& image) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(parent, image.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& v : image.values) {
    RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(),
                   static_cast<DWORD>(v.data.size()));
  }
  for (const auto& sub : image.subkeys) Restore(key, sub);
  RegCloseKey(key);
}

void DeleteSettingsKey() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

struct StoredValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

StoredValue ReadStored(const std::string& path, const char* name) {
  StoredValue stored;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return stored;
  stored.data.resize(4096);
  DWORD size = static_cast<DWORD>(stored.data.size());
  stored.status = RegQueryValueExA(key, name, nullptr, &stored.type, stored.data.data(), &size);
  stored.data.resize(stored.status == ERROR_SUCCESS ? size : 0);
  RegCloseKey(key);
  return stored;
}

void Store(const std::string& path, const char* name, DWORD type, const void* data, size_t size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(
      RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
      ERROR_SUCCESS);
  RegCloseKey(key);
}

void StoreDword(const char* name, int32_t value) {
  Store(kSettingsKeyPath, name, REG_DWORD, &value, sizeof value);
}

void DeleteStored(const std::string& path, const char* name) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, name), ERROR_SUCCESS);
  RegCloseKey(key);
}

void SetName(SettingsData& s, int slot, const char* name) {
  std::memset(s.Channels[slot].Name, 0, sizeof s.Channels[slot].Name);
  std::memcpy(s.Channels[slot].Name, name, std::strlen(name));
}

// Every field away from its first-run value; names of 0..10 characters, flags beyond 0/1.
SettingsData Custom() {
  SettingsData s{};
  s.Brightness = 17;
  s.Contrast = 250;
  s.Saturation = 3;
  s.Hue = 200;
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    s.Channels[slot].Checked = slot % 4 == 3 ? 0 : 1;
    char name[12] = {};
    for (int i = 0; i < slot % 11; ++i) name[i] = static_cast<char>('a' + (slot + i) % 26);
    SetName(s, slot, name);
  }
  SetName(s, 2, "Caf\xE9 TV");
  s.VideoConnector = 1003;
  s.VideoStandard = 4;
  s.CableStandard = 1;
  s.CurrentChannel = 42;
  return s;
}

SettingsData Scribbled() {
  SettingsData s;
  std::memset(&s, 0x5A, sizeof s);
  return s;
}

void ExpectTable(const SettingsData& actual, const SettingsData& expected) {
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    EXPECT_EQ(actual.Channels[slot].Checked, expected.Channels[slot].Checked) << "slot " << slot;
    EXPECT_EQ(0, std::memcmp(actual.Channels[slot].Name, expected.Channels[slot].Name,
                             sizeof actual.Channels[slot].Name))
        << "slot " << slot << ": \"" << std::string(actual.Channels[slot].Name, 12) << "\"";
  }
}

void ExpectScalars(const SettingsData& actual, const SettingsData& expected) {
  EXPECT_EQ(actual.Brightness, expected.Brightness);
  EXPECT_EQ(actual.Contrast, expected.Contrast);
  EXPECT_EQ(actual.Saturation, expected.Saturation);
  EXPECT_EQ(actual.Hue, expected.Hue);
  EXPECT_EQ(actual.VideoConnector, expected.VideoConnector);
  EXPECT_EQ(actual.VideoStandard, expected.VideoStandard);
  EXPECT_EQ(actual.CableStandard, expected.CableStandard);
  EXPECT_EQ(actual.CurrentChannel, expected.CurrentChannel);
}

void ExpectSettings(const SettingsData& actual, const SettingsData& expected) {
  ExpectScalars(actual, expected);
  ExpectTable(actual, expected);
}

// The channel table of a first run: slot 0 skipped, 1..100 visited, no names.
void ExpectFirstRunTable(const SettingsData& s) {
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    EXPECT_EQ(s.Channels[slot].Checked, slot == 0 ? 0 : 1) << "slot " << slot;
    EXPECT_EQ(std::string(s.Channels[slot].Name, 12), std::string(12, '\0')) << "slot " << slot;
  }
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backup_ = Snapshot(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
    ResetProgramState();
    DeleteSettingsKey();
    ASSERT_FALSE(KeyExists(kSettingsKeyPath));
  }
  void TearDown() override {
    ResetProgramState();
    DeleteSettingsKey();
    if (backup_) Restore(HKEY_LOCAL_MACHINE, *backup_);
  }
  // Saves `s` and loads it back into a record that held something else.
  static void SaveCustom(const SettingsData& s) {
    Settings = s;
    SaveSettings();
    Settings = Scribbled();
  }

  std::optional<KeyImage> backup_;
};

TEST_F(SettingsStoreTest, FirstRunWithoutTheKeyLoadsEveryDefault) {
  Settings = Scribbled();
  LoadSettings();
  EXPECT_EQ(Settings.Brightness, 128);
  EXPECT_EQ(Settings.Contrast, 144);
  EXPECT_EQ(Settings.Saturation, 128);
  EXPECT_EQ(Settings.Hue, 128);
  EXPECT_EQ(Settings.VideoConnector, 1002);
  EXPECT_EQ(Settings.VideoStandard, 0);
  EXPECT_EQ(Settings.CableStandard, 2);
  EXPECT_EQ(Settings.CurrentChannel, 1);
  ExpectFirstRunTable(Settings);
  EXPECT_FALSE(KeyExists(kSettingsKeyPath)) << "loading creates nothing";
}

TEST_F(SettingsStoreTest, SaveWritesExactlyTheseValuesTypesAndSizes) {
  const SettingsData s = Custom();
  Settings = s;
  SaveSettings();

  struct Dword {
    const char* name;
    int32_t value;
  };
  const Dword dwords[] = {
      {"BRIGHTNESS", 17},       {"CONTRAST", 250},    {"SATURATION", 3},    {"HUE", 200},
      {"VIDEOCONNECTOR", 1003}, {"VIDEOSTANDARD", 4}, {"CABLESTANDARD", 1}, {"CHANNELINDEX", 42},
  };
  for (const Dword& d : dwords) {
    const StoredValue v = ReadStored(kSettingsKeyPath, d.name);
    ASSERT_EQ(v.status, ERROR_SUCCESS) << d.name;
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << d.name;
    ASSERT_EQ(v.data.size(), 4u) << d.name;
    int32_t value = 0;
    std::memcpy(&value, v.data.data(), 4);
    EXPECT_EQ(value, d.value) << d.name;
  }

  const StoredValue checked = ReadStored(kChannelPath, "CHECKED");
  ASSERT_EQ(checked.status, ERROR_SUCCESS);
  EXPECT_EQ(checked.type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(checked.data.size(), 404u);
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    const uint32_t flag = static_cast<uint32_t>(s.Channels[slot].Checked);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(checked.data[4 * slot + k], (flag >> (8 * k)) & 0xFF) << "slot " << slot;
    }
  }

  const StoredValue names = ReadStored(kChannelPath, "NAME");
  ASSERT_EQ(names.status, ERROR_SUCCESS);
  EXPECT_EQ(names.type, static_cast<DWORD>(REG_MULTI_SZ));
  ASSERT_EQ(names.data.size(), 1111u);
  for (int slot = 0; slot < kChannelSlots; ++slot) {
    std::string expected(11, '\0');
    expected.replace(0, std::strlen(s.Channels[slot].Name), s.Channels[slot].Name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&names.data[11 * slot]), 11), expected)
        << "slot " << slot;
  }

  // Nothing else: eight values and the one subkey with its two.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD subkeys = 0, values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(subkeys, 1u);
  EXPECT_EQ(values, 8u);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kChannelPath.c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 2u);
}

TEST_F(SettingsStoreTest, SaveThenLoadReproducesEveryField) {
  const SettingsData s = Custom();
  SaveCustom(s);
  LoadSettings();
  ExpectSettings(Settings, s);

  // A second save over the first replaces it: back to the first-run record.
  SaveCustom(DefaultSettings());
  LoadSettings();
  ExpectSettings(Settings, DefaultSettings());
}

TEST_F(SettingsStoreTest, MissingSingleValuesFallBackOneByOne) {
  const SettingsData s = Custom();
  SaveCustom(s);
  DeleteStored(kSettingsKeyPath, "CONTRAST");
  LoadSettings();
  SettingsData expected = s;
  expected.Contrast = 144;
  ExpectSettings(Settings, expected);

  // The values read after the channel table fall back the same way.
  SaveCustom(s);
  DeleteStored(kSettingsKeyPath, "CABLESTANDARD");
  DeleteStored(kSettingsKeyPath, "VIDEOCONNECTOR");
  LoadSettings();
  expected = s;
  expected.CableStandard = 2;
  expected.VideoConnector = 1002;
  ExpectSettings(Settings, expected);
}

TEST_F(SettingsStoreTest, ChannelTableParts) {
  // NAME alone, with one three-letter name in slot 5: default flags, that one name.
  std::vector<uint8_t> block(1111, 0);
  std::memcpy(&block[55], "ABC", 3);
  Store(kChannelPath, "NAME", REG_MULTI_SZ, block.data(), block.size());
  Settings = Scribbled();
  LoadSettings();
  SettingsData expected = DefaultSettings();
  SetName(expected, 5, "ABC");
  ExpectSettings(Settings, expected);

  // CHECKED alone: the stored flags, every name empty.
  DeleteSettingsKey();
  std::vector<uint8_t> flags(404, 0);
  flags[0] = 1;      // slot 0 visited
  flags[4 * 7] = 0;  // slot 7 skipped
  flags[4 * 9] = 2;  // no flag: slot 9's first-run one
  flags[4 * 100 + 3] = 0x80;
  for (int slot = 1; slot < kChannelSlots; ++slot)
    if (slot != 7 && slot != 9 && slot != 100) flags[4 * slot] = 1;
  Store(kChannelPath, "CHECKED", REG_BINARY, flags.data(), flags.size());
  Settings = Scribbled();
  LoadSettings();
  expected = DefaultSettings();
  expected.Channels[0].Checked = 1;
  expected.Channels[7].Checked = 0;
  expected.Channels[9].Checked = 1;
  expected.Channels[100].Checked = 1;
  ExpectSettings(Settings, expected);

  // Key without the subkey: the stored scalars, the first-run table.
  const SettingsData s = Custom();
  SaveCustom(s);
  ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, kChannelPath.c_str()), ERROR_SUCCESS);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kChannelPath.c_str());
  ASSERT_FALSE(KeyExists(kChannelPath));
  LoadSettings();
  ExpectScalars(Settings, s);
  ExpectFirstRunTable(Settings);
}

TEST_F(SettingsStoreTest, ValuesLargerThanTheirFieldLeaveTheDefault) {
  const SettingsData s = Custom();
  SaveCustom(s);
  const int64_t wide = 60;
  Store(kSettingsKeyPath, "BRIGHTNESS", REG_QWORD, &wide, sizeof wide);
  Store(kSettingsKeyPath, "CHANNELINDEX", REG_BINARY, "\x05\0\0\0\0", 5);
  std::vector<uint8_t> longChecked(405, 0);
  Store(kChannelPath, "CHECKED", REG_BINARY, longChecked.data(), longChecked.size());
  std::vector<uint8_t> longNames(1112, 'N');
  Store(kChannelPath, "NAME", REG_BINARY, longNames.data(), longNames.size());
  LoadSettings();
  SettingsData expected = s;
  expected.Brightness = 128;
  expected.CurrentChannel = 1;
  ExpectScalars(Settings, expected);
  ExpectFirstRunTable(Settings);

  // A shorter CHECKED covers only its own slots; the rest keep their first-run flags.
  const uint8_t twoSlots[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  Store(kChannelPath, "CHECKED", REG_BINARY, twoSlots, sizeof twoSlots);
  Settings = Scribbled();
  LoadSettings();
  EXPECT_EQ(Settings.Channels[0].Checked, 1);
  EXPECT_EQ(Settings.Channels[1].Checked, 0);
  for (int slot = 2; slot < kChannelSlots; ++slot) EXPECT_EQ(Settings.Channels[slot].Checked, 1);
}

TEST_F(SettingsStoreTest, NumbersAreDwordsOrTheirFourBytesTextIsNoNumber) {
  const uint8_t seventySeven[4] = {77, 0, 0, 0};
  Store(kSettingsKeyPath, "BRIGHTNESS", REG_BINARY, seventySeven, 4);
  const uint8_t bigEndianOne[4] = {0, 0, 0, 1};
  Store(kSettingsKeyPath, "VIDEOSTANDARD", REG_DWORD_BIG_ENDIAN, bigEndianOne, 4);
  Store(kSettingsKeyPath, "CONTRAST", REG_SZ, "abc", 4);  // four bytes, but text
  Store(kSettingsKeyPath, "CHANNELINDEX", REG_EXPAND_SZ, "\x05\0\0", 4);
  std::vector<uint8_t> names(1111, 0);
  std::memcpy(&names[11], "Binary", 6);
  Store(kChannelPath, "NAME", REG_BINARY, names.data(), names.size());
  LoadSettings();
  EXPECT_EQ(Settings.Brightness, 77);
  EXPECT_EQ(Settings.VideoStandard, 0);
  EXPECT_EQ(Settings.Contrast, 144);
  EXPECT_EQ(Settings.CurrentChannel, 1);
  EXPECT_STREQ(Settings.Channels[1].Name, "Binary");
}

TEST_F(SettingsStoreTest, LoadCorrectsUnusableValues) {
  struct Case {
    int32_t stored, loaded;
  };
  const Case cases[] = {{0, 0}, {100, 100}, {101, 1}, {-1, 1}, {INT_MAX, 1}};
  for (const Case& c : cases) {
    StoreDword("CHANNELINDEX", c.stored);
    LoadSettings();
    EXPECT_EQ(Settings.CurrentChannel, c.loaded) << "stored " << c.stored;
  }

  // Picture controls beyond a byte, a plan that does not exist and odd flags take their
  // first-run values; values in range stay.
  StoreDword("SATURATION", 256);
  StoreDword("HUE", 100000);
  StoreDword("BRIGHTNESS", 255);
  StoreDword("CONTRAST", -1);
  std::vector<uint8_t> flags(404, 0);
  flags[4 * 3] = 7;
  Store(kChannelPath, "CHECKED", REG_BINARY, flags.data(), flags.size());
  for (const int32_t plan : {7, -1, 4}) {
    StoreDword("CABLESTANDARD", plan);
    LoadSettings();
    EXPECT_EQ(Settings.CableStandard, 2) << plan;
  }
  EXPECT_EQ(Settings.Saturation, 128);
  EXPECT_EQ(Settings.Hue, 128);
  EXPECT_EQ(Settings.Brightness, 255);
  EXPECT_EQ(Settings.Contrast, 144);
  EXPECT_EQ(Settings.Channels[3].Checked, 1);
  EXPECT_EQ(Settings.Channels[4].Checked, 0);
  StoreDword("CABLESTANDARD", 3);
  LoadSettings();
  EXPECT_EQ(Settings.CableStandard, 3);

  // Start-up, not loading, decides about an unknown input or standard.
  StoreDword("VIDEOCONNECTOR", 1003);
  StoreDword("VIDEOSTANDARD", 9);
  LoadSettings();
  EXPECT_EQ(Settings.VideoConnector, 1003);
  EXPECT_EQ(Settings.VideoStandard, 9);

  StoreDword("VIDEOCONNECTOR", -5);
  LoadSettings();
  EXPECT_EQ(Settings.VideoConnector, -5);
}

TEST_F(SettingsStoreTest, ProgramSavesTheCorrectedChannelAtExit) {
  StoreDword("CHANNELINDEX", 500);
  StoreDword("BRIGHTNESS", 60);
  UnregisterClassA(kVideoWindowClass, GetModuleHandleA(nullptr));
  {
    TestBoard board;
    EXPECT_EQ(RunProgram([] {
                EXPECT_EQ(Settings.CurrentChannel, 1) << "never used as a slot while running";
                SendMessageA(VideoWindow.Window, WM_COMMAND, ID_EXIT, 0);
              }),
              0);
  }
  EXPECT_TRUE(RecordedMessages().empty());
  const StoredValue channel = ReadStored(kSettingsKeyPath, "CHANNELINDEX");
  ASSERT_EQ(channel.data.size(), 4u);
  EXPECT_EQ(channel.data, (std::vector<BYTE>{1, 0, 0, 0}));
  const StoredValue brightness = ReadStored(kSettingsKeyPath, "BRIGHTNESS");
  EXPECT_EQ(brightness.data, (std::vector<BYTE>{60, 0, 0, 0}));
  const StoredValue names = ReadStored(kChannelPath, "NAME");
  EXPECT_EQ(names.data.size(), 1111u) << "the whole record is written at exit";
}

}  // namespace
