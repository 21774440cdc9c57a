#include "imaging/jpeg_picture.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

// clang-format off
// jpeglib.h needs FILE and size_t declared before it, and jerror.h needs jpeglib.h.
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "imaging/bounded_input.h"
#include "imaging/color_profile.h"
#include "imaging/exif_orientation.h"
#include "imaging/row_pipe.h"
#include "imaging/screen_render.h"

namespace vistrel {

struct JpegDecode;

namespace {

constexpr int kQuantizedColors = 236;
constexpr int kColorTableEntries = 256;
// Loading reads the source in pieces no larger than this, whatever its Read accepts.
constexpr std::uint32_t kLoadChunk = std::uint32_t{1} << 24;

// libjpeg reaches our state through pointers to these; each starts with libjpeg's own part.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool failed;
  bool hit_marker;  // a marker inside the entropy-coded data cut a scan short
};

// libjpeg reads straight out of the bounded input's buffer.
struct StreamSource {
  jpeg_source_mgr pub;
  BoundedInput* input;
  bool start_of_file;
  bool ran_out;  // the data ended before the image: an end-of-image marker was made up
  JOCTET end_of_image[2];
};

struct ProgressManager {
  jpeg_progress_mgr pub;
  JpegDecode* decode;
};

// Fatal errors end the decode: back to the setjmp of JpegDecode::Run, never back into libjpeg
// (which would go on with broken state) and never as a C++ exception through its C frames.
void OnFatalError(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
  error->failed = true;
  std::longjmp(error->jump, 1);
}

// Warnings and messages are not shown: a damaged picture still becomes what it can. A scan cut
// short by a marker is remembered as a failure all the same.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER) {
    reinterpret_cast<ErrorManager*>(cinfo->err)->hit_marker = true;
  }
}
void OnOutputMessage(j_common_ptr) {}
void OnFormatMessage(j_common_ptr, char* buffer) {
  buffer[0] = '\0';
}
void OnResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->msg_code = 0;
  cinfo->err->num_warnings = 0;
}

// The next piece of the input, in place; none at its end.
const std::uint8_t* TakeQuietly(BoundedInput& input, std::size_t& count) noexcept {
  count =
      static_cast<std::size_t>(std::min<std::uint64_t>(input.Left(), BoundedInput::kBufferSize));
  try {
    const std::uint8_t* piece = count ? input.Take(count) : nullptr;
    if (!piece) count = 0;
    return piece;
  } catch (...) {
    count = 0;  // nothing may unwind through libjpeg: a failing stream is an ending stream
    return nullptr;
  }
}

void OnInitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<StreamSource*>(cinfo->src)->start_of_file = true;
}

// As libjpeg's own stdio source: an empty input is an error; data that ends early gets an
// end-of-image marker so the decoder finishes with what it has.
boolean OnFillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<StreamSource*>(cinfo->src);
  std::size_t count = 0;
  const std::uint8_t* piece = TakeQuietly(*source->input, count);
  if (count == 0) {
    if (source->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->end_of_image[0] = 0xFF;
    source->end_of_image[1] = JPEG_EOI;
    piece = source->end_of_image;
    count = 2;
    source->ran_out = true;
  }
  source->pub.next_input_byte = piece;
  source->pub.bytes_in_buffer = count;
  source->start_of_file = false;
  return TRUE;
}

void OnSkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<StreamSource*>(cinfo->src);
  while (count > static_cast<long>(source->pub.bytes_in_buffer)) {
    count -= static_cast<long>(source->pub.bytes_in_buffer);
    OnFillInputBuffer(cinfo);
  }
  source->pub.next_input_byte += count;
  source->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void OnTermSource(j_decompress_ptr) {}

[[noreturn]] void Fail(j_decompress_ptr cinfo, int code) {
  ERREXIT(cinfo, code);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);  // not reached
}

// One component's blocks across and down, before padding to whole MCUs.
struct BlockCounts {
  std::uint64_t h, v, columns, rows;
};

