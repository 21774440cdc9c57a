#include "imaging/color_converter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "imaging/raster_bitmap.h"

namespace vistrel {

namespace {

using Opt = TConversionOption;

// The rotating bit that decides, pixel by pixel, whether a target pixel is produced.
class MaskWalk {
 public:
  explicit MaskWalk(std::uint8_t mask) : mask_(mask) {}
  bool Next() {
    const bool selected = (mask_ & bit_) != 0;
    bit_ = bit_ == 1 ? 0x80 : static_cast<std::uint8_t>(bit_ >> 1);
    return selected;
  }

 private:
  std::uint8_t mask_;
  std::uint8_t bit_ = 0x80;
};

inline std::uint16_t Swap16(std::uint16_t v) {
  return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

// "As is" means in the machine's own order; the option exchanges the two bytes.
inline std::uint32_t Load16(const std::uint8_t* p, bool swap) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return swap ? Swap16(v) : v;
}

inline void Store16(std::uint8_t* p, std::uint32_t value, bool swap) {
  std::uint16_t v = static_cast<std::uint16_t>(value);
  if (swap) v = Swap16(v);
  std::memcpy(p, &v, 2);
}

inline std::uint32_t Reduce16(std::uint32_t v) {
  return v * 255 / 65535;
}
inline std::uint32_t Expand8(std::uint32_t v) {
  return v * 65535 / 255;
}
inline std::uint32_t FieldMax(unsigned bits) {
  return (1u << bits) - 1;
}

inline std::uint32_t Clamp255(std::int64_t v) {
  return static_cast<std::uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Nearest integer, halves away from zero; safe for values no table can hold.
inline std::int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  v = std::max(-1.0e9, std::min(1.0e9, v));
  return static_cast<std::int32_t>(std::lround(v));
}

// A floating-point colour component in 0..1 as a byte, rounded to nearest.
// Linear light to an sRGB display value, rounded: the upper bound of the linear values that
// encode below each level, so the answer is exact without a power per sample.
std::uint32_t LinearToSrgbByte(double linear) {
  static const std::array<double, 255> kThresholds = [] {
    std::array<double, 255> t{};
    for (int v = 1; v <= 255; ++v) {
      const double encoded = (v - 0.5) / 255.0;
      t[v - 1] = encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return static_cast<std::uint32_t>(
      std::upper_bound(kThresholds.begin(), kThresholds.end(), linear) - kThresholds.begin());
}

// CIE L*a*b* (D65 white) to 8-bit sRGB: XYZ by the CIE formulas, linear sRGB by the
// IEC 61966-2-1 matrix, then the sRGB transfer curve.
void LabToSrgb(double l, double a, double b, std::uint32_t* rgb) {
  constexpr double kEpsilon = 216.0 / 24389.0;
  constexpr double kKappa = 24389.0 / 27.0;
  constexpr double kWhiteX = 0.95047, kWhiteZ = 1.08883;
  const double fy = (l + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  auto inverse = [&](double f) {
    return f * f * f > kEpsilon ? f * f * f : (116 * f - 16) / kKappa;
  };
  const double x = kWhiteX * inverse(fx);
  const double y = l > kKappa * kEpsilon ? fy * fy * fy : l / kKappa;
  const double z = kWhiteZ * inverse(fz);
  rgb[0] = LinearToSrgbByte(3.2404542 * x - 1.5371385 * y - 0.4985314 * z);
  rgb[1] = LinearToSrgbByte(-0.9692660 * x + 1.8760108 * y + 0.0415560 * z);
  rgb[2] = LinearToSrgbByte(0.0556434 * x - 0.2040259 * y + 1.0572252 * z);
}

// Fields of 1 to 16 bits, most significant bits first. Only the bytes the field covers are
// touched, so a row of n fields never reads or writes past ceil(n * bits / 8) bytes.
inline std::uint32_t ReadField(const std::uint8_t* row, std::uint64_t bit_pos, unsigned bits) {
  const std::uint8_t* p = row + static_cast<std::size_t>(bit_pos >> 3);
  const unsigned span = static_cast<unsigned>(bit_pos & 7) + bits;
  const unsigned bytes = (span + 7) >> 3;
  std::uint32_t acc = 0;
  for (unsigned i = 0; i < bytes; ++i) acc = (acc << 8) | p[i];
  return (acc >> (bytes * 8 - span)) & FieldMax(bits);
}

inline void WriteField(std::uint8_t* row, std::uint64_t bit_pos, unsigned bits,
                       std::uint32_t value) {
  std::uint8_t* p = row + static_cast<std::size_t>(bit_pos >> 3);
  const unsigned span = static_cast<unsigned>(bit_pos & 7) + bits;
  const unsigned bytes = (span + 7) >> 3;
  std::uint32_t acc = 0;
  for (unsigned i = 0; i < bytes; ++i) acc = (acc << 8) | p[i];
  const unsigned low = bytes * 8 - span;
  const std::uint32_t field_mask = FieldMax(bits) << low;
  acc = (acc & ~field_mask) | ((value << low) & field_mask);
  for (unsigned i = bytes; i-- > 0;) {
    p[i] = static_cast<std::uint8_t>(acc);
    acc >>= 8;
  }
}

bool IsIndexedOrGraySource(TColorScheme scheme) {
  return scheme == TColorScheme::Indexed || scheme == TColorScheme::Gray ||
         scheme == TColorScheme::GrayAlpha;
}

bool IsIndexedOrGrayTarget(TColorScheme scheme) {
  return scheme == TColorScheme::Indexed || scheme == TColorScheme::Gray;
}

bool SchemeHasAlpha(TColorScheme scheme) {
  return scheme == TColorScheme::GrayAlpha || scheme == TColorScheme::RGBA ||
         scheme == TColorScheme::BGRA;
}

// 0: red first, 1: blue first, -1: not a colour target.
int TargetOrder(TColorScheme scheme) {
  switch (scheme) {
    case TColorScheme::RGB:
    case TColorScheme::RGBA: return 0;
    case TColorScheme::BGR:
    case TColorScheme::BGRA: return 1;
    default: return -1;
  }
}

bool Is8Or16(unsigned bits) {
  return bits == 8 || bits == 16;
}

}  // namespace

TColorConverter::TColorConverter() {
  SetGamma(1.0f, 2.2f);
}

void TColorConverter::Store(std::uint8_t& setting, int value, int low, int high, int message) {
  if (value < low || value > high) RaiseGraphicError(message);
  MarkChanged(value != setting);
  setting = static_cast<std::uint8_t>(value);
}

void TColorConverter::Store(TColorScheme& setting, TColorScheme scheme) {
  MarkChanged(scheme != setting);
  setting = scheme;
}

void TColorConverter::SetSourceBits(int bits) {
  Store(source_bits_, bits, 1, 16, kMsgInvalidColorDepth);
}

void TColorConverter::SetTargetBits(int bits) {
  Store(target_bits_, bits, 1, 16, kMsgInvalidColorDepth);
}

void TColorConverter::SetSourceSamples(int samples) {
  Store(source_samples_, samples, 1, 4, kMsgInvalidSampleCount);
}

void TColorConverter::SetTargetSamples(int samples) {
  Store(target_samples_, samples, 1, 4, kMsgInvalidSampleCount);
}

void TColorConverter::SetSourceScheme(TColorScheme scheme) {
  Store(source_scheme_, scheme);
}

void TColorConverter::SetTargetScheme(TColorScheme scheme) {
  Store(target_scheme_, scheme);
}

void TColorConverter::SetLuma(float red, float green, float blue) {
  MarkChanged(red != luma_red_ || green != luma_green_ || blue != luma_blue_);
  luma_red_ = red;
  luma_green_ = green;
  luma_blue_ = blue;
}

void TColorConverter::SetGamma(float mainGamma, float displayGamma) {
  main_gamma_ = mainGamma > 0 ? mainGamma : 1.0f;
  display_gamma_ = displayGamma > 0 ? displayGamma : 2.2f;
  const double exponent = 1.0 / (double{main_gamma_} * double{display_gamma_});
  // Every user of the table indexes it with an 8-bit value and wants an 8-bit level back, so it
  // always spans 0..255 whatever the depths.
  for (int i = 0; i < 256; ++i) {
    const double level = std::pow(i / 255.0, exponent) * 255.0;
    gamma_table_[i] = static_cast<std::uint8_t>(Clamp255(RoundToInt(level)));
  }
  gamma_identity_ = true;
  for (int i = 0; i < 256; ++i) gamma_identity_ = gamma_identity_ && gamma_table_[i] == i;
}

bool TColorConverter::UsesGamma() const {
  return TargetOptions.Contains(Opt::UseGammaTable) && !gamma_identity_;
}

TRasterFormat TColorConverter::PixelFormatFor(bool target) const {
  const int samples = target ? target_samples_ : source_samples_;
  const int bits = target ? target_bits_ : source_bits_;
  switch (samples) {
    case 1:
      if (bits == 1) return TRasterFormat::rf1Bit;
      if (bits >= 2 && bits <= 4) return TRasterFormat::rf4Bit;
      if (bits >= 8) return TRasterFormat::rf8Bit;
      return TRasterFormat::rfCustom;
    case 3: return bits >= 1 && bits <= 5 ? TRasterFormat::rf15Bit : TRasterFormat::rf24Bit;
    case 4: return bits >= 8 ? TRasterFormat::rf32Bit : TRasterFormat::rfCustom;
    default: return TRasterFormat::rfCustom;
  }
}

void TColorConverter::BuildChromaTables(int offset_red, int offset_blue) {
  const double r = luma_red_;
  const double g = luma_green_;
  const double b = luma_blue_;
  const double kR = 2 - 2 * r;
  const double kB = 2 - 2 * b;
  const double kRG = r * kR / g;
  const double kBG = b * kB / g;
  cr_to_red_.assign(256, 0);
  cb_to_blue_.assign(256, 0);
  cr_to_green_.assign(256, 0);
  cb_to_green_.assign(256, 0);
  for (int i = 0; i < 256; ++i) {
    cr_to_red_[i] = RoundToInt(kR * (i - offset_red));
    cb_to_blue_[i] = RoundToInt(kB * (i - offset_blue));
    cr_to_green_[i] = -RoundToInt(kRG * (i - offset_red));
    cb_to_green_[i] = -RoundToInt(kBG * (i - offset_blue));
  }
}

void TColorConverter::PrepareConversion() {
  row_routine_ = nullptr;
  if (IsIndexedOrGraySource(source_scheme_) != IsIndexedOrGrayTarget(target_scheme_)) {
    RaiseGraphicError(kMsgIndexedMismatch);
  }
  source_alpha_ = SchemeHasAlpha(source_scheme_);
  target_alpha_ = SchemeHasAlpha(target_scheme_);
  if (source_alpha_) {
    SourceOptions.Include(Opt::HasAlphaChannel);
  } else {
    SourceOptions.Exclude(Opt::HasAlphaChannel);
  }
  if (target_alpha_) {
    TargetOptions.Include(Opt::HasAlphaChannel);
  } else {
    TargetOptions.Exclude(Opt::HasAlphaChannel);
  }

  const unsigned s = source_bits_;
  const unsigned t = target_bits_;
  // The colour and grey routines know 8- and 16-bit samples only; other depths would be read as
  // bytes from rows that are packed differently.
  const bool byte_depths = Is8Or16(s) && Is8Or16(t);
  const int order = TargetOrder(target_scheme_);
  planes_needed_ = 1;
  switch (source_scheme_) {
    case TColorScheme::Indexed:
      if (s == 16 && t == 16) {
        row_routine_ = &TColorConverter::RowIndexed16To16;
      } else if (s == 16) {
        row_routine_ = &TColorConverter::RowIndexedFrom16;
      } else if (t == 16) {
        row_routine_ = &TColorConverter::RowIndexedTo16;
      } else {
        row_routine_ = &TColorConverter::RowIndexedPacked;
      }
      break;
    case TColorScheme::Gray:
      if (s == 16 || t == 16) {
        if (byte_depths) row_routine_ = &TColorConverter::RowGray;
      } else {
        row_routine_ = &TColorConverter::RowIndexedPacked;
      }
      break;
    case TColorScheme::GrayAlpha:
      if (byte_depths) row_routine_ = &TColorConverter::RowGray;
      break;
    case TColorScheme::RGB:
    case TColorScheme::RGBA:
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowRGBToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowRGBToBGR;
      planes_needed_ = source_alpha_ && target_alpha_ ? 4 : 3;
      break;
    case TColorScheme::BGR:
    case TColorScheme::BGRA:
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowBGRToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowBGRToBGR;
      planes_needed_ = source_alpha_ && target_alpha_ ? 4 : 3;
      break;
    case TColorScheme::CMYK:
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowCMYKToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowCMYKToBGR;
      planes_needed_ = 4;
      break;
    case TColorScheme::CIELab:
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowLabToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowLabToBGR;
      planes_needed_ = 3;
      break;
    case TColorScheme::YCbCr:
      BuildChromaTables(128, 128);
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowYCbCrToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowYCbCrToBGR;
      planes_needed_ = 3;
      break;
    case TColorScheme::PhotoYCC:
      BuildChromaTables(137, 156);
      if (byte_depths && order == 0) row_routine_ = &TColorConverter::RowPhotoYCCToRGB;
      if (byte_depths && order == 1) row_routine_ = &TColorConverter::RowPhotoYCCToBGR;
      planes_needed_ = 3;
      break;
    default: break;
  }
  changed_ = false;
}

void TColorConverter::ConvertRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                 void* target) {
  if (changed_) PrepareConversion();
  if (row_routine_ == nullptr) RaiseGraphicError(kMsgNoConversionMethod);
  // Planar rows must bring every plane the routine reads.
  const int used = source.Count() == 1 ? 1 : planes_needed_;
  if (source.Count() < used || target == nullptr) RaiseGraphicError(kMsgNoConversionMethod);
  for (int i = 0; i < used; ++i) {
    if (source[i] == nullptr) RaiseGraphicError(kMsgNoConversionMethod);
  }
  (this->*row_routine_)(source, mask, count, static_cast<std::uint8_t*>(target));
}

void TColorConverter::RowIndexedPacked(const SourceRows& source, std::uint8_t mask,
                                       std::uint32_t count, std::uint8_t* target) {
  const std::uint8_t* row = source[0];
  const unsigned s = source_bits_;
  const unsigned t = target_bits_;
  if (s == t && mask == 0xFF) {
    std::memcpy(target, row, static_cast<std::size_t>((std::uint64_t{count} * s + 7) / 8));
    return;
  }
  MaskWalk walk(mask);
  if (s == 8 && t == 8) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (walk.Next()) target[i] = *row++;
    }
    return;
  }
  const std::uint32_t source_max = FieldMax(s);
  const std::uint32_t target_max = FieldMax(t);
  std::uint64_t source_pos = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    std::uint32_t v = ReadField(row, source_pos, s);
    source_pos += s;
    if (s != t) v = v * target_max / source_max;
    WriteField(target, std::uint64_t{i} * t, t, v);
  }
}

