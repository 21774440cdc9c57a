#include "toolkit/form.h"

namespace vistrel {

Form::Form(const TopLevelWindowArgs& args) : TopLevelWindow(args) {}

Form::~Form() {
  // Here, not in the base: WM_DESTROY must still reach this class, which frees the children.
  DestroyAsObject();
  FreeChildren();
}

LRESULT Form::HandleMessage(WindowMessage& message) {
  const LRESULT result = TopLevelWindow::HandleMessage(message);
  if (message.message == WM_DESTROY) FreeChildren();
  return result;
}

void Form::FreeChildren() {
  // One at a time from the end: a child's destructor may send messages that reach the form.
  while (!children_.empty()) {
    std::unique_ptr<ChildBase> child = std::move(children_.back());
    children_.pop_back();
  }
}

}  // namespace vistrel
