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

void TImageReader::BeginLoad(TDataStream& stream, const char* format_name) {
  StartPosition = stream.Position();
  if (!ReadImageProperties(stream, 0)) RaiseGraphicErrorFmt(kMsgInvalidImage, {format_name});
}

}  // namespace vistrel
