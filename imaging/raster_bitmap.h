// The in-memory raster image that every reader fills and the applier writes out as a BMP file.
// Its pixels have the layout of a Windows device-independent bitmap: a 1064-byte header block
// (BITMAPINFOHEADER plus a 256-entry colour table) and padded rows, bottom-up unless the header
// height is negative. The device-dependent kind is emulated: it keeps 32-bit pixels of its own
// and exposes no header and no pixel memory.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "imaging/data_stream.h"
#include "imaging/raster_format.h"

namespace vistrel {

enum class TBitmapHandleKind : std::uint8_t { hkDib = 0, hkDevice = 1 };

// Sizes and offsets of the DIB structures; the header block is laid out exactly like them.
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kColorTableBytes = 1024;
constexpr std::uint32_t kHeaderBlockSize = kInfoHeaderSize + kColorTableBytes;  // 1064

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// Toolkit check texts of the bitmap.
constexpr const char kUnsupportedBitmapFormat[] = "Unsupported bitmap format";
constexpr const char kBitmapWidthMustBePositive[] = "Bitmap width must be > 0";
constexpr const char kBitmapHeightMustBePositive[] = "Bitmap height must be > 0";
constexpr const char kNoMemory[] = "No memory";

class TRasterBitmap;

// Allocates without clearing: pixel memory that a reader overwrites is not written twice.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Pixel bytes: resize() leaves new bytes unset, assign(n, 0) clears them.
using PixelBytes = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

// Drawing on a bitmap, as far as the readers need it: one brush colour and rectangle fills that
// land in the pixels at once.
class RasterCanvas {
 public:
  explicit RasterCanvas(TRasterBitmap& bitmap) : bitmap_(&bitmap) {}

  // A toolkit colour: 0x00BBGGRR, or a system colour (0x80000000 | index).
  void SetBrushColor(std::uint32_t color);
  std::uint32_t BrushColor() const { return brush_color_; }
  // Fills [left, right) x [top, bottom) in image coordinates (0 = top row), clipped to the
  // bitmap. Indexed formats get the nearest colour-table entry.
  void FillRect(int left, int top, int right, int bottom);

  static constexpr std::uint32_t kDefaultBrushColor = 0x00FFFFFF;

 private:
  friend class TRasterBitmap;

  TRasterBitmap* bitmap_;  // not owned: the bitmap owns this canvas
  std::uint32_t brush_color_ = kDefaultBrushColor;
};

class TRasterBitmap {
 public:
  TRasterBitmap();  // empty
  TRasterBitmap(TRasterBitmap&& other) noexcept;
  TRasterBitmap& operator=(TRasterBitmap&& other) noexcept;
  TRasterBitmap(const TRasterBitmap&) = delete;
  TRasterBitmap& operator=(const TRasterBitmap&) = delete;
  ~TRasterBitmap();

  // A size of 0 gives an empty bitmap that a later SetWidth/SetHeight fills in; a negative size
  // gives an empty bitmap of 0 x 0. Pixel memory beyond kMaxPixelBytes (or a size product that
  // overflows) raises std::bad_alloc, like any other failed allocation.
  static TRasterBitmap CreateDeviceBitmap(std::int32_t width, std::int32_t height);
  static TRasterBitmap CreateDibBitmap(std::int32_t width, std::int32_t height,
                                       TRasterFormat format);
  // What CreateDeviceBitmap followed by SetFormat(format) makes (a DIB with the default colour
  // table), for a reader that writes every pixel of every row itself: the pixel bytes are not
  // cleared first, only each row's padding and partial last byte are.
  static TRasterBitmap CreateForRows(std::int32_t width, std::int32_t height, TRasterFormat format);

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }
  // Negative values are ignored. The picture is kept at the top-left; new area is black.
  void SetWidth(std::int32_t width);
  void SetHeight(std::int32_t height);

  TRasterFormat GetFormat() const;
  void SetFormat(TRasterFormat format);

  // Image row y (0 = top); nullptr without pixel memory or when y is outside the image.
  std::uint8_t* ScanLine(std::int32_t y);
  std::uint32_t ScanLineSize();

  // 0x00RRGGBB colour-table entries. -1 (all bits) without header or outside 0..255.
  std::uint32_t PaletteEntry(int index) const;
  void SetPaletteEntry(int index, std::uint32_t value);

  RasterCanvas& Canvas();

  // BMP reading: a file that cannot be read leaves an empty bitmap and the stream where it was.
  void LoadFromStream(TDataStream& stream);
  void LoadFromFile(const std::string& path);
  // BMP writing in the current format; a short write puts the stream back where it was.
  void SaveToStream(TDataStream& stream);
  void SaveToFile(const std::string& path);

  void Clear();

  TBitmapHandleKind HandleKind() const { return kind_; }
  // The 1064-byte header block, or nullptr (empty or device bitmap).
  const std::uint8_t* Header() const;
  std::uint8_t* PixelMemory();
  std::uint32_t PixelMemorySize() const;

 private:
  friend class RasterCanvas;

  bool HasDib() const;
  void SetHandleKind(TBitmapHandleKind kind);
  void Reformat();
  bool LoadBmp(TDataStream& stream, std::int64_t start);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  TBitmapHandleKind kind_ = TBitmapHandleKind::hkDib;
  TRasterFormat requested_format_ = TRasterFormat::rf16Bit;  // what the next DIB is made in
  std::uint32_t row_size_ = 0;                               // cached; 0 = not yet computed
  std::vector<std::uint8_t> header_;                         // kHeaderBlockSize bytes, or none
  PixelBytes pixels_;
  // The device kind's picture: its size, and its pixels top-down as 0x00RRGGBB. The pixels are
  // only made when something paints on it; until then it is black.
  bool has_device_ = false;
  std::int32_t device_width_ = 0;
  std::int32_t device_height_ = 0;
  std::vector<std::uint32_t> device_pixels_;
  std::unique_ptr<RasterCanvas> canvas_;
};

}  // namespace vistrel
