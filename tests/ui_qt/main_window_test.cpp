// The program's own main window rendered by the Qt backend on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "app/Unit1.h"
#include "port/serial_port.h"
#include "tests/support/files.h"
#include "ui/application.h"
#include "ui/qt/qt_backend.h"

namespace {

struct QtMainWindow : testing::Test {
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  void SetUp() override {
    app.Dispatch([this] { form.FormCreate(); });
    backend.Realize(form);
  }
  void TearDown() override { backend.Forget(form); }

  int argc = 1;
  char name[9] = "tolvaner";
  char* argv[2] = {name, nullptr};
  ui::qt::QtBackend backend{argc, argv};
  ui::Application app{"tolvaner", backend};
  fixtures::TempDir dir;
  TForm1 form{app, port::SystemSerial(), dir.Path()};
};

TEST_F(QtMainWindow, EveryControlSitsAtItsPlace) {
  QWidget* window = backend.WindowOf(form);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(549, 318));
  EXPECT_EQ(window->windowTitle(), QString("Tolvaner"));
  for (ui::Control* control : form.Controls()) {
    SCOPED_TRACE(control->Name());
    const QWidget* widget = backend.WidgetOf(*control);
    ASSERT_NE(widget, nullptr);
    const ui::Bounds& b = control->GetBounds();
    EXPECT_EQ(widget->geometry(), QRect(b.left, b.top, b.width, b.height));
    EXPECT_EQ(widget->isEnabled(), control->Enabled());
  }
}

TEST_F(QtMainWindow, LampsShowGreyThenGreenAtTheirPixels) {
  const std::pair<ui::Shape*, QPoint> lamps[] = {
      {&form.Shape1, {368, 138}}, {&form.Shape2, {368, 154}}, {&form.Shape3, {368, 170}}};
  QImage shot = backend.WindowOf(form)->grab().toImage();
  for (const auto& [lamp, pixel] : lamps) {
    EXPECT_EQ(shot.pixelColor(pixel), QColor(128, 128, 128)) << lamp->Name();
  }
  for (const auto& [lamp, pixel] : lamps) {
    form.LightLamp(*lamp, kLampGreen);
  }
  backend.Refresh();
  shot = backend.WindowOf(form)->grab().toImage();
  for (const auto& [lamp, pixel] : lamps) {
    EXPECT_EQ(shot.pixelColor(pixel), QColor(0, 255, 0)) << lamp->Name();
  }
}

}  // namespace
