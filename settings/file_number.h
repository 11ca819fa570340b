#pragma once
// The device's video numbers ("M4V%05d.MP4"): taken one at a time by every
// program that writes outputs (the window, batch converters running side by
// side), so that no two outputs ever get the same number.
#include <functional>

// The number after n in the device's five digits: 1 follows 99999, and any
// number outside 1..99999 (a damaged setting) is followed by 1.
int NextFileNumber(int n);

struct TakenFileNumber {
  int number = -1;     // -1 when every number is in use
  bool saved = false;  // the number after it was stored; else it is counted in memory only
};

// Takes the number for the next output: the stored `file_number` (or the
// one counted in memory once the store could not be written), skipping
// every number that inUse says is taken (its output name exists, or is one
// of the sources), and stores the number after it. The store stays locked
// against other programs from the read to the write.
TakenFileNumber TakeFileNumber(const std::function<bool(int)>& inUse);

// Gives number back when its output was not kept, unless a later number has
// been taken meanwhile (by this program or another).
void ReturnFileNumber(int number);
