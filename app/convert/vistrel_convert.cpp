// vistrel-convert IN OUT.bmp: decodes IN with the applier's readers and writes OUT exactly as the
// applier writes the wallpaper file. For benchmarks, fuzz replays and checks on hosts without
// Windows.
#include <cstdio>
#include <exception>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vistrel-convert IN OUT.bmp\n");
    return kUsage;
  }
  const std::string in = argv[1], out = argv[2];
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
    const vistrel::WallpaperWrite written = vistrel::WritePictureFile(in, out);
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
