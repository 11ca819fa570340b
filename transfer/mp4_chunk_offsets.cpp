#include "transfer/mp4_chunk_offsets.h"

#include <cstring>

namespace {
struct BoxScan {
  const Mp4File& file;
  std::vector<ChunkOffsetTable>* tables;
  std::string* why;

  bool Fail(const char* reason) {
    *why = reason;
    return false;
  }

  bool ReadTable(std::uint64_t pos, std::uint32_t size, bool wide) {
    std::uint32_t count = 0;
    if (size < 16 || !file.ReadBe32(pos + 12, &count)) return Fail("chunk offset table unreadable");
    const std::uint64_t entryBytes = wide ? 8 : 4;
    if (count > (size - 16) / entryBytes) return Fail("chunk offset table larger than its box");
    ChunkOffsetTable t;
    t.entriesPos = pos + 16;
    t.wide = wide;
    std::vector<std::uint8_t> raw(count * entryBytes);
    if (!raw.empty() && !file.ReadAt(t.entriesPos, raw.data(), raw.size()))
      return Fail("chunk offset table unreadable");
    t.offsets.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
      t.offsets[i] = wide ? GetBe64(&raw[i * 8]) : GetBe32(&raw[i * 4]);
    tables->push_back(std::move(t));
    return true;
  }

  // Walks the children of the box whose payload is [pos, end); depth 0 is the
  // movie box, 1 a track, 2 its media box, 3 media information, 4 sample table.
  bool Children(std::uint64_t pos, std::uint64_t end, int depth) {
    static const char* const kPath[] = {"trak", "mdia", "minf", "stbl"};
    std::uint8_t head[8];
    while (pos < end) {
      if (end - pos < 8 || !file.ReadAt(pos, head, 8)) return Fail("truncated box inside moov");
      std::uint32_t size = GetBe32(head);
      if (size < 8 || size > end - pos) return Fail("box size out of range inside moov");
      const std::uint8_t* type = head + 4;
      if (depth == 0 && BoxTypeIs(type, "mvex", 4)) return Fail("fragmented file");
      if (depth == 4) {
        if (BoxTypeIs(type, "stco", 4) && !ReadTable(pos, size, false)) return false;
        if (BoxTypeIs(type, "co64", 4) && !ReadTable(pos, size, true)) return false;
        if (BoxTypeIs(type, "saio", 4)) return Fail("auxiliary sample offsets");
      } else if (BoxTypeIs(type, kPath[depth], 4)) {
        if (!Children(pos + 8, pos + size, depth + 1)) return false;
      }
      pos += size;
    }
    return true;
  }
};
}  // namespace

bool CollectChunkOffsets(const Mp4File& file, std::uint64_t moovStart, std::uint32_t moovSize,
                         std::vector<ChunkOffsetTable>* tables, std::string* why) {
  tables->clear();
  BoxScan scan{file, tables, why};
  if (moovSize < 8) return scan.Fail("movie box too small");
  return scan.Children(moovStart + 8, moovStart + moovSize, 0);
}

bool ShiftChunkOffsets(std::vector<ChunkOffsetTable>* tables, std::uint64_t start,
                       std::uint64_t oldEnd, std::int64_t diff, std::string* why) {
  for (ChunkOffsetTable& t : *tables) {
    for (std::uint64_t& off : t.offsets) {
      if (off < start) continue;
      if (off < oldEnd) {
        *why = "chunk offset inside the title entry";
        return false;
      }
      const std::uint64_t limit = t.wide ? UINT64_MAX : UINT32_MAX;
      if (diff > 0 && off > limit - static_cast<std::uint64_t>(diff)) {
        *why = "chunk offset would overflow";
        return false;
      }
      off += static_cast<std::uint64_t>(diff);
    }
    if (t.entriesPos >= oldEnd) t.entriesPos += static_cast<std::uint64_t>(diff);
  }
  return true;
}

bool WriteChunkOffsets(Mp4File& file, const std::vector<ChunkOffsetTable>& tables) {
  for (const ChunkOffsetTable& t : tables) {
    const std::size_t entryBytes = t.wide ? 8 : 4;
    std::vector<std::uint8_t> raw(t.offsets.size() * entryBytes);
    for (std::size_t i = 0; i < t.offsets.size(); ++i) {
      if (t.wide)
        PutBe64(&raw[i * 8], t.offsets[i]);
      else
        PutBe32(&raw[i * 4], static_cast<std::uint32_t>(t.offsets[i]));
    }
    if (!raw.empty() && !file.WriteAt(t.entriesPos, raw.data(), raw.size())) return false;
  }
  return true;
}