// Each component's blocks; empty when a sampling factor is zero. libjpeg has refused factors
// outside 1 to 4 by now, and sizes are below 2^16, so nothing here overflows.
std::vector<BlockCounts> ComponentBlocks(const jpeg_decompress_struct& cinfo) {
  std::uint64_t max_h = 1, max_v = 1;
  for (int i = 0; i < cinfo.num_components; ++i) {
    max_h = std::max<std::uint64_t>(max_h,
                                    static_cast<std::uint64_t>(cinfo.comp_info[i].h_samp_factor));
    max_v = std::max<std::uint64_t>(max_v,
                                    static_cast<std::uint64_t>(cinfo.comp_info[i].v_samp_factor));
  }
  std::vector<BlockCounts> blocks;
  for (int i = 0; i < cinfo.num_components; ++i) {
    const std::uint64_t h = static_cast<std::uint64_t>(cinfo.comp_info[i].h_samp_factor);
    const std::uint64_t v = static_cast<std::uint64_t>(cinfo.comp_info[i].v_samp_factor);
    if (h == 0 || v == 0) return {};  // refused rather than divided by
    blocks.push_back({h, v, (cinfo.image_width * h + max_h * DCTSIZE - 1) / (max_h * DCTSIZE),
                      (cinfo.image_height * v + max_v * DCTSIZE - 1) / (max_v * DCTSIZE)});
  }
  return blocks;
}

// Blocks of 64 coefficients, 2 bytes each, that libjpeg keeps for a file with several scans:
// every component's blocks, padded to whole MCUs.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
  const std::vector<BlockCounts> blocks = ComponentBlocks(cinfo);
  if (blocks.empty()) return UINT64_MAX;
  std::uint64_t total = 0;
  for (const BlockCounts& c : blocks) {
    const std::uint64_t columns = (c.columns + c.h - 1) / c.h * c.h;
    const std::uint64_t rows = (c.rows + c.v - 1) / c.v * c.v;
    total += columns * rows * DCTSIZE2 * sizeof(JCOEF);
  }
  return total;
}

// Blocks of the component with the most of them: the least the entropy-coded data must cover.
std::uint64_t LargestComponentBlocks(const jpeg_decompress_struct& cinfo) {
  std::uint64_t largest = 0;
  for (const BlockCounts& c : ComponentBlocks(cinfo))
    largest = std::max(largest, c.columns * c.rows);
  return largest;
}

// Bytes per pixel of the bitmap a decode makes.
std::uint64_t OutputBytesPerPixel(const jpeg_decompress_struct& cinfo, bool raw_cmyk) {
  if (cinfo.jpeg_color_space == JCS_GRAYSCALE) return 1;
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
    return raw_cmyk ? 4 : 3;
  return 3;
}

// The APP1 segments libjpeg kept, and the orientation the first EXIF one among them gives.
struct SavedExif {
  std::uint64_t saved_bytes = 0;
  TExifOrientation orientation = TExifOrientation::kNormal;
};

SavedExif ReadSavedExif(const jpeg_decompress_struct& cinfo) {
  SavedExif exif;
  bool found = false;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    exif.saved_bytes += m->data_length;
    static constexpr char kSignature[] = "Exif\0";  // and the zero that ends the literal
    if (found || m->marker != JPEG_APP0 + 1 || m->data_length < sizeof kSignature ||
        std::memcmp(m->data, kSignature, sizeof kSignature) != 0)
      continue;
    found = true;  // only the first EXIF segment counts, broken or not
    exif.orientation = ParseExifOrientation(m->data, m->data_length);
  }
  return exif;
}

// The ICC profile of the APP2 segments libjpeg kept; empty when there is none or it is broken.
std::vector<std::uint8_t> ReadSavedProfile(const jpeg_decompress_struct& cinfo) {
  std::vector<SegmentPayload> segments;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 2) segments.push_back({m->data, m->data_length});
  }
  return JoinIccSegments(segments);
}

// data_left: the bytes after the headers, where the entropy-coded data lies. Leaves in budget
// what the decode holds.
bool WithinLimits(const jpeg_decompress_struct& cinfo, bool multiple_scans, bool raw_cmyk,
                  const SavedExif& exif, std::uint64_t file_bytes, std::uint64_t data_left,
                  MemoryBudget& budget) {
  if (!cinfo.arith_code && LargestComponentBlocks(cinfo) / kMinJpegBlocksPerByte > data_left)
    return false;
  std::uint32_t row = 0;
  const std::uint64_t bytes = OutputBytesPerPixel(cinfo, raw_cmyk);
  if (!DibRowSize(cinfo.image_width, static_cast<std::uint32_t>(8 * bytes), row)) return false;
  // A quarter turn runs after libjpeg's memory is gone, with the decoded bitmap and its turned
  // copy held at once.
  if (SwapsSides(exif.orientation)) {
    MemoryBudget turn;
    if (!turn.Add(row, cinfo.image_height).Add(row, cinfo.image_height).Add(file_bytes).Fits())
      return false;
  }
  budget.Add(row, cinfo.image_height).Add(file_bytes).Add(exif.saved_bytes);
  // libjpeg's own rows: a band of MCU rows of every component, and one converted row.
  budget.Add(std::uint64_t{cinfo.image_width} * 4, 2 * 4 * DCTSIZE * 4);
  if (multiple_scans) {
    const std::uint64_t coefficients = CoefficientBytes(cinfo);
    if (coefficients == UINT64_MAX) return false;
    budget.Add(coefficients);
  }
  return budget.Fits();
}

