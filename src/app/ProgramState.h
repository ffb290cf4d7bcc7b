// Every unit's process-wide state in one list: a fresh run (each test's) begins from the
// state the program starts in. A unit that adds a state struct adds it here.
#pragma once

// Assigns each unit a fresh state; releases what a state holds (a skin palette, the
// Channel Setting bitmaps, a clip left open, a capture's raw file and picture) first.
// The windows are the caller's to destroy before.
void ResetProgramGlobals();