void TColorConverter::RowIndexed16To16(const SourceRows& source, std::uint8_t mask,
                                       std::uint32_t count, std::uint8_t* target) {
  const std::uint8_t* row = source[0];
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  if (mask == 0xFF && !swap) {
    std::memcpy(target, row, std::size_t{count} * 2);
    return;
  }
  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    // One exchange for the whole copy: the value is turned around on the way in only.
    Store16(target + std::size_t{i} * 2, Load16(row, swap), false);
    row += 2;
  }
}

void TColorConverter::RowIndexedFrom16(const SourceRows& source, std::uint8_t mask,
                                       std::uint32_t count, std::uint8_t* target) {
  const std::uint8_t* row = source[0];
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const unsigned t = target_bits_;
  const std::uint32_t target_max = FieldMax(t);
  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    const std::uint32_t v = Load16(row, swap) * target_max / 65535;
    row += 2;
    WriteField(target, std::uint64_t{i} * t, t, v);
  }
}

void TColorConverter::RowIndexedTo16(const SourceRows& source, std::uint8_t mask,
                                     std::uint32_t count, std::uint8_t* target) {
  const std::uint8_t* row = source[0];
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const unsigned s = source_bits_;
  const std::uint32_t source_max = FieldMax(s);
  std::uint64_t source_pos = 0;
  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    const std::uint32_t v = ReadField(row, source_pos, s) * 65535 / source_max;
    source_pos += s;
    Store16(target + std::size_t{i} * 2, v, swap);
  }
}

