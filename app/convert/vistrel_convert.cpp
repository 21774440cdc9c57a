// vistrel-convert [--screen WxH [--style L]] IN OUT.bmp: decodes IN with the applier's readers
// and writes OUT exactly as the applier writes the wallpaper file, for a primary monitor of that
// size and the style letter L (default 3, Stretch) when a screen is given.
// vistrel-convert --monitors "X,Y,W,H[,P];..." --mode 1|2 [--windows 7|10] LIN... OUT.bmp: the
// bitmap of a desktop of those monitors, each LIN a list line (style letter, then the picture),
// and the two style values that show it. For benchmarks, fuzz replays and checks on hosts without
// Windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/logic/applier.h"
#include "app/logic/desktop_layout.h"
#include "app/logic/image_files.h"
#include "common/apply_result.h"
#include "common/exception.h"
#include "platform/files.h"

namespace {

// The applier's codes where the two meet; 1 is the usage here.
enum ExitCode {
  kOk = static_cast<int>(vistrel::ApplyResult::kApplyExitChanged),
  kUsage = 1,
  kUnreadable = static_cast<int>(vistrel::ApplyResult::kApplyExitNoSuchFile),
  kUnsupported = static_cast<int>(vistrel::ApplyResult::kApplyExitUnsupported),
  kDamaged = static_cast<int>(vistrel::ApplyResult::kApplyExitCannotShow),
  kWriteFailed = static_cast<int>(vistrel::ApplyResult::kApplyExitCannotWrite),
};

constexpr char kUsageText[] =
    "usage: vistrel-convert [--screen WIDTHxHEIGHT [--style LETTER]] IN OUT.bmp\n"
    "  --screen  render for a primary monitor of that many pixels (1 to 16384 each way)\n"
    "  --style   the list's style letter: 1 Center, 2 Tile, 3 Stretch (default), 4 Fit, 5 Fill\n"
    "       vistrel-convert --monitors \"X,Y,W,H[,P];...\" --mode 1|2 [--windows 7|10]\n"
    "                       LIN [LIN ...] OUT.bmp\n"
    "  --monitors  the monitors in virtual-screen pixels, P marking the primary one\n"
    "  --mode      1 a picture on each monitor, 2 one picture across all\n"
    "  --windows   7 tiles the bitmap from the primary monitor's corner; 10 (default) spans it\n"
    "  LIN         a list line: the style letter, then the picture's path\n";

// One side of a screen size: digits only, 1 to the largest screen side.
bool ParseSide(const char* text, std::size_t length, std::int32_t& side) {
  if (length == 0 || length > 5) return false;
  side = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    side = side * 10 + (text[i] - '0');
  }
  return side >= 1 && side <= vistrel::kMaxScreenSide;
}

bool ParseScreen(const char* text, vistrel::ScreenSize& screen) {
  const char* x = std::strchr(text, 'x');
  return x != nullptr && ParseSide(text, static_cast<std::size_t>(x - text), screen.width) &&
         ParseSide(x + 1, std::strlen(x + 1), screen.height);
}

// A signed whole number of at most 6 digits, the whole text.
bool ParseCoordinate(const std::string& text, std::int32_t& value) {
  std::size_t at = text.size() > 1 && text[0] == '-' ? 1 : 0;
  if (text.size() == at || text.size() - at > 6) return false;
  value = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (at) value = -value;
  return true;
}

// "X,Y,W,H[,P];...": every monitor with a size, at most one primary (none: the first).
bool ParseMonitors(const std::string& text, std::vector<vistrel::MonitorRect>& monitors) {
  std::size_t start = 0;
  int primaries = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> fields;
    std::size_t field = start;
    for (;;) {
      const std::size_t comma = text.find(',', field);
      if (comma == std::string::npos || comma >= end) {
        fields.push_back(text.substr(field, end - field));
        break;
      }
      fields.push_back(text.substr(field, comma - field));
      field = comma + 1;
    }
    vistrel::MonitorRect m;
    if (fields.size() < 4 || fields.size() > 5 || !ParseCoordinate(fields[0], m.x) ||
        !ParseCoordinate(fields[1], m.y) || !ParseCoordinate(fields[2], m.width) ||
        !ParseCoordinate(fields[3], m.height) || m.width < 1 || m.height < 1 ||
        m.width > vistrel::kMaxScreenSide || m.height > vistrel::kMaxScreenSide ||
        (fields.size() == 5 && fields[4] != "P"))
      return false;
    m.primary = fields.size() == 5;
    primaries += m.primary;
    monitors.push_back(m);
    start = end + 1;
  }
  if (primaries > 1) return false;
  if (primaries == 0) monitors.front().primary = true;
  return true;
}

int Fail(const std::string& in, const char* text) {
  std::fprintf(stderr, "vistrel-convert: %s: %s\n", in.c_str(), text);
  return kDamaged;
}

