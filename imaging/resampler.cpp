#include "imaging/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "imaging/checked_math.h"
#include "imaging/memory_budget.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define VISTREL_RESAMPLE_SSE2 1
#endif

namespace vistrel {

namespace {

constexpr double kLanczosA = 3.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kPrecisionBits = 22;  // 8-bit samples times weights stay inside 31 bits
constexpr std::int32_t kHalf = std::int32_t{1} << (kPrecisionBits - 1);

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  x *= kPi;
  return std::sin(x) / x;
}

double Lanczos(double x) {
  return -kLanczosA <= x && x < kLanczosA ? Sinc(x) * Sinc(x / kLanczosA) : 0.0;
}

std::uint8_t Clip8(std::int32_t sum) {
  if (sum >= (std::int32_t{256} << kPrecisionBits)) return 255;
  if (sum <= 0) return 0;
  return static_cast<std::uint8_t>(sum >> kPrecisionBits);
}

// The window size of one direction: the kernel's reach on both sides, widened when shrinking.
std::uint64_t KernelSize(std::int32_t source, std::int32_t scaled) {
  const double scale = std::max(static_cast<double>(source) / scaled, 1.0);
  return static_cast<std::uint64_t>(std::ceil(kLanczosA * scale)) * 2 + 1;
}

bool ValidSizes(std::int32_t source_width, std::int32_t source_height, const ResampleGeometry& g,
                int channels) {
  auto side = [](std::int32_t v) { return v > 0 && v <= kMaxResampleSide; };
  return channels >= 1 && channels <= 4 && side(source_width) && side(source_height) &&
         side(g.scaled_width) && side(g.scaled_height) && side(g.width) && side(g.height) &&
         g.left >= 0 && g.top >= 0 && g.left <= g.scaled_width - g.width &&
         g.top <= g.scaled_height - g.height;
}

template <int C>
void FilterRow(const std::uint8_t* in, std::uint8_t* out, const TLanczosResampler::Kernel& k,
               std::size_t outputs) {
  for (std::size_t x = 0; x < outputs; ++x) {
    const std::int32_t* w = &k.weights[x * static_cast<std::size_t>(k.size)];
    const std::uint8_t* p = in + static_cast<std::size_t>(k.first[x]) * C;
    const std::int32_t n = k.count[x];
    std::int32_t sum[C];
    for (int c = 0; c < C; ++c) sum[c] = kHalf;
    for (std::int32_t i = 0; i < n; ++i, p += C)
      for (int c = 0; c < C; ++c) sum[c] += p[c] * w[i];
    for (int c = 0; c < C; ++c) out[x * C + c] = Clip8(sum[c]);
  }
}

// The weights of two taps side by side as 16-bit halves of one int32 each: the high part
// (weight >> 11) and the low 11 bits, so 16-bit multiplies give the 22-bit products exactly.
std::vector<std::int32_t> WeightPairs(const TLanczosResampler::Kernel& k, std::size_t outputs,
                                      std::size_t pairs) {
  std::vector<std::int32_t> packed(outputs * pairs * 2);
  auto half = [](std::int32_t w, bool high) -> std::uint32_t {
    const std::int32_t low = w & 2047;
    return static_cast<std::uint16_t>(high ? (w - low) / 2048 : low);
  };
  for (std::size_t x = 0; x < outputs; ++x) {
    const std::int32_t* w = &k.weights[x * static_cast<std::size_t>(k.size)];
    for (std::size_t j = 0; j < pairs; ++j) {
      const std::int32_t w0 = w[2 * j];
      const std::int32_t w1 = 2 * j + 1 < static_cast<std::size_t>(k.size) ? w[2 * j + 1] : 0;
      for (int part = 0; part < 2; ++part) {
        packed[(x * pairs + j) * 2 + static_cast<std::size_t>(part)] =
            static_cast<std::int32_t>(half(w1, part == 0) << 16 | half(w0, part == 0));
      }
    }
  }
  return packed;
}

#ifdef VISTREL_RESAMPLE_SSE2
// FilterRow<3> two taps at a time; reads up to 5 bytes past the last tap's pixel.
__attribute__((target("sse2"))) void FilterRowPairs3(const std::uint8_t* in, std::uint8_t* out,
                                                     const TLanczosResampler::Kernel& k,
                                                     const std::int32_t* packed, std::size_t pairs,
                                                     std::size_t outputs) {
  const __m128i zero = _mm_setzero_si128();
  for (std::size_t x = 0; x < outputs; ++x) {
    const std::uint8_t* p = in + static_cast<std::size_t>(k.first[x]) * 3;
    const std::int32_t* w = packed + x * pairs * 2;
    const std::int32_t n = (k.count[x] + 1) / 2;
    __m128i high = zero, low = zero;
    for (std::int32_t j = 0; j < n; ++j, p += 6, w += 2) {
      std::int32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + 3, 4);
      // Blue, green, red (and a byte beyond) of both pixels, paired: B0 B1 G0 G1 R0 R1 ..
      const __m128i v =
          _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)), zero);
      high = _mm_add_epi32(high, _mm_madd_epi16(v, _mm_set1_epi32(w[0])));
      low = _mm_add_epi32(low, _mm_madd_epi16(v, _mm_set1_epi32(w[1])));
    }
    const __m128i sum =
        _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high, 11), low), _mm_set1_epi32(kHalf));
    alignas(16) std::int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
    for (int c = 0; c < 3; ++c) out[x * 3 + static_cast<std::size_t>(c)] = Clip8(lanes[c]);
  }
}

