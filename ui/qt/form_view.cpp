// Building the controls' widgets, keeping them in step with the model, and the user's input.
#include "ui/qt/form_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/qt/widgets.h"

namespace ui::qt {

namespace {

using ui::ControlKind;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool TakesInput(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::ComboBox:
    case ControlKind::Edit:
    case ControlKind::Memo:
    case ControlKind::RichEdit:
      return true;
    default:
      return false;
  }
}

bool HasText(ControlKind kind) {
  return TakesInput(kind) || kind == ControlKind::Label;
}

QPalette::ColorRole TextRole(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
      return QPalette::ButtonText;
    case ControlKind::Label:
    case ControlKind::CheckBox:
      return QPalette::WindowText;
    default:
      return QPalette::Text;
  }
}

bool UserFocusReason(Qt::FocusReason reason) {
  switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
      return true;
    default:
      // The window coming back to the front, or a popup closing, is not a move of the user's.
      return false;
  }
}

class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = old_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

FormView::FormView(ui::Form& form, ViewHost& host)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      form_(form),
      host_(host) {
  for (ui::Control* control : form_.Controls()) {
    auto view = std::make_unique<ControlView>();
    view->control = control;
    view->widget = Create(*view);
    const ui::Bounds& b = control->GetBounds();
    view->widget->setGeometry(b.left, b.top, b.width, b.height);
    Watch(*view);
    byControl_[control] = view.get();
    views_.push_back(std::move(view));
  }
  // Bevels frame other controls: keep them beneath and let clicks through to what they frame.
  for (auto& view : views_) {
    if (view->control->Kind() == ControlKind::Bevel) {
      view->widget->lower();
    }
  }
  ApplyTabOrder();
  Sync(true);
}

FormView::~FormView() {
  dead_ = true;
  // Delete the controls' widgets while this object is still whole: their destruction moves the
  // focus and emits signals, none of which may reach the model, which may be gone already.
  for (auto& view : views_) {
    delete view->widget;
    view->widget = nullptr;
  }
}

QWidget* FormView::WidgetOf(const ui::Control& control) const {
  const auto at = byControl_.find(&control);
  return at == byControl_.end() ? nullptr : at->second->widget;
}

FormView::ControlView* FormView::ViewOf(const QObject* object) const {
  const auto at = byObject_.find(object);
  return at == byObject_.end() ? nullptr : at->second;
}

QWidget* FormView::Create(ControlView& view) {
  ControlView* v = &view;
  switch (view.control->Kind()) {
    case ControlKind::Label: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::Bevel: {
      auto* frame = new QFrame(this);
      frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(this);
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this,
              [this, v] { User(*v, [v] { static_cast<ui::Button*>(v->control)->UserClick(); }); });
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(this);
      // `clicked`, not `toggled`: only the user's clicks, never our own setChecked.
      connect(box, &QCheckBox::clicked, this, [this, v] {
        User(*v, [v] { static_cast<ui::CheckBox*>(v->control)->UserClick(); });
      });
      return box;
    }
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(this);
      auto* edit = new ComboLineEdit(combo);
      combo->setLineEdit(edit);
      combo->setInsertPolicy(QComboBox::NoInsert);
      // The default completer turns a typed "1" into "19200".
      combo->setCompleter(nullptr);
      connect(edit, &QLineEdit::textEdited, this, [this, v](const QString& text) {
        User(*v, [v, typed = ToUtf8(text)] {
          static_cast<ui::ComboBox*>(v->control)->UserType(typed);
        });
      });
      connect(combo, &QComboBox::activated, this, [this, v, edit](int index) {
        // Leaving the field, or Enter, with the text of another item "activates" that item:
        // the change handler ran for the typing already.
        if (edit->Finishing()) {
          return;
        }
        User(*v, [v, index] { static_cast<ui::ComboBox*>(v->control)->UserChoose(index); });
      });
      return combo;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(this);
      view.upperCase = new UpperCaseValidator(edit);
      connect(edit, &QLineEdit::textEdited, this, [this, v](const QString& text) {
        User(*v,
             [v, typed = ToUtf8(text)] { static_cast<ui::Edit*>(v->control)->UserType(typed); });
      });
      return edit;
    }
    case ControlKind::Memo: {
      auto* memo = new QPlainTextEdit(this);
      memo->setTabChangesFocus(true);
      memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      memo->document()->setDocumentMargin(2);
      // textChanged also fires for our own writes, which happen only while syncing_ is set.
      connect(memo, &QPlainTextEdit::textChanged, this, [this, v, memo] {
        if (syncing_ || dead_) {
          return;
        }
        const std::string typed = ToUtf8(memo->toPlainText());
        v->shown.SetText(typed);
        v->shownValid = true;
        v->shownExact = false;
        User(*v, [v, &typed] { static_cast<ui::Memo*>(v->control)->UserType(typed); });
      });
      return memo;
    }
    case ControlKind::SpinButton: {
      auto* spin = new SpinWidget(this);
      auto step = [this, v](int delta) {
        return [this, v, delta] {
          User(*v, [v, delta] { static_cast<ui::SpinButton*>(v->control)->UserStep(delta); });
        };
      };
      connect(spin->Up(), &QToolButton::clicked, this, step(+1));
      connect(spin->Down(), &QToolButton::clicked, this, step(-1));
      return spin;
    }
    case ControlKind::Shape:
      return new ShapeWidget(this);
    case ControlKind::RichEdit: {
      auto* rich = new QPlainTextEdit(this);
      rich->setReadOnly(true);
      rich->setTabChangesFocus(true);
      rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      rich->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      return rich;
    }
    case ControlKind::Image:
      return new ImageWidget(this);
  }
  return new QWidget(this);
}

