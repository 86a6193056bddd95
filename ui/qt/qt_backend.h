// The Qt 6 Widgets backend: shows ui::Form as real windows, runs the event loops and timers, and
// turns what the user does into the model's User* calls. Includes no Qt header, so the entry
// point can create it without seeing Qt.
#pragma once

#include <memory>

#include "ui/backend.h"

class QWidget;

namespace ui {
class Control;
class Form;
}  // namespace ui

namespace ui::qt {

class QtBackend : public ui::Backend {
 public:
  // Creates the QApplication from the program's arguments (Qt may take some of them out), or
  // uses the one that already exists. Sets the widget style and the default font of the
  // program's windows.
  QtBackend(int& argc, char** argv);
  // Deletes every window; forms still alive are no longer shown.
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  // Restarts a precise QTimer for `timer`; its timeouts call timer.Fire().
  void ArmTimer(ui::Timer& timer, int intervalMs) override;
  void DisarmTimer(ui::Timer& timer) override;
  // Shows `mainForm` centred with the focus where the model has it (its first tab stop unless
  // the program chose), then runs QApplication::exec() until Quit.
  void RunMainLoop(ui::Form& mainForm) override;
  // Shows `form` centred and application-modal, runs a nested loop until EndModalLoop(form) or
  // Quit, then hides it. Returns at once after Quit.
  void RunModalLoop(ui::Form& form) override;
  void EndModalLoop(ui::Form& form) override;
  // A QMessageBox with one OK; the stop icon shows as Critical. Returns at once after Quit.
  void ShowMessage(const ui::MessageBox& box) override;
  // Ends the main loop, every nested loop and every open box; later loops return at once.
  void Quit() override;
  // Writes into the widgets what changed in the models of the windows built so far.
  void Refresh() override;

  // Builds the window of `form` (once) and brings it in line with the model, without showing it.
  void Realize(ui::Form& form);
  // Deletes the window of `form`; for a form that goes before the backend does.
  void Forget(const ui::Form& form);
  // The window of a realized form and the widget of one of its controls; null before Realize.
  QWidget* WindowOf(const ui::Form& form) const;
  QWidget* WidgetOf(const ui::Control& control) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui::qt
