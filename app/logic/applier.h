// Putting one picture on the desktop: decode, write the wallpaper BMP, record the style, tell the
// system. The system comes through the platform's interfaces, so the decisions are tested
// without Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/logic/desktop_layout.h"
#include "common/apply_result.h"
#include "common/settings.h"
#include "common/shared_names.h"
#include "imaging/raster_bitmap.h"
#include "imaging/screen_render.h"
#include "platform/desktop.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"

namespace vistrel {

// Where the style goes: values of the current user's desktop key, which is never created.
constexpr const char kDesktopKey[] = "Control Panel\\Desktop";
constexpr const char kWallpaperStyleValue[] = "WallpaperStyle";
constexpr const char kTileWallpaperValue[] = "TileWallpaper";
// Windows 8 and later store the wallpaper again as a JPEG of this quality (85 when the value is
// missing). The applier sets it to 100 where it is missing, so the picture loses nothing more; a
// value that is there, of any type, is the user's and stays.
constexpr const char kJpegImportQualityValue[] = "JPEGImportQuality";
constexpr std::uint32_t kJpegImportQuality = 100;

// How long an applier waits for another one on the same folder before it gives up.
constexpr unsigned kApplierWaitMs = 60000;

// Keeps the appliers of one data folder, in every process of the session, one at a time: two
// that overlap would write the wallpaper file and the style values in turn with each other.
class ApplierLock {
 public:
  virtual ~ApplierLock() = default;
  // Waits up to timeout_ms. True once held, also when the holder ended without letting go.
  virtual bool Acquire(unsigned timeout_ms) = 0;
  virtual void Release() = 0;
};

// What applying needs of the system; nothing owned.
struct ApplierServices {
  Desktop& desktop;
  UserRegistry& registry;
  MessageBoxes& message_boxes;  // the boxes have no owner
  ApplierLock& lock;            // of the folder the wallpaper file is in
  // The agent started the applier: nobody is there to read a box, so none is shown and the
  // result alone tells what happened.
  bool quiet = false;
};

// Writes the bitmap as the wallpaper BMP through a temporary file renamed over the target, so a
// failed write never leaves a broken wallpaper file. False when nothing was replaced.
bool WriteWallpaperFile(TRasterBitmap& bitmap, const std::string& wallpaper_file);

// What became of a picture that was to be written as the wallpaper file.
enum class WallpaperWrite : std::uint8_t { kWritten, kNoPicture, kWriteFailed };

// How the wallpaper will be shown: the style letter and the primary monitor's size in physical
// pixels (unknown: 0 x 0).
struct WallpaperTarget {
  char style_letter = '1';
  ScreenSize screen;
};

// RenderImageFile followed by WriteWallpaperFile: the same file and the same outcome (kNoPicture
// for an empty picture; a reader's Exception passes through). Stretch, Fit and Fill on a known
// screen write the picture rendered at the screen's size; otherwise the picture's own pixels,
// and a BMP whose rows the writer keeps as they are stored is copied a piece at a time instead
// of being held whole.
WallpaperWrite WritePictureFile(const std::string& path, const std::string& wallpaper_file,
                                const WallpaperTarget& target = WallpaperTarget());

// The primary monitor's size as the desktop tells it; 0 x 0 when it cannot.
ScreenSize PrimaryScreen(Desktop& desktop);

// "Cannot write \"<path>\": <reason>": a file the programs could not write, for a box.
std::string CannotWriteText(const std::string& path, const std::string& reason);

// The box when another applier held the folder for the whole wait.
std::string ApplierBusyText(const std::string& path);

// Changes nothing for a missing file, an extension without a reader or an empty picture. A
// reader's Exception for a damaged file (or std::bad_alloc for a picture beyond the address
// space) passes through with nothing changed, unless quiet: then it gives kApplyExitCannotShow.
// A wallpaper file that cannot be written, a wait for another applier that runs out and a
// wallpaper the system refuses are each reported in an error box (none when quiet); the first
// two leave the registry and the desktop as they were. Holds the services' lock from the
// decoding to the wallpaper call, and lets go of it before any box.
ApplyResult ApplyWallpaper(const std::string& path, char style_letter,
                           const std::string& wallpaper_file, const ApplierServices& services);

// How the pictures cover a desktop of several monitors, as "MonitorMode" and
// "PortraitOnPortrait" say.
struct MonitorChoice {
  MonitorMode mode = MonitorMode::kOnePicture;
  bool portrait_on_portrait = defaults::kPortraitOnPortrait;
};

// ApplyWallpaper for the pictures of one change. kOnePicture and kSpan show the first picture,
// kEachMonitor deals them all to the monitors (RenderDesktop); the last two write the bitmap of
// the whole virtual screen and set Span, or Tile from the primary monitor where Windows has no
// Span (Windows 7). Pictures that are missing or of no known kind are left out; when none is
// left, the result tells of the first. Where the system tells no monitors, the first picture is
// applied as by ApplyWallpaper.
ApplyResult ApplyPictures(const std::vector<DealtPicture>& pictures, MonitorChoice choice,
                          const std::string& wallpaper_file, const ApplierServices& services);

}  // namespace vistrel
