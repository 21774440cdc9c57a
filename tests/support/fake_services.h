// Stand-ins for the operating-system services of platform/. Each keeps what it was asked; fakes
// given one log write every call to it too, so a test sees the order across them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/launcher.h"
#include "platform/message_boxes.h"
#include "platform/registry.h"

namespace vistrel::test {

using CallLog = std::vector<std::string>;

// Logs "wallpaper PATH" (an empty path removes it), "wait" and "arrow".
class FakeDesktop : public Desktop {
 public:
  explicit FakeDesktop(CallLog* log = nullptr) : log_(log) {}

  bool SetWallpaper(const std::string& bmp_path) override {
    Log("wallpaper " + bmp_path);
    wallpapers.push_back(bmp_path);
    return wallpaper_ok;
  }
  bool ScreenSaverRunning() override { return screen_saver_running; }
  int UserNotificationState() override { return notification_state; }
  void ShowBusyCursor(bool busy) override { Log(busy ? "wait" : "arrow"); }
  bool PrimaryScreenSize(std::int32_t& width, std::int32_t& height) override {
    width = screen_width;
    height = screen_height;
    return screen_width > 0 && screen_height > 0;
  }
  std::vector<MonitorRect> Monitors() override { return monitors; }
  bool HasSpanStyle() override { return span_style; }

  // The paths set, in order; empty for a removal.
  std::vector<std::string> wallpapers;
  int Removals() const {
    int n = 0;
    for (const std::string& path : wallpapers) n += path.empty();
    return n;
  }

  bool wallpaper_ok = true;
  bool screen_saver_running = false;
  int notification_state = 0;
  // 0 x 0: no screen size known, so pictures keep their own pixels.
  std::int32_t screen_width = 0;
  std::int32_t screen_height = 0;
  std::vector<MonitorRect> monitors;  // none: the system told nothing
  bool span_style = true;             // false: Windows 7

 protected:
  void Log(const std::string& call) {
    if (log_) log_->push_back(call);
  }

 private:
  CallLog* log_;  // not owning; may be null
};

// Values by key + "\" + name. Logs "NAME=VALUE" ("NAME=dword:VALUE" for a DWORD) and
// "delete NAME" for the changes made. A name is in values or dwords, never both.
class FakeRegistry : public UserRegistry {
 public:
  explicit FakeRegistry(CallLog* log = nullptr) : log_(log) {}

  static std::string Path(const std::string& key, const std::string& name) {
    return key + "\\" + name;
  }

  bool ReadText(const std::string& key, const std::string& name, std::string& value) override {
    auto found = values.find(Path(key, name));
    if (found == values.end()) return false;
    value = found->second;
    return true;
  }
  std::string WriteText(const std::string& key, const std::string& name, const std::string& value,
                        MissingKey missing) override {
    if (!failure.empty()) return failure;
    if (missing == MissingKey::Refuse && missing_keys.count(key))
      return "The system cannot find the file specified.";
    values[Path(key, name)] = value;
    dwords.erase(Path(key, name));
    Log(name + "=" + value);
    return std::string();
  }
  DwordValue ReadDword(const std::string& key, const std::string& name,
                       std::uint32_t& value) override {
    if (values.count(Path(key, name))) return DwordValue::kOtherType;
    auto found = dwords.find(Path(key, name));
    if (found == dwords.end()) return DwordValue::kMissing;
    value = found->second;
    return DwordValue::kFound;
  }
  std::string WriteDword(const std::string& key, const std::string& name, std::uint32_t value,
                         MissingKey missing) override {
    if (!failure.empty()) return failure;
    if (missing == MissingKey::Refuse && missing_keys.count(key))
      return "The system cannot find the file specified.";
    dwords[Path(key, name)] = value;
    values.erase(Path(key, name));
    Log(name + "=dword:" + std::to_string(value));
    return std::string();
  }
  std::string DeleteValue(const std::string& key, const std::string& name) override {
    if (!failure.empty()) return failure;
    values.erase(Path(key, name));
    dwords.erase(Path(key, name));
    Log("delete " + name);
    return std::string();
  }

  std::string Value(const std::string& key, const std::string& name) const {
    auto found = values.find(Path(key, name));
    return found == values.end() ? std::string() : found->second;
  }

  std::map<std::string, std::string> values;
  std::map<std::string, std::uint32_t> dwords;
  // Keys that a write refusing to create them does not find.
  std::set<std::string> missing_keys;
  // Not empty: every write and delete fails with this reason and changes nothing.
  std::string failure;
  // The changes made, as logged.
  CallLog changes;

 private:
  void Log(const std::string& call) {
    changes.push_back(call);
    if (log_) log_->push_back(call);
  }
  CallLog* log_;  // not owning; may be null
};

// Keeps "FILE|PARAMETERS" per start; a watched start ends at once with exit_code, unless running
// is set, and its variable is kept too.
class FakeLauncher : public Launcher {
 public:
  void Launch(const std::string& file, const std::string& parameters) override {
    launches.push_back(file + "|" + parameters);
  }
  std::unique_ptr<WatchedProgram> LaunchWatched(const std::string& file,
                                                const std::string& parameters,
                                                const std::string& variable) override {
    Launch(file, parameters);
    variables.push_back(variable);
    return std::make_unique<Watched>(*this);
  }
  std::vector<std::string> launches;
  std::vector<std::string> variables;
  std::uint32_t exit_code = 0;
  bool running = false;

 private:
  class Watched : public WatchedProgram {
   public:
    explicit Watched(FakeLauncher& owner) : owner_(owner) {}
    bool Ended(std::uint32_t& code) override {
      if (owner_.running) return false;
      code = owner_.exit_code;
      return true;
    }
    void Stop() override {}

   private:
    FakeLauncher& owner_;
  };
};

struct ShownBox {
  void* owner;
  std::string text;
  std::string caption;
  unsigned style;
};

// Logs "box CAPTION: TEXT"; a Yes/No question answers yes_no_answer, every other box OK.
class FakeMessageBoxes : public MessageBoxes {
 public:
  explicit FakeMessageBoxes(CallLog* log = nullptr) : log_(log) {}
  int Show(void* owner, const std::string& text, const std::string& caption,
           unsigned style) override {
    shown.push_back({owner, text, caption, style});
    if (log_) log_->push_back("box " + caption + ": " + text);
    return (style & 0xF) == kYesNo ? yes_no_answer : kAnswerOk;
  }
  static constexpr int kAnswerOk = 1;    // IDOK
  static constexpr int kAnswerYes = 6;   // IDYES
  static constexpr int kAnswerNo = 7;    // IDNO
  static constexpr unsigned kYesNo = 4;  // MB_YESNO
  int yes_no_answer = kAnswerYes;
  std::vector<ShownBox> shown;

 private:
  CallLog* log_;  // not owning; may be null
};

class FakeClock : public Clock {
 public:
  explicit FakeClock(ClockTime at = {}) : time(at) {}
  ClockTime UtcTimeOfDay() override { return time; }
  ClockTime time;
};

}  // namespace vistrel::test