void TColorConverter::RowGray(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                              std::uint8_t* target) {
  const std::uint8_t* row = source[0];
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const bool wide_source = source_bits_ == 16;
  const bool wide_target = target_bits_ == 16;
  // Interleaved grey-with-alpha pixels carry the alpha sample after the grey one; it is dropped.
  const std::size_t step =
      (source_alpha_ && source.Count() == 1 ? 2u : 1u) * (wide_source ? 2u : 1u);
  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    const std::uint32_t v = wide_source ? Load16(row, swap) : *row;
    row += step;
    if (wide_target) {
      Store16(target + std::size_t{i} * 2, wide_source ? v : Expand8(v), swap && !wide_source);
    } else {
      target[i] = static_cast<std::uint8_t>(wide_source ? Reduce16(v) : v);
    }
  }
}

// The four red/green/blue routines differ only in whether the three colour samples change
// places on the way, so one body serves them.
template <bool kReverse>
void TColorConverter::CopyColor(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                std::uint8_t* target) {
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const bool gamma = UsesGamma();
  const bool wide_source = source_bits_ == 16;
  const bool wide_target = target_bits_ == 16;
  const bool planar = source.Count() > 1;
  const bool copy_alpha = source_alpha_ && target_alpha_;
  const std::size_t source_sample = wide_source ? 2 : 1;
  const std::size_t target_sample = wide_target ? 2 : 1;
  const std::size_t source_step = planar ? source_sample : source_sample * (source_alpha_ ? 4 : 3);
  const std::size_t target_step = target_sample * (target_alpha_ ? 4 : 3);
  const int channels = copy_alpha ? 4 : 3;
  const std::uint8_t* in[4] = {};
  for (int c = 0; c < channels; ++c) in[c] = planar ? source[c] : source[0] + c * source_sample;

  if (!wide_source && !wide_target && !gamma && mask == 0xFF && !planar) {
    const std::uint8_t* p = source[0];
    for (std::uint32_t i = 0; i < count; ++i, p += source_step, target += target_step) {
      target[0] = p[kReverse ? 2 : 0];
      target[1] = p[1];
      target[2] = p[kReverse ? 0 : 2];
      if (copy_alpha) target[3] = p[3];
    }
    return;
  }

  const std::uint8_t* table = gamma_table_;
  auto read = [&](const std::uint8_t* p) -> std::uint32_t {
    return wide_source ? Load16(p, swap) : *p;
  };
  // Depth change and, for colour samples, the gamma step at 8-bit precision.
  auto colour = [&](std::uint32_t v) -> std::uint32_t {
    if (!gamma) {
      if (wide_source == wide_target) return v;
      return wide_source ? Reduce16(v) : Expand8(v);
    }
    const std::uint32_t level = table[wide_source ? Reduce16(v) : v];
    return wide_target ? Expand8(level) : level;
  };
  auto alpha = [&](std::uint32_t v) -> std::uint32_t {
    if (wide_source == wide_target) return v;
    return wide_source ? Reduce16(v) : Expand8(v);
  };
  // A 16-bit value gets one exchange under the option: on reading, or on writing when the
  // source was narrower.
  const bool swap_out = swap && !wide_source;
  auto write = [&](std::uint8_t* p, std::uint32_t v) {
    if (wide_target) {
      Store16(p, v, swap_out);
    } else {
      *p = static_cast<std::uint8_t>(v);
    }
  };

  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    std::uint8_t* out = target + std::size_t{i} * target_step;
    const std::uint32_t first = colour(read(in[0]));
    const std::uint32_t second = colour(read(in[1]));
    const std::uint32_t third = colour(read(in[2]));
    write(out, kReverse ? third : first);
    write(out + target_sample, second);
    write(out + 2 * target_sample, kReverse ? first : third);
    if (copy_alpha) write(out + 3 * target_sample, alpha(read(in[3])));
    for (int c = 0; c < channels; ++c) in[c] += source_step;
  }
}

