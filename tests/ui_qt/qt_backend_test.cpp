// The Qt backend with real widgets on the offscreen platform: what it shows, what the user's keys
// and clicks do to the model, its loops, timers and message boxes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/qt/qt_backend.h"
#include "ui/timer.h"

namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// A window with some controls of every kind, laid out and styled as the program's are.
struct SampleForm : ui::Form {
  explicit SampleForm(ui::Application& app) : ui::Form(app) {
    SetCaption("Проба связи");
    SetClientSize(549, 318);
    title.SetBold(true);
    edit.SetUpperCase(true);
    edit.SetMaxLength(4);
    edit.SetTextColor(ui::kNavy);
    readOnly.SetReadOnly(true);
    readOnly.SetTabStop(false);
    rx.SetReadOnly(true);
    rx.SetVerticalScrollBar(true);
    rx.SetTabStop(false);
    tx.SetVerticalScrollBar(true);
    hidden.SetVisible(false);
    hidden.SetEnabled(false);
    about.SetEnabled(false);
    quit.SetBold(true);
    notes.SetTabStop(false);
    notes.SetTextColor(ui::kNavy);
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 30; ++x) {
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(8 * x), static_cast<std::uint8_t>(y),
                               static_cast<std::uint8_t>(200)});
      }
    }
    picture.SetPicture(30, 8, std::move(rgb));
    // Not the creation order, so the view's own order would show.
    SetTabOrder({&port, &rate, &edit, &open, &length, &readOnly, &tx, &quit, &send, &about});
  }

  ui::Label title{*this, "Label1", {8, 8, 0, 0}, "Параметры порта"};
  ui::Label portLabel{*this, "Label2", {8, 28, 70, 13}, "Порт"};
  ui::ComboBox port{*this, "ComboBox1", {84, 24, 69, 21}, {"COM1", "COM2", "COM3"}, "COM2"};
  ui::ComboBox rate{*this, "ComboBox2", {84, 44, 69, 21}, {"110", "9600", "19200"}, "9600"};
  ui::CheckBox open{*this, "CheckBox4", {8, 112, 97, 17}, "Открыть порт"};
  ui::Edit edit{*this, "Edit2", {112, 204, 41, 21}, "0000"};
  ui::Edit length{*this, "Edit5", {248, 24, 21, 21}, "0"};
  ui::SpinButton spin{*this, "UpDown1", {269, 24, 15, 21}, length, 0, 80};
  ui::Edit readOnly{*this, "Edit12", {440, 64, 41, 21}, ""};
  ui::Memo tx{*this, "Memo1", {288, 50, 61, 160}};
  ui::Memo rx{*this, "Memo2", {484, 24, 61, 289}};
  ui::Memo hidden{*this, "Memo3", {292, 224, 41, 25}};
  ui::Shape lamp{*this, "Shape1", {360, 136, 17, 5}, 0x808080};
  ui::Image picture{*this, "Image1", {390, 250, 20, 10}};
  ui::RichEdit notes{*this, "RichEdit1", {160, 230, 120, 50}, "Программа принимает данные."};
  ui::Button send{*this, "Button1", {164, 288, 121, 25}, "Передать"};
  ui::Button about{*this, "Button4", {0, 264, 157, 25}, "Обо мне..."};
  ui::Button quit{*this, "Button3", {0, 292, 157, 25}, "Выход"};
  // Made last, so above the controls it frames unless the view puts it beneath.
  ui::Bevel frame{*this, "Bevel3", {0, 4, 157, 129}};
};

struct AboutForm : ui::Form {
  explicit AboutForm(ui::Application& app) : ui::Form(app) {
    SetCaption("Обо мне...");
    SetClientSize(518, 210);
    notes.SetTabStop(false);
    ok.OnClick = [this] { Close(); };
  }
  ui::RichEdit notes{*this, "RichEdit1", {0, 4, 385, 205}, "Заметки"};
  ui::Button ok{*this, "Button1", {392, 184, 125, 25}, "OK"};
};

class QtBackendTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Never a real display, whatever the shell has.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }

  void SetUp() override { backend.Realize(form); }

  QWidget* Window() { return backend.WindowOf(form); }
  template <typename W = QWidget>
  W* Widget(const ui::Control& control) {
    return qobject_cast<W*>(backend.WidgetOf(control));
  }

  // Runs `scenario` inside the main loop, then asks the application to end.
  void InMainLoop(const std::function<void()>& scenario) {
    QTimer::singleShot(0, &guard, [&] {
      struct QuitAtEnd {
        ui::Application& app;
        ~QuitAtEnd() { app.Quit(); }
      } quitAtEnd{app};
      ASSERT_TRUE(QTest::qWaitForWindowActive(Window()));
      scenario();
    });
    QTimer::singleShot(20000, &guard, [] {
      // A loop that outlives the quit request cannot be ended from here.
      std::fprintf(stderr, "the scenario did not end\n");
      std::abort();
    });
    app.Run(form);
  }

  // Calls `action` once the application-modal widget is of type W, from inside its loop.
  template <typename W>
  void WhenModal(std::function<void(W*)> action) {
    auto poll = std::make_shared<QTimer>();
    poll->setInterval(5);
    QObject::connect(poll.get(), &QTimer::timeout, &guard, [poll, action] {
      if (auto* modal = qobject_cast<W*>(QApplication::activeModalWidget())) {
        poll->stop();
        action(modal);
      }
    });
    poll->start();
    polls.push_back(poll);
  }

  // Key events carrying their text: QTest::keyClicks cannot send non-ASCII text.
  static void Type(const QString& text) {
    for (const QChar ch : text) {
      const bool newline = ch == u'\n';
      const int key = newline ? int{Qt::Key_Return} : int{ch.toUpper().unicode()};
      const QString sent = newline ? QStringLiteral("\r") : QString(ch);
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, sent);
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, sent);
      QApplication::sendEvent(QApplication::focusWidget(), &press);
      QApplication::sendEvent(QApplication::focusWidget(), &release);
    }
  }
  static void Key(int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); }
  // A click where the user would make it: the window finds the widget under the point.
  void ClickAt(const ui::Control& control, QPoint offset = {-1, -1}) {
    const ui::Bounds& b = control.GetBounds();
    if (offset == QPoint(-1, -1)) {
      offset = QPoint(b.width / 2, b.height / 2);
    }
    QTest::mouseClick(Window()->windowHandle(), Qt::LeftButton, {}, QPoint(b.left, b.top) + offset);
  }

  int argc = 1;
  char name[9] = "tolvaner";
  char* argv[2] = {name, nullptr};
  ui::qt::QtBackend backend{argc, argv};
  ui::Application app{"/usr/bin/tolvaner", backend};
  SampleForm form{app};
  QObject guard;  // context of the tests' own Qt timers; goes before the application does
  std::vector<std::shared_ptr<QTimer>> polls;
  std::vector<std::string> log;
};

using QtWindow = QtBackendTest;

TEST_F(QtWindow, HasTheModelsSizeTitleBorderFontAndPlaces) {
  QWidget* window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(549, 318));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed border";
  EXPECT_EQ(window->windowTitle(), U("Проба связи"));
  EXPECT_EQ(window->windowFlags(), Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
      << "a title, no border icons";
  const QString family =
      QFontDatabase::hasFamily("MS Sans Serif") ? "MS Sans Serif" : "Liberation Sans";
  EXPECT_EQ(QFontInfo(window->font()).family(), family);
  EXPECT_EQ(window->font().pointSize(), 8);

  for (ui::Control* control : form.Controls()) {
    SCOPED_TRACE(control->Name());
    QWidget* widget = backend.WidgetOf(*control);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), window);
    const ui::Bounds& b = control->GetBounds();
    const QSize size = b.width > 0 ? QSize(b.width, b.height) : widget->sizeHint();
    EXPECT_EQ(widget->geometry(), QRect(QPoint(b.left, b.top), size));
    EXPECT_EQ(widget->isHidden(), !control->Visible());
    EXPECT_EQ(widget->isEnabled(), control->Enabled());
  }
}

