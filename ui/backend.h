// The seam between the window-system layer and an event loop: Qt in the program, a virtual
// clock in the tests.
#pragma once

#include <string>

namespace ui {

class Form;
class Timer;

enum class MessageIcon { None, Stop };

// A modal message box with one OK button.
struct MessageBox {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::None;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Starts firing `timer` every `intervalMs` (> 0) from now; re-arming restarts it.
  virtual void ArmTimer(Timer& timer, int intervalMs) = 0;
  virtual void DisarmTimer(Timer& timer) = 0;

  // Shows the main form and runs the message loop until Quit.
  virtual void RunMainLoop(Form& mainForm) = 0;
  // Shows `form` modally; returns when the form has closed or Quit was called.
  virtual void RunModalLoop(Form& form) = 0;
  // Ends the modal loop of `form` (the form was closed from code).
  virtual void EndModalLoop(Form& form) = 0;
  // Shows a modal message box; returns when it is dismissed or Quit was called.
  virtual void ShowMessage(const MessageBox& box) = 0;
  // Ends the main loop and every modal loop.
  virtual void Quit() = 0;

  // Called after every event the application dispatched, so the view can show the model.
  virtual void Refresh() = 0;
};

}  // namespace ui
