#pragma once
// Positioned, bounded byte access to an MP4 file and the big-endian fields of
// its boxes. Every read either gets all the bytes asked for or fails, so the
// box walks never act on bytes that were not actually read.
#include <cstddef>
#include <cstdint>
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

 private:
  int fd_ = -1;
};

std::uint16_t GetBe16(const std::uint8_t* p);
std::uint32_t GetBe32(const std::uint8_t* p);
std::uint64_t GetBe64(const std::uint8_t* p);
void PutBe16(std::uint8_t* p, std::uint16_t v);
void PutBe32(std::uint8_t* p, std::uint32_t v);
void PutBe64(std::uint8_t* p, std::uint64_t v);

// Compares n bytes of a box type (or type plus extended type) with text,
// without regard to ASCII letter case.
bool BoxTypeIs(const std::uint8_t* type, const char* text, std::size_t n);
