// The JPEG reader: keeps the compressed file in memory, reads its header when it is loaded and
// decodes it through libjpeg into a TRasterBitmap the first time the bitmap is asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/checked_math.h"
#include "imaging/data_stream.h"
#include "imaging/exif_orientation.h"
#include "imaging/memory_budget.h"
#include "imaging/raster_bitmap.h"
#include "imaging/screen_render.h"

namespace vistrel {

// Limits against hostile files. A file whose picture would pass the memory budget (bitmap,
// the compressed file held in memory, and for a file with several scans every DCT coefficient,
// 2 bytes per sample of every component), or whose entropy-coded data is far too small for the
// blocks its frame declares, loads as an empty picture before anything of its size is
// allocated; a decode that meets more scans than the limit below stops there, keeping what it
// has, with DecodeFailed set.
// Huffman-coded data spends at least one bit on every block (its DC code): a file with less
// than half a bit per block of its largest component is not a picture but a lying header.
// Arithmetic coding can spend far less on a flat picture, so only the budget bounds it.
constexpr std::uint64_t kMinJpegBlocksPerByte = 16;
// Scans read before a decode gives up. Encoders' progressive scripts use about 10; every scan is
// a pass over the whole image, so thousands of tiny scans would otherwise take minutes.
constexpr int kMaxJpegScans = 100;

struct ProgressRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// What libjpeg's progress monitor knows at the moment it calls MonitorHook.
struct JpegProgress {
  long pass_counter;
  long pass_limit;
  int completed_passes;
  int total_passes;
  int scan_number;  // the scan being read
};

class TJpegPicture;

// The DCT scale (as a shift: 1 / 2^shift) at which a stored picture of that size still covers
// the resampled size of the geometry in both directions; 0 to 3.
std::uint8_t ScreenScaleShift(std::int32_t width, std::int32_t height,
                              const ResampleGeometry& stored);

using JpegNotifyEvent = std::function<void(TJpegPicture& sender)>;
using JpegProgressHook = std::function<void(TJpegPicture& picture, const ProgressRect& rect)>;
using JpegMonitorHook = std::function<void(TJpegPicture& picture, const JpegProgress& progress)>;
using JpegCmykHook = std::function<void(TRasterBitmap& bitmap)>;

// The loaded file; replaced on every load.
struct TJpegData {
  std::unique_ptr<MemoryStream> bytes = CreateMemoryStream();
  std::int32_t height = 0;  // 0 when no header could be read
  std::int32_t width = 0;
  bool grayscale = false;
  TExifOrientation orientation = TExifOrientation::kNormal;  // of the first APP1 EXIF segment
};

class TJpegPicture {
 public:
  TJpegPicture();
  TJpegPicture(const TJpegPicture&) = delete;
  TJpegPicture& operator=(const TJpegPicture&) = delete;
  ~TJpegPicture();

  // Clear, then load the file when it has any bytes; true when a picture was found.
  bool LoadFromFile(const std::string& path);
  // Takes the bytes from the stream's position to its end. A stream that is not a JPEG (or is
  // beyond the limits above) leaves the picture empty; only a failed allocation throws.
  void LoadFromStream(TDataStream& stream);

  // LoadFromFile followed by Bitmap, with the bitmap handed over: the same bitmap, or an empty
  // one where the picture stays empty or Bitmap gives none. The file is decoded where it lies
  // instead of being held in memory first, and the picture keeps neither (it is left cleared;
  // DecodeFailed tells how the decode went).
  TRasterBitmap DecodeFile(const std::string& path);

  // DecodeFile as the style shows the picture on a screen of that size (ScreenGeometry): the
  // upright rf24Bit screen bitmap. A picture at least twice that size both ways is decoded at
  // the smallest DCT scale (1/2, 1/4, 1/8) still covering it, and every row goes straight into
  // the resampler, so no bitmap of the picture's size is made; grey and CMYK files too. Where
  // the style keeps the picture's own pixels (or the screen is unknown), DecodeFile's bitmap.
  TRasterBitmap RenderFile(const std::string& path, char style_letter, ScreenSize screen);

  // The decoded bitmap's size, or before decoding the header's size scaled by ScaleShift. Both
  // are the upright size: the sides are swapped for an EXIF orientation of a quarter turn.
  std::int32_t Width() const;
  std::int32_t Height() const;
  bool IsEmpty() const { return Width() == 0 || Height() == 0; }