std::int32_t ScaledSize(std::int32_t size, std::uint8_t shift) {
  // The output size libjpeg computes for scale 1 / 2^shift: rounded up.
  return static_cast<std::int32_t>((static_cast<std::int64_t>(size) + (1 << shift) - 1) >> shift);
}

}  // namespace

// One libjpeg decompressor with our managers, and the state of one header read or decode. Run's
// long jump passes over libjpeg's frames and the step functions below, so these hold nothing
// that needs a destructor while libjpeg runs; everything that survives the jump lives here.
struct JpegDecode {
  jpeg_decompress_struct cinfo{};
  ErrorManager error{};
  BoundedInput input;  // the whole stream, from its start
  StreamSource source{};
  ProgressManager progress{};
  TJpegPicture* picture;            // not owned; null for the header read of a load
  TRasterBitmap* bitmap = nullptr;  // not owned: the picture's
  bool created = false;
  bool multiple_scans = false;
  bool palette_set = false;
  bool finished = false;
  bool convert_cmyk = false;          // four components become blue, green, red through cmyk_row
  bool inverted_cmyk = false;         // Adobe files store 255 for no ink
  JSAMPLE* cmyk_row = nullptr;        // not owned: one row of four components
  std::vector<std::uint8_t> profile;  // the file's ICC profile, until its transform is made
  std::unique_ptr<ColorTransform> color;  // from the profile to sRGB, for every row made
  // Converts the bitmap's rows with `color` on a second thread, a few rows behind the decoder.
  std::unique_ptr<TRowWorker> color_worker;
  bool streaming = false;       // rows go to the sink, not into the bitmap
  TRowSink* sink = nullptr;     // not owned: takes the rows instead of the bitmap
  JSAMPLE* sink_row = nullptr;  // not owned: one row of what the sink takes
  // Not owned: where libjpeg writes a row that CMYK or a grey profile turns into sink_row; null
  // when it writes into sink_row itself.
  JSAMPLE* source_row = nullptr;
  JDIMENSION rows_made = 0;  // the most rows any pass has written
  TExifOrientation orientation = TExifOrientation::kNormal;
  J_DCT_METHOD kept_dct_method = JDCT_ISLOW;
  boolean kept_two_pass_quantize = FALSE;
  J_DITHER_MODE kept_dither_mode = JDITHER_NONE;

  JpegDecode(TDataStream& stream, TJpegPicture* owner) : input(FromStart(stream)), picture(owner) {
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = OnFatalError;
    error.pub.emit_message = OnEmitMessage;
    error.pub.output_message = OnOutputMessage;
    error.pub.format_message = OnFormatMessage;
    error.pub.reset_error_mgr = OnResetErrorManager;
    source.pub.init_source = OnInitSource;
    source.pub.fill_input_buffer = OnFillInputBuffer;
    source.pub.skip_input_data = OnSkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = OnTermSource;
    source.input = &input;
    progress.pub.progress_monitor = OnProgress;
    progress.decode = this;
  }
  JpegDecode(const JpegDecode&) = delete;
  JpegDecode& operator=(const JpegDecode&) = delete;
  ~JpegDecode() {
    // The structure starts zeroed, so this is safe even when creating it failed halfway.
    if (created) jpeg_destroy_decompress(&cinfo);
  }

  static TDataStream& FromStart(TDataStream& stream) {
    stream.SetPosition(0);
    return stream;
  }

  // Runs one step; false when libjpeg met a fatal error inside it.
  bool Run(void (*step)(JpegDecode&)) {
    if (setjmp(error.jump) != 0) return false;
    step(*this);
    return true;
  }

  static void ReadHeader(JpegDecode& d) {
    d.created = true;
    jpeg_create_decompress(&d.cinfo);
    if (d.picture) d.cinfo.progress = &d.progress.pub;
    d.cinfo.src = &d.source.pub;
    // Every APP1 segment is kept whole (a segment holds at most 64 KiB), and for a decode every
    // APP2 segment (the colour profile): together no more than the file, and counted in the
    // budget below.
    jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (d.picture) jpeg_save_markers(&d.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&d.cinfo, TRUE);
    d.multiple_scans = jpeg_has_multiple_scans(&d.cinfo) != FALSE;
    const SavedExif exif = ReadSavedExif(d.cinfo);
    d.orientation = exif.orientation;
    const std::int64_t size = d.input.Size();
    const std::int64_t consumed =
        d.input.Position() - static_cast<std::int64_t>(d.source.pub.bytes_in_buffer);
    const std::uint64_t left = size > consumed ? static_cast<std::uint64_t>(size - consumed) : 0;
    const bool raw_cmyk = d.picture != nullptr && d.picture->cmyk_hook_ != nullptr;
    MemoryBudget budget;
    if (!WithinLimits(d.cinfo, d.multiple_scans, raw_cmyk, exif, static_cast<std::uint64_t>(size),
                      left, budget)) {
      Fail(&d.cinfo, JERR_IMAGE_TOO_BIG);
    }
    // A profile the budget has no room for is not used: the picture is shown as stored.
    if (d.picture && !raw_cmyk) {
      d.profile = ReadSavedProfile(d.cinfo);
      if (!AddColorProfile(budget, d.profile.size()).Fits()) d.profile.clear();
    }
  }

