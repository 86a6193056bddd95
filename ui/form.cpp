// Forms: ownership of controls, focus and the keys a form answers itself.
#include "ui/form.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/control.h"
#include "ui/controls.h"

namespace ui {

Form::Form(Application& app) : app_(app) {}

Form::~Form() = default;

void Form::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  ++revision_;
}

void Form::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  ++revision_;
}

void Form::SetFont(std::string name, int pointSize) {
  fontName_ = std::move(name);
  fontPointSize_ = pointSize;
  ++revision_;
}

Control* Form::Find(std::string_view name) const {
  for (Control* c : controls_) {
    if (c->Name() == name) {
      return c;
    }
  }
  return nullptr;
}

void Form::Register(Control* control) {
  controls_.push_back(control);
  tabOrder_.push_back(control);
}

void Form::Unregister(Control* control) {
  std::erase(controls_, control);
  std::erase(tabOrder_, control);
  if (focused_ == control) {
    focused_ = nullptr;
  }
}

void Form::SetTabOrder(std::initializer_list<Control*> order) {
  std::vector<Control*> rest;
  for (Control* c : controls_) {
    if (std::find(order.begin(), order.end(), c) == order.end()) {
      rest.push_back(c);
    }
  }
  tabOrder_.assign(order.begin(), order.end());
  tabOrder_.insert(tabOrder_.end(), rest.begin(), rest.end());
}

void Form::FocusFirst() {
  for (Control* c : tabOrder_) {
    if (c->CanFocus() && c->TabStop()) {
      MoveFocus(c);
      return;
    }
  }
}

void Form::MoveFocus(Control* target) {
  if (target == focused_ || target == nullptr || !target->CanFocus()) {
    return;
  }
  Control* previous = focused_;
  focused_ = target;
  if (previous != nullptr && previous->OnExit) {
    previous->OnExit();
  }
}

void Form::UserFocus(Control* target) {
  app_.Dispatch([this, target] { MoveFocus(target); });
}

void Form::UserKey(Key key) {
  switch (key) {
    case Key::Enter:
    case Key::Space:
      if (auto* button = dynamic_cast<Button*>(focused_)) {
        button->UserClick();
      }
      break;
    case Key::Tab: {
      const auto n = tabOrder_.size();
      if (n == 0) {
        break;
      }
      auto at = std::find(tabOrder_.begin(), tabOrder_.end(), focused_);
      std::size_t start =
          at == tabOrder_.end() ? n - 1 : static_cast<std::size_t>(at - tabOrder_.begin());
      for (std::size_t step = 1; step <= n; ++step) {
        Control* c = tabOrder_[(start + step) % n];
        if (c->CanFocus() && c->TabStop()) {
          UserFocus(c);
          break;
        }
      }
      break;
    }
    case Key::Escape:
      break;
  }
}

void Form::UserClose() {
  app_.Dispatch([this] {
    if (OnClose) {
      OnClose();
    }
  });
  if (mainForm_) {
    app_.Quit();
  } else {
    Close();
  }
}

void Form::Close() {
  if (modal_) {
    app_.GetBackend().EndModalLoop(*this);
  }
}

}  // namespace ui
