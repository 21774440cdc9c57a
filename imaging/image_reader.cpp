#include "imaging/image_reader.h"

namespace vistrel {

bool TImageReader::CanLoadStream(TDataStream&) {
  return false;
}

bool TImageReader::ReadImageProperties(TDataStream&, std::uint32_t) {
  ImageProperties = TImageProperties{};
  ImageProperties.Gamma = 1.0f;
  return false;
}

void TImageReader::SwapShorts(std::uint16_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    words[i] = static_cast<std::uint16_t>((words[i] >> 8) | (words[i] << 8));
}

void TImageReader::SwapLongs(std::uint32_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) words[i] = SwapLong(words[i]);
}

std::uint32_t TImageReader::SwapLong(std::uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
         (value << 24);
}

void TImageReader::BeginLoad(TDataStream& stream, const char* formatName) {
  StartPosition = stream.Position();
  if (!ReadImageProperties(stream, 0)) RaiseGraphicErrorFmt(kMsgInvalidImage, {formatName});
}

}  // namespace vistrel
