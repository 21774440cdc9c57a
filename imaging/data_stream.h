// The byte stream that every image reader reads from and the BMP writer writes to: over a file
// (through FileHandle) or over a growable block of memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

enum class TSeekFrom : std::uint8_t { sfBeginning = 0, sfCurrent = 1, sfEnd = 2 };

class TDataStream {
 public:
  TDataStream() = default;
  TDataStream(const TDataStream&) = delete;
  TDataStream& operator=(const TDataStream&) = delete;
  virtual ~TDataStream();

  // Bytes moved; 0 when nothing could be moved.
  virtual std::uint32_t Read(void* buffer, std::uint32_t count) = 0;
  virtual std::uint32_t Write(const void* buffer, std::uint32_t count) = 0;
  // The new position. A refused move leaves the position where it was and returns -1.
  virtual std::int64_t Seek(std::int64_t offset, TSeekFrom from) = 0;
  std::int64_t Position();
  void SetPosition(std::int64_t position);
  virtual std::int64_t Size() = 0;
  virtual void SetSize(std::int64_t size) = 0;
};

// Never null. A file that cannot be opened gives a stream on which every read and write moves 0
// bytes, Size is 0 and every Seek answers 0; nothing is reported.
std::unique_ptr<TDataStream> OpenReadFileStream(const std::string& path);
// Opens or creates without truncating; every Write cuts the file where the write ended.
std::unique_ptr<TDataStream> OpenWriteFileStream(const std::string& path);
// A write stream on a new temporary file beside path (FileHandle::CreateTemporary); name gets the
// file's path, empty when none could be made.
std::unique_ptr<TDataStream> CreateTemporaryFileStream(const std::string& path, std::string& name);

class MemoryStream : public TDataStream {
 public:
  std::uint32_t Read(void* buffer, std::uint32_t count) override;
  std::uint32_t Write(const void* buffer, std::uint32_t count) override;
  // A target before the start is refused (-1, position unchanged); one beyond the end grows the
  // data with zeros up to it.
  std::int64_t Seek(std::int64_t offset, TSeekFrom from) override;
  std::int64_t Size() override;
  // Exactly the new size, shrinking too; a position beyond it is pulled back. Negative: nothing.
  void SetSize(std::int64_t size) override;

  // The data, valid until the next call that changes the size; nullptr while the size is 0.
  // Zeros that a seek past the end added are only allocated here (or by a write).
  const std::uint8_t* Memory() const;
  std::uint8_t* Memory();
  // Replaces the contents with a copy of the bytes and moves to the start.
  void Assign(const void* data, std::size_t count);

 private:
  bool Grow(std::uint64_t size) const;

  mutable std::vector<std::uint8_t> data_;  // a prefix of the data; the rest is zeros
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
};

std::unique_ptr<MemoryStream> CreateMemoryStream();

}  // namespace vistrel
