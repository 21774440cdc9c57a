// Turns rows of samples as image files store them (any TColorScheme, 1 to 16 bits per sample,
// interleaved or planar, either byte order for 16-bit samples) into bitmap rows, and builds the
// colour tables of indexed and grey bitmaps. A reader configures one converter per image, asks
// PixelFormatFor(true) for the bitmap format, then calls ConvertRow for every row.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "imaging/graphic_messages.h"
#include "imaging/raster_format.h"

namespace vistrel {

class TRasterBitmap;

// Values are bit numbers inside a ConversionOptions byte.
enum class TConversionOption : std::uint8_t {
  HasAlphaChannel = 0,   // computed from the schemes when a row routine is chosen
  UseGammaTable = 1,     // target: colour samples pass through the gamma table
  SwapSampleBytes = 2,   // source: 16-bit samples are stored most significant byte first
  LightnessIn255 = 3,    // source, CIELab: L* stored as 0..255
  ChromaWithOffset = 4,  // source, CIELab: a* and b* stored with 128 added
};

// A set of TConversionOption, one byte.
class ConversionOptions {
 public:
  constexpr ConversionOptions() = default;
  constexpr ConversionOptions(std::initializer_list<TConversionOption> options) {
    for (TConversionOption option : options) bits_ |= Bit(option);
  }

  constexpr bool Contains(TConversionOption option) const { return (bits_ & Bit(option)) != 0; }
  constexpr void Include(TConversionOption option) { bits_ |= Bit(option); }
  constexpr void Exclude(TConversionOption option) {
    bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(option));
  }
  constexpr std::uint8_t Bits() const { return bits_; }
  static constexpr ConversionOptions FromBits(std::uint8_t bits) {
    ConversionOptions options;
    options.bits_ = bits;
    return options;
  }
  constexpr bool operator==(ConversionOptions other) const { return bits_ == other.bits_; }
  constexpr bool operator!=(ConversionOptions other) const { return bits_ != other.bits_; }

 private:
  static constexpr std::uint8_t Bit(TConversionOption option) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(option));
  }
  std::uint8_t bits_ = 0;
};

// The start addresses of one source row: one address for interleaved pixels, or one per channel
// in scheme order (alpha last) for planar data. Holds at most four; further ones are dropped.
class SourceRows {
 public:
  static constexpr int kMaxPlanes = 4;

  SourceRows() = default;
  SourceRows(const void* interleaved) { Add(interleaved); }  // NOLINT: one address is common
  SourceRows(std::initializer_list<const void*> planes) {
    for (const void* plane : planes) Add(plane);
  }
  SourceRows(const std::uint8_t* const* planes, int count) {
    for (int i = 0; i < count; ++i) Add(planes[i]);
  }

  int Count() const { return count_; }
  const std::uint8_t* operator[](int index) const { return planes_[index]; }

 private:
  void Add(const void* plane) {
    if (count_ < kMaxPlanes) planes_[count_++] = static_cast<const std::uint8_t*>(plane);
  }
  const std::uint8_t* planes_[kMaxPlanes] = {};
  int count_ = 0;
};

class TColorConverter {
 public:
  TColorConverter();

  // Each setter marks the converter changed when the value differs; a refused value changes
  // nothing. Bits: 1..16, else message 16. Samples: 1..4, else message 17.
  void SetSourceBits(int bits);
  void SetTargetBits(int bits);
  void SetSourceSamples(int samples);
  void SetTargetSamples(int samples);
  void SetSourceScheme(TColorScheme scheme);
  void SetTargetScheme(TColorScheme scheme);
  // Luma coefficients of the YCbCr chroma tables.
  void SetLuma(float red, float green, float blue);

  // Stores the two gammas (a value not above 0 gives 1.0 and 2.2) and rebuilds the gamma table:
  // entry i = round((i / 255) ^ (1 / (main * display)) * 255).
  void SetGamma(float mainGamma, float displayGamma);

  std::uint8_t SourceBits() const { return source_bits_; }
  std::uint8_t TargetBits() const { return target_bits_; }
  std::uint8_t SourceSamples() const { return source_samples_; }
  std::uint8_t TargetSamples() const { return target_samples_; }
  TColorScheme SourceScheme() const { return source_scheme_; }
  TColorScheme TargetScheme() const { return target_scheme_; }
  float MainGamma() const { return main_gamma_; }
  float DisplayGamma() const { return display_gamma_; }
  std::uint8_t GammaTable(int index) const { return gamma_table_[index & 0xFF]; }
  float LumaRed() const { return luma_red_; }
  float LumaGreen() const { return luma_green_; }
  float LumaBlue() const { return luma_blue_; }
  std::uint8_t SubsampleH() const { return subsample_h_; }
  std::uint8_t SubsampleV() const { return subsample_v_; }
  // Empty until a YCbCr or PhotoYCC source is prepared; then 256 entries each.
  const std::vector<std::int32_t>& CrToRed() const { return cr_to_red_; }
  const std::vector<std::int32_t>& CbToBlue() const { return cb_to_blue_; }
  const std::vector<std::int32_t>& CrToGreen() const { return cr_to_green_; }
  const std::vector<std::int32_t>& CbToGreen() const { return cb_to_green_; }
  bool Changed() const { return changed_; }

