// A window: caption, client size, border, the controls it owns and the one that has the focus.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace ui {

class Application;
class Control;

enum class Key { Enter, Space, Escape, Tab };

class Form {
 public:
  explicit Form(Application& app);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Application& App() const { return app_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientSize(int width, int height);
  // The program's windows all have a fixed single border, no border icons and open centred.
  std::string FontName() const { return fontName_; }
  int FontPointSize() const { return fontPointSize_; }
  void SetFont(std::string name, int pointSize);

  // Controls in creation order.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* Find(std::string_view name) const;

  // Tab order: the listed controls first, in that order, then any others in creation order.
  void SetTabOrder(std::initializer_list<Control*> order);
  const std::vector<Control*>& TabOrder() const { return tabOrder_; }

  Control* FocusedControl() const { return focused_; }
  // Gives the focus to the first control in tab order that can take it.
  void FocusFirst();
  // Moves the focus to `target` (which must be able to take it); the leave handler of the
  // control that had it runs first, inside the caller's handler.
  void MoveFocus(Control* target);

  // Keys the form handles itself: Enter and Space click a focused button, Tab moves the focus
  // along the tab order, Escape does nothing.
  void UserKey(Key key);
  // The user moved the focus (with the mouse or the window system's own keys).
  void UserFocus(Control* target);
  // The window was closed by the window system (not from code): OnClose runs; a main window
  // then asks the application to end.
  void UserClose();

  // Closes the form from code: ends its modal showing.
  void Close();
  bool Modal() const { return modal_; }
  void SetModal(bool modal) { modal_ = modal; }
  bool IsMainForm() const { return mainForm_; }
  void SetMainForm(bool mainForm) { mainForm_ = mainForm; }

  std::function<void()> OnClose;

  std::uint64_t Revision() const { return revision_; }

 private:
  friend class Control;
  void Register(Control* control);
  void Unregister(Control* control);

  Application& app_;
  std::string caption_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  std::string fontName_ = "MS Sans Serif";
  int fontPointSize_ = 8;
  std::vector<Control*> controls_;
  std::vector<Control*> tabOrder_;
  Control* focused_ = nullptr;
  bool modal_ = false;
  bool mainForm_ = false;
  std::uint64_t revision_ = 0;
};

}  // namespace ui