void FormView::Watch(ControlView& view) {
  // The inner widgets too (a drop-down's edit, a memo's viewport and scroll bars): they get the
  // mouse presses that must be dropped when stale.
  view.widget->installEventFilter(this);
  byObject_[view.widget] = &view;
  for (QWidget* child : view.widget->findChildren<QWidget*>()) {
    if (!child->isWindow()) {
      child->installEventFilter(this);
      byObject_[child] = &view;
    }
  }
}

void FormView::ApplyTabOrder() {
  QWidget* previous = nullptr;
  for (ui::Control* control : form_.TabOrder()) {
    if (!TakesInput(control->Kind())) {
      continue;
    }
    QWidget* widget = WidgetOf(*control);
    if (previous != nullptr && widget != nullptr) {
      QWidget::setTabOrder(previous, widget);
    }
    previous = widget;
  }
}

void FormView::Sync(bool force) {
  if (dead_) {
    return;
  }
  ScopedFlag syncing(syncing_);
  if (force || form_.Revision() != formRevision_) {
    formRevision_ = form_.Revision();
    const QString title = FromUtf8(form_.Caption());
    if (windowTitle() != title) {
      setWindowTitle(title);
    }
    const QSize size(form_.ClientWidth(), form_.ClientHeight());
    if (minimumSize() != size || maximumSize() != size) {
      setFixedSize(size);
    }
    const QFont windowFont = WindowFont(form_.FontName(), form_.FontPointSize());
    if (font() != windowFont) {
      setFont(windowFont);
      force = true;
    }
  }
  for (auto& view : views_) {
    SyncControl(*view, force);
  }
  ReflectFocus();
}

void FormView::SyncControl(ControlView& view, bool force) {
  if (view.inUserAction > 0) {
    return;
  }
  ui::Control& control = *view.control;
  if (force || view.stale || control.Revision() != view.revision) {
    view.revision = control.Revision();
    view.stale = false;
    QWidget* widget = view.widget;
    const ControlKind kind = control.Kind();
    if (widget->isEnabled() != control.Enabled()) {
      widget->setEnabled(control.Enabled());
    }
    if (widget->isHidden() == control.Visible()) {
      widget->setHidden(!control.Visible());
    }
    const Qt::FocusPolicy policy = !TakesInput(kind)   ? Qt::NoFocus
                                   : control.TabStop() ? Qt::StrongFocus
                                                       : Qt::ClickFocus;
    if (widget->focusPolicy() != policy) {
      widget->setFocusPolicy(policy);
    }
    if (HasText(kind)) {
      QFont font = this->font();
      font.setBold(control.Bold());
      if (widget->font() != font) {
        widget->setFont(font);
      }
      // Active and inactive only: a disabled control keeps the greyed text of the style.
      const QColor color = ToQColor(control.TextColor());
      const QPalette::ColorRole role = TextRole(kind);
      if (widget->palette().color(QPalette::Active, role) != color ||
          widget->palette().color(QPalette::Inactive, role) != color) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
        widget->setPalette(palette);
      }
    }
    SyncKind(view);
  }
  if (control.Kind() == ControlKind::Memo) {
    // By content as well: code changes the lines through a reference it may keep.
    SyncMemoLines(view);
  }
}

