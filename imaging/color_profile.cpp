#include "imaging/color_profile.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define VISTREL_COLOR_SSE2 1
#endif

namespace vistrel {

namespace {

// What one transform's lcms2 context has taken from the heap. lcms2 has program-wide state (its
// list of contexts, a default context); everything here goes through a context of our own with
// its own allocator and error handler, and the program decodes one picture at a time.
struct MemoryAccount {
  std::uint64_t limit = 0;
  std::uint64_t in_use = 0;
  std::uint64_t peak = 0;
  bool failed = false;  // lcms2 reported an error, or was refused memory
};

// Every block starts with its size, so freeing can take it off the account; 16 bytes keep the
// alignment malloc gives.
constexpr std::size_t kBlockHeader = 16;

MemoryAccount* AccountOf(cmsContext context) {
  return static_cast<MemoryAccount*>(cmsGetContextUserData(context));
}

// The allocator hook of lcms2's memory plugin: raw C memory for a C library, so std::malloc and
// std::free, and the one place that does its own bookkeeping.
void* OnMalloc(cmsContext context, cmsUInt32Number size) {
  MemoryAccount* account = AccountOf(context);
  if (account == nullptr || size > account->limit - std::min(account->limit, account->in_use)) {
    if (account) account->failed = true;
    return nullptr;
  }
  auto* block = static_cast<std::uint8_t*>(std::malloc(kBlockHeader + size));
  if (block == nullptr) {
    account->failed = true;
    return nullptr;
  }
  std::memcpy(block, &size, sizeof size);
  account->in_use += size;
  account->peak = std::max(account->peak, account->in_use);
  return block + kBlockHeader;
}

void OnFree(cmsContext context, void* pointer) {
  if (pointer == nullptr) return;
  std::uint8_t* block = static_cast<std::uint8_t*>(pointer) - kBlockHeader;
  cmsUInt32Number size = 0;
  std::memcpy(&size, block, sizeof size);
  if (MemoryAccount* account = AccountOf(context)) account->in_use -= size;
  std::free(block);
}

void* OnRealloc(cmsContext context, void* pointer, cmsUInt32Number size) {
  void* moved = OnMalloc(context, size);
  if (moved == nullptr || pointer == nullptr) return moved;
  cmsUInt32Number old_size = 0;
  std::memcpy(&old_size, static_cast<std::uint8_t*>(pointer) - kBlockHeader, sizeof old_size);
  std::memcpy(moved, pointer, std::min(old_size, size));
  OnFree(context, pointer);
  return moved;
}

// lcms2 never prints; what it reports only decides that the profile is not used.
void OnError(cmsContext context, cmsUInt32Number, const char*) {
  if (MemoryAccount* account = AccountOf(context)) account->failed = true;
}

cmsPluginMemHandler MemoryPlugin() {
  cmsPluginMemHandler plugin{};
  plugin.base.Magic = cmsPluginMagicNumber;
  plugin.base.ExpectedVersion = 2060;
  plugin.base.Type = cmsPluginMemHandlerSig;
  plugin.MallocPtr = OnMalloc;
  plugin.FreePtr = OnFree;
  plugin.ReallocPtr = OnRealloc;
  return plugin;
}

struct LayoutInfo {
  cmsUInt32Number input;
  cmsUInt32Number output;
  cmsColorSpaceSignature space;
  std::size_t in_bytes;
};

LayoutInfo InfoFor(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kBgr: return {TYPE_BGR_8, TYPE_BGR_8, cmsSigRgbData, 3};
    case PixelLayout::kBgra: return {TYPE_BGRA_8, TYPE_BGRA_8, cmsSigRgbData, 4};
    case PixelLayout::kGray: return {TYPE_GRAY_8, TYPE_BGR_8, cmsSigGrayData, 1};
    case PixelLayout::kCmyk: return {TYPE_CMYK_8, TYPE_BGR_8, cmsSigCmykData, 4};
    default: return {TYPE_CMYK_8_REV, TYPE_BGR_8, cmsSigCmykData, 4};
  }
}

// Owners of lcms2's handles; the context must outlive everything made in it.
struct ContextCloser {
  void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformCloser {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using ContextHandle = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextCloser>;
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;
using TransformHandle = std::unique_ptr<void, TransformCloser>;

bool IsDeviceProfile(cmsHPROFILE profile) {
  switch (cmsGetDeviceClass(profile)) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigOutputClass:
    case cmsSigColorSpaceClass: return true;
    default: return false;
  }
}

// Colours through the exact transform (the profile to sRGB in floating point, unoptimised):
// every grey, and for RGB a grid through the cube (0, 51, ..., 255 on each axis); red, green,
// blue. The greys follow the curves closely, the grid the matrix; a finer grid cost more than
// converting a small picture.
struct ExactGrid {
  std::vector<float> in, out;
  bool gray = false;
};

ExactGrid RenderExact(cmsHTRANSFORM exact, bool gray) {
  constexpr int kSteps = 6;
  ExactGrid grid;
  grid.gray = gray;
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < (gray ? 1 : 3); ++c) grid.in.push_back(static_cast<float>(v) / 255.0f);
  if (!gray) {
    for (int r = 0; r < kSteps; ++r)
      for (int g = 0; g < kSteps; ++g)
        for (int b = 0; b < kSteps; ++b)
          for (int v : {r, g, b}) grid.in.push_back(static_cast<float>(v * 51) / 255.0f);
  }
  const std::size_t pixels = gray ? grid.in.size() : grid.in.size() / 3;
  grid.out.resize(pixels * 3);
  cmsDoTransform(exact, grid.in.data(), grid.out.data(), static_cast<cmsUInt32Number>(pixels));
  return grid;
}

// Whether the profile's colours are sRGB's within a level. The stored values are then as close
// to the profile's colours as an 8-bit transform could make them (HP's sRGB profile, which most
// cameras and editors embed, is within 0.51 of lcms2's own sRGB), and the picture costs nothing
// more.
bool DescribesSrgb(const ExactGrid& grid) {
  for (std::size_t i = 0; i < grid.out.size(); ++i) {
    const float want = grid.gray ? grid.in[i / 3] : grid.in[i];
    if (!(std::fabs(grid.out[i] - want) * 255.0f < 1.0f)) return false;
  }
  return true;
}

// An RGB profile made of three curves and a matrix, as most photographs' are (Adobe RGB, Display
// P3, ProPhoto), taken to sRGB's as lcms2 does it, without its generic per-pixel machinery: the
// curves as tables to linear light in 1.14 fixed point, one matrix from the profile's primaries to
// sRGB's, and sRGB's curve as a table back. The matrix is folded into the curves' tables (each
// output's share of each input value), and the table back covers every sum those shares can
// make, so a pixel costs nine loads, six additions and three lookups: about a sixth of the time
// of lcms2's own 8-bit path.
struct MatrixShaper {
  static constexpr int kOne = 1 << 14;
  std::int32_t linear[3][256];  // red, green, blue
  std::int32_t matrix[3][3];    // sRGB's red, green, blue from the profile's
  std::uint8_t encode[kOne + 1];
  // share[out][in][v]: matrix[out][in] * linear[in][v]; the red one also holds the rounding half
  // and lifts the lowest sum to 0, so that sum >> 14 indexes `back` directly.
  std::int32_t share[3][3][256];
  std::vector<std::uint8_t> back[3];  // encode at each sum >> 14, clamped to its ends
  // On SSE2: wide[in][v] holds share[0..2][in][v] side by side, so the three sums of a pixel are
  // two additions of three rows.
  std::int32_t wide[3][256][4];
  bool sse2 = false;