// Shared walk of the routines that compute 8-bit red, green and blue from 3 or 4 samples. The
// target's alpha sample, if any, is left alone: these sources have none.
template <typename Compute>
void TColorConverter::ComputeColor(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                   std::uint8_t* target, int samples, bool bgr_target,
                                   Compute compute) {
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const bool wide_source = source_bits_ == 16;
  const bool wide_target = target_bits_ == 16;
  const bool planar = source.Count() > 1;
  const std::size_t source_sample = wide_source ? 2 : 1;
  const std::size_t target_sample = wide_target ? 2 : 1;
  const std::size_t source_step = planar ? source_sample : source_sample * samples;
  const std::size_t target_step = target_sample * (target_alpha_ ? 4 : 3);
  const bool swap_out = swap && !wide_source;
  const std::uint8_t* in[4] = {};
  for (int c = 0; c < samples; ++c) in[c] = planar ? source[c] : source[0] + c * source_sample;

  MaskWalk walk(mask);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!walk.Next()) continue;
    std::uint32_t sample[4] = {};
    for (int c = 0; c < samples; ++c) {
      sample[c] = wide_source ? Load16(in[c], swap) : *in[c];
      in[c] += source_step;
    }
    std::uint32_t rgb[3];
    compute(sample, rgb);
    std::uint8_t* out = target + std::size_t{i} * target_step;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t v = rgb[bgr_target ? 2 - c : c];
      if (wide_target) {
        Store16(out + c * target_sample, Expand8(v), swap_out);
      } else {
        out[c] = static_cast<std::uint8_t>(v);
      }
    }
  }
}

