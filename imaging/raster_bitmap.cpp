#include "imaging/raster_bitmap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>

#include "common/exception.h"
#include "imaging/bmp_layout.h"
#include "imaging/checked_math.h"

namespace vistrel {

namespace dib {

std::vector<std::uint8_t> MakeHeader(std::int32_t width, std::int32_t height, int bits,
                                     bool masks565) {
  std::vector<std::uint8_t> header(kHeaderBlockSize, 0);
  std::uint8_t* h = header.data();
  StoreU32LE(h + kSizeOffset, kInfoHeaderSize);
  StoreU32LE(h + kWidthOffset, static_cast<std::uint32_t>(width));
  StoreU32LE(h + kHeightOffset, static_cast<std::uint32_t>(height));
  StoreU16LE(h + kPlanesOffset, 1);
  StoreU16LE(h + kBitCountOffset, static_cast<std::uint16_t>(bits));
  if (masks565) {
    static constexpr std::uint32_t kTable[18] = {
        0xF800,   0x07E0,   0x001F,   0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
        0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF};
    StoreU32LE(h + kCompressionOffset, kBiBitfields);
    for (int i = 0; i < 18; ++i) SetTableEntry(h, i, kTable[i]);
  }
  return header;
}

}  // namespace dib

namespace {

using Rgb = std::uint32_t;  // 0x00RRGGBB, the colour-table order

constexpr Rgb MakeRgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (r << 16) | (g << 8) | b;
}
constexpr std::uint32_t Red(Rgb c) {
  return (c >> 16) & 0xFF;
}
constexpr std::uint32_t Green(Rgb c) {
  return (c >> 8) & 0xFF;
}
constexpr std::uint32_t Blue(Rgb c) {
  return c & 0xFF;
}

// The colour tables an indexed picture gets when it is converted from a picture with more
// colours. Black is entry 0 in each, so a zero-filled picture is black. The 16 colours are the
// classic VGA set (the same as the 5-6-5 table); the 256 add a 6x6x6 cube and a 24-step grey ramp.
const std::array<Rgb, 256>& DefaultTable(int bits) {
  static const std::array<Rgb, 256> kMono = [] {
    std::array<Rgb, 256> t{};
    t[1] = 0xFFFFFF;
    return t;
  }();
  static const std::array<Rgb, 256> kVga = [] {
    std::array<Rgb, 256> t{};
    const Rgb colors[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                            0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                            0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::copy(colors, colors + 16, t.begin());
    return t;
  }();
  static const std::array<Rgb, 256> k256 = [] {
    std::array<Rgb, 256> t = kVga;
    int n = 16;
    for (std::uint32_t r = 0; r < 6; ++r)
      for (std::uint32_t g = 0; g < 6; ++g)
        for (std::uint32_t b = 0; b < 6; ++b) t[n++] = MakeRgb(r * 51, g * 51, b * 51);
    for (std::uint32_t i = 1; i <= 24; ++i) {
      std::uint32_t v = (255 * i + 12) / 25;
      t[n++] = MakeRgb(v, v, v);
    }
    return t;
  }();
  return bits == 1 ? kMono : bits == 4 ? kVga : k256;
}

// Classic Windows values of the toolkit's system colours (0x80000000 | COLOR_xxx).
Rgb SystemColor(std::uint32_t index) {
  static constexpr Rgb kColors[31] = {
      0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000,
      0x000000, 0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8,
      0x808080, 0x808080, 0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000,
      0xFFFFE1, 0xB5B5B5, 0x000080, 0xA6CAF0, 0xC0C0C0, 0x316AC5, 0xECE9D8};
  return index < 31 ? kColors[index] : 0;
}

// A toolkit colour (0x00BBGGRR or a system colour) as 0x00RRGGBB.
Rgb ToolkitColorToRgb(std::uint32_t color) {
  if ((color >> 24) == 0x80) return SystemColor(color & 0xFFFFFF);
  return MakeRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// One colour channel of a 16- or 32-bit pixel, widened or narrowed to 8 bits by scaling.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1)) ++shift;
    max = mask >> shift;
  }
  std::uint32_t Decode(std::uint32_t pixel) const {
    if (!max) return 0;
    std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
  }
  std::uint32_t Encode(std::uint32_t value8) const {
    if (!max) return 0;
    std::uint64_t v = (std::uint64_t{value8} * max + 127) / 255;
    return static_cast<std::uint32_t>(v << shift) & mask;
  }
};

struct Masks {
  Channel red, green, blue;
  bool operator==(const Masks& o) const {
    return red.mask == o.red.mask && green.mask == o.green.mask && blue.mask == o.blue.mask;
  }
};

bool IsIndexedBits(int bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

// Masks that give a 16- or 32-bit pixel its colours.
Masks PixelMasks(const std::uint8_t* header) {
  int bits = dib::BitCount(header);
  std::uint32_t compression = dib::Compression(header);
  if (compression == kBiBitfields || compression == dib::kBiAlphaBitfields) {
    return {Channel(dib::TableEntry(header, 0)), Channel(dib::TableEntry(header, 1)),
            Channel(dib::TableEntry(header, 2))};
  }
  if (bits == 16) return {Channel(0x7C00), Channel(0x03E0), Channel(0x001F)};
  return {Channel(0xFF0000), Channel(0x00FF00), Channel(0x0000FF)};
}

// A read-only view of a DIB: header block plus rows.
struct DibView {
  const std::uint8_t* header;
  const std::uint8_t* pixels;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t row_size;
  int bits;
  bool top_down;

  DibView(const std::uint8_t* h, const std::uint8_t* p) : header(h), pixels(p) {
    std::int32_t w = dib::Width(h);
    width = w > 0 ? static_cast<std::uint32_t>(w) : 0;
    height = dib::AbsHeight(h);
    bits = dib::BitCount(h);
    top_down = dib::Height(h) < 0;
    if (!DibRowSize(width, static_cast<std::uint32_t>(bits), row_size)) row_size = 0;
  }
  // Image row y, 0 = top.
  const std::uint8_t* Row(std::uint32_t y) const {
    std::uint32_t stored = top_down ? y : height - 1 - y;
    return pixels + std::size_t{stored} * row_size;
  }
};

std::uint32_t GetIndex(const std::uint8_t* row, std::uint32_t x, int bits) {
  if (bits == 8) return row[x];
  std::uint32_t bit = x * static_cast<std::uint32_t>(bits);
  int shift = 8 - bits - static_cast<int>(bit % 8);
  return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

void SetIndex(std::uint8_t* row, std::uint32_t x, int bits, std::uint32_t index) {
  if (bits == 8) {
    row[x] = static_cast<std::uint8_t>(index);
    return;
  }
  std::uint32_t bit = x * static_cast<std::uint32_t>(bits);
  int shift = 8 - bits - static_cast<int>(bit % 8);
  std::uint32_t mask = ((1u << bits) - 1) << shift;
  std::uint8_t& b = row[bit / 8];
  b = static_cast<std::uint8_t>((b & ~mask) | ((index << shift) & mask));
}

// The first count pixels of image row y as colours. Depths without a colour meaning are black.
void DecodeRow(const DibView& src, std::uint32_t y, std::uint32_t count, Rgb* out) {
  const std::uint8_t* row = src.Row(y);
  if (IsIndexedBits(src.bits)) {
    for (std::uint32_t x = 0; x < count; ++x) {
      out[x] = dib::TableEntry(src.header, static_cast<int>(GetIndex(row, x, src.bits))) & 0xFFFFFF;
    }
  } else if (src.bits == 24) {
    for (std::uint32_t x = 0; x < count; ++x, row += 3) out[x] = MakeRgb(row[2], row[1], row[0]);
  } else if (src.bits == 16 || src.bits == 32) {
    Masks m = PixelMasks(src.header);
    for (std::uint32_t x = 0; x < count; ++x) {
      std::uint32_t p = src.bits == 16 ? LoadU16LE(row + 2 * x) : LoadU32LE(row + 4 * x);
      out[x] = MakeRgb(m.red.Decode(p), m.green.Decode(p), m.blue.Decode(p));
    }
  } else {
    std::fill(out, out + count, 0);
  }
}

// Nearest entry of a colour table by squared distance in RGB (ties: the lower index), with a
// small cache because pictures repeat their colours.
class NearestColor {
 public:
  NearestColor(const std::uint8_t* header, int entries) : header_(header), entries_(entries) {
    cache_.fill(kEmpty);
  }
  std::uint32_t Find(Rgb color) {
    std::uint64_t& slot = cache_[(color ^ (color >> 11) ^ (color >> 19)) & (kCacheSize - 1)];
    if ((slot >> 32) == color) return static_cast<std::uint32_t>(slot & 0xFF);
    std::uint32_t best = 0;
    std::uint32_t best_distance = ~0u;
    for (int i = 0; i < entries_; ++i) {
      Rgb e = dib::TableEntry(header_, i);
      int dr = static_cast<int>(Red(e)) - static_cast<int>(Red(color));
      int dg = static_cast<int>(Green(e)) - static_cast<int>(Green(color));
      int db = static_cast<int>(Blue(e)) - static_cast<int>(Blue(color));
      std::uint32_t d = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
      if (d < best_distance) {
        best_distance = d;
        best = static_cast<std::uint32_t>(i);
        if (d == 0) break;
      }
    }
    slot = (std::uint64_t{color} << 32) | best;
    return best;
  }

 private:
  static constexpr std::size_t kCacheSize = 4096;
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};  // no colour has its high bits
  const std::uint8_t* header_;
  int entries_;
  std::array<std::uint64_t, kCacheSize> cache_;
};

// Writes colours into the first count pixels of a row of a DIB with the given header.
class RowEncoder {
 public:
  explicit RowEncoder(const std::uint8_t* header)
      : bits_(dib::BitCount(header)),
        masks_(PixelMasks(header)),
        nearest_(header, IsIndexedBits(bits_) ? 1 << bits_ : 0) {}

  bool CanEncode() const {
    return IsIndexedBits(bits_) || bits_ == 16 || bits_ == 24 || bits_ == 32;
  }

  void Put(std::uint8_t* row, std::uint32_t x, Rgb c) {
    switch (bits_) {
      case 24:
        row[3 * x] = static_cast<std::uint8_t>(Blue(c));
        row[3 * x + 1] = static_cast<std::uint8_t>(Green(c));
        row[3 * x + 2] = static_cast<std::uint8_t>(Red(c));
        break;
      case 16: StoreU16LE(row + 2 * x, static_cast<std::uint16_t>(Pack(c))); break;
      case 32: StoreU32LE(row + 4 * x, Pack(c)); break;
      default:
        if (IsIndexedBits(bits_)) SetIndex(row, x, bits_, nearest_.Find(c));
        break;
    }
  }

 private:
  std::uint32_t Pack(Rgb c) const {
    return masks_.red.Encode(Red(c)) | masks_.green.Encode(Green(c)) | masks_.blue.Encode(Blue(c));
  }

  int bits_;
  Masks masks_;
  NearestColor nearest_;
};

// Copies the top-left rows x cols of one DIB into another of possibly different format.
void ConvertDib(const DibView& src, std::uint8_t* dst_header, std::uint8_t* dst_pixels,
                std::uint32_t rows, std::uint32_t cols) {
  const DibView dst(dst_header, dst_pixels);
  auto dst_row = [&](std::uint32_t y) { return const_cast<std::uint8_t*>(dst.Row(y)); };
  // Indexed into an equal or larger table: keep the colours and the indices exactly.
  if (IsIndexedBits(src.bits) && IsIndexedBits(dst.bits) && dst.bits >= src.bits) {
    for (int i = 0; i < (1 << src.bits); ++i) {
      dib::SetTableEntry(dst_header, i, dib::TableEntry(src.header, i));
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
      const std::uint8_t* s = src.Row(y);
      std::uint8_t* d = dst_row(y);
      for (std::uint32_t x = 0; x < cols; ++x) SetIndex(d, x, dst.bits, GetIndex(s, x, src.bits));
    }
    return;
  }
  bool same_layout = src.bits == dst.bits && (src.bits == 16 || src.bits == 24 || src.bits == 32) &&
                     (src.bits == 24 || PixelMasks(src.header) == PixelMasks(dst_header));
  if (same_layout) {
    std::size_t bytes = std::size_t{cols} * static_cast<std::size_t>(src.bits / 8);
    for (std::uint32_t y = 0; y < rows; ++y) std::memcpy(dst_row(y), src.Row(y), bytes);
    return;
  }
  RowEncoder encoder(dst_header);
  std::vector<Rgb> colors(cols);
  for (std::uint32_t y = 0; y < rows; ++y) {
    DecodeRow(src, y, cols, colors.data());
    std::uint8_t* d = dst_row(y);
    for (std::uint32_t x = 0; x < cols; ++x) encoder.Put(d, x, colors[x]);
  }
}

// Bytes of a DIB of that size and depth; std::bad_alloc when it overflows or exceeds the limit.
std::uint32_t CheckedDibSize(std::int32_t width, std::int32_t height, int bits,
                             std::uint32_t& row_size) {
  std::uint64_t total = 0;
  if (!DibRowSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(bits), row_size) ||
      !CheckedMul<std::uint64_t>(row_size, static_cast<std::uint64_t>(height), total) ||
      total > kMaxPixelBytes) {
    throw std::bad_alloc();
  }
  return static_cast<std::uint32_t>(total);
}

std::size_t CheckedDevicePixels(std::int32_t width, std::int32_t height) {
  std::uint64_t count = 0;
  if (!CheckedMul<std::uint64_t>(static_cast<std::uint64_t>(width),
                                 static_cast<std::uint64_t>(height), count) ||
      count > kMaxPixelBytes / 4) {
    throw std::bad_alloc();
  }
  return static_cast<std::size_t>(count);
}

// A DIB is made for a real format; the formats without a bit count stand for the default one.
TRasterFormat DibFormat(TRasterFormat format) {
  return BitsForFormat(format) == 0 ? TRasterFormat::rf16Bit : format;
}

// The two 16-bit formats count as one when deciding whether pixels must be converted.
TRasterFormat SameLayoutClass(TRasterFormat format) {
  return format == TRasterFormat::rf16Bit ? TRasterFormat::rf15Bit : format;
}

}  // namespace