  // Builds share and back from linear, matrix and encode; false when some sum would not fit in
  // 32 bits.
  bool Fold() {
    for (int o = 0; o < 3; ++o) {
      std::int64_t low = kOne / 2, high = kOne / 2;
      // The most and least any part of a sum can be, which must fit in 32 bits as well.
      std::int64_t part_high = kOne / 2, part_low = kOne / 2;
      for (int i = 0; i < 3; ++i) {
        std::int64_t min = INT64_MAX, max = INT64_MIN;
        for (int v = 0; v < 256; ++v) {
          const std::int64_t p = std::int64_t{matrix[o][i]} * linear[i][v];
          min = std::min(min, p);
          max = std::max(max, p);
        }
        low += min;
        high += max;
        part_low += std::min<std::int64_t>(min, 0);
        part_high += std::max<std::int64_t>(max, 0);
      }
      // A whole number of steps below the lowest sum: the shift then rounds as before.
      const std::int64_t steps_below = low >= 0 ? 0 : (-low + kOne - 1) / kOne;
      const std::int64_t lift = steps_below * kOne;
      if (part_high + lift > INT32_MAX || part_low + lift < INT32_MIN) return false;
      for (int i = 0; i < 3; ++i)
        for (int v = 0; v < 256; ++v)
          wide[i][v][o] = share[o][i][v] = static_cast<std::int32_t>(
              std::int64_t{matrix[o][i]} * linear[i][v] + (i == 0 ? kOne / 2 + lift : 0));
      back[o].resize(static_cast<std::size_t>((high + lift) >> 14) + 1);
      for (std::size_t k = 0; k < back[o].size(); ++k) {
        const std::int64_t v = static_cast<std::int64_t>(k) - steps_below;
        back[o][k] = encode[std::min<std::int64_t>(std::max<std::int64_t>(v, 0), kOne)];
      }
    }
    for (auto& input : wide)
      for (auto& value : input) value[3] = 0;
#ifdef VISTREL_COLOR_SSE2
    sse2 = __builtin_cpu_supports("sse2");
#endif
    return true;
  }

#ifdef VISTREL_COLOR_SSE2
  __attribute__((target("sse2"))) void ConvertSse2(const std::uint8_t* in, std::uint8_t* out,
                                                   std::uint32_t count, std::size_t size) const {
    const std::uint8_t* const back_r = back[0].data();
    const std::uint8_t* const back_g = back[1].data();
    const std::uint8_t* const back_b = back[2].data();
    for (std::uint32_t i = 0; i < count; ++i, in += size, out += size) {
      const auto* r = reinterpret_cast<const __m128i*>(wide[0][in[2]]);
      const auto* g = reinterpret_cast<const __m128i*>(wide[1][in[1]]);
      const auto* b = reinterpret_cast<const __m128i*>(wide[2][in[0]]);
      const __m128i sums = _mm_srai_epi32(
          _mm_add_epi32(_mm_add_epi32(_mm_loadu_si128(r), _mm_loadu_si128(g)), _mm_loadu_si128(b)),
          14);
      out[2] = back_r[_mm_cvtsi128_si32(sums)];
      out[1] = back_g[_mm_cvtsi128_si32(_mm_srli_si128(sums, 4))];
      out[0] = back_b[_mm_cvtsi128_si32(_mm_srli_si128(sums, 8))];
    }
  }
#endif

