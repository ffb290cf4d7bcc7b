#include "app/SettingsStore.h"

#include <windows.h>

#include <array>
#include <cstdint>

#include "hw/ChannelPlans.h"
#include "shared/Settings.h"
#include "shared/SettingsImage.h"
#include "win32/Handles.h"

namespace {

LSTATUS OpenForLoading(HKEY parent, const char* path, RegKey& key) {
  return RegOpenKeyExA(parent, path, 0, KEY_QUERY_VALUE, key.Receive());
}

LSTATUS CreateForSaving(HKEY parent, const char* path, RegKey& key) {
  char noClass[] = "";
  return RegCreateKeyExA(parent, path, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         key.Receive(), nullptr);
}

// `field` holds its first-run value on entry. The stored value replaces it only when the
// read succeeds: a larger value fails, and the buffer's contents are undefined then. A
// shorter one lands over the first-run bytes. A number is stored as a DWORD, or as its
// four bytes in binary; text or any other type is no number and keeps the first-run value.
void QueryInt32(HKEY key, const char* name, int32_t& field) {
  int32_t value = field;
  DWORD size = sizeof value;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      (type == REG_DWORD || type == REG_BINARY)) {
    field = value;
  }
}

template <size_t N>
void QueryBlock(HKEY key, const char* name, std::array<uint8_t, N>& block) {
  std::array<uint8_t, N> value = block;
  DWORD size = N;
  if (RegQueryValueExA(key, name, nullptr, nullptr, value.data(), &size) == ERROR_SUCCESS) {
    block = value;
  }
}

void SetInt32(HKEY key, const char* name, int32_t field) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&field), sizeof field);
}

template <size_t N>
void SetBlock(HKEY key, const char* name, DWORD type, const std::array<uint8_t, N>& block) {
  RegSetValueExA(key, name, 0, type, block.data(), N);
}

}  // namespace

void LoadSettings() {
  SettingsData loaded = DefaultSettings();
  RegKey key;
  if (OpenForLoading(HKEY_LOCAL_MACHINE, kSettingsKeyPath, key) == ERROR_SUCCESS) {
    QueryInt32(key, "BRIGHTNESS", loaded.Brightness);
    QueryInt32(key, "CONTRAST", loaded.Contrast);
    QueryInt32(key, "SATURATION", loaded.Saturation);
    QueryInt32(key, "HUE", loaded.Hue);

    RegKey channel;
    if (OpenForLoading(key, kChannelSubkeyName, channel) == ERROR_SUCCESS) {
      CheckedBlock checked = EncodeCheckedBlock(loaded);
      NameBlock names = EncodeNameBlock(loaded);
      QueryBlock(channel, "CHECKED", checked);
      QueryBlock(channel, "NAME", names);
      channel.Close();
      DecodeCheckedBlock(checked, loaded);
      DecodeNameBlock(names, loaded);
    }

    QueryInt32(key, "VIDEOCONNECTOR", loaded.VideoConnector);
    QueryInt32(key, "VIDEOSTANDARD", loaded.VideoStandard);
    QueryInt32(key, "CABLESTANDARD", loaded.CableStandard);
    QueryInt32(key, "CHANNELINDEX", loaded.CurrentChannel);
  }
  MendLoadedSettings(loaded);
  // Without a plan the tuner would never be sent a channel.
  if (!IsValidCableStandard(loaded.CableStandard))
    loaded.CableStandard = DefaultSettings().CableStandard;
  Settings = loaded;
}

void SaveSettings() {
  RegKey key;
  if (CreateForSaving(HKEY_LOCAL_MACHINE, kSettingsKeyPath, key) != ERROR_SUCCESS) return;
  SetInt32(key, "BRIGHTNESS", Settings.Brightness);
  SetInt32(key, "CONTRAST", Settings.Contrast);
  SetInt32(key, "SATURATION", Settings.Saturation);
  SetInt32(key, "HUE", Settings.Hue);

  RegKey channel;
  if (CreateForSaving(key, kChannelSubkeyName, channel) == ERROR_SUCCESS) {
    SetBlock(channel, "CHECKED", REG_BINARY, EncodeCheckedBlock(Settings));
    // Registered as a string list, but read back slot by slot at fixed offsets.
    SetBlock(channel, "NAME", REG_MULTI_SZ, EncodeNameBlock(Settings));
    channel.Close();
  }

  SetInt32(key, "VIDEOCONNECTOR", Settings.VideoConnector);
  SetInt32(key, "VIDEOSTANDARD", Settings.VideoStandard);
  SetInt32(key, "CABLESTANDARD", Settings.CableStandard);
  SetInt32(key, "CHANNELINDEX", Settings.CurrentChannel);
}