// ---- Canvas ------------------------------------------------------------------------------------

void RasterCanvas::SetBrushColor(std::uint32_t color) {
  brush_color_ = color;
}

void RasterCanvas::FillRect(int left, int top, int right, int bottom) {
  TRasterBitmap& bmp = *bitmap_;
  if (bmp.IsEmpty()) return;
  Rgb color = ToolkitColorToRgb(brush_color_);
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool dib = bmp.kind_ == TBitmapHandleKind::hkDib && !bmp.pixels_.empty();
  if (dib) {
    DibView view(bmp.header_.data(), bmp.pixels_.data());
    width = static_cast<std::int32_t>(view.width);
    height = static_cast<std::int32_t>(view.height);
  } else if (bmp.kind_ == TBitmapHandleKind::hkDevice && bmp.has_device_) {
    width = bmp.device_width_;
    height = bmp.device_height_;
  }
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width);
  bottom = std::min(bottom, height);
  if (left >= right || top >= bottom) return;
  if (dib) {
    RowEncoder encoder(bmp.header_.data());
    if (!encoder.CanEncode()) return;
    // One colour throughout: the encoder's cache makes the indexed lookup once.
    for (int y = top; y < bottom; ++y) {
      std::uint8_t* row = bmp.ScanLine(y);
      for (int x = left; x < right; ++x) encoder.Put(row, static_cast<std::uint32_t>(x), color);
    }
    return;
  }
  if (bmp.device_pixels_.empty()) {
    bmp.device_pixels_.assign(CheckedDevicePixels(width, height), 0);
  }
  for (int y = top; y < bottom; ++y) {
    Rgb* row = bmp.device_pixels_.data() + std::size_t(y) * std::size_t(width);
    std::fill(row + left, row + right, color);
  }
}