void FormView::SyncKind(ControlView& view) {
  switch (view.control->Kind()) {
    case ControlKind::Label: {
      auto* label = static_cast<QLabel*>(view.widget);
      const QString text = FromUtf8(static_cast<ui::Label*>(view.control)->Caption());
      if (label->text() != text) {
        label->setText(text);
      }
      PlaceLabel(view);
      break;
    }
    case ControlKind::Button: {
      auto* button = static_cast<QPushButton*>(view.widget);
      const QString text = FromUtf8(static_cast<ui::Button*>(view.control)->Caption());
      if (button->text() != text) {
        button->setText(text);
      }
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = static_cast<QCheckBox*>(view.widget);
      const auto& model = *static_cast<ui::CheckBox*>(view.control);
      const QString text = FromUtf8(model.Caption());
      if (box->text() != text) {
        box->setText(text);
      }
      if (box->isChecked() != model.Checked()) {
        box->setChecked(model.Checked());
      }
      break;
    }
    case ControlKind::ComboBox: {
      auto* combo = static_cast<QComboBox*>(view.widget);
      const auto& model = *static_cast<ui::ComboBox*>(view.control);
      const auto& items = model.Items();
      bool same = combo->count() == static_cast<int>(items.size());
      for (int i = 0; same && i < combo->count(); ++i) {
        same = combo->itemText(i) == FromUtf8(items[static_cast<std::size_t>(i)]);
      }
      if (!same) {
        combo->clear();
        for (const auto& item : items) {
          combo->addItem(FromUtf8(item));
        }
      }
      const QString text = FromUtf8(model.Text());
      if (combo->currentText() != text) {
        // The list's current item follows the text so the arrow keys step from it; the index
        // is left alone while the text already matches, or typing would be rewritten.
        const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (combo->currentIndex() != index) {
          combo->setCurrentIndex(index);
        }
        if (combo->currentText() != text) {
          combo->setEditText(text);
        }
      }
      break;
    }
    case ControlKind::Edit: {
      auto* edit = static_cast<QLineEdit*>(view.widget);
      const auto& model = *static_cast<ui::Edit*>(view.control);
      const QString text = FromUtf8(model.Text());
      // The limit binds typing only: a longer text set from code is shown whole.
      const int limit = model.MaxLength() > 0
                            ? std::max(model.MaxLength(), static_cast<int>(text.size()))
                            : 32767;
      if (edit->maxLength() != limit) {
        edit->setMaxLength(limit);
      }
      if (edit->isReadOnly() != model.ReadOnly()) {
        edit->setReadOnly(model.ReadOnly());
      }
      const QValidator* validator = model.UpperCase() ? view.upperCase : nullptr;
      if (edit->validator() != validator) {
        edit->setValidator(validator);
      }
      if (edit->text() != text) {
        edit->setText(text);
      }
      break;
    }
    case ControlKind::Memo: {
      auto* memo = static_cast<QPlainTextEdit*>(view.widget);
      const auto& model = *static_cast<ui::Memo*>(view.control);
      if (memo->isReadOnly() != model.ReadOnly()) {
        memo->setReadOnly(model.ReadOnly());
        // A long read-only buffer would otherwise keep an undo record of every line added.
        memo->setUndoRedoEnabled(!model.ReadOnly());
      }
      const Qt::ScrollBarPolicy bar =
          model.VerticalScrollBar() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
      if (memo->verticalScrollBarPolicy() != bar) {
        memo->setVerticalScrollBarPolicy(bar);
      }
      break;
    }
    case ControlKind::Bevel:
    case ControlKind::SpinButton:
      break;
    case ControlKind::Shape:
      static_cast<ShapeWidget*>(view.widget)
          ->SetBrush(ToQColor(static_cast<ui::Shape*>(view.control)->BrushColor()));
      break;
    case ControlKind::RichEdit: {
      auto* rich = static_cast<QPlainTextEdit*>(view.widget);
      const QString text = FromUtf8(static_cast<ui::RichEdit*>(view.control)->Text());
      if (rich->toPlainText() != text) {
        rich->setPlainText(text);
      }
      break;
    }
    case ControlKind::Image: {
      const auto& model = *static_cast<ui::Image*>(view.control);
      static_cast<ImageWidget*>(view.widget)
          ->SetPicture(model.PictureWidth(), model.PictureHeight(), model.Pixels());
      break;
    }
  }
}

