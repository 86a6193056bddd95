// Painting of the lamp and the picture, the arrow pair's layout and the upper-case rule.
#include "ui/qt/widgets.h"

#include <QFontDatabase>
#include <QPainter>
#include <QStyleFactory>
#include <QToolButton>

namespace ui::qt {

QColor ToQColor(ui::Color color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

QFont WindowFont(const std::string& family, int pointSize) {
  QString name = QString::fromStdString(family);
  if (!QFontDatabase::hasFamily(name)) {
    name = QStringLiteral("Liberation Sans");
  }
  QFont font(name, pointSize);
  // Where even the stand-in is missing, some sans-serif face rather than fontconfig's default.
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// Fusion where a build lacks the Windows style: QProxyStyle takes the default for null.
ClassicStyle::ClassicStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

int ClassicStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const {
  if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) {
    return 4;
  }
  return QProxyStyle::pixelMetric(metric, option, widget);
}

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {}

void ShapeWidget::SetBrush(QColor brush) {
  if (brush != brush_) {
    brush_ = brush;
    update();
  }
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), brush_);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

ImageWidget::ImageWidget(QWidget* parent) : QWidget(parent) {}

void ImageWidget::SetPicture(int width, int height, const std::vector<std::uint8_t>& rgb) {
  const auto needed = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  if (width <= 0 || height <= 0 || rgb.size() < needed) {
    image_ = QImage();
  } else {
    // copy(): the model may change its buffer while we still paint from it.
    image_ = QImage(rgb.data(), width, height, width * 3, QImage::Format_RGB888).copy();
  }
  update();
}

void ImageWidget::paintEvent(QPaintEvent*) {
  if (!image_.isNull()) {
    QPainter(this).drawImage(0, 0, image_);
  }
}

SpinWidget::SpinWidget(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  for (QToolButton* button : {up_, down_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
}

void SpinWidget::resizeEvent(QResizeEvent*) {
  const int upHeight = height() / 2;
  up_->setGeometry(0, 0, width(), upHeight);
  down_->setGeometry(0, upHeight, width(), height() - upHeight);
}

void ComboLineEdit::focusOutEvent(QFocusEvent* event) {
  ++finishing_;
  QLineEdit::focusOutEvent(event);
  --finishing_;
}

void ComboLineEdit::keyPressEvent(QKeyEvent* event) {
  // Typing reaches us as textEdited; a choice made by keys here can only be the finishing one.
  ++finishing_;
  QLineEdit::keyPressEvent(event);
  --finishing_;
}

QValidator::State UpperCaseValidator::validate(QString& input, int&) const {
  for (QChar& c : input) {
    if (c >= u'a' && c <= u'z') {
      c = QChar(c.unicode() - u'a' + u'A');
    }
  }
  return Acceptable;
}

}  // namespace ui::qt