// ---- Bitmap ------------------------------------------------------------------------------------

TRasterBitmap::TRasterBitmap() = default;

TRasterBitmap::TRasterBitmap(TRasterBitmap&& other) noexcept {
  *this = std::move(other);
}

TRasterBitmap& TRasterBitmap::operator=(TRasterBitmap&& other) noexcept {
  if (this == &other) return *this;
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  kind_ = other.kind_;
  requested_format_ = other.requested_format_;
  row_size_ = std::exchange(other.row_size_, 0);
  header_ = std::move(other.header_);
  pixels_ = std::move(other.pixels_);
  has_device_ = std::exchange(other.has_device_, false);
  device_width_ = std::exchange(other.device_width_, 0);
  device_height_ = std::exchange(other.device_height_, 0);
  device_pixels_ = std::move(other.device_pixels_);
  canvas_ = std::move(other.canvas_);
  if (canvas_) canvas_->bitmap_ = this;
  other.header_.clear();
  other.pixels_.clear();
  other.device_pixels_.clear();
  return *this;
}

TRasterBitmap::~TRasterBitmap() = default;

TRasterBitmap TRasterBitmap::CreateDeviceBitmap(std::int32_t width, std::int32_t height) {
  TRasterBitmap bmp;
  bmp.kind_ = TBitmapHandleKind::hkDevice;
  if (width < 0 || height < 0) return bmp;
  bmp.width_ = width;
  bmp.height_ = height;
  if (bmp.IsEmpty()) return bmp;
  // Never drawn on, so black; its pixels are only made when something paints on it.
  bmp.has_device_ = true;
  bmp.device_width_ = width;
  bmp.device_height_ = height;
  return bmp;
}

