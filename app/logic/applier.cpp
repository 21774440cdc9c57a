#include "app/logic/applier.h"

#include <new>

#include "app/logic/desktop_layout.h"
#include "app/logic/image_files.h"
#include "common/exception.h"
#include "common/list_file.h"
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

// Held from a successful Acquire to the end of the scope, also when an exception passes.
class HeldLock {
 public:
  explicit HeldLock(ApplierLock& lock) : lock_(lock) {}
  ~HeldLock() { lock_.Release(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

 private:
  ApplierLock& lock_;  // not owning
};

}  // namespace

std::string CannotWriteText(const std::string& path, const std::string& reason) {
  return "Cannot write \"" + path + "\": " + reason;
}

std::string ApplierBusyText(const std::string& path) {
  return "Cannot apply \"" + path +
         "\": another wallpaper was still being applied after a minute.\nThe wallpaper was not "
         "changed.";
}

namespace {

// Writes the file through a temporary one beside it that only a complete write renames over it.
// The temporary file is new and this call's own: another writer's is never cut or renamed.
template <class Fill>
WallpaperWrite WriteThroughTemporary(const std::string& wallpaper_file, Fill fill) {
  std::string temp;
  WallpaperWrite result = WallpaperWrite::kWriteFailed;
  {
    std::unique_ptr<TDataStream> stream = CreateTemporaryFileStream(wallpaper_file, temp);
    if (temp.empty()) return WallpaperWrite::kWriteFailed;
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

ScreenSize PrimaryScreen(Desktop& desktop) {
  ScreenSize screen;
  if (!desktop.PrimaryScreenSize(screen.width, screen.height)) screen = ScreenSize();
  return screen;
}

WallpaperWrite WritePictureFile(const std::string& path, const std::string& wallpaper_file,
                                const WallpaperTarget& target) {
  const bool for_screen = RendersForScreen(target.style_letter) && target.screen.Known();
  if (!for_screen && ImageExtension(path) == ".bmp") {
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
  TRasterBitmap bitmap = RenderImageFile(path, target.style_letter, target.screen);
  if (bitmap.IsEmpty()) return WallpaperWrite::kNoPicture;
  return WriteWallpaperFile(bitmap, wallpaper_file) ? WallpaperWrite::kWritten
                                                    : WallpaperWrite::kWriteFailed;
}

namespace {

// What is written and how it is to be shown.
struct Composed {
  WallpaperWrite written = WallpaperWrite::kNoPicture;
  const char* wallpaper_style = nullptr;  // null: the style values are left as they are
  const char* tile_wallpaper = nullptr;
};

Composed WriteOnePicture(const DealtPicture& picture, const std::string& wallpaper_file,
                         const ApplierServices& services) {
  Composed composed;
  composed.written =
      WritePictureFile(picture.path, wallpaper_file,
                       WallpaperTarget{picture.style_letter, PrimaryScreen(services.desktop)});
  for (const StyleValues& style : kStyleValues) {
    if (style.letter != picture.style_letter) continue;
    composed.wallpaper_style = style.wallpaper_style;
    composed.tile_wallpaper = style.tile_wallpaper;
  }
  return composed;
}

Composed WriteDesktop(const std::vector<MonitorRect>& monitors,
                      const std::vector<DealtPicture>& pictures, MonitorChoice choice,
                      const std::string& wallpaper_file, const ApplierServices& services) {
  const DesktopWrap wrap =
      services.desktop.HasSpanStyle() ? DesktopWrap::kSpan : DesktopWrap::kTileFromPrimary;
  TRasterBitmap desktop =
      RenderDesktop(monitors, choice.mode, pictures, choice.portrait_on_portrait, wrap);
  Composed composed;
  if (desktop.IsEmpty()) return composed;
  composed.written = WriteWallpaperFile(desktop, wallpaper_file) ? WallpaperWrite::kWritten
                                                                 : WallpaperWrite::kWriteFailed;
  const DesktopStyleValues style = DesktopStyle(wrap);
  composed.wallpaper_style = style.wallpaper_style;
  composed.tile_wallpaper = style.tile_wallpaper;
  return composed;
}

// The part of an application that holds the lock; a box to show afterwards goes to box.
ApplyResult ApplyHeld(const std::vector<DealtPicture>& pictures, MonitorChoice choice,
                      const std::string& wallpaper_file, const ApplierServices& services,
                      std::string& box) {
  // The system may tell no monitors (a session without a display): Windows lays one out then.
  const std::vector<MonitorRect> monitors = choice.mode == MonitorMode::kOnePicture
                                                ? std::vector<MonitorRect>()
                                                : services.desktop.Monitors();
  Composed composed;
  try {
    composed = monitors.empty()
                   ? WriteOnePicture(pictures.front(), wallpaper_file, services)
                   : WriteDesktop(monitors, pictures, choice, wallpaper_file, services);
  } catch (const Exception&) {
    if (!services.quiet) throw;
    return ApplyResult::kApplyExitCannotShow;
  } catch (const std::bad_alloc&) {
    if (!services.quiet) throw;
    return ApplyResult::kApplyExitCannotShow;
  }
  if (composed.written == WallpaperWrite::kNoPicture) return ApplyResult::kApplyExitCannotShow;
  if (composed.written == WallpaperWrite::kWriteFailed) {
    box = CannotWriteText(wallpaper_file, LastFileErrorText()) + "\nThe wallpaper was not changed.";
    return ApplyResult::kApplyExitCannotWrite;
  }

  // A missing desktop key is left missing; the wallpaper is still set.
  if (composed.wallpaper_style) {
    services.registry.WriteText(kDesktopKey, kWallpaperStyleValue, composed.wallpaper_style,
                                MissingKey::Refuse);
    services.registry.WriteText(kDesktopKey, kTileWallpaperValue, composed.tile_wallpaper,
                                MissingKey::Refuse);
  }
  std::uint32_t quality = 0;
  if (services.registry.ReadDword(kDesktopKey, kJpegImportQualityValue, quality) ==
      DwordValue::kMissing) {
    services.registry.WriteDword(kDesktopKey, kJpegImportQualityValue, kJpegImportQuality,
                                 MissingKey::Refuse);
  }
  if (!services.desktop.SetWallpaper(wallpaper_file)) {
    box = "Unable to set " + pictures.front().path + " as a wallpaper.";
    return ApplyResult::kApplyExitRefused;
  }
  return ApplyResult::kApplyExitChanged;
}

}  // namespace

ApplyResult ApplyWallpaper(const std::string& path, char style_letter,
                           const std::string& wallpaper_file, const ApplierServices& services) {
  return ApplyPictures({DealtPicture{style_letter, path}}, MonitorChoice(), wallpaper_file,
                       services);
}

ApplyResult ApplyPictures(const std::vector<DealtPicture>& pictures, MonitorChoice choice,
                          const std::string& wallpaper_file, const ApplierServices& services) {
  if (pictures.empty()) return ApplyResult::kApplyExitNoSuchFile;
  // One picture shows in one picture's way and across the desktop; each monitor's picture is
  // dealt from the ones that can be shown.
  const std::size_t wanted = choice.mode == MonitorMode::kEachMonitor ? pictures.size() : 1;
  std::vector<DealtPicture> usable;
  ApplyResult refused = ApplyResult::kApplyExitChanged;
  for (std::size_t i = 0; i < wanted; ++i) {
    const DealtPicture& picture = pictures[i];
    if (!FileExists(picture.path)) {
      if (PathTooLong(picture.path) && !services.quiet)
        services.message_boxes.Show(nullptr, PathTooLongText(picture.path), kErrorCaption,
                                    kBoxIconError);
      if (refused == ApplyResult::kApplyExitChanged) refused = ApplyResult::kApplyExitNoSuchFile;
    } else if (!IsSupportedImage(picture.path)) {
      if (refused == ApplyResult::kApplyExitChanged) refused = ApplyResult::kApplyExitUnsupported;
    } else {
      usable.push_back(picture);
    }
  }
  if (usable.empty()) return refused;
  BusyCursor busy(services.desktop);
  std::string box;
  ApplyResult result = ApplyResult::kApplyExitBusy;
  if (services.lock.Acquire(kApplierWaitMs)) {
    HeldLock held(services.lock);
    result = ApplyHeld(usable, choice, wallpaper_file, services, box);
  } else {
    box = ApplierBusyText(usable.front().path);
  }
  // A box may stay open for long; the next applier need not wait for it.
  if (!box.empty() && !services.quiet)
    services.message_boxes.Show(nullptr, box, kErrorCaption, kBoxIconError);
  return result;
}

}  // namespace vistrel
