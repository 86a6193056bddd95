// The application object and its dispatcher.
#include "ui/application.h"

#include <cctype>
#include <exception>
#include <utility>

#include "ui/form.h"

namespace ui {

Application::Application(std::string_view programPath, Backend& backend)
    : backend_(backend), title_(TitleOf(programPath)) {}

std::string Application::TitleOf(std::string_view programPath) {
  const auto slash = programPath.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  if (!title.empty()) {
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
  }
  for (std::size_t i = 1; i < title.size(); ++i) {
    title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
  }
  return title;
}

void Application::Dispatch(const std::function<void()>& handler) {
  ++dispatchDepth_;
  try {
    handler();
  } catch (const std::exception& e) {
    ShowFailure(e.what());
  } catch (...) {
    ShowFailure("Unknown failure");
  }
  --dispatchDepth_;
  if (dispatchDepth_ == 0) {
    backend_.Refresh();
  }
}

void Application::ShowFailure(std::string_view message) {
  Show({.caption = title_, .text = std::string(message) + ".", .icon = MessageIcon::Stop});
}

void Application::MessageDialog(std::string_view message) {
  Show({.caption = title_, .text = std::string(message), .icon = MessageIcon::None});
}

void Application::Show(const MessageBox& box) {
  if (quitRequested_) {
    return;
  }
  backend_.Refresh();
  // Handlers that run while the box is open (timers) are outermost events of their own: the view
  // shows their changes at once.
  const int depth = std::exchange(dispatchDepth_, 0);
  backend_.ShowMessage(box);
  dispatchDepth_ = depth;
}

void Application::Run(Form& mainForm) {
  if (quitRequested_) {
    return;
  }
  backend_.Refresh();
  backend_.RunMainLoop(mainForm);
}

void Application::ShowModal(Form& form) {
  if (quitRequested_) {
    return;
  }
  form.SetModal(true);
  backend_.Refresh();
  const int depth = std::exchange(dispatchDepth_, 0);
  backend_.RunModalLoop(form);
  dispatchDepth_ = depth;
  form.SetModal(false);
}

void Application::Quit() {
  if (quitRequested_) {
    return;
  }
  quitRequested_ = true;
  backend_.Quit();
}

}  // namespace ui