void TColorConverter::CmykRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                              std::uint8_t* target, bool bgr_target) {
  const bool wide_source = source_bits_ == 16;
  ComputeColor(source, mask, count, target, 4, bgr_target,
               [wide_source](const std::uint32_t* s, std::uint32_t* rgb) {
                 const std::int64_t k = s[3];
                 for (int c = 0; c < 3; ++c) {
                   const std::int64_t v = s[c];
                   if (wide_source) {
                     std::int64_t x = v * k / 65535 - v - k + 65535;
                     x = std::max<std::int64_t>(0, std::min<std::int64_t>(65535, x));
                     rgb[c] = Reduce16(static_cast<std::uint32_t>(x));
                   } else {
                     rgb[c] = Clamp255(v * k / 255 - v - k + 255);
                   }
                 }
               });
}

void TColorConverter::LabRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                             std::uint8_t* target, bool bgr_target) {
  const bool wide_source = source_bits_ == 16;
  const bool lightness_in255 = SourceOptions.Contains(Opt::LightnessIn255);
  const bool chroma_with_offset = SourceOptions.Contains(Opt::ChromaWithOffset);
  ComputeColor(
      source, mask, count, target, 3, bgr_target, [=](const std::uint32_t* s, std::uint32_t* rgb) {
        double l = wide_source ? Reduce16(s[0]) : s[0];
        if (lightness_in255) l /= 2.55;
        double a;
        double b;
        if (chroma_with_offset) {
          a = static_cast<double>(wide_source ? Reduce16(s[1]) : s[1]) - 128;
          b = static_cast<double>(wide_source ? Reduce16(s[2]) : s[2]) - 128;
        } else {
          // Signed samples; a 16-bit one counts by its high byte, like the 8-bit form.
          a = static_cast<std::int8_t>(static_cast<std::uint8_t>(wide_source ? s[1] >> 8 : s[1]));
          b = static_cast<std::int8_t>(static_cast<std::uint8_t>(wide_source ? s[2] >> 8 : s[2]));
        }
        LabToSrgb(l, a, b, rgb);
      });
}