  void Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count,
               std::size_t size) const {
#ifdef VISTREL_COLOR_SSE2
    if (sse2) {
      ConvertSse2(in, out, count, size);
      return;
    }
#endif
    const std::uint8_t* const back_r = back[0].data();
    const std::uint8_t* const back_g = back[1].data();
    const std::uint8_t* const back_b = back[2].data();
    for (std::uint32_t i = 0; i < count; ++i, in += size, out += size) {
      const unsigned r = in[2], g = in[1], b = in[0];
      const std::int32_t to_r = share[0][0][r] + share[0][1][g] + share[0][2][b];
      const std::int32_t to_g = share[1][0][r] + share[1][1][g] + share[1][2][b];
      const std::int32_t to_b = share[2][0][r] + share[2][1][g] + share[2][2][b];
      out[2] = back_r[to_r >> 14];
      out[1] = back_g[to_g >> 14];
      out[0] = back_b[to_b >> 14];
    }
  }
};

// The three colorant columns of a matrix-shaper profile; false when one is missing.
bool Colorants(cmsHPROFILE profile, double m[3][3]) {
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                   cmsSigBlueColorantTag};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
    if (xyz == nullptr) return false;
    m[0][c] = xyz->X, m[1][c] = xyz->Y, m[2][c] = xyz->Z;
  }
  return true;
}

bool Invert(const double m[3][3], double out[3][3]) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!(std::fabs(det) > 1e-9)) return false;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
    }
  return true;
}

