// The settings' image in the registry. Loaded once at start-up, saved at normal
// exit and when Windows ends the session; never at any other time.
#pragma once

void LoadSettings();
void SaveSettings();
