#pragma once
// Positioned, bounded byte access to an MP4 file and the big-endian fields of
// its boxes. Every read either gets all the bytes asked for or fails, so the
// box walks never act on bytes that were not actually read.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// An open file descriptor, closed on destruction.
class Mp4File {
 public:
  Mp4File() = default;
  ~Mp4File();
  Mp4File(const Mp4File&) = delete;
  Mp4File& operator=(const Mp4File&) = delete;

  // Opens for reading, or for reading and writing. False when it cannot.
  bool Open(const std::string& path, bool writable);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Size of the file at the time of the call; 0 when unknown.
  std::uint64_t Size() const;

  bool ReadAt(std::uint64_t offset, void* buf, std::size_t n) const;
  bool WriteAt(std::uint64_t offset, const void* buf, std::size_t n);
  bool ReadBe16(std::uint64_t offset, std::uint16_t* v) const;
  bool ReadBe32(std::uint64_t offset, std::uint32_t* v) const;
  bool WriteBe16(std::uint64_t offset, std::uint16_t v);
  bool WriteBe32(std::uint64_t offset, std::uint32_t v);

  // Makes room for `bytes` more at the end (blocks really reserved, so a
  // full medium is found before anything is moved).
  bool Grow(std::uint64_t oldSize, std::uint64_t bytes);
  bool Truncate(std::uint64_t size);

  // Creates a new empty file with a hidden unique name (".NAME.XXXXXX") in
  // the folder of path, with the permission bits of this open file, and
  // opens it for reading and writing; its name goes to *tempPath.
  bool CreateBeside(const std::string& path, const Mp4File& modeOf, std::string* tempPath);
  // The data on the medium (fdatasync).
  bool Sync();

 private:
  int fd_ = -1;
};

// Called after each block with the bytes copied so far; false stops the copy.
using CopyStepFn = std::function<bool(std::uint64_t copied)>;

// Copies n bytes from from at fromPos to to at toPos, front to back, in
// blocks. False when a read or write fails (errno tells why) or step stops.
bool CopyRange(const Mp4File& from, std::uint64_t fromPos, Mp4File& to, std::uint64_t toPos,
               std::uint64_t n, const CopyStepFn& step = {});

std::uint16_t GetBe16(const std::uint8_t* p);
std::uint32_t GetBe32(const std::uint8_t* p);
std::uint64_t GetBe64(const std::uint8_t* p);
void PutBe16(std::uint8_t* p, std::uint16_t v);
void PutBe32(std::uint8_t* p, std::uint32_t v);
void PutBe64(std::uint8_t* p, std::uint64_t v);

// Compares n bytes of a box type (or type plus extended type) with text,
// without regard to ASCII letter case.
bool BoxTypeIs(const std::uint8_t* type, const char* text, std::size_t n);
