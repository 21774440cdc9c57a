// Modal message boxes. The box runs its own message loop: timers keep ticking while it is open.
#pragma once

#include <string>

namespace vistrel {

// The style bits a box is shown with, as MessageBoxA takes them.
constexpr unsigned kBoxOk = 0x0;
constexpr unsigned kBoxIconError = 0x10;
constexpr unsigned kBoxIconWarning = 0x30;
constexpr unsigned kBoxIconInformation = 0x40;
constexpr unsigned kBoxSetForeground = 0x10000;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // owner: the window handle the box belongs to, null for none. Returns the button pressed.
  virtual int Show(void* owner, const std::string& text, const std::string& caption,
                   unsigned style) = 0;
};

// MessageBoxA; Windows only.
MessageBoxes& SystemMessageBoxes();

}  // namespace vistrel
