// Paints a light and remembers what it painted.
#include "window/qt/light.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace webapitest {

Light::Light(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents);  // a light raises no event
}

void Light::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen outline(palette().color(QPalette::Disabled, QPalette::Text));
  outline.setWidthF(1.0);
  painter.setPen(outline);
  if (fill_ == Fill::Solid) {
    // Rgb is 0x00BBGGRR.
    painter.setBrush(QColor(static_cast<int>(color_ & 0xFF), static_cast<int>((color_ >> 8) & 0xFF),
                            static_cast<int>((color_ >> 16) & 0xFF)));
  } else {
    painter.setBrush(Qt::NoBrush);
  }
  painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  paintedColor_ = color_;
  paintedFill_ = fill_;
  ++paintCount_;
}

}  // namespace webapitest
