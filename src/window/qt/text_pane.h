// The output pane: a read-only view of a reply of any size. Lines wrap at the pane's width in
// its fixed-pitch font; only the rows on screen are ever laid out or painted, so tens of
// megabytes, one huge line or millions of lines show at once. The caret moves with the
// keys, text is selected with the mouse or Shift and copied with Ctrl+C.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <string_view>

#include "window/wrapped_text.h"

namespace webapitest {

class TextPane : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TextPane(QWidget* parent = nullptr);

  // Lines separated by CR LF (or LF). The caret goes to the start, nothing selected.
  void SetText(std::u16string text);
  std::u16string_view Text() const { return layout_.Text(); }
  QString PlainText() const;  // line breaks as LF

  // Selection from anchor to caret, as offsets into Text().
  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  void Select(std::size_t anchor, std::size_t caret);
  QString SelectedText() const;  // line breaks as LF
  void Copy() const;

  const WrappedText& layout() const { return layout_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
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
  int CharWidth() const;
  int RowHeight() const;
  int VisibleRows() const;
  void Relayout();
  void MoveCaret(std::size_t offset, bool extend);
  void ScrollToCaret();
  void Announce();  // tells screen readers where the caret went
  std::size_t OffsetAtPoint(const QPoint& point) const;

  WrappedText layout_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  std::size_t goalColumn_ = 0;  // Up and Down keep to the column where they started
};

}  // namespace webapitest