TEST_F(QtWindow, ShowsCaptionsStylesAndColoursOfTheModel) {
  auto* title = Widget<QLabel>(form.title);
  EXPECT_EQ(title->text(), U("Параметры порта"));
  EXPECT_TRUE(title->font().bold());
  EXPECT_TRUE(QFontMetrics(title->font()).inFont(U("П").at(0))) << "the font has Cyrillic";
  EXPECT_FALSE(Widget(form.portLabel)->font().bold());
  EXPECT_TRUE(Widget(form.quit)->font().bold());
  EXPECT_EQ(Widget<QPushButton>(form.send)->text(), U("Передать"));
  EXPECT_EQ(Widget<QCheckBox>(form.open)->text(), U("Открыть порт"));
  EXPECT_EQ(Widget<QComboBox>(form.port)->currentText(), "COM2");
  EXPECT_EQ(Widget<QComboBox>(form.port)->count(), 3);
  EXPECT_EQ(Widget<QPlainTextEdit>(form.notes)->toPlainText(), U("Программа принимает данные."));
  EXPECT_TRUE(Widget<QPlainTextEdit>(form.notes)->isReadOnly());

  const QColor navy(0, 0, 128);  // 0x800000 is blue 0x80, green 0, red 0
  EXPECT_EQ(Widget(form.edit)->palette().color(QPalette::Active, QPalette::Text), navy);
  EXPECT_EQ(Widget(form.notes)->palette().color(QPalette::Active, QPalette::Text), navy);
  EXPECT_EQ(Widget(form.title)->palette().color(QPalette::Active, QPalette::WindowText), Qt::black);

  form.title.SetCaption("Буфер RX");
  form.send.SetEnabled(false);
  form.hidden.SetVisible(true);
  backend.Refresh();
  EXPECT_EQ(title->text(), U("Буфер RX"));
  EXPECT_FALSE(Widget(form.send)->isEnabled());
  EXPECT_FALSE(Widget(form.hidden)->isHidden());
}

TEST_F(QtWindow, DrawsLampsAndPictureInTheModelsColours) {
  const QPoint inLamp(360 + 8, 136 + 2);
  struct Row {
    const char* fault;
    ui::Color brush;
    QColor shown;
  };
  for (const Row& row : {
           Row{"lamp not grey at start", 0x808080, QColor(128, 128, 128)},
           Row{"lamp not repainted after a change", 0x00FF00, QColor(0, 255, 0)},
           Row{"red and blue swapped", 0x0000FF, QColor(255, 0, 0)},
       }) {
    SCOPED_TRACE(row.fault);
    form.lamp.SetBrushColor(row.brush);
    backend.Refresh();
    const QImage shot = Window()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(inLamp), row.shown);
    EXPECT_EQ(shot.pixelColor(360, 136), Qt::black) << "outline";
  }

  const QImage shot = Window()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(390, 250), QColor(0, 0, 200)) << "picture's top-left corner";
  EXPECT_EQ(shot.pixelColor(390 + 19, 250 + 7), QColor(8 * 19, 7, 200)) << "picture's own size";
  EXPECT_NE(shot.pixelColor(390 + 20, 250), QColor(8 * 20, 0, 200)) << "clipped at the right";
  EXPECT_EQ(shot.pixelColor(390, 250 + 9), Window()->palette().color(QPalette::Window))
      << "nothing below the picture";
}

using QtInput = QtBackendTest;

TEST_F(QtInput, TypingReachesTheModelWithTheNewTextInPlace) {
  form.edit.OnChange = [&] { log.push_back("Edit2=" + form.edit.Text()); };
  form.rate.OnChange = [&] { log.push_back("ComboBox2=" + form.rate.Text()); };
  form.readOnly.OnChange = [&] { log.push_back("Edit12=" + form.readOnly.Text()); };
  struct Row {
    const char* fault;
    ui::Control& target;
    const char* typed;
    std::vector<std::string> changes;
    std::function<std::string()> modelText;
    QString shown;
  };
  const std::vector<Row> rows = {
      {"upper case or the limit lost",
       form.edit,
       "ab1cd",
       {"Edit2=A", "Edit2=AB", "Edit2=AB1", "Edit2=AB1C"},
       [&] { return form.edit.Text(); },
       "AB1C"},
      {"the completer rewrote what was typed",
       form.rate,
       "1",
       {"ComboBox2=1"},
       [&] { return form.rate.Text(); },
       "1"},
      {"a read-only field took typing",
       form.readOnly,
       "x",
       {},
       [&] { return form.readOnly.Text(); },
       ""},
      {"Cyrillic or line breaks lost in a memo",
       form.tx,
       "Привет\nмир",
       {},
       [&] { return form.tx.Lines().Text(); },
       U("Привет\nмир")},
  };
  InMainLoop([&] {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.fault);
      log.clear();
      QWidget* widget = backend.WidgetOf(row.target);
      widget->setFocus(Qt::TabFocusReason);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
      Type(U(row.typed));
      EXPECT_EQ(form.FocusedControl(), &row.target);
      EXPECT_EQ(log, row.changes);
      QString shown;
      if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        shown = combo->currentText();
      } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        shown = edit->text();
      } else {
        shown = qobject_cast<QPlainTextEdit*>(widget)->toPlainText();
      }
      EXPECT_EQ(shown, row.shown);
      const std::string expected = row.shown.toStdString();
      EXPECT_EQ(row.modelText(),
                qobject_cast<QPlainTextEdit*>(widget) ? expected + "\n" : expected);
    }

    // The view writes a text back only when the model's differs, or the cursor would jump.
    auto* edit = Widget<QLineEdit>(form.edit);
    form.edit.SetText("12");
    backend.Refresh();
    edit->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Home);
    Type("a");
    EXPECT_EQ(form.edit.Text(), "A12");
    EXPECT_EQ(edit->cursorPosition(), 1);
  });
}

