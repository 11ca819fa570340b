#pragma once
// The recording encoder: the one object between the capture path and the
// output writers. It opens the output (asking before it overwrites), queues
// delivered frames and PCM, cuts the audio into one-frame blocks, converts
// channels and sample rate, and splits long recordings into part files.
#include <cstdint>
#include <string>
#include <vector>

// Opens the output at the frame state's OutputPath; 0, or -1 on failure or
// refusal (the user has been told). first is true at the start of every
// recording and every pass.
int OpenOutput(bool first);

// Ends the current part and opens the next numbered one ("%s - %02d.%s").
int OpenNextPart();

// The file being written (the current part), empty while none is open.
// The output path of the frame state names the next output; this is the
// file on disk that the conversion under way writes to.
std::string OutputFilePath();

// The name the file being written takes once it is finished (it is written
// under a temporary name until then), empty while none is open.
std::string OutputFileName();

// Size of the file being written in MiB, 0 when it cannot be opened.
double OutputSizeMiB();

// True when the current part is full at a part limit of limitMiB and the
// capture path should open the next one. With two passes the first pass
// decides where the parts end, and the second pass splits at the same
// pictures.
bool NextPartDue(double limitMiB);

// Ends the output. Called by the stop sequence once the worker threads have
// finished, and by OpenNextPart.
void EndOutput();

// The recording is over: after its last pass, or stopped or aborted before
// it. Removes the two-pass statistics and, after a second pass, the first
// pass's parts beyond the second pass's last.
void EndRecording();

// The files the last pass wrote: the first part and the numbered ones.
std::vector<std::string> RecordingParts();

// The capture path's single entry: one YUY2 frame of the output size (or
// null) with sampleCount sample frames of interleaved 16-bit PCM at the
// source rate and channel count. Set by the recording start.
using DeliverFn = int (*)(const std::uint8_t* frame, const std::int16_t* audio, int sampleCount);
extern DeliverFn Deliver;

// Two or more processors: only queues, the worker threads encode.
int DeliverQueued(const std::uint8_t* frame, const std::int16_t* audio, int sampleCount);
// One processor: encodes in the caller's thread.
int DeliverInline(const std::uint8_t* frame, const std::int16_t* audio, int sampleCount);

// Figures the stop sequence logs and the tests read.
struct EncoderCounters {
  int audioBlocksDone = 0;
  int videoFramesDone = 0;
  int queuedFrames = 0;
  int audioBytes = 0;
  int partNumber = 1;
  bool audioEnabled = true;
  double queueAverage = 0.0;
};
EncoderCounters GetEncoderCounters();

// True when the writer could not write (disk full, stick removed): the
// recording should stop; what was written so far is kept.
bool EncoderOutputFailed();