  // Decodes on the first call. nullptr for an empty picture, and for a decode that stopped
  // before its first row (a blank bitmap would be taken for the picture), with DecodeFailed set.
  // A damaged file still gives the bitmap as far as it was decoded, with DecodeFailed set. CMYK
  // and YCCK files come out as rf24Bit colours, unless a CmykHook is set. The picture owns the
  // bitmap. Memory that cannot be found ends in an empty picture, never in std::bad_alloc.
  // The bitmap comes out as the file's EXIF orientation says it is seen (rows are decoded as
  // stored and turned at the end, so hooks called during the decode see the stored layout).
  TRasterBitmap* Bitmap();

  void Clear();

  bool SmoothBlocks() const { return smooth_blocks_; }
  void SetSmoothBlocks(bool on) { smooth_blocks_ = on; }
  bool ForceGray() const { return force_gray_; }
  void SetForceGray(bool on) { force_gray_ = on; }
  bool QuantizeTo8Bit() const { return quantize_to_8bit_; }
  void SetQuantizeTo8Bit(bool on) { quantize_to_8bit_ = on; }
  bool ShowProgressive() const { return show_progressive_; }
  void SetShowProgressive(bool on) { show_progressive_ = on; }
  bool FastDecode() const { return fast_decode_; }
  void SetFastDecode(bool on) { fast_decode_ = on; }
  std::uint8_t ScaleShift() const { return scale_shift_; }
  // 0 to 3 (full, half, quarter, eighth size); larger values mean 3.
  void SetScaleShift(std::uint8_t shift) { scale_shift_ = shift > 3 ? 3 : shift; }

  // Set by every load: the file has several scans.
  bool IsProgressive() const { return is_progressive_; }
  // The file's colour space is grayscale.
  bool IsGrayscale() const { return data_.grayscale; }

  // The last decode met a libjpeg error, ran out of data before the end of the image, met a
  // marker inside the image data, or did not run to its end.
  bool DecodeFailed() const { return decode_failed_; }

  // Cleared when a decode starts; a hook sets it to stop a progressive display between passes.
  bool CancelRequested() const { return cancel_requested_; }
  void SetCancelRequested(bool on) { cancel_requested_ = on; }

  // The hooks run inside a load or a decode of this picture: they may read it and request a
  // cancel, but must not load, clear or decode it. What they throw ends the decode quietly.
  // After a load, and after a decode that built a colour table.
  void SetOnChange(JpegNotifyEvent handler) { on_change_ = std::move(handler); }
  // At the start of a decode with (0, 0, 0, 0) and at its end with (0, 0, Width, Height).
  void SetProgressHook(JpegProgressHook hook) { progress_hook_ = std::move(hook); }
  // Called by libjpeg's progress monitor while it decodes.
  void SetMonitorHook(JpegMonitorHook hook) { monitor_hook_ = std::move(hook); }
  // Gets the bitmap after a decode of a CMYK or YCCK file. While a hook is set such files are
  // decoded into rf32Bit bitmaps that hold libjpeg's four components unchanged, for the hook to
  // turn into colours; without one they are converted to blue, green, red.
  void SetCmykHook(JpegCmykHook hook) { cmyk_hook_ = std::move(hook); }

 private:
  friend struct JpegDecode;

  void RaiseOnChange();
  // The header fields from the start of the stream; left unset when no header is found.
  void ReadHeaderFrom(TDataStream& source);
  // DecodeFile's and RenderFile's start: the picture cleared and the file's header read where
  // it lies; false when it holds no picture.
  bool OpenFile(TDataStream& file);
  // The whole picture of an opened file; the picture is cleared afterwards.
  TRasterBitmap DecodeOpened(TDataStream& file);
  TRasterBitmap* Decode();
  TRasterBitmap Render(TDataStream& file, const ResampleGeometry& geometry);

  TJpegData data_;
  std::unique_ptr<TRasterBitmap> bitmap_;
  bool smooth_blocks_ = true;
  bool force_gray_ = false;
  bool quantize_to_8bit_ = false;
  bool show_progressive_ = false;
  bool is_progressive_ = false;
  bool fast_decode_ = false;
  std::uint8_t scale_shift_ = 0;
  JpegNotifyEvent on_change_;
  bool decode_failed_ = false;
  JpegProgressHook progress_hook_;
  JpegMonitorHook monitor_hook_;
  bool cancel_requested_ = false;
  JpegCmykHook cmyk_hook_;
  bool decoded_nothing_ = false;  // the last decode made no row: Bitmap answers nullptr
  TDataStream* file_ = nullptr;   // not owned: what DecodeFile decodes instead of the data
};

}  // namespace vistrel