  static void SetUp(JpegDecode& d) {
    ReadHeader(d);
    const TJpegPicture& p = *d.picture;
    jpeg_decompress_struct& c = d.cinfo;
    c.scale_num = 1;
    c.scale_denom = 1u << p.scale_shift_;
    c.do_block_smoothing = p.smooth_blocks_ ? TRUE : FALSE;
    if (p.force_gray_) c.out_color_space = JCS_GRAYSCALE;
    // Grayscale is always quantized, to the grey colour table of an 8-bit bitmap. Four-component
    // output is never quantized: a colour table cannot hold CMYK.
    // A sink takes grey rows as they are, all 256 levels.
    if (!d.streaming && (c.out_color_space == JCS_GRAYSCALE ||
                         (p.quantize_to_8bit_ && c.out_color_space == JCS_RGB))) {
      c.quantize_colors = TRUE;
      c.desired_number_of_colors = kQuantizedColors;
    } else if (c.out_color_space == JCS_RGB) {
      c.out_color_space = JCS_EXT_BGR;  // rows come out as rf24Bit rows
    }
    if (p.fast_decode_) {
      c.dct_method = JDCT_IFAST;
      c.two_pass_quantize = FALSE;
      c.dither_mode = JDITHER_ORDERED;
    }
    d.kept_dct_method = c.dct_method;
    d.kept_two_pass_quantize = c.two_pass_quantize;
    d.kept_dither_mode = c.dither_mode;
    if (p.show_progressive_ && d.multiple_scans && !d.streaming) {
      // Quick passes while scans arrive; the final pass goes back to the settings above.
      c.enable_2pass_quant = c.two_pass_quantize;
      c.dct_method = JDCT_IFAST;
      c.two_pass_quantize = FALSE;
      c.dither_mode = JDITHER_ORDERED;
      c.buffered_image = TRUE;
    }
  }

  static void Decode(JpegDecode& d) {
    jpeg_decompress_struct& c = d.cinfo;
    jpeg_start_decompress(&c);
    FitBitmap(d);
    StartColorWorker(d);
    if (c.buffered_image) {
      for (;;) {
        int result = jpeg_consume_input(&c);
        if (c.input_scan_number > kMaxJpegScans) Fail(&c, JERR_BAD_PROGRESSION);
        if (result == JPEG_REACHED_EOI) break;
        if (result != JPEG_SCAN_COMPLETED) continue;  // one display pass per scan
        jpeg_start_output(&c, c.input_scan_number);
        if (d.picture->cancel_requested_) return;
        if (!d.palette_set) SetPalette(d);
        ReadAllRows(d);
        jpeg_finish_output(&c);
      }
      c.dct_method = d.kept_dct_method;
      c.dither_mode = d.kept_dither_mode;
      if (d.kept_two_pass_quantize) {
        c.two_pass_quantize = TRUE;
        c.colormap = nullptr;  // the final pass chooses its colours afresh
      }
      jpeg_start_output(&c, c.input_scan_number);
    }
    // A one-pass quantizer keeps its colour table, so a progressive display set it already.
    if (!c.buffered_image || d.kept_two_pass_quantize || !d.palette_set) SetPalette(d);
    ReadAllRows(d);
    if (c.buffered_image) jpeg_finish_output(&c);
    jpeg_finish_decompress(&c);
    d.finished = true;
  }

  static void CalculateOutput(JpegDecode& d) { jpeg_calc_output_dimensions(&d.cinfo); }

