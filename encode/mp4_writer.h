#pragma once
// The writer over FFmpeg for every output format code but 0: it encodes the
// recording encoder's YUY2 frames and 16-bit PCM blocks and writes them into
// the container ("psp" MP4 for code 2). One writer per process.
#include <cstdint>
#include <string>

#include "encode/output_failure.h"
#include "encode/pass_stats.h"
#include "platform/core/threads.h"

// Opens the output at path with the current encoder parameters and output
// format, its video encoder in the pass the plan says; 0, or -1 with
// *failure (when given) saying why. The writer logs the cause but tells the
// user nothing: its caller does.
int Mp4Open(const std::string& path, const PassPlan& pass = {}, OutputFailure* failure = nullptr);

// Encodes one YUY2 frame of the output size (video thread or inline).
void Mp4WriteVideo(const std::uint8_t* frame);

// Encodes count sample frames of interleaved 16-bit PCM at the output rate
// and channel count (audio thread or inline); 0, or -1 after a failed write.
int Mp4WriteAudio(const std::int16_t* samples, int count);

// Drains both encoders, writes the trailer and closes the file; 0, or -1 when
// anything of the output could not be written.
int Mp4End();

// True while an output is open.
bool Mp4IsOpen();

// True once a packet, the header or the trailer could not be written (a full
// disk, a removed stick); later writes are dropped until the next open.
bool Mp4WriteFailed();

// Held around every packet written into the container.
CriticalSection& MuxLock();
