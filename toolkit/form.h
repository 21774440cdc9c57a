// A top-level window that owns what is made for it: controls, menus, timers, dialogs, fonts.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "toolkit/top_level_window.h"

namespace vistrel {

class Form : public TopLevelWindow {
 public:
  explicit Form(const TopLevelWindowArgs& args);
  ~Form() override;

  // Makes an object that the form owns. It is freed when the form's handle is destroyed (after
  // OnDestroy, which is where the caller forgets its references) or with the form, newest first:
  // what was made later may borrow what was made before (a control its panel, a list its images).
  template <typename T, typename... Args>
  T& Make(Args&&... args) {
    auto child = std::make_unique<Child<T>>(std::forward<Args>(args)...);
    T& object = child->object;
    children_.push_back(std::move(child));
    return object;
  }

  int ChildCount() const { return static_cast<int>(children_.size()); }

 protected:
  LRESULT HandleMessage(WindowMessage& message) override;

 private:
  struct ChildBase {
    virtual ~ChildBase() = default;
  };
  template <typename T>
  struct Child : ChildBase {
    template <typename... Args>
    explicit Child(Args&&... args) : object(std::forward<Args>(args)...) {}
    T object;
  };

  void FreeChildren();

  std::vector<std::unique_ptr<ChildBase>> children_;
};

}  // namespace vistrel
