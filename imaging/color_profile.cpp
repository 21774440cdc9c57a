#include "imaging/color_profile.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

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

// Whether the profile's colours are sRGB's within a level: every grey, and a grid through the
// RGB cube, rendered at full precision. The stored values are then as close to the profile's
// colours as an 8-bit transform could make them (HP's sRGB profile, which most cameras and
// editors embed, is within 0.51 of lcms2's own sRGB), and the picture costs nothing more.
bool DescribesSrgb(cmsContext context, cmsHPROFILE profile, cmsHPROFILE srgb, bool gray) {
  TransformHandle exact(cmsCreateTransformTHR(context, profile, gray ? TYPE_GRAY_FLT : TYPE_RGB_FLT,
                                              srgb, TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE));
  if (!exact) return false;
  constexpr int kSteps = 16;  // 0, 17, ..., 255 on each axis
  std::vector<float> in, out;
  if (gray) {
    for (int v = 0; v < 256; ++v) in.push_back(static_cast<float>(v) / 255.0f);
  } else {
    for (int r = 0; r < kSteps; ++r)
      for (int g = 0; g < kSteps; ++g)
        for (int b = 0; b < kSteps; ++b)
          for (int v : {r, g, b}) in.push_back(static_cast<float>(v * 17) / 255.0f);
  }
  const std::size_t pixels = gray ? in.size() : in.size() / 3;
  out.resize(pixels * 3);
  cmsDoTransform(exact.get(), in.data(), out.data(), static_cast<cmsUInt32Number>(pixels));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const float want = gray ? in[i / 3] : in[i];
    if (!(std::fabs(out[i] - want) * 255.0f < 1.0f)) return false;
  }
  return true;
}

}  // namespace

struct ColorTransform::State {
  MemoryAccount account;  // first: the context refers to it until it is gone
  ContextHandle context;
  TransformHandle transform;
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
  const bool maybe_srgb = info.space != cmsSigCmykData;
  if (maybe_srgb &&
      DescribesSrgb(context, embedded.get(), srgb.get(), info.space == cmsSigGrayData))
    return nullptr;
  // lcms2's defaults already make 8-bit transforms fast: matrix-shaper profiles become three
  // tables and a fixed-point matrix, others a prelinearised lookup grid. Its one-pixel cache
  // stays: switched off, a 24-megapixel picture took longer.
  state->transform.reset(cmsCreateTransformTHR(context, embedded.get(), info.input, srgb.get(),
                                               info.output, INTENT_RELATIVE_COLORIMETRIC, 0));
  // The transform keeps what it needs of the profiles.
  embedded.reset();
  srgb.reset();
  if (!state->transform || state->account.failed) return nullptr;
  state->in_bytes = info.in_bytes;
  return std::unique_ptr<ColorTransform>(new ColorTransform(std::move(state), layout));
}

void ColorTransform::Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t count) const {
  if (count > 0) cmsDoTransform(state_->transform.get(), in, out, count);
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
