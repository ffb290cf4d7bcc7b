#include "app/SettingsStore.h"

#include "shared/Settings.h"

// The registry image joins here; until then every run starts from the first-run values
// and nothing is written.
void LoadSettings() {
  Settings = DefaultSettings();
}
void SaveSettings() {}
