// The agent's change over a long list whose pictures are gone: CPU time of one change, natively,
// with the real file checks. `make bench` prints one line per case.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "agent/logic/rotation.h"
#include "bench/cpu_time.h"
#include "platform/files.h"

namespace {

class BenchHost : public vistrel::RotationHost {
 public:
  void SetTooltip(const std::string&) override {}
  void ShowBalloon(const std::string&, const std::string&, std::uint32_t, int) override {}
  void Launch(const std::string&, const std::string& parameters) override { launched = parameters; }
  void ShowWarning(const std::string&) override {}
  bool ScreenSaverRunning() override { return false; }
  vistrel::ClockTime UtcTimeOfDay() override { return {10, 20, 30, 400}; }
  bool FileExists(const std::string& path) override {
    ++checks;
    return RotationHost::FileExists(path);
  }
  std::string launched;
  long checks = 0;
};

void Case(const std::string& dir, const char* name, const std::string& folder, bool random,
          bool last_exists) {
  std::string list;
  for (int n = 0; n < 100000; ++n) list += "1" + folder + std::to_string(n) + ".jpg\r\n";
  const std::string last = dir + "last.bmp";
  if (last_exists) list += "1" + last + "\r\n";
  vistrel::ReplaceFileContents(dir + "list.txt", list);
  vistrel::ReplaceFileContents(last, "BM");
  vistrel::ReplaceFileContents(dir + "vistrel.exe", "MZ");
  BenchHost host;
  vistrel::Rotation rotation(host, vistrel::Settings(dir + "vistrel.ini"));
  rotation.state.ListPath = dir + "list.txt";
  rotation.state.ViewerPath = dir + "vistrel.exe";
  rotation.state.RandomWallpaper = random;
  rotation.state.LastIndex = 0;
  const double before = CpuMs();
  rotation.NextNow();
  const double cpu = CpuMs() - before;
  std::printf("rotation tick  %-50s %8.1f ms CPU  %6ld file checks  %s\n", name, cpu, host.checks,
              host.launched.empty() ? "no change" : "changed to the last line");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rotation-ticks DIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const std::string gone = dir + "unplugged/";
  const std::string deleted = dir;  // the folder is there, its files are not
  Case(dir, "100,000 lines, folder gone", gone, false, false);
  Case(dir, "100,000 lines, folder gone, random", gone, true, false);
  Case(dir, "100,000 lines, folder gone, one file at the end", gone, false, true);
  Case(dir, "100,000 lines, files deleted", deleted, false, false);
  Case(dir, "100,000 lines, files deleted, random", deleted, true, false);
  Case(dir, "100,000 lines, files deleted, one file at the end", deleted, false, true);
  return 0;
}
