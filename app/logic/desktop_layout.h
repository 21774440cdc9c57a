// The wallpaper of a desktop of several monitors: a picture of its own on each monitor, or one
// picture across all of them, composed into one bitmap of the virtual screen.
#pragma once

#include <string>
#include <vector>

#include "common/settings.h"
#include "imaging/desktop_composition.h"
#include "imaging/raster_bitmap.h"

namespace vistrel {

// A list entry as dealt: its style letter and picture.
struct DealtPicture {
  char style_letter = '1';
  std::string path;
};

// The picture's upright size from its header alone (EXIF orientation counted); 0 x 0 when the
// header cannot be read.
PictureSize UprightPictureSize(const std::string& path);

// The desktop bitmap for mode kEachMonitor (the pictures dealt to the monitors left to right,
// portrait pictures to portrait monitors with portrait_on_portrait) or kSpan (the first picture
// across the monitors' bounding rectangle). Each picture is rendered by its style at the size of
// what it covers; what no picture covers is black. A picture that cannot be shown (damaged,
// empty) gives its monitors to the others; empty without monitors or without a picture that can
// be shown. The last picture's Exception (or std::bad_alloc) passes through.
TRasterBitmap RenderDesktop(const std::vector<MonitorRect>& monitors, MonitorMode mode,
                            const std::vector<DealtPicture>& pictures, bool portrait_on_portrait,
                            DesktopWrap wrap);

// The two style values that make Windows show that bitmap as composed: Span ("22", "0") on
// Windows 8 and later, Tile from the primary monitor ("0", "1") on Windows 7.
struct DesktopStyleValues {
  const char* wallpaper_style;
  const char* tile_wallpaper;
};
DesktopStyleValues DesktopStyle(DesktopWrap wrap);

}  // namespace vistrel