// Null where lcms2 would not take the profile as three curves and a matrix (it has lookup tables
// for the intent), or where the tables would be off: checked on a grid through the cube against
// lcms2's exact transform (floating point, unoptimised), whose rounding it must match within a
// level.
std::unique_ptr<MatrixShaper> MakeMatrixShaper(cmsHPROFILE profile, cmsHPROFILE srgb,
                                               const ExactGrid& grid, std::size_t size) {
  if (!cmsIsMatrixShaper(profile)) return nullptr;
  for (cmsTagSignature lut : {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigDToB0Tag,
                              cmsSigDToB1Tag, cmsSigDToB2Tag})
    if (cmsIsTag(profile, lut)) return nullptr;
  double source[3][3], target[3][3], inverse[3][3];
  if (!Colorants(profile, source) || !Colorants(srgb, target) || !Invert(target, inverse))
    return nullptr;
  auto shaper = std::make_unique<MatrixShaper>();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      double v = 0;
      for (int k = 0; k < 3; ++k) v += inverse[r][k] * source[k][c];
      if (!(std::fabs(v) < 4.0)) return nullptr;  // far beyond any real pair of primaries
      shaper->matrix[r][c] = static_cast<std::int32_t>(std::lround(v * MatrixShaper::kOne));
    }
  const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
    if (curve == nullptr) return nullptr;
    for (int v = 0; v < 256; ++v) {
      const float linear = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
      shaper->linear[c][v] = static_cast<std::int32_t>(
          std::lround(std::min(std::max(linear, 0.0f), 1.0f) * MatrixShaper::kOne));
    }
  }
  // sRGB's curve back from linear light: the value at which each code begins, from the
  // standard's curve (IEC 61966-2-1, as lcms2's sRGB profile has it), then the table filled
  // between them: 255 powers instead of one for each of the table's values.
  double starts[255];
  for (int k = 0; k < 255; ++k) {
    const double v = (k + 0.5) / 255.0;
    starts[k] =
        (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4)) * MatrixShaper::kOne;
  }
  int code = 0;
  for (int i = 0; i <= MatrixShaper::kOne; ++i) {
    while (code < 255 && i >= starts[code]) ++code;
    shaper->encode[i] = static_cast<std::uint8_t>(code);
  }
  if (!shaper->Fold()) return nullptr;
  const std::size_t pixels = grid.in.size() / 3;
  std::vector<std::uint8_t> bytes(pixels * size, 255), ours(pixels * size);
  for (std::size_t p = 0; p < pixels; ++p)
    for (int c = 0; c < 3; ++c)  // ours blue, green, red; the grid red, green, blue
      bytes[p * size + 2 - c] = static_cast<std::uint8_t>(std::lround(grid.in[3 * p + c] * 255.0f));
  shaper->Convert(bytes.data(), ours.data(), static_cast<std::uint32_t>(pixels), size);
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < 3; ++c) {
      const float v = std::min(std::max(grid.out[3 * p + c], 0.0f), 1.0f) * 255.0f;
      if (std::fabs(ours[p * size + 2 - c] - v) > 1.5f) return nullptr;
    }
  }
  return shaper;
}

}  // namespace

struct ColorTransform::State {
  MemoryAccount account;  // first: the context refers to it until it is gone
  ContextHandle context;
  TransformHandle transform;
  std::unique_ptr<MatrixShaper> shaper;  // instead of the transform, for BGR and BGRA rows
  std::size_t in_bytes = 0;
};

ColorTransform::ColorTransform(std::unique_ptr<State> state, PixelLayout layout)
    : state_(std::move(state)), layout_(layout) {}

ColorTransform::~ColorTransform() {
  if (!state_) return;
  state_->transform.reset();
  state_->context.reset();
}

std::unique_ptr<ColorTransform> ColorTransform::Create(const std::vector<std::uint8_t>& profile,
                                                       PixelLayout layout,
                                                       std::uint64_t memory_limit) {
  try {
    return Make(profile, layout, memory_limit);
  } catch (const std::bad_alloc&) {
    return nullptr;  // no memory for the profile: the picture as stored
  }
}

std::unique_ptr<ColorTransform> ColorTransform::Make(const std::vector<std::uint8_t>& profile,
                                                     PixelLayout layout,
                                                     std::uint64_t memory_limit) {
  if (profile.empty() || profile.size() > kMaxIccProfileBytes) return nullptr;
  auto state = std::make_unique<State>();
  state->account.limit = memory_limit;
  cmsPluginMemHandler plugin = MemoryPlugin();
  state->context.reset(cmsCreateContext(&plugin, &state->account));
  if (!state->context) return nullptr;
  cmsContext context = state->context.get();
  cmsSetLogErrorHandlerTHR(context, OnError);

  const LayoutInfo info = InfoFor(layout);
  ProfileHandle embedded(cmsOpenProfileFromMemTHR(context, profile.data(),
                                                  static_cast<cmsUInt32Number>(profile.size())));
  ProfileHandle srgb(cmsCreate_sRGBProfileTHR(context));
  if (!embedded || !srgb || !IsDeviceProfile(embedded.get()) ||
      cmsGetColorSpace(embedded.get()) != info.space)
    return nullptr;
  // The exact transform answers whether the profile is sRGB's own and checks the tables of
  // curves and a matrix; lcms2's 8-bit transform (whose tables cost more to make than a small
  // picture to convert) is made only where those tables do not serve.
  TransformHandle exact;
  if (info.space != cmsSigCmykData) {
    const bool gray = info.space == cmsSigGrayData;
    exact.reset(cmsCreateTransformTHR(context, embedded.get(), gray ? TYPE_GRAY_FLT : TYPE_RGB_FLT,
                                      srgb.get(), TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC,
                                      cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE));
    if (exact) {
      const ExactGrid grid = RenderExact(exact.get(), gray);
      if (DescribesSrgb(grid)) return nullptr;
      if (layout == PixelLayout::kBgr || layout == PixelLayout::kBgra)
        state->shaper = MakeMatrixShaper(embedded.get(), srgb.get(), grid, info.in_bytes);
    }
  }
  exact.reset();
  // lcms2's defaults suit 8-bit pixels (its own tables for curves and matrices, a
  // prelinearised grid for lookup-table and CMYK profiles). Its one-pixel cache stays: switched
  // off, a 24-megapixel picture took longer.
  if (!state->shaper) {
    state->transform.reset(cmsCreateTransformTHR(context, embedded.get(), info.input, srgb.get(),
                                                 info.output, INTENT_RELATIVE_COLORIMETRIC, 0));
  }
  // The transform keeps what it needs of the profiles.
  embedded.reset();
  srgb.reset();
  if ((!state->transform && !state->shaper) || state->account.failed) return nullptr;
  state->in_bytes = info.in_bytes;
  return std::make_unique<ColorTransform>(std::move(state), layout);
}

