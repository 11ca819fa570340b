#include "transfer/mp4_title_walk.h"

namespace {
bool FindMovieBox(const Mp4File& file, std::uint64_t fileSize, Mp4TitleLocation* loc) {
  std::uint64_t pos = 0;
  std::uint8_t head[8];
  while (pos + 8 <= fileSize && file.ReadAt(pos, head, 8)) {
    std::uint32_t size = GetBe32(head);
    // 0 (to the end) and 1 (64-bit size) are not followed; nor is a size
    // smaller than the header just read.
    if (size < 8) return false;
    if (BoxTypeIs(head + 4, "moov", 4)) {
      if (pos + size > fileSize) return false;
      loc->moovStart = pos;
      loc->moovSize = size;
      return true;
    }
    pos += size;
  }
  return false;
}

bool FindUsmtBox(const Mp4File& file, Mp4TitleLocation* loc) {
  const std::uint64_t end = loc->moovStart + loc->moovSize;
  std::uint64_t pos = loc->moovStart + 8;
  std::uint8_t head[12];
  while (pos + 8 <= end) {
    if (!file.ReadAt(pos, head, 8)) return false;
    std::uint32_t size = GetBe32(head);
    if (size < 8 || pos + size > end) return false;
    if (size >= 12 && BoxTypeIs(head + 4, "uuid", 4) && file.ReadAt(pos + 8, head + 8, 4) &&
        BoxTypeIs(head + 4, "uuidUSMT", 8)) {
      if (size < kUsmtEntriesOffset) return false;
      loc->uuidStart = pos;
      loc->uuidSize = size;
      return true;
    }
    pos += size;
  }
  return false;
}

bool FindTitleEntry(const Mp4File& file, Mp4TitleLocation* loc) {
  loc->metaStart = loc->uuidStart + kUsmtMetaOffset;
  if (!file.ReadBe32(loc->metaStart, &loc->metaSize)) return false;
  const std::uint64_t metaEnd = loc->metaStart + loc->metaSize;
  if (loc->metaSize < kUsmtEntriesOffset - kUsmtMetaOffset ||
      metaEnd > loc->uuidStart + loc->uuidSize)
    return false;
  std::uint64_t pos = loc->uuidStart + kUsmtEntriesOffset;
  std::uint8_t head[6];
  while (pos + 6 <= metaEnd) {
    if (!file.ReadAt(pos, head, 6)) return false;
    std::uint16_t size = GetBe16(head);
    if (size < 6 || pos + size > metaEnd) return false;
    if (GetBe32(head + 2) == kTitleEntryType) {
      if (size < kTitleEntryHeader) return false;
      loc->entryStart = pos;
      loc->entrySize = size;
      return true;
    }
    pos += size;
  }
  return false;
}
}  // namespace

bool FindMp4TitleEntry(const Mp4File& file, std::uint64_t fileSize, Mp4TitleLocation* loc) {
  Mp4TitleLocation found;
  if (!FindMovieBox(file, fileSize, &found) || !FindUsmtBox(file, &found) ||
      !FindTitleEntry(file, &found))
    return false;
  *loc = found;
  return true;
}