TEST_F(QtInput, DropDownArrowsChooseAndLeavingDoesNot) {
  form.port.OnChange = [&] { log.push_back(form.port.Text()); };
  InMainLoop([&] {
    auto* combo = Widget<QComboBox>(form.port);
    combo->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Down);
    EXPECT_EQ(form.port.Text(), "COM3") << "steps from the item the text shows";
    Key(Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    Type("COM1");  // another item's text: Qt would choose that item on Enter and on leaving
    Key(Qt::Key_Return);
    Key(Qt::Key_Tab);
    EXPECT_EQ(log, (std::vector<std::string>{"COM3", "COM2", "C", "CO", "COM", "COM1"}));
    form.port.SetText("COM2");  // from code: no handler, but the list follows
    backend.Refresh();
    EXPECT_EQ(combo->currentText(), "COM2");
    combo->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Down);
    EXPECT_EQ(form.port.Text(), "COM3");
  });
}

TEST_F(QtInput, ClicksReachTheModelAndTheViewShowsItsAnswer) {
  form.open.OnClick = [&] {
    log.push_back(form.open.Checked() ? "on" : "off");
    if (form.open.Checked() && form.length.Text() == "1") {
      form.open.SetChecked(false);  // the way a failed port open takes the tick back
    }
  };
  form.about.OnClick = [&] { log.push_back("disabled button clicked"); };
  auto* box = Widget<QCheckBox>(form.open);
  InMainLoop([&] {
    ClickAt(form.open);  // inside a bevel made after it
    EXPECT_TRUE(form.open.Checked());
    ClickAt(form.open);
    EXPECT_FALSE(box->isChecked());
    ClickAt(form.spin, {7, 16});
    EXPECT_EQ(form.length.Text(), "0") << "no step below the minimum";
    ClickAt(form.spin, {7, 4});
    EXPECT_EQ(Widget<QLineEdit>(form.length)->text(), "1");
    ClickAt(form.open);
    EXPECT_FALSE(form.open.Checked());
    EXPECT_FALSE(box->isChecked()) << "the handler took the tick back";
    ClickAt(form.about);
    EXPECT_EQ(log, (std::vector<std::string>{"on", "off", "on", "off"}));
  });
}

using QtFocus = QtBackendTest;

TEST_F(QtFocus, StartsOnTheFirstTabStopAndTabFollowsTheTabOrder) {
  InMainLoop([&] {
    EXPECT_EQ(form.FocusedControl(), &form.port);
    EXPECT_EQ(QApplication::focusWidget(), Widget(form.port));
    // Edit12 is no tab stop, Button4 is disabled, Memo2 and RichEdit1 are no tab stops.
    const std::vector<ui::Control*> tabs = {&form.rate, &form.edit, &form.open, &form.length,
                                            &form.tx,   &form.quit, &form.send, &form.port};
    for (ui::Control* expected : tabs) {
      Key(Qt::Key_Tab);
      EXPECT_EQ(form.FocusedControl(), expected) << expected->Name();
    }
    Key(Qt::Key_Backtab);
    EXPECT_EQ(form.FocusedControl(), &form.send);
  });
}

TEST_F(QtFocus, AClickLeavesTheFieldBeforeTheButtonsHandlerRuns) {
  form.edit.OnExit = [&] { log.push_back("exit " + form.edit.Text()); };
  form.send.OnClick = [&] { log.push_back("click"); };
  InMainLoop([&] {
    ClickAt(form.edit);
    EXPECT_EQ(form.FocusedControl(), &form.edit);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    Type("12");
    ClickAt(form.send);
    EXPECT_EQ(log, (std::vector<std::string>{"exit 12", "click"}));
    EXPECT_EQ(form.FocusedControl(), &form.send);
    EXPECT_EQ(QApplication::focusWidget(), Widget(form.send));
  });
}

