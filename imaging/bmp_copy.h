// A BMP file written out again the way TRasterBitmap's LoadFromStream and SaveToStream would
// write it, but with its rows passed through a small buffer instead of being held whole: for a
// file whose rows the writer keeps exactly as they are stored (no run-length data).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/data_stream.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {

class BmpRowCopy {
 public:
  enum class Result : std::uint8_t { kCopied, kUnreadable, kWriteFailed };

  // Reads the headers and leaves the stream where it was. False for every file whose rows
  // LoadFromStream would not take as they stand: run-length data, a file it refuses or raises
  // a check for. Such a file is decoded the usual way, which gives its outcome.
  bool Open(TDataStream& in);
  // The headers, then the rows; the stream passed to Open must still be open. kUnreadable when
  // the rows could no longer be read (the file changed or failed underneath), kWriteFailed when
  // the output took less than it was given. The output then holds a partial file.
  Result CopyTo(TDataStream& out);

  // The header block Open read: BITMAPINFOHEADER and the colour table, as LoadFromStream keeps
  // them; empty before a successful Open.
  const std::vector<std::uint8_t>& HeaderBlock() const { return header_; }
  // The stored rows in file order, row_size bytes each (as many as the pixel data holds), one
  // at a time to visit; the stream passed to Open must still be open. False when they could no
  // longer be read.
  bool ReadRows(std::uint32_t row_size, const std::function<void(const std::uint8_t*)>& visit);

  // Rows pass in pieces of this size: each is one read and one write, and far fewer calls
  // into the system than pieces of the input's own buffer would take.
  static constexpr std::uint32_t kPieceSize = 256 * 1024;

 private:
  TDataStream* in_ = nullptr;
  std::vector<std::uint8_t> header_;  // the header block as LoadFromStream would keep it
  std::int64_t rows_at_ = 0;
  std::uint32_t row_bytes_ = 0;
};

}  // namespace vistrel
