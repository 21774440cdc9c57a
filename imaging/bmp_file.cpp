// The BMP reader and writer of TRasterBitmap.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "common/exception.h"
#include "imaging/bmp_copy.h"
#include "imaging/bmp_layout.h"
#include "imaging/bmp_rle.h"
#include "imaging/bounded_input.h"
#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {

namespace {

constexpr std::uint16_t kBmpSignature = 0x4D42;  // "BM"
// Writers put the three BITFIELDS masks and the start of the table area after the header.
constexpr std::uint32_t kMaskExtraBytes = 74;

// What the headers before the pixels say, the header block already in DIB form.
struct BmpHeaders {
  std::vector<std::uint8_t> block = std::vector<std::uint8_t>(kHeaderBlockSize, 0);
  std::int64_t gap = 0;  // bytes the file header puts between the headers and the rows
  std::uint32_t declared_size = 0;
  std::int64_t entry_size = 4;  // colour table entry: 3 bytes after a core header
  std::int64_t header_size = kInfoHeaderSize;
};

// The file header (optional) and the info or core header; false for a file that has neither.
bool ReadHeaders(BoundedInput& input, std::int64_t start, BmpHeaders& headers) {
  std::uint8_t file_header[kFileHeaderSize];
  if (!input.Read(file_header, kFileHeaderSize)) return false;
  if (LoadU16LE(file_header) == kBmpSignature) {
    headers.gap = std::int64_t{LoadU32LE(file_header + 10)} - kFileHeaderSize;
    headers.declared_size = LoadU32LE(file_header + 2);
  } else if (!input.Seek(start)) {
    return false;
  }
  std::uint8_t* h = headers.block.data();
  if (!input.Read(h, 4)) return false;
  const std::uint32_t declared_header_size = LoadU32LE(h);
  if (declared_header_size == kInfoHeaderSize) return input.Read(h + 4, kInfoHeaderSize - 4);
  if (declared_header_size != kCoreHeaderSize) return false;
  headers.entry_size = 3;
  headers.header_size = kCoreHeaderSize;
  std::uint8_t core[8];
  if (!input.Read(core, sizeof core)) return false;
  StoreU32LE(h + dib::kSizeOffset, kInfoHeaderSize);
  StoreU32LE(h + dib::kWidthOffset, LoadU16LE(core));
  StoreU32LE(h + dib::kHeightOffset, LoadU16LE(core + 2));
  StoreU16LE(h + dib::kPlanesOffset, LoadU16LE(core + 4));
  StoreU16LE(h + dib::kBitCountOffset, LoadU16LE(core + 6));
  return true;
}

// The colour table into the header block, and the gap that is left before the rows; false
// when the table area cannot hold what the offsets leave between header and pixels.
bool ReadColorTable(BoundedInput& input, BmpHeaders& headers, std::uint32_t bits, bool sixteen) {
  const std::int64_t entry_size = headers.entry_size;
  std::int64_t color_bytes = bits <= 8 ? (std::int64_t{1} << bits) * entry_size : sixteen ? 12 : 0;
  std::int64_t& gap = headers.gap;
  if (gap > 0) {
    gap -= headers.header_size;
    if (color_bytes != gap && !(sixteen && gap != 0)) color_bytes = gap;
    if (color_bytes <= gap) gap -= color_bytes;
  }
  // The table area holds 1024 bytes; an offset that leaves more (or a negative amount, or a
  // partial 3-byte entry) between header and pixels is refused. Bytes are compared, not whole
  // entries: a gap of 1025 holds 256 entries and one byte too many for the area.
  if (color_bytes < 0 || (entry_size == 3 && color_bytes % 3 != 0)) return false;
  const std::int64_t table_bytes = entry_size == 4 ? color_bytes : color_bytes / 3 * 4;
  if (table_bytes > std::int64_t{kColorTableBytes}) return false;
  std::uint8_t* table = headers.block.data() + dib::kTableOffset;
  if (entry_size == 4) return input.Read(table, static_cast<std::size_t>(color_bytes));
  for (std::int64_t i = 0; i < color_bytes / 3; ++i) {
    if (!input.Read(table + 4 * i, 3)) return false;
  }
  return true;
}

// Run-length rows, decoded into plain ones; the header block then describes plain rows.
bool ReadRlePixels(BoundedInput& input, std::int64_t position, std::uint8_t* h,
                   std::uint64_t pixel_bytes, MemoryBudget& budget, PixelBytes& pixels) {
  const std::int64_t available = input.Size() - position;
  if (available <= 0) return false;
  budget.Add(static_cast<std::uint64_t>(available));
  if (!budget.Fits()) return false;
  std::uint32_t data_size = static_cast<std::uint32_t>(available);
  const std::uint32_t size_image = LoadU32LE(h + dib::kSizeImageOffset);
  if (size_image != 0 && size_image < data_size) data_size = size_image;
  // The decoder's work is bounded by its data (every step takes at least two bytes), so a
  // sparse picture that skips most of its pixels is as welcome as any other.
  std::vector<std::uint8_t> data(data_size);
  if (!input.Seek(position) || !input.Read(data.data(), data_size)) return false;
  // Pixels the data skips stay index 0.
  pixels.assign(static_cast<std::size_t>(pixel_bytes), 0);
  DecodeBmpRle(data.data(), data.size(), dib::Compression(h) == kBiRle4,
               static_cast<std::uint32_t>(dib::Width(h)), dib::AbsHeight(h),
               static_cast<std::uint32_t>(pixel_bytes / dib::AbsHeight(h)), pixels.data());
  StoreU32LE(h + dib::kCompressionOffset, kBiRgb);
  StoreU32LE(h + dib::kSizeImageOffset, static_cast<std::uint32_t>(pixel_bytes));
  return true;
}

// Where plain rows are read from: a file shorter than it says is read from its tail, the last
// pixel_bytes bytes. False when the rows are not all in the stream.
bool PlainRowsStart(BoundedInput& input, std::int64_t position, std::uint32_t declared_size,
                    std::uint64_t pixel_bytes, std::int64_t& from) {
  const std::int64_t wanted = static_cast<std::int64_t>(pixel_bytes);
  const std::int64_t stream_size = input.Size();
  const std::int64_t amount =
      declared_size == 0 ? wanted : std::min(wanted, stream_size - position);
  from = position;
  if (amount < wanted && position >= wanted - amount) from = position - (wanted - amount);
  return from >= 0 && from <= stream_size - wanted;
}

// Why the headers could not be taken: unreadable (an empty bitmap) or a toolkit check.
enum class BmpParse : std::uint8_t { kOk, kUnreadable, kCheckFailed };

// The headers and what follows from them, up to where the pixel data starts.
struct BmpLayout {
  BmpHeaders headers;
  TRasterFormat format = TRasterFormat::rfCustom;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool rle = false;
  std::uint64_t pixel_bytes = 0;
  std::int64_t position = 0;  // of the rows, or of the run-length data
  const char* failed_check = nullptr;
};

// Every size taken from the file is checked before it is used; the first problem decides.
BmpParse ParseBmp(BoundedInput& input, std::int64_t start, BmpLayout& layout) {
  BmpHeaders& headers = layout.headers;
  if (!ReadHeaders(input, start, headers)) return BmpParse::kUnreadable;
  const std::uint8_t* h = headers.block.data();
  auto check_failed = [&layout](const char* message) {
    layout.failed_check = message;
    return BmpParse::kCheckFailed;
  };

  const std::uint32_t bits = dib::BitCount(h);
  const std::uint32_t bits_times_planes = bits * dib::Planes(h);  // both 16-bit: no overflow
  layout.format = bits_times_planes <= 32 ? FormatForBits(static_cast<int>(bits_times_planes))
                                          : TRasterFormat::rfCustom;
  const std::uint32_t compression = dib::Compression(h);
  // The bitmap's format is later read from the bit count alone, whatever the planes say, so a
  // 16-bit count needs a 16-bit compression too.
  if (!((layout.format != TRasterFormat::rf15Bit && bits != 16) || compression == kBiRgb ||
        compression == kBiBitfields)) {
    return check_failed(kUnsupportedBitmapFormat);
  }
  layout.width = dib::Width(h);
  if (layout.width <= 0) return check_failed(kBitmapWidthMustBePositive);
  const std::int32_t signed_height = dib::Height(h);
  if (signed_height == 0) return check_failed(kBitmapHeightMustBePositive);
  if (signed_height == std::numeric_limits<std::int32_t>::min())
    return BmpParse::kUnreadable;  // its magnitude has no 32-bit signed value
  layout.height = signed_height < 0 ? -signed_height : signed_height;

  // Run-length data is decoded into plain rows; it only exists bottom-up and at its own depth.
  layout.rle = compression == kBiRle8 || compression == kBiRle4;
  if (layout.rle && (signed_height < 0 || bits != (compression == kBiRle8 ? 8u : 4u)))
    return BmpParse::kUnreadable;
  std::uint32_t row_size = 0;
  if (!DibRowSize(static_cast<std::uint32_t>(layout.width), bits, row_size) ||
      !CheckedMul<std::uint64_t>(row_size, static_cast<std::uint64_t>(layout.height),
                                 layout.pixel_bytes)) {
    return BmpParse::kUnreadable;
  }
  if (layout.pixel_bytes == 0) return check_failed(kNoMemory);
  // Uncompressed rows must all be in the stream, wherever they are read from.
  if (!layout.rle && layout.pixel_bytes > static_cast<std::uint64_t>(input.Size()))
    return BmpParse::kUnreadable;

  const bool sixteen =
      layout.format == TRasterFormat::rf15Bit || layout.format == TRasterFormat::rf16Bit;
  if (!ReadColorTable(input, headers, bits, sixteen)) return BmpParse::kUnreadable;
  layout.position = input.Position() + std::max<std::int64_t>(headers.gap, 0);

  MemoryBudget budget;
  AddBitmap(budget, static_cast<std::uint32_t>(layout.width),
            static_cast<std::uint32_t>(layout.height), bits);
  if (!layout.rle && !budget.Fits()) return BmpParse::kUnreadable;
  return BmpParse::kOk;
}

// The file header and the info header with its table or masks, as the writer puts them before
// pixel_bytes bytes of rows; false when the stream took less.
bool WriteBmpHeaders(TDataStream& stream, const std::uint8_t* h, std::uint32_t pixel_bytes) {
  std::uint32_t bits = dib::BitCount(h);
  std::uint32_t color_bytes = bits <= 8 ? 4u << bits : 0;
  // The extra mask bytes never reach past the table area: an indexed picture with a
  // compression value and a full table has none.
  std::uint32_t extra = dib::Compression(h) != kBiRgb ? kMaskExtraBytes : 0;
  extra = std::min(extra, kColorTableBytes - color_bytes);
  std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + color_bytes + extra;

  std::uint8_t file_header[kFileHeaderSize] = {};
  StoreU16LE(file_header, kBmpSignature);
  StoreU32LE(file_header + 2, offset + pixel_bytes);
  StoreU32LE(file_header + 10, offset);
  std::uint32_t info_bytes = kInfoHeaderSize + color_bytes + extra;
  return stream.Write(file_header, kFileHeaderSize) == kFileHeaderSize &&
         stream.Write(h, info_bytes) == info_bytes;
}

}  // namespace