TEST_F(QtFocus, AClickWhoseLeaveHandlerFailsIsDropped) {
  form.edit.OnExit = [&] { throw std::runtime_error("'0000' is not a valid integer value"); };
  form.send.OnClick = [&] { log.push_back("click"); };
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    log.push_back(box->text().toStdString());
    box->button(QMessageBox::Ok)->click();
  });
  InMainLoop([&] {
    ClickAt(form.edit);
    ClickAt(form.send);
    EXPECT_EQ(log, (std::vector<std::string>{"'0000' is not a valid integer value."}));
    EXPECT_FALSE(Widget<QPushButton>(form.send)->isDown()) << "a press went in after the box";
    ClickAt(form.send);
    EXPECT_EQ(log.back(), "click");
  });
}

TEST_F(QtFocus, EnterAndSpaceClickAFocusedButtonEscapeDoesNothing) {
  int clicks = 0;
  form.send.OnClick = [&] { ++clicks; };
  struct Row {
    const char* fault;
    Qt::Key key;
    int clicks;
  };
  InMainLoop([&] {
    for (const Row& row :
         {Row{"Enter ignored", Qt::Key_Return, 1}, Row{"keypad Enter ignored", Qt::Key_Enter, 1},
          Row{"Space ignored or clicked twice", Qt::Key_Space, 1},
          Row{"Escape did something", Qt::Key_Escape, 0}}) {
      SCOPED_TRACE(row.fault);
      clicks = 0;
      Widget(form.send)->setFocus(Qt::TabFocusReason);
      Key(row.key);
      EXPECT_EQ(clicks, row.clicks);
      EXPECT_TRUE(Window()->isVisible());
    }
  });
}

using QtMemo = QtBackendTest;

TEST_F(QtMemo, ReceiveBufferTakesOnlyNewLinesAndFollowsTheEnd) {
  text::LineList& kept = form.rx.Lines();  // code may hold on to the lines and change them later
  auto* memo = Widget<QPlainTextEdit>(form.rx);
  struct Row {
    const char* fault;
    std::function<void()> change;
    bool rewritten;
  };
  const std::vector<Row> rows = {
      {"first lines not shown", [&] { kept.Add("B2 4D"); }, true},
      {"an append rewrote the buffer",
       [&] {
         for (int i = 1; i < 4096; ++i) {
           kept.Add(std::to_string(i));
         }
       },
       false},
      {"a change through kept lines missed", [&] { kept.Set(0, "00 00"); }, true},
      {"a cleared buffer still shown", [&] { kept.Clear(); }, true},
  };
  InMainLoop([&] {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.fault);
      memo->document()->firstBlock().setUserState(42);
      row.change();
      backend.Refresh();
      QString expected = QString::fromStdString(kept.Text());
      expected.chop(1);
      EXPECT_EQ(memo->toPlainText(), expected);
      EXPECT_EQ(memo->document()->firstBlock().userState() != 42, row.rewritten);
      EXPECT_EQ(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());
    }
  });
}

TEST_F(QtMemo, FourThousandLinesOneRefreshEachStayCheap) {
  auto* memo = Widget<QPlainTextEdit>(form.rx);
  InMainLoop([&] {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4096; ++i) {
      form.rx.Lines().Add("B2 4D 00 01");
      backend.Refresh();
    }
    EXPECT_EQ(memo->document()->blockCount(), 4096);
    // Rewriting the whole buffer on every line takes tens of seconds here.
    EXPECT_LT(clock.elapsed(), 5000);
  });
}

using QtLoops = QtBackendTest;

TEST_F(QtLoops, TimersKeepFiringWhileAMessageBoxIsOpen) {
  ui::Timer timer{app, 10};
  int firedWithBox = 0;
  timer.OnTimer = [&] {
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      form.portLabel.SetCaption(std::to_string(++firedWithBox));
    }
  };
  struct Row {
    const char* fault;
    std::function<void()> show;
    QString text;
    QMessageBox::Icon icon;
  };
  const std::vector<Row> rows = {
      {"plain dialog", [&] { app.MessageDialog("Порт закрыт"); }, U("Порт закрыт"),
       QMessageBox::NoIcon},
      {"failure report", [&] { app.ShowFailure("Ошибка открытия порта"); },
       U("Ошибка открытия порта."), QMessageBox::Critical},
  };
  const Row* showing = nullptr;
  form.send.OnClick = [&] { showing->show(); };  // a box opened inside a handler, as usual
  InMainLoop([&] {
    timer.SetEnabled(true);
    for (const Row& row : rows) {
      SCOPED_TRACE(row.fault);
      firedWithBox = 0;
      showing = &row;
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->text(), row.text);
        EXPECT_EQ(box->windowTitle(), "Tolvaner");
        EXPECT_EQ(box->icon(), row.icon);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return firedWithBox >= 3; }));
        EXPECT_EQ(Widget<QLabel>(form.portLabel)->text().toStdString(), form.portLabel.Caption())
            << "the main window shows what the timer changed";
        QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
      });
      ClickAt(form.send);
      EXPECT_GE(firedWithBox, 3);
    }
  });
}