TRasterBitmap TRasterBitmap::CreateDibBitmap(std::int32_t width, std::int32_t height,
                                             TRasterFormat format) {
  TRasterBitmap bmp;
  bmp.kind_ = TBitmapHandleKind::hkDib;
  bmp.requested_format_ = DibFormat(format);
  if (width < 0 || height < 0) return bmp;
  bmp.width_ = width;
  bmp.height_ = height;
  if (bmp.IsEmpty()) return bmp;
  int bits = BitsForFormat(bmp.requested_format_);
  std::uint32_t row_size = 0;
  std::uint32_t size = CheckedDibSize(width, height, bits, row_size);
  bmp.header_ =
      dib::MakeHeader(width, height, bits, bmp.requested_format_ == TRasterFormat::rf16Bit);
  bmp.pixels_.assign(size, 0);
  return bmp;
}

TRasterBitmap TRasterBitmap::CreateForRows(std::int32_t width, std::int32_t height,
                                           TRasterFormat format) {
  TRasterBitmap bmp;
  const TRasterFormat dib_format = DibFormat(format);
  const int bits = BitsForFormat(dib_format);
  if (width <= 0 || height <= 0 || format == TRasterFormat::rfDevice || bits == 0) {
    bmp = CreateDeviceBitmap(width, height);
    bmp.SetFormat(format);
    return bmp;
  }
  bmp.kind_ = TBitmapHandleKind::hkDib;
  bmp.requested_format_ = dib_format;
  bmp.width_ = width;
  bmp.height_ = height;
  std::uint32_t row_size = 0;
  const std::uint32_t size = CheckedDibSize(width, height, bits, row_size);
  bmp.header_ = dib::MakeHeader(width, height, bits, dib_format == TRasterFormat::rf16Bit);
  if (IsIndexedBits(bits)) {
    const std::array<Rgb, 256>& table = DefaultTable(bits);
    for (int i = 0; i < (1 << bits); ++i) dib::SetTableEntry(bmp.header_.data(), i, table[i]);
  }
  bmp.pixels_.resize(size);
  // Bytes no pixel fills whole: written out with the file, so never left unset.
  const std::uint32_t whole = static_cast<std::uint32_t>(
      std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(bits) / 8);
  if (whole < row_size) {
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(height); ++y) {
      std::memset(bmp.pixels_.data() + std::size_t{y} * row_size + whole, 0, row_size - whole);
    }
  }
  return bmp;
}

