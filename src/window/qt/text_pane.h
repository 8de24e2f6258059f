// The output pane: a read-only view of a reply of any size. Lines wrap at the pane's width in
// its fixed-pitch font, after the last blank that fits; tabs reach stops of 8 cells, wide
// characters take two. Only the rows on screen are painted, so tens of megabytes, one huge
// line or millions of lines show at once. The caret moves with the
// keys, text is selected with the mouse or Shift and copied with Ctrl+C. What the caret,
// selection and scrolling do is the shared pane model's; this widget maps Qt's events onto
// it and paints.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <string_view>

#include "window/pane_geometry.h"
#include "window/pane_model.h"

namespace webapitest {

class TextPane : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TextPane(QWidget* parent = nullptr);

  // Lines separated by CR LF (or LF). The caret goes to the start, nothing selected.
  void SetText(std::u16string text);
  std::u16string_view Text() const { return model_.Text(); }
  QString PlainText() const;  // line breaks as LF

  // Selection from anchor to caret, as offsets into Text().
  std::size_t caret() const { return model_.caret(); }
  std::size_t anchor() const { return model_.anchor(); }
  void Select(std::size_t anchor, std::size_t caret);
  QString SelectedText() const;  // line breaks as LF
  void Copy() const;

  const PaneModel& model() const { return model_; }

  // For screen readers, magnifiers and tests: where the character at offset is painted, in
  // the viewport's coordinates (a line break and the text's end as one cell), and the
  // character under a point of the viewport.
  QRect CharacterRect(std::size_t offset) const;
  std::size_t CharacterAt(const QPoint& point) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Relayout();  // the font's cell (its advance often a fraction of a pixel) and the pane's size
  void Show();  // brings the scroll bar, the screen and screen readers up to the model
  void Complete(PaneCommand done);  // a key's or menu item's copy, or its change shown
  PaneModel::Point PointAt(const QPointF& position) const;
  // Sends screen readers the change of the selection and the caret's move since last told.
  void TellScreenReaders();

  PaneModel model_;
  PaneGeometry geometry_;
  std::size_t toldCaret_ = 0, toldAnchor_ = 0;  // as screen readers were last told
};

}  // namespace webapitest