void FormView::SyncMemoLines(ControlView& view) {
  const auto& model = *static_cast<const ui::Memo*>(view.control);
  // Hidden lists are never seen; they are written once they are shown.
  if (!model.Visible()) {
    return;
  }
  const text::LineList& lines = model.Lines();
  if (view.shownValid && lines == view.shown) {
    return;
  }
  auto* memo = static_cast<QPlainTextEdit*>(view.widget);
  const int have = view.shownValid && view.shownExact ? view.shown.Count() : -1;
  bool append = have > 0 && lines.Count() > have;
  for (int i = 0; append && i < have; ++i) {
    append = lines.Get(i) == view.shown.Get(i);
  }
  const int from = append ? have : 0;
  std::string text;
  for (int i = from; i < lines.Count(); ++i) {
    if (append || i > from) {
      text += '\n';
    }
    text += lines.Get(i);
  }
  if (append) {
    // Only the new lines: the receive buffer grows to thousands of lines, a few at a time.
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(FromUtf8(text));
    for (int i = from; i < lines.Count(); ++i) {
      view.shown.Add(lines.Get(i));
    }
  } else {
    memo->setPlainText(FromUtf8(text));
    view.shown = lines;
  }
  view.shownValid = true;
  view.shownExact = true;
  // The newest line is the one to see.
  QScrollBar* bar = memo->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void FormView::PlaceLabel(ControlView& view) {
  const ui::Bounds& b = view.control->GetBounds();
  if (b.width > 0 && b.height > 0) {
    return;
  }
  // A label given no size takes its text's, as a self-sizing label does.
  const QSize hint = view.widget->sizeHint();
  view.widget->setGeometry(b.left, b.top, b.width > 0 ? b.width : hint.width(),
                           b.height > 0 ? b.height : hint.height());
}

void FormView::ReflectFocus() {
  ui::Control* focused = form_.FocusedControl();
  if (focused == nullptr || !isVisible()) {
    return;
  }
  QWidget* want = WidgetOf(*focused);
  if (want == nullptr || !want->isEnabled() || !want->isVisibleTo(this) ||
      want->focusPolicy() == Qt::NoFocus) {
    return;
  }
  const ControlView* has = ViewOf(focusWidget());
  if (has == nullptr || has->control != focused) {
    ScopedFlag syncing(syncing_);
    want->setFocus(Qt::OtherFocusReason);
  }
}

void FormView::Open(bool modal) {
  if (!isVisible()) {
    // Modality can only change while the window is hidden.
    setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    ApplyTabOrder();
    Sync(false);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame(QPoint(), size());
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
    show();
  }
  raise();
  activateWindow();
  ReflectFocus();
}

void FormView::User(ControlView& view, const std::function<void()>& action) {
  if (dead_ || syncing_) {
    return;
  }
  ++view.inUserAction;
  action();
  --view.inUserAction;
  view.stale = true;
  host_.RefreshAll();
}

bool FormView::FocusIn(ControlView& view, QFocusEvent* event) {
  if (syncing_ || !UserFocusReason(event->reason())) {
    return false;
  }
  ui::Control* control = view.control;
  if (form_.FocusedControl() == control || !control->CanFocus()) {
    return false;
  }
  const int loops = host_.LoopsStarted();
  User(view, [this, control] { form_.UserFocus(control); });
  if (event->reason() == Qt::MouseFocusReason && host_.LoopsStarted() != loops) {
    // Qt delivers the press after the focus; the user has dealt with a box since then.
    stalePress_ = &view;
    QTimer::singleShot(0, this, [this] { stalePress_ = nullptr; });
  }
  return false;
}

bool FormView::ButtonKey(ControlView& view, QKeyEvent* event) {
  ui::Key key;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      key = ui::Key::Enter;
      break;
    case Qt::Key_Space:
      if (event->isAutoRepeat()) {
        return true;
      }
      key = ui::Key::Space;
      break;
    default:
      return false;
  }
  if (form_.FocusedControl() != view.control) {
    User(view, [this, &view] { form_.UserFocus(view.control); });
  }
  User(view, [this, key] { form_.UserKey(key); });
  return true;
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
  ControlView* view = dead_ ? nullptr : ViewOf(watched);
  if (view == nullptr) {
    return false;
  }
  const ControlKind kind = view->control->Kind();
  switch (event->type()) {
    case QEvent::FocusIn:
      return FocusIn(*view, static_cast<QFocusEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const bool stale = stalePress_ == view;
      stalePress_ = nullptr;
      return stale;
    }
    case QEvent::KeyPress:
      return kind == ControlKind::Button && ButtonKey(*view, static_cast<QKeyEvent*>(event));
    default:
      return false;
  }
}

void FormView::closeEvent(QCloseEvent* event) {
  if (dead_) {
    event->accept();
    return;
  }
  // The model decides what closing means: a main window ends the program and goes, any other
  // window ends its modal showing, after which the backend hides it.
  event->setAccepted(form_.IsMainForm());
  form_.UserClose();
  host_.RefreshAll();
}

void FormView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // A plain window, not a dialog: Escape closes nothing.
    form_.UserKey(ui::Key::Escape);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace ui::qt
