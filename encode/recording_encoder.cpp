#include "encode/recording_encoder.h"

#include <cerrno>
#include <cstdio>

#include "core/diag_log.h"
#include "core/frame_state.h"
#include "core/message_dlg.h"
#include "encode/encoder_params.h"
#include "encode/encoder_state.h"
#include "encode/encoder_texts.h"
#include "encode/encoder_threads.h"
#include "encode/mp4_writer.h"
#include "encode/output_messages.h"
#include "encode/part_files.h"
#include "encode/temp_output.h"
#include "platform/core/paths.h"

namespace {
bool AskOverwrite(const std::string& path, const std::string& question) {
  return ShowMessageDlg(path + " " + question, MsgKind::Confirmation, mbYes | mbNo) == mrYes;
}

void ResetCounters() {
  EncoderState& e = Enc();
  e.AudioBlocksDone = 0;
  e.VideoFramesDone = 0;
}

void ClearPending() {
  EncoderState& e = Enc();
  e.AudioBuffer.Clear();
  e.SampleRemainder = 0.0;
  e.FrameQueue.clear();
  e.SpareFrames.clear();
}

// Opens the writer and the two sample-rate converters that feed it. The
// writer writes under a temporary name; the final name appears when the
// part is finished (EndWriter).
int OpenCodecLibraryOutput(const std::string& path) {
  EncoderState& e = Enc();
  if (!e.file.Open(path)) {
    TellOutputFailure(Failure(OutputError::CannotCreate, path, errno));
    return -1;
  }
  // Told while the temporary file is still there: it is what exists at the
  // path the writer could not open.
  OutputFailure failure;
  if (Mp4Open(e.file.TempPath(), CurrentPassPlan(), &failure) < 0) {
    TellOutputFailure(failure);
    e.file.Discard();
    return -1;
  }
  const EncoderParams& p = EncParams();
  e.resampler1 = LumResampler::Create(p.srcSampleRate, p.outSampleRate, 256, 0.95, 9.0, 1);
  e.resampler2.reset();
  if (p.outChannels >= 2 && p.srcChannels >= 2)
    e.resampler2 = LumResampler::Create(p.srcSampleRate, p.outSampleRate, 256, 0.95, 9.0, 1);
  e.outputOpen = true;
  e.OpenFilePath = e.file.TempPath();
  return 0;
}

// Lets everything delivered so far reach the current output: the worker
// threads drain the queue and the whole audio blocks, or, without them, the
// caller encodes them here. Less than one block of audio stays buffered.
void DrainPending(CritSecLock& lock) {
  EncoderState& e = Enc();
  auto pending = [&] {
    return !e.FrameQueue.empty() || (e.AudioEnabled && AudioBlockAvailable()) || e.writersInFlight > 0;
  };
  if (EncoderThreadsRunning()) {
    for (int waited = 0; pending() && waited < 10000; ++waited) lock.SleepUnlocked(1);  // 10 s at most
    return;
  }
  while (e.outputOpen && (!e.FrameQueue.empty() || (e.AudioEnabled && AudioBlockAvailable()))) {
    if (e.AudioEnabled && AudioBlockAvailable()) EncodeAudioBlock(lock);
    EncodeVideoFrame(lock);
  }
}

// Everything delivered goes into the output before it ends. The last slot's
// audio is less than the block threshold, which leaves room for rounding;
// at the end it is written as it is.
void FlushPending(CritSecLock& lock) {
  DrainPending(lock);
  EncoderState& e = Enc();
  if (e.outputOpen && e.AudioEnabled && e.AudioBuffer.bytes() >= SourceFrameBytes()) EncodeAudioBlock(lock, true);
}

// Ends the writer. A part written whole takes its final name; one that could
// not be finished (the disk filled, the stick went) is removed, so no file
// without its index is ever left as if it were an output.
void EndWriter() {
  EncoderState& e = Enc();
  const bool whole = (e.outputOpen || Mp4IsOpen()) && Mp4End() == 0;
  if (whole && !e.file.Commit()) WriteLog("Could not finish %s", e.file.FinalPath().c_str());
  if (!whole && e.file.IsOpen()) {
    WriteLog("%s could not be finished and is removed", e.file.FinalPath().c_str());
    e.file.Discard();
  }
  e.outputOpen = false;
  e.OpenFilePath.clear();
  e.resampler1.reset();
  e.resampler2.reset();
}
}  // namespace

int OpenOutput(bool first) {
  CritSecLock lock(EncoderLock());
  EncoderState& e = Enc();
  FrameState& f = Frame();
  std::string path = f.GetOutputPath();
  if (first) {
    // Every pass starts at the first part's name.
    path = StartPartsOfPass(path, f.PassCount, f.CurrentPass);
    f.SetOutputPath(path);
    RemoveAbandonedTempOutputs(path.substr(0, path.rfind('/') + 1));
  }
  // The second pass writes over the first pass's own file without asking.
  const bool secondPass = f.PassCount == 2 && f.CurrentPass == 2;
  if (PathExists(path) && !secondPass && !AskOverwrite(path, EncTexts().overwrite)) return -1;
  // A folder of the output's name can never be replaced by it.
  if (FolderExists(path)) {
    TellOutputFailure(Failure(OutputError::CannotCreate, path, EISDIR));
    return -1;
  }
  e.AudioEnabled = !(f.PassCount == 2 && f.CurrentPass == 1);
  ResetCounters();
  ClearPending();
  if (OpenCodecLibraryOutput(path) < 0) return -1;
  PartOpened(path);
  return 0;
}

int OpenNextPart() {
  std::string next;
  {
    CritSecLock lock(EncoderLock());
    FlushPending(lock);
    EndWriter();
    next = StartNextPart();
  }
  if (Frame().CurrentPass != 2 && PathExists(next) && !AskOverwrite(next, EncTexts().overwritePart))
    return -1;
  Frame().SetOutputPath(next);
  WriteLog("Next part: %s", next.c_str());
  return OpenOutput(false);
}

std::string OutputFilePath() {
  CritSecLock lock(EncoderLock());
  return Enc().OpenFilePath;
}

std::string OutputFileName() {
  CritSecLock lock(EncoderLock());
  return Enc().file.IsOpen() ? Enc().file.FinalPath() : std::string();
}

double OutputSizeMiB() { return FileSizeMiB(OutputFilePath()); }

bool NextPartDue(double limitMiB) {
  const double size = OutputSizeMiB();
  CritSecLock lock(EncoderLock());
  return Enc().outputOpen && PartIsFull(size, limitMiB, EncParams());
}

void EndOutput() {
  CritSecLock lock(EncoderLock());
  FlushPending(lock);
  EndWriter();
  ResetCounters();
  ClearPending();
}

void EndRecording() {
  CritSecLock lock(EncoderLock());
  EndRecordingFiles();
}

std::vector<std::string> RecordingParts() {
  CritSecLock lock(EncoderLock());
  return PartsOfLastPass();
}

EncoderCounters GetEncoderCounters() {
  CritSecLock lock(EncoderLock());
  const EncoderState& e = Enc();
  EncoderCounters c;
  c.audioBlocksDone = e.AudioBlocksDone;
  c.videoFramesDone = e.VideoFramesDone;
  c.queuedFrames = static_cast<int>(e.FrameQueue.size());
  c.audioBytes = e.AudioBuffer.bytes();
  c.partNumber = CurrentPartNumber();
  c.audioEnabled = e.AudioEnabled;
  c.queueAverage = e.QueueAverage;
  return c;
}

bool EncoderOutputFailed() { return Mp4WriteFailed(); }
