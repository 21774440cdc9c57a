#include "app/logic/applier.h"

#include "app/logic/image_files.h"
#include "imaging/data_stream.h"
#include "platform/files.h"

namespace vistrel {

namespace {

struct StyleValues {
  char letter;
  const char* wallpaper_style;
  const char* tile_wallpaper;
};

constexpr StyleValues kStyleValues[] = {
    {'1', "0", "0"},   // Center
    {'2', "0", "1"},   // Tile
    {'3', "2", "0"},   // Stretch
    {'4', "6", "0"},   // Fit
    {'5', "10", "0"},  // Fill
};

class BusyCursor {
 public:
  explicit BusyCursor(Desktop& desktop) : desktop_(desktop) { desktop_.ShowBusyCursor(true); }
  ~BusyCursor() { desktop_.ShowBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Desktop& desktop_;  // not owning
};

}  // namespace

std::string CannotWriteText(const std::string& path, const std::string& reason) {
  return "Cannot write \"" + path + "\": " + reason;
}

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
                    const ApplierServices& services) {
  if (!FileExists(path)) return;
  {
    BusyCursor busy(services.desktop);
    TRasterBitmap bitmap = DecodeImageFile(path);
    if (bitmap.IsEmpty()) return;
    if (!WriteWallpaperFile(bitmap, wallpaper_file)) {
      services.message_boxes.Show(
          nullptr,
          CannotWriteText(wallpaper_file, LastFileErrorText()) + "\nThe wallpaper was not changed.",
          kErrorCaption, kBoxIconError);
      return;
    }

    // A missing desktop key is left missing; the wallpaper is still set.
    for (const StyleValues& style : kStyleValues) {
      if (style.letter != style_letter) continue;
      services.registry.WriteText(kDesktopKey, kWallpaperStyleValue, style.wallpaper_style,
                                  MissingKey::Refuse);
      services.registry.WriteText(kDesktopKey, kTileWallpaperValue, style.tile_wallpaper,
                                  MissingKey::Refuse);
    }
    if (!services.desktop.SetWallpaper(wallpaper_file))
      services.message_boxes.Show(nullptr, "Unable to set " + path + " as a wallpaper.",
                                  kErrorCaption, kBoxIconError);
  }
}

}  // namespace vistrel
