// The window-system behaviours the program's handlers rely on, on the virtual-clock backend.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/virtual_backend.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace {

using fixtures::VirtualBackend;

struct Fixture : testing::Test {
  VirtualBackend backend;
  ui::Application app{"/usr/bin/tolvaner", backend};
  ui::Form form{app};
  std::vector<std::string> log;
};

TEST(Application, TitleIsTheProgramNameUpToItsFirstFullStop) {
  EXPECT_EQ(ui::Application::TitleOf("/usr/bin/tolvaner"), "Tolvaner");
  EXPECT_EQ(ui::Application::TitleOf("C:\\Tools\\TOLVANER.EXE"), "Tolvaner");
  EXPECT_EQ(ui::Application::TitleOf("my.tool.exe"), "My");
  EXPECT_EQ(ui::Application::TitleOf("x"), "X");
}

using Handlers = Fixture;

TEST_F(Handlers, CheckBoxFromCodeClicksOnlyOnAChange) {
  ui::CheckBox box{form, "CheckBox1", {}, "box"};
  box.OnClick = [&] { log.push_back(box.Checked() ? "on" : "off"); };
  box.SetChecked(false);
  box.SetChecked(true);
  box.SetChecked(true);
  box.SetChecked(false);
  box.UserClick();
  EXPECT_EQ(log, (std::vector<std::string>{"on", "off", "on"}));
}

TEST_F(Handlers, EditFromCodeChangesOnlyOnAChange) {
  ui::Edit edit{form, "Edit1", {}, "0000"};
  edit.SetUpperCase(true);
  edit.SetMaxLength(4);
  edit.OnChange = [&] { log.push_back(edit.Text()); };
  edit.SetText("0000");
  edit.SetText("abcdef");  // code may exceed the typing limit, shown in upper case
  edit.SetText("ABCDEF");
  edit.UserType("12345");  // typing is cut to the limit
  EXPECT_EQ(log, (std::vector<std::string>{"ABCDEF", "1234"}));
  edit.SetReadOnly(true);
  edit.UserType("9");
  EXPECT_EQ(edit.Text(), "1234");
}

TEST_F(Handlers, DropDownRunsItsHandlerOnlyForTheUser) {
  ui::ComboBox combo{form, "ComboBox1", {}, {"NO", "EVEN", "ODD"}, "NO"};
  combo.OnChange = [&] { log.push_back(combo.Text()); };
  combo.SetText("ODD");
  combo.UserType("P");
  combo.UserChoose(1);
  combo.UserChoose(7);
  EXPECT_EQ(log, (std::vector<std::string>{"P", "EVEN"}));
}

TEST_F(Handlers, ClickMovesTheFocusFirst) {
  ui::Edit edit{form, "Edit2", {}, ""};
  ui::Button button{form, "Button1", {}, "go"};
  ui::Button disabled{form, "Button2", {}, "off"};
  disabled.SetEnabled(false);
  edit.OnExit = [&] { log.push_back("exit"); };
  button.OnClick = [&] { log.push_back("click"); };
  disabled.OnClick = [&] { log.push_back("disabled click"); };
  form.UserFocus(&edit);
  button.UserClick();
  button.UserClick();
  disabled.UserClick();
  EXPECT_EQ(log, (std::vector<std::string>{"exit", "click", "click"}));
  EXPECT_EQ(form.FocusedControl(), &button);
}

TEST_F(Handlers, FailureEndsTheHandlerKeepsItsChangesAndIsReported) {
  ui::Edit edit{form, "Edit5", {}, "0"};
  ui::Button button{form, "Button1", {}, "go"};
  button.OnClick = [&] {
    edit.SetText("changed");
    throw std::runtime_error("'x' is not a valid integer value");
    edit.SetText("never");
  };
  button.UserClick();
  button.UserClick();
  EXPECT_EQ(edit.Text(), "changed");
  ASSERT_EQ(backend.boxes.size(), 2u);
  EXPECT_EQ(backend.boxes[0].text, "'x' is not a valid integer value.");
  EXPECT_EQ(backend.boxes[0].caption, "Tolvaner");
  EXPECT_EQ(backend.boxes[0].icon, ui::MessageIcon::Stop);
}

TEST_F(Handlers, KeysOnAForm) {
  ui::Button ok{form, "Button1", {}, "OK"};
  ok.OnClick = [&] { log.push_back("ok"); };
  form.FocusFirst();
  form.UserKey(ui::Key::Enter);
  form.UserKey(ui::Key::Space);
  form.UserKey(ui::Key::Escape);
  EXPECT_EQ(log, (std::vector<std::string>{"ok", "ok"}));
}