// The desktop of several monitors; the pictures are checked as the applier checks one.
int ConvertDesktop(int argc, char** argv, int arg) {
  std::vector<vistrel::MonitorRect> monitors;
  vistrel::MonitorMode mode = vistrel::MonitorMode::kOnePicture;
  vistrel::DesktopWrap wrap = vistrel::DesktopWrap::kSpan;
  for (; arg + 1 < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
    const std::string option = argv[arg], value = argv[arg + 1];
    if (option == "--monitors" && monitors.empty() && ParseMonitors(value, monitors)) continue;
    if (option == "--mode" && (value == "1" || value == "2")) {
      mode = vistrel::MonitorModeFromStored(value[0] - '0');
      continue;
    }
    if (option == "--windows" && (value == "7" || value == "10")) {
      wrap = value == "7" ? vistrel::DesktopWrap::kTileFromPrimary : vistrel::DesktopWrap::kSpan;
      continue;
    }
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  if (monitors.empty() || mode == vistrel::MonitorMode::kOnePicture || argc - arg < 2) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  std::vector<vistrel::DealtPicture> pictures;
  for (; arg + 1 < argc; ++arg) {
    const std::string line = argv[arg];
    vistrel::DealtPicture picture{line.empty() ? '\0' : line[0],
                                  line.empty() ? line : line.substr(1)};
    if (!vistrel::FileExists(picture.path)) {
      std::fprintf(stderr, "vistrel-convert: %s: no such file\n", picture.path.c_str());
      return kUnreadable;
    }
    if (!vistrel::IsSupportedImage(picture.path)) {
      std::fprintf(stderr, "vistrel-convert: %s: unsupported image type \"%s\"\n",
                   picture.path.c_str(), vistrel::ImageExtension(picture.path).c_str());
      return kUnsupported;
    }
    pictures.push_back(picture);
  }
  const std::string out = argv[arg];
  vistrel::TRasterBitmap desktop;
  try {
    desktop = vistrel::RenderDesktop(monitors, mode, pictures, true, wrap);
  } catch (const vistrel::Exception& e) {
    return Fail(out, e.what());
  } catch (const std::bad_alloc&) {
    return Fail(out, "no memory for the desktop's bitmap");
  }
  if (desktop.IsEmpty()) return Fail(out, "damaged or unreadable image");
  if (!vistrel::WriteWallpaperFile(desktop, out)) {
    std::fprintf(stderr, "vistrel-convert: %s: cannot write\n", out.c_str());
    return kWriteFailed;
  }
  const vistrel::DesktopStyleValues style = vistrel::DesktopStyle(wrap);
  std::printf("WallpaperStyle=%s\nTileWallpaper=%s\n", style.wallpaper_style, style.tile_wallpaper);
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  for (int option = 1; option + 1 < argc && argv[option][0] == '-'; option += 2)
    if (std::strcmp(argv[option], "--monitors") == 0) return ConvertDesktop(argc, argv, 1);
  vistrel::WallpaperTarget target;
  target.style_letter = '3';
  bool style_given = false;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; arg += 2) {
    if (std::strcmp(argv[arg], "--screen") == 0 && ParseScreen(argv[arg + 1], target.screen))
      continue;
    if (std::strcmp(argv[arg], "--style") == 0 && std::strlen(argv[arg + 1]) == 1) {
      target.style_letter = argv[arg + 1][0];
      style_given = true;
      continue;
    }
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  // A style means nothing without a screen to show it on.
  if (argc - arg != 2 || (style_given && !target.screen.Known())) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  const std::string in = argv[arg], out = argv[arg + 1];
  if (!vistrel::FileExists(in)) {
    std::fprintf(stderr, "vistrel-convert: %s: no such file\n", in.c_str());
    return kUnreadable;
  }
  if (!vistrel::IsSupportedImage(in)) {
    std::fprintf(stderr, "vistrel-convert: %s: unsupported image type \"%s\"\n", in.c_str(),
                 vistrel::ImageExtension(in).c_str());
    return kUnsupported;
  }
  try {
    const vistrel::WallpaperWrite written = vistrel::WritePictureFile(in, out, target);
    if (written == vistrel::WallpaperWrite::kNoPicture) {
      std::fprintf(stderr, "vistrel-convert: %s: damaged or unreadable image\n", in.c_str());
      return kDamaged;
    }
    if (written == vistrel::WallpaperWrite::kWriteFailed) {
      std::fprintf(stderr, "vistrel-convert: %s: cannot write\n", out.c_str());
      return kWriteFailed;
    }
  } catch (const vistrel::Exception& e) {
    std::fprintf(stderr, "vistrel-convert: %s: %s\n", in.c_str(), e.what());
    return kDamaged;
  }
  return kOk;
}