// The vertical sums of bytes [begin, end) of n rows, eight at a time, rows two at a time; packed
// holds each pair's weights as WeightPairs does. Reads and writes up to 7 bytes (sums) past end.
__attribute__((target("sse2"))) void SumRowsSse2(const std::uint8_t* const* rows,
                                                 const std::int32_t* packed, std::int32_t n,
                                                 std::int32_t* sums, std::size_t begin,
                                                 std::size_t end) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(kHalf);
  for (std::size_t x = begin; x < end; x += 8) {
    __m128i high0 = zero, high1 = zero, low0 = zero, low1 = zero;
    for (std::int32_t i = 0; i < n; i += 2) {
      const std::uint8_t* a = rows[i] + x;
      const std::uint8_t* b = rows[i + 1 < n ? i + 1 : i] + x;
      // a0 b0 a1 b1 .. a7 b7, widened to 16 bits in two halves.
      const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
      const __m128i v0 = _mm_unpacklo_epi8(v, zero), v1 = _mm_unpackhi_epi8(v, zero);
      const __m128i high = _mm_set1_epi32(packed[i]), low = _mm_set1_epi32(packed[i + 1]);
      high0 = _mm_add_epi32(high0, _mm_madd_epi16(v0, high));
      high1 = _mm_add_epi32(high1, _mm_madd_epi16(v1, high));
      low0 = _mm_add_epi32(low0, _mm_madd_epi16(v0, low));
      low1 = _mm_add_epi32(low1, _mm_madd_epi16(v1, low));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x),
                     _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high0, 11), low0), half));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + x + 4),
                     _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high1, 11), low1), half));
  }
}

bool HasSse2() {
  return __builtin_cpu_supports("sse2");
}
#else
bool HasSse2() {
  return false;
}
#endif

}  // namespace

TLanczosResampler::Kernel TLanczosResampler::MakeKernel(std::int32_t source, std::int32_t scaled,
                                                        std::int32_t offset, std::int32_t count) {
  Kernel k;
  const double scale = static_cast<double>(source) / scaled;
  const double filter_scale = std::max(scale, 1.0);
  const double support = kLanczosA * filter_scale;
  const double inverse_scale = 1.0 / filter_scale;
  k.size = static_cast<std::int32_t>(KernelSize(source, scaled));
  k.first.resize(static_cast<std::size_t>(count));
  k.count.resize(static_cast<std::size_t>(count));
  k.weights.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(k.size), 0);
  std::vector<double> w(static_cast<std::size_t>(k.size));
  for (std::int32_t i = 0; i < count; ++i) {
    const double center = (offset + i + 0.5) * scale;
    const std::int32_t first = std::max(static_cast<std::int32_t>(center - support + 0.5), 0);
    const std::int32_t end = std::min(static_cast<std::int32_t>(center + support + 0.5), source);
    const std::int32_t n = std::min(end - first, k.size);
    double total = 0.0;
    for (std::int32_t j = 0; j < n; ++j) {
      w[j] = Lanczos((j + first - center + 0.5) * inverse_scale);
      total += w[j];
    }
    std::int32_t* out = &k.weights[static_cast<std::size_t>(i) * static_cast<std::size_t>(k.size)];
    for (std::int32_t j = 0; j < n; ++j) {
      const double v = (total != 0.0 ? w[j] / total : w[j]) * (1 << kPrecisionBits);
      out[j] = static_cast<std::int32_t>(v < 0 ? v - 0.5 : v + 0.5);
    }
    k.first[i] = first;
    k.count[i] = std::max(n, 0);
  }
  return k;
}

