#pragma once
// The files of one recording: the names of its numbered parts (the first
// keeps the plain name, then "%s - %02d.%s"), which part the pass under way
// writes, and with two passes the statistics each first-pass part leaves
// beside it for the second pass.
//
// Every pass starts at the first part's name. The second pass splits where
// the first did, counted in pictures, so each of its parts is encoded with
// the statistics of exactly its own pictures; the first pass therefore
// splits where the second pass's part, with its sound, would reach the part
// limit. A second-pass part that grows past the limit all the same is split
// there, and the rest of that stretch is encoded in one pass.
//
// Everything here is guarded by EncoderLock: the recording encoder calls it
// with the lock held.
#include <string>
#include <vector>

#include "encode/encoder_params.h"
#include "encode/pass_stats.h"

// Starts a pass of a recording at path; returns the name its first part is
// written under (in the second pass, the first pass's first part).
std::string StartPartsOfPass(const std::string& path, int passCount, int currentPass);

// A picture was queued for the part under way.
void CountPartPicture();

// True when the part under way is full and the next one is due: sizeMiB is
// the part's size on disk, limitMiB the part limit.
bool PartIsFull(double sizeMiB, double limitMiB, const EncoderParams& p);

// Moves on to the next part; returns its name.
std::string StartNextPart();

// The part at path was opened and takes pictures: it belongs to the pass.
void PartOpened(const std::string& path);

// The number of the part under way (1 for the plain name).
int CurrentPartNumber();

// What the video encoder of the part under way does with statistics.
PassPlan CurrentPassPlan();

// True in the second pass once it has taken as many pictures as the first
// pass wrote: a further picture has no statistics and lies beyond the range
// the first pass covered.
bool BeyondFirstPass();

// The recording is over (after its last pass, or stopped before it): the
// statistics are removed, and after a second pass the first pass's parts
// beyond the second pass's last.
void EndRecordingFiles();

// The parts the last pass wrote, in order.
std::vector<std::string> PartsOfLastPass();