void TRasterBitmap::SetWidth(std::int32_t width) {
  if (width < 0 || width == width_) return;
  std::int32_t old_width = std::exchange(width_, width);
  try {
    Reformat();
  } catch (...) {
    width_ = old_width;  // the picture was not touched
    throw;
  }
}

void TRasterBitmap::SetHeight(std::int32_t height) {
  if (height < 0 || height == height_) return;
  SetHandleKind(TBitmapHandleKind::hkDevice);
  std::int32_t old_height = std::exchange(height_, height);
  try {
    Reformat();
  } catch (...) {
    height_ = old_height;
    throw;
  }
}

bool TRasterBitmap::HasDib() const {
  return kind_ == TBitmapHandleKind::hkDib && !header_.empty() && !pixels_.empty();
}

TRasterFormat TRasterBitmap::GetFormat() const {
  if (!HasDib()) return TRasterFormat::rfDevice;
  TRasterFormat format = FormatForBits(dib::BitCount(header_.data()));
  if (format == TRasterFormat::rf15Bit) {
    std::uint32_t compression = dib::Compression(header_.data());
    if (compression == kBiBitfields) return TRasterFormat::rf16Bit;
    if (compression != kBiRgb) VISTREL_CHECK_FAILED(kUnsupportedBitmapFormat);
  }
  return format;
}