void TColorConverter::ChromaRow(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                std::uint8_t* target, bool bgr_target) {
  const bool wide_source = source_bits_ == 16;
  const std::int32_t* cr_to_red = cr_to_red_.data();
  const std::int32_t* cb_to_blue = cb_to_blue_.data();
  const std::int32_t* cr_to_green = cr_to_green_.data();
  const std::int32_t* cb_to_green = cb_to_green_.data();
  ComputeColor(source, mask, count, target, 3, bgr_target,
               [=](const std::uint32_t* s, std::uint32_t* rgb) {
                 const std::int64_t y = wide_source ? Reduce16(s[0]) : s[0];
                 const std::uint32_t cb = wide_source ? Reduce16(s[1]) : s[1];
                 const std::uint32_t cr = wide_source ? Reduce16(s[2]) : s[2];
                 rgb[0] = Clamp255(y + cr_to_red[cr]);
                 rgb[1] = Clamp255(y + cb_to_green[cb] + cr_to_green[cr]);
                 rgb[2] = Clamp255(y + cb_to_blue[cb]);
               });
}

void TColorConverter::RowRGBToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  CopyColor<false>(source, mask, count, target);
}

void TColorConverter::RowRGBToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  CopyColor<true>(source, mask, count, target);
}

void TColorConverter::RowBGRToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  CopyColor<true>(source, mask, count, target);
}

void TColorConverter::RowBGRToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  CopyColor<false>(source, mask, count, target);
}

void TColorConverter::RowCMYKToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                   std::uint8_t* target) {
  CmykRow(source, mask, count, target, false);
}

void TColorConverter::RowCMYKToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                   std::uint8_t* target) {
  CmykRow(source, mask, count, target, true);
}

