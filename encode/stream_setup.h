#pragma once
// Encoder settings of the two output streams.
#include "encode/av_handles.h"
#include "encode/container_choice.h"
#include "encode/encoder_params.h"

// Time base of the video codec: the PSP's two rates keep 1000/29970 and
// 1000/14985; any other rate gets its own, so the output plays at that rate.
AVRational VideoTimeBase(double frameRate);

// Allocates and configures the video encoder context; nullptr with the log
// line when the encoder is missing.
CodecContextPtr MakeVideoEncoder(const ContainerChoice& choice, const EncoderParams& p,
                                 AVDictionary** options);

// Allocates and configures the audio encoder context; nullptr with the log
// line when the encoder is missing.
CodecContextPtr MakeAudioEncoder(const ContainerChoice& choice, const EncoderParams& p);
