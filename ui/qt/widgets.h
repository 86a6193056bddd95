// The widgets Qt has no ready match for (lamp, picture, up/down arrows, upper-case validator)
// and the conversions from the model's fonts and colours.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QProxyStyle>
#include <QValidator>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/control.h"

class QToolButton;

namespace ui::qt {

// 0x00BBGGRR to a QColor.
QColor ToQColor(ui::Color color);

// The form's font where the font database has it, else a metric-compatible stand-in that also
// has Cyrillic.
QFont WindowFont(const std::string& family, int pointSize);

// Qt's Windows style with the spacing of the classic controls the layout was drawn for: a check
// box's caption 4 pixels after the box, not 6, so "Очищать буфер RX" fits in its 117 pixels.
class ClassicStyle : public QProxyStyle {
 public:
  ClassicStyle();
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override;
};

// A filled rectangle with a one-pixel black outline.
class ShapeWidget : public QWidget {
 public:
  explicit ShapeWidget(QWidget* parent);
  void SetBrush(QColor brush);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor brush_;
};

// A picture at its own size from the top-left corner; the widget's bounds clip it.
class ImageWidget : public QWidget {
 public:
  explicit ImageWidget(QWidget* parent);
  // Rows top to bottom, three bytes (red, green, blue) a pixel; copied.
  void SetPicture(int width, int height, const std::vector<std::uint8_t>& rgb);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

// Two arrow buttons stacked in the control's box; they never take the focus.
class SpinWidget : public QWidget {
 public:
  explicit SpinWidget(QWidget* parent);
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

// A drop-down's edit that tells when it is finishing an edit (the focus leaving, or a key such
// as Enter): QComboBox then picks the item the text matches and reports it as activated, which
// is not the user choosing from the list.
class ComboLineEdit : public QLineEdit {
 public:
  explicit ComboLineEdit(QWidget* parent) : QLineEdit(parent) {}
  bool Finishing() const { return finishing_ > 0; }

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int finishing_ = 0;
};

// Upper-cases a-z as they are typed, the same rule the model applies, so the view and the model
// never disagree about a letter outside ASCII.
class UpperCaseValidator : public QValidator {
 public:
  explicit UpperCaseValidator(QObject* parent) : QValidator(parent) {}
  State validate(QString& input, int& pos) const override;
};

}  // namespace ui::qt
