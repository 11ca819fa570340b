#include "engine/media_types.h"

#include "engine/capture_frames.h"
#include "engine/engine_state.h"

namespace {
// Takes the sample's own type; false when it carries none.
bool SampleType(IMediaSample* sample, CMediaType& out) {
  AM_MEDIA_TYPE* mt = nullptr;
  if (sample->GetMediaType(&mt) != S_OK || !mt) return false;
  out = *mt;
  DeleteMediaType(mt);
  return true;
}

void TellAspect(double aspect) {
  EngineState& e = Engine();
  e.VideoAspect = aspect;
  PostMessage(e.hMainFrame, WM_VIDEO_RELAYOUT, 0, 0);
}
}  // namespace

int OnVideoTypeChanged(IMediaSample* sample) {
  CMediaType mt;
  if (sample) {
    if (!SampleType(sample, mt)) return 0;
  } else {
    IVxVideoGrabber* grabber = Graph().pVxGrabber_Video;
    if (!grabber || FAILED(grabber->GetConnectedMediaType(&mt))) return 0;
  }
  if (auto aspect = ApplyVideoMediaType(mt, sample != nullptr)) TellAspect(*aspect);
  return 1;
}

int OnAudioTypeChanged(IMediaSample* sample) {
  CMediaType mt;
  if (sample) {
    if (!SampleType(sample, mt)) return 0;
    ApplyAudioMediaType(&mt, true);
    return 1;
  }
  IVxGrabber* grabber = Graph().pVxGrabber_Audio;
  const bool known = grabber && SUCCEEDED(grabber->GetConnectedMediaType(&mt));
  ApplyAudioMediaType(known ? &mt : nullptr, false);
  return 1;
}
