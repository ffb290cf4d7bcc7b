// The settings' image in the registry. Loaded once at start-up, saved at normal
// exit and when Windows ends the session; never at any other time.
#pragma once

// Under HKEY_LOCAL_MACHINE; the channel table lies in the subkey.
constexpr char kSettingsKeyPath[] = "SOFTWARE\\QUENDA\\LUMETRA";
constexpr char kChannelSubkeyName[] = "CHANNEL";

// Fills every field of Settings from the registry, or from the first-run values where
// the key or a value is missing or a value is larger than its field. A current channel
// that is no slot becomes the first-run one, so it is saved back corrected.
void LoadSettings();
// Writes every field of Settings; failures are silent, as the program is ending.
void SaveSettings();
