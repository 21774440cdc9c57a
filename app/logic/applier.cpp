#include "app/logic/applier.h"

#include "app/logic/image_files.h"
#include "imaging/data_stream.h"
#include "common/settings.h"
#include "platform/files.h"

namespace vistrel {

namespace {

struct StyleValues {
  char letter;
  const char* wallpaper_style;
  const char* tile_wallpaper;
};

constexpr StyleValues kStyleValues[] = {
    {'1', "0", "0"},  // Center
    {'2', "0", "1"},  // Tile
    {'3', "2", "0"},   // Stretch
    {'4', "6", "0"},   // Fit
    {'5', "10", "0"},  // Fill
};

class BusyCursor {
 public:
  explicit BusyCursor(DesktopHost& host) : host_(host) { host_.SetBusyCursor(true); }
  ~BusyCursor() { host_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  DesktopHost& host_;
};

}  // namespace

std::string CannotWriteText(const std::string& path, const std::string& reason) {
  return "Cannot write \"" + path + "\": " + reason;
}

std::string WallpaperFilePath() { return DataDirectory() + kWallpaperFileName; }

bool WriteWallpaperFile(TRasterBitmap& bitmap, const std::string& wallpaper_file) {
  if (bitmap.IsEmpty()) return false;
  const std::string temp = wallpaper_file + ".tmp~";
  bool written = false;
  {
    std::unique_ptr<TDataStream> stream = OpenWriteFileStream(temp);
    stream->SetSize(0);
    bitmap.SaveToStream(*stream);
    // A failed write puts the position back to the start; a complete one ends at the file's end.
    std::int64_t size = stream->Size();
    written = size > 0 && stream->Position() == size;
  }
  if (written && RenameOver(temp, wallpaper_file)) return true;
  DeleteFileAt(temp);
  return false;
}

void ApplyWallpaper(const std::string& path, char style_letter, const std::string& wallpaper_file,
                    DesktopHost& host) {
  if (!FileExists(path)) return;
  {
    BusyCursor busy(host);
    TRasterBitmap bitmap = DecodeImageFile(path);
    if (bitmap.IsEmpty()) return;
    if (!WriteWallpaperFile(bitmap, wallpaper_file)) {
      host.ShowErrorBox(kErrorCaption, CannotWriteText(wallpaper_file, LastFileErrorText()) +
                                           "\nThe wallpaper was not changed.");
      return;
    }

    for (const StyleValues& style : kStyleValues) {
      if (style.letter != style_letter) continue;
      host.WriteDesktopValue(kWallpaperStyleValue, style.wallpaper_style);
      host.WriteDesktopValue(kTileWallpaperValue, style.tile_wallpaper);
    }
    if (!host.SetDesktopWallpaper(wallpaper_file))
      host.ShowErrorBox(kErrorCaption, "Unable to set " + path + " as a wallpaper.");
  }
}

}  // namespace vistrel