  // Every row, in order, to the sink: one row of the sink's layout at a time.
  static void Stream(JpegDecode& d) {
    jpeg_decompress_struct& c = d.cinfo;
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
      JSAMPROW row = d.source_row ? d.source_row : d.sink_row;
      if (jpeg_read_scanlines(&c, &row, 1) != 1) return;
      if (d.color) {
        d.color->Convert(row, d.sink_row, c.output_width);
      } else if (d.convert_cmyk) {
        CmykToBgr(row, c.output_width, d.inverted_cmyk, d.sink_row);
      }
      d.sink->PutRow(d.sink_row);
      d.rows_made = c.output_scanline;
    }
    jpeg_finish_decompress(&c);
    d.finished = true;
  }

  // The bitmap was made for the size and format libjpeg was asked for; anything else (a file
  // with an unusual component count) must not be written into its rows.
  static void FitBitmap(JpegDecode& d) {
    jpeg_decompress_struct& c = d.cinfo;
    TRasterBitmap& bitmap = *d.bitmap;
    auto width = static_cast<std::int32_t>(c.output_width);
    auto height = static_cast<std::int32_t>(c.output_height);
    if (bitmap.Width() != width) bitmap.SetWidth(width);
    if (bitmap.Height() != height) bitmap.SetHeight(height);
    std::uint64_t row_bytes =
        std::uint64_t{c.output_width} * static_cast<std::uint64_t>(c.output_components);
    const int bits =
        d.convert_cmyk ? (c.output_components == 4 ? 24 : -1) : 8 * c.output_components;
    if (d.convert_cmyk) row_bytes = std::uint64_t{c.output_width} * 3;
    if (bitmap.Width() != width || bitmap.Height() != height ||
        BitsForFormat(bitmap.GetFormat()) != bits || row_bytes > bitmap.ScanLineSize()) {
      Fail(&c, JERR_CONVERSION_NOTIMPL);
    }
  }

  // When every row is decoded once, as it is stored (no display passes, no colour table, no
  // CMYK), the profile's conversion runs beside the decoder.
  static void StartColorWorker(JpegDecode& d) {
    const jpeg_decompress_struct& c = d.cinfo;
    if (!d.color || c.quantize_colors || d.convert_cmyk || c.buffered_image) return;
    TRasterBitmap& bitmap = *d.bitmap;
    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(bitmap.Height()));
    for (std::size_t y = 0; y < rows.size(); ++y)
      rows[y] = bitmap.ScanLine(static_cast<std::int32_t>(y));
    const ColorTransform* color = d.color.get();
    const JDIMENSION width = c.output_width;
    d.color_worker = std::make_unique<TRowWorker>(
        [rows = std::move(rows), color, width](std::int32_t first, std::int32_t end) {
          for (auto y = static_cast<std::size_t>(first); y < static_cast<std::size_t>(end); ++y)
            color->Convert(rows[y], rows[y], width);
        });
  }

  static void ReadAllRows(JpegDecode& d) {
    jpeg_decompress_struct& c = d.cinfo;
    while (c.output_scanline < c.output_height) {
      std::uint8_t* target = d.bitmap->ScanLine(static_cast<std::int32_t>(c.output_scanline));
      JSAMPROW row = d.convert_cmyk ? d.cmyk_row : target;
      if (target == nullptr || jpeg_read_scanlines(&c, &row, 1) != 1) return;
      // Quantized rows are indices: their colour table was converted instead.
      if (d.color_worker) {
        d.color_worker->RowsReady(static_cast<std::int32_t>(c.output_scanline));
      } else if (d.color && !c.quantize_colors) {
        d.color->Convert(row, target, c.output_width);
      } else if (d.convert_cmyk) {
        CmykToBgr(d.cmyk_row, c.output_width, d.inverted_cmyk, target);
      }
      d.rows_made = std::max(d.rows_made, c.output_scanline);
    }
  }

  // Ink of cyan, magenta, yellow and black to light: (255 - C) (255 - K) / 255 for red, and so
  // on, rounded. Adobe files store every component inverted (255 - ink), as their writers do.
  static void CmykToBgr(const JSAMPLE* in, JDIMENSION count, bool inverted, std::uint8_t* out) {
    for (JDIMENSION x = 0; x < count; ++x, in += 4, out += 3) {
      unsigned k = inverted ? in[3] : 255u - in[3];
      for (int i = 0; i < 3; ++i) {
        unsigned v = inverted ? in[i] : 255u - in[i];
        out[2 - i] = static_cast<std::uint8_t>((v * k + 127) / 255);
      }
    }
  }

  static void SetPalette(JpegDecode& d) {
    jpeg_decompress_struct& c = d.cinfo;
    if (!c.quantize_colors || c.colormap == nullptr) return;
    int count = std::min(c.actual_number_of_colors, kColorTableEntries);
    for (int i = 0; i < kColorTableEntries; ++i) {
      std::uint32_t entry = 0;  // entries beyond the colormap are black
      if (i < count && c.out_color_components == 1) {
        entry = std::uint32_t{c.colormap[0][i]} * 0x010101u;
      } else if (i < count && c.out_color_components >= 3) {
        entry = std::uint32_t{c.colormap[0][i]} << 16 | std::uint32_t{c.colormap[1][i]} << 8 |
                std::uint32_t{c.colormap[2][i]};
      }
      d.bitmap->SetPaletteEntry(i, entry);
    }
    if (d.color) d.color->ConvertColorTable(*d.bitmap);
    d.palette_set = true;
  }

  static void OnProgress(j_common_ptr common) {
    JpegDecode& d = *reinterpret_cast<ProgressManager*>(common->progress)->decode;
    if (d.cinfo.input_scan_number > kMaxJpegScans) Fail(&d.cinfo, JERR_BAD_PROGRESSION);
    if (!CallMonitorHook(d)) Fail(&d.cinfo, JERR_BAD_PROGRESSION);
  }

  // False when the hook threw: the exception ends here, and the decode with it.
  static bool CallMonitorHook(JpegDecode& d) noexcept {
    TJpegPicture& p = *d.picture;
    if (!p.monitor_hook_) return true;
    const jpeg_progress_mgr& m = d.progress.pub;
    JpegProgress progress{m.pass_counter, m.pass_limit, m.completed_passes, m.total_passes,
                          d.cinfo.input_scan_number};
    try {
      p.monitor_hook_(p, progress);
    } catch (...) {
      return false;
    }
    return true;
  }
};