TEST_F(QtLoops, ModalWindowKeepsTheTimersAndClosesOnEnterNotOnEscape) {
  AboutForm about{app};
  ui::Timer timer{app, 10};
  int firedWhileModal = 0;
  timer.OnTimer = [&] { firedWhileModal += about.Modal() ? 1 : 0; };
  form.send.OnClick = [&] {
    app.ShowModal(about);
    log.push_back("modal returned");
  };
  WhenModal<QWidget>([&](QWidget* window) {
    EXPECT_EQ(window, backend.WindowOf(about));
    EXPECT_EQ(window->windowTitle(), U("Обо мне..."));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // Within the frame the window system adds.
    const QPoint off = window->frameGeometry().center() -
                       QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(off.manhattanLength(), 8) << off.x() << "," << off.y();
    EXPECT_EQ(QApplication::focusWidget(), backend.WidgetOf(about.ok)) << "OK has the focus";
    Key(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firedWhileModal >= 3; }));
    EXPECT_TRUE(window->isVisible()) << "Escape closed the window";
    Key(Qt::Key_Return);
  });
  InMainLoop([&] {
    timer.SetEnabled(true);
    ClickAt(form.send);
    EXPECT_EQ(log, (std::vector<std::string>{"modal returned"}));
    EXPECT_FALSE(backend.WindowOf(about)->isVisible());
    EXPECT_GE(firedWhileModal, 3);
  });
}

TEST_F(QtLoops, QuitEndsEveryNestedLoopAndLaterOnesReturnAtOnce) {
  AboutForm about{app};
  form.SetMainForm(true);
  form.OnClose = [&] { log.push_back("close handler"); };  // quitting is not closing
  form.send.OnClick = [&] {
    app.MessageDialog("first");
    log.push_back("box returned");
  };
  // Timers, not the tests' own: Qt does not let a timer fire again inside its own handler.
  ui::Timer openModal{app, 10};
  openModal.OnTimer = [&] {
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) && !about.Modal()) {
      app.ShowModal(about);
      log.push_back("modal returned");
    }
  };
  ui::Timer quit{app, 10};
  quit.OnTimer = [&] {
    if (about.Modal() && !app.QuitRequested()) {
      log.push_back("quit");
      app.Quit();
    }
  };
  QTimer::singleShot(0, &guard, [&] {
    openModal.SetEnabled(true);
    quit.SetEnabled(true);
    ClickAt(form.send);
    log.push_back("click returned");
  });
  app.Run(form);
  log.push_back("main loop returned");
  EXPECT_EQ(log, (std::vector<std::string>{"quit", "modal returned", "box returned",
                                           "click returned", "main loop returned"}));
  EXPECT_FALSE(backend.WindowOf(about)->isVisible());

  // The backend's own guard, behind the application's.
  backend.RunModalLoop(about);
  backend.ShowMessage({.caption = "Tolvaner", .text = "late"});
  backend.RunMainLoop(form);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtLoops, ClosingByTheWindowManagerGoesThroughTheModel) {
  AboutForm about{app};
  form.SetMainForm(true);
  form.OnClose = [&] { log.push_back("main closed"); };
  about.OnClose = [&] { log.push_back("about closed"); };
  form.send.OnClick = [&] {
    app.ShowModal(about);
    log.push_back("modal returned");
  };
  WhenModal<QWidget>([&](QWidget* window) { window->windowHandle()->close(); });
  QTimer::singleShot(0, &guard, [&] {
    ClickAt(form.send);
    EXPECT_FALSE(app.QuitRequested());
    Window()->windowHandle()->close();
  });
  app.Run(form);
  EXPECT_EQ(log, (std::vector<std::string>{"about closed", "modal returned", "main closed"}));
  EXPECT_TRUE(app.QuitRequested());
}

}  // namespace
