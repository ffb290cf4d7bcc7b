#include "hw/SourceControl.h"

#include <algorithm>
#include <utility>

#include "hw/Audio.h"
#include "hw/ChannelPlans.h"
#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/Tuner.h"
#include "shared/Settings.h"

namespace {

SourceHooks Hooks;

}  // namespace

void SetSourceHooks(SourceHooks hooks) {
  Hooks = std::move(hooks);
}

bool TunerAnswers(TunerProbe probe) {
  return probe == TunerProbe::BothAddresses ? TunerPresent() : I2cProbe(kTunerOtherAddress);
}

void SourceSelectInput(uint32_t connector, TunerProbe probe) {
  switch (connector) {
    case kConnectorComposite:
      // The composite socket has no routing: the previous one stays.
      DecoderSelectComposite();
      break;
    case kConnectorSVideo:
      if (TunerAnswers(probe)) AudioSelectInput(kConnectorSVideo);
      DecoderSelectSVideo();
      break;
    case kConnectorTuner:
      AudioSelectInput(kConnectorTuner);
      DecoderSelectTunerVideo();
      AudioApplyVolume();
      TunerSetChannel(Settings.CurrentChannel);
      break;
  }
}

void SourceRetakeTuner() {
  AudioSelectInput(kConnectorTuner);
  DecoderSelectTunerVideo();
  TunerSetChannel(Settings.CurrentChannel);
  AudioApplyVolume();
}

void SourceSetPictureControl(PictureControl control, uint32_t setting) {
  switch (control) {
    case PictureControl::Brightness:
      DecoderSetBrightness(BrightnessRegisterValue(setting));
      break;
    case PictureControl::Contrast:
      DecoderSetContrast(ContrastRegisterValue(setting));
      break;
    case PictureControl::Saturation:
      DecoderSetSaturation(SaturationRegisterValue(setting));
      break;
    case PictureControl::Hue:
      DecoderSetHue(HueRegisterValue(setting));
      break;
  }
}

void SourceWriteStoredPicture() {
  SourceSetPictureControl(PictureControl::Brightness, static_cast<uint32_t>(Settings.Brightness));
  SourceSetPictureControl(PictureControl::Contrast, static_cast<uint32_t>(Settings.Contrast));
  SourceSetPictureControl(PictureControl::Saturation, static_cast<uint32_t>(Settings.Saturation));
  SourceSetPictureControl(PictureControl::Hue, static_cast<uint32_t>(Settings.Hue));
}

void SourceStepPictureControl(PictureControl control, int delta) {
  int32_t& setting = control == PictureControl::Brightness   ? Settings.Brightness
                     : control == PictureControl::Contrast   ? Settings.Contrast
                     : control == PictureControl::Saturation ? Settings.Saturation
                                                             : Settings.Hue;
  setting = std::clamp(setting + delta, 0, 255);
  SourceSetPictureControl(control, static_cast<uint32_t>(setting));
}

void SourceStepInput(bool left) {
  const int connector = Settings.VideoConnector;
  if (connector == kConnectorSVideo) {
    if (!left) AudioMute();
    Settings.VideoConnector = kConnectorComposite;
    SourceSelectInput(kConnectorComposite, TunerProbe::BothAddresses);
  } else if (connector == kConnectorComposite) {
    if (left) AudioMute();
    Settings.VideoConnector = kConnectorSVideo;
    SourceSelectInput(kConnectorSVideo, TunerProbe::BothAddresses);
  }
}

int SourceStepStandard(bool left) {
  const int current =
      IsValidVideoStandard(Settings.VideoStandard) ? Settings.VideoStandard : int{kNtscM};
  const int standard = (current + (left ? kVideoStandardCount - 1 : 1)) % kVideoStandardCount;
  Settings.CableStandard = CablePlanForStandard(standard);
  Settings.VideoStandard = standard;
  SourceSetStandard(standard);
  return standard;
}

void SourceSetStandard(int standard) {
  DecoderSetStandard(static_cast<uint32_t>(standard));
  if (Hooks.RebuildForStandard) Hooks.RebuildForStandard(standard);
}

void SourceFitCaptureMode(int standard) {
  if (Hooks.FitCaptureMode) Hooks.FitCaptureMode(standard);
}

void SourceSetChannelPlan(int cableStandard) {
  Settings.CableStandard = cableStandard;
  const int standard = StandardForCablePlan(cableStandard);
  Settings.VideoStandard = standard;
  SourceSetStandard(standard);
  SourceFitCaptureMode(standard);
  TunerSetChannel(Settings.CurrentChannel);
}
