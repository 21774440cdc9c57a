// Lanczos resampling of 8-bit rows that arrive one at a time, so that a picture is shrunk while
// it is decoded and never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

// Where finished rows go, top to bottom, each of the width and channels agreed beforehand.
class TRowSink {
 public:
  virtual ~TRowSink() = default;
  virtual void PutRow(const std::uint8_t* row) = 0;
  // Where the next row may be built so that PutRow takes it without a copy (the same place
  // until that PutRow), or null.
  virtual std::uint8_t* NextRow() { return nullptr; }
};

// The part of the resampled picture that is kept: columns [left, left + width) and rows
// [top, top + height) of a picture resampled to scaled_width x scaled_height.
struct ResampleGeometry {
  std::int32_t scaled_width = 0;
  std::int32_t scaled_height = 0;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Sides beyond this are refused: far beyond any picture or screen, and small enough that no
// product of two sides and a channel count overflows 64 bits.
constexpr std::int32_t kMaxResampleSide = 1 << 24;

// Separable Lanczos (a = 3) with the kernel widened by the scale factor when shrinking, in the
// fixed-point arithmetic of Pillow's Image.resize(..., LANCZOS): 22-bit weights, a horizontal
// pass that rounds (and clips) to 8 bits, then a vertical one; or the other way round, which is
// Pillow's order for a picture that is turned a quarter afterwards. Every channel is filtered on
// its own; a
// fourth one (alpha) is not premultiplied, because Windows shows the colour bytes of a 32-bit
// BMP as they are. Rows go in through PutRow in order; output rows reach the sink as soon as
// the input rows they need have arrived. Only the rows under the vertical kernel are kept.
class TLanczosResampler : public TRowSink {
 public:
  // channels 1 to 4; down_first: the vertical pass first. Throws std::bad_alloc when the sizes
  // are out of range or the tables and rows would pass the memory budget.
  TLanczosResampler(std::int32_t source_width, std::int32_t source_height,
                    const ResampleGeometry& geometry, int channels, TRowSink& out,
                    bool down_first = false);

  // What such a resampler allocates; UINT64_MAX for sizes it refuses.
  static std::uint64_t MemoryNeeded(std::int32_t source_width, std::int32_t source_height,
                                    const ResampleGeometry& geometry, int channels);

  // Rows beyond the source height are ignored.
  void PutRow(const std::uint8_t* row) override;
  // Source rows taken so far.
  std::int32_t RowsTaken() const { return rows_in_; }
  bool Finished() const { return rows_out_ == geometry_.height; }

  // Where each output sample's window starts, how long it is, and its weights (22-bit fixed
  // point, each window's weights summing to about 1 << 22).
  struct Kernel {
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> count;
    std::vector<std::int32_t> weights;  // `size` per output sample
    std::int32_t size = 0;
  };
  static Kernel MakeKernel(std::int32_t source, std::int32_t scaled, std::int32_t offset,
                           std::int32_t count);

 private:
  void Horizontal(const std::uint8_t* in, std::uint8_t* out);
  void EmitReadyRows();

  ResampleGeometry geometry_;
  int channels_;
  TRowSink& out_;  // not owned
  std::int32_t source_height_;
  bool down_first_;
  bool copy_columns_ = false;  // the width stays: rows pass the horizontal step unchanged
  Kernel horizontal_;
  Kernel vertical_;
  // The last ring_rows_ rows: as they came when the vertical pass is first, else after the
  // horizontal one; ring_row_ bytes each, of which the vertical pass reads [span_begin_,
  // span_end_).
  std::vector<std::uint8_t> ring_;
  std::int32_t ring_rows_ = 0;
  std::size_t ring_row_ = 0;
  std::size_t ring_stride_ = 0;            // ring_row_ and padding
  std::vector<const std::uint8_t*> rows_;  // the rows under the kernel of one output row
  std::size_t span_begin_ = 0;
  std::size_t span_end_ = 0;
  std::vector<std::int32_t> sums_;
  std::vector<std::uint8_t> middle_;  // between the passes when the vertical one is first
  std::vector<std::uint8_t> row_out_;
  // Three channels on an SSE2 processor: the horizontal weights two taps at a time, and a copy
  // of the input row with room to read past its end.
  bool sse2_ = false;
  std::size_t pairs_ = 0;
  std::vector<std::int32_t> packed_;
  std::vector<std::uint8_t> padded_;
  bool vertical_sse2_ = false;
  std::vector<std::int32_t> vertical_packed_;
  static constexpr std::size_t kRowPadding = 16;
  std::int32_t rows_in_ = 0;
  std::int32_t rows_out_ = 0;
};

}  // namespace vistrel
