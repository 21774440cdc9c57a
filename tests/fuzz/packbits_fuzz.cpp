// PackBits decoding. Input: the wanted output size (two bytes, little-endian), then the packed
// bytes. Input and output buffers are exactly as large as stated, so any read or write beyond
// them is caught by the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/stream_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t wanted = std::size_t{data[0]} | (std::size_t{data[1]} << 8);
  std::vector<std::uint8_t> packed(data + 2, data + size);
  std::vector<std::uint8_t> out(wanted);
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = out.data();
  vistrel::TPackBitsDecoder decoder;
  decoder.Unpack(source, dest, static_cast<std::int32_t>(packed.size()),
                 static_cast<std::int32_t>(wanted));
  if (source != packed.data() || dest != out.data()) std::abort();
  return 0;
}