void TRasterBitmap::SetFormat(TRasterFormat format) {
  if (IsEmpty() || GetFormat() == format) return;
  if (format == TRasterFormat::rfDevice) {
    SetHandleKind(TBitmapHandleKind::hkDevice);
    return;
  }
  requested_format_ = DibFormat(format);
  if (kind_ != TBitmapHandleKind::hkDib) {
    SetHandleKind(TBitmapHandleKind::hkDib);  // converts straight into the requested format
    return;
  }
  TRasterFormat current =
      header_.empty() ? TRasterFormat::rfDevice : FormatForBits(dib::BitCount(header_.data()));
  if (SameLayoutClass(current) != SameLayoutClass(requested_format_)) Reformat();
}

void TRasterBitmap::SetHandleKind(TBitmapHandleKind kind) {
  if (kind == kind_) return;
  TBitmapHandleKind old_kind = std::exchange(kind_, kind);
  try {
    Reformat();
  } catch (...) {
    kind_ = old_kind;
    throw;
  }
}

void TRasterBitmap::Reformat() {
  if (IsEmpty()) return;
  row_size_ = 0;
  // The old picture: a DIB, a device picture (maybe never drawn on) or nothing at all.
  bool from_dib = !header_.empty() && !pixels_.empty();
  bool from_device_pixels = !from_dib && has_device_ && !device_pixels_.empty();
  std::uint32_t old_width = static_cast<std::uint32_t>(width_);
  std::uint32_t old_height = static_cast<std::uint32_t>(height_);
  if (from_dib) {
    DibView view(header_.data(), pixels_.data());
    old_width = view.width;
    old_height = view.height;
  } else if (has_device_) {
    old_width = static_cast<std::uint32_t>(device_width_);
    old_height = static_cast<std::uint32_t>(device_height_);
  }
  std::uint32_t rows = std::min(old_height, static_cast<std::uint32_t>(height_));
  std::uint32_t cols = std::min(old_width, static_cast<std::uint32_t>(width_));

  if (kind_ == TBitmapHandleKind::hkDevice) {
    std::vector<Rgb> device;
    if (from_dib || from_device_pixels) {
      device.assign(CheckedDevicePixels(width_, height_), 0);  // black background
      for (std::uint32_t y = 0; y < rows; ++y) {
        Rgb* out = device.data() + std::size_t{y} * static_cast<std::size_t>(width_);
        if (from_dib) {
          DecodeRow(DibView(header_.data(), pixels_.data()), y, cols, out);
        } else {
          const Rgb* in = device_pixels_.data() + std::size_t{y} * old_width;
          std::copy(in, in + cols, out);
        }
      }
    }
    header_.clear();
    pixels_.clear();
    device_pixels_ = std::move(device);
    has_device_ = true;
    device_width_ = width_;
    device_height_ = height_;
    return;
  }

  TRasterFormat format = DibFormat(requested_format_);
  int bits = BitsForFormat(format);
  std::uint32_t row_size = 0;
  std::uint32_t size = CheckedDibSize(width_, height_, bits, row_size);
  std::vector<std::uint8_t> header =
      dib::MakeHeader(width_, height_, bits, format == TRasterFormat::rf16Bit);
  if (IsIndexedBits(bits)) {
    const std::array<Rgb, 256>& table = DefaultTable(bits);
    for (int i = 0; i < (1 << bits); ++i) dib::SetTableEntry(header.data(), i, table[i]);
  }
  PixelBytes pixels(size, 0);
  if (from_dib) {
    ConvertDib(DibView(header_.data(), pixels_.data()), header.data(), pixels.data(), rows, cols);
  } else if (from_device_pixels) {
    DibView dst(header.data(), pixels.data());
    RowEncoder encoder(header.data());
    for (std::uint32_t y = 0; y < rows; ++y) {
      const Rgb* in = device_pixels_.data() + std::size_t{y} * old_width;
      std::uint8_t* out = const_cast<std::uint8_t*>(dst.Row(y));
      for (std::uint32_t x = 0; x < cols; ++x) encoder.Put(out, x, in[x]);
    }
  }
  header_ = std::move(header);
  pixels_ = std::move(pixels);
  device_pixels_.clear();
  has_device_ = false;
  device_width_ = device_height_ = 0;
}

