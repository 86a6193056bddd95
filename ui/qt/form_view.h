// The window of one form: a top-level widget with a child widget per control, kept in step with
// the model and turning what the user does into the model's User* calls.
#pragma once

#include <QValidator>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "text/line_list.h"

namespace ui {
class Control;
class Form;
}  // namespace ui

namespace ui::qt {

// What a window needs from the backend that owns it.
class ViewHost {
 public:
  // Brings every window in line with its model.
  virtual void RefreshAll() = 0;
  // How many message boxes and modal loops have been started so far.
  virtual int LoopsStarted() const = 0;

 protected:
  ~ViewHost() = default;
};

class FormView : public QWidget {
 public:
  FormView(ui::Form& form, ViewHost& host);
  ~FormView() override;

  ui::Form& Model() const { return form_; }
  QWidget* WidgetOf(const ui::Control& control) const;

  // Brings the window in line with the model. Only what changed is written unless `force`.
  void Sync(bool force);
  // Shows the window centred on its screen, application-modal when `modal`, with the focus on
  // the model's focused control.
  void Open(bool modal);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct ControlView {
    ui::Control* control;
    QWidget* widget = nullptr;
    std::uint64_t revision = 0;
    bool stale = true;
    // Memo: the lines the widget holds, so a change is found by content and an append stays one.
    text::LineList shown;
    bool shownValid = false;
    // Whether `shown` is exactly the widget's text, which an append relies on; typing can leave
    // a final line break that the line list does not keep.
    bool shownExact = false;
    QValidator* upperCase = nullptr;
    // Inside a user action on this control: the model gets the focus move first, and a
    // refresh then must not write the old text over what the user just typed.
    int inUserAction = 0;
  };

  QWidget* Create(ControlView& view);
  void Watch(ControlView& view);
  void SyncControl(ControlView& view, bool force);
  void SyncKind(ControlView& view);
  void SyncMemoLines(ControlView& view);
  void PlaceLabel(ControlView& view);
  void ApplyTabOrder();
  void ReflectFocus();
  ControlView* ViewOf(const QObject* object) const;
  // Runs a user action on the model, then shows what it left, even where the model refused.
  void User(ControlView& view, const std::function<void()>& action);
  bool FocusIn(ControlView& view, QFocusEvent* event);
  bool ButtonKey(ControlView& view, QKeyEvent* event);

  ui::Form& form_;
  ViewHost& host_;
  std::vector<std::unique_ptr<ControlView>> views_;
  std::unordered_map<const QObject*, ControlView*> byObject_;
  std::unordered_map<const ui::Control*, ControlView*> byControl_;
  std::uint64_t formRevision_ = 0;
  bool syncing_ = false;
  bool dead_ = false;
  // A mouse press that gave the focus and, through a leave handler, opened a box or a modal
  // window: the press is stale by the time Qt delivers it.
  const ControlView* stalePress_ = nullptr;
};

}  // namespace ui::qt
