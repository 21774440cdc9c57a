#include "app/logic/applier.h"

#include "app/logic/image_files.h"
#include "imaging/bmp_copy.h"
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

namespace {

// Writes the file through a temporary one beside it that only a complete write renames over it.
template <class Fill>
WallpaperWrite WriteThroughTemporary(const std::string& wallpaper_file, Fill fill) {
  const std::string temp = wallpaper_file + ".tmp~";
  WallpaperWrite result = WallpaperWrite::kWriteFailed;
  {
    std::unique_ptr<TDataStream> stream = OpenWriteFileStream(temp);
    // Only a temporary file left behind is cut: cutting a new, empty one would make some file
    // systems (ext4) flush all of it when it is closed.
    if (stream->Size() != 0) stream->SetSize(0);
    result = fill(*stream);
  }
  if (result == WallpaperWrite::kWritten && RenameOver(temp, wallpaper_file)) return result;
  DeleteFileAt(temp);
  return result == WallpaperWrite::kWritten ? WallpaperWrite::kWriteFailed : result;
}

}  // namespace

bool WriteWallpaperFile(TRasterBitmap& bitmap, const std::string& wallpaper_file) {
  if (bitmap.IsEmpty()) return false;
  return WriteThroughTemporary(wallpaper_file, [&bitmap](TDataStream& stream) {
           bitmap.SaveToStream(stream);
           // A failed write puts the position back to the start; a complete one ends at the
           // file's end.
           std::int64_t size = stream.Size();
           return size > 0 && stream.Position() == size ? WallpaperWrite::kWritten
                                                        : WallpaperWrite::kWriteFailed;
         }) == WallpaperWrite::kWritten;
}

WallpaperWrite WritePictureFile(const std::string& path, const std::string& wallpaper_file) {
  if (ImageExtension(path) == ".bmp") {
    std::unique_ptr<TDataStream> source = OpenReadFileStream(path);
    BmpRowCopy copy;
    if (copy.Open(*source)) {
      return WriteThroughTemporary(wallpaper_file, [&](TDataStream& out) {
        const BmpRowCopy::Result copied = copy.CopyTo(out);
        source.reset();  // closed before the rename: the source may be the wallpaper file
        return copied == BmpRowCopy::Result::kCopied       ? WallpaperWrite::kWritten
               : copied == BmpRowCopy::Result::kUnreadable ? WallpaperWrite::kNoPicture
                                                           : WallpaperWrite::kWriteFailed;
      });
    }
  }
  TRasterBitmap bitmap = DecodeImageFile(path);
  if (bitmap.IsEmpty()) return WallpaperWrite::kNoPicture;
  return WriteWallpaperFile(bitmap, wallpaper_file) ? WallpaperWrite::kWritten
                                                    : WallpaperWrite::kWriteFailed;
}

void ApplyWallpaper(const std::string& path, char style_letter, const std::string& wallpaper_file,
                    const ApplierServices& services) {
  if (!FileExists(path)) return;
  {
    BusyCursor busy(services.desktop);
    const WallpaperWrite written = WritePictureFile(path, wallpaper_file);
    if (written == WallpaperWrite::kNoPicture) return;
    if (written == WallpaperWrite::kWriteFailed) {
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
