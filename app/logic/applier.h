// Putting one picture on the desktop: decode, write the wallpaper BMP, record the style, tell the
// system. The desktop side sits behind DesktopHost so the decisions are tested without Windows.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/raster_bitmap.h"

namespace vistrel {

constexpr const char kWallpaperFileName[] = "vistrel_wlp.bmp";
constexpr const char kDesktopKey[] = "Control Panel\\Desktop";
constexpr const char kWallpaperStyleValue[] = "WallpaperStyle";
constexpr const char kTileWallpaperValue[] = "TileWallpaper";
constexpr const char kErrorCaption[] = "Error";

class DesktopHost {
 public:
  virtual ~DesktopHost() = default;
  virtual void SetBusyCursor(bool busy) = 0;
  // A REG_SZ value under HKEY_CURRENT_USER\Control Panel\Desktop; false when the key cannot be
  // opened (it is never created).
  virtual bool WriteDesktopValue(const char* name, const std::string& value) = 0;
  // SPI_SETDESKWALLPAPER with SPIF_UPDATEINIFILE alone.
  virtual bool SetDesktopWallpaper(const std::string& bmp_path) = 0;
  virtual void ShowErrorBox(const std::string& caption, const std::string& text) = 0;
};

// `DataDirectory` + "vistrel_wlp.bmp".
std::string WallpaperFilePath();

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
                    DesktopHost& host);

}  // namespace vistrel
