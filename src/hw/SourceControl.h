// The video source: which input the decoder takes (with the sound routing that goes with
// it), the standard, the picture controls and the channel plan. Every panel, dialog and the
// start-up change the source here, so each bus sequence has one home. What a change means
// for the display and the video window is the application's to do: it installs the hooks.
#pragma once

#include <cstdint>
#include <functional>

#include "shared/VideoStandards.h"

// How a caller finds the tuner (and with it the sound routing of the S-Video input): the
// panels and the start-up try both addresses, the Video Source dialog 0xC2 only.
enum class TunerProbe { BothAddresses, SecondAddress };

bool TunerAnswers(TunerProbe probe);

// Puts the decoder, and the sound where the input has a routing of its own, on a
// VideoConnector. Stores nothing and mutes nothing: leaving the Tuner is the caller's
// to handle, by the rule of its own control.
void SourceSelectInput(uint32_t connector, TunerProbe probe);

// The Tuner input taken back after a cancelled choice: the sound routing, the picture,
// the stored channel, then the sound.
void SourceRetakeTuner();

// The picture controls the source options and the Video Source dialog change.
enum class PictureControl { Brightness, Contrast, Saturation, Hue };

// Writes a setting (0..255) to the decoder through its register mapping. Stores nothing.
void SourceSetPictureControl(PictureControl control, uint32_t setting);

// The four stored settings written to the decoder, in the order every caller uses.
void SourceWriteStoredPicture();

// What the application does after the source changed under the picture.
struct SourceHooks {
  // The video port's field follows the standard: live video is rebuilt for it.
  std::function<void(int standard)> RebuildForStandard;
  // Capture Mode's window follows the standard's picture size.
  std::function<void(int standard)> FitCaptureMode;
};
void SetSourceHooks(SourceHooks hooks);

// Programs the decoder for a standard and rebuilds live video for it. Stores nothing.
void SourceSetStandard(int standard);

// Capture Mode's window (and the Video Format dialog's smallest picture): one field of
// the standard, 352 pixels wide.
inline constexpr int kCaptureModeWidth = 352;
struct PictureSize {
  int Width;
  int Height;
};
constexpr PictureSize CaptureModeSize(int64_t standard, uint32_t heightOtherwise = 0) {
  return {kCaptureModeWidth, static_cast<int>(PictureHeightForStandard(standard, heightOtherwise))};
}
// After a standard changed with the window in Capture Mode.
void SourceFitCaptureMode(int standard);

// The main panel's arrows over the source options, each stored at once:
// a picture setting moved by `delta` and kept in 0..255;
void SourceStepPictureControl(PictureControl control, int delta);
// the other camera input (the Tuner is not among them), the sound muted on the way as the
// panel always has; nothing changes on the Tuner;
void SourceStepInput(bool left);
// the previous or next standard, with the channel plan it brings. Returns the standard.
int SourceStepStandard(bool left);

// A new channel plan carries its own standard: stores both, programs and rebuilds for
// the standard, fits Capture Mode's window, and tunes the stored channel in the new plan.
void SourceSetChannelPlan(int cableStandard);
