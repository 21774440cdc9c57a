// One bitmap for a desktop of several monitors: a picture on each, or one across all. Windows is
// then told to show it as one piece (Span on Windows 8 and later, Tile from the primary monitor's
// corner on Windows 7), so every monitor shows exactly the pixels composed for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/raster_bitmap.h"
#include "platform/monitors.h"

namespace vistrel {

// A picture's upright size, as far as its header tells; 0 x 0 when unknown (counted as landscape).
struct PictureSize {
  std::int32_t width = 0;
  std::int32_t height = 0;

  bool IsPortrait() const { return height > width; }
};

// How the system lays a spanning bitmap out on the virtual screen.
enum class DesktopWrap : std::uint8_t {
  kSpan,             // Windows 8 and later: the bitmap's corner is the virtual screen's corner
  kTileFromPrimary,  // Windows 7: tiled from the primary monitor's corner, wrapping around
};

// The smallest rectangle holding every monitor (0 x 0 for none). Monitors without area are left
// out.
MonitorRect BoundingRect(const std::vector<MonitorRect>& monitors);

// The monitors with area, in the order pictures are dealt to them: by left edge, then by top edge.
// Identical monitors (a mirrored display) are listed once.
std::vector<MonitorRect> DealingOrder(const std::vector<MonitorRect>& monitors);

// For each monitor of `ordered`, the index into `pictures` of the picture it shows. Pictures are
// dealt in turn; with portrait_on_portrait, portrait pictures go first to portrait monitors, as
// far as both reach, and the other pictures fill the other monitors, both in their order. Fewer
// pictures than monitors are dealt again from the first.
std::vector<std::size_t> AssignPictures(const std::vector<MonitorRect>& ordered,
                                        const std::vector<PictureSize>& pictures,
                                        bool portrait_on_portrait);

// The composed desktop: black, 24 bits, the bounding rectangle's size.
class DesktopCanvas {
 public:
  // Raises std::bad_alloc when the desktop bitmap cannot be had (or exceeds the picture budget).
  explicit DesktopCanvas(const std::vector<MonitorRect>& monitors);

  const MonitorRect& Bounds() const { return bounds_; }

  // Lays `rendered` out over `area` (virtual-screen coordinates) as the style letter says, and
  // draws the part of it that falls in `clip`. Tile ('2') repeats it from area's corner; every
  // other style centres it (Stretch and Fill come at area's size already, Fit within it, Center
  // at the picture's own). 24- and 32-bit bitmaps only; others are left undrawn.
  void Place(const MonitorRect& area, const MonitorRect& clip, TRasterBitmap& rendered,
             char style_letter);

  // The finished bitmap as the system must be given it.
  TRasterBitmap Finish(DesktopWrap wrap);

 private:
  MonitorRect bounds_;
  std::int32_t primary_x_ = 0;  // the primary monitor's corner, relative to bounds_
  std::int32_t primary_y_ = 0;
  TRasterBitmap bitmap_;
};

}  // namespace vistrel