namespace {

// The transform for the rows or colour table the decode makes: none without a usable profile,
// and none for CMYK components handed raw to a hook.
std::unique_ptr<ColorTransform> ProfileTransform(const jpeg_decompress_struct& c,
                                                 const std::vector<std::uint8_t>& profile,
                                                 bool convert_cmyk, bool inverted_cmyk) {
  if (profile.empty()) return nullptr;
  if (convert_cmyk) {
    return ColorTransform::Create(profile,
                                  inverted_cmyk ? PixelLayout::kInvertedCmyk : PixelLayout::kCmyk);
  }
  if (c.quantize_colors) {
    return ColorTransform::Create(
        profile, c.out_color_space == JCS_GRAYSCALE ? PixelLayout::kGray : PixelLayout::kBgr);
  }
  if (c.out_color_space == JCS_EXT_BGR) return ColorTransform::Create(profile, PixelLayout::kBgr);
  return nullptr;
}

}  // namespace

TJpegPicture::TJpegPicture() = default;
TJpegPicture::~TJpegPicture() = default;

bool TJpegPicture::LoadFromFile(const std::string& path) {
  Clear();
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  if (stream->Size() > 0) LoadFromStream(*stream);
  return !IsEmpty();
}

void TJpegPicture::LoadFromStream(TDataStream& stream) {
  decode_failed_ = false;
  std::int64_t count = std::max<std::int64_t>(stream.Size() - stream.Position(), 0);
  data_ = TJpegData();
  bitmap_.reset();
  decoded_nothing_ = false;
  is_progressive_ = false;
  // The whole file is held in memory: one beyond the budget is no picture to this program.
  if (static_cast<std::uint64_t>(count) > kPictureMemoryBudget) count = 0;
  try {
    MemoryStream& bytes = *data_.bytes;
    bytes.SetSize(count);
    std::uint8_t* memory = count == bytes.Size() ? bytes.Memory() : nullptr;
    std::int64_t stored = 0;
    while (memory != nullptr && stored < count) {
      auto piece = static_cast<std::uint32_t>(std::min<std::int64_t>(count - stored, kLoadChunk));
      std::uint32_t moved = stream.Read(memory + stored, piece);
      if (moved == 0) break;
      stored += moved;
    }
    bytes.SetSize(stored);
    if (stored > 0) ReadHeaderFrom(bytes);
  } catch (const std::bad_alloc&) {
    data_ = TJpegData();  // no memory for the file: an empty picture
  } catch (...) {
    data_ = TJpegData();
    throw;
  }
  RaiseOnChange();
}

void TJpegPicture::ReadHeaderFrom(TDataStream& source) {
  auto header = std::make_unique<JpegDecode>(source, nullptr);
  if (header->Run(JpegDecode::ReadHeader)) {
    data_.width = static_cast<std::int32_t>(header->cinfo.image_width);
    data_.height = static_cast<std::int32_t>(header->cinfo.image_height);
    data_.grayscale = header->cinfo.jpeg_color_space == JCS_GRAYSCALE;
    data_.orientation = header->orientation;
    is_progressive_ = header->multiple_scans;
  }
}

