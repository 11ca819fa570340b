#pragma once
// The chunk offset tables ("stco" with 32-bit, "co64" with 64-bit entries) of
// every track of a movie box. They hold absolute file positions of the media
// data, so they must follow when bytes before the media data move.
#include <cstdint>
#include <string>
#include <vector>

#include "transfer/mp4_file_io.h"

struct ChunkOffsetTable {
  std::uint64_t entriesPos = 0;  // file position of the first entry
  bool wide = false;             // co64
  std::vector<std::uint64_t> offsets;
};

// Reads every table under moov/trak/mdia/minf/stbl. False, with the reason in
// *why, when the movie box cannot be read completely or holds offsets this
// code does not know how to move (fragments, auxiliary sample offsets).
bool CollectChunkOffsets(const Mp4File& file, std::uint64_t moovStart, std::uint32_t moovSize,
                         std::vector<ChunkOffsetTable>* tables, std::string* why);

// Prepares the tables for `diff` bytes inserted (or removed, when negative)
// at oldEnd, after the bytes [start, oldEnd) were replaced: offsets at or past
// oldEnd move by diff, and so does a table stored there. False, with *why,
// when an offset points into [start, oldEnd) or would not fit its entry.
bool ShiftChunkOffsets(std::vector<ChunkOffsetTable>* tables, std::uint64_t start,
                       std::uint64_t oldEnd, std::int64_t diff, std::string* why);

// Writes the tables back at their (shifted) positions.
bool WriteChunkOffsets(Mp4File& file, const std::vector<ChunkOffsetTable>& tables);
