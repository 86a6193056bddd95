// The base of every control: place, state, font style, and the form it belongs to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

class Form;

enum class ControlKind {
  Label,
  Bevel,
  Button,
  CheckBox,
  ComboBox,
  Edit,
  Memo,
  SpinButton,
  Shape,
  RichEdit,
  Image,
};

struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// Colours are 0x00BBGGRR, the window system's form.
using Color = std::uint32_t;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kNavy = 0x800000;

class Control {
 public:
  // Registers the control with its form, which keeps it in creation (and default tab) order.
  Control(Form& owner, std::string name, ControlKind kind, Bounds bounds);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  const Bounds& GetBounds() const { return bounds_; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop);
  bool Bold() const { return bold_; }
  void SetBold(bool bold);
  Color TextColor() const { return textColor_; }
  void SetTextColor(Color color);

  // Whether the control can hold the input focus: an enabled, visible control of a kind that
  // takes input. Tab stops only decide what Tab visits.
  bool CanFocus() const;
  bool Focused() const;

  // Runs when the focus leaves this control for another one of its form.
  std::function<void()> OnExit;

  // Grows with every change of what the control shows, so a view knows what to redraw.
  std::uint64_t Revision() const { return revision_; }

 protected:
  void Changed() { ++revision_; }
  // Runs a user action through the application's dispatcher, after moving the focus here when
  // the control can take it.
  void UserAction(const std::function<void()>& action, bool takesFocus = true);

 private:
  Form& owner_;
  std::string name_;
  ControlKind kind_;
  Bounds bounds_;
  bool enabled_ = true;
  bool visible_ = true;
  bool tabStop_ = true;
  bool bold_ = false;
  Color textColor_ = kBlack;
  std::uint64_t revision_ = 0;
};

}  // namespace ui