bool TJpegPicture::OpenFile(TDataStream& file) {
  Clear();
  decode_failed_ = false;
  is_progressive_ = false;
  const std::int64_t size = file.Size();
  // The limits of a file held in memory hold here too, so the same files make pictures.
  if (size > 0 && static_cast<std::uint64_t>(size) <= kPictureMemoryBudget) {
    try {
      ReadHeaderFrom(file);
    } catch (const std::bad_alloc&) {
      data_ = TJpegData();
    } catch (...) {
      data_ = TJpegData();
      throw;
    }
  }
  RaiseOnChange();
  return !IsEmpty();
}

TRasterBitmap TJpegPicture::DecodeOpened(TDataStream& file) {
  TRasterBitmap bitmap;
  file_ = &file;
  TRasterBitmap* decoded = Bitmap();
  file_ = nullptr;
  if (decoded) bitmap = std::move(*decoded);
  Clear();
  return bitmap;
}

TRasterBitmap TJpegPicture::DecodeFile(const std::string& path) {
  std::unique_ptr<TDataStream> file = OpenReadFileStream(path);
  if (!OpenFile(*file)) return TRasterBitmap();
  return DecodeOpened(*file);
}

TRasterBitmap TJpegPicture::RenderFile(const std::string& path, char style_letter,
                                       ScreenSize screen) {
  std::unique_ptr<TDataStream> file = OpenReadFileStream(path);
  if (!OpenFile(*file)) return TRasterBitmap();
  ResampleGeometry geometry;
  if (!ScreenGeometry(style_letter, Width(), Height(), screen, geometry))
    return DecodeOpened(*file);
  TRasterBitmap bitmap;
  const std::uint8_t kept_shift = scale_shift_;
  scale_shift_ =
      ScreenScaleShift(data_.width, data_.height, StoredGeometry(geometry, data_.orientation));
  try {
    bitmap = Render(*file, geometry);
  } catch (const std::bad_alloc&) {
    bitmap = TRasterBitmap();  // no memory for it: no picture, as for a decode
    decode_failed_ = true;
  }
  scale_shift_ = kept_shift;
  Clear();
  return bitmap;
}

std::uint8_t ScreenScaleShift(std::int32_t width, std::int32_t height,
                              const ResampleGeometry& stored) {
  std::uint8_t shift = 0;
  while (shift < 3 && (std::int64_t{width} >> (shift + 1)) >= stored.scaled_width &&
         (std::int64_t{height} >> (shift + 1)) >= stored.scaled_height)
    ++shift;
  return shift;
}

TRasterBitmap TJpegPicture::Render(TDataStream& file, const ResampleGeometry& geometry) {
  auto decode = std::make_unique<JpegDecode>(file, this);
  std::unique_ptr<ColorTransform> screen_color;  // outlives the renderer, which applies it
  std::unique_ptr<TScreenRenderer> renderer;
  decode->streaming = true;
  if (!decode->Run(JpegDecode::SetUp) || !decode->Run(JpegDecode::CalculateOutput)) {
    decode_failed_ = true;
    return TRasterBitmap();
  }
  const jpeg_decompress_struct& c = decode->cinfo;
  const bool cmyk = c.out_color_space == JCS_CMYK || c.out_color_space == JCS_YCCK;
  int channels = c.out_color_space == JCS_GRAYSCALE ? 1 : 3;
  // Anything else (an unusual component count) must not be written into rows of that layout.
  if (c.out_color_components != (cmyk ? 4 : channels)) {
    decode_failed_ = true;
    return TRasterBitmap();
  }
  decode->convert_cmyk = cmyk;
  decode->inverted_cmyk = c.saw_Adobe_marker != FALSE;
  // Grey rows are not quantized here, so a grey profile turns them into colour rows.
  decode->color = channels == 1 && !decode->profile.empty()
                      ? ColorTransform::Create(decode->profile, PixelLayout::kGray)
                      : ProfileTransform(c, decode->profile, cmyk, decode->inverted_cmyk);
  std::vector<std::uint8_t>().swap(decode->profile);  // the transform keeps what it needs
  const bool grey_to_color = channels == 1 && decode->color;
  if (grey_to_color) channels = 3;
  // Colour rows are converted by the renderer, beside the decoder; CMYK and grey rows here.
  if (decode->color && !cmyk && !grey_to_color) screen_color = std::move(decode->color);
  const auto width = static_cast<std::int32_t>(c.output_width);
  const auto height = static_cast<std::int32_t>(c.output_height);
  renderer = std::make_unique<TScreenRenderer>(width, height, data_.orientation, geometry, channels,
                                               screen_color.get());
  std::vector<JSAMPLE> source_row(cmyk            ? std::size_t{c.output_width} * 4
                                  : grey_to_color ? std::size_t{c.output_width}
                                                  : 0);
  std::vector<JSAMPLE> row(std::size_t{c.output_width} * static_cast<std::size_t>(channels));
  decode->cmyk_row = source_row.data();
  decode->source_row = source_row.empty() ? nullptr : source_row.data();
  decode->sink_row = row.data();
  decode->sink = renderer.get();
  decode->Run(JpegDecode::Stream);
  decode_failed_ = decode->error.failed || !decode->finished || decode->source.ran_out ||
                   decode->error.hit_marker || decode->rows_made == 0;
  if (decode->rows_made == 0) return TRasterBitmap();
  decode.reset();  // libjpeg's memory goes before the result is turned
  return renderer->Finish();
}