void ColorTransform::Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count) const {
  if (count == 0) return;
  if (state_->shaper) {
    state_->shaper->Convert(in, out, count, state_->in_bytes);
  } else {
    cmsDoTransform(state_->transform.get(), in, out, count);
  }
}

void ColorTransform::ConvertColorTable(TRasterBitmap& bitmap) const {
  if (layout_ != PixelLayout::kBgr && layout_ != PixelLayout::kGray) return;
  constexpr int kEntries = 256;
  std::uint8_t in[kEntries * 3];
  std::uint8_t out[kEntries * 3];
  const std::size_t size = state_->in_bytes;
  for (int i = 0; i < kEntries; ++i) {
    const std::uint32_t entry = bitmap.PaletteEntry(i);
    if (entry == 0xFFFFFFFFu) return;  // no colour table
    in[size * i] = static_cast<std::uint8_t>(entry);
    if (size == 3) {
      in[3 * i + 1] = static_cast<std::uint8_t>(entry >> 8);
      in[3 * i + 2] = static_cast<std::uint8_t>(entry >> 16);
    }
  }
  Convert(in, out, kEntries);
  for (int i = 0; i < kEntries; ++i) {
    bitmap.SetPaletteEntry(
        i, std::uint32_t{out[3 * i + 2]} << 16 | std::uint32_t{out[3 * i + 1]} << 8 | out[3 * i]);
  }
}

std::uint32_t ColorTransform::ConvertColorRef(std::uint32_t color) const {
  if (layout_ != PixelLayout::kBgr && layout_ != PixelLayout::kBgra) return color;
  std::uint8_t pixel[4] = {static_cast<std::uint8_t>(color >> 16),
                           static_cast<std::uint8_t>(color >> 8), static_cast<std::uint8_t>(color),
                           255};
  Convert(pixel, pixel, 1);
  return std::uint32_t{pixel[2]} | std::uint32_t{pixel[1]} << 8 | std::uint32_t{pixel[0]} << 16;
}

std::uint64_t ColorTransform::PeakMemory() const {
  return state_->account.peak;
}

std::vector<std::uint8_t> JoinIccSegments(const std::vector<SegmentPayload>& segments) {
  static constexpr char kMark[] = "ICC_PROFILE";   // 12 bytes with its zero
  constexpr std::size_t kHead = sizeof kMark + 2;  // and the sequence number and count
  const SegmentPayload* parts[256] = {};
  int count = 0;
  std::uint64_t total = 0;
  for (const SegmentPayload& s : segments) {
    if (s.length < sizeof kMark || std::memcmp(s.data, kMark, sizeof kMark) != 0) continue;
    if (s.length < kHead) return {};
    const int number = s.data[sizeof kMark];
    const int of = s.data[sizeof kMark + 1];
    if (of == 0 || number == 0 || number > of || (count != 0 && of != count) || parts[number])
      return {};
    count = of;
    parts[number] = &s;
    total += s.length - kHead;
  }
  if (count == 0 || total == 0 || total > kMaxIccProfileBytes) return {};
  for (int i = 1; i <= count; ++i)
    if (parts[i] == nullptr) return {};
  std::vector<std::uint8_t> profile;
  profile.reserve(static_cast<std::size_t>(total));
  for (int i = 1; i <= count; ++i)
    profile.insert(profile.end(), parts[i]->data + kHead, parts[i]->data + parts[i]->length);
  return profile;
}

}  // namespace vistrel
