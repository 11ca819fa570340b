#pragma once
// Encoder settings of the two output streams.
#include "encode/av_handles.h"
#include "encode/container_choice.h"
#include "encode/encoder_params.h"

// The exact rate of a frame rate as profiles write it: 29.97 and 14.985
// are the NTSC rates 30000/1001 and 15000/1001; any other rate is its own
// nearest ratio.
AVRational ExactFrameRate(double frameRate);

// The rate the video codec takes nearest to wanted: codecs that know only a
// list of standard rates (MPEG-1 and MPEG-2 video) get the nearest of them.
AVRational CodecFrameRate(AVCodecID codec, AVRational wanted);

// Time base of the video codec: one tick per frame of the exact rate.
AVRational VideoTimeBase(double frameRate);

// Allocates and configures the video encoder context; nullptr with the log
// line when the encoder is missing.
CodecContextPtr MakeVideoEncoder(const ContainerChoice& choice, const EncoderParams& p,
                                 AVDictionary** options);

// Allocates and configures the audio encoder context; nullptr with the log
// line when the encoder is missing.
CodecContextPtr MakeAudioEncoder(const ContainerChoice& choice, const EncoderParams& p);