std::int32_t TJpegPicture::Width() const {
  if (bitmap_) return bitmap_->Width();
  return ScaledSize(SwapsSides(data_.orientation) ? data_.height : data_.width, scale_shift_);
}

std::int32_t TJpegPicture::Height() const {
  if (bitmap_) return bitmap_->Height();
  return ScaledSize(SwapsSides(data_.orientation) ? data_.width : data_.height, scale_shift_);
}

TRasterBitmap* TJpegPicture::Bitmap() {
  if (bitmap_) return bitmap_.get();
  if (IsEmpty() || decoded_nothing_) return nullptr;
  cancel_requested_ = false;
  try {
    return Decode();
  } catch (const std::bad_alloc&) {
    // Our own allocations (libjpeg's end in its error manager): no picture rather than a crash.
    bitmap_.reset();
    decode_failed_ = true;
    decoded_nothing_ = true;
    return nullptr;
  }
}

TRasterBitmap* TJpegPicture::Decode() {
  auto decode = std::make_unique<JpegDecode>(file_ ? *file_ : *data_.bytes, this);
  if (!decode->Run(JpegDecode::SetUp)) {
    decode_failed_ = true;
    return nullptr;
  }
  const jpeg_decompress_struct& c = decode->cinfo;
  bool cmyk = c.out_color_space == JCS_CMYK || c.out_color_space == JCS_YCCK;
  decode->convert_cmyk = cmyk && !cmyk_hook_;
  decode->inverted_cmyk = c.saw_Adobe_marker != FALSE;
  TRasterFormat format = c.quantize_colors               ? TRasterFormat::rf8Bit
                         : cmyk && !decode->convert_cmyk ? TRasterFormat::rf32Bit
                                                         : TRasterFormat::rf24Bit;
  std::vector<JSAMPLE> cmyk_row(decode->convert_cmyk ? std::size_t{c.image_width} * 4 : 0);
  decode->cmyk_row = cmyk_row.data();
  decode->color = ProfileTransform(c, decode->profile, decode->convert_cmyk, decode->inverted_cmyk);
  std::vector<std::uint8_t>().swap(decode->profile);  // the transform keeps what it needs
  // Rows are decoded as stored and turned upright afterwards.
  bitmap_ = std::make_unique<TRasterBitmap>(TRasterBitmap::CreateDibBitmap(
      ScaledSize(data_.width, scale_shift_), ScaledSize(data_.height, scale_shift_), format));
  decode->bitmap = bitmap_.get();
  // Whatever a hook throws is dropped: the caller still gets the bitmap as far as it got.
  try {
    if (progress_hook_) progress_hook_(*this, ProgressRect{0, 0, 0, 0});
    decode->Run(JpegDecode::Decode);
  } catch (...) {
  }
  if (decode->color_worker) decode->color_worker->Finish();
  // A decode that stopped before its first row (no quantisation table, say) made no picture:
  // the zero-filled bitmap must not pass for one.
  if (decode->rows_made == 0) {
    bitmap_.reset();
    decoded_nothing_ = true;
  }
  decode_failed_ = decode->error.failed || !decode->finished || decode->source.ran_out ||
                   decode->error.hit_marker || decode->rows_made == 0;
  const bool palette_set = decode->palette_set;
  // libjpeg's memory goes before a quarter turn takes its second bitmap.
  decode.reset();
  if (bitmap_) OrientBitmap(*bitmap_, data_.orientation);
  try {
    if (progress_hook_) progress_hook_(*this, ProgressRect{0, 0, Width(), Height()});
    if (palette_set) RaiseOnChange();
    if (cmyk && cmyk_hook_ && bitmap_) cmyk_hook_(*bitmap_);
  } catch (...) {
  }
  return bitmap_.get();
}

void TJpegPicture::Clear() {
  bitmap_.reset();
  decoded_nothing_ = false;
  data_ = TJpegData();
}

void TJpegPicture::RaiseOnChange() {
  if (on_change_) on_change_(*this);
}

}  // namespace vistrel
