#include "transfer/title_patch.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/core/diag_log.h"
#include "transfer/mp4_chunk_offsets.h"
#include "transfer/mp4_file_io.h"
#include "transfer/mp4_title_walk.h"
#include "transfer/utf16_text.h"

namespace {
constexpr std::size_t kMoveChunk = 1 << 20;

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return BoxTypeIs(reinterpret_cast<const std::uint8_t*>(a.data()), b.data(), a.size());
}

// The title as stored: at most kMaxTitleUnits units, never ending inside a
// surrogate pair, " " when empty.
std::u16string StoredTitle(std::u16string_view title) {
  std::u16string t(title.substr(0, std::min(title.size(), kMaxTitleUnits)));
  if (t.size() < title.size()) {
    WriteLog("title cut to %zu characters", kMaxTitleUnits);
    if (!t.empty() && t.back() >= 0xD800 && t.back() <= 0xDBFF) t.pop_back();
  }
  if (t.empty()) t.push_back(u' ');
  return t;
}

// Moves the bytes [from, fileEnd) by diff, in chunks so that a large media
// tail never has to fit in memory. Growing copies from the end backwards,
// shrinking from the front forwards, so no byte is overwritten before it moved.
bool MoveTail(Mp4File& file, std::uint64_t from, std::uint64_t fileEnd, std::int64_t diff) {
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min<std::uint64_t>(kMoveChunk, fileEnd - from)));
  if (diff > 0) {
    for (std::uint64_t end = fileEnd; end > from;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), end - from));
      std::uint64_t pos = end - n;
      if (!file.ReadAt(pos, buf.data(), n) || !file.WriteAt(pos + diff, buf.data(), n)) return false;
      end = pos;
    }
  } else {
    for (std::uint64_t pos = from; pos < fileEnd;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), fileEnd - pos));
      if (!file.ReadAt(pos, buf.data(), n) || !file.WriteAt(pos + diff, buf.data(), n)) return false;
      pos += n;
    }
  }
  return true;
}

TitleWriteResult Refuse(const char* reason) {
  WriteLog("Fail to patch mp4 title: %s", reason);
  return TitleWriteResult::Refused;
}

TitleWriteResult WriteFailed() {
  WriteLog("Fail to write mp4 title");
  return TitleWriteResult::WriteFailed;
}
}  // namespace

bool IsMp4Name(const std::string& path, const std::string& ext) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  return AsciiEqualNoCase(std::string_view(path).substr(dot + 1), ext);
}

std::string ReadMp4Title(const std::string& path) {
  if (!IsMp4Name(path, "mp4")) return {};
  Mp4File file;
  if (!file.Open(path, false)) {
    WriteLog("Fail to open mp4 file %s", path.c_str());
    return {};
  }
  Mp4TitleLocation loc;
  if (!FindMp4TitleEntry(file, file.Size(), &loc)) return {};
  // Only whole units count, and no more than a stored title may hold.
  std::size_t units = std::min<std::size_t>((loc.entrySize - kTitleEntryHeader) / 2, kMaxTitleUnits);
  std::vector<std::uint8_t> raw(units * 2);
  if (!raw.empty() && !file.ReadAt(loc.TextStart(), raw.data(), raw.size())) return {};
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(GetBe16(&raw[i * 2]));
  return Utf16ToUtf8(text, kMaxTitleResultBytes);
}

TitleWriteResult WriteMp4Title(const std::string& path, std::u16string_view title) {
  // 1-2. The entry's new text, big-endian, with its terminating zero unit.
  WriteLog("%s", path.c_str());
  const std::u16string stored = StoredTitle(title);
  std::vector<std::uint8_t> text((stored.size() + 1) * 2, 0);
  for (std::size_t i = 0; i < stored.size(); ++i) PutBe16(&text[i * 2], stored[i]);

  // 3. Only ".mp4" names are touched.
  if (!IsMp4Name(path, "mp4")) return TitleWriteResult::NotMp4Name;
  Mp4File file;
  if (!file.Open(path, true)) {
    WriteLog("Fail to open mp4 file %s", path.c_str());
    return TitleWriteResult::OpenFailed;
  }

  // 4. The entry and the size change.
  const std::uint64_t fileSize = file.Size();
  Mp4TitleLocation loc;
  if (!FindMp4TitleEntry(file, fileSize, &loc)) {
    WriteLog("Fail to find mp4 title");
    return TitleWriteResult::NotFound;
  }
  const std::uint16_t newSize = static_cast<std::uint16_t>(text.size() + kTitleEntryHeader);
  const std::int64_t diff = static_cast<std::int64_t>(newSize) - loc.entrySize;
  WriteLog("diff=%d", static_cast<int>(diff));
  const std::uint64_t oldEnd = loc.EntryEnd();

  // Everything after the entry moves by diff; media data among it is found
  // through the chunk offsets, which must move with it. Checked before any
  // byte changes.
  std::vector<ChunkOffsetTable> tables;
  if (diff != 0) {
    std::string why;
    if (!CollectChunkOffsets(file, loc.moovStart, loc.moovSize, &tables, &why) ||
        !ShiftChunkOffsets(&tables, loc.entryStart, oldEnd, diff, &why))
      return Refuse(why.c_str());
    if (static_cast<std::int64_t>(loc.moovSize) + diff > static_cast<std::int64_t>(UINT32_MAX))
      return Refuse("movie box would exceed 4 GB");
  }

  // 5. Move the tail. Growing first reserves the room, so a full medium
  // leaves the file as it was.
  if (diff > 0 && !file.Grow(fileSize, static_cast<std::uint64_t>(diff)))
    return Refuse("no room to grow the file");
  if (diff != 0 && !MoveTail(file, oldEnd, fileSize, diff)) return WriteFailed();

  // 6. The entry: new size, the 4 bytes at E + 6 unchanged, the text.
  if (!file.WriteBe16(loc.entryStart, newSize) ||
      !file.WriteAt(loc.TextStart(), text.data(), text.size()))
    return WriteFailed();

  // 7. The three enclosing box sizes.
  const auto grow = [diff](std::uint32_t size) { return static_cast<std::uint32_t>(size + diff); };
  WriteLog("loc1=%x  size1+diff=%d", static_cast<unsigned>(loc.moovStart),
           static_cast<int>(grow(loc.moovSize)));
  if (!file.WriteBe32(loc.moovStart, grow(loc.moovSize)) ||
      !file.WriteBe32(loc.uuidStart, grow(loc.uuidSize)) ||
      !file.WriteBe32(loc.metaStart, grow(loc.metaSize)))
    return WriteFailed();

  // The chunk offsets, then 8. cut the stale tail after a shrink.
  if (!WriteChunkOffsets(file, tables)) return WriteFailed();
  if (diff < 0 && !file.Truncate(fileSize + diff)) return WriteFailed();
  return TitleWriteResult::Written;
}
