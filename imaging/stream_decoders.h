// Decompressors of the image readers: PackBits (PSD), GIF's LZW and deflate over zlib (PNG).
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>

namespace vistrel {

class TDecoder {
 public:
  TDecoder() = default;
  TDecoder(const TDecoder&) = delete;
  TDecoder& operator=(const TDecoder&) = delete;
  virtual ~TDecoder() = default;

  // Reads at most packedSize bytes at source and writes at most unpackedSize bytes at dest.
  // Negative counts count as 0.
  virtual void Unpack(const std::uint8_t*& source, std::uint8_t*& dest, std::int32_t packedSize,
                      std::int32_t unpackedSize) = 0;
  virtual void FinishUnpack() {}
  virtual void PrepareUnpack() {}
};

// Leaves source and dest as they were.
class TPackBitsDecoder : public TDecoder {
 public:
  void Unpack(const std::uint8_t*& source, std::uint8_t*& dest, std::int32_t packedSize,
              std::int32_t unpackedSize) override;
};

// Largest minimum code size the 4096-entry tables can serve; callers refuse larger ones.
constexpr std::uint8_t kMaxLzwStartCodeSize = 11;

// Where decoded rows go, one after the other.
class RowTarget {
 public:
  // The next row's first byte; it holds the row size given to the decoder.
  virtual std::uint8_t* NextRow() = 0;

 protected:
  ~RowTarget() = default;
};

// Where packed bytes come from, piece by piece.
class ByteSource {
 public:
  // Up to count bytes into out; 0 once the data has ended.
  virtual std::size_t Read(std::uint8_t* out, std::size_t count) = 0;

 protected:
  ~ByteSource() = default;
};

// GIF's variable-width LZW. Every call starts with fresh tables, so one image's data must come
// in one call. Leaves source and dest as they were.
class TLzwDecoder : public TDecoder {
 public:
  explicit TLzwDecoder(std::uint8_t start_code_size) : StartCodeSize(start_code_size) {}
  // A StartCodeSize above kMaxLzwStartCodeSize yields nothing.
  void Unpack(const std::uint8_t*& source, std::uint8_t*& dest, std::int32_t packedSize,
              std::int32_t unpackedSize) override;
  // The same decoding written straight into rows of row_size bytes, at most row_count of them,
  // the packed bytes taken from source as the codes need them; answers how many bytes were
  // written in all.
  std::uint64_t UnpackRows(ByteSource& source, RowTarget& rows, std::uint32_t row_size,
                           std::uint32_t row_count);

  const std::uint8_t StartCodeSize;
};

// zlib inflate with a zlib header and a 32 KB window. The first result other than Z_OK latches
// in InflateStatus: later calls then do nothing unless ResetEachCall is on. Unpack advances
// source and dest past what it consumed and produced.
class TDeflateDecoder : public TDecoder {
 public:
  TDeflateDecoder(int flush_value, bool reset_each_call);
  ~TDeflateDecoder() override;

  void Unpack(const std::uint8_t*& source, std::uint8_t*& dest, std::int32_t packedSize,
              std::int32_t unpackedSize) override;
  // Both raise message 20 when zlib reports an error.
  void FinishUnpack() override;
  void PrepareUnpack() override;

  std::int32_t InflateStatus() const { return inflate_status_; }
  std::uint32_t InputLeft() const { return stream_.avail_in; }
  std::uint32_t OutputLeft() const { return stream_.avail_out; }

 private:
  z_stream stream_;
  std::int32_t inflate_status_ = 0;
  int flush_value_;
  bool reset_each_call_;
  bool initialized_ = false;  // inflateInit succeeded and inflateEnd has not run yet
};

}  // namespace vistrel
