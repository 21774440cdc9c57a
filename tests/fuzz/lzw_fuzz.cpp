// GIF LZW decoding. Input: the start code size (one byte, taken as it is, so sizes the decoder
// must refuse come up too), the wanted output size (two bytes, little-endian, times 4), then the
// code bytes. Input and output buffers are exactly as large as stated, so any read or write
// beyond them is caught by the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/stream_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint8_t startCodeSize = data[0];
  const std::size_t wanted = (std::size_t{data[1]} | (std::size_t{data[2]} << 8)) * 4;
  std::vector<std::uint8_t> packed(data + 3, data + size);
  std::vector<std::uint8_t> out(wanted);
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = out.data();
  vistrel::TLzwDecoder decoder(startCodeSize);
  decoder.Unpack(source, dest, static_cast<std::int32_t>(packed.size()),
                 static_cast<std::int32_t>(wanted));
  if (source != packed.data() || dest != out.data()) std::abort();
  return 0;
}