  // The bitmap format for pixels of the target (true) or source (false) depth and samples.
  TRasterFormat PixelFormatFor(bool target) const;

  // Converts count pixels. A pixel whose bit of the rotating mask (0x80, 0x40, ..., 0x01, 0x80,
  // ...) is clear in mask is skipped: its target stays as it is and no source pixel is used for
  // it. target is the first byte of the target row. Raises message 14 for an indexed/grey versus
  // colour pair, 15 when no routine fits the configuration or the addresses given (colour and
  // 16-bit grey rows need 8- or 16-bit samples on both sides; planar rows need every plane read).
  // Under SwapSampleBytes a 16-bit value is byte-exchanged once on its way: when a 16-bit source
  // sample is read, or when a 16-bit target sample is written from a narrower source.
  void ConvertRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count, void* target);

  // Writes count entries (at most 256) from index 0 into the bitmap's colour table, then spreads
  // them over the target depth when source and target depths differ. Layouts: 0 = 3 bytes per
  // entry, 1 = 4 bytes (the fourth ignored), 2 and 3 = planes of red, green and blue bytes, 4 and
  // 5 = the same as 0 and 1 with 16-bit values, 6 and 7 = planes of 16-bit values. rgbOrder (for
  // the interleaved layouts): true = red, green, blue; false = blue, green, red. Any other layout,
  // or fewer addresses than the layout needs, raises message 15.
  void BuildColorPalette(TRasterBitmap& bitmap, const SourceRows& source, int layout, int count,
                         bool rgbOrder);
  // A grey ramp over 2^min(target bits * target samples, 8) entries, reversed when zeroIsWhite.
  void BuildGrayPalette(TRasterBitmap& bitmap, bool zeroIsWhite);

  // Written directly by the readers; not covered by Changed.
  ConversionOptions SourceOptions;
  ConversionOptions TargetOptions;

 private:
  using RowFunction = void (TColorConverter::*)(const SourceRows&, std::uint8_t, std::uint32_t,
                                                std::uint8_t*);

  void PrepareConversion();
  void BuildChromaTables(int offset_red, int offset_blue);
  void MarkChanged(bool differs) { changed_ = changed_ || differs; }
  // A new value for a setting, marking the converter changed when it differs; a value outside
  // low..high raises the message first.
  void Store(std::uint8_t& setting, int value, int low, int high, int message);
  void Store(TColorScheme& setting, TColorScheme scheme);

  void RowIndexedPacked(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                        std::uint8_t* target);
  void RowIndexed16To16(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                        std::uint8_t* target);
  void RowIndexedFrom16(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                        std::uint8_t* target);
  void RowIndexedTo16(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                      std::uint8_t* target);
  void RowGray(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
               std::uint8_t* target);
  void RowRGBToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowRGBToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowBGRToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowBGRToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowCMYKToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                    std::uint8_t* target);
  void RowCMYKToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                    std::uint8_t* target);
  void RowLabToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowLabToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                   std::uint8_t* target);
  void RowYCbCrToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                     std::uint8_t* target);
  void RowYCbCrToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                     std::uint8_t* target);
  void RowPhotoYCCToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                        std::uint8_t* target);
  void RowPhotoYCCToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                        std::uint8_t* target);

  template <bool kReverse>
  void CopyColor(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                 std::uint8_t* target);
  template <typename Compute>
  void ComputeColor(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                    std::uint8_t* target, int samples, bool bgr_target, Compute compute);
  void ChromaRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                 std::uint8_t* target, bool bgr_target);
  void LabRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
              std::uint8_t* target, bool bgr_target);
  void CmykRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
               std::uint8_t* target, bool bgr_target);

  bool changed_ = true;
  std::uint8_t source_bits_ = 8;
  std::uint8_t target_bits_ = 8;
  std::uint8_t source_samples_ = 3;
  std::uint8_t target_samples_ = 3;
  float main_gamma_ = 1.0f;
  float display_gamma_ = 2.2f;
  std::uint8_t gamma_table_[256] = {};
  bool gamma_identity_ = true;  // the table maps every level to itself: no gamma step at all
  bool UsesGamma() const;
  float luma_red_ = 0.299f;
  float luma_green_ = 0.587f;
  float luma_blue_ = 0.114f;
  std::uint8_t subsample_h_ = 1;
  std::uint8_t subsample_v_ = 1;
  std::vector<std::int32_t> cr_to_red_;
  std::vector<std::int32_t> cb_to_blue_;
  std::vector<std::int32_t> cr_to_green_;
  std::vector<std::int32_t> cb_to_green_;
  TColorScheme source_scheme_ = TColorScheme::RGB;
  TColorScheme target_scheme_ = TColorScheme::BGR;
  RowFunction row_routine_ = nullptr;
  // Alpha presence as fixed when the routine was chosen; the routines use these rather than the
  // option bits, which readers may overwrite between rows.
  bool source_alpha_ = false;
  bool target_alpha_ = false;
  // Source planes the chosen routine reads when the row is planar.
  int planes_needed_ = 1;
};

}  // namespace vistrel
