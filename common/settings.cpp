#include "common/settings.h"

#include "common/list_file.h"
#include "platform/data_directory.h"
#include "platform/profile.h"

namespace vistrel {

std::string DataDirectory() {
  static const std::string directory = SystemDataDirectory({kSettingsFileName, kListFileName});
  return directory;
}

WallpaperOrder OrderFromStored(int stored) {
  if (stored == static_cast<int>(WallpaperOrder::woShuffle)) return WallpaperOrder::woShuffle;
  return stored != 0 ? WallpaperOrder::woRandom : WallpaperOrder::woSequential;
}

MonitorMode MonitorModeFromStored(int stored) {
  if (stored == static_cast<int>(MonitorMode::kEachMonitor)) return MonitorMode::kEachMonitor;
  if (stored == static_cast<int>(MonitorMode::kSpan)) return MonitorMode::kSpan;
  return MonitorMode::kOnePicture;
}

std::string SettingsFilePath() {
  return DataDirectory() + kSettingsFileName;
}

int Settings::ReadInteger(const char* key, int default_value) const {
  return ProfileReadInt(path_, kSettingsSection, key, default_value);
}

bool Settings::ReadBool(const char* key, bool default_value) const {
  return ReadInteger(key, default_value ? 1 : 0) != 0;
}

std::string Settings::ReadText(const char* key, const std::string& default_value) const {
  return ProfileReadString(path_, kSettingsSection, key, default_value);
}

bool Settings::WriteInteger(const char* key, int value) const {
  return WriteText(key, std::to_string(value));
}

bool Settings::WriteBool(const char* key, bool value) const {
  return WriteText(key, value ? "1" : "0");
}

bool Settings::WriteText(const char* key, const std::string& value) const {
  return ProfileWriteString(path_, kSettingsSection, key, value);
}

}  // namespace vistrel