void TColorConverter::RowLabToRGB(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  LabRow(source, mask, count, target, false);
}

void TColorConverter::RowLabToBGR(const SourceRows& source, std::uint8_t mask, std::uint32_t count,
                                  std::uint8_t* target) {
  LabRow(source, mask, count, target, true);
}

void TColorConverter::RowYCbCrToRGB(const SourceRows& source, std::uint8_t mask,
                                    std::uint32_t count, std::uint8_t* target) {
  ChromaRow(source, mask, count, target, false);
}

void TColorConverter::RowYCbCrToBGR(const SourceRows& source, std::uint8_t mask,
                                    std::uint32_t count, std::uint8_t* target) {
  ChromaRow(source, mask, count, target, true);
}

void TColorConverter::RowPhotoYCCToRGB(const SourceRows& source, std::uint8_t mask,
                                       std::uint32_t count, std::uint8_t* target) {
  ChromaRow(source, mask, count, target, false);
}

void TColorConverter::RowPhotoYCCToBGR(const SourceRows& source, std::uint8_t mask,
                                       std::uint32_t count, std::uint8_t* target) {
  ChromaRow(source, mask, count, target, true);
}

void TColorConverter::BuildColorPalette(TRasterBitmap& bitmap, const SourceRows& source, int layout,
                                        int count, bool rgbOrder) {
  if (layout < 0 || layout > 7) RaiseGraphicError(kMsgNoConversionMethod);
  const bool planar = layout == 2 || layout == 3 || layout == 6 || layout == 7;
  const int needed = planar ? 3 : 1;
  if (source.Count() < needed) RaiseGraphicError(kMsgNoConversionMethod);
  for (int i = 0; i < needed; ++i) {
    if (source[i] == nullptr) RaiseGraphicError(kMsgNoConversionMethod);
  }
  const bool swap = SourceOptions.Contains(Opt::SwapSampleBytes);
  const bool gamma = UsesGamma();
  const bool wide = layout >= 4;
  const std::size_t sample = wide ? 2 : 1;
  // The colour table has 256 entries; a longer list from a file is cut there.
  count = std::max(0, std::min(count, 256));
  auto at = [&](const std::uint8_t* p) -> std::uint32_t {
    return wide ? Reduce16(Load16(p, swap)) : *p;
  };
  for (int i = 0; i < count; ++i) {
    std::uint32_t rgb[3];
    if (planar) {
      for (int c = 0; c < 3; ++c) rgb[c] = at(source[c] + std::size_t(i) * sample);
    } else {
      const std::size_t entry = (layout == 1 || layout == 5 ? 4 : 3) * sample;
      const std::uint8_t* p = source[0] + std::size_t(i) * entry;
      for (int c = 0; c < 3; ++c) rgb[rgbOrder ? c : 2 - c] = at(p + c * sample);
    }
    if (gamma) {
      for (std::uint32_t& c : rgb) c = gamma_table_[c];
    }
    bitmap.SetPaletteEntry(i, (rgb[0] << 16) | (rgb[1] << 8) | rgb[2]);
  }

  const int source_depth = std::min<int>(source_bits_, 8);
  const int target_depth = std::min<int>(target_bits_, 8);
  if (source_depth == target_depth) return;
  // Pixels were rescaled to the target depth, so entry i must show the colour of the source
  // entry it came from. The walk direction keeps every entry read before it is overwritten.
  const int s = (1 << source_depth) - 1;
  const int t = (1 << target_depth) - 1;
  if (s >= t) {
    for (int i = 0; i <= t; ++i) bitmap.SetPaletteEntry(i, bitmap.PaletteEntry(i * s / t));
  } else {
    for (int i = t; i >= 0; --i) bitmap.SetPaletteEntry(i, bitmap.PaletteEntry(i * s / t));
  }
}

void TColorConverter::BuildGrayPalette(TRasterBitmap& bitmap, bool zeroIsWhite) {
  const int depth = std::min(target_bits_ * target_samples_, 8);
  const int last = (1 << depth) - 1;
  const int step = 255 / last;
  const bool gamma = UsesGamma();
  for (int i = 0; i <= last; ++i) {
    std::uint32_t level = static_cast<std::uint32_t>(step * i);
    if (gamma) level = gamma_table_[level];
    bitmap.SetPaletteEntry(zeroIsWhite ? last - i : i, level * 0x010101u);
  }
}

}  // namespace vistrel