void TRasterBitmap::LoadFromStream(TDataStream& stream) {
  Clear();
  std::int64_t start = stream.Position();
  bool loaded = false;
  try {
    loaded = LoadBmp(stream, start);
  } catch (const std::bad_alloc&) {
    // Out of memory is one more reason a file cannot be read, never the user's problem.
    loaded = false;
  }
  if (!loaded) {
    stream.Seek(start, TSeekFrom::sfBeginning);
    Clear();
  }
}

// False for a file that cannot be read (the caller restores the stream and empties the bitmap);
// raises the toolkit checks.
bool TRasterBitmap::LoadBmp(TDataStream& stream, std::int64_t start) {
  kind_ = TBitmapHandleKind::hkDib;
  BoundedInput input(stream);
  BmpLayout layout;
  const BmpParse parsed = ParseBmp(input, start, layout);
  if (parsed == BmpParse::kCheckFailed) {
    // The checks leave an empty bitmap rather than one whose fields hold the file's nonsense.
    Clear();
    VISTREL_CHECK_FAILED(layout.failed_check);
  }
  if (parsed != BmpParse::kOk) return false;
  std::uint8_t* h = layout.headers.block.data();

  PixelBytes pixels;
  if (layout.rle) {
    MemoryBudget budget;
    AddBitmap(budget, static_cast<std::uint32_t>(layout.width),
              static_cast<std::uint32_t>(layout.height), dib::BitCount(h));
    if (!ReadRlePixels(input, layout.position, h, layout.pixel_bytes, budget, pixels)) return false;
  } else {
    // Plain rows, in one read straight into the pixel memory (every byte of it is read).
    std::int64_t from = 0;
    if (!PlainRowsStart(input, layout.position, layout.headers.declared_size, layout.pixel_bytes,
                        from) ||
        !input.Seek(from)) {
      return false;
    }
    pixels.resize(static_cast<std::size_t>(layout.pixel_bytes));
    if (!input.Read(pixels.data(), pixels.size())) return false;
  }

  header_ = std::move(layout.headers.block);
  pixels_ = std::move(pixels);
  requested_format_ = layout.format;
  width_ = layout.width;
  height_ = layout.height;
  row_size_ = 0;
  return true;
}

