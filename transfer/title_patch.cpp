#include "transfer/title_patch.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/diag_log.h"
#include "transfer/file_rewrite.h"
#include "transfer/utf16_text.h"

namespace {
bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return BoxTypeIs(reinterpret_cast<const std::uint8_t*>(a.data()), b.data(), a.size());
}

// The title as stored: at most kMaxTitleChars characters, " " when empty.
std::u16string StoredTitle(std::u16string_view title) {
  std::u16string t = Utf16FirstCharacters(title, kMaxTitleChars);
  if (t.size() < title.size()) WriteLog("title cut to %zu characters", kMaxTitleChars);
  if (t.empty()) t.push_back(u' ');
  return t;
}

// The whole entry: its size, the 4 bytes at E + 6 as they were (filled in
// later), the big-endian text and its terminating zero unit.
std::vector<std::uint8_t> TitleEntry(const std::u16string& title) {
  std::vector<std::uint8_t> entry(kTitleEntryHeader + (title.size() + 1) * 2, 0);
  PutBe16(entry.data(), static_cast<std::uint16_t>(entry.size()));
  PutBe32(entry.data() + 2, kTitleEntryType);
  for (std::size_t i = 0; i < title.size(); ++i) PutBe16(&entry[kTitleEntryHeader + i * 2], title[i]);
  return entry;
}