TEST_F(Handlers, SpinButtonStepsItsEditWithinLimits) {
  ui::Edit edit{form, "Edit5", {}, "0"};
  ui::SpinButton spin{form, "UpDown1", {}, edit, 0, 80};
  spin.UserStep(-1);
  EXPECT_EQ(edit.Text(), "0");
  spin.UserStep(+1);
  EXPECT_EQ(edit.Text(), "1");
  edit.SetText("80");
  spin.UserStep(+1);
  EXPECT_EQ(edit.Text(), "80");
  edit.SetText("junk");
  spin.UserStep(-1);
  EXPECT_EQ(edit.Text(), "79") << "steps from the last position";
}

using Timers = Fixture;

TEST_F(Timers, FireAtTheirIntervalAndEnablingTwiceDoesNotRestart) {
  ui::Timer timer{app, 250};
  timer.OnTimer = [&] { log.push_back(std::to_string(backend.Now())); };
  timer.SetEnabled(true);
  backend.Advance(100);
  timer.SetEnabled(true);
  backend.Advance(400);
  EXPECT_EQ(log, (std::vector<std::string>{"250", "500"}));
  timer.SetEnabled(false);
  backend.Advance(1000);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(Timers, IntervalZeroNeverFires) {
  ui::Timer timer{app, 0};
  timer.OnTimer = [&] { log.push_back("fired"); };
  timer.SetEnabled(true);
  backend.Advance(10000);
  EXPECT_TRUE(log.empty());
  timer.SetInterval(100);
  backend.Advance(100);
  EXPECT_EQ(log.size(), 1u);
}

// A lamp lit twice within its 250 ms goes grey 250 ms after the first lighting.
TEST_F(Timers, LampGoesGreyAfterItsFirstLighting) {
  ui::Shape lamp{form, "Shape1", {}, 0x808080};
  ui::Timer reset{app, 250};
  reset.OnTimer = [&] {
    lamp.SetBrushColor(0x808080);
    reset.SetEnabled(false);
  };
  auto light = [&](ui::Color c) {
    lamp.SetBrushColor(c);
    reset.SetEnabled(true);
  };
  light(0x00FF00);
  backend.Advance(200);
  light(0x0000FF);
  backend.Advance(49);
  EXPECT_EQ(lamp.BrushColor(), 0x0000FFu);
  backend.Advance(1);
  EXPECT_EQ(lamp.BrushColor(), 0x808080u);
}

TEST_F(Timers, KeepFiringWhileAModalWindowOrBoxIsOpen) {
  ui::Timer timer{app, 55};
  int fired = 0;
  timer.OnTimer = [&] { ++fired; };
  timer.SetEnabled(true);
  ui::Form about{app};
  backend.onModal = [&](ui::Form& f) {
    backend.Advance(550);
    f.Close();
  };
  backend.onMessage = [&](const ui::MessageBox&) { backend.Advance(110); };
  app.ShowModal(about);
  EXPECT_EQ(fired, 10);
  app.MessageDialog("hello");
  EXPECT_EQ(fired, 12);
}

// The view must show what timers change while a box opened by a handler is still open.
TEST_F(Timers, ChangesDuringABoxAreShownAtOnce) {
  ui::Timer timer{app, 100};
  timer.OnTimer = [] {};
  timer.SetEnabled(true);
  ui::Button button{form, "Button1", {}, "go"};
  button.OnClick = [&] { app.MessageDialog("open"); };
  int refreshesWhileOpen = 0;
  backend.onMessage = [&](const ui::MessageBox&) {
    const int before = backend.refreshes;
    backend.Advance(300);
    refreshesWhileOpen = backend.refreshes - before;
  };
  button.UserClick();
  EXPECT_EQ(refreshesWhileOpen, 3);
}

TEST_F(Timers, FailureInATimerIsReportedAndTheTimerGoesOn) {
  ui::Timer timer{app, 100};
  int fired = 0;
  timer.OnTimer = [&] {
    ++fired;
    throw std::runtime_error("boom");
  };
  timer.SetEnabled(true);
  backend.Advance(300);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(backend.BoxTexts(), (std::vector<std::string>{"boom.", "boom.", "boom."}));
}

using Quit = Fixture;

TEST_F(Quit, EndsEveryLoopAndLaterModalCallsReturnAtOnce) {
  ui::Form about{app};
  int modalRuns = 0;
  backend.onModal = [&](ui::Form&) { ++modalRuns; };
  backend.onMainLoop = [&](ui::Form&) {
    app.MessageDialog("first");
    app.Quit();
    app.MessageDialog("second");
    app.ShowModal(about);
  };
  app.Run(form);
  EXPECT_TRUE(backend.quitCalled);
  EXPECT_EQ(backend.BoxTexts(), (std::vector<std::string>{"first"}));
  EXPECT_EQ(modalRuns, 0);
  app.Run(form);  // a main loop after the quit request ends at once
}

TEST_F(Quit, ClosingTheMainWindowRunsItsCloseHandlerAndEnds) {
  form.SetMainForm(true);
  form.OnClose = [&] { log.push_back("close"); };
  form.UserClose();
  EXPECT_EQ(log, (std::vector<std::string>{"close"}));
  EXPECT_TRUE(app.QuitRequested());
}

}  // namespace
