// The event loops, timers and message boxes on Qt, and the windows of the forms.
#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <map>
#include <vector>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/qt/form_view.h"
#include "ui/qt/widgets.h"
#include "ui/timer.h"

namespace ui::qt {

struct QtBackend::Impl final : ViewHost {
  struct ModalLoop {
    QEventLoop* loop = nullptr;
    bool ended = false;
  };

  // First, so it goes last: every widget and timer must go before the application does.
  std::unique_ptr<QApplication> ownedApp;
  std::map<const ui::Form*, std::unique_ptr<FormView>> views;
  std::map<const ui::Timer*, std::unique_ptr<QTimer>> timers;
  std::map<const ui::Form*, ModalLoop> modalLoops;
  std::vector<QPointer<QMessageBox>> boxes;
  bool quit = false;
  bool refreshing = false;
  bool refreshAgain = false;
  int loopsStarted = 0;

  FormView& ViewOf(ui::Form& form) {
    auto& view = views[&form];
    if (!view) {
      view = std::make_unique<FormView>(form, *this);
    }
    return *view;
  }

  void RefreshAll() override {
    // A change made while windows are being written is picked up by one more pass.
    if (refreshing) {
      refreshAgain = true;
      return;
    }
    refreshing = true;
    for (int pass = 0; pass < 3; ++pass) {
      refreshAgain = false;
      for (auto& [form, view] : views) {
        view->Sync(false);
      }
      if (!refreshAgain) {
        break;
      }
    }
    refreshing = false;
  }

  int LoopsStarted() const override { return loopsStarted; }
};

QtBackend::QtBackend(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
  if (QApplication::instance() == nullptr) {
    impl_->ownedApp = std::make_unique<QApplication>(argc, argv);
  }
  // The model decides when the program ends, not the last window closing.
  QApplication::setQuitOnLastWindowClosed(false);
  // The classic look the program's layout was drawn for. The application owns the style.
  QApplication::setStyle(new ClassicStyle());
  // Message boxes take the application's font.
  QApplication::setFont(WindowFont("MS Sans Serif", 8));
}

QtBackend::~QtBackend() = default;

void QtBackend::ArmTimer(ui::Timer& timer, int intervalMs) {
  auto& qtimer = impl_->timers[&timer];
  if (!qtimer) {
    qtimer = std::make_unique<QTimer>();
    // A coarse timer fires up to 5% early: 55 ms would come every ~52 ms.
    qtimer->setTimerType(Qt::PreciseTimer);
    ui::Timer* target = &timer;
    QObject::connect(qtimer.get(), &QTimer::timeout, qtimer.get(), [this, target] {
      target->Fire();
      // The application refreshes only after outermost events; a timer firing inside a box
      // or a modal window still has to show what it changed.
      impl_->RefreshAll();
    });
  }
  if (intervalMs <= 0) {
    // Interval 0 would fire on every pass of the loop.
    qtimer->stop();
    return;
  }
  qtimer->start(intervalMs);
}

void QtBackend::DisarmTimer(ui::Timer& timer) {
  // Stopped, not deleted: this may run inside the timer's own timeout.
  if (const auto at = impl_->timers.find(&timer); at != impl_->timers.end()) {
    at->second->stop();
  }
}

void QtBackend::RunMainLoop(ui::Form& mainForm) {
  if (impl_->quit) {
    return;
  }
  FormView& view = impl_->ViewOf(mainForm);
  if (mainForm.FocusedControl() == nullptr) {
    mainForm.FocusFirst();
  }
  view.Open(/*modal=*/false);
  QApplication::exec();
  view.hide();
}

void QtBackend::RunModalLoop(ui::Form& form) {
  if (impl_->quit) {
    return;
  }
  FormView& view = impl_->ViewOf(form);
  if (form.FocusedControl() == nullptr) {
    form.FocusFirst();
  }
  QPointer<QWidget> previous = QApplication::activeWindow();
  QEventLoop loop;
  auto& modal = impl_->modalLoops[&form];
  modal = {.loop = &loop, .ended = false};
  ++impl_->loopsStarted;
  view.Open(/*modal=*/true);
  if (!modal.ended && !impl_->quit) {
    loop.exec(QEventLoop::DialogExec);
  }
  impl_->modalLoops.erase(&form);
  view.hide();
  if (previous && previous->isVisible() && !impl_->quit) {
    previous->activateWindow();
  }
}

void QtBackend::EndModalLoop(ui::Form& form) {
  if (const auto at = impl_->modalLoops.find(&form); at != impl_->modalLoops.end()) {
    at->second.ended = true;
    at->second.loop->exit(0);
  }
}

void QtBackend::ShowMessage(const ui::MessageBox& box) {
  if (impl_->quit) {
    return;
  }
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr) {
    parent = QApplication::activeWindow();
  }
  QMessageBox message(
      box.icon == ui::MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
      QString::fromUtf8(box.caption.data(), static_cast<qsizetype>(box.caption.size())),
      QString::fromUtf8(box.text.data(), static_cast<qsizetype>(box.text.size())), QMessageBox::Ok,
      parent);
  message.setTextFormat(Qt::PlainText);
  impl_->boxes.emplace_back(&message);
  ++impl_->loopsStarted;
  message.exec();
  impl_->boxes.pop_back();
}

void QtBackend::Quit() {
  impl_->quit = true;
  // exit(), not quit(): quit() asks the windows first and is lost when no loop runs yet.
  QCoreApplication::exit(0);
  for (auto& [form, modal] : impl_->modalLoops) {
    modal.ended = true;
    modal.loop->exit(0);
  }
  for (auto& box : impl_->boxes) {
    if (box) {
      box->done(QMessageBox::Ok);
    }
  }
}

void QtBackend::Refresh() {
  impl_->RefreshAll();
}

void QtBackend::Realize(ui::Form& form) {
  impl_->ViewOf(form).Sync(false);
}

void QtBackend::Forget(const ui::Form& form) {
  impl_->views.erase(&form);
}

QWidget* QtBackend::WindowOf(const ui::Form& form) const {
  const auto at = impl_->views.find(&form);
  return at == impl_->views.end() ? nullptr : at->second.get();
}

QWidget* QtBackend::WidgetOf(const ui::Control& control) const {
  const auto at = impl_->views.find(&control.Owner());
  return at == impl_->views.end() ? nullptr : at->second->WidgetOf(control);
}

}  // namespace ui::qt
