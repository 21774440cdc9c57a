// Embedded ICC colour profiles: the pixels a reader decodes are turned into sRGB through Little
// CMS 2, row by row as they are stored. A profile that cannot be used is no error: the picture
// is then shown with its values as stored, as it always was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/memory_budget.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {

// A larger profile is ignored. Real ones are a few hundred bytes to a few MB; a JPEG can hold at
// most 255 segments of 65519 bytes, just under this.
constexpr std::uint32_t kMaxIccProfileBytes = std::uint32_t{16} << 20;
// What lcms2 may hold for one transform (the parsed profiles, its tables and lookup grids); a
// profile that needs more is ignored. A large printer profile needs a few MB.
constexpr std::uint64_t kColorTransformMemory = std::uint64_t{64} << 20;

// What a reader has room for before it knows whether the profile will be used: the profile's
// bytes and everything its transform may take.
inline MemoryBudget& AddColorProfile(MemoryBudget& budget, std::uint64_t profile_bytes) {
  return budget.Add(profile_bytes).Add(kColorTransformMemory);
}

// The pixels a transform reads. It writes blue, green, red, and for kBgra leaves the fourth
// (alpha) byte of every pixel as it is.
enum class PixelLayout : std::uint8_t {
  kBgr,           // 3 bytes
  kBgra,          // 4 bytes
  kGray,          // 1 byte
  kCmyk,          // 4 bytes of ink, 0 for none
  kInvertedCmyk,  // 4 bytes, 255 for no ink (Adobe's CMYK JPEGs)
};

class ColorTransform {
 public:
  // Null when lcms2 refuses the profile, when it is not a device profile of the layout's colour
  // space, when its transform would need more than memory_limit, and when it describes sRGB
  // itself (the values as stored are then within a level of what it would give). Never
  // throws: a profile there is no memory for is not used either.
  static std::unique_ptr<ColorTransform> Create(const std::vector<std::uint8_t>& profile,
                                                PixelLayout layout,
                                                std::uint64_t memory_limit = kColorTransformMemory);
  struct State;  // lcms2's context and transform, or our tables
  // Made by Create only.
  ColorTransform(std::unique_ptr<State> state, PixelLayout layout);
  ~ColorTransform();
  ColorTransform(const ColorTransform&) = delete;
  ColorTransform& operator=(const ColorTransform&) = delete;

  PixelLayout Layout() const { return layout_; }

  // count pixels from in to out; in may be out for kBgr and kBgra.
  void Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count) const;
  // The colour table of a bitmap of 8 bits or fewer: its entries are the pixels (grey levels
  // read from their blue byte for kGray).
  void ConvertColorTable(TRasterBitmap& bitmap) const;
  // One opaque 0x00BBGGRR colour (kBgr and kBgra; unchanged for the others).
  std::uint32_t ConvertColorRef(std::uint32_t color) const;

  // The most lcms2 has held at once for this transform.
  std::uint64_t PeakMemory() const;

 private:
  static std::unique_ptr<ColorTransform> Make(const std::vector<std::uint8_t>& profile,
                                              PixelLayout layout, std::uint64_t memory_limit);

  std::unique_ptr<State> state_;
  PixelLayout layout_;
};

// A JPEG's profile from the payloads of its APP2 segments (each starting after the marker's
// length field), in file order. Those marked "ICC_PROFILE\0" carry a sequence number and a count
// and may come in any order; empty when there are none, or when the set is incomplete, has a
// number twice, disagrees on the count, or exceeds kMaxIccProfileBytes.
struct SegmentPayload {
  const std::uint8_t* data;
  std::size_t length;
};
std::vector<std::uint8_t> JoinIccSegments(const std::vector<SegmentPayload>& segments);

}  // namespace vistrel
