// Putting one picture on the desktop: decode, write the wallpaper BMP, record the style, tell the
// system. The system comes through the platform's interfaces, so the decisions are tested
// without Windows.
#pragma once

#include <cstdint>
#include <string>

#include "common/shared_names.h"
#include "imaging/raster_bitmap.h"
#include "platform/desktop.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"

namespace vistrel {

// Where the style goes: values of the current user's desktop key, which is never created.
constexpr const char kDesktopKey[] = "Control Panel\\Desktop";
constexpr const char kWallpaperStyleValue[] = "WallpaperStyle";
constexpr const char kTileWallpaperValue[] = "TileWallpaper";

// What applying needs of the system; nothing owned.
struct ApplierServices {
  Desktop& desktop;
  UserRegistry& registry;
  MessageBoxes& message_boxes;  // the boxes have no owner
};

// Writes the bitmap as the wallpaper BMP through a temporary file renamed over the target, so a
// failed write never leaves a broken wallpaper file. False when nothing was replaced.
bool WriteWallpaperFile(TRasterBitmap& bitmap, const std::string& wallpaper_file);

// What became of a picture that was to be written as the wallpaper file.
enum class WallpaperWrite : std::uint8_t { kWritten, kNoPicture, kWriteFailed };

// DecodeImageFile followed by WriteWallpaperFile: the same file and the same outcome (kNoPicture
// for an empty picture; a reader's Exception passes through). A BMP whose rows the writer keeps
// as they are stored is copied a piece at a time instead of being held whole.
WallpaperWrite WritePictureFile(const std::string& path, const std::string& wallpaper_file);

// "Cannot write \"<path>\": <reason>": a file the programs could not write, for a box.
std::string CannotWriteText(const std::string& path, const std::string& reason);

// Does nothing for a missing file, an extension without a reader or an empty picture; a reader's
// Exception for a damaged file passes through with nothing changed. A wallpaper file that cannot
// be written is reported in an error box, and the registry and the desktop stay as they were.
void ApplyWallpaper(const std::string& path, char style_letter, const std::string& wallpaper_file,
                    const ApplierServices& services);

}  // namespace vistrel
