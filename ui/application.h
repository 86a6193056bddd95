// The application object: title, message loop, quit request, message boxes and the dispatcher
// through which every handler runs.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ui/backend.h"

namespace ui {

class Form;

class Application {
 public:
  // `programPath` is the program file (argv[0]); the title is taken from its name.
  Application(std::string_view programPath, Backend& backend);
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The program file's name up to its first full stop, the first letter in upper case and every
  // letter after it in lower case: "tolvaner" and "TOLVANER.EXE" both give "Tolvaner".
  static std::string TitleOf(std::string_view programPath);
  const std::string& Title() const { return title_; }

  Backend& GetBackend() { return backend_; }

  // Runs a handler. A failure it raises ends that handler only: what it changed stays changed,
  // the failure report is shown and the caller goes on.
  void Dispatch(const std::function<void()>& handler);

  // The failure report: stop icon, one OK, the title as caption, the message and a full stop.
  void ShowFailure(std::string_view message);
  // The plain message dialog: the title as caption, the message, one OK.
  void MessageDialog(std::string_view message);

  // Shows `form` as the main window and runs the message loop until the quit request.
  void Run(Form& mainForm);
  // Shows `form` modally; returns at once once the quit request has been made.
  void ShowModal(Form& form);

  // Asks the application to end: the main loop and every modal loop end.
  void Quit();
  bool QuitRequested() const { return quitRequested_; }

 private:
  void Show(const MessageBox& box);

  Backend& backend_;
  std::string title_;
  bool quitRequested_ = false;
  int dispatchDepth_ = 0;
};

}  // namespace ui