std::uint64_t TLanczosResampler::MemoryNeeded(std::int32_t source_width, std::int32_t source_height,
                                              const ResampleGeometry& g, int channels) {
  if (!ValidSizes(source_width, source_height, g, channels)) return UINT64_MAX;
  const std::uint64_t row =
      std::uint64_t{static_cast<std::uint32_t>(std::max(g.width, source_width))} * channels;
  const std::uint64_t across = KernelSize(source_width, g.scaled_width);
  const std::uint64_t down = KernelSize(source_height, g.scaled_height);
  MemoryBudget budget;
  // Each kernel: two ints and a window of weights per output sample, and the doubles of one.
  budget.Add(static_cast<std::uint64_t>(g.width), across * 4 + 8)
      .Add(static_cast<std::uint64_t>(g.height), down * 4 + 8)
      .Add(across + down, 8)
      // The ring of rows, the sums, the row between the passes, the output row and a padded
      // copy of an input row.
      .Add(down, row)
      .Add(row, 7)
      .Add(static_cast<std::uint64_t>(g.width), across * 4 + 8)
      .Add(static_cast<std::uint64_t>(g.height), down * 4 + 8)
      .Add(down, sizeof(void*) + kRowPadding)
      .Add(kRowPadding * 3);
  return budget.Fits() ? budget.Total() : UINT64_MAX;
}

TLanczosResampler::TLanczosResampler(std::int32_t source_width, std::int32_t source_height,
                                     const ResampleGeometry& geometry, int channels, TRowSink& out,
                                     bool down_first)
    : geometry_(geometry),
      channels_(channels),
      out_(out),
      source_height_(source_height),
      down_first_(down_first) {
  if (MemoryNeeded(source_width, source_height, geometry, channels) == UINT64_MAX)
    throw std::bad_alloc();
  copy_columns_ = geometry.scaled_width == source_width && geometry.width == source_width;
  if (!copy_columns_)
    horizontal_ = MakeKernel(source_width, geometry.scaled_width, geometry.left, geometry.width);
  vertical_ = MakeKernel(source_height, geometry.scaled_height, geometry.top, geometry.height);
  ring_rows_ = std::max(1, *std::max_element(vertical_.count.begin(), vertical_.count.end()));
  const auto c = static_cast<std::size_t>(channels);
  const std::size_t out_row = static_cast<std::size_t>(geometry.width) * c;
  const std::size_t source_row = static_cast<std::size_t>(source_width) * c;
  ring_row_ = down_first ? source_row : out_row;
  span_begin_ = 0;
  span_end_ = ring_row_;
  if (down_first && !copy_columns_) {
    // Only the columns the horizontal kernel reaches (the middle, for a cropped Fill).
    const std::size_t last = horizontal_.first.size() - 1;
    span_begin_ = static_cast<std::size_t>(horizontal_.first[0]) * c;
    span_end_ = static_cast<std::size_t>(horizontal_.first[last] + horizontal_.count[last]) * c;
  }
  // Rows and sums padded, for the eight-byte steps of the vertical pass.
  ring_stride_ = ring_row_ + kRowPadding;
  ring_.assign(static_cast<std::size_t>(ring_rows_) * ring_stride_, 0);
  sums_.resize(ring_stride_);
  rows_.resize(static_cast<std::size_t>(ring_rows_));
  vertical_sse2_ = HasSse2();
  if (vertical_sse2_)
    vertical_packed_ = WeightPairs(vertical_, static_cast<std::size_t>(geometry.height),
                                   (static_cast<std::size_t>(vertical_.size) + 1) / 2);
  row_out_.resize(out_row);
  pairs_ = (static_cast<std::size_t>(horizontal_.size) + 1) / 2;
  sse2_ = channels == 3 && !copy_columns_ && HasSse2();
  if (sse2_) {
    packed_ = WeightPairs(horizontal_, static_cast<std::size_t>(geometry.width), pairs_);
    padded_.assign(source_row + kRowPadding, 0);
  }
  // The row between the passes is read by the horizontal pass in place, padded alike.
  if (down_first) middle_.assign(source_row + kRowPadding, 0);
}