// Moves the bytes [from, fileEnd) by diff inside the file. Growing copies
// from the end backwards, shrinking from the front forwards, so no byte is
// overwritten before it moved.
bool MoveTail(Mp4File& file, std::uint64_t from, std::uint64_t fileEnd, std::int64_t diff) {
  if (diff < 0) return CopyRange(file, from, file, from + diff, fileEnd - from);
  constexpr std::uint64_t kBlock = 1 << 20;
  for (std::uint64_t end = fileEnd; end > from;) {
    const std::uint64_t pos = end - std::min(kBlock, end - from);
    if (!CopyRange(file, pos, file, pos + diff, end - pos)) return false;
    end = pos;
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

TitleWriteResult FromRewrite(RewriteResult r) {
  switch (r) {
    case RewriteResult::Done: return TitleWriteResult::Written;
    case RewriteResult::NoRoom: return TitleWriteResult::NoRoomForCopy;
    case RewriteResult::Cancelled: return TitleWriteResult::Cancelled;
    case RewriteResult::Failed: return TitleWriteResult::RewriteFailed;
  }
  return TitleWriteResult::RewriteFailed;
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
  // Only whole units count; the text ends at its zero unit or with the entry.
  const std::size_t units = (loc.entrySize - kTitleEntryHeader) / 2;
  std::vector<std::uint8_t> raw(units * 2);
  if (!raw.empty() && !file.ReadAt(loc.TextStart(), raw.data(), raw.size())) return {};
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<char16_t>(GetBe16(&raw[i * 2]));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return Utf16ToUtf8(Utf16FirstCharacters(text, kMaxTitleChars), std::numeric_limits<std::size_t>::max());
}

std::string TitleWriteProblem(TitleWriteResult result) {
  switch (result) {
    case TitleWriteResult::Written: return "";
    case TitleWriteResult::NotMp4Name: return "only files named .mp4 carry a PSP title";
    case TitleWriteResult::OpenFailed: return "cannot be opened for writing";
    case TitleWriteResult::NotFound: return "has no PSP title entry (not written for a PSP); left unchanged";
    case TitleWriteResult::Refused: return "has a layout the title cannot be changed in safely; left unchanged";
    case TitleWriteResult::NoRoom: return "has no room to grow on its drive; left unchanged";
    case TitleWriteResult::NoRoomForCopy:
      return "needs as much free space beside it as its own size for the change, and the drive has less; "
             "left unchanged";
    case TitleWriteResult::Cancelled: return "was left unchanged (cancelled)";
    case TitleWriteResult::RewriteFailed: return "could not be written anew; left unchanged";
    case TitleWriteResult::WriteFailed: return "could not be written completely; the file may be damaged";
  }
  return "unknown result";
}

TitleWriteResult Mp4TitleChange::Prepare(const std::string& path, std::u16string_view title) {
  // 1-2. The entry's new text, big-endian, with its terminating zero unit.
  WriteLog("%s", path.c_str());
  path_ = path;
  entry_ = TitleEntry(StoredTitle(title));

  // 3. Only ".mp4" names are touched.
  if (!IsMp4Name(path, "mp4")) return TitleWriteResult::NotMp4Name;
  if (!file_.Open(path, true)) {
    WriteLog("Fail to open mp4 file %s", path.c_str());
    return TitleWriteResult::OpenFailed;
  }

  // 4. The entry and the size change.
  fileSize_ = file_.Size();
  if (!FindMp4TitleEntry(file_, fileSize_, &loc_)) {
    WriteLog("Fail to find mp4 title");
    return TitleWriteResult::NotFound;
  }
  std::vector<std::uint8_t> old(loc_.entrySize);
  if (!file_.ReadAt(loc_.entryStart, old.data(), old.size())) return TitleWriteResult::NotFound;
  std::copy_n(old.begin() + 6, 4, entry_.begin() + 6);
  unchanged_ = old == entry_;
  diff_ = static_cast<std::int64_t>(entry_.size()) - loc_.entrySize;
  WriteLog("diff=%d", static_cast<int>(diff_));
  if (diff_ == 0) return TitleWriteResult::Written;

  // Everything after the entry moves by diff; media data among it is found
  // through the chunk offsets, which must move with it. Checked before any
  // byte changes.
  std::string why;
  if (!CollectChunkOffsets(file_, loc_.moovStart, loc_.moovSize, &tables_, &why) ||
      !ShiftChunkOffsets(&tables_, loc_.entryStart, loc_.EntryEnd(), diff_, &why))
    return Refuse(why.c_str());
  if (static_cast<std::int64_t>(loc_.moovSize) + diff_ > static_cast<std::int64_t>(UINT32_MAX))
    return Refuse("movie box would exceed 4 GB");
  // Only the rest of the movie box moves when it is the last box.
  rewrite_ = loc_.moovStart + loc_.moovSize < fileSize_;
  return TitleWriteResult::Written;
}

TitleWriteResult Mp4TitleChange::Apply(const FileOpProgressFn& progress) {
  if (unchanged_) {
    WriteLog("title unchanged");
    return TitleWriteResult::Written;
  }
  if (!rewrite_) return ApplyInPlace();
  const RangeReplacement range{loc_.entryStart, loc_.EntryEnd(), entry_};
  return FromRewrite(RewriteWithReplacedRange(
      path_, file_, fileSize_, range, [this](Mp4File& copy) { return WriteChangedFields(copy); }, progress));
}

TitleWriteResult Mp4TitleChange::ApplyInPlace() {
  // 5. Move the tail. Growing first reserves the room, so a full medium
  // leaves the file as it was.
  const std::uint64_t oldEnd = loc_.EntryEnd();
  if (diff_ > 0 && !file_.Grow(fileSize_, static_cast<std::uint64_t>(diff_))) {
    WriteLog("Fail to patch mp4 title: no room to grow the file");
    return TitleWriteResult::NoRoom;
  }
  if (diff_ != 0 && !MoveTail(file_, oldEnd, fileSize_, diff_)) return WriteFailed();
  // 6-7. The entry, the box sizes and the chunk offsets; 8. cut the stale
  // tail after a shrink.
  if (!WriteChangedFields(file_)) return WriteFailed();
  if (diff_ < 0 && !file_.Truncate(fileSize_ + diff_)) return WriteFailed();
  return TitleWriteResult::Written;
}

bool Mp4TitleChange::WriteChangedFields(Mp4File& target) const {
  if (!target.WriteAt(loc_.entryStart, entry_.data(), entry_.size())) return false;
  const auto grow = [this](std::uint32_t size) { return static_cast<std::uint32_t>(size + diff_); };
  WriteLog("loc1=%x  size1+diff=%d", static_cast<unsigned>(loc_.moovStart),
           static_cast<int>(grow(loc_.moovSize)));
  return target.WriteBe32(loc_.moovStart, grow(loc_.moovSize)) &&
         target.WriteBe32(loc_.uuidStart, grow(loc_.uuidSize)) &&
         target.WriteBe32(loc_.metaStart, grow(loc_.metaSize)) && WriteChunkOffsets(target, tables_);
}

TitleWriteResult WriteMp4Title(const std::string& path, std::u16string_view title,
                               const FileOpProgressFn& progress) {
  Mp4TitleChange change;
  const TitleWriteResult prepared = change.Prepare(path, title);
  return prepared == TitleWriteResult::Written ? change.Apply(progress) : prepared;
}
