// vistrel-convert [--screen WxH [--style L]] IN OUT.bmp: decodes IN with the applier's readers
// and writes OUT exactly as the applier writes the wallpaper file, for a primary monitor of that
// size and the style letter L (default 3, Stretch) when a screen is given. For benchmarks, fuzz
// replays and checks on hosts without Windows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "app/logic/applier.h"
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
    "  --style   the list's style letter: 1 Center, 2 Tile, 3 Stretch (default), 4 Fit, 5 Fill\n";

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

}  // namespace

int main(int argc, char** argv) {
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
