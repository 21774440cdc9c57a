#include <windows.h>

#include "platform/message_boxes.h"
#include "platform/win32/wide.h"

namespace vistrel {

static_assert(kBoxOk == MB_OK && kBoxIconError == MB_ICONERROR &&
                  kBoxIconWarning == MB_ICONWARNING && kBoxIconInformation == MB_ICONINFORMATION &&
                  kBoxSetForeground == MB_SETFOREGROUND,
              "the box styles are MessageBoxA's");

namespace {

class Win32MessageBoxes : public MessageBoxes {
 public:
  int Show(void* owner, const std::string& text, const std::string& caption,
           unsigned style) override {
    return MessageBoxW(static_cast<HWND>(owner), Widen(text).c_str(), Widen(caption).c_str(),
                       style);
  }
};

}  // namespace

MessageBoxes& SystemMessageBoxes() {
  static Win32MessageBoxes boxes;
  return boxes;
}

}  // namespace vistrel
