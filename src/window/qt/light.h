// A light of the window: a circle with a thin grey outline, filled with its colour when solid.
#pragma once

#include <QWidget>

#include "window/form.h"

namespace webapitest {

class Light : public QWidget {
 public:
  explicit Light(QWidget* parent = nullptr);

  // Both take effect at the next paint; Form::Repaint paints at once (QWidget::repaint).
  void SetColor(Rgb color) { color_ = color; }
  void SetFill(Fill fill) { fill_ = fill; }

  // What the last paint put on the screen, and how many paints there were: a light that was
  // changed but not painted still shows its old state.
  Rgb PaintedColor() const { return paintedColor_; }
  Fill PaintedFill() const { return paintedFill_; }
  int PaintCount() const { return paintCount_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Rgb color_ = 0;
  Fill fill_ = Fill::Transparent;
  Rgb paintedColor_ = 0;
  Fill paintedFill_ = Fill::Transparent;
  int paintCount_ = 0;
};

}  // namespace webapitest
