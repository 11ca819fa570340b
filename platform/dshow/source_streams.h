#pragma once
// What the file source plays of a file: which of its streams, and, for a
// bare elementary stream (no container, no times), how long it lasts and
// how it goes back to its start.
extern "C" {
#include <libavformat/avformat.h>
}

struct StreamChoice {
  int video = -1, audio = -1;  // stream indexes; -1 for none
};

// The best video and the audio that goes with it: in a file of several
// programs (a broadcast capture), the first program that has both. A
// sound file's cover picture is its video when it has no other.
StreamChoice ChooseStreams(AVFormatContext* fmt);

// True when pkt is the stream's last packet: the one picture of a cover,
// or the last entry of an index that lists every packet (MP4, AVI). The
// stream can end there, before the demuxer reaches the end of the file.
bool IsLastPacket(const AVStream* st, const AVPacket& pkt);

// A broadcast capture whose clock jumps (a discontinuity, a wrap the
// demuxer did not see) claims the time from its first stamp to its last,
// hours more than it holds: its length is then told from its bytes at the
// rate of its first seconds. Goes back to the file's start afterwards.
void CorrectJumpedDuration(AVFormatContext* fmt);

// The picture size of a video stream the probe could not tell (a DVD
// menu's single MPEG-2 picture, which its decoder gives back only at the
// end), learnt by decoding its first picture. False when no picture
// decodes. Goes back to the file's start afterwards.
bool LearnPictureSize(AVFormatContext* fmt, int video);

// A stream without times of its own (a bare H.264, H.265 or MPEG-2 stream).
bool IsBareStream(const AVFormatContext* fmt);

// Counts the pictures of a bare stream to learn its length (its pictures
// at the stream's frame rate), then goes back to its start. Leaves the
// duration unset when the stream cannot be read to its end.
void EstimateBareStreamDuration(AVFormatContext* fmt, int video);

// Back to the first byte; the decoders drop what comes before the wanted
// position.
void SeekToFirstByte(AVFormatContext* fmt);