bool BmpRowCopy::Open(TDataStream& in) {
  in_ = &in;
  const std::int64_t start = in.Position();
  bool plain = false;
  {
    BoundedInput input(in);
    BmpLayout layout;
    plain = ParseBmp(input, start, layout) == BmpParse::kOk && !layout.rle &&
            PlainRowsStart(input, layout.position, layout.headers.declared_size, layout.pixel_bytes,
                           rows_at_);
    if (plain) {
      header_ = std::move(layout.headers.block);
      row_bytes_ = static_cast<std::uint32_t>(layout.pixel_bytes);  // within the budget
    }
  }
  in.SetPosition(start);
  return plain;
}

BmpRowCopy::Result BmpRowCopy::CopyTo(TDataStream& out) {
  if (!in_ || header_.empty()) return Result::kUnreadable;
  PixelBytes buffer(std::min(row_bytes_, kPieceSize));
  if (!WriteBmpHeaders(out, header_.data(), row_bytes_)) return Result::kWriteFailed;
  BoundedInput input(*in_);
  if (!input.Seek(rows_at_)) return Result::kUnreadable;
  for (std::uint32_t left = row_bytes_; left > 0;) {
    const std::uint32_t piece = std::min(left, kPieceSize);
    if (!input.Read(buffer.data(), piece)) return Result::kUnreadable;
    if (out.Write(buffer.data(), piece) != piece) return Result::kWriteFailed;
    left -= piece;
  }
  return Result::kCopied;
}

bool BmpRowCopy::ReadRows(std::uint32_t row_size,
                          const std::function<void(const std::uint8_t*)>& visit) {
  if (!in_ || header_.empty() || row_size == 0) return false;
  PixelBytes row(row_size);
  BoundedInput input(*in_);
  if (!input.Seek(rows_at_)) return false;
  for (std::uint32_t rows = row_bytes_ / row_size; rows > 0; --rows) {
    if (!input.Read(row.data(), row_size)) return false;
    visit(row.data());
  }
  return true;
}

void TRasterBitmap::SaveToStream(TDataStream& stream) {
  if (IsEmpty()) return;
  std::int64_t start = stream.Position();
  SetHandleKind(TBitmapHandleKind::hkDib);
  if (!HasDib()) return;
  const std::uint32_t pixel_bytes = static_cast<std::uint32_t>(pixels_.size());
  if (!WriteBmpHeaders(stream, header_.data(), pixel_bytes) ||
      stream.Write(pixels_.data(), pixel_bytes) != pixel_bytes) {
    stream.Seek(start, TSeekFrom::sfBeginning);
  }
}

}  // namespace vistrel
