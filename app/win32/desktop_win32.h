// The applier's desktop side on Windows: registry values, the wallpaper call, cursors, boxes.
#pragma once

#include "app/logic/applier.h"

namespace vistrel {

class Win32Desktop : public DesktopHost {
 public:
  void SetBusyCursor(bool busy) override;
  bool WriteDesktopValue(const char* name, const std::string& value) override;
  bool SetDesktopWallpaper(const std::string& bmp_path) override;
  void ShowErrorBox(const std::string& caption, const std::string& text) override;
};

}  // namespace vistrel
