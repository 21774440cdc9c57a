// Drives TColorConverter with configurations taken from the input: schemes, depths, sample counts,
// options, gamma, mask, pixel count and planar or interleaved rows, then the palette builders.
// Every buffer is exactly as large as the configuration says it must be, so a routine that reads or
// writes one byte too many is caught by the sanitizers; pixels the mask skips must come out
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/exception.h"
#include "imaging/color_converter.h"
#include "imaging/raster_bitmap.h"

namespace {

using vistrel::TColorScheme;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  float Float() {
    std::uint8_t b[4] = {Byte(), Byte(), Byte(), Byte()};
    float f;
    std::memcpy(&f, b, 4);
    return f;
  }
  // n bytes of payload; zeros once the input is used up. Never empty, so data() is never null.
  std::vector<std::uint8_t> Bytes(std::size_t n) {
    std::vector<std::uint8_t> out(n == 0 ? 1 : n, 0);
    for (std::size_t i = 0; i < n; ++i) out[i] = Byte();
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

int ColourChannels(TColorScheme scheme) {
  switch (scheme) {
    case TColorScheme::RGBA:
    case TColorScheme::BGRA:
    case TColorScheme::CMYK: return 4;
    default: return 3;
  }
}

bool IndexedLike(TColorScheme scheme) {
  return scheme == TColorScheme::Indexed || scheme == TColorScheme::Gray ||
         scheme == TColorScheme::GrayAlpha;
}

std::size_t BitsToBytes(std::uint64_t bits) {
  return static_cast<std::size_t>((bits + 7) / 8);
}

bool BitSet(const std::vector<std::uint8_t>& row, std::uint64_t bit) {
  return (row[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1;
}

void Fail() {
  std::abort();
}

void ConvertOnce(Input& in) {
  vistrel::TColorConverter c;
  const auto source = static_cast<TColorScheme>(in.Byte() % 14);
  const auto target = static_cast<TColorScheme>(in.Byte() % 14);
  c.SetSourceScheme(source);
  c.SetTargetScheme(target);
  // Out-of-range values are part of the game; a refusal must leave the old value.
  const int sourceBits = in.Byte() % 18;
  const int targetBits = in.Byte() % 18;
  const int sourceSamples = in.Byte() % 6;
  const int targetSamples = in.Byte() % 6;
  try {
    c.SetSourceBits(sourceBits);
  } catch (const vistrel::Exception&) {
    if (c.SourceBits() != 8) Fail();
  }
  try {
    c.SetTargetBits(targetBits);
  } catch (const vistrel::Exception&) {
    if (c.TargetBits() != 8) Fail();
  }
  try {
    c.SetSourceSamples(sourceSamples);
    c.SetTargetSamples(targetSamples);
  } catch (const vistrel::Exception&) {
  }
  c.SourceOptions = vistrel::ConversionOptions::FromBits(in.Byte());
  c.TargetOptions = vistrel::ConversionOptions::FromBits(in.Byte());
  if (in.Byte() & 1) c.SetGamma(in.Float(), in.Float());
  (void)c.PixelFormatFor(true);
  (void)c.PixelFormatFor(false);

  const std::uint8_t mask = in.Byte();
  const std::uint32_t count = in.Byte() | ((in.Byte() & 3u) << 8);
  const int planeChoice = in.Byte() % 5;  // 0: interleaved, else that many planes

  std::uint32_t selected = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (mask & (0x80 >> (i % 8))) ++selected;
  }
  const unsigned s = c.SourceBits();
  const unsigned t = c.TargetBits();

  // Rows as large as the configuration requires, no larger.
  std::vector<std::vector<std::uint8_t>> planes;
  if (IndexedLike(source)) {
    const bool interleavedAlpha = source == TColorScheme::GrayAlpha && planeChoice <= 1;
    planes.push_back(
        in.Bytes(BitsToBytes(std::uint64_t{selected} * s * (interleavedAlpha ? 2 : 1))));
    for (int p = 1; p < planeChoice; ++p)
      planes.push_back(in.Bytes(BitsToBytes(std::uint64_t{selected} * s)));
  } else if (planeChoice <= 1) {
    planes.push_back(in.Bytes(BitsToBytes(std::uint64_t{selected} * s * ColourChannels(source))));
  } else {
    for (int p = 0; p < planeChoice; ++p)
      planes.push_back(in.Bytes(BitsToBytes(std::uint64_t{selected} * s)));
  }
  std::vector<const std::uint8_t*> addresses;
  for (const auto& plane : planes) addresses.push_back(plane.data());

  const bool targetAlpha = target == TColorScheme::RGBA || target == TColorScheme::BGRA;
  const unsigned pixelBits = IndexedLike(target) ? t : t * (targetAlpha ? 4 : 3);
  std::vector<std::uint8_t> out = in.Bytes(BitsToBytes(std::uint64_t{count} * pixelBits));
  const std::vector<std::uint8_t> before = out;

  try {
    c.ConvertRow(vistrel::SourceRows(addresses.data(), static_cast<int>(addresses.size())), mask,
                 count, out.data());
  } catch (const vistrel::Exception&) {
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    if (mask & (0x80 >> (i % 8))) continue;
    for (unsigned b = 0; b < pixelBits; ++b) {
      const std::uint64_t bit = std::uint64_t{i} * pixelBits + b;
      if (BitSet(out, bit) != BitSet(before, bit)) Fail();
    }
  }
}

void BuildPalettes(Input& in) {
  vistrel::TRasterBitmap bitmap =
      vistrel::TRasterBitmap::CreateDibBitmap(1, 1, vistrel::TRasterFormat::rf8Bit);
  vistrel::TColorConverter c;
  try {
    c.SetSourceBits(in.Byte() % 17 + 1);
    c.SetTargetBits(in.Byte() % 17 + 1);
    c.SetTargetSamples(in.Byte() % 4 + 1);
  } catch (const vistrel::Exception&) {
  }
  c.SourceOptions = vistrel::ConversionOptions::FromBits(in.Byte());
  c.TargetOptions = vistrel::ConversionOptions::FromBits(in.Byte());
  const int layout = in.Byte() % 9;
  const int count = in.Byte() | ((in.Byte() & 1) << 8);
  const int used = count > 256 ? 256 : count;
  const std::size_t sample = layout >= 4 ? 2 : 1;
  const bool planar = layout == 2 || layout == 3 || layout == 6 || layout == 7;
  std::vector<std::vector<std::uint8_t>> planes;
  if (planar) {
    for (int p = 0; p < 3; ++p) planes.push_back(in.Bytes(used * sample));
  } else {
    const std::size_t entry = (layout == 1 || layout == 5 ? 4 : 3) * sample;
    planes.push_back(in.Bytes(used * entry));
  }
  std::vector<const std::uint8_t*> addresses;
  for (const auto& plane : planes) addresses.push_back(plane.data());
  try {
    c.BuildColorPalette(bitmap,
                        vistrel::SourceRows(addresses.data(), static_cast<int>(addresses.size())),
                        layout, count, in.Byte() & 1);
  } catch (const vistrel::Exception&) {
    if (layout <= 7) Fail();
  }
  c.BuildGrayPalette(bitmap, in.Byte() & 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  if (in.Byte() & 1) {
    BuildPalettes(in);
  } else {
    ConvertOnce(in);
  }
  return 0;
}