std::uint8_t* TRasterBitmap::ScanLine(std::int32_t y) {
  if (!HasDib() || y < 0) return nullptr;
  std::uint32_t height = dib::AbsHeight(header_.data());
  if (static_cast<std::uint32_t>(y) >= height) return nullptr;
  std::uint32_t row = dib::Height(header_.data()) < 0 ? static_cast<std::uint32_t>(y)
                                                      : height - static_cast<std::uint32_t>(y) - 1;
  std::uint64_t offset = std::uint64_t{row} * ScanLineSize();
  if (offset >= pixels_.size()) return nullptr;
  return pixels_.data() + offset;
}

std::uint32_t TRasterBitmap::ScanLineSize() {
  if (kind_ != TBitmapHandleKind::hkDib || header_.empty()) return 0;
  if (row_size_ == 0) {
    const std::uint8_t* h = header_.data();
    if (!DibRowSize(static_cast<std::uint32_t>(dib::Width(h)), dib::BitCount(h), row_size_)) {
      row_size_ = 0;
    }
  }
  return row_size_;
}

std::uint32_t TRasterBitmap::PaletteEntry(int index) const {
  if (kind_ != TBitmapHandleKind::hkDib || header_.empty() || index < 0 || index > 255) {
    return 0xFFFFFFFFu;
  }
  return dib::TableEntry(header_.data(), index);
}

void TRasterBitmap::SetPaletteEntry(int index, std::uint32_t value) {
  if (!HasDib() || index < 0 || index > 255) return;
  if ((value >> 24) == 0x80) value = SystemColor(value & 0xFFFFFF);
  dib::SetTableEntry(header_.data(), index, value);
}

RasterCanvas& TRasterBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<RasterCanvas>(*this);
  return *canvas_;
}

void TRasterBitmap::Clear() {
  // The canvas object stays (callers may hold it); only its drawing state starts afresh.
  if (canvas_) canvas_->brush_color_ = RasterCanvas::kDefaultBrushColor;
  header_.clear();
  header_.shrink_to_fit();
  pixels_.clear();
  pixels_.shrink_to_fit();
  device_pixels_.clear();
  device_pixels_.shrink_to_fit();
  has_device_ = false;
  device_width_ = device_height_ = 0;
  width_ = height_ = 0;
  row_size_ = 0;
}

const std::uint8_t* TRasterBitmap::Header() const {
  return kind_ == TBitmapHandleKind::hkDib && !header_.empty() ? header_.data() : nullptr;
}

std::uint8_t* TRasterBitmap::PixelMemory() {
  return HasDib() ? pixels_.data() : nullptr;
}

std::uint32_t TRasterBitmap::PixelMemorySize() const {
  return HasDib() ? static_cast<std::uint32_t>(pixels_.size()) : 0;
}

void TRasterBitmap::LoadFromFile(const std::string& path) {
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  LoadFromStream(*stream);
}

void TRasterBitmap::SaveToFile(const std::string& path) {
  if (IsEmpty()) return;
  std::unique_ptr<TDataStream> stream = OpenWriteFileStream(path);
  SaveToStream(*stream);
}

}  // namespace vistrel
