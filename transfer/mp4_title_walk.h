#pragma once
// Finds the title entry of an MP4 file: the "moov" box at the top level, its
// child "uuid" box with the extended type "USMT", the metadata box at offset
// 24 of it and, from offset 34, the entry of type 1.
#include <cstdint>

#include "transfer/mp4_file_io.h"

struct Mp4TitleLocation {
  std::uint64_t moovStart = 0;
  std::uint32_t moovSize = 0;
  std::uint64_t uuidStart = 0;
  std::uint32_t uuidSize = 0;
  std::uint64_t metaStart = 0;
  std::uint32_t metaSize = 0;
  std::uint64_t entryStart = 0;
  std::uint16_t entrySize = 0;  // includes the 10-byte entry header

  std::uint64_t EntryEnd() const { return entryStart + entrySize; }
  std::uint64_t TextStart() const { return entryStart + 10; }
};

// Offsets of the fixed fields inside the uuid box and inside an entry.
constexpr std::uint64_t kUsmtMetaOffset = 24;
constexpr std::uint64_t kUsmtEntriesOffset = 34;
constexpr std::uint64_t kTitleEntryHeader = 10;
constexpr std::uint32_t kTitleEntryType = 1;

// Walks file (of fileSize bytes). Every box must lie inside its parent and
// inside the file, so a truncated or damaged file ends the walk as "not
// found" instead of sending later reads or writes outside what was read.
bool FindMp4TitleEntry(const Mp4File& file, std::uint64_t fileSize, Mp4TitleLocation* loc);
