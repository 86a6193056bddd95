// The controls' rules for changes from code and from the user.
#include "ui/controls.h"

#include <algorithm>
#include <cctype>

#include "text/convert.h"
#include "ui/application.h"
#include "ui/form.h"

namespace ui {

Control::Control(Form& owner, std::string name, ControlKind kind, Bounds bounds)
    : owner_(owner), name_(std::move(name)), kind_(kind), bounds_(bounds) {
  owner_.Register(this);
}

Control::~Control() {
  owner_.Unregister(this);
}

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Changed();
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  Changed();
}

void Control::SetTabStop(bool tabStop) {
  tabStop_ = tabStop;
  Changed();
}

void Control::SetBold(bool bold) {
  bold_ = bold;
  Changed();
}

void Control::SetTextColor(Color color) {
  textColor_ = color;
  Changed();
}

bool Control::CanFocus() const {
  switch (kind_) {
    case ControlKind::Label:
    case ControlKind::Bevel:
    case ControlKind::Shape:
    case ControlKind::Image:
    case ControlKind::SpinButton:
      return false;
    default:
      return enabled_ && visible_;
  }
}

bool Control::Focused() const {
  return owner_.FocusedControl() == this;
}

void Control::UserAction(const std::function<void()>& action, bool takesFocus) {
  if (!enabled_ || !visible_) {
    return;
  }
  Application& app = owner_.App();
  if (takesFocus && CanFocus()) {
    // The focus moves as its own event: the leave handler of the field that had it runs, and
    // a failure there does not cancel the action.
    app.Dispatch([this] { owner_.MoveFocus(this); });
  }
  app.Dispatch(action);
}

Label::Label(Form& owner, std::string name, Bounds bounds, std::string caption)
    : Control(owner, std::move(name), ControlKind::Label, bounds), caption_(std::move(caption)) {}

void Label::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed();
}

Bevel::Bevel(Form& owner, std::string name, Bounds bounds)
    : Control(owner, std::move(name), ControlKind::Bevel, bounds) {}

Button::Button(Form& owner, std::string name, Bounds bounds, std::string caption)
    : Control(owner, std::move(name), ControlKind::Button, bounds), caption_(std::move(caption)) {}

void Button::UserClick() {
  UserAction([this] {
    if (OnClick) {
      OnClick();
    }
  });
}

CheckBox::CheckBox(Form& owner, std::string name, Bounds bounds, std::string caption)
    : Control(owner, std::move(name), ControlKind::CheckBox, bounds),
      caption_(std::move(caption)) {}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) {
    return;
  }
  checked_ = checked;
  Changed();
  if (OnClick) {
    OnClick();
  }
}

void CheckBox::UserClick() {
  UserAction([this] { SetChecked(!checked_); });
}

ComboBox::ComboBox(Form& owner, std::string name, Bounds bounds, std::vector<std::string> items,
                   std::string text)
    : Control(owner, std::move(name), ControlKind::ComboBox, bounds),
      items_(std::move(items)),
      text_(std::move(text)) {}

void ComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  Changed();
}

void ComboBox::SetText(std::string text) {
  text_ = std::move(text);
  Changed();
}

void ComboBox::UserType(std::string text) {
  UserAction([this, text = std::move(text)]() mutable {
    SetText(std::move(text));
    if (OnChange) {
      OnChange();
    }
  });
}

void ComboBox::UserChoose(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    return;
  }
  UserType(items_[static_cast<std::size_t>(index)]);
}

Edit::Edit(Form& owner, std::string name, Bounds bounds, std::string text)
    : Control(owner, std::move(name), ControlKind::Edit, bounds), text_(std::move(text)) {}

std::string Edit::Shown(std::string text) const {
  if (upperCase_) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  }
  return text;
}

void Edit::SetText(std::string text) {
  text = Shown(std::move(text));
  if (text == text_) {
    return;
  }
  text_ = std::move(text);
  Changed();
  if (OnChange) {
    OnChange();
  }
}

void Edit::SetMaxLength(int maxLength) {
  maxLength_ = maxLength;
  Changed();
}

void Edit::SetUpperCase(bool upperCase) {
  upperCase_ = upperCase;
  Changed();
}

void Edit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  Changed();
}

void Edit::UserType(std::string text) {
  if (readOnly_) {
    return;
  }
  if (maxLength_ > 0 && static_cast<int>(text.size()) > maxLength_) {
    text.resize(static_cast<std::size_t>(maxLength_));
  }
  UserAction([this, text = std::move(text)]() mutable { SetText(std::move(text)); });
}

Memo::Memo(Form& owner, std::string name, Bounds bounds)
    : Control(owner, std::move(name), ControlKind::Memo, bounds) {}

void Memo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  Changed();
}

void Memo::SetVerticalScrollBar(bool on) {
  verticalScrollBar_ = on;
  Changed();
}

void Memo::UserType(std::string_view text) {
  if (readOnly_) {
    return;
  }
  UserAction([this, text = std::string(text)] { Lines().SetText(text); });
}

SpinButton::SpinButton(Form& owner, std::string name, Bounds bounds, Edit& associate, int min,
                       int max)
    : Control(owner, std::move(name), ControlKind::SpinButton, bounds),
      associate_(associate),
      min_(min),
      max_(max),
      position_(min) {}

void SpinButton::UserStep(int delta) {
  UserAction(
      [this, delta] {
        const int from = text::TryStrToInt(associate_.Text()).value_or(position_);
        position_ = std::clamp(std::clamp(from, min_, max_) + delta, min_, max_);
        associate_.SetText(std::to_string(position_));
      },
      /*takesFocus=*/false);
}

Shape::Shape(Form& owner, std::string name, Bounds bounds, Color brush)
    : Control(owner, std::move(name), ControlKind::Shape, bounds), brush_(brush) {}

void Shape::SetBrushColor(Color color) {
  brush_ = color;
  Changed();
}

RichEdit::RichEdit(Form& owner, std::string name, Bounds bounds, std::string text)
    : Control(owner, std::move(name), ControlKind::RichEdit, bounds), text_(std::move(text)) {}

void RichEdit::SetText(std::string text) {
  text_ = std::move(text);
  Changed();
}

Image::Image(Form& owner, std::string name, Bounds bounds)
    : Control(owner, std::move(name), ControlKind::Image, bounds) {}

void Image::SetPicture(int width, int height, std::vector<std::uint8_t> rgb) {
  pictureWidth_ = width;
  pictureHeight_ = height;
  pixels_ = std::move(rgb);
  Changed();
}

}  // namespace ui