void TLanczosResampler::Horizontal(const std::uint8_t* in, std::uint8_t* out) {
  const auto outputs = static_cast<std::size_t>(geometry_.width);
  if (copy_columns_) {
    std::memcpy(out, in, outputs * static_cast<std::size_t>(channels_));
    return;
  }
#ifdef VISTREL_RESAMPLE_SSE2
  if (sse2_) {
    // The pairs read a little past the last pixel: from a padded row.
    if (in != middle_.data()) {
      std::memcpy(padded_.data(), in, padded_.size() - kRowPadding);
      in = padded_.data();
    }
    FilterRowPairs3(in, out, horizontal_, packed_.data(), pairs_, outputs);
    return;
  }
#endif
  switch (channels_) {
    case 1: FilterRow<1>(in, out, horizontal_, outputs); break;
    case 2: FilterRow<2>(in, out, horizontal_, outputs); break;
    case 3: FilterRow<3>(in, out, horizontal_, outputs); break;
    default: FilterRow<4>(in, out, horizontal_, outputs); break;
  }
}

void TLanczosResampler::PutRow(const std::uint8_t* row) {
  if (rows_in_ >= source_height_) return;
  const std::int32_t y = rows_in_++;
  // Rows that no output row reaches (above or below a cropped part) need no filtering.
  const std::int32_t last = geometry_.height - 1;
  if (y < vertical_.first[0] || y >= vertical_.first[last] + vertical_.count[last]) return;
  std::uint8_t* slot = &ring_[static_cast<std::size_t>(y % ring_rows_) * ring_stride_];
  if (down_first_) {
    std::memcpy(slot + span_begin_, row + span_begin_, span_end_ - span_begin_);
  } else {
    Horizontal(row, slot);
  }
  EmitReadyRows();
}

void TLanczosResampler::EmitReadyRows() {
  while (rows_out_ < geometry_.height &&
         vertical_.first[rows_out_] + vertical_.count[rows_out_] <= rows_in_) {
    const std::int32_t* w =
        &vertical_.weights[static_cast<std::size_t>(rows_out_) * vertical_.size];
    std::int32_t* sums = sums_.data();
    const std::int32_t count = vertical_.count[rows_out_];
    for (std::int32_t i = 0; i < count; ++i) {
      rows_[static_cast<std::size_t>(i)] =
          &ring_[static_cast<std::size_t>((vertical_.first[rows_out_] + i) % ring_rows_) *
                 ring_stride_];
    }
#ifdef VISTREL_RESAMPLE_SSE2
    if (vertical_sse2_) {
      const std::size_t pairs = (static_cast<std::size_t>(vertical_.size) + 1) / 2;
      SumRowsSse2(rows_.data(), &vertical_packed_[static_cast<std::size_t>(rows_out_) * pairs * 2],
                  count, sums, span_begin_, span_end_);
    }
#endif
    if (!vertical_sse2_) {
      std::fill(sums + span_begin_, sums + span_end_, kHalf);
      for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t weight = w[i];
        const std::uint8_t* in = rows_[static_cast<std::size_t>(i)];
        for (std::size_t x = span_begin_; x < span_end_; ++x) sums[x] += in[x] * weight;
      }
    }
    std::uint8_t* filtered = down_first_ ? middle_.data() : row_out_.data();
    for (std::size_t x = span_begin_; x < span_end_; ++x) filtered[x] = Clip8(sums[x]);
    if (down_first_) Horizontal(middle_.data(), row_out_.data());
    ++rows_out_;
    out_.PutRow(row_out_.data());
  }
}

}  // namespace vistrel
