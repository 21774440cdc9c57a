// Loading a picture with one of the readers from bytes in memory, as the format tests do.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/exception.h"
#include "imaging/data_stream.h"

namespace vistrel::test {

// The message number the reader ended in, 0 when it loaded. Whatever it throws must be an image
// format error, and message 1 must be the format's own text.
template <typename Reader>
int LoadMessage(Reader& reader, const std::string& bytes, const std::string& invalid_text) {
  std::unique_ptr<MemoryStream> stream = CreateMemoryStream();
  stream->Assign(bytes.data(), bytes.size());
  try {
    reader.LoadFromStream(*stream);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Kind(), kGraphicErrorKind);
    if (e.Code() == 1) {
      EXPECT_EQ(e.Message(), invalid_text);
    }
    return static_cast<int>(e.Code());
  }
  return 0;
}

}  // namespace vistrel::test
