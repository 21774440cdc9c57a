// Run-length decoding of BI_RLE8 and BI_RLE4 pixel data into uncompressed DIB rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Decodes into `rows` (height rows of row_size bytes, bottom-up as in the file, zero-filled by
// the caller: pixels the data skips stay index 0). Pixels beyond the width or height are
// dropped, and decoding ends at the end-of-bitmap code or at the end of the data, so damaged data
// gives a partial picture but never a write outside the rows. row_size must hold width pixels.
void DecodeBmpRle(const std::uint8_t* data, std::size_t size, bool rle4, std::uint32_t width,
                  std::uint32_t height, std::uint32_t row_size, std::uint8_t* rows);

}  // namespace vistrel
